#include "station_show.h"

#include "core/field_encodings.h"
#include "core/station_file_items.h"
#include "core/station_file_text.h"

#include <sstream>

namespace quillmark::cli {

namespace {

using ojson = nlohmann::ordered_json;

// A list item, or the raw value when the list has none.
std::string itemOr(const ojson& item, const std::string& raw) {
    return item.is_string() ? item.get<std::string>() : raw;
}

std::string valueText(const ojson& v) {
    return v.is_string() ? v.get<std::string>() : v.dump();
}

std::string piLine(const ojson& frame) {
    const std::string code = frame["pi"].get<std::string>();
    return code + "  country " + itemOr(frame["pi_country"], code.substr(0, 1)) + "; coverage " +
           itemOr(frame["pi_coverage"], code.substr(1, 1)) + "; reference " +
           itemOr(frame["pi_reference"], code.substr(2));
}

std::string afLine(const ojson& frame) {
    const ojson& list = frame["af"];
    std::string line = frame.contains("af_count_byte")
                           ? "byte " + frame["af_count_byte"].dump()
                           : (list.empty() ? "None" : std::to_string(list.size()));
    for (const ojson& code : list)
        line += ' ' + valueText(code);
    return line;
}

std::string timingText(const ojson& frame) {
    if (frame.contains("timing_byte"))
        return "byte " + frame["timing_byte"].dump();
    const ojson& seconds = frame["seconds"];
    return seconds.is_null() ? "not in the file" : seconds.dump() + " seg.";
}

std::string psLine(const DeviceBytes& map, int f, int s) {
    const Block b = psScreenBlock(f, s);
    // The page's text ends at a zero byte; every other byte shows as it is.
    const std::string text =
        decodePsScreen(std::span(map).subspan(static_cast<std::size_t>(b.address)).first<8>());
    return quoted({reinterpret_cast<const Byte*>(text.data()), text.size()});
}

void showFrame(const Station& station, const ojson& frame, int f, std::ostream& out) {
    const int pty = frame["pty"].get<int>();
    out << "Frame " << f + 1 << '\n';
    out << "  PI        " << piLine(frame) << '\n';
    out << "  PTY       " << (ptyItem(pty).empty() ? std::to_string(pty) : ptyItem(pty)) << '\n';
    out << "  TP        " << (frame["tp"].get<bool>() ? "on" : "off") << '\n';
    out << "  MS        " << msItem(frame["ms"] == "music" ? 1 : 0) << '\n';
    out << "  AF        " << afLine(frame) << '\n';
    for (int s = 0; s < 8; ++s)
        out << (s == 0 ? "  PS        " : "            ") << s + 1 << ' '
            << psLine(station.map, f, s) << '\n';
    out << "  Sequence  screens " << frame["screens"].dump() << ", RadioText "
        << (frame["radiotext_active"].get<bool>() ? "active" : "not active") << ", timing "
        << timingText(frame) << '\n';
}

} // namespace

std::string showText(const Station& station) {
    const ojson doc = describedStationJson(station);
    std::ostringstream out;
    for (int f = 0; f < 2; ++f)
        showFrame(station, doc["frames"][static_cast<std::size_t>(f)], f, out);
    const Block rt = radioTextBlock();
    const std::string text = decodeRadioText(
        std::span(station.map)
            .subspan(static_cast<std::size_t>(rt.address), static_cast<std::size_t>(rt.length)));
    out << "RadioText   " << quoted({reinterpret_cast<const Byte*>(text.data()), text.size()})
        << '\n';
    return out.str();
}

} // namespace quillmark::cli
