// The tap: the port shows an attached observer every byte it writes, reads or discards, in
// order and with monotonic times; LineTap hands bytes moved on any thread to its own thread
// in batches.

#include "pty_pair.h"
#include "serial/comport.h"
#include "serial/comport_tap.h"

#include <QSignalSpy>
#include <QTest>

#include <atomic>
#include <thread>

using namespace std::chrono_literals;
using quillmark::LineClock;
using quillmark::LineDirection;

namespace {

struct Recorder final : quillmark::serial::LineObserver {
    struct Seen {
        LineDirection direction;
        LineClock::time_point when;
        QByteArray bytes;
    };
    std::vector<Seen> seen;

    void bytesMoved(LineDirection direction, LineClock::time_point when,
                    std::span<const std::uint8_t> bytes) noexcept override {
        seen.push_back({direction, when,
                        QByteArray(reinterpret_cast<const char*>(bytes.data()),
                                   static_cast<qsizetype>(bytes.size()))});
    }
    // The bytes of one direction, joined.
    [[nodiscard]] QByteArray all(LineDirection d) const {
        QByteArray out;
        for (const Seen& s : seen)
            if (s.direction == d)
                out += s.bytes;
        return out;
    }
};

// Takes its time over every call, as a busy observer on another thread would.
struct SlowObserver final : quillmark::serial::LineObserver {
    std::atomic<bool> inside{false};
    void bytesMoved(LineDirection, LineClock::time_point,
                    std::span<const std::uint8_t>) noexcept override {
        inside = true;
        std::this_thread::sleep_for(300ms);
        inside = false;
    }
};

QByteArray bytesOf(const quillmark::serial::LineBatch& batch) {
    return QByteArray(reinterpret_cast<const char*>(batch.bytes.data()),
                      static_cast<qsizetype>(batch.bytes.size()));
}

} // namespace

class TestComPortTap : public QObject {
    Q_OBJECT
private slots:
    void observerSeesEveryByteInOrder_data();
    void observerSeesEveryByteInOrder();
    void purgedInputIsShownBeforeItGoes();
    void detachedObserverSeesNothing();
    void detachWaitsForACallUnderWay();
    void tapAnnouncesOncePerBatch();
    void tapKeepsBytesFromAnotherThreadInOrder();
    void tapCountsWhatItCannotHold();
};

void TestComPortTap::observerSeesEveryByteInOrder_data() {
    QTest::addColumn<bool>("wholeWrites");
    QTest::newRow("byte by byte") << false;
    QTest::newRow("whole frames") << true;
}

void TestComPortTap::observerSeesEveryByteInOrder() {
    QFETCH(bool, wholeWrites);
    PtyPair pty;
    TComPort port;
    port.SetDeviceName(pty.slavePath());
    port.Timeouts().SetReadConstant(1000ms);
    Recorder recorder;
    port.SetLineObserver(&recorder);
    port.Open();
    const QByteArray request = QByteArray::fromHex("01E01204F7");
    if (wholeWrites) {
        QCOMPARE(port.Write(request.constData(), int(request.size()), false), int(request.size()));
    } else {
        for (const char c : request)
            port.WriteByte(static_cast<std::uint8_t>(c));
    }
    QCOMPARE(pty.receive(int(request.size()), 2s), request);
    pty.send(QByteArray::fromHex("AA1234"));
    QCOMPARE(port.ReadByte(), std::uint8_t(0xAA));
    std::array<std::uint8_t, 2> two{};
    QCOMPARE(port.Read(two.data(), 2, true), 2);
    QCOMPARE(recorder.all(LineDirection::ToEncoder), request);
    QCOMPARE(recorder.all(LineDirection::FromEncoder), QByteArray::fromHex("AA1234"));
    // Requests before answers, and times never going back.
    QCOMPARE(recorder.seen.front().direction, LineDirection::ToEncoder);
    QCOMPARE(recorder.seen.back().direction, LineDirection::FromEncoder);
    for (std::size_t i = 1; i < recorder.seen.size(); ++i)
        QVERIFY(recorder.seen[i - 1].when <= recorder.seen[i].when);
}

void TestComPortTap::purgedInputIsShownBeforeItGoes() {
    PtyPair pty;
    TComPort port;
    port.SetDeviceName(pty.slavePath());
    Recorder recorder;
    port.SetLineObserver(&recorder);
    port.Open();
    const QByteArray stray(600, '\x55'); // more than one drain buffer
    pty.send(stray);
    QTRY_COMPARE(port.InputCount(), int(stray.size()));
    port.ResetDevice();
    QCOMPARE(recorder.all(LineDirection::FromEncoder), stray);
    QCOMPARE(port.InputCount(), 0);
}

