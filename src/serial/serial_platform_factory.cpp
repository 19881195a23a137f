// Which backend stands behind a device name.

#include "serial/serial_platform_net.h"
#include "serial/serial_tty.h"

#include "core/port_setting.h"
#include "remote/endpoint.h"

#include <cerrno>
#include <filesystem>
#include <utility>

namespace quillmark::serial {

namespace {

PlatformPortFactory& installedFactory() {
    static PlatformPortFactory factory;
    return factory;
}

// The one place that picks a backend for a device name. A device server is named by the
// port name itself or by a regular file in the config folder (a malformed one is reported
// by that backend's open).
[[nodiscard]] std::unique_ptr<PlatformPort> defaultPlatformPort(const std::string& deviceName) {
    using Kind = remote::EntryContent::Kind;
    if (remote::hasEndpointScheme(deviceName))
        return std::make_unique<NetworkPort>();
    const std::string path = resolveDeviceName(deviceName);
    if (path != deviceName) {
        const Kind kind = remote::readEntry(path).kind;
        if (kind == Kind::Endpoint || kind == Kind::Invalid)
            return std::make_unique<NetworkPort>();
    }
    return std::make_unique<TtyPort>();
}

} // namespace

std::string resolveDeviceName(const std::string& name) {
    const auto n = remote::comNumber(name);
    if (!n)
        return name;
    std::error_code ec;
    const auto entry = configDirectory() / name;
    if (std::filesystem::exists(std::filesystem::symlink_status(entry, ec)))
        return entry.string();
    return remote::defaultDevice(*n);
}

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
