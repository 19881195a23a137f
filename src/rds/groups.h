#pragma once

// The group sequence an encoder transmits for one frame: type 0A groups (PI, PTY, TP, TA,
// MS, DI, PS segments, AF pairs in method A) and, with RadioText active, type 2A groups.

#include "station.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace quillmark::rds {

struct Group {
    std::array<std::uint16_t, 4> blocks{}; // A (PI), B, C, D
    friend bool operator==(const Group&, const Group&) = default;
};

inline constexpr unsigned kStereo = 0x1; // DI bit d0

// What the encoder memory does not say; every choice of this kind is made here.
struct TransmissionChoices {
    int basicGroupsPerRound = 1;     // 0A groups before ...
    int radioTextGroupsPerRound = 1; // ... this many 2A groups, when RadioText is active
    bool trafficAnnouncement = false;
    unsigned decoderIdentification = kStereo; // d3 (dynamic PTY) .. d0 (stereo)
    bool radioTextB = false;                  // the A/B flag; toggled for a new text
};

// Groups per second at 1187.5 bit/s, 104 bits a group.
inline constexpr double kGroupsPerSecond = 1187.5 / 104.0;

// One cycle: every PS screen in turn for its time (and at least long enough for a receiver
// to take it), repeated until every AF pair and RadioText segment went out at least once.
[[nodiscard]] std::vector<Group> groupSequence(const RdsStation& station,
                                               const TransmissionChoices& choices = {});

// "PPPP BBBB CCCC DDDD": upper-case hexadecimal block words, as RDS decoders read them.
[[nodiscard]] std::string groupText(const Group& group);

} // namespace quillmark::rds