void TestComPortTap::detachedObserverSeesNothing() {
    PtyPair pty;
    TComPort port;
    port.SetDeviceName(pty.slavePath());
    Recorder recorder;
    port.SetLineObserver(&recorder);
    port.Open();
    port.WriteByte(1);
    port.SetLineObserver(nullptr);
    QCOMPARE(port.lineObserver(), nullptr);
    port.WriteByte(2);
    pty.send("x");
    QTRY_COMPARE(port.InputCount(), 1);
    port.ResetDevice();
    QCOMPARE(recorder.seen.size(), std::size_t(1));
    QCOMPARE(pty.receive(2, 2s), QByteArray::fromHex("0102"));
}

void TestComPortTap::detachWaitsForACallUnderWay() {
    PtyPair pty;
    TComPort port;
    port.SetDeviceName(pty.slavePath());
    port.Timeouts().SetReadConstant(2000ms);
    SlowObserver observer;
    port.SetLineObserver(&observer);
    port.Open();
    std::thread reader([&port] { (void)port.ReadByte(); });
    pty.send("x");
    QTRY_VERIFY(observer.inside);
    port.SetLineObserver(nullptr);
    QVERIFY(!observer.inside); // it may go now
    reader.join();
}

void TestComPortTap::tapAnnouncesOncePerBatch() {
    quillmark::serial::LineTap tap;
    QSignalSpy ready(&tap, &quillmark::serial::LineTap::bytesReady);
    std::thread mover([&tap] {
        for (int i = 0; i < 1000; ++i) {
            const auto b = static_cast<std::uint8_t>(i);
            tap.bytesMoved(LineDirection::FromEncoder, LineClock::now(), std::span(&b, 1));
        }
    });
    mover.join();
    QTRY_COMPARE(ready.count(), 1);
    QTest::qWait(20);
    QCOMPARE(ready.count(), 1);
    quillmark::serial::LineBatch batch;
    tap.take(batch);
    QCOMPARE(batch.chunks.size(), std::size_t(1000));
    QCOMPARE(batch.bytes.size(), std::size_t(1000));
    QCOMPARE(batch.bytes[999], std::uint8_t(999 % 256));
    // Taken: the next byte is announced again.
    const std::uint8_t b = 7;
    tap.bytesMoved(LineDirection::ToEncoder, LineClock::now(), std::span(&b, 1));
    QTRY_COMPARE(ready.count(), 2);
}

void TestComPortTap::tapKeepsBytesFromAnotherThreadInOrder() {
    quillmark::serial::LineTap tap;
    constexpr int total = 20000;
    std::thread mover([&tap] {
        for (int i = 0; i < total; ++i) {
            const auto b = static_cast<std::uint8_t>(i);
            const auto d = i % 3 == 0 ? LineDirection::ToEncoder : LineDirection::FromEncoder;
            tap.bytesMoved(d, LineClock::now(), std::span(&b, 1));
        }
    });
    QByteArray got;
    quillmark::serial::LineBatch batch;
    LineClock::time_point last{};
    int taken = 0;
    int batches = 0;
    QElapsedTimer clock;
    clock.start();
    while (taken < total && clock.elapsed() < 10000) {
        tap.take(batch);
        if (!batch.chunks.empty())
            ++batches;
        for (const auto& chunk : batch.chunks) {
            QVERIFY(chunk.when >= last);
            last = chunk.when;
            QCOMPARE(chunk.direction,
                     taken % 3 == 0 ? LineDirection::ToEncoder : LineDirection::FromEncoder);
            ++taken;
        }
        got += bytesOf(batch);
    }
    mover.join();
    QCOMPARE(taken, total);
    for (int i = 0; i < total; ++i)
        QCOMPARE(static_cast<std::uint8_t>(got[i]), static_cast<std::uint8_t>(i));
    QVERIFY(batches < total);
}

void TestComPortTap::tapCountsWhatItCannotHold() {
    quillmark::serial::LineTap tap;
    const std::vector<std::uint8_t> block(4096, 0x42);
    const std::size_t blocks = quillmark::serial::LineTap::kMaxPendingBytes / block.size();
    for (std::size_t i = 0; i < blocks + 3; ++i)
        tap.bytesMoved(LineDirection::FromEncoder, LineClock::now(), block);
    quillmark::serial::LineBatch batch;
    tap.take(batch);
    QCOMPARE(batch.bytes.size(), blocks * block.size());
    QCOMPARE(batch.dropped, std::uint64_t(3 * block.size()));
    tap.take(batch);
    QCOMPARE(batch.dropped, std::uint64_t(0));
}

QTEST_MAIN(TestComPortTap)
#include "tst_comport_tap.moc"
