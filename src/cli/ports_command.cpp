// `ports`: the names the program can open (COM1 to COM8 are its list; any other COMn entry
// of the config folder works too), then the serial devices this machine has.

#include "commands.h"
#include "failures.h"
#include "port_names.h"

#include "core/port_setting.h"
#include "ports/diagnosis.h"
#include "ports/port_entries.h"
#include "ports/serial_devices.h"

#include <nlohmann/json.hpp>

#include <set>
#include <string_view>

namespace quillmark::cli {

namespace fs = std::filesystem;

namespace {

constexpr int kListedPorts = 8;

using ports::PortState;

// The length of the well-formed UTF-8 sequence `text` starts with; 0 when there is none.
std::size_t utf8Length(std::string_view text) {
    const auto lead = static_cast<unsigned char>(text.front());
    const std::size_t length = lead >= 0xF0 && lead <= 0xF4  ? 4
                               : lead >= 0xE0                ? 3
                               : lead >= 0xC2 && lead < 0xE0 ? 2
                                                             : 0;
    if (length == 0 || text.size() < length)
        return 0;
    for (std::size_t k = 1; k < length; ++k)
        if ((static_cast<unsigned char>(text[k]) & 0xC0) != 0x80)
            return 0;
    const auto second = static_cast<unsigned char>(text[1]);
    // Overlong forms, surrogates and values past U+10FFFF.
    if ((lead == 0xE0 && second < 0xA0) || (lead == 0xED && second >= 0xA0) ||
        (lead == 0xF0 && second < 0x90) || (lead == 0xF4 && second >= 0x90))
        return 0;
    return length;
}

std::string stateWord(PortState state) {
    switch (state) {
    case PortState::Free:
        return "free";
    case PortState::Busy:
        return "busy";
    case PortState::NoPermission:
        return "no permission";
    case PortState::Missing:
        return "not connected";
    case PortState::Failed:
        break;
    }
    return "error";
}

std::string kindWord(ports::PortEntry::Kind kind) {
    switch (kind) {
    case ports::PortEntry::Kind::Default:
        return "default";
    case ports::PortEntry::Kind::Link:
        return "link";
    case ports::PortEntry::Kind::Network:
        return "network";
    case ports::PortEntry::Kind::Other:
        break;
    }
    return "other";
}

// Device strings and entry targets come from outside: a terminal shows their control
// characters (C0, DEL, C1 and bytes that are no UTF-8) as \xNN, never acts on them.
std::string terminalText(std::string_view text) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string out;
    const auto escape = [&out](unsigned char b) {
        out += {'\\', 'x', kHex[b >> 4], kHex[b & 0xF]};
    };
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto b = static_cast<unsigned char>(text[i]);
        if (b == '\\') {
            out += "\\\\";
        } else if (b < 0x20 || b == 0x7F) {
            escape(b);
        } else if (b < 0x80) {
            out += static_cast<char>(b);
        } else {
            const std::size_t length = utf8Length(text.substr(i));
            const bool c1 =
                length == 2 && b == 0xC2 && static_cast<unsigned char>(text[i + 1]) < 0xA0;
            if (length == 0 || c1) {
                escape(b);
                continue;
            }
            out.append(text.substr(i, length));
            i += length - 1;
        }
    }
    return out;
}

struct Listing {
    struct Port {
        std::string name;
        ports::PortEntry entry;
        std::string state;
    };
    std::vector<Port> ports;
    std::vector<ports::SerialDevice> devices;
    bool devicesKnown = false;
};

Listing list() {
    Listing l;
    const ports::DiagnosisContext context = systemDiagnosisContext();
    l.devices = context.devices;
    l.devicesKnown = context.devicesKnown;
    const fs::path dir = configDirectory();
    std::set<int> numbers;
    for (int n = 1; n <= kListedPorts; ++n)
        numbers.insert(n);
    std::error_code ec;
    for (const auto& item : fs::directory_iterator(dir, ec))
        if (const auto n = ports::comNumber(item.path().filename().string()))
            numbers.insert(*n);
    for (const int n : numbers) {
        const std::string name = "COM" + std::to_string(n);
        ports::PortEntry entry = ports::readPortEntry(dir, n);
        const std::string state =
            entry.kind == ports::PortEntry::Kind::Network
                ? "network"
                : stateWord(ports::probePort(ports::resolvePortPath(dir, name), context).state);
        l.ports.push_back({name, std::move(entry), state});
    }
    return l;
}

void printJson(const Listing& l, std::ostream& out) {
    nlohmann::ordered_json doc;
    doc["ports"] = nlohmann::ordered_json::array();
    for (const auto& p : l.ports)
        doc["ports"].push_back({{"port", p.name},
                                {"kind", kindWord(p.entry.kind)},
                                {"target", p.entry.target},
                                {"state", p.state}});
    if (l.devicesKnown) {
        doc["devices"] = nlohmann::ordered_json::array();
        for (const auto& d : l.devices)
            doc["devices"].push_back({{"node", d.node},
                                      {"stable_name", d.stableName},
                                      {"label", d.label()},
                                      {"serial_number", d.serialNumber}});
    } else {
        doc["devices"] = nullptr;
    }
    out << doc.dump(2) << '\n';
}

void printText(const Listing& l, std::ostream& out) {
    for (const auto& p : l.ports)
        out << p.name << '\t' << terminalText(p.entry.target) << '\t' << p.state << '\n';
    if (!l.devicesKnown) {
        out << "devices: unknown (udev cannot be reached)\n";
        return;
    }
    for (const auto& d : l.devices)
        out << terminalText(d.preferredName()) << '\t' << terminalText(d.label()) << '\n';
}

} // namespace

int portsCommand(bool json, std::ostream& out) {
    const Listing l = list();
    if (json)
        printJson(l, out);
    else
        printText(l, out);
    return kExitOk;
}

} // namespace quillmark::cli
