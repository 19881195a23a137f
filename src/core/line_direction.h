#pragma once

#include <chrono>
#include <cstdint>

namespace quillmark {

// The clock of every byte seen on the line: monotonic, so pauses and answer times hold.
using LineClock = std::chrono::steady_clock;

enum class LineDirection : std::uint8_t { ToEncoder, FromEncoder };

} // namespace quillmark
