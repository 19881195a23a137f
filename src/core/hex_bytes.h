#pragma once

// The one hex notation for bytes on the line, shared by the line monitor and the simulated
// encoder's log so that the two can be compared side by side: "01 E0 12 04 F7".

#include "station_image.h"

#include <span>
#include <string>

namespace quillmark {

// Upper-case pairs separated by one space; empty for no bytes.
[[nodiscard]] std::string hexBytes(std::span<const Byte> bytes);
void appendHexBytes(std::string& out, std::span<const Byte> bytes);

} // namespace quillmark
