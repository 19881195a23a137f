#include "ports/port_entries.h"

#include <arpa/inet.h>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace quillmark::ports {

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kMaxHostName = 253;
constexpr std::size_t kMaxLabel = 63;
constexpr std::size_t kMaxEntryLine = 1024;

[[nodiscard]] std::string_view trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

[[nodiscard]] bool isAddress(int family, const std::string& text) {
    unsigned char buffer[sizeof(in6_addr)];
    return ::inet_pton(family, text.c_str(), buffer) == 1;
}

[[nodiscard]] bool isHostName(std::string_view host) {
    if (host.empty() || host.size() > kMaxHostName)
        return false;
    bool allNumeric = true;
    std::size_t labelStart = 0;
    for (std::size_t i = 0; i <= host.size(); ++i) {
        if (i == host.size() || host[i] == '.') {
            const auto label = host.substr(labelStart, i - labelStart);
            if (label.empty() || label.size() > kMaxLabel || label.front() == '-' ||
                label.back() == '-')
                return false;
            labelStart = i + 1;
            continue;
        }
        const char c = host[i];
        const bool digit = c >= '0' && c <= '9';
        allNumeric = allNumeric && digit;
        if (!digit && !(c >= 'a' && c <= 'z') && !(c >= 'A' && c <= 'Z') && c != '-')
            return false;
    }
    // Digits and dots only is meant as an IPv4 address, and that was not one.
    return !allNumeric;
}

[[nodiscard]] std::optional<int> portNumber(std::string_view text) {
    int port = 0;
    const auto* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, port);
    if (text.empty() || error != std::errc() || stop != end || port < 1 || port > 65535)
        return std::nullopt;
    return port;
}

[[noreturn]] void fail(int code, const fs::path& path) {
    throw PortEntryError(code,
                         "No se puede cambiar \"" + path.string() + "\". " + std::strerror(code));
}

[[nodiscard]] fs::path entryPath(const fs::path& configDir, int n) {
    return configDir / ("COM" + std::to_string(n));
}

void ensureFolder(const fs::path& configDir, const fs::path& entry) {
    std::error_code ec;
    fs::create_directories(configDir, ec);
    if (ec)
        fail(ec.value(), entry);
}

// A name beside the entry that no other writer picks at the same moment.
[[nodiscard]] fs::path temporaryName(const fs::path& entry) {
    static std::atomic<unsigned> counter{0};
    return entry.parent_path() / ("." + entry.filename().string() + "." +
                                  std::to_string(::getpid()) + "." + std::to_string(++counter));
}

void renameIntoPlace(const fs::path& temporary, const fs::path& entry) {
    if (::rename(temporary.c_str(), entry.c_str()) != 0) {
        const int code = errno;
        ::unlink(temporary.c_str());
        fail(code, entry);
    }
}

void writeAll(int fd, const std::string& text, const fs::path& temporary, const fs::path& entry) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            const int code = n < 0 ? errno : EIO;
            ::close(fd);
            ::unlink(temporary.c_str());
            fail(code, entry);
        }
        done += static_cast<std::size_t>(n);
    }
}

[[nodiscard]] PortEntry fileEntry(PortEntry entry) {
    std::ifstream file(entry.path);
    std::string line(kMaxEntryLine, '\0');
    file.getline(line.data(), static_cast<std::streamsize>(line.size()));
    line.resize(std::strlen(line.c_str()));
    if (const auto endpoint = parseEndpoint(line)) {
        entry.kind = PortEntry::Kind::Network;
        entry.target = endpoint->url();
    } else {
        entry.kind = PortEntry::Kind::Other;
        entry.target = entry.path.string();
    }
    return entry;
}

} // namespace

std::string Endpoint::url() const {
    const bool v6 = host.find(':') != std::string::npos;
    return scheme + "://" + (v6 ? "[" + host + "]" : host) + ":" + std::to_string(port);
}

