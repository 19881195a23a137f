#include "commands.h"

#include "failures.h"
#include "port_line.h"
#include "progress_bar.h"
#include "station_diff.h"
#include "station_files.h"
#include "station_show.h"

#include "protocol/session.h"

#include <algorithm>
#include <functional>
#include <numeric>

namespace quillmark::cli {

namespace fs = std::filesystem;

namespace {

// Runs the steps against an open port; any failure of the line or the encoder is exit 3.
template <typename F> auto onPort(const std::string& port, int wireBytes, F&& steps) {
    try {
        PortLine line(port);
        ProgressBar bar(wireBytes);
        protocol::Session session(line, [&bar](int n) { bar.advance(n); });
        return steps(session);
    } catch (const protocol::CommunicationError& e) {
        throw Failure(kExitDevice, port + ": " + e.what());
    }
}

DeviceBytes readPort(const std::string& port) {
    return onPort(port, protocol::kWholeReadWireBytes,
                  [](protocol::Session& s) { return s.readWholeDevice(); });
}

DeviceBytes loadOperand(const std::string& operand) {
    return looksLikePort(operand) ? readPort(operand) : loadStation(operand);
}

std::string firstDifference(const DeviceBytes& a, const DeviceBytes& b) {
    const auto [ia, ib] = std::mismatch(a.begin(), a.end(), b.begin());
    const auto count = std::inner_product(a.begin(), a.end(), b.begin(), 0, std::plus<>(),
                                          std::not_equal_to<>());
    return std::to_string(count) + " bytes differ, the first at address " +
           protocol::hexAddress(static_cast<int>(ia - a.begin()));
}

} // namespace

int showCommand(const fs::path& file, bool json, std::ostream& out) {
    const DeviceBytes map = loadStation(file);
    if (json)
        out << showJson(map).dump(2) << '\n';
    else
        out << showText(map);
    return kExitOk;
}

int exportCommand(const fs::path& file, const std::optional<fs::path>& output, std::ostream& out) {
    const std::string text = exportStation(loadStation(file));
    if (output)
        saveText(*output, text);
    else
        out << text;
    return kExitOk;
}

int importCommand(const fs::path& file, const fs::path& output) {
    saveStation(output, loadJsonStation(file));
    return kExitOk;
}

int diffCommand(const std::string& a, const std::string& b, std::ostream& out) {
    const DeviceBytes left = loadOperand(a);
    const DeviceBytes right = loadOperand(b);
    const auto lines = stationDifferences(left, right);
    for (const std::string& line : lines)
        out << line << '\n';
    return lines.empty() ? kExitOk : kExitDiffers;
}

int readCommand(const std::string& port, const fs::path& output) {
    // Only a complete read comes back, so nothing is written for a broken one.
    saveStation(output, readPort(port));
    return kExitOk;
}

int programCommand(const ProgramRequest& r, std::ostream& out) {
    const DeviceBytes wanted = loadStation(r.file);
    const int wire = protocol::kProgramWireBytes +
                     (r.ifDifferent ? protocol::kWholeReadWireBytes : 0) +
                     (r.verify ? protocol::kWholeReadWireBytes : 0);
    const bool changed = onPort(r.port, wire, [&](protocol::Session& s) {
        if (r.ifDifferent && s.readWholeDevice() == wanted)
            return false;
        s.programWholeDevice(wanted);
        if (r.verify) {
            const DeviceBytes back = s.readWholeDevice();
            if (back != wanted)
                throw protocol::CommunicationError("verify failed: " +
                                                   firstDifference(wanted, back));
        }
        return true;
    });
    if (r.json) {
        nlohmann::ordered_json result;
        result["port"] = r.port;
        result["file"] = r.file.string();
        result["changed"] = changed;
        if (r.verify)
            result["verified"] = true;
        out << result.dump() << '\n';
    } else {
        out << "changed: " << (changed ? "true" : "false") << '\n';
        if (r.verify)
            out << "verified: true\n";
    }
    return kExitOk;
}

} // namespace quillmark::cli
