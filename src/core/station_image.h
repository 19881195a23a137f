#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace quillmark {

using Byte = std::uint8_t;

inline constexpr std::size_t kImageSize = 432;
inline constexpr std::size_t kReplyBufferSize = 176;
inline constexpr std::size_t kDeviceMapOffset = 176;
inline constexpr std::size_t kDeviceMapSize = 256;
inline constexpr std::size_t kRtStagingOffset = 104;
inline constexpr std::size_t kRtStagingSize = 64;
inline constexpr std::size_t kPsStagingOffset = 168;
inline constexpr std::size_t kPsStagingSize = 8;

// A block of the encoder memory: device address of its first byte and its length.
struct Block {
    int address;
    int length;
    friend constexpr bool operator==(Block, Block) = default;
};

// Frame index f: 0 for "Frame 1", 1 for "Frame 2"; PS screen s: 0 to 7.
[[nodiscard]] constexpr Block piBlock(int f) {
    return {4 * f, 2};
}
[[nodiscard]] constexpr Block ptyBlock(int f) {
    return {4 * f + 2, 2};
}
[[nodiscard]] constexpr Block afBlock(int f) {
    return {8 + 16 * f, 16};
}
[[nodiscard]] constexpr Block radioTextBlock() {
    return {40, 64};
}
[[nodiscard]] constexpr Block psScreenBlock(int f, int s) {
    return {104 + 64 * f + 8 * s, 8};
}
[[nodiscard]] constexpr Block sequenceBlock(int f) {
    return {252 + 2 * f, 2};
}
[[nodiscard]] constexpr Block spareBlock() {
    return {232, 20};
}
[[nodiscard]] constexpr Block memoryHalf(int half) {
    return {128 * half, 128};
}

// The 432-byte image: ReplyBuffer (0..175) followed by the DeviceMap (176..431).
// Regions are plain views at fixed offsets; no structure is laid over the bytes.
class StationImage {
public:
    [[nodiscard]] std::span<Byte, kImageSize> bytes() { return bytes_; }
    [[nodiscard]] std::span<const Byte, kImageSize> bytes() const { return bytes_; }

    [[nodiscard]] std::span<Byte, kReplyBufferSize> ReplyBuffer() {
        return std::span(bytes_).first<kReplyBufferSize>();
    }
    [[nodiscard]] std::span<const Byte, kReplyBufferSize> ReplyBuffer() const {
        return std::span(bytes_).first<kReplyBufferSize>();
    }
    [[nodiscard]] std::span<Byte, kDeviceMapSize> DeviceMap() {
        return std::span(bytes_).subspan<kDeviceMapOffset, kDeviceMapSize>();
    }
    [[nodiscard]] std::span<const Byte, kDeviceMapSize> DeviceMap() const {
        return std::span(bytes_).subspan<kDeviceMapOffset, kDeviceMapSize>();
    }
    [[nodiscard]] std::span<Byte, kRtStagingSize> RtStaging() {
        return std::span(bytes_).subspan<kRtStagingOffset, kRtStagingSize>();
    }
    [[nodiscard]] std::span<Byte, kPsStagingSize> PsStaging() {
        return std::span(bytes_).subspan<kPsStagingOffset, kPsStagingSize>();
    }
    [[nodiscard]] std::span<const Byte, kPsStagingSize> PsStaging() const {
        return std::span(bytes_).subspan<kPsStagingOffset, kPsStagingSize>();
    }

    // Device-map bytes of a block; the block must lie within 0..255.
    [[nodiscard]] std::span<Byte> device(Block b);
    [[nodiscard]] std::span<const Byte> device(Block b) const;

    // Copies a device-map block to the start of the ReplyBuffer (display routines read there).
    void copyDeviceToReply(Block b);

    // Start-up values (iniciaarxiu): addresses 232..251 are left as they are.
    void initialiseStartupValues();
    // "Inicializar Programación": all 256 bytes, spare stretch as spaces.
    void applyProgrammingDefaults();

private:
    std::array<Byte, kImageSize> bytes_{};
};

} // namespace quillmark
