// TComSignal: lighting and the off-delay, hooking into a port's handlers and passing calls
// on, unhooking, and the port or control going away.

#include "pty_pair.h"
#include "serial/comsignal.h"

#include <QElapsedTimer>
#include <QTest>
#include <QWidget>

#include <memory>
#include <tuple>

using namespace std::chrono_literals;

namespace {

const QColor kGreen(0, 128, 0);
const QColor kLime(0, 255, 0);

QColor colourOf(const QWidget& w) {
    return w.palette().color(QPalette::Window);
}

// The port's own handlers, as a form would set them, recording every call.
struct PortHandlers {
    QStringList calls;
    const void* lastBuffer = nullptr;
    int lastLength = -1;
    TLineErrors lastErrors = 0;

    void attach(TCustomComPort& port) {
        auto notify = [this](const char* name) {
            return TNotifyEvent(this, 0, [this, name](QObject*) { calls.append(name); });
        };
        port.SetOnRxChar(notify("RxChar"));
        port.SetOnBreak(notify("Break"));
        port.SetOnCTSChange(notify("CTSChange"));
        port.SetOnTxEmpty(notify("TxEmpty"));
        port.SetOnLineError(TLineErrorEvent(this, 1, [this](QObject*, TLineErrors e) {
            calls.append("LineError");
            lastErrors = e;
        }));
        auto rw = [this](const char* name) {
            return TReadWriteEvent(this, 2, [this, name](QObject*, const void* b, int n, bool) {
                calls.append(name);
                lastBuffer = b;
                lastLength = n;
            });
        };
        port.BeforeWrite = rw("BeforeWrite");
        port.AfterWrite = rw("AfterWrite");
        port.AfterOpen =
            TOpenCloseEvent(this, 3, [this](TCustomComPort*) { calls.append("AfterOpen"); });
        port.AfterClose =
            TOpenCloseEvent(this, 4, [this](TCustomComPort*) { calls.append("AfterClose"); });
    }
};

// Calls the handler that a signal kind takes over, as the port would.
void fire(TCustomComPort& port, TSignal s) {
    static const std::uint8_t byte = 0;
    switch (s) {
    case siRxChar:
        port.OnRxChar()(&port);
        break;
    case siBreak:
        port.OnBreak()(&port);
        break;
    case siCTS:
        port.OnCTSChange()(&port);
        break;
    case siTxEmpty:
        port.OnTxEmpty()(&port);
        break;
    case siLineError:
        port.OnLineError()(&port, TLineErrors(1U << leFrame));
        break;
    case siTxChar:
        port.BeforeWrite(&port, &byte, 1, false);
        port.AfterWrite(&port, &byte, 1, false);
        break;
    default:
        break;
    }
}

struct Indicator {
    QWidget panel;
    TComSignal signal;
    int onSignalCalls = 0;
    Indicator(TCustomComPort* port, TSignal kind, std::chrono::milliseconds delay = 100ms) {
        signal.SetSignal(kind);
        signal.SetDelay(delay);
        signal.SetControl(&panel);
        signal.OnSignal = Handler<void(QObject*)>(this, 1, [this](QObject*) { ++onSignalCalls; });
        signal.SetComPort(port);
    }
};

} // namespace

class TestComSignal : public QObject {
    Q_OBJECT
private slots:
    void defaults();
    void indicatorWithoutPortNeverLit();
    void txLitDuringBurstAndDarkAfterIt();
    void rxLitBeforeTheFormHandlerRuns();
    void eventWhileLitRestartsTheDelay();
    void hooksPassCallsOn_data();
    void hooksPassCallsOn();
    void unhookingInReverseOrderRestores();
    void unhookingOutOfOrderKeepsTheChain();
    void removedComponentIsDropped_data();
    void removedComponentIsDropped();
    void colorOnChangeWaitsForNextChange();
    void delayChangeUsedForNextOffDelay();
    void openAndCloseSwitchOff();
    void levelSignalOnTtyWithoutModemLines();
    void mainWindowSetUp_data();
    void mainWindowSetUp();
};

