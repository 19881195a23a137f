#include "hex_bytes.h"

namespace quillmark {

void appendHexBytes(std::string& out, std::span<const Byte> bytes) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    out.reserve(out.size() + bytes.size() * 3);
    bool first = true;
    for (const Byte b : bytes) {
        if (!first)
            out += ' ';
        first = false;
        out += kDigits[b >> 4];
        out += kDigits[b & 0x0F];
    }
}

std::string hexBytes(std::span<const Byte> bytes) {
    std::string out;
    appendHexBytes(out, bytes);
    return out;
}

} // namespace quillmark
