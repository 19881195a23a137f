// The event thread: character-received notifications on the UI thread, their count when
// bytes come during a handler, no busy waiting, and safe stops while a delivery is queued.

#include "pty_pair.h"
#include "serial/comport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTest>
#include <QThread>

#include <atomic>
#include <cerrno>
#include <memory>
#include <thread>
#include <unistd.h>

using namespace std::chrono_literals;

namespace {

constexpr const char* kThreadName = "ComThread";

struct Fixture {
    PtyPair pty;
    std::unique_ptr<TComPort> port = std::make_unique<TComPort>();
    std::atomic<int> calls{0};
    std::function<void(TComPort&)> body; // what the handler does besides counting

    // Call open() after setting the body: the handler may run on the event thread.
    explicit Fixture(bool synchronize = true) {
        port->SetDeviceName(pty.slavePath());
        port->Timeouts().SetReadConstant(1000ms);
        port->SetSynchronizeEvents(synchronize);
        port->SetOnRxChar(TNotifyEvent(this, 1, [this](QObject*) {
            ++calls;
            if (body)
                body(*port);
        }));
    }
    void open() { port->Open(); }
};

// Lets posted deliveries run for a while.
void settle(std::chrono::milliseconds time) {
    QTest::qWait(int(time.count()));
}

// Waits inside a handler until the port sees `count` queued bytes.
bool waitForQueued(TComPort& port, int count) {
    QElapsedTimer clock;
    clock.start();
    while (port.InputCount() < count) {
        if (clock.elapsed() > 2000)
            return false;
        std::this_thread::sleep_for(2ms);
    }
    return true;
}

struct ErrorReports {
    QStringList texts;
    ErrorReports() {
        TCustomComPort::SetHandlerErrorReport(
            [this](const std::exception& e) { texts.append(QString::fromUtf8(e.what())); });
    }
    ~ErrorReports() { TCustomComPort::SetHandlerErrorReport({}); }
};

} // namespace

class TestComThread : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { baselineThreads_ = threadCount(); }
    void init();
    void handlerRunsOnTheRightThread_data();
    void handlerRunsOnTheRightThread();
    void arrivalsDuringHandlerGiveOneMoreCall_data();
    void arrivalsDuringHandlerGiveOneMoreCall();
    void unreadBytesCauseNoCallsAndNoCpu();
    void assigningHandlersStartsAndStopsTheThread();
    void closeWhileWaitingReturnsAtOnce();
    void stopWhileDeliveryQueued_data();
    void stopWhileDeliveryQueued();
    void closeInsideHandler_data();
    void closeInsideHandler();
    void closeFromBothThreadsAtOnce();
    void hangUpClosesThePortSilently();
    void hangUpDuringHandlerClosesThePort();
    void reopenInsideHandler();
    void handlerFailureIsReportedAndEventsGoOn();
    void shortReplyTimesOutInsideHandler();
    void threadPriorityAppliesToRunningThread_data();
    void threadPriorityAppliesToRunningThread();

private:
    int baselineThreads_ = 0;
};

void TestComThread::init() {
    // Threads of earlier cases end on their own, some not yet named when they are stopped:
    // wait for them all so counts compare.
    QTRY_COMPARE(threadCount(), baselineThreads_);
}

void TestComThread::handlerRunsOnTheRightThread_data() {
    QTest::addColumn<bool>("synchronize");
    QTest::newRow("synchronized") << true;
    QTest::newRow("on the event thread") << false;
}

void TestComThread::handlerRunsOnTheRightThread() {
    QFETCH(bool, synchronize);
    Fixture f(synchronize);
    std::atomic<QThread*> ranOn{nullptr};
    f.body = [&](TComPort& port) {
        ranOn = QThread::currentThread();
        static_cast<void>(port.ReadByte());
    };
    f.open();
    f.pty.send("\x01");
    QTRY_COMPARE(f.calls.load(), 1);
    QCOMPARE(ranOn.load() == QCoreApplication::instance()->thread(), synchronize);
}

void TestComThread::arrivalsDuringHandlerGiveOneMoreCall_data() {
    QTest::addColumn<int>("arriving"); // bytes the far end sends during the first call
    QTest::addColumn<int>("disposal"); // what the first call does with them
    QTest::addColumn<int>("expectedCalls");
    enum { keep, readAll, discardAll };
    QTest::newRow("none arrive") << 0 << int(keep) << 1;
    QTest::newRow("one arrives, left unread") << 1 << int(keep) << 2;
    QTest::newRow("one arrives, read by the handler") << 1 << int(readAll) << 2;
    QTest::newRow("one arrives, discarded by ResetDevice") << 1 << int(discardAll) << 2;
    QTest::newRow("a burst arrives, read by the handler") << 40 << int(readAll) << 2;
    QTest::newRow("a burst arrives, left unread") << 40 << int(keep) << 2;
}

