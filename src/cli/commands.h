#pragma once

// The subcommands of quillmark-cli. Each returns its exit status or throws Failure; results
// go to `out`, nothing else does.

#include <filesystem>
#include <optional>
#include <ostream>
#include <string>

namespace quillmark::cli {

struct ProgramRequest {
    std::string port;
    std::filesystem::path file;
    bool verify = false;
    bool ifDifferent = false;
    bool json = false;
};

// operand: a station file or a PORT, as for diff.
int showCommand(const std::string& operand, bool json, std::ostream& out);
int exportCommand(const std::filesystem::path& file,
                  const std::optional<std::filesystem::path>& output, std::ostream& out);
int importCommand(const std::filesystem::path& file, const std::filesystem::path& output);
int diffCommand(const std::string& a, const std::string& b, bool json, std::ostream& out);
int readCommand(const std::string& port, const std::filesystem::path& output);
int programCommand(const ProgramRequest& request, std::ostream& out);
int portsCommand(bool json, std::ostream& out);

} // namespace quillmark::cli
