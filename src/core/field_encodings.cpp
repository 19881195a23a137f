#include "field_encodings.h"

#include <algorithm>
#include <cstdio>

namespace quillmark {

namespace {

constexpr Byte kSpace = 0x20;
constexpr int kAfCountBase = 0xE0;
constexpr int kTimingBase = 48;
constexpr int kTimingStep = 24;
constexpr int kMaxAfCode = kAfCodeItems - 1;

// Lists hold indexes as ints that may be -1; the encoder stores the low eight bits.
[[nodiscard]] constexpr Byte low8(int value) {
    return static_cast<Byte>(value);
}

template <std::size_t N> [[nodiscard]] std::array<Byte, N> spacePadded(std::string_view text) {
    std::array<Byte, N> out;
    out.fill(kSpace);
    const std::size_t n = std::min(text.size(), N);
    std::transform(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(n), out.begin(),
                   [](char c) { return static_cast<Byte>(c); });
    return out;
}

[[nodiscard]] int indexWithin(int value, int items) {
    return value >= 0 && value < items ? value : -1;
}

} // namespace

std::array<Byte, 2> encodePi(const PiControls& c) {
    return {low8((c.country + 1) * 16 + c.coverage), low8(c.reference)};
}

PiControls decodePi(std::span<const Byte, 2> b) {
    return {.country = (b[0] >> 4) - 1, .coverage = b[0] & 0x0F, .reference = b[1]};
}

std::array<Byte, 2> encodePty(const PtyControls& c) {
    // Truncating division and remainder, as the list index -1 has always been encoded.
    const int high = (c.tp ? 4 : 0) + c.pty / 8;
    const int low = (c.ms == 1 ? 8 : 0) + (c.pty % 8) * 32;
    return {low8(high), low8(low)};
}

std::uint16_t piCode(std::span<const Byte, 2> b) {
    return static_cast<std::uint16_t>(b[0] << 8 | b[1]);
}

int programmeType(std::span<const Byte, 2> b) {
    return (b[0] & 0x03) * 8 + ((b[1] & 0xE0) >> 5);
}

std::chrono::milliseconds screenDuration(Byte timing) {
    constexpr int kTwelfthsPerSecond = 12;
    return std::chrono::milliseconds(int{timing} * 1000 / kTwelfthsPerSecond);
}

PtyControls decodePty(std::span<const Byte, 2> b) {
    return {.tp = (b[0] & 0x04) != 0,
            .pty = indexWithin(programmeType(b), kPtyItems),
            .ms = (b[1] & 0x08) != 0 ? 1 : 0};
}

std::array<Byte, 16> encodeAf(const AfControls& c) {
    std::array<Byte, 16> out{};
    out[0] = low8(kAfCountBase + c.count);
    std::transform(c.codes.begin(), c.codes.end(), out.begin() + 1, low8);
    return out;
}

AfControls decodeAf(std::span<const Byte, 16> b) {
    AfControls c;
    c.count = indexWithin(b[0] - kAfCountBase, kAfCountItems);
    std::transform(b.begin() + 1, b.end(), c.codes.begin(),
                   [](Byte code) { return code <= kMaxAfCode ? int{code} : -1; });
    return c;
}

std::array<Byte, 2> encodeSequence(const SequenceControls& c) {
    const Byte screens = low8(c.screens + 1);
    return {static_cast<Byte>(screens | (c.radioTextActive ? 0x80 : 0)),
            low8(c.timing * kTimingStep + kTimingBase)};
}

SequenceControls decodeSequence(std::span<const Byte, 2> b) {
    int screens = (b[0] & 0x7F) - 1;
    if (screens > kScreenCountItems - 1)
        screens = 0;
    // Signed division truncating toward zero: 25..47 still give the first item.
    int timing = (int{b[1]} - kTimingBase) / kTimingStep;
    if (timing > kTimingItems - 1)
        timing = 0;
    return {.screens = std::max(screens, -1),
            .radioTextActive = b[0] >= 0x80,
            .timing = std::max(timing, -1)};
}

std::array<Byte, 8> encodePsScreen(std::string_view text) {
    return spacePadded<8>(text);
}

std::array<Byte, 64> encodeRadioText(std::string_view text) {
    return spacePadded<64>(text);
}

std::string decodePsScreen(std::span<const Byte, 8> staging) {
    std::string text;
    for (const Byte b : staging) {
        if (b != 0)
            text.push_back(static_cast<char>(b));
    }
    return text;
}

std::array<Byte, 8> psStagingForSelector(std::span<const Byte, 8> screen) {
    std::array<Byte, 8> out{};
    std::transform(screen.begin(), screen.end(), out.begin(),
                   [](Byte b) { return b == 0xFF ? kSpace : b; });
    return out;
}

std::string decodeRadioText(std::span<const Byte> bytes) {
    const auto limited = bytes.first(std::min<std::size_t>(bytes.size(), kRadioTextLength));
    const auto end = std::find(limited.begin(), limited.end(), Byte{0});
    return {limited.begin(), end};
}

int frequencyTenths(int code) {
    constexpr int kBelowFirstCode = 875; // 87.5 MHz + code x 0.1 MHz, exact in tenths
    return kBelowFirstCode + code;
}

std::string afItemText(int code) {
    if (code < 0 || code > kMaxAfCode)
        return {};
    if (code == 0)
        return "None";
    const int tenths = frequencyTenths(code);
    return std::to_string(tenths / 10) + '.' + std::to_string(tenths % 10);
}

std::string referenceItemText(int number) {
    if (number < 0 || number >= kReferenceItems)
        return {};
    char text[3];
    std::snprintf(text, sizeof text, "%02X", static_cast<unsigned>(number));
    return text;
}

} // namespace quillmark
