#include "port_setting.h"

#include "errors.h"
#include "posix_file.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <pwd.h>
#include <unistd.h>

namespace quillmark {

namespace fs = std::filesystem;

namespace {

// Nothing longer can be a port index; a huge or endless file must not fill the memory.
constexpr std::size_t kMaxTextFileRead = 64 * 1024;
// The error box quotes the text; beyond this it shows the start and "...".
constexpr std::size_t kMaxQuotedText = 40;

// A zero byte would end the message where the error box reads it.
[[nodiscard]] std::string quoted(std::string_view text) {
    std::string shown(text.substr(0, kMaxQuotedText));
    std::replace(shown.begin(), shown.end(), '\0', '?');
    if (text.size() > kMaxQuotedText)
        shown += "...";
    return shown;
}

[[noreturn]] void notAnInteger(std::string_view text) {
    throw ConvertError("'" + quoted(text) + "' is not a valid integer value");
}

[[nodiscard]] std::optional<int> digitValue(char c, bool hex) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (hex && c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (hex && c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return std::nullopt;
}

[[nodiscard]] std::string fileError(const char* what, const fs::path& path, int err) {
    return std::string(what) + " \"" + path.string() + "\". " + std::strerror(err);
}

[[nodiscard]] fs::path homeDirectory() {
    const char* home = std::getenv("HOME");
    if (home != nullptr && *home != '\0')
        return home;
    if (const passwd* entry = ::getpwuid(::getuid()); entry != nullptr && entry->pw_dir != nullptr)
        return entry->pw_dir;
    return {};
}

} // namespace

std::string formatPortIndex(int index) {
    return std::to_string(index);
}

int parseInteger(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ')
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    const bool hex = i < text.size() && text[i] == '$';
    if (hex)
        ++i;
    if (i == text.size())
        notAnInteger(text);
    const std::int64_t limit = negative ? -std::int64_t{INT_MIN} : std::int64_t{INT_MAX};
    std::int64_t value = 0;
    for (; i < text.size(); ++i) {
        const auto digit = digitValue(text[i], hex);
        if (!digit)
            notAnInteger(text);
        value = value * (hex ? 16 : 10) + *digit;
        if (value > limit)
            notAnInteger(text);
    }
    return static_cast<int>(negative ? -value : value);
}

void writeTextFile(const fs::path& path, std::string_view text) {
    posix::UniqueFd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
    if (!fd.valid())
        throw ConvertError(fileError("Cannot create file", path, errno));
    int err = posix::writeAll(fd.get(), std::as_bytes(std::span(text.data(), text.size())));
    if (err == 0)
        err = fd.close();
    if (err != 0)
        throw ConvertError(fileError("Cannot create file", path, err));
}

std::string readTextFile(const fs::path& path) {
    int err = 0;
    posix::UniqueFd fd = posix::openForReading(path, err);
    if (!fd.valid())
        throw ConvertError(fileError("Cannot open file", path, err));
    std::string text(kMaxTextFileRead, '\0');
    std::size_t got = 0;
    err = posix::readUpTo(fd.get(), std::as_writable_bytes(std::span(text)), got);
    if (err != 0)
        throw ConvertError(fileError("Cannot open file", path, err));
    text.resize(got);
    return text;
}

fs::path configDirectory() {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    const fs::path base =
        xdg != nullptr && *xdg != '\0' ? fs::path(xdg) : homeDirectory() / ".config";
    return base / "Tarvenor" / "Quillmark";
}

fs::path configFilePath() {
    return configDirectory() / "configrds.txt";
}

} // namespace quillmark
