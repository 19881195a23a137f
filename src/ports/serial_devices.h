#pragma once

// Serial device discovery: every tty of the machine that a real driver serves (USB adapters,
// ACM modems, on-board UARTs that are present), with the names a user can recognise.
//
// Plain C++, no Qt. Discovery reads udev through the TtyEnumerator seam: the system
// implementation uses libudev; tests hand in a list of records.
//
//     auto enumerator = quillmark::ports::systemTtyEnumerator();
//     for (const auto& device : quillmark::ports::discoverSerialDevices(*enumerator))
//         std::cout << device.preferredName() << "  " << device.label() << '\n';
//
// Nothing here opens a device.

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace quillmark::ports {

// One serial device as discovery reports it. Empty strings mean "not known".
struct SerialDevice {
    std::string node;         // "/dev/ttyUSB0"
    std::string stableName;   // "/dev/serial/by-id/..." (else by-path), empty when none
    std::string vendor;       // "FTDI" (the USB database's name, else the device's own)
    std::string model;        // "FT232 Serial (UART) IC"
    std::string serialNumber; // "A50285BI"
    std::string vendorId;     // "0403" (USB only)
    std::string productId;    // "6001" (USB only)
    std::string driver;       // "ftdi_sio", "cdc_acm", "serial8250", ...
    std::string physicalPath; // udev's ID_PATH: the socket it is plugged into

    // The name to link a port to: the stable name when there is one, else the node.
    [[nodiscard]] const std::string& preferredName() const {
        return stableName.empty() ? node : stableName;
    }
    // "FTDI FT232 Serial (UART) IC"; the driver when vendor and model are unknown.
    [[nodiscard]] std::string label() const;
    [[nodiscard]] bool isUsb() const { return !vendorId.empty(); }
};

// What udev knows of one device of the tty subsystem: the seam between discovery and libudev.
struct TtyRecord {
    std::string sysname;                           // "ttyUSB0"
    std::string devnode;                           // "/dev/ttyUSB0"; empty when none
    std::vector<std::string> links;                // the device's DEVLINKS
    std::map<std::string, std::string> properties; // ID_VENDOR_FROM_DATABASE, ID_SERIAL_SHORT...
    std::string parentDriver; // driver bound to the parent device; empty for virtual ttys
    std::string uartType;     // "type" attribute of serial-core ttys; "0" means no UART there
};

class TtyEnumerator {
public:
    virtual ~TtyEnumerator() = default;
    // Every device of the tty subsystem. Throws std::runtime_error when udev is unusable.
    [[nodiscard]] virtual std::vector<TtyRecord> ttyDevices() = 0;
};

// libudev on this machine. Throws std::runtime_error when udev cannot be reached.
[[nodiscard]] std::unique_ptr<TtyEnumerator> systemTtyEnumerator();

// True for a tty that a real driver serves and whose hardware is there: virtual consoles,
// pseudo-terminals and the on-board UART slots without a UART are left out.
[[nodiscard]] bool isSerialDevice(const TtyRecord& record);
[[nodiscard]] SerialDevice toSerialDevice(const TtyRecord& record);

// The serial devices, sorted: USB first, then by node.
[[nodiscard]] std::vector<SerialDevice> discoverSerialDevices(TtyEnumerator& enumerator);

// The device that `path` names: its node, one of its udev links or a symbolic link to either.
// Null when none does.
[[nodiscard]] const SerialDevice* findDevice(const std::vector<SerialDevice>& devices,
                                             const std::string& path);

// Who a device is, as far as udev can tell: the same adapter in the same socket has the same
// identity after a re-plug, whatever node it gets.
struct DeviceIdentity {
    std::string vendorId, productId, serialNumber, physicalPath;
    bool operator==(const DeviceIdentity&) const = default;
    // Nothing to tell this device from another by.
    [[nodiscard]] bool empty() const { return serialNumber.empty() && physicalPath.empty(); }
};
[[nodiscard]] DeviceIdentity identityOf(const SerialDevice& device);
// Another listed adapter has the same vendor, product and serial number: names like
// /dev/serial/by-id cannot tell them apart.
[[nodiscard]] bool hasTwin(const std::vector<SerialDevice>& devices, const SerialDevice& device);

// The stable name among a device's links: /dev/serial/by-id first, then by-path.
[[nodiscard]] std::string stableNameOf(const std::vector<std::string>& links);

// True for names that survive a re-plug (/dev/serial/by-id, /dev/serial/by-path).
[[nodiscard]] bool isStableName(const std::string& path);

} // namespace quillmark::ports
