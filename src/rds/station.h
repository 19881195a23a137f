#pragma once

// One frame of the encoder memory as a receiver gets it: the fields the groups carry.

#include "core/field_encodings.h"
#include "core/station_image.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <span>
#include <vector>

namespace quillmark::rds {

using PsName = std::array<Byte, 8>;
using RadioText = std::array<Byte, 64>;

inline constexpr int kMaxAlternativeFrequencies = 25;       // what one AF list can announce
inline constexpr int kFirstFrequencyCode = 1;               // 87.6 MHz
inline constexpr int kLastFrequencyCode = kAfCodeItems - 1; // 107.9 MHz

struct RdsStation {
    std::uint16_t pi = 0;
    int pty = 0; // 0..31
    bool tp = false;
    bool music = false;
    std::vector<int> frequencies;  // AF codes, in the order stored
    std::vector<PsName> screens{}; // at least one
    std::chrono::milliseconds screenTime{};
    bool radioTextActive = false;
    RadioText radioText{};
    friend bool operator==(const RdsStation&, const RdsStation&) = default;
};

// Frame f of a device map. AF codes that stand for no frequency are left out; a sequence
// without a screen count shows screen 1.
[[nodiscard]] RdsStation stationOf(std::span<const Byte, kDeviceMapSize> map, int f);

// What engineers check before air.
struct AirChecks {
    bool dynamicPs = false;               // more than one PS screen
    bool screensTooShort = false;         // screens drop on many receivers
    std::vector<int> repeatedFrequencies; // AF codes listed more than once
};
[[nodiscard]] AirChecks checkBeforeAir(const RdsStation& station);

} // namespace quillmark::rds
