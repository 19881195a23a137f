#include "station_file_json.h"

#include "field_encodings.h"
#include "station_file_items.h"
#include "station_file_text.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <functional>
#include <optional>
#include <set>

namespace quillmark {

namespace {

using ojson = nlohmann::ordered_json;
using json = nlohmann::json;

constexpr int kAfCodes = 15;
constexpr int kLastFrequencyCode = 204;
constexpr double kAfBandBase = 87.5; // code c is 87.5 + c / 10 MHz
constexpr Byte kNoAfCount = 0xE0;
constexpr Byte kPtyKnown0 = 0x07; // TP and PTY bits 4-3
constexpr Byte kPtyKnown1 = 0xE8; // PTY bits 2-0 and MS
constexpr Byte kRadioTextFlag = 0x80;
constexpr int kSecondsPerTimingStep = 2;
constexpr int kTimingUnitsPerSecond = 12;

std::size_t at(int address) {
    return static_cast<std::size_t>(address);
}

std::string hexBytes(std::span<const Byte> bytes) {
    std::string out;
    for (const Byte b : bytes) {
        char two[3];
        std::snprintf(two, sizeof two, "%02X", b);
        out += two;
    }
    return out;
}

bool isKnownTiming(Byte b) {
    return b % kTimingUnitsPerSecond == 0 && b >= 48 && b <= 144 &&
           (b / kTimingUnitsPerSecond) % kSecondsPerTimingStep == 0;
}

ojson afCodeJson(Byte code) {
    if (code >= 1 && code <= kLastFrequencyCode)
        return afItemText(code);
    return code;
}

ojson itemOrNull(const std::string& text) {
    return text.empty() ? ojson() : ojson(text);
}

ojson textJson(std::span<const Byte> bytes) {
    return latin1ToUtf8(trimTrailingSpaces(bytes));
}

void exportPty(ojson& f, std::span<const Byte> b) {
    f["pty"] = ((b[0] & 0x03) << 3) | (b[1] >> 5);
    f["tp"] = (b[0] & 0x04) != 0;
    f["ms"] = (b[1] & 0x08) != 0 ? "music" : "speech";
    const int extra = ((b[0] & ~kPtyKnown0 & 0xFF) << 8) | (b[1] & ~kPtyKnown1 & 0xFF);
    if (extra != 0)
        f["pty_extra_bits"] = extra;
}

void exportAf(ojson& f, std::span<const Byte> b) {
    const Byte countByte = b[0];
    const bool known = countByte >= kNoAfCount && countByte < kNoAfCount + 16;
    const int n = known ? countByte - kNoAfCount : kAfCodes;
    if (!known)
        f["af_count_byte"] = countByte;
    ojson list = ojson::array();
    for (int i = 0; i < n; ++i)
        list.push_back(afCodeJson(b[at(1 + i)]));
    f["af"] = std::move(list);
    const auto unused = b.subspan(at(1 + n));
    if (std::any_of(unused.begin(), unused.end(), [](Byte c) { return c != 0; })) {
        ojson rest = ojson::array();
        for (const Byte c : unused)
            rest.push_back(afCodeJson(c));
        f["af_unused"] = std::move(rest);
    }
}

void exportSequence(ojson& f, std::span<const Byte> b, bool hasTiming) {
    f["screens"] = b[0] & 0x7F;
    f["radiotext_active"] = (b[0] & kRadioTextFlag) != 0;
    if (!hasTiming)
        f["seconds"] = nullptr; // not in the file
    else if (isKnownTiming(b[1]))
        f["seconds"] = b[1] / kTimingUnitsPerSecond;
    else
        f["timing_byte"] = b[1];
}

ojson frameToJson(const Station& station, int f) {
    const DeviceBytes& map = station.map;
    const auto block = [&](Block blk) {
        return std::span(map).subspan(at(blk.address), at(blk.length));
    };
    ojson frame;
    frame["pi"] = hexBytes(block(piBlock(f)));
    exportPty(frame, block(ptyBlock(f)));
    exportAf(frame, block(afBlock(f)));
    ojson ps = ojson::array();
    for (int s = 0; s < 8; ++s)
        ps.push_back(textJson(block(psScreenBlock(f, s))));
    frame["ps"] = std::move(ps);
    exportSequence(frame, block(sequenceBlock(f)), f == 0 || station.hasLastByte);
    return frame;
}

// ---- import ----

// Where in the document a value sits, for messages: frames[1].af[3]
class Path {
public:
    Path() = default;
    [[nodiscard]] Path key(const std::string& k) const {
        return Path(text_.empty() ? k : text_ + "." + k);
    }
    [[nodiscard]] Path index(std::size_t i) const {
        return Path(text_ + "[" + std::to_string(i) + "]");
    }
    [[nodiscard]] const std::string& text() const { return text_; }

private:
    explicit Path(std::string t) : text_(std::move(t)) {}
    std::string text_;
};

[[noreturn]] void fail(const Path& path, const std::string& expected, const json* got = nullptr) {
    std::string message =
        (path.text().empty() ? "document" : path.text()) + ": expected " + expected;
    if (got) {
        std::string shown = got->dump(-1, ' ', false, json::error_handler_t::replace);
        if (shown.size() > 40)
            shown = shown.substr(0, 37) + "...";
        message += ", got " + shown;
    }
    throw SchemaError(message);
}

// An object whose keys are checked against the known ones as they are taken.
class Fields {
public:
    Fields(const json& value, Path path, const char* what) : value_(value), path_(std::move(path)) {
        if (!value.is_object())
            fail(path_, what, &value);
    }
    [[nodiscard]] const json& required(const std::string& k) {
        taken_.insert(k);
        const auto it = value_.find(k);
        if (it == value_.end())
            fail(path_.key(k), "a value (the field is missing)");
        return *it;
    }
    [[nodiscard]] const json* optional(const std::string& k) {
        taken_.insert(k);
        const auto it = value_.find(k);
        return it == value_.end() ? nullptr : &*it;
    }
    [[nodiscard]] Path at(const std::string& k) const { return path_.key(k); }
    void noOthers() const {
        for (const auto& item : value_.items())
            if (!taken_.count(item.key()))
                fail(path_.key(item.key()), "no such field (unknown field)");
    }

private:
    const json& value_;
    Path path_;
    std::set<std::string> taken_;
};

int integer(const json& v, const Path& path, int low, int high) {
    const bool ok =
        v.is_number_integer() && v.get<long long>() >= low && v.get<long long>() <= high;
    if (!ok)
        fail(path, "an integer from " + std::to_string(low) + " to " + std::to_string(high), &v);
    return static_cast<int>(v.get<long long>());
}

bool boolean(const json& v, const Path& path) {
    if (!v.is_boolean())
        fail(path, "true or false", &v);
    return v.get<bool>();
}

void hexInto(const json& v, const Path& path, std::span<Byte> out) {
    const std::string expected = std::to_string(out.size() * 2) + " hexadecimal digits";
    if (!v.is_string() || v.get_ref<const std::string&>().size() != out.size() * 2)
        fail(path, expected, &v);
    const std::string& s = v.get_ref<const std::string&>();
    for (std::size_t i = 0; i < out.size(); ++i) {
        unsigned value = 0;
        char tail = 0;
        const std::string two = s.substr(2 * i, 2);
        if (!std::isxdigit(static_cast<unsigned char>(two[0])) ||
            !std::isxdigit(static_cast<unsigned char>(two[1])) ||
            std::sscanf(two.c_str(), "%2x%c", &value, &tail) != 1)
            fail(path, expected, &v);
        out[i] = static_cast<Byte>(value);
    }
}

// A text of at most out.size() characters (Latin-1), padded with spaces.
void textInto(const json& v, const Path& path, std::span<Byte> out) {
    const std::string expected =
        "a text of at most " + std::to_string(out.size()) + " Latin-1 characters";
    if (!v.is_string())
        fail(path, expected, &v);
    const auto bytes = utf8ToLatin1(v.get_ref<const std::string&>());
    if (!bytes || bytes->size() > out.size())
        fail(path, expected, &v);
    std::fill(out.begin(), out.end(), Byte{' '});
    std::copy(bytes->begin(), bytes->end(), out.begin());
}

// A number within the band is a frequency in MHz (95.8); other integers are raw codes, as
// an export writes the codes that are no frequency.
std::optional<Byte> afNumber(const json& v) {
    const double mhz = v.get<double>();
    const double steps = (mhz - kAfBandBase) * 10.0;
    const double code = std::round(steps);
    if (code >= 1 && code <= kLastFrequencyCode)
        return std::abs(steps - code) < 1e-6 ? std::optional<Byte>(static_cast<Byte>(code))
                                             : std::nullopt;
    if (v.is_number_integer() && v.get<long long>() >= 0 && v.get<long long>() <= 255)
        return static_cast<Byte>(v.get<long long>());
    return std::nullopt;
}

Byte afCode(const json& v, const Path& path) {
    if (v.is_string()) {
        for (int c = 1; c <= kLastFrequencyCode; ++c)
            if (afItemText(c) == v.get_ref<const std::string&>())
                return static_cast<Byte>(c);
    } else if (v.is_number()) {
        if (const auto code = afNumber(v))
            return *code;
    }
    fail(path, "a frequency from 87.6 to 107.9 (number or text) or a code from 0 to 255", &v);
}

void afCodesInto(const json& v, const Path& path, std::size_t count, std::span<Byte> out) {
    if (!v.is_array() || v.size() != count)
        fail(path, "a list of " + std::to_string(count) + " frequencies", &v);
    for (std::size_t i = 0; i < count; ++i)
        out[i] = afCode(v[i], path.index(i));
}

// A number, or an item of the list by its text ("10 - Pop Music") or its name ("Pop Music").
int ptyValue(const json& v, const Path& path) {
    if (v.is_string()) {
        const std::string& text = v.get_ref<const std::string&>();
        for (int i = 0; !ptyItem(i).empty(); ++i)
            if (text == ptyItem(i) || text == ptyName(i))
                return i;
        fail(path, "a PTY number from 0 to 31 or a name of the list", &v);
    }
    return integer(v, path, 0, 31);
}

void importPty(Fields& in, std::span<Byte> b) {
    const int pty = ptyValue(in.required("pty"), in.at("pty"));
    const bool tp = boolean(in.required("tp"), in.at("tp"));
    const json& ms = in.required("ms");
    if (ms != "music" && ms != "speech")
        fail(in.at("ms"), "\"music\" or \"speech\"", &ms);
    int extra = 0;
    if (const json* e = in.optional("pty_extra_bits")) {
        extra = integer(*e, in.at("pty_extra_bits"), 0, 0xFFFF);
        if ((extra >> 8) & kPtyKnown0 || (extra & kPtyKnown1))
            fail(in.at("pty_extra_bits"), "bits outside TP, PTY and MS (mask 0xF817)", e);
    }
    b[0] = static_cast<Byte>((tp ? 0x04 : 0) | (pty >> 3) | (extra >> 8));
    b[1] = static_cast<Byte>(((pty & 0x07) << 5) | (ms == "music" ? 0x08 : 0) | (extra & 0xFF));
}

void importAf(Fields& in, std::span<Byte> b) {
    const json& list = in.required("af");
    std::size_t n = 0;
    if (const json* countByte = in.optional("af_count_byte")) {
        b[0] = static_cast<Byte>(integer(*countByte, in.at("af_count_byte"), 0, 255));
        if (b[0] >= kNoAfCount && b[0] < kNoAfCount + 16)
            fail(in.at("af_count_byte"), "a byte outside 0xE0 to 0xEF (give the list instead)",
                 countByte);
        n = kAfCodes;
    } else {
        if (!list.is_array() || list.size() > kAfCodes)
            fail(in.at("af"), "a list of at most 15 frequencies", &list);
        n = list.size();
        b[0] = static_cast<Byte>(kNoAfCount + n);
    }
    afCodesInto(list, in.at("af"), n, b.subspan(1, n));
    const auto rest = b.subspan(1 + n);
    std::fill(rest.begin(), rest.end(), Byte{0});
    if (const json* unused = in.optional("af_unused"))
        afCodesInto(*unused, in.at("af_unused"), rest.size(), rest);
}

// Returns false for a second frame whose timing is not given ("seconds": null).
bool importSequence(Fields& in, std::span<Byte> b, bool mayLackTiming) {
    const int screens = integer(in.required("screens"), in.at("screens"), 0, 127);
    const bool active = boolean(in.required("radiotext_active"), in.at("radiotext_active"));
    b[0] = static_cast<Byte>(screens | (active ? kRadioTextFlag : 0));
    const json* seconds = in.optional("seconds");
    const json* raw = in.optional("timing_byte");
    if (mayLackTiming && seconds && seconds->is_null() && !raw)
        return false;
    if ((seconds == nullptr) == (raw == nullptr))
        fail(in.at("seconds"), "either \"seconds\" or \"timing_byte\", not both or neither");
    if (seconds) {
        const int s = integer(*seconds, in.at("seconds"), 4, 12);
        if (s % kSecondsPerTimingStep != 0)
            fail(in.at("seconds"), "4, 6, 8, 10 or 12", seconds);
        b[1] = static_cast<Byte>(s * kTimingUnitsPerSecond);
    } else {
        b[1] = static_cast<Byte>(integer(*raw, in.at("timing_byte"), 0, 255));
    }
    return true;
}

// Returns whether the frame's timing byte was given.
bool importFrame(const json& v, const Path& path, int f, DeviceBytes& map) {
    const auto block = [&](Block blk) {
        return std::span(map).subspan(at(blk.address), at(blk.length));
    };
    Fields in(v, path, "a frame object");
    hexInto(in.required("pi"), in.at("pi"), block(piBlock(f)));
    importPty(in, block(ptyBlock(f)));
    importAf(in, block(afBlock(f)));
    const json& ps = in.required("ps");
    if (!ps.is_array() || ps.size() != 8)
        fail(in.at("ps"), "a list of 8 PS texts", &ps);
    for (int s = 0; s < 8; ++s)
        textInto(ps[at(s)], in.at("ps").index(at(s)), block(psScreenBlock(f, s)));
    const bool timed = importSequence(in, block(sequenceBlock(f)), f == 1);
    for (const char* extra : kDescriptiveFrameFields)
        (void)in.optional(extra);
    in.noOthers();
    return timed;
}

} // namespace

nlohmann::ordered_json stationToJson(const Station& station) {
    const DeviceBytes& map = station.map;
    ojson doc;
    doc["format"] = kStationFormat;
    doc["version"] = kStationFormatVersion;
    doc["frames"] = ojson::array({frameToJson(station, 0), frameToJson(station, 1)});
    const Block rt = radioTextBlock();
    doc["radiotext"] = textJson(std::span(map).subspan(at(rt.address), at(rt.length)));
    const Block spare = spareBlock();
    doc["spare"] = hexBytes(std::span(map).subspan(at(spare.address), at(spare.length)));
    return doc;
}

Station stationFromJson(const nlohmann::json& doc) {
    Fields in(doc, Path(), "a JSON object");
    const json& format = in.required("format");
    if (format != kStationFormat)
        fail(in.at("format"), std::string("\"") + kStationFormat + "\"", &format);
    const json& version = in.required("version");
    if (version != kStationFormatVersion)
        fail(in.at("version"), std::to_string(kStationFormatVersion), &version);
    Station station;
    DeviceBytes& map = station.map;
    const json& frames = in.required("frames");
    if (!frames.is_array() || frames.size() != 2)
        fail(in.at("frames"), "a list of 2 frames", &frames);
    for (int f = 0; f < 2; ++f)
        station.hasLastByte = importFrame(frames[at(f)], in.at("frames").index(at(f)), f, map);
    const Block rt = radioTextBlock();
    textInto(in.required("radiotext"), in.at("radiotext"),
             std::span(map).subspan(at(rt.address), at(rt.length)));
    const Block spare = spareBlock();
    hexInto(in.required("spare"), in.at("spare"),
            std::span(map).subspan(at(spare.address), at(spare.length)));
    in.noOthers();
    return station;
}

std::string exportStation(const Station& station) {
    return stationToJson(station).dump(2) + "\n";
}

nlohmann::ordered_json describedStationJson(const Station& station) {
    ojson doc = stationToJson(station);
    for (int f = 0; f < 2; ++f) {
        const PiControls pi =
            decodePi(std::span(station.map).subspan(at(piBlock(f).address)).first<2>());
        ojson& frame = doc["frames"][at(f)];
        frame["pi_country"] = itemOrNull(countryItem(pi.country));
        frame["pi_coverage"] = itemOrNull(coverageItem(pi.coverage));
        frame["pi_reference"] = itemOrNull(pi.reference < 0 ? "" : referenceItemText(pi.reference));
        frame["pty_name"] = itemOrNull(ptyName(frame["pty"].get<int>()));
    }
    return doc;
}

Station importStation(std::string_view text) {
    json doc;
    try {
        doc = json::parse(text);
    } catch (const json::exception& e) {
        // Syntax errors, and numbers too large for any type (out_of_range.406).
        std::string what = e.what();
        // Drop the library's "[json.exception.parse_error.101] " tag.
        if (const auto close = what.find("] "); what.starts_with("[") && close != std::string::npos)
            what.erase(0, close + 2);
        constexpr std::size_t kLongest = 160; // one readable line, even for a huge token
        if (what.size() > kLongest)
            what = what.substr(0, kLongest - 3) + "...";
        throw SchemaError("not JSON: " + what);
    }
    return stationFromJson(doc);
}

} // namespace quillmark
