// TComPort on a COMn entry naming a device server: failures in the error box's words, no
// character event without data, modem lines from the server, a drop closes the port.

#include "fake_server.h"
#include "ser2net_server.h"
#include "temp_config.h"

#include "serial/comport.h"
#include "serial/serial_platform.h"

#include <QTest>

#include <algorithm>

#include <chrono>
#include <fstream>
#include <thread>

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using quillmark::serial::systemErrorText;

namespace {

void writeEntry(const TempConfig& config, const std::string& text) {
    std::ofstream(config.configDir().toStdString() + "/COM1") << text << '\n';
}

struct Port {
    TComPort port;
    int rxChars = 0;
    QStringList reports;
    Port() {
        port.Timeouts().SetReadConstant(1000ms);
        port.SetOnRxChar(TNotifyEvent(this, 1, [this](QObject*) { ++rxChars; }));
        TCustomComPort::SetHandlerErrorReport(
            [this](const std::exception& e) { reports << QString::fromUtf8(e.what()); });
    }
    ~Port() {
        port.Close();
        TCustomComPort::SetHandlerErrorReport({});
    }
};

// Opens COM1 from a fake server that accepts on a thread of its own and takes the option.
void openOn(Port& p, FakeServer& server) {
    std::thread peer([&] {
        if (server.accept())
            server.send({0xFF, 0xFD, 44});
    });
    p.port.Open();
    peer.join();
}

} // namespace

class TestNetworkPort : public QObject {
    Q_OBJECT
private slots:
    void failedOpenSaysWhy_data();
    void failedOpenSaysWhy();
    void negotiationAloneRaisesNoCharacterEvent();
    void modemLinesFromTheServer();
    void droppedConnectionClosesSilently();
    void serverPurgedAtOpenOnly();
};

void TestNetworkPort::failedOpenSaysWhy_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("code");
    QTest::newRow("refused") << "refused" << int(ECONNREFUSED);
    QTest::newRow("no answer: the real bounded time") << "unreachable" << int(ETIMEDOUT);
    QTest::newRow("not an address") << "invalid" << int(EINVAL);
}

void TestNetworkPort::failedOpenSaysWhy() {
    QFETCH(QString, kind);
    QFETCH(int, code);
    TempConfig config;
    FullListener full;
    const std::uint16_t port =
        kind == "unreachable" ? full.port() : quillmark::testing::freeLoopbackPort();
    const std::string address = "127.0.0.1:" + std::to_string(port);
    writeEntry(config, kind == "invalid" ? "tcp://127.0.0.1" : "rfc2217://" + address);
    Port p;
    const auto start = Clock::now();
    try {
        p.port.Open();
        QFAIL("opened");
    } catch (const EComError& e) {
        QCOMPARE(e.ErrorCode, code);
        if (kind != "invalid")
            QCOMPARE(QString::fromUtf8(e.what()),
                     QString::fromStdString("No se puede conectar con " + address + ": " +
                                            systemErrorText(code)));
    }
    QVERIFY(!p.port.Active());
    QVERIFY(Clock::now() - start < 5s);
}

void TestNetworkPort::negotiationAloneRaisesNoCharacterEvent() {
    TempConfig config;
    FakeServer server;
    writeEntry(config, "rfc2217://127.0.0.1:" + std::to_string(server.port()));
    Port p;
    openOn(p, server);
    QVERIFY(p.port.Active());
    server.send({0xFF, 0xFB, 0x18, 0xFF, 0xFA, 44, 107, 0x00, 0xFF, 0xF0, 0xFF, 0xF1});
    QTest::qWait(300);
    QCOMPARE(p.rxChars, 0);
    server.send({0xFF, 0xFF});
    QTRY_COMPARE(p.rxChars, 1);
    QCOMPARE(p.port.ReadByte(), std::uint8_t{0xFF});
}

void TestNetworkPort::modemLinesFromTheServer() {
    TempConfig config;
    FakeServer server;
    writeEntry(config, "rfc2217://127.0.0.1:" + std::to_string(server.port()));
    Port p;
    openOn(p, server);
    QCOMPARE(p.port.ModemStatus(), TModemStatus{0});
    server.send({0xFF, 0xFA, 44, 107, 0x90, 0xFF, 0xF0});
    QTRY_COMPARE(p.port.ModemStatus(), TModemStatus((1U << msCTS) | (1U << msRLSD)));
}

void TestNetworkPort::droppedConnectionClosesSilently() {
    TempConfig config;
    FakeServer server;
    writeEntry(config, "tcp://127.0.0.1:" + std::to_string(server.port()));
    Port p;
    openOn(p, server);
    QVERIFY(p.port.Active());
    server.drop();
    QTRY_VERIFY(!p.port.Active());
    QVERIFY(p.reports.isEmpty());
}

void TestNetworkPort::serverPurgedAtOpenOnly() {
    TempConfig config;
    FakeServer server;
    writeEntry(config, "rfc2217://127.0.0.1:" + std::to_string(server.port()));
    Port p;
    openOn(p, server);
    const std::vector<std::uint8_t> purgeInput{0xFF, 0xFA, 44, 12, 1, 0xFF, 0xF0};
    const std::vector<std::uint8_t> purgeOutput{0xFF, 0xFA, 44, 12, 2, 0xFF, 0xF0};
    const auto atOpen = server.receive(200ms);
    QVERIFY(std::search(atOpen.begin(), atOpen.end(), purgeInput.begin(), purgeInput.end()) !=
            atOpen.end());
    QVERIFY(std::search(atOpen.begin(), atOpen.end(), purgeOutput.begin(), purgeOutput.end()) !=
            atOpen.end());
    server.send({0x33});
    QTRY_COMPARE(p.port.InputCount(), 1);
    p.port.ResetDevice();
    QCOMPARE(p.port.InputCount(), 0);
    p.port.WriteByte(0x42);
    QCOMPARE(server.receive(200ms), std::vector<std::uint8_t>{0x42});
}

QTEST_MAIN(TestNetworkPort)
#include "tst_network_port.moc"
