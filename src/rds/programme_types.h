#pragma once

// Programme-type names as receivers show them: the European RDS table and the North
// American RBDS one, which gives most codes another meaning.

#include <string_view>

namespace quillmark::rds {

inline constexpr int kProgrammeTypes = 32;

// Empty outside 0..31.
[[nodiscard]] std::string_view rdsProgrammeTypeName(int pty);
[[nodiscard]] std::string_view rbdsProgrammeTypeName(int pty);

} // namespace quillmark::rds