std::optional<Endpoint> parseEndpoint(std::string_view text) {
    text = trimmed(text);
    Endpoint endpoint;
    for (const std::string_view scheme : {"tcp", "rfc2217"}) {
        const std::string prefix = std::string(scheme) + "://";
        if (text.substr(0, prefix.size()) == prefix) {
            endpoint.scheme = scheme;
            text.remove_prefix(prefix.size());
        }
    }
    if (endpoint.scheme.empty())
        return std::nullopt;
    const auto colon = text.rfind(':');
    if (colon == std::string_view::npos)
        return std::nullopt;
    const auto port = portNumber(text.substr(colon + 1));
    std::string host(text.substr(0, colon));
    if (!port || host.empty())
        return std::nullopt;
    if (host.front() == '[') {
        if (host.size() < 3 || host.back() != ']')
            return std::nullopt;
        host = host.substr(1, host.size() - 2);
        if (!isAddress(AF_INET6, host))
            return std::nullopt;
    } else if (!isAddress(AF_INET, host) && !isHostName(host)) {
        return std::nullopt;
    }
    endpoint.host = std::move(host);
    endpoint.port = *port;
    return endpoint;
}

std::optional<int> comNumber(std::string_view name) {
    if (name.substr(0, 3) != "COM" || name.size() < 4 || name[3] == '0')
        return std::nullopt;
    int n = 0;
    const auto* end = name.data() + name.size();
    const auto [stop, error] = std::from_chars(name.data() + 3, end, n);
    if (error != std::errc() || stop != end || n < 1 || n > 255)
        return std::nullopt;
    return n;
}

std::string defaultDevice(int n) {
    return "/dev/ttyS" + std::to_string(n - 1);
}

PortEntry readPortEntry(const fs::path& configDir, int n) {
    PortEntry entry;
    entry.path = entryPath(configDir, n);
    std::error_code ec;
    const auto status = fs::symlink_status(entry.path, ec);
    if (ec || !fs::exists(status)) {
        entry.target = defaultDevice(n);
        return entry;
    }
    if (fs::is_symlink(status)) {
        entry.kind = PortEntry::Kind::Link;
        entry.target = fs::read_symlink(entry.path, ec).string();
        return entry;
    }
    if (fs::is_regular_file(status))
        return fileEntry(std::move(entry));
    entry.kind = PortEntry::Kind::Other;
    entry.target = entry.path.string();
    return entry;
}

std::string resolvePortPath(const fs::path& configDir, const std::string& name) {
    const auto n = comNumber(name);
    if (!n)
        return name;
    const PortEntry entry = readPortEntry(configDir, *n);
    return entry.kind == PortEntry::Kind::Default ? entry.target : entry.path.string();
}

void linkPort(const fs::path& configDir, int n, const std::string& device) {
    const fs::path entry = entryPath(configDir, n);
    ensureFolder(configDir, entry);
    for (;;) {
        const fs::path temporary = temporaryName(entry);
        if (::symlink(device.c_str(), temporary.c_str()) == 0) {
            renameIntoPlace(temporary, entry);
            return;
        }
        if (errno != EEXIST)
            fail(errno, entry);
    }
}

void setNetworkPort(const fs::path& configDir, int n, const Endpoint& endpoint) {
    const fs::path entry = entryPath(configDir, n);
    ensureFolder(configDir, entry);
    std::string pattern = (entry.parent_path() / ("." + entry.filename().string() + ".XXXXXX"));
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0)
        fail(errno, entry);
    const fs::path temporary = pattern;
    writeAll(fd, endpoint.url() + "\n", temporary, entry);
    int code = ::fchmod(fd, 0644) != 0 || ::fsync(fd) != 0 ? errno : 0;
    if (::close(fd) != 0 && code == 0)
        code = errno;
    if (code != 0) {
        ::unlink(temporary.c_str());
        fail(code, entry);
    }
    renameIntoPlace(temporary, entry);
}

void resetPort(const fs::path& configDir, int n) {
    const fs::path entry = entryPath(configDir, n);
    if (::unlink(entry.c_str()) != 0 && errno != ENOENT)
        fail(errno, entry);
}

} // namespace quillmark::ports
