// The byte paths allocate nothing: WriteByte and ReadByte, also with an indicator hooked in
// front of the write handlers, run without touching the heap.

#include "pty_pair.h"
#include "serial/comsignal.h"

#include <QTest>

#include <cstdlib>
#include <new>

using namespace std::chrono_literals;

namespace {
thread_local long allocations = 0;
}

void* operator new(std::size_t size) {
    ++allocations;
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
};

void TestComPortAlloc::bytePathsDoNotAllocate_data() {
    QTest::addColumn<bool>("withIndicator");
    QTest::newRow("bare port") << false;
    QTest::newRow("Tx indicator hooked") << true;
}

void TestComPortAlloc::bytePathsDoNotAllocate() {
    QFETCH(bool, withIndicator);
    PtyPair pty;
    TComPort port;
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
}

QTEST_MAIN(TestComPortAlloc)
#include "tst_comport_alloc.moc"
