// Line events and line errors through the platform seam (a fake device), where a
// pseudo-terminal has no counters or modem lines, and Close discarding unsent output.

#include "fake_port.h"
#include "pty_pair.h"
#include "serial/comport.h"
#include "serial/serial_line_watch.h"

#include <QElapsedTimer>
#include <QTest>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <ctime>
#include <functional>
#include <poll.h>

using namespace std::chrono_literals;
using Counters = quillmark::serial::LineCounters;

namespace {

struct Opened {
    std::shared_ptr<FakeDevice> device = std::make_shared<FakeDevice>();
    FakePortFactory factory{device};
    TComPort port;
    Opened() { port.SetDeviceName("/dev/fake"); }
};

// Assigns the handler named like the row's slot; every call appends its name to `seen`.
void assign(TComPort& port, const QString& slot, QStringList& seen) {
    const auto note = [&seen, slot](QObject*) { seen << slot; };
    const std::map<QString, std::function<void()>> setters{
        {"CTS", [&] { port.SetOnCTSChange(TNotifyEvent(&seen, 1, note)); }},
        {"DSR", [&] { port.SetOnDSRChange(TNotifyEvent(&seen, 2, note)); }},
        {"Ring", [&] { port.SetOnRing(TNotifyEvent(&seen, 3, note)); }},
        {"RLSD", [&] { port.SetOnRLSDChange(TNotifyEvent(&seen, 4, note)); }},
        {"Break", [&] { port.SetOnBreak(TNotifyEvent(&seen, 5, note)); }},
        {"TxEmpty", [&] { port.SetOnTxEmpty(TNotifyEvent(&seen, 6, note)); }},
        {"LineError",
         [&] {
             port.SetOnLineError(TLineErrorEvent(
                 &seen, 7, [&seen](QObject*, TLineErrors e) { seen << QString::number(e); }));
         }},
    };
    setters.at(slot)();
}

void bump(Counters& c, const QString& counter) {
    const std::map<QString, std::uint32_t*> fields{
        {"cts", &c.cts}, {"dsr", &c.dsr},     {"ring", &c.ring},       {"rlsd", &c.rlsd},
        {"brk", &c.brk}, {"frame", &c.frame}, {"overrun", &c.overrun}, {"parity", &c.parity}};
    ++*fields.at(counter);
}

// A driver's drain: ends early only when a signal interrupts it, or never.
std::atomic<bool> drainWaiting{false};
std::atomic<bool> drainReturned{false};
std::atomic<bool> drainIgnoresSignals{false};

int slowDrain(int) {
    drainWaiting = true;
    int rc = 0;
    if (drainIgnoresSignals) {
        timespec left{1, 500'000'000};
        while (::clock_nanosleep(CLOCK_MONOTONIC, 0, &left, &left) == EINTR) {
        }
    } else {
        const timespec limit{3, 0};
        rc = ::ppoll(nullptr, 0, &limit, nullptr);
    }
    drainReturned = true;
    return rc;
}

} // namespace

class TestComPortLines : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { baselineThreads_ = threadCount(); }
    void lineEvents_data();
    void lineEvents();
    void lineErrorsAreClearedWithoutAHandler();
    void closeDiscardsUnsentOutput();
    void outputDrainedOnAPseudoTerminal();
    void handlerChangesKeepTheWatch();
    void countersAskedOnceWhereUnsupported_data();
    void countersAskedOnceWhereUnsupported();
    void stopIsBounded_data();
    void stopIsBounded();

private:
    int baselineThreads_ = 0;
};

