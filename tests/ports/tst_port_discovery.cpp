#include "fake_udev.h"

#include "ports/device_monitor.h"
#include "ports/serial_devices.h"

#include <QTest>

using namespace quillmark::ports;

Q_DECLARE_METATYPE(quillmark::ports::TtyRecord)

namespace {

TtyRecord withoutProperties(TtyRecord record, std::initializer_list<const char*> keys) {
    for (const char* key : keys)
        record.properties.erase(key);
    return record;
}

TtyRecord plainRecord(const std::string& node, const std::string& driver,
                      const std::string& uartType = {}) {
    TtyRecord record;
    record.sysname = node.substr(node.rfind('/') + 1);
    record.devnode = node;
    record.parentDriver = driver;
    record.uartType = uartType;
    return record;
}

} // namespace

class TestPortDiscovery : public QObject {
    Q_OBJECT
private slots:
    void describesEachKindOfTty_data();
    void describesEachKindOfTty();
    void listsUsbFirstThenByNode();
    void realEnumerationListsOnlyDevicesWithADriver();
};

void TestPortDiscovery::describesEachKindOfTty_data() {
    QTest::addColumn<TtyRecord>("record");
    QTest::addColumn<bool>("listed");
    QTest::addColumn<QString>("stableName");
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("serial");

    const std::string byId = "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0";
    const TtyRecord ftdi = usbRecord("/dev/ttyUSB0", byId);
    QTest::newRow("usb, database names") << ftdi << true << QString::fromStdString(byId)
                                         << "Future Technology Devices International, Ltd "
                                            "FT232 Serial (UART) IC"
                                         << "A50285BI";
    QTest::newRow("usb, the device's own names")
        << withoutProperties(ftdi, {"ID_VENDOR_FROM_DATABASE", "ID_MODEL_FROM_DATABASE"}) << true
        << QString::fromStdString(byId) << "FTDI FT232R USB UART"
        << "A50285BI";
    QTest::newRow("usb, only plain names")
        << withoutProperties(ftdi, {"ID_VENDOR_FROM_DATABASE", "ID_MODEL_FROM_DATABASE",
                                    "ID_VENDOR_ENC", "ID_MODEL_ENC"})
        << true << QString::fromStdString(byId) << "FTDI FT232R USB UART"
        << "A50285BI";
    TtyRecord byPathOnly = usbRecord("/dev/ttyACM0", "");
    byPathOnly.links = {"/dev/serial/by-path/pci-0000:00:14.0-usb-0:1:1.0"};
    byPathOnly.parentDriver = "cdc_acm";
    QTest::newRow("acm, by-path only")
        << byPathOnly << true << "/dev/serial/by-path/pci-0000:00:14.0-usb-0:1:1.0"
        << "Future Technology Devices International, Ltd FT232 Serial (UART) IC"
        << "A50285BI";
    QTest::newRow("on-board uart") << plainRecord("/dev/ttyS0", "serial8250", "4") << true << ""
                                   << "serial8250"
                                   << "";
    QTest::newRow("empty uart slot") << plainRecord("/dev/ttyS3", "serial8250", "0") << false << ""
                                     << ""
                                     << "";
    QTest::newRow("virtual console") << plainRecord("/dev/tty1", "") << false << ""
                                     << ""
                                     << "";
    QTest::newRow("no device node") << plainRecord("", "ftdi_sio") << false << ""
                                    << ""
                                    << "";
}

void TestPortDiscovery::describesEachKindOfTty() {
    QFETCH(TtyRecord, record);
    QFETCH(bool, listed);
    FakeTtyEnumerator udev({record});
    const auto devices = discoverSerialDevices(udev);
    QCOMPARE(devices.size(), listed ? 1U : 0U);
    if (!listed)
        return;
    QFETCH(QString, stableName);
    QFETCH(QString, label);
    QFETCH(QString, serial);
    const SerialDevice& device = devices.front();
    QCOMPARE(device.node, record.devnode);
    QCOMPARE(QString::fromStdString(device.stableName), stableName);
    QCOMPARE(QString::fromStdString(device.label()), label);
    QCOMPARE(QString::fromStdString(device.serialNumber), serial);
    QCOMPARE(device.driver, record.parentDriver);
    QCOMPARE(device.preferredName(), device.stableName.empty() ? device.node : device.stableName);
}

void TestPortDiscovery::listsUsbFirstThenByNode() {
    FakeTtyEnumerator udev({plainRecord("/dev/ttyS1", "serial8250", "4"),
                            usbRecord("/dev/ttyUSB1", "/dev/serial/by-id/b"),
                            plainRecord("/dev/ttyS0", "serial8250", "4"),
                            usbRecord("/dev/ttyUSB0", "/dev/serial/by-id/a")});
    std::vector<std::string> nodes;
    for (const auto& device : discoverSerialDevices(udev))
        nodes.push_back(device.node);
    QCOMPARE(nodes, (std::vector<std::string>{"/dev/ttyUSB0", "/dev/ttyUSB1", "/dev/ttyS0",
                                              "/dev/ttyS1"}));
}

// Whatever this machine has; nothing is opened.
void TestPortDiscovery::realEnumerationListsOnlyDevicesWithADriver() {
    const auto enumerator = systemTtyEnumerator();
    const auto records = enumerator->ttyDevices();
    QVERIFY2(!records.empty(), "every Linux machine has tty devices (tty, console, ptmx)");
    const auto devices = discoverSerialDevices(*enumerator);
    QVERIFY(devices.size() < records.size());
    for (const auto& device : devices) {
        QVERIFY(device.node.rfind("/dev/", 0) == 0);
        QVERIFY(!device.driver.empty());
    }
    const auto monitor = systemDeviceMonitor();
    QVERIFY(monitor->descriptor() >= 0);
}

QTEST_GUILESS_MAIN(TestPortDiscovery)
#include "tst_port_discovery.moc"
