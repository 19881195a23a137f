#include "remote/endpoint.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <fstream>

#include <arpa/inet.h>

namespace quillmark::remote {

namespace {

[[nodiscard]] bool validHostName(std::string_view host) {
    if (host.empty() || host.size() > 253 || host.front() == '-' || host.front() == '.')
        return false;
    return std::all_of(host.begin(), host.end(), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '-' || c == '.' || c == '_';
    });
}

[[nodiscard]] bool validIpv6(std::string_view host) {
    // A zone (fe80::1%eth0) is left to the resolver; the address part must parse.
    const std::string address(host.substr(0, host.find('%')));
    std::array<unsigned char, 16> out{};
    return ::inet_pton(AF_INET6, address.c_str(), out.data()) == 1;
}

[[nodiscard]] std::optional<std::uint16_t> parsePort(std::string_view text) {
    unsigned value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || text.size() > 5 || ec != std::errc{} || end != text.data() + text.size() ||
        value == 0 || value > 65535)
        return std::nullopt;
    return static_cast<std::uint16_t>(value);
}

[[nodiscard]] std::string_view trimmed(std::string_view line) {
    while (!line.empty() && std::isspace(static_cast<unsigned char>(line.back())) != 0)
        line.remove_suffix(1);
    while (!line.empty() && std::isspace(static_cast<unsigned char>(line.front())) != 0)
        line.remove_prefix(1);
    return line;
}

} // namespace

std::string Endpoint::address() const {
    const bool v6 = host.find(':') != std::string::npos;
    return (v6 ? "[" + host + "]" : host) + ":" + std::to_string(port);
}

std::string Endpoint::text() const {
    return (mode == Mode::Rfc2217 ? "rfc2217://" : "tcp://") + address();
}

std::optional<Endpoint> parseEndpoint(std::string_view line) {
    line = trimmed(line);
    Endpoint e;
    if (line.starts_with("tcp://")) {
        line.remove_prefix(6);
    } else if (line.starts_with("rfc2217://")) {
        e.mode = Endpoint::Mode::Rfc2217;
        line.remove_prefix(10);
    } else {
        return std::nullopt;
    }
    std::string_view host;
    std::string_view rest;
    if (!line.empty() && line.front() == '[') {
        const auto close = line.find(']');
        if (close == std::string_view::npos)
            return std::nullopt;
        host = line.substr(1, close - 1);
        rest = line.substr(close + 1);
        if (!validIpv6(host))
            return std::nullopt;
    } else {
        const auto colon = line.find(':');
        if (colon == std::string_view::npos)
            return std::nullopt;
        host = line.substr(0, colon);
        rest = line.substr(colon);
        if (!validHostName(host))
            return std::nullopt;
    }
    if (rest.empty() || rest.front() != ':')
        return std::nullopt;
    const auto port = parsePort(rest.substr(1));
    if (!port)
        return std::nullopt;
    e.host = std::string(host);
    e.port = *port;
    return e;
}

EntryContent readEntry(const std::filesystem::path& path) {
    std::error_code ec;
    const auto status = std::filesystem::symlink_status(path, ec);
    if (ec || !std::filesystem::exists(status))
        return {};
    if (!std::filesystem::is_regular_file(status))
        return {EntryContent::Kind::Device, std::nullopt};
    std::ifstream in(path, std::ios::binary);
    std::string line;
    // An address is short; a long first line is no endpoint whatever follows.
    constexpr std::streamsize kLongest = 512;
    line.resize(kLongest);
    in.getline(line.data(), kLongest);
    line.resize(static_cast<std::size_t>(std::max<std::streamsize>(in.gcount(), 0)));
    if (!line.empty() && line.back() == '\0')
        line.pop_back();
    auto endpoint = parseEndpoint(line);
    if (!endpoint)
        return {EntryContent::Kind::Invalid, std::nullopt};
    return {EntryContent::Kind::Endpoint, std::move(endpoint)};
}

} // namespace quillmark::remote
