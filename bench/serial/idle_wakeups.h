#pragma once

// Wake-ups of named threads while the UI thread sits in its event loop and nothing moves
// on the line.

#include "latency_stats.h"

#include <string>
#include <vector>

namespace bench {

struct IdleWakeups {
    std::string thread;
    int tid = 0;
    long wakeups = -1; // growth of voluntary context switches; -1 if the thread went away
};

// Runs the event loop for `period` and reports each thread named in `names` (every thread
// of that name) and the UI thread itself.
[[nodiscard]] std::vector<IdleWakeups> measureIdle(const std::vector<std::string>& names,
                                                   Nanos period);

} // namespace bench
