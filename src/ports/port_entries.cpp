#include "ports/port_entries.h"

#include "core/posix_file.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quillmark::ports {

namespace fs = std::filesystem;

namespace {

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

// What a port opens: a file naming an endpoint, else the file as it is.
[[nodiscard]] PortEntry fileEntry(PortEntry entry) {
    const auto content = remote::readEntry(entry.path);
    if (content.kind == remote::EntryContent::Kind::Endpoint) {
        entry.kind = PortEntry::Kind::Network;
        entry.target = content.endpoint->text();
    } else {
        entry.kind = PortEntry::Kind::Other;
        entry.target = entry.path.string();
    }
    return entry;
}

} // namespace

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
    const std::string text = endpoint.text() + "\n";
    int code = posix::writeAll(fd, std::as_bytes(std::span(text)));
    if (code == 0 && (::fchmod(fd, 0644) != 0 || ::fsync(fd) != 0))
        code = errno;
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
