#pragma once

// Blocking waits of a tty for the line events that epoll cannot report: modem-line changes
// (TIOCMIWAIT) and the output queue emptying (tcdrain). Each runs in a thread of its own,
// only while asked for, and makes the event thread's descriptor readable when it sees one.

#include "serial/serial_platform.h"

#include <atomic>
#include <semaphore>
#include <thread>

namespace quillmark::serial {

class LineWatcher {
public:
    LineWatcher(int deviceFd, int notifyFd) : fd_(deviceFd), notifyFd_(notifyFd) {}
    ~LineWatcher() { stop(); }
    LineWatcher(const LineWatcher&) = delete;
    LineWatcher& operator=(const LineWatcher&) = delete;

    // ENOTTY when modem lines are asked for and the device has no line counters (a pty);
    // the output watch runs all the same.
    [[nodiscard]] OsResult start(LineWatch what);
    // Returns once neither thread runs.
    void stop();
    // Bytes were queued for output.
    void noteWrite();
    [[nodiscard]] bool takeDrained() { return drained_.exchange(false); }

private:
    struct Waiter {
        std::thread thread;
        std::binary_semaphore ended{0};
    };

    void watchModemLines();
    void watchOutput();
    void notify() const;
    void end(Waiter& waiter);

    int fd_;
    int notifyFd_;
    std::atomic<bool> stopping_{false};
    std::atomic<bool> writePending_{false};
    std::atomic<bool> drained_{false};
    Waiter modem_;
    Waiter output_;
};

} // namespace quillmark::serial
