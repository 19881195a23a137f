#include "engine.h"

#include <algorithm>

namespace quillmark::sim {

namespace {

constexpr Byte kOk = 0xAA;
constexpr Byte kFailure = 0x00;
constexpr Byte kRead = 0x10;
constexpr Byte kErase = 0xFE;
constexpr std::size_t kMemorySize = 256;

// Data bytes carried by a write code; 0 when the byte starts no write frame.
constexpr std::size_t writeDataLength(Byte code) {
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

// Full length of the frame a first byte announces; 0 for a byte that starts none.
constexpr std::size_t frameLength(Byte first) {
    if (first == kRead)
        return 3;
    if (first == kErase)
        return 2;
    const std::size_t n = writeDataLength(first);
    return n == 0 ? 0 : n + 3;
}

} // namespace

EncoderEngine::EncoderEngine() {
    memory_.fill(0xFF); // an erased encoder
    pending_.reserve(19);
}

void EncoderEngine::reset() {
    pending_.clear();
}

void EncoderEngine::feed(std::span<const Byte> in, std::vector<Event>& events) {
    for (const Byte b : in)
        take(b, events);
}

void EncoderEngine::take(Byte b, std::vector<Event>& events) {
    if (pending_.empty() && frameLength(b) == 0) {
        ++dropped_;
        return;
    }
    // An erase frame is two 0xFE; a lone 0xFE is noise, and the byte after it may start a frame.
    if (pending_.size() == 1 && pending_[0] == kErase && b != kErase) {
        pending_.clear();
        ++dropped_;
        take(b, events);
        return;
    }
    pending_.push_back(b);
    if (pending_.size() < frameLength(pending_[0]))
        return;
    Event event{std::move(pending_), {}};
    pending_ = {};
    pending_.reserve(19);
    event.answer = answer(event.frame);
    events.push_back(std::move(event));
}

std::vector<Byte> EncoderEngine::answer(std::span<const Byte> frame) {
    switch (frame[0]) {
    case kErase:
        memory_.fill(0xFF);
        return {kOk};
    case kRead:
        return readAnswer(frame[1], frame[2]);
    default:
        return {storeWrite(frame) ? kOk : kFailure};
    }
}

// The reply carries no status byte, so a range past the top of memory cannot be refused
// outright: the encoder sends what exists (up to address 255) and stops. The tool then
// sees a short reply and times out instead of taking wrapped bytes for the ones it asked.
// A length of 0 asks for nothing and gets nothing.
std::vector<Byte> EncoderEngine::readAnswer(Byte address, Byte length) const {
    const std::size_t end = std::min<std::size_t>(std::size_t{address} + length, kMemorySize);
    return {memory_.begin() + address, memory_.begin() + static_cast<std::ptrdiff_t>(end)};
}

bool EncoderEngine::storeWrite(std::span<const Byte> frame) {
    const std::size_t n = frame.size() - 3;
    Byte sum = 0;
    for (std::size_t i = 0; i + 1 < frame.size(); ++i)
        sum ^= frame[i];
    const Byte address = frame[n + 1];
    if (sum != frame.back() || std::size_t{address} + n > kMemorySize)
        return false;
    std::copy_n(frame.begin() + 1, n, memory_.begin() + address);
    return true;
}

} // namespace quillmark::sim
