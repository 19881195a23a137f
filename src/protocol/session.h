#pragma once

// The whole-device operations driven to the end from one thread, for front ends that wait
// for each answer instead of reacting to events (the command-line tool). Same frames, same
// answer rules and time-outs as the window.

#include "rules.h"

#include <array>
#include <chrono>
#include <functional>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>

namespace quillmark::protocol {

// A failure to talk to the encoder: no answer, a broken reply, a refusal, a line that failed.
class CommunicationError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The serial line as the driver needs it. Device failures throw CommunicationError.
class Line {
public:
    virtual ~Line() = default;
    // Drops whatever arrived unasked, so that it is not read as the next answer.
    virtual void discardInput() = 0;
    virtual void write(std::span<const Byte> bytes) = 0;
    // One byte, waiting at most `wait`; std::nullopt when none came in time.
    [[nodiscard]] virtual std::optional<Byte> readByte(std::chrono::milliseconds wait) = 0;
};

// Bytes on the wire, both ways, of each operation (for progress reports).
inline constexpr int kWholeReadWireBytes = kMemoryHalves * (3 + 128);
inline constexpr int kProgramWireBytes = kMemoryChunks * (19 + 1);

class Session {
public:
    // progress is told the number of bytes moved each time some were.
    explicit Session(Line& line, std::function<void(int)> progress = {});

    // Reads the encoder's whole memory; returns only a complete image.
    [[nodiscard]] std::array<Byte, kDeviceMapSize> readWholeDevice();
    // Programs all 256 bytes in sixteen chunks. Every chunk is sent even when one is refused;
    // then a refusal throws, naming the chunks.
    void programWholeDevice(std::span<const Byte, kDeviceMapSize> map);

private:
    [[nodiscard]] Byte exchangeForAnswer(const CommandFrame& frame, const std::string& what);
    void readReply(const CommandFrame& frame, std::span<Byte> into, const std::string& what);
    void moved(int bytes);

    Line& line_;
    std::function<void(int)> progress_;
};

// "0x80"
[[nodiscard]] std::string hexAddress(int address);

} // namespace quillmark::protocol
