#include "serial/process_priority.h"

#include <QProcess>

#include <atomic>
#include <cerrno>
#include <charconv>
#include <climits>
#include <dirent.h>
#include <string_view>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace quillmark::serial {

namespace {

constexpr int kUnchanged = INT_MIN;
// Read in a forked child, where only async-signal-safe work is allowed.
std::atomic<int> normalNice{kUnchanged};

[[nodiscard]] std::optional<int> niceOf(pid_t tid) {
    errno = 0;
    const int nice = ::getpriority(PRIO_PROCESS, static_cast<id_t>(tid));
    if (nice == -1 && errno != 0)
        return std::nullopt;
    return nice;
}

void setNice(pid_t tid, int nice) {
    ::setpriority(PRIO_PROCESS, static_cast<id_t>(tid), nice);
}

[[nodiscard]] pid_t callerTid() {
    return static_cast<pid_t>(::syscall(SYS_gettid));
}

// Every thread of the program, as /proc lists it.
[[nodiscard]] std::vector<pid_t> programThreads() {
    std::vector<pid_t> tids;
    DIR* dir = ::opendir("/proc/self/task");
    if (dir == nullptr)
        return {callerTid()};
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name(entry->d_name);
        pid_t tid = 0;
        const auto [end, ec] = std::from_chars(name.data(), name.data() + name.size(), tid);
        if (ec == std::errc{} && end == name.data() + name.size())
            tids.push_back(tid);
    }
    ::closedir(dir);
    return tids;
}

} // namespace

std::optional<int> currentNice() {
    return niceOf(callerTid());
}

void ProcessPriority::apply(int nice) {
    restore();
    callerBefore_ = currentNice();
    if (!callerBefore_)
        return;
    for (const pid_t tid : programThreads()) {
        const auto before = niceOf(tid);
        if (!before)
            continue; // it has just ended
        before_.emplace_back(tid, *before);
        setNice(tid, nice);
    }
    normalNice.store(*callerBefore_);
}

void ProcessPriority::restore() {
    if (!callerBefore_)
        return;
    // Only threads still ours: an ended thread's number may belong to another process now.
    // Threads started meanwhile inherited the raised value and get the caller's earlier one.
    for (const pid_t tid : programThreads()) {
        int nice = *callerBefore_;
        for (const auto& [known, before] : before_)
            if (known == tid)
                nice = before;
        setNice(tid, nice);
    }
    normalNice.store(kUnchanged);
    before_.clear();
    callerBefore_.reset();
}

void startAtNormalPriority(QProcess& process) {
    process.setChildProcessModifier([] {
        const int nice = normalNice.load();
        if (nice != kUnchanged)
            ::setpriority(PRIO_PROCESS, 0, nice);
    });
}

} // namespace quillmark::serial
