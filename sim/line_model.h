#pragma once

// Timing of a 2400 bit/s 8N1 line, one direction each way: ten bit times, 240 bytes a second.

#include <algorithm>
#include <chrono>

namespace quillmark::sim {

using SimClock = std::chrono::steady_clock;

class LineModel {
public:
    // Rounded up so that the modelled line is never faster than a real one.
    static constexpr std::chrono::nanoseconds kByteTime{4'166'667};

    explicit LineModel(bool paced) : paced_(paced) {}

    // When a byte read at `readAt` counts as arrived. The pty hands it over the moment the
    // tool wrote it; on a line it would still take one byte time, and it cannot start before
    // the one ahead of it has arrived.
    [[nodiscard]] SimClock::time_point receive(SimClock::time_point readAt) {
        readAt = std::max(readAt, lastRx_);
        if (paced_)
            readAt += kByteTime;
        lastRx_ = readAt;
        return readAt;
    }

    // When a byte ready to go at `readyAt` has fully reached the other end. Bytes leave one
    // after another, so a byte never overtakes the one queued before it.
    [[nodiscard]] SimClock::time_point transmit(SimClock::time_point readyAt) {
        readyAt = std::max(readyAt, lastTx_);
        if (paced_)
            readyAt += kByteTime;
        lastTx_ = readyAt;
        return readyAt;
    }

private:
    bool paced_;
    // The distant past: an idle line holds nothing back.
    SimClock::time_point lastRx_ = SimClock::time_point::min();
    SimClock::time_point lastTx_ = SimClock::time_point::min();
};

} // namespace quillmark::sim
