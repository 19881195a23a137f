#pragma once

// Port names and where they lead: "COMn" (n = 1..255), and the serial device servers that a
// COMn entry or a port name itself points at, "tcp://HOST:PORT" (bytes as they are) or
// "rfc2217://HOST:PORT" (Telnet with the COM-PORT-OPTION). The one parser of these forms:
// the network backend, the port dialog and the command-line tool all use it.
//
// HOST is a name of RFC 1123 labels with at least one letter, a dotted IPv4 address in its
// canonical form, or an IPv6 address in brackets. The resolver reads other all-numeric forms
// (010.0.0.1, 2130706433, 0x7f.1) as addresses nobody meant: they are refused.

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
    // An address, never a name to look up.
    [[nodiscard]] bool numeric() const;
    bool operator==(const Endpoint&) const = default;
};

// An endpoint, or why the text is none (Spanish, with the form expected).
struct EndpointParse {
    std::optional<Endpoint> endpoint;
    std::string problem;
};

// Blanks around the text are ignored; nothing else may come before or after.
[[nodiscard]] EndpointParse parseEndpointText(std::string_view line);
[[nodiscard]] std::optional<Endpoint> parseEndpoint(std::string_view line);
// Starts with "tcp://" or "rfc2217://": meant as an endpoint, valid or not.
[[nodiscard]] bool hasEndpointScheme(std::string_view text);

// "COMn" -> n for n in 1..255; "COM01", "com1" and "COM256" are no port names.
[[nodiscard]] std::optional<int> comNumber(std::string_view name);
// What COMn opens when the config folder has no entry for it: "/dev/ttyS<n-1>".
[[nodiscard]] std::string defaultDevice(int n);

// What <config dir>/COMn holds.
struct EntryContent {
    enum class Kind { Missing, Device, Endpoint, Invalid };
    Kind kind = Kind::Missing;
    std::optional<Endpoint> endpoint;
    std::string problem; // Invalid: why
};

// A regular file (never a link to one) whose first line is an endpoint; links and other
// files are reported for the caller to open as a device path. The file is opened without
// following links or waiting on a FIFO, and checked again once open.
[[nodiscard]] EntryContent readEntry(const std::filesystem::path& path);

} // namespace quillmark::remote
