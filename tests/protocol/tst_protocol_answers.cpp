// The encoder's answers and their absence: status colour over time, button lock, time-out
// boxes, late and stray bytes, a closed port and a hang-up.

#include "encoder_session.h"

#include "core/field_encodings.h"
#include "serial/comport.h"
#include "vcl_timer.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTabWidget>

#include "control_adapters.h"
#include <QTest>

using namespace std::chrono_literals;
using Kind = ScriptedDialogs::Kind;
using quillmark::sim::Fault;
using quillmark::sim::FaultKind;

namespace {

// A PI of Frame 1 whose bytes differ from the start-up values.
void choosePi(EncoderSession& s) {
    s.select("FramePI", 0);
    s.select("Country", 4);
    s.select("Coverage", 7);
    s.select("Mat1", 0x3C);
}

const Bytes kChosenPi = bytesOf({0x57, 0x3C});

void sendPi(EncoderSession& s) {
    choosePi(s);
    s.dialogs().queueAnswer(Dialogs::Answer::Yes);
    s.click("EnviaPI");
}

} // namespace

class TestProtocolAnswers : public QObject {
    Q_OBJECT
private slots:
    void answerColours_data();
    void answerColours();
    void successColourHeldForRealInterval();
    void unansweredWriteTimesOut();
    void unansweredWriteAtRealInterval();
    void lateAnswerStillTaken();
    void declinedWriteSendsNothing_data();
    void declinedWriteSendsNothing();
    void radioTextFailedChunkEndsRed_data();
    void radioTextFailedChunkEndsRed();
    void silentChunkEndsTheChain_data();
    void silentChunkEndsTheChain();
    void nextStartEndsOutstanding_data();
    void nextStartEndsOutstanding();
    void failureAnswerDiscardsInput();
    void programmingHoldsColourPerChunk();
    void staleInputBeforeOpenIsDiscarded();
    void shortReplyEndsRead_data();
    void shortReplyEndsRead();
    void strayByteIsDiscarded();
    void watchdogAtRealInterval();
    void closedPortStopsBeforeQuestion_data();
    void closedPortStopsBeforeQuestion();
    void hangUpClosesPortSilently_data();
    void hangUpClosesPortSilently();
    void editsSurviveExchanges_data();
    void editsSurviveExchanges();
};

void TestProtocolAnswers::answerColours_data() {
    QTest::addColumn<bool>("fail");
    QTest::addColumn<QColor>("colour");
    QTest::newRow("0xAA") << false << TForm1::clLime;
    QTest::newRow("0x00") << true << TForm1::clRed;
}

void TestProtocolAnswers::answerColours() {
    QFETCH(bool, fail);
    QFETCH(QColor, colour);
    EncoderSession s(SessionOptions().withTimer2(1500ms));
    if (fail)
        s.encoder().addFault({1, FaultKind::FailAnswer, 0, {}});
    sendPi(s);
    QVERIFY(s.waitIdle());
    QCOMPARE(s.form().statusColour(), colour);
    // The map holds what was sent whatever the encoder said.
    QCOMPARE(slice(s.deviceMap(), 0, 2), kChosenPi);
    QCOMPARE(slice(s.encoder().memory(), 0, 2) == kChosenPi, !fail);
    QVERIFY(s.waitFor([&s] { return s.form().statusColour() == TForm1::clGreen; }, 5s));
    QVERIFY(s.idle());
}

void TestProtocolAnswers::successColourHeldForRealInterval() {
    EncoderSession s(SessionOptions().withTimer2(5000ms));
    sendPi(s);
    QVERIFY(s.waitIdle());
    QCOMPARE(s.form().statusColour(), TForm1::clLime);
    s.settle(4000ms);
    QCOMPARE(s.form().statusColour(), TForm1::clLime);
    QVERIFY(s.waitFor([&s] { return s.form().statusColour() == TForm1::clGreen; }, 2000ms));
}

