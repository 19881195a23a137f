// TComPort reads and writes on a pseudo-terminal: time-outs, bursts, every byte value, and
// the Before/After events.

#include "pty_pair.h"
#include "serial/comport.h"
#include "serial/serial_platform.h"

#include <QElapsedTimer>
#include <QTest>

#include <cerrno>
#include <thread>
#include <vector>

using namespace std::chrono_literals;

namespace {

// Several times what a pseudo-terminal holds while its master reads nothing.
constexpr int kMoreThanAPtyHolds = 1 << 18;

struct OpenPort {
    PtyPair pty;
    TComPort port;
    explicit OpenPort(std::chrono::milliseconds readConstant = 1000ms) {
        port.SetDeviceName(pty.slavePath());
        port.SetBaudRate(br2400);
        port.SetDataBits(db8);
        port.SetParity(paNone);
        port.SetStopBits(sb1);
        port.Timeouts().SetReadConstant(readConstant);
        port.Open();
    }
};

QByteArray everyByteValue() {
    QByteArray bytes;
    for (int v = 0; v < 256; ++v)
        bytes.append(char(v));
    return bytes;
}

struct TransferEvent {
    char kind; // 'b' before read, 'a' after read, 'B' before write, 'A' after write
    const void* buffer;
    int length;
    bool wait;
};

void recordTransfers(TCustomComPort& port, std::vector<TransferEvent>& log) {
    auto record = [&log](char kind) {
        return [&log, kind](QObject*, const void* b, int n, bool w) {
            log.push_back({kind, b, n, w});
        };
    };
    port.BeforeRead = TReadWriteEvent(&log, 1, record('b'));
    port.AfterRead = TReadWriteEvent(&log, 2, record('a'));
    port.BeforeWrite = TReadWriteEvent(&log, 3, record('B'));
    port.AfterWrite = TReadWriteEvent(&log, 4, record('A'));
}

} // namespace

class TestComPortIo : public QObject {
    Q_OBJECT
private slots:
    void readByteReturnsQueuedByteAtOnce();
    void readByteTimesOut_data();
    void readByteTimesOut();
    void readTimeoutGrowsWithLength_data();
    void readTimeoutGrowsWithLength();
    void readIntervalEndsARead();
    void readWaitsForBytesStillComing();
    void everyByteValueArrives_data();
    void everyByteValueArrives();
    void writeBurstArrivesInOrder();
    void emptyTransfersFireEvents_data();
    void emptyTransfersFireEvents();
    void eventsCarryTheCallersArguments();
    void resetDeviceDiscardsPendingInput();
    void writeTimesOutWhenNothingDrains_data();
    void writeTimesOutWhenNothingDrains();
    void largeWriteWaitsForRoomAndSendsAll();
    void lastByteIsNeverHeldBack();
    void closeDoesNotWaitForQueuedOutput();
    void hangUpFailsReadWithTheSystemText();
};

void TestComPortIo::readByteReturnsQueuedByteAtOnce() {
    OpenPort p;
    p.pty.send("\x42");
    QTRY_COMPARE(p.port.InputCount(), 1);
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(p.port.ReadByte(), std::uint8_t(0x42));
    QVERIFY2(clock.elapsed() < 500, "a queued byte must not wait for the time-out");
}

void TestComPortIo::readByteTimesOut_data() {
    QTest::addColumn<int>("constantMs");
    QTest::newRow("short") << 150;
    QTest::newRow("main window's 1000 ms") << 1000;
}

void TestComPortIo::readByteTimesOut() {
    QFETCH(int, constantMs);
    OpenPort p{std::chrono::milliseconds(constantMs)};
    QElapsedTimer clock;
    clock.start();
    try {
        static_cast<void>(p.port.ReadByte());
        QFAIL("no byte, yet the read succeeded");
    } catch (const EComError& e) {
        QCOMPARE(e.ErrorCode, 0);
        QCOMPARE(std::string(e.what()), std::string("Timeout"));
    }
    QVERIFY(clock.elapsed() >= constantMs);
    QVERIFY(clock.elapsed() < constantMs + 1000);
    QVERIFY(p.port.Active());
    // The port still works after the failed read.
    p.pty.send("\x07");
    QCOMPARE(p.port.ReadByte(), std::uint8_t(0x07));
}

void TestComPortIo::readTimeoutGrowsWithLength_data() {
    QTest::addColumn<int>("length");
    QTest::addColumn<int>("available");
    QTest::newRow("nothing of 4") << 4 << 0;
    QTest::newRow("3 of 4") << 4 << 3;
    QTest::newRow("9 of 10") << 10 << 9;
}

