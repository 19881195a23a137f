#include "commands.h"

#include "failures.h"
#include "port_line.h"
#include "port_names.h"
#include "progress_bar.h"
#include "station_diff.h"
#include "station_files.h"
#include "station_show.h"

#include "protocol/session.h"

#include <algorithm>
#include <functional>
#include <memory>
#include <numeric>

namespace quillmark::cli {

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kLastAddress = kDeviceMapSize - 1;

// An open port with its progress bar; any failure of the line or the encoder is exit 3,
// named with what the port resolved to.
class Encoder {
public:
    explicit Encoder(const std::string& port) : label_(portLabel(port)) {
        try {
            line_ = std::make_unique<PortLine>(port);
        } catch (const protocol::CommunicationError& e) {
            throw Failure(kExitDevice, label_ + ": " + e.what(), openFailureHints(port));
        }
        session_ = std::make_unique<protocol::Session>(*line_, [this](int n) { bar_.advance(n); });
    }

    template <typename F> auto run(const char* step, int wireBytes, F&& exchange) {
        bar_.begin(step, wireBytes);
        try {
            return exchange(*session_);
        } catch (const protocol::CommunicationError& e) {
            throw Failure(kExitDevice, label_ + ": " + e.what());
        }
    }

    [[nodiscard]] DeviceBytes read(const char* step = "Leyendo") {
        return run(step, protocol::kWholeReadWireBytes,
                   [](protocol::Session& s) { return s.readWholeDevice(); });
    }

    [[nodiscard]] const std::string& label() const { return label_; }

private:
    std::string label_;
    ProgressBar bar_;
    std::unique_ptr<PortLine> line_;
    std::unique_ptr<protocol::Session> session_;
};

Station loadOperand(const std::string& operand) {
    if (looksLikePort(operand))
        return Encoder(operand).read();
    return loadStation(operand);
}

std::string firstDifference(const DeviceBytes& a, const DeviceBytes& b) {
    const auto [ia, ib] = std::mismatch(a.begin(), a.end(), b.begin());
    const auto count =
        std::inner_product(a.begin(), a.end(), b.begin(), 0, std::plus<>(), std::not_equal_to<>());
    return std::to_string(count) + " bytes differ, the first at address " +
           protocol::hexAddress(static_cast<int>(ia - a.begin()));
}

void printResult(const ProgramRequest& r, bool changed, std::ostream& out) {
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
}

} // namespace

int showCommand(const std::string& operand, bool json, std::ostream& out) {
    const Station station = loadOperand(operand);
    if (json)
        out << describedStationJson(station).dump(2) << '\n';
    else
        out << showText(station);
    return kExitOk;
}

int exportCommand(const fs::path& file, const std::optional<fs::path>& output, std::ostream& out) {
    if (output)
        requireForm(*output, true);
    const std::string text = exportStation(loadStation(file));
    if (output)
        saveText(*output, text);
    else
        out << text;
    return kExitOk;
}

int importCommand(const fs::path& file, const fs::path& output) {
    requireForm(output, false);
    saveStation(output, loadJsonStation(file));
    return kExitOk;
}

int diffCommand(const std::string& a, const std::string& b, bool json, std::ostream& out) {
    const Station left = loadOperand(a);
    const Station right = loadOperand(b);
    if (json) {
        const auto doc = differencesJson(left, right);
        out << doc.dump() << '\n';
        return doc["equal"].get<bool>() ? kExitOk : kExitDiffers;
    }
    const auto lines = stationDifferences(left, right);
    for (const std::string& line : lines)
        out << line << '\n';
    return lines.empty() ? kExitOk : kExitDiffers;
}

int readCommand(const std::string& port, const fs::path& output) {
    checkOutputFolder(output);
    // Only a complete read comes back, so nothing is written for a broken one.
    saveStation(output, Encoder(port).read());
    return kExitOk;
}

int programCommand(const ProgramRequest& r, std::ostream& out) {
    const Station station = loadStation(r.file);
    DeviceBytes wanted = station.map;
    Encoder encoder(r.port);
    // A file without the last address leaves the encoder's own value there.
    const bool readFirst = r.ifDifferent || !station.hasLastByte;
    if (readFirst) {
        const DeviceBytes held = encoder.read();
        if (!station.hasLastByte)
            wanted[kLastAddress] = held[kLastAddress];
        if (r.ifDifferent && held == wanted) {
            printResult(r, false, out);
            return kExitOk;
        }
    }
    encoder.run("Programando", protocol::kProgramWireBytes,
                [&](protocol::Session& s) { s.programWholeDevice(wanted); });
    if (r.verify) {
        const DeviceBytes back = encoder.read("Verificando");
        if (back != wanted)
            throw Failure(kExitDevice,
                          encoder.label() + ": verify failed: " + firstDifference(wanted, back));
    }
    printResult(r, true, out);
    return kExitOk;
}

} // namespace quillmark::cli