void TestComSignal::defaults() {
    TComSignal s;
    QCOMPARE(s.ColorOff(), kGreen);
    QCOMPARE(s.ColorOn(), kLime);
    QCOMPARE(s.Delay(), 100ms);
    QCOMPARE(s.Signal(), siNone);
    QVERIFY(!s.SignalValue());
    QVERIFY(s.ComPort() == nullptr);
    QVERIFY(s.TimerActive());
    QCOMPARE(s.About(), TComPort().About());
}

void TestComSignal::indicatorWithoutPortNeverLit() {
    Indicator ind(nullptr, siRxChar);
    QCOMPARE(colourOf(ind.panel), kGreen);
    QVERIFY(ind.panel.autoFillBackground());
    QTRY_VERIFY(!ind.signal.TimerActive());
    QVERIFY(!ind.signal.SignalValue());
    QCOMPARE(ind.onSignalCalls, 0);
}

void TestComSignal::txLitDuringBurstAndDarkAfterIt() {
    PtyPair pty;
    TComPort port;
    port.SetDeviceName(pty.slavePath());
    Indicator tx(&port, siTxChar);
    port.Open();
    for (int i = 0; i < 10; ++i) {
        port.WriteByte(std::uint8_t(i));
        QVERIFY(tx.signal.SignalValue());
        QCOMPARE(colourOf(tx.panel), kLime);
        QTest::qWait(30);
        QVERIFY2(tx.signal.SignalValue(), "went dark between writes 30 ms apart");
    }
    QElapsedTimer sinceLast;
    port.WriteByte(0xFF);
    sinceLast.start();
    QTRY_VERIFY(!tx.signal.SignalValue());
    QVERIFY(sinceLast.elapsed() >= 90);
    QCOMPARE(colourOf(tx.panel), kGreen);
    QCOMPARE(tx.onSignalCalls, 2);
}

void TestComSignal::rxLitBeforeTheFormHandlerRuns() {
    PtyPair pty;
    TComPort port;
    port.SetDeviceName(pty.slavePath());
    Indicator* rx = nullptr;
    int handled = 0;
    bool litInHandler = false;
    port.SetOnRxChar(TNotifyEvent(this, 1, [&](QObject*) {
        ++handled;
        litInHandler = rx->signal.SignalValue() && colourOf(rx->panel) == kLime;
        static_cast<void>(port.ReadByte());
    }));
    Indicator rxIndicator(&port, siRxChar);
    rx = &rxIndicator;
    port.Open();
    pty.send("\xAA");
    QTRY_COMPARE(handled, 1);
    QVERIFY(litInHandler);
    QTRY_VERIFY(!rx->signal.SignalValue());
    pty.send("\xAA");
    QTRY_COMPARE(handled, 2);
    QVERIFY(litInHandler);
}

void TestComSignal::eventWhileLitRestartsTheDelay() {
    TComPort port;
    Indicator ind(&port, siRxChar, 400ms);
    QElapsedTimer clock;
    clock.start();
    fire(port, siRxChar);
    QCOMPARE(ind.onSignalCalls, 1);
    QTest::qWait(150);
    fire(port, siRxChar);
    QCOMPARE(ind.onSignalCalls, 1); // already lit: no repaint, no OnSignal
    QTest::qWait(int(std::max<qint64>(0, 450 - clock.elapsed())));
    QVERIFY2(ind.signal.SignalValue(), "the second event did not restart the off-delay");
    QTRY_VERIFY(!ind.signal.SignalValue());
    QVERIFY(clock.elapsed() >= 540);
    QCOMPARE(ind.onSignalCalls, 2);
}

void TestComSignal::hooksPassCallsOn_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("passedOn");
    QTest::addColumn<bool>("lights");
    QTest::newRow("Rx") << int(siRxChar) << "RxChar" << true;
    QTest::newRow("break") << int(siBreak) << "Break" << true;
    QTest::newRow("Tx empty") << int(siTxEmpty) << "TxEmpty" << true;
    QTest::newRow("line error") << int(siLineError) << "LineError" << true;
    QTest::newRow("Tx") << int(siTxChar) << "BeforeWrite,AfterWrite" << true;
    QTest::newRow("CTS level (port closed)") << int(siCTS) << "CTSChange" << false;
}

