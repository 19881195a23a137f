// `ports`: the names the program can open. COM1 to COM8 are its list; any other COMn entry
// of the config folder works too.

#include "commands.h"
#include "failures.h"

#include "core/port_setting.h"

#include <nlohmann/json.hpp>

#include <charconv>
#include <fstream>
#include <map>

namespace quillmark::cli {

namespace fs = std::filesystem;

namespace {

constexpr int kListedPorts = 8;

struct PortEntry {
    std::string name;
    std::string target; // what the name opens
    bool available = false;
};

int comNumber(const std::string& name) {
    if (name.size() < 4 || !name.starts_with("COM") || name[3] == '0')
        return 0;
    int n = 0;
    const char* end = name.data() + name.size();
    const auto [ptr, ec] = std::from_chars(name.data() + 3, end, n);
    return ec == std::errc{} && ptr == end && n >= 1 && n <= 255 ? n : 0;
}

PortEntry describeEntry(int n) {
    PortEntry e{"COM" + std::to_string(n), "/dev/ttyS" + std::to_string(n - 1)};
    const fs::path entry = configDirectory() / e.name;
    std::error_code ec;
    const auto status = fs::symlink_status(entry, ec);
    if (!ec && fs::is_symlink(status)) {
        e.target = fs::read_symlink(entry, ec).string();
    } else if (!ec && fs::is_regular_file(status)) {
        // A network entry: its first line is the address.
        std::ifstream in(entry);
        std::getline(in, e.target);
        e.available = !e.target.empty();
        return e;
    }
    e.available = fs::exists(entry, ec) || (!fs::is_symlink(status) && fs::exists(e.target, ec));
    return e;
}

std::vector<PortEntry> entries() {
    std::map<int, PortEntry> byNumber;
    for (int n = 1; n <= kListedPorts; ++n)
        byNumber[n] = describeEntry(n);
    std::error_code ec;
    for (const auto& item : fs::directory_iterator(configDirectory(), ec))
        if (const int n = comNumber(item.path().filename().string()))
            byNumber[n] = describeEntry(n);
    std::vector<PortEntry> list;
    for (auto& [n, e] : byNumber)
        list.push_back(std::move(e));
    return list;
}

} // namespace

int portsCommand(bool json, std::ostream& out) {
    const auto list = entries();
    if (json) {
        nlohmann::ordered_json doc = nlohmann::ordered_json::array();
        for (const PortEntry& e : list)
            doc.push_back({{"port", e.name}, {"target", e.target}, {"available", e.available}});
        out << doc.dump(2) << '\n';
        return kExitOk;
    }
    for (const PortEntry& e : list)
        out << e.name << '\t' << e.target << (e.available ? "" : "\t(not present)") << '\n';
    return kExitOk;
}

} // namespace quillmark::cli
