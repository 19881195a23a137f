#pragma once

// Frames the tool puts on the line. Write: code, data, address, XOR checksum.
// Read: 0x10, address, length. Erase: 0xFE 0xFE.

#include "station_image.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <span>

namespace quillmark {

inline constexpr Byte kAnswerOk = 0xAA;
inline constexpr Byte kReadCommand = 0x10;
inline constexpr Byte kEraseCommand = 0xFE;
inline constexpr std::size_t kMaxFrameLength = 19;

enum class WriteCode : Byte { PiOrPty = 1, PsScreen = 2, Af = 3, Chunk = 4, Sequence = 5 };

// Number of data bytes a write code carries (0 for an unknown code).
[[nodiscard]] constexpr int writeDataLength(Byte code) {
    switch (code) {
    case 1:
    case 5:
        return 2;
    case 2:
        return 8;
    case 3:
    case 4:
        return 16;
    default:
        return 0;
    }
}

// A frame held by value: no allocation on the send path.
class CommandFrame {
public:
    CommandFrame() = default;
    void push(Byte b) { bytes_[size_++] = b; }
    [[nodiscard]] std::span<const Byte> bytes() const { return {bytes_.data(), size_}; }
    [[nodiscard]] std::size_t size() const { return size_; }
    [[nodiscard]] Byte operator[](std::size_t i) const { return bytes_[i]; }
    friend bool operator==(const CommandFrame& a, const CommandFrame& b) {
        return std::equal(a.bytes().begin(), a.bytes().end(), b.bytes().begin(), b.bytes().end());
    }

private:
    std::array<Byte, kMaxFrameLength> bytes_{};
    std::size_t size_ = 0;
};

[[nodiscard]] Byte xorChecksum(std::span<const Byte> bytes);

// Data length must match the code (writeDataLength).
[[nodiscard]] CommandFrame writeFrame(WriteCode code, std::span<const Byte> data, Byte address);
[[nodiscard]] CommandFrame readFrame(Byte address, Byte length);
[[nodiscard]] CommandFrame eraseFrame();

[[nodiscard]] CommandFrame piWriteFrame(int f, std::span<const Byte, 2> data);
[[nodiscard]] CommandFrame ptyWriteFrame(int f, std::span<const Byte, 2> data);
[[nodiscard]] CommandFrame psWriteFrame(int f, int s, std::span<const Byte, 8> data);
[[nodiscard]] CommandFrame afWriteFrame(int f, std::span<const Byte, 16> data);
[[nodiscard]] CommandFrame sequenceWriteFrame(int f, std::span<const Byte, 2> data);
// Chunk k (0..3) of the 64 staged RadioText bytes, to address 40 + 16k.
[[nodiscard]] CommandFrame radioTextChunkFrame(int k, std::span<const Byte, 64> staging);
// Chunk c (0..15) of the device map, to address 16c.
[[nodiscard]] CommandFrame memoryChunkFrame(int c, std::span<const Byte, 256> deviceMap);

[[nodiscard]] CommandFrame piReadFrame(int f);
[[nodiscard]] CommandFrame ptyReadFrame(int f);
[[nodiscard]] CommandFrame psReadFrame(int f, int s);
[[nodiscard]] CommandFrame afReadFrame(int f);
[[nodiscard]] CommandFrame radioTextReadFrame();
[[nodiscard]] CommandFrame sequenceReadFrame(int f);
[[nodiscard]] CommandFrame memoryHalfReadFrame(int half);

} // namespace quillmark
