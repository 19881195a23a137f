#pragma once

// The exchange with the encoder as one state machine, for every front end. It never waits and
// never reads a clock: the front end passes on the bytes that arrive, the expiry of the watches
// it runs and a hang-up of the line, and the engine says which frame goes out, which watch to
// run and how each operation ended. The window drives it from its events, quillmark-cli from
// a blocking loop; both therefore follow the same rules to the byte.

#include "rules.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace quillmark::protocol {

// Values of SendState: which write answer is awaited.
inline constexpr std::uint8_t kSendIdle = 0;
inline constexpr std::uint8_t kSendSingle = 1;    // the next answer ends the write
inline constexpr std::uint8_t kSendRadioText = 2; // each answer sends the next RadioText chunk
inline constexpr std::uint8_t kSendMemory = 3;    // each answer sends the next memory chunk

// Values of ReadState: which reply is awaited.
inline constexpr std::uint8_t kReadIdle = 0;
inline constexpr std::uint8_t kReadPi = 1;
inline constexpr std::uint8_t kReadPs = 2;
inline constexpr std::uint8_t kReadPty = 3;
inline constexpr std::uint8_t kReadAf = 4;
inline constexpr std::uint8_t kReadRt = 5;
inline constexpr std::uint8_t kReadConf = 6;
inline constexpr std::uint8_t kReadFirstHalf = 7;
inline constexpr std::uint8_t kReadSecondHalf = 8;

// Reply length of a single-block read (ReadState 1 to 6).
[[nodiscard]] int replyLength(std::uint8_t readState);

// The watches a front end runs for the engine; each (re)start counts its whole interval anew.
enum class Watch {
    Answer,    // first byte of an answer or reply
    ReplyByte, // each further byte of a reply
    Block,     // a 128-byte block from its first byte
};
[[nodiscard]] std::chrono::milliseconds interval(Watch watch);

enum class Operation { None, BlockWrite, RadioTextWrite, Programming, BlockRead, WholeRead };

enum class Ending {
    Success,
    Refused,     // a write answered with anything but 0xAA (for a chain: any chunk)
    NoAnswer,    // nothing came within the answer time-out
    BrokenReply, // a reply stopped before its last byte
    Superseded,  // another operation was started
    HungUp,      // the line went down
};

struct Outcome {
    Operation operation = Operation::None;
    Ending ending = Ending::Success;
    std::uint8_t readState = kReadIdle; // the read that ended (reads only)
    // The step the operation waited at: chunk of a chained write, half of the whole read.
    int step = 0;
    // Chunks of a chained write answered with a failure.
    std::vector<int> refusedChunks;
    // A successful read's reply (valid during the call); a broken one's bytes so far.
    std::span<const Byte> reply;
    int expected = 0; // bytes the broken reply should have had
};

class ExchangeHost {
public:
    virtual ~ExchangeHost() = default;
    // Drops input that is pending (it came before the frame, so it is not its answer), then
    // writes the frame.
    virtual void send(const CommandFrame& frame) = 0;
    virtual void startWatch(Watch watch) = 0;
    virtual void stopWatch(Watch watch) = 0;
    // Every answer byte of a write, chunks included; failedSoFar once any chunk was refused.
    virtual void answered(Byte answer, bool failedSoFar) = 0;
    virtual void finished(const Outcome& outcome) = 0;
};

class Exchange {
public:
    explicit Exchange(ExchangeHost& host) : host_(host) {}
    Exchange(const Exchange&) = delete;
    Exchange& operator=(const Exchange&) = delete;

    // Each start first ends whatever is outstanding (Superseded).
    void writeBlock(const CommandFrame& frame); // single block or the erase
    // Chained writes send the bytes as they are now, whatever the caller changes later.
    void writeRadioText(std::span<const Byte, kRadioTextLength> text);
    void programMemory(std::span<const Byte, kDeviceMapSize> map);
    void readBlock(std::uint8_t readState, const CommandFrame& frame);
    void readMemory();

    void received(std::span<const Byte> bytes);
    void expired(Watch watch);
    void hungUp();
    void abandon();

    [[nodiscard]] Operation operation() const { return operation_; }
    [[nodiscard]] std::uint8_t SendState() const { return sendState_; }
    [[nodiscard]] std::uint8_t ReadState() const { return readState_; }
    // Chunks sent of the last chained write; kept once it has ended.
    [[nodiscard]] std::uint8_t ChunkIndex() const { return static_cast<std::uint8_t>(chain_.sent()); }
    // Some byte is awaited: an answer, a reply, or a late answer to a timed-out write.
    [[nodiscard]] bool waiting() const { return sendState_ != kSendIdle || readState_ != kReadIdle; }

private:
    void begin(Operation operation);
    void sendGuarded(const CommandFrame& frame);
    void reset();
    void stopWatches();
    void takeAnswer(Byte answer);
    void sendNextChunk();
    // Returns true when the byte completed the reply (the rest of the input is not its).
    bool takeReplyByte(Byte b);
    void replyComplete();
    void finish(Outcome outcome);

    ExchangeHost& host_;
    Operation operation_ = Operation::None;
    std::uint8_t sendState_ = kSendIdle;
    std::uint8_t readState_ = kReadIdle;
    bool timedOut_ = false;
    ChunkedWrite chain_;
    std::array<Byte, kDeviceMapSize> snapshot_{};
    std::vector<int> refused_;
    WholeRead whole_;
    std::array<Byte, kRadioTextLength> block_{};
    std::span<Byte> reply_;
    std::size_t got_ = 0;
};

} // namespace quillmark::protocol
