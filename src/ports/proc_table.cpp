#include "ports/proc_table.h"

#include <algorithm>
#include <charconv>
#include <fstream>
#include <system_error>

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

std::vector<ProcessInfo> ProcTable::holdersOf(const std::string& node) const {
    std::vector<ProcessInfo> holders;
    for (const int pid : pids()) {
        std::error_code ec;
        // A process may end, or hide its descriptors, at any moment: skip it then.
        for (fs::directory_iterator it(root_ / std::to_string(pid) / "fd", ec), end;
             !ec && it != end; it.increment(ec)) {
            std::error_code linkError;
            if (fs::read_symlink(it->path(), linkError) == node && !linkError) {
                holders.push_back({pid, programOf(pid)});
                break;
            }
        }
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