void TestProtocolAnswers::unansweredWriteTimesOut() {
    EncoderSession s;
    s.encoder().addFault({1, FaultKind::NoAnswer, 0, {}});
    sendPi(s);
    QVERIFY(s.buttonsLocked());
    QVERIFY(s.waitFor([&s] { return s.dialogs().count(Kind::Error) == 1; }));
    QCOMPARE(s.dialogs().texts(Kind::Error), QStringList{QStringLiteral("Error de Comunicación")});
    QVERIFY(s.buttonsUnlocked());
    QCOMPARE(int(s.form().sendState()), 1);
    QCOMPARE(s.form().statusColour(), TForm1::clGreen);
    QCOMPARE(slice(s.deviceMap(), 0, 2), kChosenPi);
}

void TestProtocolAnswers::unansweredWriteAtRealInterval() {
    EncoderSession s(SessionOptions().withTimer1(5000ms));
    s.encoder().addFault({1, FaultKind::NoAnswer, 0, {}});
    sendPi(s);
    s.settle(4000ms);
    QCOMPARE(s.dialogs().count(Kind::Error), 0);
    QVERIFY(s.buttonsLocked());
    QVERIFY(s.waitFor([&s] { return s.dialogs().count(Kind::Error) == 1; }, 2000ms));
    QVERIFY(s.buttonsUnlocked());
}

void TestProtocolAnswers::lateAnswerStillTaken() {
    EncoderSession s;
    s.encoder().addFault({1, FaultKind::NoAnswer, 0, {}});
    sendPi(s);
    QVERIFY(s.waitFor([&s] { return s.dialogs().count(Kind::Error) == 1; }));
    s.encoder().inject({0xAA});
    QVERIFY(s.waitFor([&s] { return s.form().sendState() == 0; }));
    QCOMPARE(s.form().statusColour(), TForm1::clLime);
    QVERIFY(s.idle());
}

void TestProtocolAnswers::declinedWriteSendsNothing_data() {
    QTest::addColumn<QString>("command");
    QTest::addColumn<bool>("menu");
    QTest::newRow("PI") << "EnviaPI" << false;
    QTest::newRow("PTY") << "EnviaPTY" << false;
    QTest::newRow("PS") << "EnviaPS" << false;
    QTest::newRow("AF") << "EnviaAF" << false;
    QTest::newRow("RadioText") << "EnviaRT1" << false;
    QTest::newRow("sequence") << "EnviaCONF" << false;
    QTest::newRow("erase") << "BorrarMemoriaEquipo1" << true;
    QTest::newRow("programming") << "Grabartodoelequipo1" << true;
}

void TestProtocolAnswers::declinedWriteSendsNothing() {
    QFETCH(QString, command);
    QFETCH(bool, menu);
    EncoderSession s(SessionOptions().withTimer2(60s));
    sendPi(s); // leaves the panel lime and SendState 0
    QVERIFY(s.waitIdle());
    QCOMPARE(s.form().statusColour(), TForm1::clLime);
    s.encoder().clearLog();
    choosePi(s);
    s.select("Country", 1); // differs from the map, must not reach it
    s.select("FramePS", 1);
    s.select("PSBox", 5);
    const Memory before = s.deviceMap();
    const Memory encoderBefore = s.encoder().memory();
    s.dialogs().queueAnswer(Dialogs::Answer::No);
    if (menu)
        s.trigger(qPrintable(command));
    else
        s.click(qPrintable(command));
    s.settle(200ms);
    QCOMPARE(s.dialogs().count(Kind::Question), 2);
    QVERIFY(s.frames().empty());
    QCOMPARE(s.form().statusColour(), TForm1::clGreen);
    QVERIFY(s.idle());
    QCOMPARE(s.deviceMap(), before);
    QCOMPARE(s.encoder().memory(), encoderBefore);
    QCOMPARE(s.control<QComboBox>("FramePS")->currentIndex(), 1);
    QCOMPARE(s.control<QComboBox>("PSBox")->currentIndex(), 5);
    QVERIFY(s.dialogs().allAnswersUsed());
}

