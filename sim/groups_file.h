#pragma once

// The groups the simulated encoder would transmit, kept in a file as RDS decoders read
// them: one group a line, "PPPP BBBB CCCC DDDD".

#include "core/station_image.h"

#include <array>
#include <filesystem>
#include <mutex>
#include <optional>

namespace quillmark::sim {

// The simulated encoder puts Frame 1 on air.
inline constexpr int kTransmittedFrame = 0;

class GroupsFile {
public:
    explicit GroupsFile(std::filesystem::path path) : path_(std::move(path)) {}

    // Rewrites the file when the memory differs from the last one written. Readers never see
    // half a file. Throws std::runtime_error when it cannot be written.
    void update(const std::array<Byte, kDeviceMapSize>& memory);

private:
    std::filesystem::path path_;
    std::mutex mutex_;
    std::optional<std::array<Byte, kDeviceMapSize>> written_;
};

} // namespace quillmark::sim
