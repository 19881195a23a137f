#pragma once

// Encoder texts are one byte per character in Latin-1; JSON and terminals speak UTF-8.

#include "station_image.h"

#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace quillmark {

[[nodiscard]] std::string latin1ToUtf8(std::span<const Byte> bytes);
// std::nullopt when the text is not valid UTF-8 or holds a character above U+00FF.
[[nodiscard]] std::optional<std::string> utf8ToLatin1(std::string_view utf8);
// For a terminal: UTF-8, with control characters as \r, \n, \t or \xNN and \ and " escaped.
[[nodiscard]] std::string quoted(std::span<const Byte> bytes);
// Without trailing spaces.
[[nodiscard]] std::span<const Byte> trimTrailingSpaces(std::span<const Byte> bytes);

} // namespace quillmark