void TestComThread::arrivalsDuringHandlerGiveOneMoreCall() {
    QFETCH(int, arriving);
    QFETCH(int, disposal);
    Fixture f;
    bool waited = true;
    f.body = [&](TComPort& port) {
        if (f.calls > 1)
            return;
        static_cast<void>(port.ReadByte());
        if (arriving == 0)
            return;
        for (int i = 0; i < arriving; ++i)
            f.pty.send(QByteArray(1, char(i)));
        waited = waitForQueued(port, arriving);
        for (int i = 0; disposal == 1 && i < arriving; ++i)
            static_cast<void>(port.ReadByte());
        if (disposal == 2)
            port.ResetDevice();
    };
    f.open();
    f.pty.send("a");
    QTRY_VERIFY(f.calls.load() >= 1);
    settle(500ms);
    QVERIFY(waited);
    QTEST(f.calls.load(), "expectedCalls");
}

void TestComThread::unreadBytesCauseNoCallsAndNoCpu() {
    Fixture f;
    f.open();
    f.pty.send("left unread");
    // A loaded machine may pass the bytes on in two parts, each a call of its own.
    QTRY_COMPARE(f.port->InputCount(), 11);
    QTRY_VERIFY(f.calls.load() >= 1);
    settle(100ms);
    const int calls = f.calls.load();
    const int tid = threadIdNamed(kThreadName);
    QVERIFY(tid > 0);
    const long before = threadCpuTicks(tid);
    settle(1000ms);
    const long used = threadCpuTicks(tid) - before;
    QCOMPARE(f.calls.load(), calls);
    // A thread spinning on readable bytes would use about 100 ticks here.
    QVERIFY2(used <= 2, qPrintable(QString("event thread used %1 ticks").arg(used)));
    QCOMPARE(f.port->InputCount(), 11);
}

void TestComThread::assigningHandlersStartsAndStopsTheThread() {
    PtyPair pty;
    TComPort port;
    port.SetDeviceName(pty.slavePath());
    port.Open();
    QCOMPARE(threadIdNamed(kThreadName), -1);
    port.SetOnRxChar(TNotifyEvent(this, 1, [](QObject*) {}));
    QCOMPARE(port.EventMask(), 0x0001U);
    QTRY_VERIFY(threadIdNamed(kThreadName) > 0);
    port.SetOnRxChar({});
    QCOMPARE(port.EventMask(), 0U);
    QTRY_COMPARE(threadIdNamed(kThreadName), -1);
    QCOMPARE(threadCount(), baselineThreads_);
}

void TestComThread::closeWhileWaitingReturnsAtOnce() {
    Fixture f;
    f.open();
    QTRY_VERIFY(threadIdNamed(kThreadName) > 0);
    QElapsedTimer clock;
    clock.start();
    f.port->Close();
    QVERIFY(clock.elapsed() < 100);
    QTRY_COMPARE(threadCount(), baselineThreads_);
}

void TestComThread::stopWhileDeliveryQueued_data() {
    QTest::addColumn<bool>("destroy");
    QTest::newRow("close") << false;
    QTest::newRow("destroy") << true;
}

void TestComThread::stopWhileDeliveryQueued() {
    QFETCH(bool, destroy);
    Fixture f;
    f.open();
    f.pty.send("x");
    // The UI thread is busy: the thread queues the delivery and blocks on it.
    std::this_thread::sleep_for(200ms);
    if (destroy)
        f.port.reset();
    else
        f.port->Close();
    settle(300ms);
    QCOMPARE(f.calls.load(), 0);
    QTRY_COMPARE(threadCount(), baselineThreads_);
}

void TestComThread::closeInsideHandler_data() {
    QTest::addColumn<bool>("synchronize");
    QTest::newRow("on the UI thread") << true;
    QTest::newRow("on the event thread, handed over") << false;
}

void TestComThread::closeInsideHandler() {
    QFETCH(bool, synchronize);
    Fixture f(synchronize);
    std::atomic<bool> returned{false};
    f.body = [&](TComPort& port) {
        port.Close();
        returned = !port.Active();
    };
    f.open();
    f.pty.send("x");
    QTRY_VERIFY(returned.load());
    QVERIFY(!f.port->Active());
    f.pty.send("y");
    settle(200ms);
    QCOMPARE(f.calls.load(), 1);
    QTRY_COMPARE(threadCount(), baselineThreads_);
}

void TestComThread::closeFromBothThreadsAtOnce() {
    Fixture f(false);
    std::atomic<bool> inHandler{false};
    std::atomic<bool> uiClosing{false};
    std::atomic<bool> returned{false};
    f.body = [&](TComPort& port) {
        inHandler = true;
        for (int i = 0; i < 200 && !uiClosing; ++i)
            std::this_thread::sleep_for(10ms);
        // The UI thread now waits for this handler; handing the close over must not block.
        std::this_thread::sleep_for(100ms);
        port.Close();
        returned = true;
    };
    f.open();
    f.pty.send("x");
    QTRY_VERIFY(inHandler.load());
    uiClosing = true;
    f.port->Close();
    QVERIFY(returned.load());
    QVERIFY(!f.port->Active());
    QCOMPARE(f.calls.load(), 1);
    QTRY_COMPARE(threadCount(), baselineThreads_);
}

