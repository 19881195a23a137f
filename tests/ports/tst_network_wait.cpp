// A network port opened from the window: the window keeps painting while it connects and
// offers to cancel; a dropped connection comes back by itself.

#include "fake_server.h"

#include "network_wait.h"
#include "port_reconnect.h"
#include "serial/comport.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <cerrno>

using namespace std::chrono_literals;

class TestNetworkWait : public QObject {
    Q_OBJECT
private slots:
    void openWaitsOffTheUiThread();
    void droppedConnectionComesBack();
};

void TestNetworkWait::openWaitsOffTheUiThread() {
    FullListener unreachable;
    const std::string address = "127.0.0.1:" + std::to_string(unreachable.port());
    quillmark::serial::ScopedNetworkWaiter waiter([](const std::string& a,
                                                     const std::function<void()>& work,
                                                     const std::function<void()>& cancel) {
        waitShowingProgress(nullptr, a, work, cancel, NetworkWaitScope::kShowAfter);
    });
    QElapsedTimer clock;
    qint64 last = 0;
    qint64 longestStall = 0;
    QTimer tick;
    connect(&tick, &QTimer::timeout, [&] {
        longestStall = std::max(longestStall, clock.elapsed() - last);
        last = clock.elapsed();
    });
    QString shown;
    QTimer::singleShot(800, [&] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* cancel = w->findChild<QPushButton*>(QStringLiteral("CancelConnect"));
                cancel != nullptr && w->isVisible()) {
                shown = w->findChild<QLabel*>()->text();
                cancel->click();
            }
    });
    clock.start();
    tick.start(5);
    TComPort port;
    port.SetDeviceName("tcp://" + address);
    try {
        port.Open();
        QFAIL("an unreachable server opened");
    } catch (const EComError& e) {
        QCOMPARE(e.ErrorCode, ECANCELED);
        QCOMPARE(
            QString::fromUtf8(e.what()),
            QString::fromStdString(quillmark::serial::connectFailureText(address, ECANCELED, {})));
    }
    QCOMPARE(shown, QString::fromStdString("Conectando con " + address + "..."));
    QVERIFY(clock.elapsed() < 2000); // cancelled, not timed out
    QVERIFY2(longestStall < 250, qPrintable(QString::number(longestStall)));
}

void TestNetworkWait::droppedConnectionComesBack() {
    FakeServer server;
    TComPort port;
    int rxChars = 0; // the event thread sees the hang-up while it watches for characters
    port.SetOnRxChar(TNotifyEvent(this, 1, [&rxChars](QObject*) { ++rxChars; }));
    port.SetDeviceName("tcp://127.0.0.1:" + std::to_string(server.port()));
    PortReconnect reconnect(port, nullptr);
    reconnect.setRetryUnit(20ms);
    connect(&port, &TComPort::HungUp, &reconnect, &PortReconnect::portHungUp);
    QSignalSpy reopened(&reconnect, &PortReconnect::reopened);
    port.Open();
    QVERIFY(server.accept());
    server.drop();
    QVERIFY(QTest::qWaitFor([&] { return !port.Active(); }, 5000));
    QCOMPARE(reconnect.awaited(), port.DeviceName());
    QVERIFY(QTest::qWaitFor([&] { return reopened.count() == 1; }, 5000));
    QVERIFY(port.Active());
    QVERIFY(server.accept()); // the probe that found the server back
    QVERIFY(server.accept()); // the port's own connection
    QVERIFY(reconnect.awaited().empty());

    // Another pick while waiting stops it.
    server.drop();
    QVERIFY(QTest::qWaitFor([&] { return !port.Active(); }, 5000));
    QVERIFY(!reconnect.awaited().empty());
    port.SetDeviceName("tcp://127.0.0.1:1");
    QTest::qWait(200);
    QCOMPARE(reopened.count(), 1);
    QVERIFY(reconnect.awaited().empty());
}

QTEST_MAIN(TestNetworkWait)
#include "tst_network_wait.moc"
