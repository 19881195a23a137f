#include "station_files.h"

#include "core/errors.h"
#include "core/posix_file.h"
#include "core/station_file.h"
#include "failures.h"

#include <algorithm>
#include <cctype>

namespace quillmark::cli {

namespace fs = std::filesystem;

namespace {

// Far above any station document; stops a wrong file from being read whole.
constexpr std::size_t kMaxJsonSize = 1 << 20;

[[noreturn]] void fileFailure(const fs::path& path, const std::string& message) {
    throw Failure(kExitFile, path.string() + ": " + message);
}

std::string readText(const fs::path& path) {
    int err = 0;
    posix::UniqueFd fd = posix::openForReading(path, err);
    if (!fd.valid())
        throw inOutErrorFromErrno(err);
    std::string text(kMaxJsonSize + 1, '\0');
    std::size_t got = 0;
    if (const int readErr = posix::readUpTo(
            fd.get(), std::as_writable_bytes(std::span(text.data(), text.size())), got))
        throw inOutErrorFromErrno(readErr);
    if (got > kMaxJsonSize)
        throw SchemaError("larger than " + std::to_string(kMaxJsonSize) + " bytes");
    text.resize(got);
    return text;
}

} // namespace

bool isJsonName(const fs::path& path) {
    std::string ext = path.extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return ext == ".json";
}

DeviceBytes loadRawStation(const fs::path& path) {
    StationImage image;
    image.applyProgrammingDefaults();
    DeviceBytes map{};
    std::copy(image.DeviceMap().begin(), image.DeviceMap().end(), map.begin());
    try {
        (void)openStationFile(path, map);
    } catch (const InOutError& e) {
        fileFailure(path, e.what());
    }
    return map;
}

DeviceBytes loadJsonStation(const fs::path& path) {
    try {
        return importStation(readText(path));
    } catch (const InOutError& e) {
        fileFailure(path, e.what());
    } catch (const SchemaError& e) {
        fileFailure(path, e.what());
    }
}

DeviceBytes loadStation(const fs::path& path) {
    return isJsonName(path) ? loadJsonStation(path) : loadRawStation(path);
}

void saveText(const fs::path& path, const std::string& text) {
    try {
        saveFileAtomically(path, std::as_bytes(std::span(text.data(), text.size())));
    } catch (const InOutError& e) {
        fileFailure(path, e.what());
    }
}

void saveStation(const fs::path& path, const DeviceBytes& map) {
    if (isJsonName(path)) {
        saveText(path, exportStation(map));
        return;
    }
    try {
        saveStationFile(path, map);
    } catch (const InOutError& e) {
        fileFailure(path, e.what());
    }
}

} // namespace quillmark::cli
