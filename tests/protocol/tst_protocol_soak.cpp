// Many random operations against an encoder that misbehaves now and then: nothing crashes,
// no operation keeps the buttons locked past its time-outs, and every read that no fault
// touched shows exactly what the encoder holds. QUILLMARK_SOAK_OPERATIONS sets the count.

#include "encoder_session.h"

#include "control_adapters.h"
#include "core/field_encodings.h"
#include "serial/comport.h"
#include "text_bytes.h"
#include "vcl_timer.h"

#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QTest>

#include <random>
#include <set>

using namespace std::chrono_literals;
using Kind = ScriptedDialogs::Kind;
using quillmark::sim::Fault;
using quillmark::sim::FaultKind;

namespace {

constexpr int kDefaultOperations = 1000;
constexpr unsigned kSeed = 20261207;
constexpr double kFaultRate = 0.06;
constexpr auto kStepBound = 8s;
// The longest an operation may keep the buttons locked: a chain of sixteen answers, one of
// them delayed, or a read broken at its last byte.
constexpr auto kUnlockBound = 3s;
constexpr auto kMaxDelay = 320ms;

const char* const kLists[] = {"Country",       "Coverage", "Mat1",    "PTYBox", "MS",
                              "NumAF",         "AF1",      "AF7",     "AF15",   "NumPant",
                              "Timing",        "FramePI",  "FramePS", "PSBox",  "FramePTY",
                              "AFSelectFrame", "FrameConf"};

int operationCount() {
    bool ok = false;
    const int n = qEnvironmentVariableIntValue("QUILLMARK_SOAK_OPERATIONS", &ok);
    return ok && n > 0 ? n : kDefaultOperations;
}

class Soak {
public:
    explicit Soak(EncoderSession& session) : s(session), gen(kSeed) {}

    void step() {
        maybeInjectFault();
        const int framesBefore = s.encoder().framesReceived();
        const int boxesBefore = failureBoxes();
        const QString read = operate();
        if (!s.waitFor([this] { return settled(); }, kUnlockBound)) {
            ++unfinished;
            return;
        }
        if (failureBoxes() != boxesBefore) {
            // An answer already on its way when the next operation starts would be taken by
            // it (nothing in an answer names its frame): let stragglers land first.
            if (!quietLine())
                ++unfinished;
            return;
        }
        if (!read.isEmpty())
            checkRead(read, framesBefore);
    }

    int unfinished = 0; // operations that kept the buttons locked past their time-outs
    int faults = 0;
    int readsChecked = 0;
    QStringList mismatches;

private:
    int pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(gen); }

    int failureBoxes() const {
        return s.dialogs().count(Kind::Error) + s.dialogs().count(Kind::StandardError);
    }

    // No frame, answer or box for longer than the longest delay, with the buttons unlocked.
    bool quietLine() {
        for (int round = 0; round < 20; ++round) {
            const int frames = s.encoder().framesReceived();
            const int boxes = failureBoxes();
            s.settle(kMaxDelay + 50ms);
            if (!s.waitFor([this] { return settled(); }, kUnlockBound))
                return false;
            if (frames == s.encoder().framesReceived() && boxes == failureBoxes())
                return true;
        }
        return false;
    }

    bool settled() const {
        return s.buttonsUnlocked() && !s.form().timer1().isEnabled() &&
               !s.form().timer3().isEnabled();
    }

