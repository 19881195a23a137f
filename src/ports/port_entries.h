#pragma once

// The COMn entries of the config folder: what each of COM1..COMn reaches and how to change
// it. <config dir>/COMn is a symbolic link to a device, or a regular file whose first line is
// a network endpoint (tcp://HOST:PORT, rfc2217://HOST:PORT); without an entry COMn is
// /dev/ttyS<n-1>. Changes are atomic: a temporary entry is renamed over the old one, so a
// port never sees a half-written entry.

#include "remote/endpoint.h"

#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace quillmark::ports {

struct PortEntry {
    enum class Kind {
        Default, // no entry: /dev/ttyS<n-1>
        Link,    // a symbolic link
        Network, // a file naming an endpoint
        Other,   // anything else there (opened as it is)
    };
    Kind kind = Kind::Default;
    std::filesystem::path path; // <config dir>/COMn
    std::string target;         // the device (link target as written, or the default) or URL
};

using remote::comNumber;
using remote::defaultDevice;
using remote::Endpoint;
using remote::parseEndpoint;

class PortEntryError : public std::runtime_error {
public:
    PortEntryError(int code, const std::string& message)
        : std::runtime_error(message), code_(code) {}
    [[nodiscard]] int code() const { return code_; }

private:
    int code_;
};

// Reads without following the link.
[[nodiscard]] PortEntry readPortEntry(const std::filesystem::path& configDir, int n);

// The path a port name opens: the entry when there is one, else the default device; a name
// that is not COMn unchanged.
[[nodiscard]] std::string resolvePortPath(const std::filesystem::path& configDir,
                                          const std::string& name);

// Each throws PortEntryError (errno and a Spanish message with the path) and leaves the old
// entry as it was on failure. The folder is created when missing.
void linkPort(const std::filesystem::path& configDir, int n, const std::string& device);
void setNetworkPort(const std::filesystem::path& configDir, int n, const Endpoint& endpoint);
void resetPort(const std::filesystem::path& configDir, int n); // back to the default

} // namespace quillmark::ports
