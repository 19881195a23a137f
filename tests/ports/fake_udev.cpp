#include "fake_udev.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>
#include <stdexcept>

using quillmark::ports::DeviceEvent;
using quillmark::ports::TtyRecord;

FakeDeviceMonitor::FakeDeviceMonitor() : fd_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
    if (fd_ < 0)
        throw std::runtime_error("eventfd");
}

FakeDeviceMonitor::~FakeDeviceMonitor() {
    ::close(fd_);
}

void FakeDeviceMonitor::raise(DeviceEvent event) {
    {
        const std::lock_guard lock(mutex_);
        events_.push_back(std::move(event));
    }
    const std::uint64_t one = 1;
    [[maybe_unused]] const auto n = ::write(fd_, &one, sizeof one);
}

std::optional<DeviceEvent> FakeDeviceMonitor::receive() {
    const std::lock_guard lock(mutex_);
    if (events_.empty()) {
        std::uint64_t count = 0;
        [[maybe_unused]] const auto n = ::read(fd_, &count, sizeof count);
        return std::nullopt;
    }
    DeviceEvent event = std::move(events_.front());
    events_.pop_front();
    return event;
}

TtyRecord usbRecord(const std::string& node, const std::string& byId, const std::string& vendorId,
                    const std::string& productId) {
    TtyRecord record;
    record.sysname = node.substr(node.rfind('/') + 1);
    record.devnode = node;
    if (!byId.empty())
        record.links = {byId, "/dev/serial/by-path/pci-0000:00:14.0-usb-0:2:1.0-port0"};
    record.parentDriver = "ftdi_sio";
    record.properties = {
        {"ID_BUS", "usb"},
        {"ID_VENDOR", "FTDI"},
        {"ID_VENDOR_ENC", "FTDI"},
        {"ID_VENDOR_FROM_DATABASE", "Future Technology Devices International, Ltd"},
        {"ID_MODEL", "FT232R_USB_UART"},
        {"ID_MODEL_ENC", "FT232R\\x20USB\\x20UART"},
        {"ID_MODEL_FROM_DATABASE", "FT232 Serial (UART) IC"},
        {"ID_SERIAL_SHORT", "A50285BI"},
        {"ID_PATH", "pci-0000:00:14.0-usb-0:2:1.0"},
        {"ID_VENDOR_ID", vendorId},
        {"ID_MODEL_ID", productId}};
    return record;
}
