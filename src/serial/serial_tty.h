#pragma once

// The tty backend of PlatformPort: a local serial device or a pseudo-terminal.

#include "serial/serial_line_watch.h"
#include "serial/serial_platform.h"

#include <memory>

namespace quillmark::serial {

class TtyPort final : public PlatformPort {
public:
    TtyPort() = default;
    ~TtyPort() override;
    TtyPort(const TtyPort&) = delete;
    TtyPort& operator=(const TtyPort&) = delete;

    [[nodiscard]] bool isOpen() const override { return fd_ >= 0; }
    [[nodiscard]] int descriptor() const override { return fd_; }

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

    // Modem-line changes need line counters and TIOCMIWAIT, which serial drivers have and
    // pseudo-terminals lack; the output queue emptying is seen on every tty.
    [[nodiscard]] OsResult startLineWatch(LineWatch what, int notifyFd) override;
    void stopLineWatch() override;
    [[nodiscard]] bool takeOutputDrained() override;

private:
    [[nodiscard]] bool hungUp() const;
    [[nodiscard]] WaitOutcome waitFor(short events, Deadline deadline, int& code);

    int fd_ = -1;
    std::unique_ptr<LineWatcher> watcher_;
};

} // namespace quillmark::serial
