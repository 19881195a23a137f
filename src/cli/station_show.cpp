#include "station_show.h"

#include "core/field_encodings.h"
#include "item_texts.h"
#include "text_codec.h"

#include <sstream>

namespace quillmark::cli {

namespace {

using ojson = nlohmann::ordered_json;

constexpr const char* kNone = "(none)";

// One frame as the pages show it; an empty text is a list without a selection.
struct FrameWords {
    std::string pi, country, coverage, reference;
    std::string pty, ms;
    bool tp = false;
    std::string afCount;
    std::vector<std::string> af;
    std::array<std::string, 8> ps;         // UTF-8
    std::array<std::string, 8> psQuoted;   // for a terminal
    std::string screens, timing;
    bool radioTextActive = false;
};

template <std::size_t N> std::span<const Byte, N> blockOf(const DeviceBytes& map, Block b) {
    return std::span(map).subspan(static_cast<std::size_t>(b.address)).template first<N>();
}

FrameWords describe(const DeviceBytes& map, int f) {
    FrameWords w;
    const auto piBytes = blockOf<2>(map, piBlock(f));
    char code[5];
    std::snprintf(code, sizeof code, "%02X%02X", piBytes[0], piBytes[1]);
    w.pi = code;
    const PiControls pi = decodePi(piBytes);
    w.country = countryItem(pi.country);
    w.coverage = coverageItem(pi.coverage);
    w.reference = referenceItemText(pi.reference);
    const PtyControls pty = decodePty(blockOf<2>(map, ptyBlock(f)));
    w.pty = ptyItem(pty.pty);
    w.tp = pty.tp;
    w.ms = msItem(pty.ms);
    const AfControls af = decodeAf(blockOf<16>(map, afBlock(f)));
    if (af.count >= 0) {
        w.afCount = af.count == 0 ? "None" : std::to_string(af.count);
        for (int i = 0; i < af.count; ++i) {
            const int c = af.codes[static_cast<std::size_t>(i)];
            w.af.push_back(c >= 0 && c < kAfCodeItems ? afItemText(c) : "");
        }
    }
    for (int s = 0; s < 8; ++s) {
        // The page's text ends at a zero byte; every other byte shows as it is.
        const std::string text = decodePsScreen(blockOf<8>(map, psScreenBlock(f, s)));
        const std::span<const Byte> bytes(reinterpret_cast<const Byte*>(text.data()), text.size());
        w.ps[static_cast<std::size_t>(s)] = latin1ToUtf8(bytes);
        w.psQuoted[static_cast<std::size_t>(s)] = quoted(bytes);
    }
    const SequenceControls seq = decodeSequence(blockOf<2>(map, sequenceBlock(f)));
    w.screens = seq.screens >= 0 && seq.screens < kScreenCountItems ? std::to_string(seq.screens + 1)
                                                                     : "";
    w.radioTextActive = seq.radioTextActive;
    w.timing = timingItem(seq.timing);
    return w;
}

std::string radioTextBytes(const DeviceBytes& map) {
    const Block rt = radioTextBlock();
    return decodeRadioText(std::span(map).subspan(static_cast<std::size_t>(rt.address),
                                                  static_cast<std::size_t>(rt.length)));
}

std::string orNone(const std::string& s) {
    return s.empty() ? kNone : s;
}

ojson orNull(const std::string& s) {
    return s.empty() ? ojson() : ojson(s);
}

std::span<const Byte> asBytes(const std::string& s) {
    return {reinterpret_cast<const Byte*>(s.data()), s.size()};
}

} // namespace

std::string showText(const DeviceBytes& map) {
    std::ostringstream out;
    for (int f = 0; f < 2; ++f) {
        const FrameWords w = describe(map, f);
        out << "Frame " << f + 1 << '\n';
        out << "  PI        " << w.pi << "  country " << orNone(w.country) << "; coverage "
            << orNone(w.coverage) << "; reference " << orNone(w.reference) << '\n';
        out << "  PTY       " << orNone(w.pty) << '\n';
        out << "  TP        " << (w.tp ? "on" : "off") << '\n';
        out << "  MS        " << orNone(w.ms) << '\n';
        out << "  AF        " << orNone(w.afCount);
        for (const std::string& a : w.af)
            out << ' ' << orNone(a);
        out << '\n';
        for (std::size_t s = 0; s < 8; ++s)
            out << (s == 0 ? "  PS        " : "            ") << s + 1 << ' ' << w.psQuoted[s]
                << '\n';
        out << "  Sequence  screens " << orNone(w.screens) << ", RadioText "
            << (w.radioTextActive ? "active" : "not active") << ", timing " << orNone(w.timing)
            << '\n';
    }
    out << "RadioText   " << quoted(asBytes(radioTextBytes(map))) << '\n';
    return out.str();
}

nlohmann::ordered_json showJson(const DeviceBytes& map) {
    ojson doc;
    doc["frames"] = ojson::array();
    for (int f = 0; f < 2; ++f) {
        const FrameWords w = describe(map, f);
        ojson frame;
        frame["pi"] = {{"code", w.pi},
                       {"country", orNull(w.country)},
                       {"coverage", orNull(w.coverage)},
                       {"reference", orNull(w.reference)}};
        frame["pty"] = orNull(w.pty);
        frame["tp"] = w.tp;
        frame["ms"] = orNull(w.ms);
        ojson af = ojson::array();
        for (const std::string& a : w.af)
            af.push_back(orNull(a));
        frame["af"] = {{"count", orNull(w.afCount)}, {"frequencies", std::move(af)}};
        frame["ps"] = w.ps;
        frame["sequence"] = {{"screens", orNull(w.screens)},
                             {"radiotext_active", w.radioTextActive},
                             {"timing", orNull(w.timing)}};
        doc["frames"].push_back(std::move(frame));
    }
    doc["radiotext"] = latin1ToUtf8(asBytes(radioTextBytes(map)));
    return doc;
}

} // namespace quillmark::cli
