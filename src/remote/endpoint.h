#pragma once

// Where a port entry points a COMn name at a serial device server: the first line of a
// regular file, "tcp://HOST:PORT" (bytes as they are) or "rfc2217://HOST:PORT" (Telnet
// with the COM-PORT-OPTION). HOST is a name, an IPv4 address or an IPv6 one in brackets.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace quillmark::remote {

struct Endpoint {
    enum class Mode { RawTcp, Rfc2217 };
    Mode mode = Mode::RawTcp;
    std::string host; // without brackets
    std::uint16_t port = 0;

    // "HOST:PORT", an IPv6 host in brackets.
    [[nodiscard]] std::string address() const;
    // The entry's own text, e.g. "rfc2217://[::1]:2217".
    [[nodiscard]] std::string text() const;
    bool operator==(const Endpoint&) const = default;
};

[[nodiscard]] std::optional<Endpoint> parseEndpoint(std::string_view line);

// What <config dir>/COMn holds.
struct EntryContent {
    enum class Kind { Missing, Device, Endpoint, Invalid };
    Kind kind = Kind::Missing;
    std::optional<Endpoint> endpoint;
};

// A regular file (never a link to one) whose first line is an endpoint; links and other
// files are reported for the caller to open as a device path.
[[nodiscard]] EntryContent readEntry(const std::filesystem::path& path);

} // namespace quillmark::remote