void TestComSignal::hooksPassCallsOn() {
    QFETCH(int, kind);
    QFETCH(QString, passedOn);
    QFETCH(bool, lights);
    TComPort port;
    PortHandlers form;
    form.attach(port);
    const TNotifyEvent formRx = port.OnRxChar();
    Indicator ind(&port, TSignal(kind));
    fire(port, TSignal(kind));
    QCOMPARE(form.calls.join(','), passedOn);
    QCOMPARE(ind.signal.SignalValue(), lights);
    if (kind == siLineError)
        QCOMPARE(form.lastErrors, TLineErrors(1U << leFrame));
    if (kind == siTxChar)
        QCOMPARE(form.lastLength, 1);
    // Only the taken-over slot and the open/close pair are replaced.
    QCOMPARE(port.OnRxChar() == formRx, kind != siRxChar);
    form.calls.clear();
    port.AfterOpen(&port);
    port.AfterClose(&port);
    QCOMPARE(form.calls.join(','), QString("AfterOpen,AfterClose"));
}

void TestComSignal::unhookingInReverseOrderRestores() {
    TComPort port;
    PortHandlers form;
    form.attach(port);
    const TOpenCloseEvent formAfterOpen = port.AfterOpen;
    const TNotifyEvent formRx = port.OnRxChar();
    const TReadWriteEvent formBeforeWrite = port.BeforeWrite;
    auto tx = std::make_unique<Indicator>(&port, siTxChar);
    const TOpenCloseEvent txAfterOpen = port.AfterOpen;
    auto rx = std::make_unique<Indicator>(&port, siRxChar);
    QVERIFY(!(port.AfterOpen == txAfterOpen));
    QVERIFY(!(port.OnRxChar() == formRx));
    QVERIFY(!(port.BeforeWrite == formBeforeWrite));
    rx->signal.SetComPort(nullptr);
    QVERIFY(port.AfterOpen == txAfterOpen);
    QVERIFY(port.OnRxChar() == formRx);
    tx.reset();
    QVERIFY(port.AfterOpen == formAfterOpen);
    QVERIFY(port.BeforeWrite == formBeforeWrite);
    QCOMPARE(port.EventMask() & 0x0001U, 0x0001U);
}

void TestComSignal::unhookingOutOfOrderKeepsTheChain() {
    TComPort port;
    PortHandlers form;
    form.attach(port);
    auto first = std::make_unique<Indicator>(&port, siRxChar);
    Indicator second(&port, siRxChar);
    first.reset(); // its hook stays in the chain, saved by the second indicator
    fire(port, siRxChar);
    QCOMPARE(form.calls, QStringList{"RxChar"});
    QVERIFY(second.signal.SignalValue());
    second.signal.SetComPort(nullptr);
    form.calls.clear();
    fire(port, siRxChar);
    QCOMPARE(form.calls, QStringList{"RxChar"});
}

void TestComSignal::removedComponentIsDropped_data() {
    QTest::addColumn<bool>("removePort");
    QTest::newRow("port") << true;
    QTest::newRow("control") << false;
}

void TestComSignal::removedComponentIsDropped() {
    QFETCH(bool, removePort);
    PtyPair pty;
    auto port = std::make_unique<TComPort>();
    port->SetDeviceName(pty.slavePath());
    TComSignal signal;
    auto panel = std::make_unique<QWidget>();
    signal.SetSignal(siTxChar);
    signal.SetControl(panel.get());
    signal.SetComPort(port.get());
    port->Open();
    port->WriteByte(1);
    QVERIFY(signal.SignalValue());
    if (removePort) {
        port.reset();
        QVERIFY(signal.ComPort() == nullptr);
        QVERIFY(!signal.SignalValue());
        QCOMPARE(colourOf(*panel), kGreen);
        QVERIFY(!signal.TimerActive());
    } else {
        panel.reset();
        QVERIFY(signal.Control() == nullptr);
        port->WriteByte(2);
        QTRY_VERIFY(!signal.SignalValue());
    }
    QTest::qWait(150);
}

