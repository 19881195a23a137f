#pragma once

// How the encoder is talked to, for every front end: what an answer means, how long it may
// take, in which order a chained write goes out and when a whole-memory read counts.

#include "core/command_frames.h"
#include "core/field_encodings.h"
#include "core/station_image.h"

#include <array>
#include <chrono>
#include <span>

namespace quillmark::protocol {

using namespace std::chrono_literals;

// The first byte of any answer or reply must come within this time of its frame.
inline constexpr std::chrono::milliseconds kAnswerTimeout = 5000ms;
// Each further byte of a reply (the port's read time-out).
inline constexpr std::chrono::milliseconds kReplyByteTimeout = 1000ms;
// A 128-byte block not complete this long after its first byte has broken off.
inline constexpr std::chrono::milliseconds kBlockWatchdog = 2000ms;
// How long the colour of an answer stays on show.
inline constexpr std::chrono::milliseconds kStatusHold = 5000ms;

inline constexpr int kChunkLength = 16;
inline constexpr int kMemoryChunks = static_cast<int>(kDeviceMapSize) / kChunkLength;
inline constexpr int kRadioTextChunks = kRadioTextLength / kChunkLength;
inline constexpr int kMemoryHalves = 2;

[[nodiscard]] constexpr bool isSuccess(Byte answer) {
    return answer == kAnswerOk;
}

// A write in 16-byte chunks, sent in address order, each once the one before was answered.
// A failure answer to any chunk fails the whole chain, not only one to the last chunk.
class ChunkedWrite {
public:
    enum class Kind { RadioText, WholeMemory };

    explicit ChunkedWrite(Kind kind = Kind::WholeMemory) : kind_(kind) {}

    [[nodiscard]] Kind kind() const { return kind_; }
    [[nodiscard]] int chunkCount() const;
    // Number of chunks already sent: the index of the next one.
    [[nodiscard]] int sent() const { return sent_; }
    [[nodiscard]] bool allSent() const { return sent_ >= chunkCount(); }
    // True when the chunk to go next is the last: its answer ends the write.
    [[nodiscard]] bool nextIsLast() const { return sent_ == chunkCount() - 1; }
    [[nodiscard]] Byte chunkAddress(int chunk) const;

    // The next chunk's frame, taken from source (the 64 staged RadioText bytes or the
    // 256-byte map) as it is now; counts it as sent. Not to be called once allSent().
    [[nodiscard]] CommandFrame takeNext(std::span<const Byte> source);

    // Notes the answer to a chunk; returns whether it was a success.
    bool noteAnswer(Byte answer);
    [[nodiscard]] bool failed() const { return failures_ > 0; }

private:
    Kind kind_;
    int sent_ = 0;
    int failures_ = 0;
};

// The whole-memory read: two 128-byte halves into a staging copy, handed on only once both
// halves are complete, so a broken read leaves the map as it was.
class WholeRead {
public:
    [[nodiscard]] static CommandFrame frame(int half) { return memoryHalfReadFrame(half); }
    [[nodiscard]] std::span<Byte> half(int h);
    [[nodiscard]] const std::array<Byte, kDeviceMapSize>& staged() const { return staging_; }

private:
    std::array<Byte, kDeviceMapSize> staging_{};
};

} // namespace quillmark::protocol
