#include "station_file_forms.h"

#include "errors.h"
#include "posix_file.h"
#include "station_file.h"

#include <algorithm>
#include <cctype>
#include <sys/stat.h>

namespace quillmark {

namespace fs = std::filesystem;

namespace {

// Far above any station document; stops a wrong file from being read whole.
constexpr std::size_t kMaxJsonSize = 1 << 20;
constexpr std::size_t kOldStationFileSize = kStationFileSize - 1;

// At most `limit` + 1 bytes, so that a longer file shows as one.
std::string readUpTo(const fs::path& path, std::size_t limit) {
    int err = 0;
    posix::UniqueFd fd = posix::openForReading(path, err);
    if (!fd.valid())
        throw inOutErrorFromErrno(err);
    std::string bytes(limit + 1, '\0');
    std::size_t got = 0;
    if (const int readErr = posix::readUpTo(
            fd.get(), std::as_writable_bytes(std::span(bytes.data(), bytes.size())), got))
        throw inOutErrorFromErrno(readErr);
    bytes.resize(got);
    return bytes;
}

std::string sizeOf(const fs::path& path, std::size_t readSoFar) {
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode))
        return std::to_string(st.st_size) + " bytes";
    return "more than " + std::to_string(readSoFar - 1) + " bytes";
}

Station readRawStation(const fs::path& path) {
    const std::string bytes = readUpTo(path, kStationFileSize);
    if (bytes.size() != kStationFileSize && bytes.size() != kOldStationFileSize) {
        const std::string size = bytes.size() > kStationFileSize
                                     ? sizeOf(path, bytes.size())
                                     : std::to_string(bytes.size()) + " bytes";
        throw SchemaError("not a station file: it holds " + size + ", a station file 255 or 256");
    }
    Station station;
    std::transform(bytes.begin(), bytes.end(), station.map.begin(),
                   [](char c) { return static_cast<Byte>(c); });
    station.hasLastByte = bytes.size() == kStationFileSize;
    return station;
}

} // namespace

bool isJsonName(const fs::path& path) {
    std::string ext = path.extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return ext == ".json";
}

Station readJsonStation(const fs::path& path) {
    const std::string text = readUpTo(path, kMaxJsonSize);
    if (text.size() > kMaxJsonSize)
        throw SchemaError("larger than " + std::to_string(kMaxJsonSize) + " bytes");
    return importStation(text);
}

Station readStation(const fs::path& path) {
    return isJsonName(path) ? readJsonStation(path) : readRawStation(path);
}

void writeStation(const fs::path& path, const Station& station) {
    if (isJsonName(path)) {
        const std::string text = exportStation(station);
        saveFileAtomically(path, std::as_bytes(std::span(text.data(), text.size())));
        return;
    }
    const auto bytes = std::as_bytes(std::span(station.map));
    saveFileAtomically(path, station.hasLastByte ? bytes : bytes.first(kOldStationFileSize));
}

} // namespace quillmark
