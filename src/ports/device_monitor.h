#pragma once

// Hot-plug: tty devices appearing and going, as udev announces them after its rules ran
// (so a new node already has its group and its /dev/serial links).
//
// The monitor is a descriptor to wait on (poll, epoll or a QSocketNotifier) and a call that
// takes the events waiting on it:
//
//     auto monitor = quillmark::ports::systemDeviceMonitor();
//     pollfd wait{monitor->descriptor(), POLLIN, 0};
//     while (::poll(&wait, 1, -1) > 0)
//         while (auto event = monitor->receive())
//             ...

#include "ports/serial_devices.h"

#include <memory>
#include <optional>

namespace quillmark::ports {

struct DeviceEvent {
    enum class Action { Added, Removed, Changed, Other };
    Action action = Action::Other;
    TtyRecord device;

    // True when the event is about the device named `path` (its node or one of its links).
    [[nodiscard]] bool names(const std::string& path) const;
};

class DeviceMonitor {
public:
    virtual ~DeviceMonitor() = default;
    // Readable while events wait.
    [[nodiscard]] virtual int descriptor() const = 0;
    // The next waiting event; nullopt when none is left. Never blocks.
    [[nodiscard]] virtual std::optional<DeviceEvent> receive() = 0;
};

// Events of the tty subsystem from udev. Throws std::runtime_error when udev cannot be
// reached. Without a running udev daemon the monitor simply never reports anything.
[[nodiscard]] std::unique_ptr<DeviceMonitor> systemDeviceMonitor();

} // namespace quillmark::ports
