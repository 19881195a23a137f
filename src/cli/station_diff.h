#pragma once

// Field-by-field differences of two stations, through their JSON form: the form keeps every
// byte, so two images differ exactly when some field does.

#include "core/station_file_json.h"

#include <string>
#include <vector>

namespace quillmark::cli {

struct Difference {
    std::string field;           // frames[0].pi
    nlohmann::ordered_json a, b; // the values; discarded when absent on that side
    bool inA = true, inB = true;
};

[[nodiscard]] std::vector<Difference> differingFields(const Station& a, const Station& b);

// One line per differing field: `frames[0].pi: "E000" -> "E012"`; empty when equal.
[[nodiscard]] std::vector<std::string> stationDifferences(const Station& a, const Station& b);

// {"equal": false, "differences": [{"field": "frames[0].pi", "a": "E000", "b": "E012"}]};
// a side without the field has no "a" or "b".
[[nodiscard]] nlohmann::ordered_json differencesJson(const Station& a, const Station& b);

} // namespace quillmark::cli