    bool faultOn(int firstFrame, int frames) const {
        for (int f = firstFrame; f < firstFrame + frames; ++f)
            if (faulted.count(f))
                return true;
        return false;
    }

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
        faulted.insert(f.frameNumber);
        ++faults;
    }

    // Runs one operation; returns the read it started, if any.
    QString operate() {
        const int op = pick(100);
        if (op < 45) {
            edit();
            return {};
        }
        if (op < 85)
            return pressButton();
        if (op < 92) {
            s.trigger("LeerEquipo1");
            return QStringLiteral("LeerEquipo1");
        }
        s.dialogs().queueAnswer(pick(6) ? Dialogs::Answer::Yes : Dialogs::Answer::No);
        s.trigger(op < 98 ? "Grabartodoelequipo1" : "BorrarMemoriaEquipo1");
        return {};
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
            s.control<QLineEdit>("PS")->setText(quillmark::editText(randomBytes(8)));
            break;
        case 3:
            s.control<MemoEdit>("RTEdit")->setStoredText(quillmark::memoText(randomBytes(64)));
            break;
        default: {
            auto* pages = s.control<QTabWidget>("Planes");
            pages->setCurrentIndex(pick(pages->count()));
            break;
        }
        }
    }

    // Any byte but zero, line-break bytes included.
    std::string randomBytes(int maxLength) {
        std::string bytes;
        const int length = pick(maxLength + 1);
        for (int i = 0; i < length; ++i)
            bytes.push_back(static_cast<char>(1 + pick(255)));
        return bytes;
    }

    QString pressButton() {
        const char* name = kSendReadButtons[pick(12)];
        auto* button = s.control<QPushButton>(name);
        if (!button->isEnabled())
            return {};
        const bool send = button->objectName().startsWith(QLatin1String("Envia"));
        if (send)
            s.dialogs().queueAnswer(pick(5) ? Dialogs::Answer::Yes : Dialogs::Answer::No);
        button->click();
        return send ? QString() : QString::fromLatin1(name);
    }

    // A read that ended without a box wrote only its own frames, finished, and (unless a
    // fault changed the reply) shows what the encoder holds.
    void checkRead(const QString& read, int framesBefore) {
        const int frames = read == QLatin1String("LeerEquipo1") ? 2 : 1;
        const int written = s.encoder().framesReceived() - framesBefore;
        if (written != frames || s.form().readState() != 0) {
            mismatches << QStringLiteral("%1 after frame %2: %3 frames, read state %4")
                              .arg(read)
                              .arg(framesBefore)
                              .arg(written)
                              .arg(s.form().readState());
            return;
        }
        if (faultOn(framesBefore + 1, frames))
            return;
        ++readsChecked;
        const Memory memory = s.encoder().memory();
        const Bytes frame = s.frames().back();
        const int address = frame[1];
        const auto block = std::span<const std::uint8_t>(memory).subspan(address);
        const QString shownNow = shown(read);
        const QString expected = read == QLatin1String("LeerEquipo1")
                                     ? hex(slice(memory, 0, 256))
                                     : expectedShown(read, block);
        if (shownNow != expected)
            mismatches << QStringLiteral("%1 after frame %2: shown %3, encoder %4")
                              .arg(read)
                              .arg(framesBefore + 1)
                              .arg(shownNow, expected);
    }

    int index(const char* name) const { return s.control<QComboBox>(name)->currentIndex(); }
    bool ticked(const char* name) const { return s.control<QCheckBox>(name)->isChecked(); }

    QString shown(const QString& read) const {
        if (read == QLatin1String("LeerEquipo1")) {
            const Memory map = s.deviceMap();
            return hex(slice(map, 0, 256));
        }
        if (read == QLatin1String("ReadPI"))
            return triple(index("Country"), index("Coverage"), index("Mat1"));
        if (read == QLatin1String("ReadPTY"))
            return triple(ticked("TPBox"), index("PTYBox"), index("MS"));
        if (read == QLatin1String("ReadConf"))
            return triple(index("NumPant"), ticked("RTBox"), index("Timing"));
        if (read == QLatin1String("ReadPS"))
            return s.control<QLineEdit>("PS")->text();
        if (read == QLatin1String("ReadRT"))
            return s.control<MemoEdit>("RTEdit")->toPlainText();
        QString af = QString::number(index("NumAF"));
        for (int k = 1; k <= quillmark::kAfLists; ++k)
            af += QLatin1Char(' ') + QString::number(index(qPrintable(QStringLiteral("AF%1").arg(k))));
        return af;
    }

    static QString expectedShown(const QString& read, std::span<const std::uint8_t> block) {
        using namespace quillmark;
        if (read == QLatin1String("ReadPI")) {
            const auto pi = decodePi(block.first<2>());
            return triple(pi.country, pi.coverage, pi.reference);
        }
        if (read == QLatin1String("ReadPTY")) {
            const auto pty = decodePty(block.first<2>());
            return triple(pty.tp, pty.pty, pty.ms);
        }
        if (read == QLatin1String("ReadConf")) {
            const auto seq = decodeSequence(block.first<2>());
            return triple(seq.screens, seq.radioTextActive, seq.timing);
        }
        if (read == QLatin1String("ReadPS"))
            return editText(decodePsScreen(block.first<kPsLength>()));
        if (read == QLatin1String("ReadRT"))
            return memoText(decodeRadioText(block.first(kRadioTextLength)));
        // Lists past the count show "None".
        const auto af = decodeAf(block.first<16>());
        QString out = QString::number(af.count);
        for (int k = 1; k <= kAfLists; ++k)
            out += QLatin1Char(' ') + QString::number(af.count < k ? 0 : af.codes[k - 1]);
        return out;
    }

    static QString triple(int a, int b, int c) { return QStringLiteral("%1 %2 %3").arg(a).arg(b).arg(c); }

    EncoderSession& s;
    std::mt19937 gen;
    std::set<int> faulted;
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
    const int operations = operationCount();
    QElapsedTimer total;
    total.start();
    QElapsedTimer step;
    for (int i = 0; i < operations; ++i) {
        step.start();
        soak.step();
        QVERIFY2(step.elapsed() < std::chrono::milliseconds(kStepBound).count(),
                 qPrintable(QStringLiteral("operation %1 took %2 ms").arg(i).arg(step.elapsed())));
        QVERIFY2(s.form().port().Active(), qPrintable(QStringLiteral("port lost at %1").arg(i)));
        QVERIFY2(soak.mismatches.isEmpty(), qPrintable(soak.mismatches.join(QLatin1Char('\n'))));
    }
    qInfo("operations %d, faults %d, frames %d, reads checked %d, unfinished %d, %lld ms; "
          "boxes: error %d, standard %d, plain %d",
          operations, soak.faults, s.encoder().framesReceived(), soak.readsChecked,
          soak.unfinished, static_cast<long long>(total.elapsed()), s.dialogs().count(Kind::Error),
          s.dialogs().count(Kind::StandardError), s.dialogs().count(Kind::Plain));
    QCOMPARE(soak.unfinished, 0);
    QVERIFY(soak.readsChecked > operations / 10);

    // After all that, a clean whole read still brings the encoder's memory in whole.
    s.encoder().clearFaults();
    s.settle(kMaxDelay + 50ms);
    s.dialogs().clearShown();
    s.encoder().clearLog();
    s.trigger("LeerEquipo1");
    QVERIFY(s.waitFor([&s] { return s.dialogs().count(Kind::Plain) == 1 && s.idle(); }));
    QCOMPARE(s.deviceMap(), s.encoder().memory());
    QCOMPARE(s.frames().size(), std::size_t(2));
    QCOMPARE(s.dialogs().count(Kind::StandardError), 0);
}

QTEST_MAIN(TestProtocolSoak)
#include "tst_protocol_soak.moc"
