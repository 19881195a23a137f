#pragma once

// Turns the bytes seen on the line, in both directions and in time order, into the frames
// the tool sends and the encoder's answers, and flags what does not parse.

#include "line_direction.h"
#include "station_image.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace quillmark {

enum class LineItemKind : std::uint8_t {
    WriteFrame,      // 01..05 with a good checksum
    ReadFrame,       // 10, address, length
    EraseFrame,      // FE FE
    AnswerOk,        // AA to a write or the erase
    AnswerFailure,   // any other byte to a write or the erase
    ReadReply,       // as many bytes as the read asked for
    BadChecksum,     // a write frame whose last byte is not the XOR of the others
    UnknownBytes,    // bytes to the encoder that start no frame
    IncompleteFrame, // a frame to the encoder that stopped short
    ShortReply,      // a read reply that stopped before the length asked
    LateBytes,       // bytes from the encoder while nothing waited for them
    NoAnswer,        // nothing came within the answer time
};

struct LineItem {
    LineClock::time_point time; // of the first byte (NoAnswer: when the wait ran out)
    LineDirection direction = LineDirection::ToEncoder;
    LineItemKind kind = LineItemKind::UnknownBytes;
    Byte code = 0;    // first byte of the request (answers: of the request they answer)
    Byte address = 0; // device address of the request
    int expected = 0; // bytes a frame should have, or a read asked for
    std::optional<LineClock::duration> answerDelay; // answers: from the request's last byte
    std::vector<Byte> bytes;

    [[nodiscard]] bool faulty() const;
};

struct LineDecoderLimits {
    // A frame or reply pausing longer than this has ended (the port's read time-out).
    std::chrono::milliseconds byteGap{1000};
    // No answer started within this: reported once (the tool's answer time-out).
    std::chrono::milliseconds answerTime{5000};
};

class LineDecoder {
public:
    // A run of unknown or late bytes is split into rows of at most this many.
    static constexpr std::size_t kMaxRunLength = 128;

    explicit LineDecoder(LineDecoderLimits limits = {}) : limits_(limits) {}

    // Bytes moved at `when`, fed in time order; completed items are appended to `out`.
    void feed(LineDirection direction, LineClock::time_point when, std::span<const Byte> bytes,
              std::vector<LineItem>& out);
    // Time has passed without bytes: closes what the limits end by `now`.
    void advanceTo(LineClock::time_point now, std::vector<LineItem>& out);
    // The capture ends: whatever is pending becomes an item.
    void finish(std::vector<LineItem>& out);
    // Something waits for bytes or for time to pass.
    [[nodiscard]] bool pending() const;

private:
    enum class Await : std::uint8_t { Nothing, Answer, Reply };

    void takeOutgoing(Byte b, LineClock::time_point when, std::vector<LineItem>& out);
    void takeIncoming(Byte b, LineClock::time_point when, std::vector<LineItem>& out);
    void startFrame(Byte b, LineClock::time_point when, std::vector<LineItem>& out);
    void finishFrame(std::vector<LineItem>& out);
    void closeAnswerWait(LineClock::time_point when, std::vector<LineItem>& out);
    void closeReply(std::vector<LineItem>& out);
    void closeUnknown(std::vector<LineItem>& out);
    void closeLate(std::vector<LineItem>& out);
    void addToRun(LineItem& run, LineItemKind kind, LineDirection direction, Byte b,
                  LineClock::time_point when, std::vector<LineItem>& out);

    LineDecoderLimits limits_;
    LineItem frame_;   // the frame to the encoder being collected (bytes empty: none)
    LineItem unknown_; // bytes to the encoder that start no frame
    LineItem reply_;   // the answer being collected
    LineItem late_;    // bytes from the encoder that nothing waits for
    LineClock::time_point frameLast_{};
    LineClock::time_point replyLast_{};
    LineClock::time_point lateLast_{};
    LineClock::time_point unknownLast_{};
    LineClock::time_point requestEnd_{};
    Await await_ = Await::Nothing;
    bool noAnswerReported_ = false;
};

} // namespace quillmark
