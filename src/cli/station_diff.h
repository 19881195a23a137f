#pragma once

// Field-by-field differences of two stations, through their JSON form: the form keeps every
// byte, so two images differ exactly when some field does.

#include "station_json.h"

#include <string>
#include <vector>

namespace quillmark::cli {

struct FieldDifference {
    std::string field; // e.g. frames[0].pi
    std::string left;  // the value as JSON text
    std::string right;
};

// Every differing field, in document order.
[[nodiscard]] std::vector<FieldDifference> fieldDifferences(const DeviceBytes& a,
                                                            const DeviceBytes& b);

// One line per differing field: `frames[0].pi: "E000" -> "E012"`; empty when equal.
[[nodiscard]] std::vector<std::string> stationDifferences(const DeviceBytes& a,
                                                          const DeviceBytes& b);

} // namespace quillmark::cli
