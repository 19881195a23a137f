#pragma once

// The station as reviewable JSON ("format": "quillmark-station", "version": 1). Every one of
// the 256 bytes is kept: values the program's lists do not know stay as raw numbers, so
// that importing an export gives the same bytes back. The layout is documented in the man
// page (quillmark-cli.1, JSON FORM) and the README.

#include "core/station_image.h"

#include <nlohmann/json.hpp>

#include <array>
#include <stdexcept>
#include <string>
#include <string_view>

namespace quillmark::cli {

using DeviceBytes = std::array<Byte, kDeviceMapSize>;

inline constexpr const char* kStationFormat = "quillmark-station";
inline constexpr int kStationFormatVersion = 1;

// A document that is not a station: what names the offending field and what was expected.
class SchemaError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

[[nodiscard]] nlohmann::ordered_json stationToJson(const DeviceBytes& map);
[[nodiscard]] DeviceBytes stationFromJson(const nlohmann::json& doc);

// Pretty-printed, ending in a line end.
[[nodiscard]] std::string exportStation(const DeviceBytes& map);
// Parses and checks; throws SchemaError for bad syntax too.
[[nodiscard]] DeviceBytes importStation(std::string_view text);

} // namespace quillmark::cli