void TestComPortIo::readTimeoutGrowsWithLength() {
    QFETCH(int, length);
    QFETCH(int, available);
    OpenPort p{50ms};
    p.port.Timeouts().SetReadMultiplier(30ms);
    p.pty.send(QByteArray(available, 'x'));
    std::vector<std::uint8_t> buffer(static_cast<std::size_t>(length));
    QElapsedTimer clock;
    clock.start();
    QVERIFY_THROWS_EXCEPTION(EComError, p.port.Read(buffer.data(), length, true));
    const qint64 limit = 30 * length + 50;
    QVERIFY(clock.elapsed() >= limit);
    QVERIFY(clock.elapsed() < limit + 1000);
    QCOMPARE(int(std::count(buffer.begin(), buffer.end(), 'x')), available);
}

void TestComPortIo::readIntervalEndsARead() {
    OpenPort p{5000ms};
    p.port.Timeouts().SetReadInterval(100ms);
    p.pty.send("ab");
    std::uint8_t buffer[4] = {};
    QElapsedTimer clock;
    clock.start();
    QVERIFY_THROWS_EXCEPTION(EComError, p.port.Read(buffer, 4, true));
    QVERIFY(clock.elapsed() < 2000);
    QCOMPARE(buffer[0], std::uint8_t('a'));
    QCOMPARE(buffer[1], std::uint8_t('b'));
}

void TestComPortIo::readWaitsForBytesStillComing() {
    OpenPort p;
    std::thread farEnd([&] {
        for (char c : QByteArray("slow")) {
            std::this_thread::sleep_for(20ms);
            p.pty.send(QByteArray(1, c));
        }
    });
    std::uint8_t buffer[4] = {};
    const int moved = p.port.Read(buffer, 4, true);
    farEnd.join();
    QCOMPARE(moved, 4);
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(buffer), 4), QByteArray("slow"));
}

void TestComPortIo::everyByteValueArrives_data() {
    QTest::addColumn<bool>("toDevice");
    QTest::newRow("port to far end") << true;
    QTest::newRow("far end to port") << false;
}

void TestComPortIo::everyByteValueArrives() {
    QFETCH(bool, toDevice);
    OpenPort p;
    const QByteArray all = everyByteValue();
    if (toDevice) {
        for (char c : all)
            p.port.WriteByte(static_cast<std::uint8_t>(c));
        QCOMPARE(p.pty.receive(256, 5s), all);
        return;
    }
    p.pty.send(all);
    QByteArray got;
    for (int i = 0; i < 256; ++i)
        got.append(char(p.port.ReadByte()));
    QCOMPARE(got, all);
}

void TestComPortIo::writeBurstArrivesInOrder() {
    OpenPort p;
    QByteArray sent;
    for (int i = 0; i < 3000; ++i) {
        const auto b = static_cast<std::uint8_t>((i * 7 + i / 256) & 0xFF);
        p.port.WriteByte(b);
        sent.append(char(b));
    }
    // The last byte may still be on its way when the call returns; all of them arrive.
    QCOMPARE(p.pty.receive(sent.size(), 5s), sent);
}

void TestComPortIo::emptyTransfersFireEvents_data() {
    QTest::addColumn<bool>("isRead");
    QTest::addColumn<bool>("wait");
    QTest::newRow("read, waiting") << true << true;
    QTest::newRow("read, not waiting") << true << false;
    QTest::newRow("write, waiting") << false << true;
    QTest::newRow("write, not waiting") << false << false;
}

void TestComPortIo::emptyTransfersFireEvents() {
    QFETCH(bool, isRead);
    QFETCH(bool, wait);
    OpenPort p;
    std::vector<TransferEvent> log;
    recordTransfers(p.port, log);
    std::uint8_t buffer[1] = {};
    const int moved = isRead ? p.port.Read(buffer, 0, wait) : p.port.Write(buffer, 0, wait);
    QCOMPARE(moved, 0);
    QCOMPARE(int(log.size()), 2);
    QCOMPARE(log[0].kind, isRead ? 'b' : 'B');
    QCOMPARE(log[1].kind, isRead ? 'a' : 'A');
    QCOMPARE(log[1].length, 0);
    QCOMPARE(log[1].wait, wait);
    QCOMPARE(p.pty.receive(1, 100ms), QByteArray());
}

