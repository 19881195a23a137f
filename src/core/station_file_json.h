#pragma once

// The station as reviewable JSON ("format": "quillmark-station", "version": 1). Every one of
// the 256 bytes is kept: values the program's lists do not know stay as raw numbers, so
// that importing an export gives the same bytes back. The layout is documented in the man
// page (quillmark-cli.1, JSON FORM) and the README.

#include "station_image.h"

#include <nlohmann/json.hpp>

#include <array>
#include <stdexcept>
#include <string>
#include <string_view>

namespace quillmark {

using DeviceBytes = std::array<Byte, kDeviceMapSize>;

// A station as a file holds it. A 255-byte raw file from earlier versions lacks the last
// address (the Frame 2 timing byte); its value in `map` is then meaningless.
struct Station {
    DeviceBytes map{};
    bool hasLastByte = true;

    Station() = default;
    Station(const DeviceBytes& bytes, bool last = true) : map(bytes), hasLastByte(last) {}
    friend bool operator==(const Station&, const Station&) = default;
};

inline constexpr const char* kStationFormat = "quillmark-station";
inline constexpr int kStationFormatVersion = 1;

// Descriptive fields a frame may carry for readers (country and PTY names...): import
// ignores them, so a described document imports as the plain one.
inline constexpr std::array<const char*, 4> kDescriptiveFrameFields{"pi_country", "pi_coverage",
                                                                    "pi_reference", "pty_name"};

// A document that is not a station: what names the offending field and what was expected.
class SchemaError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A station without its last byte has "seconds": null in its second frame.
[[nodiscard]] nlohmann::ordered_json stationToJson(const Station& station);
[[nodiscard]] Station stationFromJson(const nlohmann::json& doc);

// Pretty-printed, ending in a line end.
[[nodiscard]] std::string exportStation(const Station& station);
// Parses and checks; throws SchemaError for bad syntax too.
[[nodiscard]] Station importStation(std::string_view text);

// stationToJson with the descriptive fields added to each frame.
[[nodiscard]] nlohmann::ordered_json describedStationJson(const Station& station);

} // namespace quillmark
