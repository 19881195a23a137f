// The system side of discovery and hot-plug: libudev.

#include "ports/device_monitor.h"
#include "ports/serial_devices.h"

#include <libudev.h>

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace quillmark::ports {

namespace {

struct UdevDeleter {
    void operator()(udev* u) const { udev_unref(u); }
    void operator()(udev_enumerate* e) const { udev_enumerate_unref(e); }
    void operator()(udev_device* d) const { udev_device_unref(d); }
    void operator()(udev_monitor* m) const { udev_monitor_unref(m); }
};
template <typename T> using UdevPtr = std::unique_ptr<T, UdevDeleter>;

[[nodiscard]] std::string text(const char* value) {
    return value == nullptr ? std::string() : std::string(value);
}

[[nodiscard]] UdevPtr<udev> newUdev() {
    UdevPtr<udev> context(udev_new());
    if (!context)
        throw std::runtime_error("udev: " + std::string(std::strerror(errno)));
    return context;
}

// The properties discovery reads; the rest of udev's database is not needed.
constexpr const char* kProperties[] = {"ID_BUS",
                                       "ID_VENDOR",
                                       "ID_VENDOR_ENC",
                                       "ID_VENDOR_FROM_DATABASE",
                                       "ID_MODEL",
                                       "ID_MODEL_ENC",
                                       "ID_MODEL_FROM_DATABASE",
                                       "ID_SERIAL_SHORT",
                                       "ID_VENDOR_ID",
                                       "ID_MODEL_ID",
                                       "ID_PATH"};

[[nodiscard]] TtyRecord recordOf(udev_device* device) {
    TtyRecord record;
    record.sysname = text(udev_device_get_sysname(device));
    record.devnode = text(udev_device_get_devnode(device));
    udev_list_entry* entry = nullptr;
    udev_list_entry_foreach(entry, udev_device_get_devlinks_list_entry(device)) {
        record.links.push_back(text(udev_list_entry_get_name(entry)));
    }
    std::sort(record.links.begin(), record.links.end());
    for (const char* key : kProperties)
        if (const char* value = udev_device_get_property_value(device, key))
            record.properties.emplace(key, value);
    // The parent is owned by the device: no unref.
    if (udev_device* parent = udev_device_get_parent(device))
        record.parentDriver = text(udev_device_get_driver(parent));
    record.uartType = text(udev_device_get_sysattr_value(device, "type"));
    return record;
}

class UdevTtyEnumerator : public TtyEnumerator {
public:
    UdevTtyEnumerator() : udev_(newUdev()) {}

    std::vector<TtyRecord> ttyDevices() override {
        UdevPtr<udev_enumerate> scan(udev_enumerate_new(udev_.get()));
        if (!scan || udev_enumerate_add_match_subsystem(scan.get(), "tty") < 0 ||
            udev_enumerate_scan_devices(scan.get()) < 0)
            throw std::runtime_error("udev: cannot list the tty devices");
        std::vector<TtyRecord> records;
        udev_list_entry* entry = nullptr;
        udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(scan.get())) {
            UdevPtr<udev_device> device(
                udev_device_new_from_syspath(udev_.get(), udev_list_entry_get_name(entry)));
            if (device) // gone meanwhile
                records.push_back(recordOf(device.get()));
        }
        return records;
    }

private:
    UdevPtr<udev> udev_;
};

[[nodiscard]] DeviceEvent::Action actionOf(const std::string& action) {
    if (action == "add")
        return DeviceEvent::Action::Added;
    if (action == "remove")
        return DeviceEvent::Action::Removed;
    if (action == "change")
        return DeviceEvent::Action::Changed;
    return DeviceEvent::Action::Other;
}

class UdevDeviceMonitor : public DeviceMonitor {
public:
    UdevDeviceMonitor() : udev_(newUdev()) {
        monitor_.reset(udev_monitor_new_from_netlink(udev_.get(), "udev"));
        if (!monitor_ ||
            udev_monitor_filter_add_match_subsystem_devtype(monitor_.get(), "tty", nullptr) < 0 ||
            udev_monitor_enable_receiving(monitor_.get()) < 0)
            throw std::runtime_error("udev: cannot watch the tty devices");
    }

    int descriptor() const override { return udev_monitor_get_fd(monitor_.get()); }

    std::optional<DeviceEvent> receive() override {
        // The socket is non-blocking: null once the queue is empty.
        UdevPtr<udev_device> device(udev_monitor_receive_device(monitor_.get()));
        if (!device)
            return std::nullopt;
        DeviceEvent event;
        event.action = actionOf(text(udev_device_get_action(device.get())));
        event.device = recordOf(device.get());
        return event;
    }

private:
    UdevPtr<udev> udev_;
    UdevPtr<udev_monitor> monitor_;
};

} // namespace

std::unique_ptr<TtyEnumerator> systemTtyEnumerator() {
    return std::make_unique<UdevTtyEnumerator>();
}

std::unique_ptr<DeviceMonitor> systemDeviceMonitor() {
    return std::make_unique<UdevDeviceMonitor>();
}

bool DeviceEvent::names(const std::string& path) const {
    return !path.empty() &&
           (device.devnode == path ||
            std::find(device.links.begin(), device.links.end(), path) != device.links.end());
}

} // namespace quillmark::ports