void TestComThread::hangUpClosesThePortSilently() {
    ErrorReports reports;
    Fixture f;
    f.open();
    int errorCode = -1;
    int afterClose = 0;
    f.port->OnError = TComErrorEvent(
        this, 1, [&](TCustomComPort*, EComError& e, TComAction&) { errorCode = e.ErrorCode; });
    f.port->AfterClose = TOpenCloseEvent(this, 2, [&](TCustomComPort*) { ++afterClose; });
    f.pty.closeMaster();
    QTRY_VERIFY(!f.port->Active());
    QCOMPARE(errorCode, EIO);
    QCOMPARE(afterClose, 1);
    QVERIFY(reports.texts.isEmpty());
    try {
        f.port->WriteByte(0x01);
        QFAIL("wrote to a port that closed itself");
    } catch (const EComError& e) {
        QCOMPARE(std::string(e.what()),
                 std::string("Can't perform this operation on a closed port"));
    }
    QTRY_COMPARE(threadCount(), baselineThreads_);
}

void TestComThread::hangUpDuringHandlerClosesThePort() {
    ErrorReports reports;
    Fixture f;
    f.body = [&](TComPort& port) {
        static_cast<void>(port.ReadByte());
        f.pty.closeMaster();
    };
    f.open();
    f.pty.send("x");
    QTRY_VERIFY(!f.port->Active());
    QCOMPARE(f.calls.load(), 1);
    QVERIFY(reports.texts.isEmpty());
    QTRY_COMPARE(threadCount(), baselineThreads_);
}

void TestComThread::reopenInsideHandler() {
    Fixture f;
    f.body = [&](TComPort& port) {
        static_cast<void>(port.ReadByte());
        if (f.calls == 1) {
            port.Close();
            port.Open();
        }
    };
    f.open();
    f.pty.send("1");
    QTRY_COMPARE(f.calls.load(), 1);
    f.pty.send("2");
    QTRY_COMPARE(f.calls.load(), 2);
    settle(200ms);
    QCOMPARE(f.calls.load(), 2);
    QTRY_COMPARE(threadCount(), baselineThreads_ + 1);
}

void TestComThread::handlerFailureIsReportedAndEventsGoOn() {
    ErrorReports reports;
    Fixture f;
    f.body = [&](TComPort& port) {
        static_cast<void>(port.ReadByte());
        if (f.calls == 1)
            throw EComError(0, "handler failed");
    };
    f.open();
    f.pty.send("1");
    QTRY_COMPARE(reports.texts, QStringList{"handler failed"});
    f.pty.send("2");
    QTRY_COMPARE(f.calls.load(), 2);
    QCOMPARE(reports.texts.size(), 1);
}

void TestComThread::shortReplyTimesOutInsideHandler() {
    ErrorReports reports;
    Fixture f;
    f.body = [&](TComPort& port) {
        if (f.calls > 1) {
            static_cast<void>(port.ReadByte());
            return;
        }
        for (int i = 0; i < 3; ++i)
            static_cast<void>(port.ReadByte());
    };
    f.open();
    f.pty.send("a");
    QTRY_COMPARE_WITH_TIMEOUT(reports.texts, QStringList{"Timeout"}, 3000);
    f.pty.send("late");
    QTRY_VERIFY(f.calls.load() >= 2);
    QVERIFY(f.port->Active());
}

void TestComThread::threadPriorityAppliesToRunningThread_data() {
    QTest::addColumn<int>("priority");
    QTest::addColumn<int>("nice");
    QTest::newRow("lowest") << int(tpLowest) << 10;
    QTest::newRow("idle") << int(tpIdle) << 19;
    QTest::newRow("time-critical") << int(tpTimeCritical) << -20;
}

void TestComThread::threadPriorityAppliesToRunningThread() {
    QFETCH(int, priority);
    QFETCH(int, nice);
    if (nice < 0 && geteuid() != 0)
        QSKIP("raising the priority needs CAP_SYS_NICE");
    Fixture f;
    f.open();
    QTRY_VERIFY(threadIdNamed(kThreadName) > 0);
    const int tid = threadIdNamed(kThreadName);
    f.port->SetThreadPriority(TThreadPriority(priority));
    QTRY_COMPARE(threadNice(tid), nice);
    // Still serving events afterwards.
    f.body = [](TComPort& port) { static_cast<void>(port.ReadByte()); };
    f.pty.send("z");
    QTRY_COMPARE(f.calls.load(), 1);
}

QTEST_GUILESS_MAIN(TestComThread)
#include "tst_comthread.moc"
