#include "proc_stats.h"

#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace bench {

std::vector<int> threadIdsNamed(const std::string& name) {
    std::vector<int> ids;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/task")) {
        std::ifstream comm(entry.path() / "comm");
        std::string line;
        std::getline(comm, line);
        if (line == name)
            ids.push_back(std::stoi(entry.path().filename().string()));
    }
    return ids;
}

long voluntaryContextSwitches(int tid) {
    std::ifstream status("/proc/self/task/" + std::to_string(tid) + "/status");
    const std::string key = "voluntary_ctxt_switches:";
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(key, 0) != 0)
            continue;
        std::istringstream fields(line.substr(key.size()));
        long n = -1;
        fields >> n;
        return n;
    }
    return -1;
}

namespace {
std::chrono::nanoseconds cpuClock(clockid_t clock) {
    timespec ts{};
    ::clock_gettime(clock, &ts);
    return std::chrono::seconds(ts.tv_sec) + std::chrono::nanoseconds(ts.tv_nsec);
}
} // namespace

std::chrono::nanoseconds processCpuTime() {
    return cpuClock(CLOCK_PROCESS_CPUTIME_ID);
}

std::chrono::nanoseconds threadCpuTime() {
    return cpuClock(CLOCK_THREAD_CPUTIME_ID);
}

} // namespace bench
