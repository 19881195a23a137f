#pragma once

// Time left of a wait, in the form poll() and epoll_wait() take.

#include <chrono>
#include <optional>

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

} // namespace quillmark::serial
