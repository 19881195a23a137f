#pragma once

// A connection to a serial device server that looks like a tty to its reader: a thread
// takes the socket's bytes, answers the Telnet negotiation and passes only data bytes on
// to a pipe. The pipe's read end sees an edge exactly when data arrived and a hang-up when
// the connection dropped, so the port's event wait and reads work on it unchanged.

#include "core/posix_file.h"
#include "remote/connect.h"
#include "remote/endpoint.h"
#include "remote/telnet_stream.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace quillmark::remote {

struct LinkTiming {
    std::chrono::milliseconds connect{3000};
    // A server that never answers an option or a setting costs at most this, once each.
    std::chrono::milliseconds negotiation{2000};
    std::chrono::milliseconds answers{1000};
};

struct LinkFailure {
    int code = 0;       // errno, 0 when `reason` says what failed
    std::string reason; // empty when the errno text says it
    [[nodiscard]] bool failed() const { return code != 0 || !reason.empty(); }
};

// Serial settings in RFC 2217 values; unset members are not sent.
struct RemoteSettings {
    std::optional<std::uint32_t> baudRate;
    std::optional<std::uint8_t> dataSize;
    std::optional<std::uint8_t> parity;   // 1 none, 2 odd, 3 even, 4 mark, 5 space
    std::optional<std::uint8_t> stopSize; // 1 one, 2 two, 3 one and a half
    std::vector<std::uint8_t> controls;   // SET-CONTROL values, in order
};

class RemoteLink {
public:
    RemoteLink() = default;
    ~RemoteLink();
    RemoteLink(const RemoteLink&) = delete;
    RemoteLink& operator=(const RemoteLink&) = delete;

    [[nodiscard]] LinkFailure open(const Endpoint& endpoint, LinkTiming timing = {});
    void close();
    // From any thread: an open or a wait for the server in progress ends soon with
    // ECANCELED. Holds until resetCancel().
    void cancel();
    void resetCancel();
    [[nodiscard]] bool isOpen() const { return dataRead_.valid(); }

    // Data bytes only; reads 0 bytes at end of file once the connection has dropped.
    [[nodiscard]] int dataDescriptor() const { return dataRead_.get(); }

    // Takes the bytes unless too much is still unsent; 0 taken is "try again later".
    // Fails with EIO once the connection has dropped.
    [[nodiscard]] std::size_t write(const void* data, std::size_t length, int& code);
    // False when the deadline passed (code 0) or the connection dropped (code EIO).
    [[nodiscard]] bool waitWritable(std::optional<std::chrono::steady_clock::time_point> deadline,
                                    int& code);
    // Empties the local input queue; with `server`, also the server's buffers (PURGE-DATA).
    [[nodiscard]] int purge(bool input, bool output, bool server);
    // Sends the settings; the first time on a connection, also waits a bounded time for the
    // server's answers (a server that does not answer is no failure). Nothing is sent over
    // raw TCP.
    [[nodiscard]] int apply(const RemoteSettings& settings);
    // True while apply() would wait for the server.
    [[nodiscard]] bool applyWaits() const;

    [[nodiscard]] std::optional<std::uint8_t> modemState() const;
    [[nodiscard]] bool comPortAgreed() const;
    [[nodiscard]] std::size_t outputQueued() const;

private:
    void run();
    [[nodiscard]] bool pumpInput();
    void moveInputToPipe();
    void flushOutput();
    // False, with the connection dropped, when the server let too much pile up unread.
    [[nodiscard]] bool sendCommands(const ByteVector& bytes);
    [[nodiscard]] std::size_t pendingLocked() const { return outPending_.size() - outStart_; }
    void dropped();
    [[nodiscard]] bool waitState(std::chrono::steady_clock::time_point deadline,
                                 std::uint32_t answersWanted);

    LinkTiming timing_;
    bool telnet_ = false;
    posix::UniqueFd socket_;
    posix::UniqueFd dataRead_;
    posix::UniqueFd dataWrite_; // the relay thread's while it runs
    posix::UniqueFd epoll_;
    posix::UniqueFd stop_;
    std::thread relay_;
    TelnetStream stream_; // relay thread only

    std::mutex inMutex_; // taken before outMutex_ and stateMutex_ when held together
    ByteVector inPending_;
    ByteVector replies_;

    mutable std::mutex outMutex_;
    std::condition_variable outRoom_;
    ByteVector outPending_;
    std::size_t outStart_ = 0; // bytes of outPending_ already sent
    bool broken_ = false;

    mutable std::mutex stateMutex_;
    std::condition_variable stateChanged_;
    TelnetStream::ComPortState comPort_ = TelnetStream::ComPortState::Pending;
    std::uint32_t answered_ = 0;
    std::optional<std::uint8_t> modem_;
    bool dropped_ = false;
    bool answersAwaited_ = false; // apply() has waited on this connection
    Cancellation cancellation_;
};

} // namespace quillmark::remote
