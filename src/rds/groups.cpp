#include "groups.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace quillmark::rds {

namespace {

constexpr int kPsSegments = 4;
// Receivers take a PS once it arrived twice alike: a screen goes out at least that often.
constexpr int kPsCopiesToBeTaken = 2;
constexpr int kRadioTextSegments = 16;
constexpr int kNoAfCount = 224; // followed by the number of AFs
constexpr int kAfFiller = 205;
constexpr std::uint16_t kGroup2A = 0x2000;

[[nodiscard]] std::uint16_t word(int high, int low) {
    return static_cast<std::uint16_t>((high & 0xFF) << 8 | (low & 0xFF));
}

// Method A: the count code with AF1, then the others two by two, a filler closing an odd one.
[[nodiscard]] std::vector<std::uint16_t> afPairs(const std::vector<int>& codes) {
    const auto n = std::min<std::size_t>(codes.size(), kMaxAlternativeFrequencies);
    std::vector<std::uint16_t> pairs;
    pairs.push_back(word(kNoAfCount + static_cast<int>(n), n > 0 ? codes[0] : kAfFiller));
    for (std::size_t i = 1; i < n; i += 2)
        pairs.push_back(word(codes[i], i + 1 < n ? codes[i + 1] : kAfFiller));
    return pairs;
}

[[nodiscard]] PsName blankPs() {
    PsName ps;
    ps.fill(' ');
    return ps;
}

class Transmitter {
public:
    Transmitter(const RdsStation& station, const TransmissionChoices& choices)
        : s_(station), c_(choices), afPairs_(afPairs(station.frequencies)),
          common_(
              static_cast<std::uint16_t>((station.tp ? 1 << 10 : 0) | (station.pty & 0x1F) << 5)) {}

    void sendScreen(const PsName& ps, int count) {
        const int round = c_.basicGroupsPerRound + radioTextPerRound();
        for (int segment = 0, slot = 0; slot < count || segment < kPsCopiesToBeTaken * kPsSegments;
             ++slot) {
            if (slot % round < c_.basicGroupsPerRound)
                basic(ps, segment++ % kPsSegments);
            else
                radioText();
        }
    }

    [[nodiscard]] bool everythingSent() const {
        return afSent_ >= afPairs_.size() &&
               (radioTextPerRound() == 0 || textSent_ >= kRadioTextSegments);
    }

    std::vector<Group> groups;

private:
    [[nodiscard]] int radioTextPerRound() const {
        return s_.radioTextActive ? c_.radioTextGroupsPerRound : 0;
    }

    void basic(const PsName& ps, int segment) {
        const unsigned di = (c_.decoderIdentification >> (3 - segment)) & 1u;
        const auto b = static_cast<std::uint16_t>(common_ | (c_.trafficAnnouncement ? 1 << 4 : 0) |
                                                  (s_.music ? 1 << 3 : 0) | di << 2 | segment);
        const auto at = static_cast<std::size_t>(2 * segment);
        groups.push_back(
            {{s_.pi, b, afPairs_[afSent_++ % afPairs_.size()], word(ps[at], ps[at + 1])}});
    }

    void radioText() {
        const int segment = static_cast<int>(textSent_++ % kRadioTextSegments);
        const auto b =
            static_cast<std::uint16_t>(kGroup2A | common_ | (c_.radioTextB ? 1 << 4 : 0) | segment);
        const auto at = static_cast<std::size_t>(4 * segment);
        const RadioText& t = s_.radioText;
        groups.push_back({{s_.pi, b, word(t[at], t[at + 1]), word(t[at + 2], t[at + 3])}});
    }

    const RdsStation& s_;
    const TransmissionChoices& c_;
    const std::vector<std::uint16_t> afPairs_;
    const std::uint16_t common_;
    std::size_t afSent_ = 0;
    std::size_t textSent_ = 0;
};

} // namespace

std::vector<Group> groupSequence(const RdsStation& station, const TransmissionChoices& choices) {
    if (station.screens.empty() || choices.basicGroupsPerRound < 1) {
        RdsStation shown = station;
        shown.screens.assign(1, blankPs());
        TransmissionChoices sane = choices;
        sane.basicGroupsPerRound = std::max(sane.basicGroupsPerRound, 1);
        return groupSequence(shown, sane);
    }
    Transmitter out(station, choices);
    const double seconds = std::chrono::duration<double>(station.screenTime).count();
    const int perScreen = static_cast<int>(std::lround(seconds * kGroupsPerSecond));
    do {
        for (const PsName& ps : station.screens)
            out.sendScreen(ps, perScreen);
    } while (!out.everythingSent());
    return std::move(out.groups);
}

std::string groupText(const Group& group) {
    char text[20];
    std::snprintf(text, sizeof text, "%04X %04X %04X %04X", group.blocks[0], group.blocks[1],
                  group.blocks[2], group.blocks[3]);
    return text;
}

} // namespace quillmark::rds
