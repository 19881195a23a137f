#pragma once

// Figures the kernel keeps about this process and its threads.

#include <chrono>
#include <string>
#include <vector>

namespace bench {

// Kernel ids of this process's threads whose name (comm) is `name`.
[[nodiscard]] std::vector<int> threadIdsNamed(const std::string& name);
// voluntary_ctxt_switches of one thread (each time it blocked and was woken), or -1 if
// it is gone.
[[nodiscard]] long voluntaryContextSwitches(int tid);
// CPU time of the whole process and of the calling thread.
[[nodiscard]] std::chrono::nanoseconds processCpuTime();
[[nodiscard]] std::chrono::nanoseconds threadCpuTime();

} // namespace bench