void TestComPortLines::lineEvents_data() {
    QTest::addColumn<QString>("slot");
    QTest::addColumn<QString>("counter"); // bumped before the event; empty for none
    QTest::addColumn<QString>("wake");    // "line", "drained" or "data"
    QTest::addColumn<QStringList>("seen");
    QTest::addColumn<bool>("watchesModemLines");
    QTest::addColumn<bool>("watchesOutput");

    const auto once = [](const char* s) { return QStringList(s); };
    QTest::newRow("CTS") << "CTS"
                         << "cts"
                         << "line" << once("CTS") << true << false;
    QTest::newRow("DSR") << "DSR"
                         << "dsr"
                         << "line" << once("DSR") << true << false;
    QTest::newRow("RING") << "Ring"
                          << "ring"
                          << "line" << once("Ring") << true << false;
    QTest::newRow("RLSD") << "RLSD"
                          << "rlsd"
                          << "line" << once("RLSD") << true << false;
    QTest::newRow("another line changed") << "CTS"
                                          << "dsr"
                                          << "line" << QStringList() << true << false;
    QTest::newRow("BREAK with its character") << "Break"
                                              << "brk"
                                              << "data" << once("Break") << false << false;
    QTest::newRow("characters only") << "Break"
                                     << ""
                                     << "data" << QStringList() << false << false;
    QTest::newRow("overrun") << "LineError"
                             << "overrun"
                             << "data" << QStringList(QString::number(1 << leOverrun)) << false
                             << false;
    QTest::newRow("TXEMPTY") << "TxEmpty"
                             << ""
                             << "drained" << once("TxEmpty") << false << true;
    QTest::newRow("no TXEMPTY without draining") << "TxEmpty"
                                                 << ""
                                                 << "line" << QStringList() << false << true;
}

void TestComPortLines::lineEvents() {
    QFETCH(QString, slot);
    QFETCH(QString, counter);
    QFETCH(QString, wake);
    QFETCH(QStringList, seen);
    QFETCH(bool, watchesModemLines);
    QFETCH(bool, watchesOutput);

    Opened o;
    QStringList calls;
    assign(o.port, slot, calls);
    o.port.Open();
    QCOMPARE(o.device->watching.modemLines, watchesModemLines);
    QCOMPARE(o.device->watching.outputDrained, watchesOutput);
    if (!counter.isEmpty())
        bump(o.device->counters, counter);
    if (wake == "data")
        o.device->arrive(QByteArray(1, 0));
    else
        o.device->lineEvent(wake == "drained");
    if (seen.isEmpty())
        QTest::qWait(100);
    else
        QTRY_COMPARE_WITH_TIMEOUT(calls, seen, 2000);
    QCOMPARE(calls, seen);
    o.port.Close();
    QCOMPARE(o.device->notifyFd, -1); // nothing writes to the event thread's descriptor
}

void TestComPortLines::lineErrorsAreClearedWithoutAHandler() {
    Opened o;
    o.port.Open();
    ++o.device->counters.frame;
    o.port.WriteByte(1); // fetches the errors: nobody is told
    QList<TLineErrors> reported;
    o.port.SetOnLineError(
        TLineErrorEvent(this, 1, [&](QObject*, TLineErrors e) { reported << e; }));
    o.port.WriteByte(2);
    QCOMPARE(reported, QList<TLineErrors>());
    ++o.device->counters.parity;
    o.port.WriteByte(3);
    QCOMPARE(reported, QList<TLineErrors>{TLineErrors(1U << leParity)});
}

void TestComPortLines::closeDiscardsUnsentOutput() {
    Opened o;
    o.port.Open();
    o.port.WriteByte(0x55);
    o.device->calls.clear();
    o.port.Close();
    QCOMPARE(o.device->calls, QStringList({"purge output", "close"}));
}

// A real tty behind the port: the output watch of the tty backend, and a clean stop.
void TestComPortLines::outputDrainedOnAPseudoTerminal() {
    PtyPair pty;
    TComPort port;
    port.SetDeviceName(pty.slavePath());
    int drained = 0;
    port.SetOnTxEmpty(TNotifyEvent(this, 1, [&](QObject*) { ++drained; }));
    port.SetOnCTSChange(TNotifyEvent(this, 2, [](QObject*) {})); // a pty cannot: no failure
    // Threads of earlier cases end on their own, some not yet named when they are stopped:
    // only a count tells that they have all gone.
    QTRY_COMPARE(threadCount(), baselineThreads_);
    port.Open();
    QTRY_VERIFY(threadIdNamed("ComThread") != -1);
    QTRY_VERIFY(threadIdNamed("OutputWatch") != -1);
    QCOMPARE(threadIdNamed("ModemWatch"), -1);
    QTest::qWait(50);
    QCOMPARE(drained, 0);
    port.WriteByte(0x41);
    QTRY_COMPARE_WITH_TIMEOUT(drained, 1, 2000);
    QCOMPARE(pty.receive(1, 1s), QByteArray("A"));
    port.SetOnTxEmpty({});
    QCOMPARE(threadIdNamed("OutputWatch"), -1);
    QVERIFY(threadIdNamed("ComThread") != -1);
}

