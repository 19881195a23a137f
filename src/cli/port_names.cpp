#include "port_names.h"

#include "core/port_setting.h"
#include "ports/port_entries.h"

#include <sstream>

namespace quillmark::cli {

namespace {

bool isNetworkEntry(const std::string& port) {
    const auto n = ports::comNumber(port);
    return n && ports::readPortEntry(configDirectory(), *n).kind == ports::PortEntry::Kind::Network;
}

} // namespace

ports::DiagnosisContext systemDiagnosisContext() {
    ports::DiagnosisContext context;
    try {
        context.devices = ports::discoverSerialDevices(*ports::systemTtyEnumerator());
        context.devicesKnown = true;
    } catch (const std::exception&) {
        // Without udev: no device list, no stable names to suggest.
    }
    return context;
}

std::string portLabel(const std::string& port) {
    const auto n = ports::comNumber(port);
    if (!n)
        return port;
    const ports::PortEntry entry = ports::readPortEntry(configDirectory(), *n);
    const std::string target = entry.kind == ports::PortEntry::Kind::Other
                                   ? ports::resolvePortPath(configDirectory(), port)
                                   : entry.target;
    return port + " (" + target + ")";
}

std::vector<std::string> openFailureHints(const std::string& port) {
    if (isNetworkEntry(port))
        return {}; // the connection's own message says what failed
    const ports::DiagnosisContext context = systemDiagnosisContext();
    // The open's errno is not kept by the line, so the device is examined as it is now.
    const auto diagnosis =
        ports::probePort(ports::resolvePortPath(configDirectory(), port), context);
    std::vector<std::string> lines;
    std::istringstream text(ports::explain(diagnosis, port));
    for (std::string line; std::getline(text, line);)
        if (!line.empty())
            lines.push_back(line);
    return lines;
}

} // namespace quillmark::cli
