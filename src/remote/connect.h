#pragma once

// A TCP connection to a serial device server within a bounded time, name resolution
// included, with the socket set up for a byte-at-a-time line.

#include "core/posix_file.h"
#include "remote/endpoint.h"

#include <atomic>
#include <chrono>
#include <string>

namespace quillmark::remote {

// Lets another thread end a connection attempt early: waits watch its descriptor.
class Cancellation {
public:
    Cancellation();

    void cancel();
    void reset();
    [[nodiscard]] bool cancelled() const { return cancelled_.load(); }
    [[nodiscard]] int descriptor() const { return fd_.get(); }

private:
    posix::UniqueFd fd_;
    std::atomic<bool> cancelled_{false};
};

struct ConnectResult {
    int fd = -1;        // non-blocking, close-on-exec; -1 on failure
    int code = 0;       // errno of the failure (ETIMEDOUT when the time ran out, ECANCELED)
    std::string reason; // the resolver's text when the name did not resolve
};

[[nodiscard]] ConnectResult connectTo(const Endpoint& endpoint, std::chrono::milliseconds timeout,
                                      const Cancellation* cancellation = nullptr);

} // namespace quillmark::remote
