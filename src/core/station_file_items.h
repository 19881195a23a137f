#pragma once

// The texts of the program's lists, by item index, as its editor pages show them.

#include <string>

namespace quillmark {

// Empty for an index without an item (no selection).
[[nodiscard]] std::string countryItem(int index);
[[nodiscard]] std::string coverageItem(int index);
[[nodiscard]] std::string ptyItem(int index);
// The item without its number: "Pop Music" for "10 - Pop Music".
[[nodiscard]] std::string ptyName(int index);
[[nodiscard]] std::string msItem(int index);
[[nodiscard]] std::string timingItem(int index);

} // namespace quillmark
