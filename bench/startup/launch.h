#pragma once

// Starting one probed program and reading what its probe reports.

#include <chrono>
#include <string>

namespace bench {

struct StartupSample {
    std::chrono::nanoseconds toApplication{0}; // process start -> QApplication built
    std::chrono::nanoseconds toExposed{0};     // -> first window exposed
    std::chrono::nanoseconds toIdle{0};        // -> event loop idle after that
    long residentKb = -1;
    std::string title;    // of the first window exposed
    std::string children; // child processes 0.5 s after idle, "-" for none
    std::string failure;  // empty when the probe reported in time
};

// Spawns `program` (environment inherited) and waits up to `limit` for its report. The
// program's error output goes to `errorLog`; a failure quotes its end.
[[nodiscard]] StartupSample launchProbed(const std::string& program, const std::string& errorLog,
                                         std::chrono::seconds limit);

// Parses the probe's two lines into `s`, given the spawn time; false if they are incomplete.
bool parseProbeReport(const std::string& text, long long spawnNs, StartupSample& s);

} // namespace bench
