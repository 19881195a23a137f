#pragma once

// The character table RDS receivers show PS and RadioText bytes with. It is not Latin-1,
// not even in the ASCII range.

#include "core/station_image.h"

namespace quillmark::rds {

// The character a receiver shows for a byte; 0 for the control and unused codes, which
// show nothing.
[[nodiscard]] char32_t receiverCharacter(Byte b);

// The editors store each typed character as its Latin-1 byte: true when a radio shows
// that byte as something else.
[[nodiscard]] bool shownDifferently(Byte b);

} // namespace quillmark::rds
