#pragma once

// Stand-ins for udev: a fixed list of tty records and a monitor whose events the test raises.

#include "ports/device_monitor.h"
#include "ports/serial_devices.h"

#include <deque>
#include <mutex>

class FakeTtyEnumerator : public quillmark::ports::TtyEnumerator {
public:
    explicit FakeTtyEnumerator(std::vector<quillmark::ports::TtyRecord> records = {})
        : records_(std::move(records)) {}
    void setRecords(std::vector<quillmark::ports::TtyRecord> records) {
        records_ = std::move(records);
    }
    std::vector<quillmark::ports::TtyRecord> ttyDevices() override { return records_; }

private:
    std::vector<quillmark::ports::TtyRecord> records_;
};

// Readable through an eventfd, like the netlink socket of the real monitor.
class FakeDeviceMonitor : public quillmark::ports::DeviceMonitor {
public:
    FakeDeviceMonitor();
    ~FakeDeviceMonitor() override;
    FakeDeviceMonitor(const FakeDeviceMonitor&) = delete;
    FakeDeviceMonitor& operator=(const FakeDeviceMonitor&) = delete;

    void raise(quillmark::ports::DeviceEvent event);

    int descriptor() const override { return fd_; }
    std::optional<quillmark::ports::DeviceEvent> receive() override;

private:
    int fd_ = -1;
    std::mutex mutex_;
    std::deque<quillmark::ports::DeviceEvent> events_;
};

// A USB adapter as udev describes it.
[[nodiscard]] quillmark::ports::TtyRecord usbRecord(const std::string& node,
                                                    const std::string& byId,
                                                    const std::string& vendorId = "0403",
                                                    const std::string& productId = "6001");