void TestProtocolAnswers::radioTextFailedChunkEndsRed_data() {
    QTest::addColumn<int>("failingChunk"); // 1-based; 0 for none
    QTest::addColumn<QColor>("colour");
    QTest::newRow("all answered 0xAA") << 0 << TForm1::clLime;
    QTest::newRow("first fails") << 1 << TForm1::clRed;
    QTest::newRow("second fails") << 2 << TForm1::clRed;
    QTest::newRow("last fails") << 4 << TForm1::clRed;
}

void TestProtocolAnswers::radioTextFailedChunkEndsRed() {
    QFETCH(int, failingChunk);
    QFETCH(QColor, colour);
    EncoderSession s(SessionOptions().withTimer2(60s));
    if (failingChunk)
        s.encoder().addFault({failingChunk, FaultKind::FailAnswer, 0, {}});
    s.dialogs().queueAnswer(Dialogs::Answer::Yes);
    s.click("EnviaRT1");
    QVERIFY(s.waitIdle());
    const auto frames = s.frames();
    QCOMPARE(frames.size(), std::size_t(4));
    for (int k = 0; k < 4; ++k)
        QCOMPARE(int(frames[k][17]), 40 + 16 * k);
    QCOMPARE(s.form().statusColour(), colour);
    // A later single write starts afresh.
    sendPi(s);
    QVERIFY(s.waitIdle());
    QCOMPARE(s.form().statusColour(), TForm1::clLime);
}

void TestProtocolAnswers::silentChunkEndsTheChain_data() {
    QTest::addColumn<int>("frame"); // the chunk left without an answer
    QTest::addColumn<bool>("hangUp");
    QTest::addColumn<int>("sendState");
    QTest::newRow("second chunk silent") << 2 << false << 2;
    QTest::newRow("last chunk silent") << 4 << false << 1;
    // No late answer can come over a line that went down.
    QTest::newRow("hang-up after the second chunk") << 2 << true << 0;
}

void TestProtocolAnswers::silentChunkEndsTheChain() {
    QFETCH(int, frame);
    QFETCH(bool, hangUp);
    QFETCH(int, sendState);
    EncoderSession s(SessionOptions().withTimer1(300ms));
    s.encoder().addFault({frame, hangUp ? FaultKind::HangUp : FaultKind::NoAnswer, 0, {}});
    s.dialogs().queueAnswer(Dialogs::Answer::Yes);
    s.click("EnviaRT1");
    QVERIFY(s.waitFor([&s] { return s.dialogs().count(Kind::Error) == 1; }));
    QCOMPARE(s.dialogs().texts(Kind::Error), QStringList{QStringLiteral("Error de Comunicación")});
    QVERIFY(s.buttonsUnlocked());
    QCOMPARE(s.encoder().framesReceived(), frame);
    QCOMPARE(int(s.form().sendState()), sendState);
    QCOMPARE(s.dialogs().count(Kind::StandardError), 0);
}

void TestProtocolAnswers::nextStartEndsOutstanding_data() {
    QTest::addColumn<QString>("write");
    QTest::addColumn<int>("silentFrame");
    QTest::addColumn<QString>("read");
    QTest::newRow("RadioText stuck after chunk 1, whole read")
        << "EnviaRT1" << 1 << "LeerEquipo1";
    QTest::newRow("programming chunk 3 unanswered, whole read")
        << "Grabartodoelequipo1" << 3 << "LeerEquipo1";
    QTest::newRow("PI write unanswered, PI read") << "EnviaPI" << 1 << "ReadPI";
}

