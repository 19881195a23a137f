#pragma once

// Time left of a wait, in the form poll() and epoll_wait() take, and the one bounded wait
// for a descriptor.

#include "core/posix_file.h"
#include "serial/serial_platform.h"

#include <cerrno>
#include <chrono>
#include <optional>

#include <poll.h>

namespace quillmark::serial {

// Milliseconds until `deadline`: -1 without one (wait for ever), 0 once it has passed.
[[nodiscard]] inline int
remainingMs(std::optional<std::chrono::steady_clock::time_point> deadline) {
    if (!deadline)
        return -1;
    const auto left =
        std::chrono::ceil<std::chrono::milliseconds>(*deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0)
        return 0;
    return left.count() > 1'000'000'000 ? 1'000'000'000 : static_cast<int>(left.count());
}

// Waits until fd has `events` or the deadline passes; retried with the time left when a
// signal interrupts it. code is the errno of a failure, EIO for a hang-up.
[[nodiscard]] inline WaitOutcome waitForEvents(int fd, short events, Deadline deadline, int& code) {
    pollfd entry{fd, events, 0};
    const int rc =
        posix::retryOnInterrupt([&] { return ::poll(&entry, 1, remainingMs(deadline)); });
    if (rc < 0) {
        code = errno;
        return WaitOutcome::Failed;
    }
    if (rc == 0)
        return WaitOutcome::TimedOut;
    if ((entry.revents & events) != 0)
        return WaitOutcome::Ready;
    // A hang-up without the wanted readiness: the device has gone.
    code = EIO;
    return WaitOutcome::HungUp;
}

} // namespace quillmark::serial
