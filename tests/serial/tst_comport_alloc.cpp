// The byte paths allocate nothing: WriteByte and ReadByte, also with an indicator hooked in
// front of the write handlers, with no line observer (never attached, or detached again) or
// with one that keeps nothing, run without touching the heap; nor does a notification's
// delivery, from the byte arriving to the handler having read it, on either thread.

#include "pty_pair.h"
#include "serial/comport_tap.h"
#include "serial/comsignal.h"
#include "serial/comthread.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTest>

#include <atomic>
#include <cstdlib>
#include <new>
#include <thread>
#include <unistd.h>

using namespace std::chrono_literals;

namespace {
thread_local long allocations = 0;
// Allocations of the UI thread and of any event thread, while a delivery is measured.
thread_local bool onUiThread = false;
std::atomic<bool> countingDeliveries{false};
std::atomic<long> deliveryAllocations{0};

// Runs the UI thread's events until the handler has seen `count` bytes.
bool waitForHandled(const std::atomic<int>& handled, int count) {
    QElapsedTimer clock;
    clock.start();
    while (handled.load() < count) {
        if (clock.elapsed() > 2000)
            return false;
        QCoreApplication::processEvents();
        std::this_thread::yield();
    }
    return true;
}
// Counts what it is shown and keeps nothing: the tap's own cost on the byte path.
struct CountingObserver final : quillmark::serial::LineObserver {
    long bytes = 0;
    void bytesMoved(quillmark::LineDirection, quillmark::LineClock::time_point,
                    std::span<const std::uint8_t> moved) noexcept override {
        bytes += static_cast<long>(moved.size());
    }
};

enum class Observer { None, Detached, Counting };
} // namespace

Q_DECLARE_METATYPE(Observer)

void* operator new(std::size_t size) {
    ++allocations;
    if (countingDeliveries.load(std::memory_order_relaxed) &&
        (onUiThread || TComThread::Current() != nullptr))
        deliveryAllocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size == 0 ? 1 : size))
        return p;
    throw std::bad_alloc();
}

void operator delete(void* p) noexcept {
    std::free(p);
}

void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}

class TestComPortAlloc : public QObject {
    Q_OBJECT
private slots:
    void bytePathsDoNotAllocate_data();
    void bytePathsDoNotAllocate();
    void deliveryDoesNotAllocate_data();
    void deliveryDoesNotAllocate();
};

void TestComPortAlloc::bytePathsDoNotAllocate_data() {
    QTest::addColumn<bool>("withIndicator");
    QTest::addColumn<Observer>("observer");
    QTest::newRow("bare port") << false << Observer::None;
    QTest::newRow("Tx indicator hooked") << true << Observer::None;
    QTest::newRow("line observer detached again") << false << Observer::Detached;
    QTest::newRow("line observer keeping nothing") << false << Observer::Counting;
}

void TestComPortAlloc::bytePathsDoNotAllocate() {
    QFETCH(bool, withIndicator);
    QFETCH(Observer, observer);
    PtyPair pty;
    TComPort port;
    CountingObserver counting;
    if (observer != Observer::None)
        port.SetLineObserver(&counting);
    if (observer == Observer::Detached)
        port.SetLineObserver(nullptr);
    port.SetDeviceName(pty.slavePath());
    port.Timeouts().SetReadConstant(1000ms);
    TComSignal tx;
    tx.SetSignal(siTxChar);
    tx.SetDelay(10s); // one burst: its off-delay starts once, then only moves
    if (withIndicator)
        tx.SetComPort(&port);
    port.Open();
    const QByteArray incoming(200, 'r');
    pty.send(incoming);
    QTRY_COMPARE(port.InputCount(), int(incoming.size()));
    port.WriteByte(0xFF); // the burst begins
    const long before = allocations;
    std::uint8_t sum = 0;
    for (int i = 0; i < 200; ++i) {
        port.WriteByte(std::uint8_t(i));
        sum = std::uint8_t(sum + port.ReadByte());
    }
    const long used = allocations - before;
    QCOMPARE(used, 0L);
    QCOMPARE(sum, std::uint8_t(200 * 'r'));
    QCOMPARE(pty.receive(201, 2s).size(), 201);
    QCOMPARE(counting.bytes, observer == Observer::Counting ? 401L : 0L);
}

void TestComPortAlloc::deliveryDoesNotAllocate_data() {
    QTest::addColumn<bool>("synchronize");
    QTest::newRow("handed to the UI thread") << true;
    QTest::newRow("on the event thread") << false;
}

void TestComPortAlloc::deliveryDoesNotAllocate() {
    QFETCH(bool, synchronize);
    onUiThread = true;
    countingDeliveries = false; // a failed row may have left it on
    deliveryAllocations = 0;
    PtyPair pty;
    TComPort port;
    port.SetDeviceName(pty.slavePath());
    port.Timeouts().SetReadConstant(1000ms);
    port.SetSynchronizeEvents(synchronize);
    std::atomic<int> handled{0};
    std::atomic<int> sum{0};
    port.SetOnRxChar(TNotifyEvent(this, 1, [&](QObject*) {
        sum += port.ReadByte();
        ++handled;
    }));
    port.Open();
    constexpr int warmUp = 20;
    constexpr int measured = 200;
    int expectedSum = 0;
    for (int i = 0; i < warmUp + measured; ++i) {
        if (i == warmUp)
            countingDeliveries = true;
        const auto byte = static_cast<std::uint8_t>(i);
        expectedSum += byte;
        QCOMPARE(::write(pty.master(), &byte, 1), ssize_t(1));
        QVERIFY(waitForHandled(handled, i + 1));
    }
    countingDeliveries = false;
    QCOMPARE(deliveryAllocations.exchange(0), 0L);
    QCOMPARE(handled.load(), warmUp + measured);
    QCOMPARE(sum.load(), expectedSum);
}

QTEST_MAIN(TestComPortAlloc)
#include "tst_comport_alloc.moc"
