#pragma once

// Control states <-> encoder bytes for every block. An index of -1 means "no selection" and
// enters the formulas unchanged; decoders return the index the list should show (or -1).

#include "station_image.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace quillmark {

inline constexpr int kCountryItems = 15;
inline constexpr int kCoverageItems = 16;
inline constexpr int kReferenceItems = 256;
inline constexpr int kPtyItems = 16;
inline constexpr int kMsItems = 2;
inline constexpr int kAfCountItems = 16;
inline constexpr int kAfCodeItems = 205;
inline constexpr int kAfLists = 15;
inline constexpr int kScreenCountItems = 8;
inline constexpr int kTimingItems = 5;
inline constexpr int kPsLength = 8;
inline constexpr int kRadioTextLength = 64;

struct PiControls {
    int country = -1;   // item i holds country code i + 1
    int coverage = -1;  // item i holds coverage code i
    int reference = -1; // item i holds programme reference number i
    friend bool operator==(const PiControls&, const PiControls&) = default;
};

struct PtyControls {
    bool tp = false;
    int pty = -1; // PTYBox index
    int ms = -1;  // MS index: 1 = music
    friend bool operator==(const PtyControls&, const PtyControls&) = default;
};

struct AfControls {
    int count = -1;              // NumAF index
    std::array<int, 15> codes{}; // AF1..AF15 indexes
    friend bool operator==(const AfControls&, const AfControls&) = default;
};

struct SequenceControls {
    int screens = -1; // NumPant index
    bool radioTextActive = false;
    int timing = -1; // Timing index
    friend bool operator==(const SequenceControls&, const SequenceControls&) = default;
};

[[nodiscard]] std::array<Byte, 2> encodePi(const PiControls& c);
[[nodiscard]] PiControls decodePi(std::span<const Byte, 2> b);

// The 16-bit PI code, high byte first.
[[nodiscard]] std::uint16_t piCode(std::span<const Byte, 2> b);
// The programme type as stored, 0 to 31 (the list offers 0 to 15).
[[nodiscard]] int programmeType(std::span<const Byte, 2> b);
// How long each PS screen is shown: the timing byte counts twelfths of a second.
[[nodiscard]] std::chrono::milliseconds screenDuration(Byte timing);

[[nodiscard]] std::array<Byte, 2> encodePty(const PtyControls& c);
[[nodiscard]] PtyControls decodePty(std::span<const Byte, 2> b);

[[nodiscard]] std::array<Byte, 16> encodeAf(const AfControls& c);
[[nodiscard]] AfControls decodeAf(std::span<const Byte, 16> b);

[[nodiscard]] std::array<Byte, 2> encodeSequence(const SequenceControls& c);
[[nodiscard]] SequenceControls decodeSequence(std::span<const Byte, 2> b);

// Texts are byte strings in the 8-bit character set (one byte per character).
[[nodiscard]] std::array<Byte, 8> encodePsScreen(std::string_view text);
[[nodiscard]] std::array<Byte, 64> encodeRadioText(std::string_view text);

// What the PS edit shows for 8 PsStaging bytes: a zero byte adds nothing.
[[nodiscard]] std::string decodePsScreen(std::span<const Byte, 8> staging);
// PsStaging bytes for a screen chosen with the PS-page selectors: 0xFF becomes a space.
[[nodiscard]] std::array<Byte, 8> psStagingForSelector(std::span<const Byte, 8> screen);
// The RadioText memo: bytes up to the first zero, at most 64.
[[nodiscard]] std::string decodeRadioText(std::span<const Byte> bytes);

// The frequency of an AF code in tenths of a MHz: code 1 is 876 (87.6 MHz).
[[nodiscard]] int frequencyTenths(int code);
// AF list item texts: "None", "87.6" ... "107.9".
[[nodiscard]] std::string afItemText(int code);
// Mat1 item texts: "00" ... "FF".
[[nodiscard]] std::string referenceItemText(int number);

} // namespace quillmark
