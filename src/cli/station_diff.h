#pragma once

// Field-by-field differences of two stations, through their JSON form: the form keeps every
// byte, so two images differ exactly when some field does.

#include "core/station_file_json.h"

#include <string>
#include <vector>

namespace quillmark::cli {

// One line per differing field: `frames[0].pi: "E000" -> "E012"`; empty when equal.
[[nodiscard]] std::vector<std::string> stationDifferences(const Station& a,
                                                          const Station& b);

} // namespace quillmark::cli
