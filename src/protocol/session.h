#pragma once

// The whole-device operations driven to the end from one thread, for front ends that wait for
// each byte instead of reacting to events (the command-line tool): the exchange engine over a
// blocking line, its watches kept as deadlines.

#include "exchange.h"

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

class Session : private ExchangeHost {
public:
    // progress is told the number of bytes moved each time some were.
    explicit Session(Line& line, std::function<void(int)> progress = {});

    // Reads the encoder's whole memory; returns only a complete image.
    [[nodiscard]] std::array<Byte, kDeviceMapSize> readWholeDevice();
    // Programs all 256 bytes in sixteen chunks. Every chunk is sent even when one is refused;
    // then a refusal throws, naming the chunks.
    void programWholeDevice(std::span<const Byte, kDeviceMapSize> map);

private:
    using Clock = std::chrono::steady_clock;

    void send(const CommandFrame& frame) override;
    void startWatch(Watch watch) override;
    void stopWatch(Watch watch) override;
    void answered(Byte, bool) override {}
    void finished(const Outcome& outcome) override;

    // Feeds the engine until the operation has ended; throws unless it succeeded.
    void runToEnd();
    [[nodiscard]] std::optional<Watch> nextWatch() const;
    void moved(int bytes);

    Line& line_;
    std::function<void(int)> progress_;
    Exchange exchange_{*this};
    std::array<std::optional<Clock::time_point>, 3> deadlines_{};
    std::optional<Outcome> outcome_;
    std::array<Byte, kDeviceMapSize> image_{};
};

// "0x80"
[[nodiscard]] std::string hexAddress(int address);
// The one-line text of an operation that did not succeed.
[[nodiscard]] std::string describeFailure(const Outcome& outcome);

} // namespace quillmark::protocol
