#pragma once

// Station files for the tool: the shared forms, with failures as Failure(kExitFile) naming
// the file.

#include "core/station_file_forms.h"

#include <filesystem>
#include <string>

namespace quillmark::cli {

[[nodiscard]] Station loadStation(const std::filesystem::path& path);
[[nodiscard]] Station loadJsonStation(const std::filesystem::path& path);
void saveStation(const std::filesystem::path& path, const Station& station);
void saveText(const std::filesystem::path& path, const std::string& text);

// Refuses (exit 2) a name whose form is not `wantJson`, before anything is read or written.
void requireForm(const std::filesystem::path& path, bool wantJson);

// Refuses (exit 4) an output whose folder is missing or not a folder, before the encoder
// is touched.
void checkOutputFolder(const std::filesystem::path& path);

} // namespace quillmark::cli