// Restarting the watch threads costs the UI thread milliseconds: only a change of what is
// watched does it.
void TestComPortLines::handlerChangesKeepTheWatch() {
    Opened o;
    o.port.SetOnTxEmpty(TNotifyEvent(this, 1, [](QObject*) {}));
    o.port.Open();
    QCOMPARE(o.device->watchStarts, 1);
    o.port.SetOnRxChar(TNotifyEvent(this, 2, [](QObject*) {}));
    o.port.SetOnBreak(TNotifyEvent(this, 3, [](QObject*) {}));
    QCOMPARE(o.device->watchStarts, 1);
    o.port.SetOnCTSChange(TNotifyEvent(this, 4, [](QObject*) {}));
    QCOMPARE(o.device->watchStarts, 2);
    QVERIFY(o.device->watching.modemLines && o.device->watching.outputDrained);
}

void TestComPortLines::countersAskedOnceWhereUnsupported_data() {
    QTest::addColumn<int>("error");
    QTest::addColumn<bool>("askedAgain");
    QTest::newRow("ENOTTY") << ENOTTY << false;
    QTest::newRow("EINVAL") << EINVAL << false;
    QTest::newRow("ENOIOCTLCMD") << 515 << false;
    QTest::newRow("EIO may pass") << EIO << true;
}

void TestComPortLines::countersAskedOnceWhereUnsupported() {
    QFETCH(int, error);
    QFETCH(bool, askedAgain);
    Opened o;
    o.device->countersError = error;
    o.port.Open();
    o.port.SetOnCTSChange(TNotifyEvent(this, 1, [](QObject*) {}));
    QCOMPARE(o.device->watching.modemLines, askedAgain);
    const int afterOpen = o.device->counterReads;
    for (int i = 0; i < 3; ++i)
        o.port.WriteByte(1);
    QCOMPARE(o.device->counterReads > afterOpen, askedAgain);
    o.port.Close();
    o.port.Open(); // another device may stand behind the name now
    QVERIFY(o.device->counterReads > afterOpen);
}

void TestComPortLines::stopIsBounded_data() {
    QTest::addColumn<bool>("ignoresSignals");
    QTest::newRow("the opening thread blocks every signal") << false;
    QTest::newRow("the driver's wait ignores signals") << true;
}

void TestComPortLines::stopIsBounded() {
    QFETCH(bool, ignoresSignals);
    drainWaiting = false;
    drainReturned = false;
    drainIgnoresSignals = ignoresSignals;
    auto waits = quillmark::serial::ttyLineWaits();
    waits.drainOutput = slowDrain;
    sigset_t all;
    sigset_t before;
    sigfillset(&all);
    ::pthread_sigmask(SIG_BLOCK, &all, &before);
    quillmark::serial::LineWatcher watcher(-1, -1, waits);
    const auto started = watcher.start({false, true});
    ::pthread_sigmask(SIG_SETMASK, &before, nullptr);
    QVERIFY(started.ok());
    watcher.noteWrite();
    QTRY_VERIFY(drainWaiting);
    QElapsedTimer clock;
    clock.start();
    watcher.stop();
    QCOMPARE_LT(clock.elapsed(), 1000);
    // A wait that signals end has ended; the other is left to end on its own.
    QCOMPARE(drainReturned.load(), !ignoresSignals);
}

QTEST_GUILESS_MAIN(TestComPortLines)
#include "tst_comport_lines.moc"
