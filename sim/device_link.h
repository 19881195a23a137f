#pragma once

// The symbolic link through which the tool finds the simulated encoder (<config dir>/COM1).

#include <filesystem>

namespace quillmark::sim {

// Makes `link` point at `target`, creating its folder. An existing link to another
// pseudo-terminal (left by an earlier run) is replaced; anything else there is the user's
// and is kept: std::filesystem::filesystem_error with EEXIST.
void makeDeviceLink(const std::filesystem::path& link, const std::filesystem::path& target);

// Removes `link` if it still points at `target`; never throws.
void removeDeviceLink(const std::filesystem::path& link,
                      const std::filesystem::path& target) noexcept;

} // namespace quillmark::sim