void TestProtocolAnswers::nextStartEndsOutstanding() {
    QFETCH(QString, write);
    QFETCH(int, silentFrame);
    QFETCH(QString, read);
    Memory m{};
    for (int i = 0; i < 256; ++i)
        m[i] = static_cast<std::uint8_t>(i * 37 + 11);
    EncoderSession s(SessionOptions().withMemory(m).withTimer1(300ms).withTimer2(60s));
    s.encoder().addFault({silentFrame, FaultKind::NoAnswer, 0, {}});
    const auto start = [&s](const QString& command) {
        if (command.startsWith(QLatin1String("Envia")) || command.startsWith(QLatin1String("Read")))
            s.click(qPrintable(command));
        else
            s.trigger(qPrintable(command));
    };
    s.dialogs().queueAnswer(Dialogs::Answer::Yes);
    start(write);
    QVERIFY(s.waitFor([&s] { return s.dialogs().count(Kind::Error) == 1; }));
    const int framesBefore = s.encoder().framesReceived();
    const QColor colour = s.form().statusColour();
    start(read);
    const bool whole = read == QLatin1String("LeerEquipo1");
    if (whole) {
        QVERIFY(s.waitFor([&s] { return s.dialogs().count(Kind::Plain) == 1 && s.idle(); }));
        QCOMPARE(s.deviceMap(), s.encoder().memory());
    } else {
        QVERIFY(s.waitIdle());
        const Memory now = s.encoder().memory();
        const auto pi = quillmark::decodePi(std::span<const std::uint8_t, 2>(&now[0], 2));
        QCOMPARE(s.control<QComboBox>("Mat1")->currentIndex(), pi.reference);
        QCOMPARE(s.control<QComboBox>("Country")->currentIndex(), pi.country);
    }
    // Only the read's own frames went out, and reads leave the colour alone.
    QCOMPARE(s.encoder().framesReceived() - framesBefore, whole ? 2 : 1);
    QCOMPARE(s.form().statusColour(), colour);
    QCOMPARE(s.dialogs().count(Kind::Error), 1);
    QCOMPARE(s.dialogs().count(Kind::StandardError), 0);
}

void TestProtocolAnswers::failureAnswerDiscardsInput() {
    EncoderSession s(SessionOptions().withTimer1(2000ms));
    s.encoder().addFault({1, FaultKind::NoAnswer, 0, {}});
    sendPi(s);
    s.encoder().inject({0x00, 0x55, 0x66});
    QVERIFY(s.waitFor([&s] { return s.form().sendState() == 0; }));
    QCOMPARE(s.form().statusColour(), TForm1::clRed);
    QCOMPARE(s.form().port().InputCount(), 0);
}

void TestProtocolAnswers::programmingHoldsColourPerChunk() {
    // Each chunk restarts the colour hold, so it never lapses to dark green mid-chain.
    EncoderSession s(SessionOptions().withTimer1(2000ms).withTimer2(300ms));
    for (int frame = 1; frame <= 16; ++frame)
        s.encoder().addFault({frame, FaultKind::Delay, 0, 100ms});
    s.dialogs().queueAnswer(Dialogs::Answer::Yes);
    s.trigger("Grabartodoelequipo1");
    bool answered = false;
    bool lapsed = false;
    QVERIFY(s.waitFor(
        [&] {
            const QColor colour = s.form().statusColour();
            answered = answered || colour == TForm1::clLime;
            lapsed = lapsed || (answered && colour == TForm1::clGreen);
            return s.idle();
        },
        10s));
    QVERIFY(answered);
    QVERIFY(!lapsed);
    QCOMPARE(s.encoder().framesReceived(), 16);
    QVERIFY(s.waitFor([&s] { return s.form().statusColour() == TForm1::clGreen; }, 1s));
}

void TestProtocolAnswers::staleInputBeforeOpenIsDiscarded() {
    EncoderSession s;
    s.form().port().Close();
    s.encoder().inject({0x12, 0x34});
    s.settle(100ms);
    s.form().port().Open();
    QCOMPARE(s.form().port().InputCount(), 0);
}

void TestProtocolAnswers::shortReplyEndsRead_data() {
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("received");
    QTest::newRow("PI, nothing") << "ReadPI" << 0;
    QTest::newRow("PI, one of two") << "ReadPI" << 1;
    QTest::newRow("AF, fifteen of sixteen") << "ReadAF" << 15;
    QTest::newRow("RadioText, half") << "ReadRT" << 32;
}

