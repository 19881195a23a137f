#include "ports/proc_table.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <climits>
#include <fstream>
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

std::vector<std::string> ProcTable::devicesOpenBy(int pid) const {
    std::vector<std::string> devices;
    const std::string folder = (root_ / std::to_string(pid) / "fd").string();
    // A process may end, or hide its descriptors, at any moment: skip it then.
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr)
        return devices;
    std::array<char, PATH_MAX> target{};
    while (const dirent* entry = ::readdir(dir)) {
        const ssize_t n = ::readlinkat(::dirfd(dir), entry->d_name, target.data(), target.size());
        if (n <= 0 || static_cast<std::size_t>(n) >= target.size())
            continue;
        std::string path(target.data(), static_cast<std::size_t>(n));
        // Sockets, pipes and the like read "socket:[...]": no path, no device.
        if (path.starts_with('/') &&
            std::find(devices.begin(), devices.end(), path) == devices.end())
            devices.push_back(std::move(path));
    }
    ::closedir(dir);
    return devices;
}

void ProcTable::takeSnapshot() {
    auto holders = std::make_shared<Holders>();
    for (const int pid : pids()) {
        const auto devices = devicesOpenBy(pid);
        if (devices.empty())
            continue;
        const ProcessInfo process{pid, programOf(pid)};
        for (const auto& device : devices)
            (*holders)[device].push_back(process);
    }
    snapshot_ = std::move(holders);
}

std::vector<ProcessInfo> ProcTable::holdersOf(const std::string& node) const {
    if (snapshot_) {
        const auto found = snapshot_->find(node);
        return found == snapshot_->end() ? std::vector<ProcessInfo>{} : found->second;
    }
    std::vector<ProcessInfo> holders;
    for (const int pid : pids()) {
        const auto devices = devicesOpenBy(pid);
        if (std::find(devices.begin(), devices.end(), node) != devices.end())
            holders.push_back({pid, programOf(pid)});
    }
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
