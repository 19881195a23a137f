#pragma once

// Station files in either form: raw (.rds, the program's own) or JSON (.json).

#include "station_json.h"

#include <filesystem>

namespace quillmark::cli {

// JSON when the name ends in .json (any case), raw otherwise.
[[nodiscard]] bool isJsonName(const std::filesystem::path& path);

// A raw file shorter than 256 bytes leaves the rest at the programming defaults, as the
// program's own map would have them. Failures are Failure(kExitFile) naming the file.
[[nodiscard]] DeviceBytes loadStation(const std::filesystem::path& path);
[[nodiscard]] DeviceBytes loadRawStation(const std::filesystem::path& path);
[[nodiscard]] DeviceBytes loadJsonStation(const std::filesystem::path& path);

// Written whole through a temporary file and a rename, so a failure leaves no partial file.
void saveStation(const std::filesystem::path& path, const DeviceBytes& map);
void saveText(const std::filesystem::path& path, const std::string& text);

} // namespace quillmark::cli
