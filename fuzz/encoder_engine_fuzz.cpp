// The simulated encoder fed the same bytes in random splits: it completes the same frames,
// answers each completed frame once, accounts for every byte, and changes its memory only
// through a write with a good checksum and range, or through the erase frame.

#include "core/command_frames.h"
#include "engine.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <vector>

using quillmark::sim::Byte;
using quillmark::sim::EncoderEngine;

namespace {

void check(bool condition) {
    if (!condition)
        std::abort();
}

using Memory = std::array<Byte, 256>;

// Replays one completed frame on a shadow memory and checks the engine's answer.
void replay(const EncoderEngine::Event& event, Memory& shadow) {
    const auto& f = event.frame;
    check(!f.empty());
    if (f[0] == 0x10) {
        check(f.size() == 3);
        const std::size_t end = std::min<std::size_t>(std::size_t{f[1]} + f[2], 256);
        check(std::equal(event.answer.begin(), event.answer.end(), shadow.begin() + f[1],
                         shadow.begin() + static_cast<std::ptrdiff_t>(end)));
        return;
    }
    check(event.answer.size() == 1);
    if (f[0] == 0xFE) {
        check(f.size() == 2 && f[1] == 0xFE && event.answer[0] == 0xAA);
        shadow.fill(0xFF);
        return;
    }
    const auto n = static_cast<std::size_t>(quillmark::writeDataLength(f[0]));
    check(n != 0 && f.size() == n + 3);
    Byte sum = 0;
    for (std::size_t i = 0; i + 1 < f.size(); ++i)
        sum ^= f[i];
    const std::size_t address = f[n + 1];
    const bool valid = sum == f.back() && address + n <= 256;
    check(event.answer[0] == (valid ? 0xAA : 0x00));
    if (valid)
        std::copy_n(f.begin() + 1, n, shadow.begin() + static_cast<std::ptrdiff_t>(address));
}

bool sameEvents(const std::vector<EncoderEngine::Event>& a,
                const std::vector<EncoderEngine::Event>& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](const auto& x, const auto& y) {
        return x.frame == y.frame && x.answer == y.answer;
    });
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider provider(data, size);
    const std::vector<Byte> splits =
        provider.ConsumeBytes<Byte>(provider.ConsumeIntegralInRange<std::size_t>(1, 16));
    const std::vector<Byte> stream = provider.ConsumeRemainingBytes<Byte>();

    EncoderEngine whole;
    std::vector<EncoderEngine::Event> wholeEvents;
    whole.feed(stream, wholeEvents);

    EncoderEngine pieces;
    std::vector<EncoderEngine::Event> pieceEvents;
    std::size_t at = 0;
    for (std::size_t i = 0; at < stream.size(); ++i) {
        const std::size_t piece = splits.empty() ? 1 : splits[i % splits.size()] % 24;
        const std::size_t n = std::min(piece, stream.size() - at);
        pieces.feed(std::span(stream).subspan(at, n), pieceEvents);
        at += n;
        if (splits.empty() || i > stream.size() + splits.size())
            break; // only zero-length pieces left
    }
    if (at < stream.size())
        pieces.feed(std::span(stream).subspan(at), pieceEvents);

    check(sameEvents(wholeEvents, pieceEvents));
    check(whole.memory() == pieces.memory() && whole.pending() == pieces.pending());

    std::size_t accounted = whole.pending() + whole.droppedBytes();
    Memory shadow;
    shadow.fill(0xFF);
    for (const auto& event : wholeEvents) {
        accounted += event.frame.size();
        replay(event, shadow);
    }
    check(accounted == stream.size());
    check(shadow == whole.memory());
    return 0;
}
