#pragma once

// Which processes hold a device, read from a /proc tree. The root is a parameter so that
// tests can hand in a tree of their own.

#include <filesystem>
#include <map>
#include <memory>
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

    // Reads which processes hold any of `nodes` in one walk; holdersOf() then answers from
    // that reading instead of walking the tree again (copies share it).
    void takeSnapshot(const std::vector<std::string>& nodes);
    // Processes with a descriptor open on `node` (an absolute, resolved path), by pid.
    // Descriptors of other users' processes are unreadable unless running as root: those
    // holders stay unseen.
    [[nodiscard]] std::vector<ProcessInfo> holdersOf(const std::string& node) const;
    // Running processes whose name is one of `programs`, by pid.
    [[nodiscard]] std::vector<ProcessInfo> running(const std::vector<std::string>& programs) const;

private:
    using Holders = std::map<std::string, std::vector<ProcessInfo>>;

    [[nodiscard]] std::vector<int> pids() const;
    [[nodiscard]] std::string programOf(int pid) const;
    // Which of `nodes` `pid` has open, each once.
    [[nodiscard]] std::vector<std::string> nodesOpenBy(int pid,
                                                       const std::vector<std::string>& nodes) const;

    std::filesystem::path root_;
    std::shared_ptr<const Holders> snapshot_;
};

} // namespace quillmark::ports
