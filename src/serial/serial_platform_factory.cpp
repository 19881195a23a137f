// Which backend stands behind a device name.

#include "serial/serial_platform_net.h"
#include "serial/serial_tty.h"

#include "remote/endpoint.h"

#include <cerrno>
#include <utility>

namespace quillmark::serial {

namespace {

PlatformPortFactory& installedFactory() {
    static PlatformPortFactory factory;
    return factory;
}

// The one place that picks a backend for a device name. A regular file in the config
// folder names a device server (a malformed one is reported by that backend's open).
[[nodiscard]] std::unique_ptr<PlatformPort> defaultPlatformPort(const std::string& deviceName) {
    using Kind = remote::EntryContent::Kind;
    const std::string path = resolveDeviceName(deviceName);
    if (path != deviceName) {
        const Kind kind = remote::readEntry(path).kind;
        if (kind == Kind::Endpoint || kind == Kind::Invalid)
            return std::make_unique<NetworkPort>();
    }
    return std::make_unique<TtyPort>();
}

} // namespace

OsResult PlatformPort::startLineWatch(LineWatch /*what*/, int /*notifyFd*/) {
    return OsResult{ENOTTY};
}

std::unique_ptr<PlatformPort> createPlatformPort(const std::string& deviceName) {
    if (installedFactory())
        return installedFactory()(deviceName);
    return defaultPlatformPort(deviceName);
}

ScopedPlatformPortFactory::ScopedPlatformPortFactory(PlatformPortFactory factory)
    : previous_(std::exchange(installedFactory(), std::move(factory))) {}

ScopedPlatformPortFactory::~ScopedPlatformPortFactory() {
    installedFactory() = std::move(previous_);
}

} // namespace quillmark::serial
