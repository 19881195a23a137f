// Thousands of random operations against an encoder that misbehaves now and then: nothing
// crashes or hangs, and a clean programming followed by a whole read leaves the map equal to
// the encoder's memory.

#include "encoder_session.h"

#include "control_adapters.h"
#include "serial/comport.h"

#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QTest>

#include <random>

using namespace std::chrono_literals;
using Kind = ScriptedDialogs::Kind;
using quillmark::sim::Fault;
using quillmark::sim::FaultKind;

namespace {

constexpr int kOperations = 2000;
constexpr unsigned kSeed = 20261207;
constexpr double kFaultRate = 0.06;
constexpr auto kStepBound = 8s;
constexpr auto kIdleWait = 500ms;

const char* const kLists[] = {"Country",       "Coverage", "Mat1",    "PTYBox", "MS",
                              "NumAF",         "AF1",      "AF7",     "AF15",   "NumPant",
                              "Timing",        "FramePI",  "FramePS", "PSBox",  "FramePTY",
                              "AFSelectFrame", "FrameConf"};
const char* const kMenuCommands[] = {"LeerEquipo1", "Grabartodoelequipo1"};

class Soak {
public:
    explicit Soak(EncoderSession& session) : s(session), gen(kSeed) {}

    void step() {
        maybeInjectFault();
        const int op = pick(100);
        if (op < 45)
            edit();
        else if (op < 85)
            pressButton();
        else if (op < 92)
            menu("LeerEquipo1", false);
        else if (op < 98)
            menu("Grabartodoelequipo1", true);
        else
            menu("BorrarMemoriaEquipo1", true);
        // Bounded: a chained write whose answers stopped keeps its lock by design.
        if (!s.waitFor([this] { return s.idle(); }, kIdleWait))
            ++unfinished;
    }

    int unfinished = 0; // operations still outstanding when the next one started

private:
    int pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(gen); }

    void maybeInjectFault() {
        if (std::uniform_real_distribution<double>(0, 1)(gen) >= kFaultRate)
            return;
        Fault f;
        f.frameNumber = s.encoder().framesReceived() + 1 + pick(3);
        switch (pick(5)) {
        case 0:
            f.kind = FaultKind::NoAnswer;
            break;
        case 1:
            f.kind = FaultKind::FailAnswer;
            break;
        case 2:
            f.kind = FaultKind::ShortReply;
            f.count = pick(20);
            break;
        case 3:
            f.kind = FaultKind::Garbage;
            f.count = 1 + pick(4);
            break;
        default:
            f.kind = FaultKind::Delay;
            f.delay = std::chrono::milliseconds(20 + pick(300));
            break;
        }
        s.encoder().addFault(f);
    }

    void edit() {
        switch (pick(6)) {
        case 0: {
            auto* list = s.control<QComboBox>(kLists[pick(std::size(kLists))]);
            if (list->count() == 0)
                return;
            if (auto* dropDown = qobject_cast<DropDownComboBox*>(list); dropDown && pick(2))
                emit dropDown->dropDown();
            const int index = pick(list->count());
            list->setCurrentIndex(index);
            emit list->activated(index);
            break;
        }
        case 1:
            s.control<QCheckBox>(pick(2) ? "TPBox" : "RTBox")->click();
            break;
        case 2:
            s.control<QLineEdit>("PS")->setText(randomText(8));
            break;
        case 3:
            s.control<QPlainTextEdit>("RTEdit")->setPlainText(randomText(64));
            break;
        default: {
            auto* pages = s.control<QTabWidget>("Planes");
            pages->setCurrentIndex(pick(pages->count()));
            break;
        }
        }
    }

    QString randomText(int maxLength) {
        QString text;
        const int length = pick(maxLength + 1);
        for (int i = 0; i < length; ++i)
            text += QChar(0x20 + pick(0x5F));
        return text;
    }

    void pressButton() {
        auto* button = s.control<QPushButton>(kSendReadButtons[pick(12)]);
        if (!button->isEnabled())
            return;
        if (button->objectName().startsWith(QLatin1String("Envia")))
            s.dialogs().queueAnswer(pick(5) ? Dialogs::Answer::Yes : Dialogs::Answer::No);
        button->click();
    }

    void menu(const char* name, bool asks) {
        if (asks)
            s.dialogs().queueAnswer(pick(6) ? Dialogs::Answer::Yes : Dialogs::Answer::No);
        s.trigger(name);
    }

    EncoderSession& s;
    std::mt19937 gen;
};

} // namespace

class TestProtocolSoak : public QObject {
    Q_OBJECT
private slots:
    void randomOperationsWithFaults();
};

void TestProtocolSoak::randomOperationsWithFaults() {
    EncoderSession s(SessionOptions().withTimer1(150ms).withTimer2(100ms).withTimer3(400ms));
    s.form().port().Timeouts().SetReadConstant(150ms);
    Soak soak(s);
    QElapsedTimer step;
    for (int i = 0; i < kOperations; ++i) {
        step.start();
        soak.step();
        QVERIFY2(step.elapsed() < std::chrono::milliseconds(kStepBound).count(),
                 qPrintable(QStringLiteral("operation %1 took %2 ms").arg(i).arg(step.elapsed())));
        QVERIFY2(s.form().port().Active(), qPrintable(QStringLiteral("port lost at %1").arg(i)));
    }

    qInfo("frames %d, unfinished %d, boxes: error %d, standard %d, plain %d",
          s.encoder().framesReceived(), soak.unfinished, s.dialogs().count(Kind::Error),
          s.dialogs().count(Kind::StandardError), s.dialogs().count(Kind::Plain));
    // Drain what is still in flight, then a clean programming and a whole read.
    s.encoder().clearFaults();
    s.settle(800ms);
    s.dialogs().clearShown();
    s.dialogs().queueAnswer(Dialogs::Answer::Yes);
    s.trigger("Grabartodoelequipo1");
    QVERIFY(s.waitIdle());
    QCOMPARE(s.encoder().memory(), s.deviceMap());
    s.encoder().clearLog();
    s.trigger("LeerEquipo1");
    QVERIFY(s.waitFor([&s] { return s.dialogs().count(Kind::Plain) == 1 && s.idle(); }));
    QCOMPARE(s.deviceMap(), s.encoder().memory());
    QCOMPARE(s.frames().size(), std::size_t(2));
    QVERIFY(s.buttonsUnlocked());
    QCOMPARE(s.dialogs().count(Kind::StandardError), 0);
}

QTEST_MAIN(TestProtocolSoak)
#include "tst_protocol_soak.moc"
