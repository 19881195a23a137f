#include "station.h"

#include "core/field_encodings.h"

#include <algorithm>

namespace quillmark::rds {

namespace {

using namespace std::chrono_literals;

// Many receivers need this long to show a PS before the next one replaces it.
constexpr auto kShortestReadableScreen = 3s;

template <std::size_t N>
[[nodiscard]] std::span<const Byte, N> blockOf(std::span<const Byte, kDeviceMapSize> map, Block b) {
    return map.subspan(static_cast<std::size_t>(b.address)).first<N>();
}

[[nodiscard]] std::vector<int> frequenciesOf(std::span<const Byte, 16> af) {
    const AfControls stored = decodeAf(af);
    std::vector<int> codes;
    for (int k = 0; k < std::max(stored.count, 0); ++k) {
        const int code = stored.codes[static_cast<std::size_t>(k)];
        if (code >= kFirstFrequencyCode && code <= kLastFrequencyCode)
            codes.push_back(code);
    }
    return codes;
}

} // namespace

RdsStation stationOf(std::span<const Byte, kDeviceMapSize> map, int f) {
    RdsStation s;
    s.pi = piCode(blockOf<2>(map, piBlock(f)));
    const auto pty = blockOf<2>(map, ptyBlock(f));
    s.pty = programmeType(pty);
    const PtyControls flags = decodePty(pty);
    s.tp = flags.tp;
    s.music = flags.ms == 1;
    s.frequencies = frequenciesOf(blockOf<16>(map, afBlock(f)));
    const auto sequenceBytes = blockOf<2>(map, sequenceBlock(f));
    const SequenceControls sequence = decodeSequence(sequenceBytes);
    for (int screen = 0; screen <= std::max(sequence.screens, 0); ++screen) {
        const auto bytes = blockOf<8>(map, psScreenBlock(f, screen));
        s.screens.emplace_back();
        std::copy(bytes.begin(), bytes.end(), s.screens.back().begin());
    }
    s.screenTime = screenDuration(sequenceBytes[1]);
    s.radioTextActive = sequence.radioTextActive;
    const auto text = blockOf<64>(map, radioTextBlock());
    std::copy(text.begin(), text.end(), s.radioText.begin());
    return s;
}

AirChecks checkBeforeAir(const RdsStation& station) {
    AirChecks checks;
    checks.dynamicPs = station.screens.size() > 1;
    checks.screensTooShort = checks.dynamicPs && station.screenTime < kShortestReadableScreen;
    std::vector<int> sorted = station.frequencies;
    std::sort(sorted.begin(), sorted.end());
    for (auto it = sorted.begin(); (it = std::adjacent_find(it, sorted.end())) != sorted.end();) {
        checks.repeatedFrequencies.push_back(*it);
        it = std::upper_bound(it, sorted.end(), *it);
    }
    return checks;
}

} // namespace quillmark::rds
