#pragma once

// Station files in either form, chosen by the name: `.json` (any case) is JSON, anything
// else the raw bytes of the encoder's memory.

#include "station_file_json.h"

#include <filesystem>

namespace quillmark {

[[nodiscard]] bool isJsonName(const std::filesystem::path& path);

// File steps raise InOutError; content that is no station raises SchemaError. A raw file
// must be 255 or 256 bytes: shorter would leave addresses unset, longer is something else.
[[nodiscard]] Station readStation(const std::filesystem::path& path);
[[nodiscard]] Station readJsonStation(const std::filesystem::path& path);

// Through saveFileAtomically; a raw station without its last byte is written as 255 bytes.
void writeStation(const std::filesystem::path& path, const Station& station);

} // namespace quillmark
