// The encoder's line drops (the adapter is pulled) and comes back under the same stable
// name: the window reopens its port by itself and the next operation works.

#include "encoder_session.h"
#include "fake_udev.h"

#include "port_reconnect.h"
#include "serial/comport.h"

#include <QSignalSpy>
#include <QTest>

#include <filesystem>

using namespace std::chrono_literals;
using Kind = ScriptedDialogs::Kind;
using quillmark::ports::DeviceEvent;
using quillmark::sim::FaultKind;

namespace fs = std::filesystem;

namespace {

QColor panelColour(EncoderSession& s, const char* name) {
    return s.control<QWidget>(name)->palette().color(QPalette::Window);
}

// A USB adapter with its serial number, as udev announces it.
DeviceEvent announced(DeviceEvent::Action action, const std::string& node, const std::string& link,
                      const std::string& serial = "A50285BI") {
    DeviceEvent event;
    event.action = action;
    event.device = usbRecord(node, link);
    event.device.links = {link};
    event.device.properties["ID_SERIAL_SHORT"] = serial;
    return event;
}

bool writePi(EncoderSession& s) {
    s.select("FramePI", 0);
    s.select("Country", 4);
    s.dialogs().queueAnswer(Dialogs::Answer::Yes);
    s.click("EnviaPI");
    return s.waitIdle();
}

} // namespace

class TestPortReconnect : public QObject {
    Q_OBJECT
private slots:
    void replugReopensThePort();
    void closingByHandArmsNothing();
};

void TestPortReconnect::replugReopensThePort() {
    EncoderSession s(SessionOptions().withTimer1(300ms));
    // COM1 -> a stable name -> the encoder's pty, as udev links a USB adapter.
    const fs::path byId = fs::path(s.form().configFilePath().toStdString()).parent_path() / "by-id";
    fs::create_directories(byId);
    s.encoder().linkAs(byId, "usb-Sim_Encoder_0001-if00-port0");
    const std::string stable = (byId / "usb-Sim_Encoder_0001-if00-port0").string();
    s.form().port().SetActive(false);
    fs::remove(byId.parent_path() / "COM1");
    fs::create_symlink(stable, byId.parent_path() / "COM1");
    s.form().port().SetActive(true);
    auto* udev = new FakeDeviceMonitor;
    s.form().portReconnect().setMonitor(std::unique_ptr<FakeDeviceMonitor>(udev));
    s.form().portReconnect().setDeviceList([&s, stable] {
        return std::vector{
            quillmark::ports::toSerialDevice(usbRecord(s.encoder().slavePath(), stable))};
    });
    s.form().portReconnect().portOpened();
    QSignalSpy reopened(&s.form().portReconnect(), &PortReconnect::reopened);
    QSignalSpy hungUp(&s.form().port(), &TComPort::HungUp);

    s.encoder().addFault({1, FaultKind::HangUp, 0, {}});
    s.dialogs().queueAnswer(Dialogs::Answer::Yes);
    s.click("EnviaPI");
    QVERIFY(s.waitFor([&s] { return !s.form().port().Active(); }));
    QCOMPARE(hungUp.count(), 1);
    QCOMPARE(s.form().portReconnect().awaited(), stable);
    // The write that was cut off still times out; a late answer would still count.
    QVERIFY(s.waitFor([&s] { return s.shown(Kind::Error) == 1 && s.buttonsUnlocked(); }));
    s.dialogs().clearShown();

    // The adapter comes back as another node; udev moves the stable name to it.
    s.encoder().stop();
    s.encoder().clearFaults();
    s.encoder().start();
    s.encoder().linkAs(byId, "usb-Sim_Encoder_0001-if00-port0");
    const std::string node = s.encoder().slavePath();
    udev->raise(announced(DeviceEvent::Action::Added, node, "/dev/serial/by-id/usb-Other"));
    udev->raise(announced(DeviceEvent::Action::Removed, node, stable));
    // Another adapter of the same kind now holds the name: its writes would reach another
    // encoder.
    udev->raise(announced(DeviceEvent::Action::Added, node, stable, "FT0THER1"));
    s.settle(100ms);
    QVERIFY2(!s.form().port().Active(), "another device or a removal reopened the port");
    udev->raise(announced(DeviceEvent::Action::Added, node, stable));
    QVERIFY(s.waitFor([&s] { return s.form().port().Active(); }));
    QCOMPARE(reopened.count(), 1);
    QVERIFY(s.form().portReconnect().awaited().empty());

    QVERIFY(writePi(s));
    QCOMPARE(s.form().statusColour(), TForm1::clLime);
    QCOMPARE(slice(s.encoder().memory(), 0, 2), slice(s.deviceMap(), 0, 2));
    QCOMPARE(s.shown(Kind::StandardError) + s.shown(Kind::Error), 0);
    // The indicators are live again: a write lights Tx at once, the answer lights Rx.
    s.dialogs().queueAnswer(Dialogs::Answer::Yes);
    s.click("EnviaPI");
    QCOMPARE(panelColour(s, "Panel3"), TForm1::clLime);
    QVERIFY(s.waitFor([&s] { return panelColour(s, "Panel4") == TForm1::clLime; }));
    QVERIFY(s.waitIdle());
}

void TestPortReconnect::closingByHandArmsNothing() {
    EncoderSession s;
    QSignalSpy hungUp(&s.form().port(), &TComPort::HungUp);
    s.form().port().Close();
    s.settle(50ms);
    QCOMPARE(hungUp.count(), 0);
    QVERIFY(s.form().portReconnect().awaited().empty());
}

QTEST_MAIN(TestPortReconnect)
#include "tst_port_reconnect.moc"
