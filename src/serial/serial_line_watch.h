#pragma once

// Blocking waits of a tty for the line events that epoll cannot report: modem-line changes
// (TIOCMIWAIT) and the output queue emptying (tcdrain). Each runs in a thread of its own,
// only while asked for, and makes the event thread's descriptor readable when it sees one.

#include "serial/serial_platform.h"

#include <array>
#include <chrono>
#include <memory>
#include <thread>

namespace quillmark::serial {

// The blocking calls of the watch threads; each fails as the system call does (-1, errno).
struct LineWaits {
    int (*modemCounts)(int fd, std::array<int, 4>& counts);
    int (*waitModemChange)(int fd);
    int (*drainOutput)(int fd);
};
[[nodiscard]] LineWaits ttyLineWaits();

class LineWatcher {
public:
    // A wait that a signal does not end is left to finish on its own after this long.
    static constexpr std::chrono::milliseconds kStopWait{100};

    // Takes copies of both descriptors: a thread left running never touches reused ones.
    LineWatcher(int deviceFd, int notifyFd, LineWaits waits = ttyLineWaits());
    ~LineWatcher() { stop(); }
    LineWatcher(const LineWatcher&) = delete;
    LineWatcher& operator=(const LineWatcher&) = delete;

    // ENOTTY when modem lines are asked for and the device has no line counters (a pty);
    // the output watch runs all the same.
    [[nodiscard]] OsResult start(LineWatch what);
    // Returns within about kStopWait, whatever the threads' waits do; from then on
    // nothing writes to the notify descriptor.
    void stop();
    // Bytes were queued for output.
    void noteWrite();
    [[nodiscard]] bool takeDrained();

private:
    struct State;

    std::shared_ptr<State> state_;
    std::thread modem_;
    std::thread output_;
};

} // namespace quillmark::serial
