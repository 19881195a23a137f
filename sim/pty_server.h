#pragma once

// Serves an EncoderState on the master side of a pseudo-terminal from a thread of its own.
// The thread sleeps in epoll until the tool sends, a paced byte falls due, bytes are injected
// or it is stopped; it never polls.

#include "core/posix_file.h"
#include "encoder_state.h"
#include "line_model.h"

#include <sys/epoll.h>

#include <atomic>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

namespace quillmark::sim {

class PtyServer {
public:
    PtyServer(EncoderState& state, bool paced);
    ~PtyServer();

    PtyServer(const PtyServer&) = delete;
    PtyServer& operator=(const PtyServer&) = delete;

    void start(); // throws std::system_error
    void stop();  // returns once the thread has ended

    [[nodiscard]] const std::string& slavePath() const { return slavePath_; }
    [[nodiscard]] bool hungUp() const { return hungUp_.load(); }
    void inject(std::vector<Byte> bytes);

private:
    struct Incoming {
        SimClock::time_point at;
        Byte byte;
    };
    struct Outgoing {
        SimClock::time_point at;
        Byte byte;
        bool hangUp; // not a byte: the line goes down here
    };

    void openPty();
    void setUpPolling();
    void run();
    void handle(const epoll_event& ev);
    void readMaster();
    void takeInjected(SimClock::time_point now);
    void receiveDue(SimClock::time_point now);
    void schedule(const Reply& reply, SimClock::time_point frameEnd);
    void sendDue(SimClock::time_point now);
    void hangUp();
    void armTimer();

    EncoderState& state_;
    LineModel line_;
    std::string slavePath_;
    posix::UniqueFd master_;
    // After a hang-up: keeps the pseudo-terminal's number taken until the encoder stops.
    posix::UniqueFd heldNumber_;
    posix::UniqueFd wake_;  // eventfd: stop or injected bytes
    posix::UniqueFd timer_; // timerfd on absolute deadlines, so pacing never drifts
    posix::UniqueFd epoll_;
    std::thread thread_;
    std::atomic<bool> stopping_{false};
    std::atomic<bool> hungUp_{false};

    std::mutex injectMutex_;
    std::vector<Byte> injected_;

    // Server thread only.
    std::deque<Incoming> rx_;
    std::deque<Outgoing> tx_;
    bool txBlocked_ = false;     // the tool's input queue is full: wait for EPOLLOUT
    bool hangUpPending_ = false; // input after a hang-up frame is ignored
};

} // namespace quillmark::sim
