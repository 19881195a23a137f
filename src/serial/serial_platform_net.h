#pragma once

// The port over a serial device server: a COMn entry holding tcp://HOST:PORT or
// rfc2217://HOST:PORT. Reads, edges and hang-ups come from the relay's data pipe, so the
// event thread and the timed reads work as on a tty.

#include "serial/serial_platform.h"

#include "remote/remote_link.h"

#include <functional>

namespace quillmark::serial {

// Runs `work` to its end while the program stays responsive, e.g. on a worker thread while
// the window shows "Conectando con ADDRESS..."; `cancel` (from any thread) makes the work end
// soon. Without a waiter, the work runs on the calling thread.
using NetworkWaiter =
    std::function<void(const std::string& address, const std::function<void()>& work,
                       const std::function<void()>& cancel)>;

// Installs the waiter for every network port; the previous one is back at the end.
class ScopedNetworkWaiter {
public:
    explicit ScopedNetworkWaiter(NetworkWaiter waiter);
    ~ScopedNetworkWaiter();
    ScopedNetworkWaiter(const ScopedNetworkWaiter&) = delete;
    ScopedNetworkWaiter& operator=(const ScopedNetworkWaiter&) = delete;

private:
    NetworkWaiter previous_;
};

class NetworkPort final : public PlatformPort {
public:
    NetworkPort() = default;
    ~NetworkPort() override;

    [[nodiscard]] bool isOpen() const override { return link_.isOpen(); }
    [[nodiscard]] int descriptor() const override { return link_.dataDescriptor(); }

    // `path` is the entry file or the endpoint itself; a failure carries the text for the
    // error box.
    [[nodiscard]] OsResult open(const std::string& path) override;
    void close() override;

    [[nodiscard]] OsResult purge(bool input, bool output) override;
    [[nodiscard]] OsResult applyLineSettings(const LineSettings& settings) override;

    [[nodiscard]] IoResult readSome(void* buffer, std::size_t length) override;
    [[nodiscard]] IoResult writeSome(const void* buffer, std::size_t length) override;
    [[nodiscard]] WaitOutcome waitReadable(Deadline deadline, int& code) override;
    [[nodiscard]] WaitOutcome waitWritable(Deadline deadline, int& code) override;

    [[nodiscard]] OsResult inputQueue(int& count) const override;
    [[nodiscard]] OsResult outputQueue(int& count) const override;
    [[nodiscard]] OsResult modemLines(ModemLines& lines) const override;
    [[nodiscard]] OsResult lineCounters(LineCounters& counters) const override;

private:
    // Through the waiter: the work may block on the server.
    void waitFor(const std::function<void()>& work);
    [[nodiscard]] OsResult lost(int code) const;

    remote::RemoteLink link_;
    std::string address_;
    bool serverInputPurged_ = false;
};

// The text of a failed connection, as the error box shows it.
[[nodiscard]] std::string connectFailureText(const std::string& address, int code,
                                             const std::string& reason);

} // namespace quillmark::serial
