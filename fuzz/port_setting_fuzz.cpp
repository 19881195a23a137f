// The integer rule against an independent reading: blanks, sign, decimal or "$" hex, nothing
// after, value within int. Errors quote a bounded text without zero bytes.

#include "core/errors.h"
#include "core/port_setting.h"

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <regex>
#include <string>

namespace {

void check(bool condition) {
    if (!condition)
        std::abort();
}

std::optional<long long> reference(const std::string& text) {
    static const std::regex grammar("^ *([+-]?)(\\$[0-9A-Fa-f]+|[0-9]+)$");
    std::smatch m;
    if (text.find('\0') != std::string::npos || text.find('\n') != std::string::npos ||
        !std::regex_match(text, m, grammar))
        return std::nullopt;
    const std::string digits = m[2].str();
    const bool hex = digits[0] == '$';
    errno = 0;
    const unsigned long long magnitude =
        std::strtoull(digits.c_str() + (hex ? 1 : 0), nullptr, hex ? 16 : 10);
    const bool negative = m[1].str() == "-";
    const unsigned long long limit = negative ? 2147483648ULL : 2147483647ULL;
    if (errno == ERANGE || magnitude > limit)
        return std::nullopt;
    return negative ? -static_cast<long long>(magnitude) : static_cast<long long>(magnitude);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const std::optional<long long> expected = reference(text);
    try {
        const int value = quillmark::parseInteger(text);
        check(expected && *expected == value);
        check(quillmark::parseInteger(quillmark::formatPortIndex(value)) == value);
    } catch (const quillmark::ConvertError& e) {
        check(!expected);
        const std::string message = e.what();
        const std::string suffix = "' is not a valid integer value";
        check(std::strlen(e.what()) == message.size());
        check(message.size() <= 1 + 40 + 3 + suffix.size());
        check(message.front() == '\'' && message.ends_with(suffix));
    }
    return 0;
}