void TestComPortIo::eventsCarryTheCallersArguments() {
    OpenPort p;
    std::vector<TransferEvent> log;
    recordTransfers(p.port, log);
    const char text[] = "hello";
    QCOMPARE(p.port.Write(text, 5, true), 5);
    p.pty.send("xy");
    char in[2] = {};
    QCOMPARE(p.port.Read(in, 2, true), 2);
    QCOMPARE(int(log.size()), 4);
    QCOMPARE(log[0].buffer, static_cast<const void*>(text));
    QCOMPARE(log[0].length, 5);
    QVERIFY(log[0].wait);
    QCOMPARE(log[3].buffer, static_cast<const void*>(in));
    QCOMPARE(log[3].length, 2);
    QCOMPARE(p.pty.receive(5, 1s), QByteArray("hello"));
}

void TestComPortIo::resetDeviceDiscardsPendingInput() {
    OpenPort p{150ms};
    p.pty.send("stale");
    QTRY_COMPARE(p.port.InputCount(), 5);
    p.port.ResetDevice();
    QCOMPARE(p.port.InputCount(), 0);
    QVERIFY_THROWS_EXCEPTION(EComError, static_cast<void>(p.port.ReadByte()));
    p.pty.send("\x99");
    QCOMPARE(p.port.ReadByte(), std::uint8_t(0x99));
}

void TestComPortIo::writeTimesOutWhenNothingDrains_data() {
    QTest::addColumn<bool>("wait");
    QTest::newRow("waiting") << true;
    QTest::newRow("not waiting") << false;
}

void TestComPortIo::writeTimesOutWhenNothingDrains() {
    QFETCH(bool, wait);
    OpenPort p;
    p.port.Timeouts().SetWriteConstant(200ms);
    std::vector<std::uint8_t> big(kMoreThanAPtyHolds, 0x55);
    QElapsedTimer clock;
    clock.start();
    try {
        p.port.Write(big.data(), int(big.size()), wait);
        QFAIL("an undrained write completed");
    } catch (const EComError& e) {
        QCOMPARE(std::string(e.what()), std::string("Timeout"));
    }
    QVERIFY(clock.elapsed() >= 200);
    QVERIFY(clock.elapsed() < 2000);
    QVERIFY(p.port.Active());
}

void TestComPortIo::largeWriteWaitsForRoomAndSendsAll() {
    OpenPort p;
    std::vector<std::uint8_t> big(kMoreThanAPtyHolds, 0x66);
    QByteArray arrived;
    std::thread farEnd([&] { arrived = p.pty.receive(kMoreThanAPtyHolds + 1, 60s); });
    QCOMPARE(p.port.Write(big.data(), int(big.size()), false), kMoreThanAPtyHolds);
    p.port.WriteByte(0x01);
    farEnd.join();
    QCOMPARE(arrived, QByteArray(kMoreThanAPtyHolds, 0x66) + QByteArray(1, 0x01));
}

void TestComPortIo::lastByteIsNeverHeldBack() {
    OpenPort p;
    p.port.Timeouts().SetWriteConstant(100ms);
    std::vector<std::uint8_t> big(kMoreThanAPtyHolds, 0x66);
    QVERIFY_THROWS_EXCEPTION(EComError, p.port.Write(big.data(), int(big.size()), true));
    p.port.Timeouts().SetWriteConstant(0ms);
    // The far end starts reading only later: the byte must get out with no further call.
    QByteArray arrived;
    std::thread farEnd([&] {
        std::this_thread::sleep_for(200ms);
        for (QByteArray chunk = p.pty.receive(1, 5s); !chunk.isEmpty();
             chunk = p.pty.receive(kMoreThanAPtyHolds, 300ms))
            arrived += chunk;
    });
    p.port.WriteByte(0x01);
    farEnd.join();
    QVERIFY(!arrived.isEmpty());
    QCOMPARE(arrived.back(), char(0x01));
}

void TestComPortIo::closeDoesNotWaitForQueuedOutput() {
    OpenPort p;
    p.port.Timeouts().SetWriteConstant(100ms);
    std::vector<std::uint8_t> big(kMoreThanAPtyHolds, 0x77);
    QVERIFY_THROWS_EXCEPTION(EComError, p.port.Write(big.data(), int(big.size()), false));
    QElapsedTimer clock;
    clock.start();
    p.port.Close();
    QVERIFY(clock.elapsed() < 500);
    QVERIFY(!p.port.Active());
}

void TestComPortIo::hangUpFailsReadWithTheSystemText() {
    OpenPort p;
    p.pty.closeMaster();
    try {
        static_cast<void>(p.port.ReadByte());
        QFAIL("read from a hung-up line succeeded");
    } catch (const EComError& e) {
        QCOMPARE(e.ErrorCode, EIO);
        QCOMPARE(std::string(e.what()), quillmark::serial::systemErrorText(EIO));
    }
}

QTEST_GUILESS_MAIN(TestComPortIo)
#include "tst_comport_io.moc"
