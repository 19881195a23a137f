// The rows of the engine's table through both front ends against the simulated encoder: the
// window and quillmark-cli's blocking driver must end every operation as the engine does.

#include "encoder_session.h"
#include "exchange_rows.h"

#include "port_line.h"
#include "protocol/session.h"
#include "serial/comport.h"
#include "vcl_timer.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>

using namespace std::chrono_literals;
using namespace quillmark::protocol;
using Kind = ScriptedDialogs::Kind;
using quillmark::sim::Fault;
using quillmark::sim::FaultKind;

namespace {

// The encoder behaviour as the simulated encoder's fault; slow and late by the front end's
// own time-outs.
Fault faultFor(const ExchangeRow& row, std::chrono::milliseconds slow,
               std::chrono::milliseconds late) {
    switch (row.behaviour) {
    case Behaviour::FailureByte:
        return {row.frame, FaultKind::FailAnswer};
    case Behaviour::Silence:
        return {row.frame, FaultKind::NoAnswer};
    case Behaviour::ShortReply:
        return {row.frame, FaultKind::ShortReply, row.op == Op::WholeRead ? 64 : 1};
    case Behaviour::Slow:
        return {row.frame, FaultKind::Delay, 0, slow};
    case Behaviour::Late:
        return {row.frame, FaultKind::Delay, 0, late};
    case Behaviour::StrayByte:
        return {row.frame, FaultKind::Trailing, 1};
    case Behaviour::HangUp:
        return {row.frame, FaultKind::HangUp};
    case Behaviour::Correct:
        break;
    }
    return {0, FaultKind::Delay};
}

bool wholeOperation(const ExchangeRow& row) {
    return row.op == Op::WholeRead || row.op == Op::Programming;
}

void startInWindow(EncoderSession& s, Op op) {
    s.dialogs().queueAnswer(Dialogs::Answer::Yes);
    switch (op) {
    case Op::PiWrite:
        return s.click("EnviaPI");
    case Op::PiRead:
        return s.click("ReadPI");
    case Op::RadioText:
        s.control<QPlainTextEdit>("RTEdit")->setPlainText(QStringLiteral("HELLO RADIO"));
        return s.click("EnviaRT1");
    case Op::WholeRead:
        return s.trigger("LeerEquipo1");
    case Op::Programming:
        return s.trigger("Grabartodoelequipo1");
    case Op::Erase:
        return s.trigger("BorrarMemoriaEquipo1");
    }
}

// How the window shows that an operation ended this way.
bool windowShowsEnd(EncoderSession& s, const ExchangeRow& row) {
    const bool write = row.op != Op::PiRead && row.op != Op::WholeRead;
    switch (row.ending) {
    case Ending::Success:
        if (row.op == Op::WholeRead)
            return s.dialogs().count(Kind::Plain) == 1;
        return s.buttonsUnlocked() && s.form().sendState() == 0 && s.form().readState() == 0 &&
               (!write || s.form().statusColour() == TForm1::clLime);
    case Ending::Refused:
        return s.buttonsUnlocked() && s.form().statusColour() == TForm1::clRed;
    case Ending::NoAnswer:
        return s.dialogs().count(Kind::Error) == 1 && s.buttonsUnlocked();
    case Ending::BrokenReply:
        return s.dialogs().texts(Kind::StandardError) == QStringList{QStringLiteral("Timeout.")};
    case Ending::HungUp:
        return !s.form().port().Active() && s.dialogs().count(Kind::Error) == 1;
    case Ending::Superseded:
        break;
    }
    return false;
}

} // namespace

class TestFrontEnds : public QObject {
    Q_OBJECT
private slots:
    void window_data() {
        addExchangeRows([](const ExchangeRow&) { return true; });
    }
    void window();
    void commandLine_data() { addExchangeRows(wholeOperation); }
    void commandLine();
};

void TestFrontEnds::window() {
    QFETCH(ExchangeRow, row);
    // Slow: longer than the port's own read time-out, which the second half once had.
    const bool slow = row.behaviour == Behaviour::Slow;
    EncoderSession s(SessionOptions().withMemory(pattern(7)).withTimer1(slow ? 2500ms : 600ms));
    s.form().replyTimer().setInterval(150ms);
    s.encoder().addFault(faultFor(row, 1300ms, 900ms));
    startInWindow(s, row.op);
    const Memory sent = s.deviceMap();
    if (row.behaviour == Behaviour::Late) {
        QVERIFY(s.waitFor([&] { return s.dialogs().count(Kind::Error) == 1; }));
        // A new PS name while the answer is late: the encoder still gets what it was sent.
        s.control<QLineEdit>("PS")->setText(QStringLiteral("CHANGED"));
        s.click("Button1");
    }
    QVERIFY(s.waitFor([&] { return windowShowsEnd(s, row); }));
    s.settle(100ms);
    QCOMPARE(int(s.frames().size()), row.frames);
    QCOMPARE(s.dialogs().count(Kind::Error), row.ending == Ending::NoAnswer ||
                                                 row.ending == Ending::HungUp ||
                                                 row.behaviour == Behaviour::Late);
    if (row.ending == Ending::Success && row.op == Op::Programming)
        QCOMPARE(s.encoder().memory(), sent);
    if (row.ending == Ending::Success && row.op == Op::WholeRead)
        QCOMPARE(s.deviceMap(), pattern(7));
}

void TestFrontEnds::commandLine() {
    QFETCH(ExchangeRow, row);
    TempConfig config;
    quillmark::sim::PtyEncoder encoder({.paced = false, .faults = {}, .memory = pattern(7)});
    encoder.start();
    encoder.linkAs(config.configDir().toStdString(), "COM1");
    encoder.addFault(faultFor(row, 1500ms, 6000ms));
    quillmark::cli::PortLine line("COM1");
    Session session(line);
    const Memory source = pattern(11);
    QString failure;
    try {
        if (row.op == Op::WholeRead)
            QCOMPARE(session.readWholeDevice(), pattern(7));
        else
            session.programWholeDevice(source);
    } catch (const CommunicationError& e) {
        failure = QString::fromStdString(e.what());
    }
    // The tool does not wait past the answer time-out: a script must not hang.
    const Ending expected = row.behaviour == Behaviour::Late ? Ending::NoAnswer : row.ending;
    static const std::map<Ending, QString> starts{
        {Ending::Success, {}},
        {Ending::Refused, QStringLiteral("the encoder refused 1 of 16")},
        {Ending::NoAnswer, QStringLiteral("no answer from the encoder")},
        {Ending::BrokenReply, QStringLiteral("the encoder's reply broke off")},
        {Ending::HungUp, QStringLiteral("the line failed")}};
    QVERIFY2(failure.startsWith(starts.at(expected)) &&
                 failure.isEmpty() == starts.at(expected).isEmpty(),
             qPrintable(failure));
    QCOMPARE(encoder.framesReceived(), row.behaviour == Behaviour::Late ? row.frame : row.frames);
    if (expected == Ending::Success && row.op == Op::Programming)
        QCOMPARE(encoder.memory(), source);
}

QTEST_MAIN(TestFrontEnds)
#include "tst_front_ends.moc"
