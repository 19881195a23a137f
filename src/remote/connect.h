#pragma once

// A TCP connection to a serial device server within a bounded time, name resolution
// included, with the socket set up for a byte-at-a-time line.

#include "remote/endpoint.h"

#include <chrono>
#include <string>

namespace quillmark::remote {

struct ConnectResult {
    int fd = -1;        // non-blocking, close-on-exec; -1 on failure
    int code = 0;       // errno of the failure (ETIMEDOUT when the time ran out)
    std::string reason; // the resolver's text when the name did not resolve
};

[[nodiscard]] ConnectResult connectTo(const Endpoint& endpoint, std::chrono::milliseconds timeout);

} // namespace quillmark::remote
