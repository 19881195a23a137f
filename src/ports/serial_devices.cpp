#include "ports/serial_devices.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace quillmark::ports {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kById = "/dev/serial/by-id/";
constexpr std::string_view kByPath = "/dev/serial/by-path/";

[[nodiscard]] std::string property(const TtyRecord& record, const std::string& key) {
    const auto found = record.properties.find(key);
    return found == record.properties.end() ? std::string() : found->second;
}

[[nodiscard]] int hexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// udev writes the device's own strings with \xHH escapes (ID_VENDOR_ENC, ID_MODEL_ENC).
[[nodiscard]] std::string decodeUdevString(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 3 < text.size() && text[i + 1] == 'x') {
            const int high = hexDigit(text[i + 2]);
            const int low = hexDigit(text[i + 3]);
            if (high >= 0 && low >= 0) {
                out += static_cast<char>(high * 16 + low);
                i += 3;
                continue;
            }
        }
        out += text[i];
    }
    const auto first = out.find_first_not_of(' ');
    if (first == std::string::npos)
        return {};
    return out.substr(first, out.find_last_not_of(' ') - first + 1);
}

// The database's name reads best; the device's own string is the fall-back.
[[nodiscard]] std::string usbName(const TtyRecord& record, const std::string& key) {
    if (auto name = property(record, key + "_FROM_DATABASE"); !name.empty())
        return name;
    if (auto name = decodeUdevString(property(record, key + "_ENC")); !name.empty())
        return name;
    auto name = property(record, key);
    std::replace(name.begin(), name.end(), '_', ' ');
    return name;
}

[[nodiscard]] bool startsWith(const std::string& text, std::string_view prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

[[nodiscard]] std::string canonicalOrEmpty(const std::string& path) {
    std::error_code ec;
    auto resolved = fs::canonical(path, ec);
    return ec ? std::string() : resolved.string();
}

} // namespace

std::string SerialDevice::label() const {
    std::string text = vendor;
    if (!model.empty())
        text += (text.empty() ? "" : " ") + model;
    return text.empty() ? driver : text;
}

DeviceIdentity identityOf(const SerialDevice& device) {
    return {device.vendorId, device.productId, device.serialNumber, device.physicalPath};
}

bool hasTwin(const std::vector<SerialDevice>& devices, const SerialDevice& device) {
    // Other devices have no such names: their socket tells them apart.
    if (!device.isUsb())
        return false;
    return std::any_of(devices.begin(), devices.end(), [&](const SerialDevice& other) {
        return other.node != device.node && other.vendorId == device.vendorId &&
               other.productId == device.productId && other.serialNumber == device.serialNumber;
    });
}

bool isStableName(const std::string& path) {
    return startsWith(path, kById) || startsWith(path, kByPath);
}

std::string stableNameOf(const std::vector<std::string>& links) {
    for (const std::string_view prefix : {kById, kByPath})
        for (const auto& link : links)
            if (startsWith(link, prefix))
                return link;
    return {};
}

bool isSerialDevice(const TtyRecord& record) {
    if (record.devnode.empty() || record.parentDriver.empty())
        return false;
    // Serial-core drivers register every slot they might serve; "type" 0 is an empty slot.
    return record.uartType.empty() || record.uartType != "0";
}

SerialDevice toSerialDevice(const TtyRecord& record) {
    SerialDevice device;
    device.node = record.devnode;
    device.stableName = stableNameOf(record.links);
    device.driver = record.parentDriver;
    device.physicalPath = property(record, "ID_PATH");
    if (property(record, "ID_BUS") == "usb") {
        device.vendor = usbName(record, "ID_VENDOR");
        device.model = usbName(record, "ID_MODEL");
        device.serialNumber = property(record, "ID_SERIAL_SHORT");
        device.vendorId = property(record, "ID_VENDOR_ID");
        device.productId = property(record, "ID_MODEL_ID");
    }
    return device;
}

std::vector<SerialDevice> discoverSerialDevices(TtyEnumerator& enumerator) {
    std::vector<SerialDevice> devices;
    for (const auto& record : enumerator.ttyDevices())
        if (isSerialDevice(record))
            devices.push_back(toSerialDevice(record));
    std::sort(devices.begin(), devices.end(), [](const SerialDevice& a, const SerialDevice& b) {
        if (a.isUsb() != b.isUsb())
            return a.isUsb();
        return a.node < b.node;
    });
    return devices;
}

const SerialDevice* findDevice(const std::vector<SerialDevice>& devices, const std::string& path) {
    for (const auto& device : devices)
        if (path == device.node || (!device.stableName.empty() && path == device.stableName))
            return &device;
    // A link of our own (or an unlisted udev link) reaches the node through the file system.
    const std::string target = canonicalOrEmpty(path);
    if (target.empty())
        return nullptr;
    for (const auto& device : devices)
        if (target == device.node || target == canonicalOrEmpty(device.node))
            return &device;
    return nullptr;
}

} // namespace quillmark::ports
