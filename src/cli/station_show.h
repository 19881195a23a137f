#pragma once

// The station in words, as the program's pages show it: for `show` and `show --json`.

#include "station_json.h"

#include <string>

namespace quillmark::cli {

[[nodiscard]] std::string showText(const DeviceBytes& map);
[[nodiscard]] nlohmann::ordered_json showJson(const DeviceBytes& map);

} // namespace quillmark::cli