void TestProtocolAnswers::shortReplyEndsRead() {
    QFETCH(QString, button);
    QFETCH(int, received);
    // Longer than the port's read time-out, so a broken reply is not also a missing one.
    EncoderSession s(SessionOptions().withTimer1(1500ms));
    // The PI page set apart from the encoder's all-0xFF memory.
    choosePi(s);
    s.encoder().addFault({1, FaultKind::ShortReply, received, {}});
    s.click(qPrintable(button));
    if (received == 0) {
        QVERIFY(s.waitFor([&s] { return s.dialogs().count(Kind::Error) == 1; }));
    } else {
        QVERIFY(s.waitFor([&s] { return s.dialogs().count(Kind::StandardError) == 1; }));
        QCOMPARE(s.dialogs().texts(Kind::StandardError), QStringList{QStringLiteral("Timeout.")});
    }
    QVERIFY(s.idle());
    if (button == QLatin1String("ReadPI"))
        QCOMPARE(s.control<QComboBox>("Mat1")->currentIndex(), 0x3C);
    // The rest of the broken reply arrives late; it must not be read as the next reply.
    s.encoder().inject(Bytes(8, 0x00));
    s.settle(200ms);
    s.click("ReadPI");
    QVERIFY(s.waitIdle());
    QCOMPARE(s.control<QComboBox>("Mat1")->currentIndex(), 0xFF);
    QCOMPARE(s.dialogs().count(Kind::Error), received == 0 ? 1 : 0);
}

void TestProtocolAnswers::strayByteIsDiscarded() {
    Memory m{};
    m[0] = 0x57;
    m[1] = 0x3C;
    EncoderSession s(SessionOptions().withMemory(m));
    s.encoder().inject({0x99});
    s.settle(300ms);
    QVERIFY(s.idle());
    s.click("ReadPI");
    QVERIFY(s.waitIdle());
    QCOMPARE(s.control<QComboBox>("Mat1")->currentIndex(), 0x3C);
    QCOMPARE(s.control<QComboBox>("Coverage")->currentIndex(), 7);
    QCOMPARE(s.dialogs().count(Kind::StandardError), 0);
}

void TestProtocolAnswers::watchdogAtRealInterval() {
    EncoderSession s(SessionOptions().withTimer3(2000ms));
    s.form().desactiva();
    s.form().timer3().start();
    s.settle(1200ms);
    QVERIFY(s.buttonsLocked());
    QVERIFY(s.waitFor([&s] { return s.buttonsUnlocked(); }, 2000ms));
    QVERIFY(!s.form().timer3().isEnabled());
}

void TestProtocolAnswers::closedPortStopsBeforeQuestion_data() {
    QTest::addColumn<QString>("command");
    QTest::addColumn<bool>("menu");
    for (const char* name : kSendReadButtons)
        QTest::newRow(name) << name << false;
    for (const char* name : {"LeerEquipo1", "Grabartodoelequipo1", "BorrarMemoriaEquipo1"})
        QTest::newRow(name) << name << true;
}

void TestProtocolAnswers::closedPortStopsBeforeQuestion() {
    QFETCH(QString, command);
    QFETCH(bool, menu);
    EncoderSession s;
    s.form().port().Close();
    s.control<QPlainTextEdit>("RTEdit")->setPlainText(QStringLiteral("kept"));
    s.control<QLineEdit>("PS")->setText(QStringLiteral("kept"));
    const Memory before = s.deviceMap();
    if (menu)
        s.trigger(qPrintable(command));
    else
        s.click(qPrintable(command));
    s.settle(100ms);
    QCOMPARE(s.dialogs().texts(Kind::StandardError),
             QStringList{QStringLiteral("Can't perform this operation on a closed port.")});
    QCOMPARE(s.dialogs().count(Kind::Question), 0);
    QVERIFY(s.idle());
    QCOMPARE(s.deviceMap(), before);
    QCOMPARE(s.control<QPlainTextEdit>("RTEdit")->toPlainText(), QStringLiteral("kept"));
    QCOMPARE(s.control<QLineEdit>("PS")->text(), QStringLiteral("kept"));
    QVERIFY(!s.form().timer1().isEnabled());
    QVERIFY(s.frames().empty());
}

void TestProtocolAnswers::hangUpClosesPortSilently_data() {
    QTest::addColumn<bool>("programming");
    QTest::addColumn<int>("frame");
    QTest::newRow("PI write") << false << 1;
    QTest::newRow("programming, fifth chunk") << true << 5;
}

