// The main window with its encoder behind ser2net: the server stops in the middle of
// "Leer Equipo".

#include "encoder_session.h"

#include "serial/comport.h"

#include <QTest>

#include <thread>

using namespace std::chrono_literals;
using Kind = ScriptedDialogs::Kind;
using Bridge = SessionOptions::Bridge;

Q_DECLARE_METATYPE(Bridge)

class TestNetworkSession : public QObject {
    Q_OBJECT
private slots:
    void serverStopsDuringWholeRead_data();
    void serverStopsDuringWholeRead();
};

void TestNetworkSession::serverStopsDuringWholeRead_data() {
    QTest::addColumn<Bridge>("bridge");
    QTest::newRow("raw tcp") << Bridge::RawTcp;
    QTest::newRow("telnet rfc2217") << Bridge::Rfc2217;
}

void TestNetworkSession::serverStopsDuringWholeRead() {
    QFETCH(Bridge, bridge);
    Memory m{};
    m.fill(0x5A);
    // Paced: the first half takes half a second to arrive, so the stop falls inside it.
    EncoderSession s(
        SessionOptions().withMemory(m).withPacing().through(bridge).withTimer1(2000ms));
    QVERIFY(s.form().port().Active());
    const Memory before = s.deviceMap();
    // The window's thread is inside the read's handler while the reply arrives: the server
    // is stopped from another thread, a fifth of a second into the first half, as when the
    // site's computer loses power (no orderly shutdown that would still pass data on).
    std::thread stopper([&s] {
        const auto end = std::chrono::steady_clock::now() + 5s;
        while (s.encoder().framesReceived() < 1 && std::chrono::steady_clock::now() < end)
            std::this_thread::sleep_for(1ms);
        std::this_thread::sleep_for(200ms);
        s.bridge()->kill();
    });
    s.trigger("LeerEquipo1");
    QVERIFY(s.waitFor([&s] { return s.encoder().framesReceived() >= 1; }));
    stopper.join();
    QVERIFY(s.waitFor([&s] { return !s.form().port().Active(); }));
    QVERIFY(s.waitIdle());
    QCOMPARE(s.deviceMap(), before);
    s.settle(2500ms);
    QCOMPARE(s.dialogs().count(Kind::Plain), 0);
    // The line going down ends the read, reported once.
    QCOMPARE(s.dialogs().count(Kind::Error), 1);
    QCOMPARE(s.encoder().framesReceived(), 1);
    QCOMPARE(s.dialogs().count(Kind::StandardError), 0);
    QVERIFY(s.idle());
}

QTEST_MAIN(TestNetworkSession)
#include "tst_network_session.moc"
