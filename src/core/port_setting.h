#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace quillmark {

// The port index as the setting file holds it: decimal digits, no line end.
[[nodiscard]] std::string formatPortIndex(int index);

// The framework integer rule: leading blanks, optional sign, decimal digits or "$" hex,
// nothing after (not even a line end). Raises ConvertError
// "'%s' is not a valid integer value". Out-of-range indexes are returned as they are.
[[nodiscard]] int parseInteger(std::string_view text);

// Whole-file write, replacing the content; raises ConvertError
// "Cannot create file \"%s\". %s" with the path and the system's text.
void writeTextFile(const std::filesystem::path& path, std::string_view text);
// Whole-file read; raises ConvertError "Cannot open file \"%s\". %s".
[[nodiscard]] std::string readTextFile(const std::filesystem::path& path);

// <XDG_CONFIG_HOME or ~/.config>/Tarvenor/Quillmark
[[nodiscard]] std::filesystem::path configDirectory();
[[nodiscard]] std::filesystem::path configFilePath();

} // namespace quillmark
