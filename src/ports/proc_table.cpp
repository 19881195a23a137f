#include "ports/proc_table.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <climits>
#include <fstream>
#include <string_view>
#include <system_error>

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

namespace quillmark::ports {

namespace fs = std::filesystem;

namespace {

[[nodiscard]] bool parsePid(const std::string& name, int& pid) {
    const auto* end = name.data() + name.size();
    const auto [stop, error] = std::from_chars(name.data(), end, pid);
    return error == std::errc() && stop == end && pid > 0;
}

} // namespace

std::vector<int> ProcTable::pids() const {
    std::vector<int> found;
    std::error_code ec;
    for (fs::directory_iterator it(root_, ec), end; !ec && it != end; it.increment(ec)) {
        int pid = 0;
        if (parsePid(it->path().filename().string(), pid))
            found.push_back(pid);
    }
    std::sort(found.begin(), found.end());
    return found;
}

std::string ProcTable::programOf(int pid) const {
    std::ifstream comm(root_ / std::to_string(pid) / "comm");
    std::string name;
    std::getline(comm, name);
    return name;
}

std::vector<std::string> ProcTable::nodesOpenBy(int pid,
                                                const std::vector<std::string>& nodes) const {
    std::vector<std::string> found;
    const std::string folder = (root_ / std::to_string(pid) / "fd").string();
    // A process may end, or hide its descriptors, at any moment: skip it then.
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr)
        return found;
    std::array<char, PATH_MAX> target{};
    while (const dirent* entry = ::readdir(dir)) {
        const ssize_t n = ::readlinkat(::dirfd(dir), entry->d_name, target.data(), target.size());
        if (n <= 0 || static_cast<std::size_t>(n) >= target.size())
            continue;
        const std::string_view path(target.data(), static_cast<std::size_t>(n));
        const auto node = std::find(nodes.begin(), nodes.end(), path);
        if (node != nodes.end() && std::find(found.begin(), found.end(), *node) == found.end())
            found.push_back(*node);
    }
    ::closedir(dir);
    return found;
}

void ProcTable::takeSnapshot(const std::vector<std::string>& nodes) {
    auto holders = std::make_shared<Holders>();
    for (const auto& node : nodes)
        (*holders)[node]; // known, even when no one holds it
    for (const int pid : pids()) {
        const auto held = nodesOpenBy(pid, nodes);
        if (held.empty())
            continue;
        const ProcessInfo process{pid, programOf(pid)};
        for (const auto& node : held)
            (*holders)[node].push_back(process);
    }
    snapshot_ = std::move(holders);
}

std::vector<ProcessInfo> ProcTable::holdersOf(const std::string& node) const {
    if (snapshot_) {
        if (const auto found = snapshot_->find(node); found != snapshot_->end())
            return found->second;
    }
    std::vector<ProcessInfo> holders;
    for (const int pid : pids())
        if (!nodesOpenBy(pid, {node}).empty())
            holders.push_back({pid, programOf(pid)});
    return holders;
}

std::vector<ProcessInfo> ProcTable::running(const std::vector<std::string>& programs) const {
    std::vector<ProcessInfo> found;
    for (const int pid : pids()) {
        std::string name = programOf(pid);
        if (std::find(programs.begin(), programs.end(), name) != programs.end())
            found.push_back({pid, std::move(name)});
    }
    return found;
}

} // namespace quillmark::ports
