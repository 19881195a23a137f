#include "station_file_text.h"

#include <cstdio>

namespace quillmark {

namespace {

void appendUtf8(std::string& out, unsigned c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

} // namespace

std::string latin1ToUtf8(std::span<const Byte> bytes) {
    std::string out;
    out.reserve(bytes.size() * 2);
    for (const Byte b : bytes)
        appendUtf8(out, b);
    return out;
}

std::optional<std::string> utf8ToLatin1(std::string_view utf8) {
    std::string out;
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        if (c < 0x80) {
            out += static_cast<char>(c);
            continue;
        }
        // Only two-byte sequences reach U+00FF: lead byte 0xC2 or 0xC3.
        if ((c != 0xC2 && c != 0xC3) || i + 1 >= utf8.size())
            return std::nullopt;
        const auto next = static_cast<unsigned char>(utf8[++i]);
        if ((next & 0xC0) != 0x80)
            return std::nullopt;
        out += static_cast<char>(((c & 0x1F) << 6) | (next & 0x3F));
    }
    return out;
}

std::string quoted(std::span<const Byte> bytes) {
    std::string out = "\"";
    for (const Byte b : bytes) {
        if (b == '\r')
            out += "\\r";
        else if (b == '\n')
            out += "\\n";
        else if (b == '\t')
            out += "\\t";
        else if (b == '"' || b == '\\')
            out += {'\\', static_cast<char>(b)};
        else if (b < 0x20 || (b >= 0x7F && b < 0xA0)) {
            char hex[5];
            std::snprintf(hex, sizeof hex, "\\x%02X", b);
            out += hex;
        } else
            appendUtf8(out, b);
    }
    return out + "\"";
}

std::span<const Byte> trimTrailingSpaces(std::span<const Byte> bytes) {
    std::size_t n = bytes.size();
    while (n > 0 && bytes[n - 1] == ' ')
        --n;
    return bytes.first(n);
}

} // namespace quillmark
