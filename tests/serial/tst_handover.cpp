// Calls handed from another thread to the UI thread: run there and waited for, dropped once
// stopped without leaving the waiter blocked, finished before the waiter resumes when stopped
// from inside, and served in nested event loops.

#include "serial/comthread.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <poll.h>
#include <thread>

using quillmark::serial::HandOver;
using quillmark::serial::HandOverRelay;
using quillmark::serial::ThreadShared;

namespace {

enum Stop { never, beforePosting, whilePosted, insideCall };

// What the handed-over calls see; plain function pointers cannot capture.
struct Record {
    HandOver* handOver = nullptr;
    bool stopInside = false;
    std::atomic<int> calls{0};
    std::atomic<int> argument{0};
    std::atomic<bool> onUiThread{false};
    std::atomic<bool> stoppedInside{false};
    std::atomic<bool> callFinished{false};
};
Record* record = nullptr;

void recordingCall(ThreadShared&, int argument) {
    ++record->calls;
    record->argument = argument;
    record->onUiThread = QThread::currentThread() == QCoreApplication::instance()->thread();
    if (record->stopInside) {
        record->stoppedInside = record->handOver->stop();
        QThread::msleep(20); // a waiter released too early would resume now
    }
    record->callFinished = true;
}

[[nodiscard]] bool readable(int fd) {
    pollfd p{fd, POLLIN, 0};
    return ::poll(&p, 1, 2000) == 1;
}

// Nested loop: the outer call waits in a local event loop for the inner one.
struct Nested {
    HandOver outer;
    HandOver inner;
    ThreadShared shared;
    std::thread innerWaiter;
    std::atomic<bool> innerRanDuringOuter{false};
    std::atomic<bool> outerRunning{false};
    QEventLoop* loop = nullptr;
};
Nested* nested = nullptr;

void innerCall(ThreadShared&, int) {
    nested->innerRanDuringOuter = nested->outerRunning.load();
    nested->loop->quit();
}

void outerCall(ThreadShared&, int) {
    nested->outerRunning = true;
    QEventLoop loop;
    nested->loop = &loop;
    QTimer::singleShot(2000, &loop, &QEventLoop::quit);
    nested->innerWaiter = std::thread([] { nested->inner.run(innerCall, nested->shared, 0); });
    loop.exec();
    nested->outerRunning = false;
}

} // namespace

class TestHandOver : public QObject {
    Q_OBJECT
private slots:
    void callRunsOnUiThreadUnlessStopped_data();
    void callRunsOnUiThreadUnlessStopped();
    void servedInNestedEventLoop();
};

void TestHandOver::callRunsOnUiThreadUnlessStopped_data() {
    QTest::addColumn<int>("stop");
    QTest::addColumn<int>("expectedCalls");
    QTest::newRow("not stopped") << int(never) << 1;
    QTest::newRow("stopped before posting") << int(beforePosting) << 0;
    QTest::newRow("stopped while posted") << int(whilePosted) << 0;
    QTest::newRow("stopped inside the call") << int(insideCall) << 1;
}

void TestHandOver::callRunsOnUiThreadUnlessStopped() {
    QFETCH(int, stop);
    QFETCH(int, expectedCalls);
    ThreadShared shared;
    HandOver handOver;
    QVERIFY(handOver.create().ok());
    HandOverRelay relay(handOver);
    Record r;
    r.handOver = &handOver;
    r.stopInside = stop == insideCall;
    record = &r;
    if (stop == beforePosting)
        QVERIFY(!handOver.stop());
    std::atomic<bool> resumed{false};
    std::atomic<bool> finishedAtResume{false};
    std::thread waiter([&] {
        handOver.run(recordingCall, shared, 42);
        finishedAtResume = r.callFinished.load();
        resumed = true;
    });
    if (stop == whilePosted) {
        QVERIFY(readable(handOver.descriptor()));
        QVERIFY(!handOver.stop());
    }
    QTRY_VERIFY(resumed.load());
    waiter.join();
    QTest::qWait(20); // a dropped call would run now
    relay.detach();
    QCOMPARE(r.calls.load(), expectedCalls);
    QCOMPARE(r.stoppedInside.load(), stop == insideCall);
    if (expectedCalls == 1) {
        QCOMPARE(r.argument.load(), 42);
        QVERIFY(r.onUiThread.load());
        QVERIFY(finishedAtResume.load());
    }
}

void TestHandOver::servedInNestedEventLoop() {
    Nested n;
    nested = &n;
    QVERIFY(n.outer.create().ok());
    QVERIFY(n.inner.create().ok());
    HandOverRelay outerRelay(n.outer);
    HandOverRelay innerRelay(n.inner);
    std::atomic<bool> resumed{false};
    std::thread outerWaiter([&] {
        n.outer.run(outerCall, n.shared, 0);
        resumed = true;
    });
    QTRY_VERIFY(resumed.load());
    outerWaiter.join();
    n.innerWaiter.join();
    QVERIFY(n.innerRanDuringOuter.load());
}

QTEST_MAIN(TestHandOver)
#include "tst_handover.moc"