void TestComSignal::colorOnChangeWaitsForNextChange() {
    TComPort port;
    Indicator ind(&port, siRxChar);
    fire(port, siRxChar);
    ind.signal.SetColorOn(Qt::red);
    fire(port, siRxChar);
    QCOMPARE(colourOf(ind.panel), kLime);
    QTRY_COMPARE(colourOf(ind.panel), kGreen);
    fire(port, siRxChar);
    QCOMPARE(colourOf(ind.panel), QColor(Qt::red));
    ind.signal.SetColorOff(Qt::blue); // a change of ColorOff repaints at once
    QTRY_COMPARE(colourOf(ind.panel), QColor(Qt::blue));
}

void TestComSignal::delayChangeUsedForNextOffDelay() {
    TComPort port;
    Indicator ind(&port, siBreak);
    ind.signal.SetDelay(350ms);
    QElapsedTimer clock;
    clock.start();
    fire(port, siBreak);
    QTest::qWait(200);
    QVERIFY(ind.signal.SignalValue());
    QTRY_VERIFY(!ind.signal.SignalValue());
    QVERIFY(clock.elapsed() >= 330);
}

void TestComSignal::openAndCloseSwitchOff() {
    PtyPair pty;
    TComPort port;
    port.SetDeviceName(pty.slavePath());
    PortHandlers form;
    form.attach(port);
    Indicator ind(&port, siRxChar, 5000ms);
    fire(port, siRxChar);
    QVERIFY(ind.signal.SignalValue());
    port.Open();
    QVERIFY(!ind.signal.SignalValue());
    fire(port, siRxChar);
    port.Close();
    QVERIFY(!ind.signal.SignalValue());
    QVERIFY(form.calls.contains("AfterOpen"));
    QVERIFY(form.calls.contains("AfterClose"));
}

void TestComSignal::levelSignalOnTtyWithoutModemLines() {
    PtyPair pty;
    TComPort port;
    port.SetDeviceName(pty.slavePath());
    Indicator cts(&port, siCTS);
    port.Open(); // a pseudo-terminal has no modem lines: shown off, the open goes through
    QVERIFY(port.Active());
    QVERIFY(!cts.signal.SignalValue());
    QCOMPARE(port.EventMask(), 0x0008U);
}

void TestComSignal::mainWindowSetUp_data() {
    QTest::addColumn<bool>("bracketed"); // BeginLoading first, or the port assigned first
    QTest::newRow("loading bracket") << true;
    QTest::newRow("port before kind, then FinishLoading") << false;
}

void TestComSignal::mainWindowSetUp() {
    QFETCH(bool, bracketed);
    PtyPair pty;
    TComPort comm;
    QWidget txPanel;
    QWidget rxPanel;
    TComSignal comSignal1;
    TComSignal comSignal2;
    comm.SetDeviceName(pty.slavePath());
    int received = 0;
    bool rxLit = false;
    comm.SetOnRxChar(TNotifyEvent(this, 7, [&](QObject*) {
        ++received;
        rxLit = colourOf(rxPanel) == kLime;
        static_cast<void>(comm.ReadByte());
    }));
    for (auto [signal, kind, panel] : {std::tuple{&comSignal1, siTxChar, &txPanel},
                                       std::tuple{&comSignal2, siRxChar, &rxPanel}}) {
        if (bracketed)
            signal->BeginLoading();
        signal->SetComPort(&comm);
        signal->SetControl(panel);
        signal->SetSignal(kind);
        signal->FinishLoading();
    }
    comm.Open();
    comm.WriteByte(0x55);
    QCOMPARE(colourOf(txPanel), kLime);
    QCOMPARE(colourOf(rxPanel), kGreen);
    pty.send("\xAA");
    QTRY_COMPARE(received, 1);
    QVERIFY(rxLit);
    QTRY_COMPARE(colourOf(txPanel), kGreen);
    QTRY_COMPARE(colourOf(rxPanel), kGreen);
    // Unhooked in reverse order, the port has the form's handler back.
    comSignal2.SetComPort(nullptr);
    comSignal1.SetComPort(nullptr);
    QVERIFY(!comm.AfterOpen);
    QCOMPARE(comm.OnRxChar().object(), static_cast<const void*>(this));
}

QTEST_MAIN(TestComSignal)
#include "tst_comsignal.moc"
