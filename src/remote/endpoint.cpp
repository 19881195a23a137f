#include "remote/endpoint.h"

#include "core/posix_file.h"

#include <array>
#include <cerrno>
#include <charconv>

#include <arpa/inet.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quillmark::remote {

namespace {

constexpr std::string_view kTcp = "tcp://";
constexpr std::string_view kRfc2217 = "rfc2217://";
constexpr std::size_t kMaxHostName = 253;
constexpr std::size_t kMaxLabel = 63;

constexpr const char* kExpectedForm =
    "Escriba tcp://HOST:PUERTO o rfc2217://HOST:PUERTO; una dirección IPv6 va entre corchetes, "
    "por ejemplo rfc2217://[2001:db8::7]:2217.";
constexpr const char* kExpectedIpv4 =
    "Una dirección IPv4 se escribe como cuatro números de 0 a 255 separados por puntos, sin "
    "ceros a la izquierda, por ejemplo tcp://10.0.0.1:4001.";

[[nodiscard]] bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

[[nodiscard]] bool isLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

[[nodiscard]] bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

[[nodiscard]] std::string_view trimmed(std::string_view text) {
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

// Decimal digits without a leading zero (a lone "0" aside), at most `maxDigits` of them.
[[nodiscard]] std::optional<unsigned> plainNumber(std::string_view text, std::size_t maxDigits) {
    if (text.empty() || text.size() > maxDigits || (text.size() > 1 && text.front() == '0'))
        return std::nullopt;
    unsigned value = 0;
    for (const char c : text) {
        if (!isDigit(c))
            return std::nullopt;
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    return value;
}

[[nodiscard]] bool canonicalIpv4(std::string_view host) {
    int parts = 0;
    for (;;) {
        const auto dot = host.find('.');
        const auto value = plainNumber(host.substr(0, dot), 3);
        if (!value || *value > 255 || ++parts > 4)
            return false;
        if (dot == std::string_view::npos)
            return parts == 4;
        host.remove_prefix(dot + 1);
    }
}

// What the resolver would take as an IPv4 address in some form (inet_aton's forms).
[[nodiscard]] bool resolverReadsAsAddress(const std::string& host) {
    in_addr ignored{};
    return ::inet_aton(host.c_str(), &ignored) != 0;
}

// RFC 1123 labels, and a letter somewhere: all-digit names are addresses to the resolver.
[[nodiscard]] bool hostName(std::string_view host) {
    if (host.empty() || host.size() > kMaxHostName)
        return false;
    bool letter = false;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= host.size(); ++i) {
        if (i == host.size() || host[i] == '.') {
            const auto label = host.substr(start, i - start);
            if (label.empty() || label.size() > kMaxLabel || label.front() == '-' ||
                label.back() == '-')
                return false;
            start = i + 1;
            continue;
        }
        const char c = host[i];
        letter = letter || isLetter(c);
        if (!isLetter(c) && !isDigit(c) && c != '-')
            return false;
    }
    return letter;
}

[[nodiscard]] bool ipv6Address(const std::string& host) {
    std::array<unsigned char, 16> out{};
    return ::inet_pton(AF_INET6, host.c_str(), out.data()) == 1;
}

[[nodiscard]] EndpointParse refused(const std::string& problem) {
    return {std::nullopt, problem};
}

[[nodiscard]] std::string quoted(std::string_view text) {
    return "«" + std::string(text) + "»";
}

} // namespace

std::string Endpoint::address() const {
    const bool v6 = host.find(':') != std::string::npos;
    return (v6 ? "[" + host + "]" : host) + ":" + std::to_string(port);
}

std::string Endpoint::text() const {
    return std::string(mode == Mode::Rfc2217 ? kRfc2217 : kTcp) + address();
}

bool Endpoint::numeric() const {
    return host.find(':') != std::string::npos || canonicalIpv4(host);
}

bool hasEndpointScheme(std::string_view text) {
    text = trimmed(text);
    return text.starts_with(kTcp) || text.starts_with(kRfc2217);
}

EndpointParse parseEndpointText(std::string_view line) {
    line = trimmed(line);
    const std::string invalid = quoted(line) + " no es una dirección válida. " + kExpectedForm;
    Endpoint e;
    if (line.starts_with(kTcp)) {
        line.remove_prefix(kTcp.size());
    } else if (line.starts_with(kRfc2217)) {
        e.mode = Endpoint::Mode::Rfc2217;
        line.remove_prefix(kRfc2217.size());
    } else {
        return refused(invalid);
    }
    const auto colon = line.rfind(':');
    if (colon == std::string_view::npos)
        return refused(invalid);
    const auto port = plainNumber(line.substr(colon + 1), 5);
    if (!port || *port == 0 || *port > 65535)
        return refused(invalid);
    e.port = static_cast<std::uint16_t>(*port);
    const std::string_view host = line.substr(0, colon);
    if (host.size() >= 2 && host.front() == '[' && host.back() == ']') {
        e.host = std::string(host.substr(1, host.size() - 2));
        // A zone (fe80::1%eth0) is refused with the rest: the address must parse whole.
        if (!ipv6Address(e.host))
            return refused(invalid);
        return {std::move(e), {}};
    }
    e.host = std::string(host);
    if (canonicalIpv4(host) || (hostName(host) && !resolverReadsAsAddress(e.host)))
        return {std::move(e), {}};
    if (!host.empty() && (resolverReadsAsAddress(e.host) ||
                          host.find_first_not_of("0123456789.") == std::string_view::npos))
        return refused(quoted(host) + " no es una dirección IPv4 válida. " + kExpectedIpv4);
    return refused(invalid);
}

std::optional<Endpoint> parseEndpoint(std::string_view line) {
    return parseEndpointText(line).endpoint;
}

std::optional<int> comNumber(std::string_view name) {
    if (!name.starts_with("COM"))
        return std::nullopt;
    const auto n = plainNumber(name.substr(3), 3);
    if (!n || *n < 1 || *n > 255)
        return std::nullopt;
    return static_cast<int>(*n);
}

std::string defaultDevice(int n) {
    return "/dev/ttyS" + std::to_string(n - 1);
}

EntryContent readEntry(const std::filesystem::path& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0)
        return {};
    if (!S_ISREG(info.st_mode))
        return {EntryContent::Kind::Device, std::nullopt, {}};
    // Swapped for a link or a FIFO since: the open neither follows nor waits.
    const posix::UniqueFd fd(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (!fd.valid())
        return {EntryContent::Kind::Device, std::nullopt, {}};
    if (::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode))
        return {EntryContent::Kind::Device, std::nullopt, {}};
    // An address is short; a long first line is no endpoint whatever follows.
    std::array<char, 512> buffer{};
    std::size_t length = 0;
    while (length < buffer.size()) {
        const ssize_t n = posix::retryOnInterrupt(
            [&] { return ::read(fd.get(), buffer.data() + length, buffer.size() - length); });
        if (n <= 0)
            break;
        length += static_cast<std::size_t>(n);
    }
    std::string_view line(buffer.data(), length);
    const auto end = line.find_first_of(std::string_view("\n\0", 2));
    line = line.substr(0, end);
    auto parsed = parseEndpointText(line);
    if (end == std::string_view::npos && length == buffer.size())
        parsed = {std::nullopt, parseEndpointText("").problem};
    if (!parsed.endpoint)
        return {EntryContent::Kind::Invalid, std::nullopt,
                path.string() + ": " + std::move(parsed.problem)};
    return {EntryContent::Kind::Endpoint, std::move(parsed.endpoint), {}};
}

} // namespace quillmark::remote
