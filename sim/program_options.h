#pragma once

// Command line of the quillmark-encoder-sim program.

#include "pty_encoder.h"

#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace quillmark::sim {

struct ProgramOptions {
    bool help = false;
    bool paced = true;
    std::optional<std::string> link; // COMn
    std::optional<std::filesystem::path> memoryFile;
    std::optional<std::filesystem::path> logFile;
    std::optional<std::filesystem::path> groupsFile;
    std::vector<Fault> faults;
};

// Throws std::invalid_argument with a message for the user.
[[nodiscard]] ProgramOptions parseProgramOptions(const std::vector<std::string>& args);
[[nodiscard]] std::string helpText();

// Up to 256 bytes from address 0; the rest stays erased (0xFF). Throws std::runtime_error.
[[nodiscard]] std::array<Byte, 256> loadMemory(const std::filesystem::path& file);

// "rx 01 E0 12 04 F7"
[[nodiscard]] std::string hexLine(const char* prefix, const std::vector<Byte>& bytes);

} // namespace quillmark::sim
