#pragma once

// The station in words, as the program's pages show it, for `show`. A value the pages'
// lists do not hold is shown as its number, as the JSON form has it.

#include "core/station_file_json.h"

#include <string>

namespace quillmark::cli {

[[nodiscard]] std::string showText(const Station& station);

} // namespace quillmark::cli
