#pragma once

// The program's priority class while a port holds it raised. Linux keeps a nice value per
// thread, so the class is given to every thread of the program and each one's earlier value
// is put back. Child processes start at the program's earlier value, never raised.

#include <optional>
#include <sys/types.h>
#include <utility>
#include <vector>

class QProcess;

namespace quillmark::serial {

class ProcessPriority {
public:
    ProcessPriority() = default;
    ~ProcessPriority() { restore(); }
    ProcessPriority(const ProcessPriority&) = delete;
    ProcessPriority& operator=(const ProcessPriority&) = delete;

    // Best effort: a thread that refuses keeps its value.
    void apply(int nice);
    void restore();
    [[nodiscard]] bool applied() const { return callerBefore_.has_value(); }

private:
    std::vector<std::pair<pid_t, int>> before_;
    std::optional<int> callerBefore_;
};

// Makes the process that `process` starts begin at the program's normal priority.
void startAtNormalPriority(QProcess& process);

// Process-wide nice of the calling thread; nullopt when it cannot be read.
[[nodiscard]] std::optional<int> currentNice();

} // namespace quillmark::serial
