#pragma once

// The encoder's protocol: a 256-byte memory, write frames answered 0xAA (stored) or 0x00
// (bad checksum or address range past 255, nothing stored), read frames answered with the
// bytes asked for, the erase frame (fills 0xFF) answered 0xAA; an unknown first byte is
// dropped. Bytes may arrive in any split.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace quillmark::sim {

using Byte = std::uint8_t;

class EncoderEngine {
public:
    EncoderEngine();

    struct Event {
        std::vector<Byte> frame;  // the complete frame received
        std::vector<Byte> answer; // what the engine answers (before any fault)
    };

    // Feeds received bytes; appends one Event per completed frame.
    void feed(std::span<const Byte> in, std::vector<Event>& events);

    [[nodiscard]] const std::array<Byte, 256>& memory() const { return memory_; }
    [[nodiscard]] std::array<Byte, 256>& memory() { return memory_; }
    // Bytes of an unfinished frame held back.
    [[nodiscard]] std::size_t pending() const { return pending_.size(); }
    // Bytes dropped because they started no frame.
    [[nodiscard]] std::size_t droppedBytes() const { return dropped_; }
    void reset(); // drops an unfinished frame

private:
    void take(Byte b, std::vector<Event>& events);
    [[nodiscard]] std::vector<Byte> answer(std::span<const Byte> frame);
    [[nodiscard]] std::vector<Byte> readAnswer(Byte address, Byte length) const;
    [[nodiscard]] bool storeWrite(std::span<const Byte> frame);

    std::array<Byte, 256> memory_{};
    std::vector<Byte> pending_;
    std::size_t dropped_ = 0;
};

} // namespace quillmark::sim
