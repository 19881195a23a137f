#include "command_frames.h"

#include <stdexcept>

namespace quillmark {

namespace {

constexpr int kRadioTextChunks = 4;
constexpr int kMemoryChunks = 16;
constexpr std::size_t kChunkLength = 16;

void checkFrameIndex(int f) {
    if (f < 0 || f > 1)
        throw std::out_of_range("frame index must be 0 or 1");
}

void checkRange(int value, int count, const char* what) {
    if (value < 0 || value >= count)
        throw std::out_of_range(what);
}

[[nodiscard]] Byte addressOf(Block b) {
    return static_cast<Byte>(b.address);
}

[[nodiscard]] CommandFrame readBlockFrame(Block b) {
    return readFrame(addressOf(b), static_cast<Byte>(b.length));
}

} // namespace

Byte xorChecksum(std::span<const Byte> bytes) {
    Byte sum = 0;
    for (const Byte b : bytes)
        sum ^= b;
    return sum;
}

CommandFrame writeFrame(WriteCode code, std::span<const Byte> data, Byte address) {
    const auto codeByte = static_cast<Byte>(code);
    const int length = writeDataLength(codeByte);
    if (length == 0 || data.size() != static_cast<std::size_t>(length))
        throw std::invalid_argument("data length does not match the write code");
    CommandFrame frame;
    frame.push(codeByte);
    for (const Byte b : data)
        frame.push(b);
    frame.push(address);
    frame.push(xorChecksum(frame.bytes()));
    return frame;
}

CommandFrame readFrame(Byte address, Byte length) {
    CommandFrame frame;
    frame.push(kReadCommand);
    frame.push(address);
    frame.push(length);
    return frame;
}

CommandFrame eraseFrame() {
    CommandFrame frame;
    frame.push(kEraseCommand);
    frame.push(kEraseCommand);
    return frame;
}

CommandFrame piWriteFrame(int f, std::span<const Byte, 2> data) {
    checkFrameIndex(f);
    return writeFrame(WriteCode::PiOrPty, data, addressOf(piBlock(f)));
}

CommandFrame ptyWriteFrame(int f, std::span<const Byte, 2> data) {
    checkFrameIndex(f);
    return writeFrame(WriteCode::PiOrPty, data, addressOf(ptyBlock(f)));
}

CommandFrame psWriteFrame(int f, int s, std::span<const Byte, 8> data) {
    checkFrameIndex(f);
    checkRange(s, 8, "PS screen index must be 0 to 7");
    return writeFrame(WriteCode::PsScreen, data, addressOf(psScreenBlock(f, s)));
}

CommandFrame afWriteFrame(int f, std::span<const Byte, 16> data) {
    checkFrameIndex(f);
    return writeFrame(WriteCode::Af, data, addressOf(afBlock(f)));
}

CommandFrame sequenceWriteFrame(int f, std::span<const Byte, 2> data) {
    checkFrameIndex(f);
    return writeFrame(WriteCode::Sequence, data, addressOf(sequenceBlock(f)));
}

CommandFrame radioTextChunkFrame(int k, std::span<const Byte, 64> staging) {
    checkRange(k, kRadioTextChunks, "RadioText chunk must be 0 to 3");
    const auto offset = static_cast<std::size_t>(k) * kChunkLength;
    const auto address = static_cast<Byte>(radioTextBlock().address + static_cast<int>(offset));
    return writeFrame(WriteCode::Chunk, staging.subspan(offset, kChunkLength), address);
}

CommandFrame memoryChunkFrame(int c, std::span<const Byte, 256> deviceMap) {
    checkRange(c, kMemoryChunks, "memory chunk must be 0 to 15");
    const auto offset = static_cast<std::size_t>(c) * kChunkLength;
    return writeFrame(WriteCode::Chunk, deviceMap.subspan(offset, kChunkLength),
                      static_cast<Byte>(offset));
}

CommandFrame piReadFrame(int f) {
    checkFrameIndex(f);
    return readBlockFrame(piBlock(f));
}

CommandFrame ptyReadFrame(int f) {
    checkFrameIndex(f);
    return readBlockFrame(ptyBlock(f));
}

CommandFrame psReadFrame(int f, int s) {
    checkFrameIndex(f);
    checkRange(s, 8, "PS screen index must be 0 to 7");
    return readBlockFrame(psScreenBlock(f, s));
}

CommandFrame afReadFrame(int f) {
    checkFrameIndex(f);
    return readBlockFrame(afBlock(f));
}

CommandFrame radioTextReadFrame() {
    return readBlockFrame(radioTextBlock());
}

CommandFrame sequenceReadFrame(int f) {
    checkFrameIndex(f);
    return readBlockFrame(sequenceBlock(f));
}

CommandFrame memoryHalfReadFrame(int half) {
    checkRange(half, 2, "memory half must be 0 or 1");
    return readBlockFrame(memoryHalf(half));
}

} // namespace quillmark
