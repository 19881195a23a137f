#pragma once

// Which processes hold a device, read from a /proc tree. The root is a parameter so that
// tests can hand in a tree of their own.

#include <filesystem>
#include <string>
#include <vector>

namespace quillmark::ports {

struct ProcessInfo {
    int pid = 0;
    std::string program; // the process's name (comm), e.g. "ModemManager"
    friend bool operator==(const ProcessInfo&, const ProcessInfo&) = default;
};

class ProcTable {
public:
    explicit ProcTable(std::filesystem::path root = "/proc") : root_(std::move(root)) {}

    // Processes with a descriptor open on `node` (an absolute, resolved path), by pid.
    // Descriptors of other users' processes are unreadable unless running as root: those
    // holders stay unseen.
    [[nodiscard]] std::vector<ProcessInfo> holdersOf(const std::string& node) const;
    // Running processes whose name is one of `programs`, by pid.
    [[nodiscard]] std::vector<ProcessInfo> running(const std::vector<std::string>& programs) const;

private:
    [[nodiscard]] std::vector<int> pids() const;
    [[nodiscard]] std::string programOf(int pid) const;

    std::filesystem::path root_;
};

} // namespace quillmark::ports