void TestProtocolAnswers::hangUpClosesPortSilently() {
    QFETCH(bool, programming);
    QFETCH(int, frame);
    EncoderSession s(SessionOptions().withTimer1(300ms));
    s.encoder().addFault({frame, FaultKind::HangUp, 0, {}});
    if (programming) {
        s.dialogs().queueAnswer(Dialogs::Answer::Yes);
        s.trigger("Grabartodoelequipo1");
    } else {
        sendPi(s);
    }
    QVERIFY(s.waitFor([&s] { return !s.form().port().Active(); }));
    QCOMPARE(s.dialogs().count(Kind::StandardError), 0);
    // The missing answer is still reported once.
    QVERIFY(s.waitFor([&s] { return s.dialogs().count(Kind::Error) == 1; }));
    s.click("ReadPI");
    s.settle(100ms);
    QCOMPARE(s.dialogs().texts(Kind::StandardError),
             QStringList{QStringLiteral("Can't perform this operation on a closed port.")});
    QVERIFY(s.buttonsUnlocked());
}

void TestProtocolAnswers::editsSurviveExchanges_data() {
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("meanwhile");
    // A field emptied by a read that then fails never reaches the map.
    QTest::newRow("RadioText read fails, page change") << "ReadRT" << "page";
    QTest::newRow("PS read fails, screen list opened") << "ReadPS" << "screens";
    // Programming takes the PS text typed on the screen shown.
    QTest::newRow("programming with screen 3 typed") << "Grabartodoelequipo1" << "";
}

void TestProtocolAnswers::editsSurviveExchanges() {
    QFETCH(QString, command);
    QFETCH(QString, meanwhile);
    EncoderSession s(SessionOptions().withTimer1(300ms));
    auto* planes = s.control<QTabWidget>("Planes");
    auto* ps = s.control<QLineEdit>("PS");
    auto* rt = s.control<QPlainTextEdit>("RTEdit");
    s.select("PSBox", 2);
    emit s.control<DropDownComboBox>("PSBox")->activated(2);
    ps->clear();
    QTest::keyClicks(ps, "NEWNAME");
    rt->clear();
    QTest::keyClicks(rt, "HELLO RADIO");
    planes->setCurrentIndex(planes->currentIndex() == 1 ? 2 : 1); // stores both
    const Memory stored = s.deviceMap();
    if (command.startsWith(QLatin1String("Read"))) {
        s.encoder().addFault({1, FaultKind::NoAnswer});
        s.click(qPrintable(command));
        if (meanwhile == QLatin1String("page"))
            planes->setCurrentIndex(planes->currentIndex() == 1 ? 2 : 1);
        else {
            s.control<DropDownComboBox>("PSBox")->showPopup();
            s.control<DropDownComboBox>("PSBox")->hidePopup();
        }
        QVERIFY(s.waitFor([&s] { return s.dialogs().count(Kind::Error) == 1; }));
        planes->setCurrentIndex(planes->currentIndex() == 1 ? 2 : 1);
        QCOMPARE(s.deviceMap(), stored);
        QCOMPARE(ps->text(), QStringLiteral("NEWNAME"));
        QCOMPARE(rt->toPlainText(), QStringLiteral("HELLO RADIO"));
        return;
    }
    ps->clear();
    QTest::keyClicks(ps, "TYPED");
    s.dialogs().queueAnswer(Dialogs::Answer::Yes);
    s.trigger(qPrintable(command));
    QVERIFY(s.waitIdle());
    const Bytes typed = bytesOf({'T', 'Y', 'P', 'E', 'D', ' ', ' ', ' '});
    const auto screen3 = quillmark::psScreenBlock(0, 2);
    QCOMPARE(slice(s.deviceMap(), screen3.address, 8), typed);
    QCOMPARE(slice(s.encoder().memory(), screen3.address, 8), typed);
}

QTEST_MAIN(TestProtocolAnswers)
#include "tst_protocol_answers.moc"
