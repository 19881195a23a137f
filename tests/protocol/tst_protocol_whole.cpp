// "Leer Equipo", "Programar Equipo Completo" and "Borrar Memoria Equipo" against the
// simulated encoder.

#include "encoder_session.h"

#include "serial/comport.h"
#include "vcl_timer.h"

#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QTableWidget>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QTest>

#include <random>

using namespace std::chrono_literals;
using Kind = ScriptedDialogs::Kind;
using quillmark::sim::FaultKind;

namespace {

Memory randomMemory(unsigned seed) {
    std::mt19937 gen(seed);
    std::uniform_int_distribution<int> byte(0, 255);
    Memory m{};
    for (auto& b : m)
        b = static_cast<std::uint8_t>(byte(gen));
    return m;
}

const char* const kSelectors[] = {"FramePI",       "FramePS",   "FramePTY",
                                  "AFSelectFrame", "FrameConf", "PSBox"};

void moveSelectors(EncoderSession& s) {
    for (const char* name : kSelectors)
        s.select(name, 1);
}

// Reads the encoder into the map, so that programming has something distinct to send.
bool loadMap(EncoderSession& s) {
    s.trigger("LeerEquipo1");
    return s.waitFor([&s] { return s.dialogs().count(Kind::Plain) > 0 && s.idle(); });
}

const QString kReadDone = QStringLiteral("El equipo se ha leido correctamente");

} // namespace

class TestProtocolWhole : public QObject {
    Q_OBJECT
private slots:
    void readWholeDevice();
    void brokenWholeReadLeavesMap_data();
    void brokenWholeReadLeavesMap();
    void programWholeDevice();
    void programmingWaitsForEachAnswer();
    void programmingFailedChunkEndsRed_data();
    void programmingFailedChunkEndsRed();
    void programmingShowsTheScreenItSelects();
    void eraseSendsTwoBytes();
    void hangUpDuringWholeRead();
    void comparisonLeavesTheMap();
};

void TestProtocolWhole::readWholeDevice() {
    const Memory m = randomMemory(7);
    EncoderSession s(SessionOptions().withMemory(m));
    moveSelectors(s);
    const QColor before = s.form().statusColour();
    QVERIFY(loadMap(s));
    QCOMPARE(s.frames(),
             (std::vector<Bytes>{bytesOf({0x10, 0x00, 0x80}), bytesOf({0x10, 0x80, 0x80})}));
    QCOMPARE(s.deviceMap(), m);
    for (const char* name : kSelectors)
        QCOMPARE(s.control<QComboBox>(name)->currentIndex(), 0);
    s.settle(300ms);
    QCOMPARE(s.dialogs().texts(Kind::Plain), QStringList{kReadDone});
    QCOMPARE(s.dialogs().count(Kind::Error) + s.dialogs().count(Kind::StandardError), 0);
    QCOMPARE(s.form().statusColour(), before);
    // The pages show what was read: PI of Frame 1 from addresses 0 and 1.
    QCOMPARE(s.control<QComboBox>("Mat1")->currentIndex(), int(m[1]));
}

void TestProtocolWhole::brokenWholeReadLeavesMap_data() {
    QTest::addColumn<int>("frame");    // which of the two read frames breaks off
    QTest::addColumn<int>("received"); // bytes of it that arrive
    QTest::newRow("first half after 1") << 1 << 1;
    QTest::newRow("first half after 127") << 1 << 127;
    QTest::newRow("second half after 50") << 2 << 50;
    QTest::newRow("second half after 127") << 2 << 127;
}

void TestProtocolWhole::brokenWholeReadLeavesMap() {
    QFETCH(int, frame);
    QFETCH(int, received);
    EncoderSession s(SessionOptions().withMemory(randomMemory(11)).withTimer1(2000ms));
    s.encoder().addFault({frame, FaultKind::ShortReply, received, {}});
    moveSelectors(s);
    const Memory before = s.deviceMap();
    s.trigger("LeerEquipo1");
    QVERIFY(s.waitFor([&s] { return s.dialogs().count(Kind::StandardError) == 1; }));
    QCOMPARE(s.dialogs().texts(Kind::StandardError), QStringList{QStringLiteral("Timeout.")});
    QVERIFY(s.idle());
    QCOMPARE(s.deviceMap(), before);
    QCOMPARE(s.control<QComboBox>("FramePI")->currentIndex(), 1);
    // Reported once: no "Error de Comunicación" from the time-out of the second half later.
    s.settle(2500ms);
    QCOMPARE(s.dialogs().count(Kind::Error), 0);
    QCOMPARE(s.dialogs().count(Kind::Plain), 0);
    QVERIFY(s.idle());
    // A later whole read works.
    QVERIFY(loadMap(s));
    QCOMPARE(s.deviceMap(), s.encoder().memory());
}

void TestProtocolWhole::programWholeDevice() {
    EncoderSession s(SessionOptions().withMemory(randomMemory(3)));
    QVERIFY(loadMap(s));
    const Memory loaded = s.deviceMap();
    s.encoder().setMemory(Memory{});
    s.encoder().clearLog();
    s.control<QPlainTextEdit>("RTEdit")->setPlainText(QStringLiteral("Hola\nmundo"));
    s.dialogs().queueAnswer(Dialogs::Answer::Yes);
    s.trigger("Grabartodoelequipo1");
    QVERIFY(s.waitIdle());
    QCOMPARE(s.dialogs().texts(Kind::Question),
             QStringList{QStringLiteral("Quiere programar todo el equipo?")});

    Bytes text = bytesOf({'H', 'o', 'l', 'a', 0x0D, 0x0A, 'm', 'u', 'n', 'd', 'o'});
    text.resize(64, 0x20);
    Memory expected = loaded;
    std::copy(text.begin(), text.end(), expected.begin() + 40);
    QCOMPARE(s.deviceMap(), expected);
    QCOMPARE(s.encoder().memory(), expected);

    const auto frames = s.frames();
    QCOMPARE(frames.size(), std::size_t(16));
    for (int c = 0; c < 16; ++c) {
        const Bytes& f = frames[c];
        QCOMPARE(f.size(), std::size_t(19));
        QCOMPARE(int(f[0]), 4);
        QCOMPARE(int(f[17]), 16 * c);
        QCOMPARE(f[18], xorOf(f, 18));
        QCOMPARE(Bytes(f.begin() + 1, f.begin() + 17), slice(expected, 16 * c, 16));
    }
    QCOMPARE(s.form().statusColour(), TForm1::clLime);
    QCOMPARE(int(s.form().chunkIndex()), 16);
    QCOMPARE(s.dialogs().count(Kind::Plain), 1); // no closing message of its own
}

void TestProtocolWhole::programmingWaitsForEachAnswer() {
    EncoderSession s(SessionOptions().withTimer1(300ms));
    s.encoder().addFault({5, FaultKind::NoAnswer, 0, {}});
    s.dialogs().queueAnswer(Dialogs::Answer::Yes);
    s.trigger("Grabartodoelequipo1");
    QVERIFY(s.waitFor([&s] { return s.dialogs().count(Kind::Error) == 1; }));
    QCOMPARE(s.dialogs().texts(Kind::Error), QStringList{QStringLiteral("Error de Comunicación")});
    s.settle(200ms);
    QCOMPARE(s.encoder().framesReceived(), 5);
    QCOMPARE(int(s.form().sendState()), 3);
    QCOMPARE(int(s.form().chunkIndex()), 5);
    QVERIFY(s.buttonsUnlocked());
    // A late answer carries the chain on (the rest at the real time-out: a loaded machine).
    s.form().timer1().setInterval(5000ms);
    s.encoder().inject({0xAA});
    QVERIFY(s.waitFor([&s] { return s.form().sendState() == 0; }));
    QCOMPARE(s.encoder().framesReceived(), 16);
    QCOMPARE(s.encoder().memory(), s.deviceMap());
}

void TestProtocolWhole::programmingFailedChunkEndsRed_data() {
    QTest::addColumn<int>("failingChunk");
    QTest::addColumn<QColor>("colour");
    QTest::newRow("none") << 0 << TForm1::clLime;
    QTest::newRow("first") << 1 << TForm1::clRed;
    QTest::newRow("fifth") << 5 << TForm1::clRed;
    QTest::newRow("fifteenth") << 15 << TForm1::clRed;
    QTest::newRow("last") << 16 << TForm1::clRed;
}

void TestProtocolWhole::programmingFailedChunkEndsRed() {
    QFETCH(int, failingChunk);
    QFETCH(QColor, colour);
    EncoderSession s(SessionOptions().withTimer2(60s));
    if (failingChunk)
        s.encoder().addFault({failingChunk, FaultKind::FailAnswer, 0, {}});
    s.dialogs().queueAnswer(Dialogs::Answer::Yes);
    s.trigger("Grabartodoelequipo1");
    QVERIFY(s.waitIdle());
    QCOMPARE(s.encoder().framesReceived(), 16);
    QCOMPARE(s.form().statusColour(), colour);
}

void TestProtocolWhole::programmingShowsTheScreenItSelects() {
    Memory m{};
    m.fill(0x20);
    const Bytes frame1Screen1 = bytesOf({'F', 'I', 'R', 'S', 'T', ' ', ' ', ' '});
    std::copy(frame1Screen1.begin(), frame1Screen1.end(), m.begin() + 104);
    EncoderSession s(SessionOptions().withMemory(m));
    QVERIFY(loadMap(s));
    auto* ps = s.control<QLineEdit>("PS");
    s.select("FramePS", 1);
    s.select("PSBox", 4);
    ps->setText(QStringLiteral("TYPED"));
    s.dialogs().queueAnswer(Dialogs::Answer::Yes);
    s.trigger("Grabartodoelequipo1");
    QVERIFY(s.waitIdle());
    QCOMPARE(s.control<QComboBox>("FramePS")->currentIndex(), 0);
    QCOMPARE(s.control<QComboBox>("PSBox")->currentIndex(), 0);
    // The name typed on the screen shown goes out with the rest.
    QCOMPARE(slice(s.encoder().memory(), 104 + 64 + 32, 8),
             bytesOf({'T', 'Y', 'P', 'E', 'D', ' ', ' ', ' '}));
    // The edit shows the screen selected, so leaving the page stores nothing foreign.
    QCOMPARE(ps->text(), QStringLiteral("FIRST   "));
    auto* pages = s.control<QTabWidget>("Planes");
    pages->setCurrentIndex(pages->currentIndex() == 0 ? 1 : 0);
    QCOMPARE(slice(s.deviceMap(), 104, 8), frame1Screen1);
}

void TestProtocolWhole::eraseSendsTwoBytes() {
    EncoderSession s(SessionOptions().withMemory(randomMemory(5)));
    QVERIFY(loadMap(s));
    s.encoder().clearLog();
    const Memory before = s.deviceMap();
    s.dialogs().queueAnswer(Dialogs::Answer::Yes);
    s.trigger("BorrarMemoriaEquipo1");
    QVERIFY(s.waitIdle());
    QCOMPARE(s.dialogs().texts(Kind::Question),
             QStringList{QStringLiteral("Quiere borrar la memoria del equipo?")});
    QCOMPARE(s.frames(), std::vector<Bytes>{bytesOf({0xFE, 0xFE})});
    QCOMPARE(s.deviceMap(), before);
    Memory erased{};
    erased.fill(0xFF);
    QCOMPARE(s.encoder().memory(), erased);
    QCOMPARE(s.form().statusColour(), TForm1::clLime);
}

void TestProtocolWhole::hangUpDuringWholeRead() {
    EncoderSession s(SessionOptions().withMemory(randomMemory(13)).withTimer1(2000ms));
    s.encoder().addFault({2, FaultKind::HangUp, 0, {}});
    moveSelectors(s);
    const Memory before = s.deviceMap();
    s.trigger("LeerEquipo1");
    // The read that waits for the second half fails; the failure is shown once.
    QVERIFY(s.waitFor([&s] { return s.dialogs().count(Kind::Error) == 1; }));
    QVERIFY(s.waitFor([&s] { return !s.form().port().Active(); }));
    QVERIFY(s.idle());
    QCOMPARE(s.deviceMap(), before);
    s.settle(2500ms);
    QCOMPARE(s.dialogs().count(Kind::Error) + s.dialogs().count(Kind::Plain), 1);
    QCOMPARE(s.dialogs().count(Kind::StandardError), 0);
    if (s.bridge())
        return; // a network port comes back by itself
    s.click("ReadPI");
    QCOMPARE(s.dialogs().texts(Kind::StandardError),
             QStringList{QStringLiteral("Can't perform this operation on a closed port.")});
}

void TestProtocolWhole::comparisonLeavesTheMap() {
    EncoderSession s(SessionOptions().withMemory(randomMemory(17)));
    QVERIFY(loadMap(s));
    const Memory edited = s.deviceMap();
    Memory changed = edited;
    changed[1] ^= 0x01; // Frame 1 PI
    s.encoder().setMemory(changed);
    const auto compare = [&s] {
        s.trigger("CompararconelEquipo1");
        QVERIFY(s.waitFor([&s] {
            auto* w = s.form().findChild<QDialog*>(QStringLiteral("StationComparison"));
            return w && w->isVisible() && s.idle();
        }));
    };
    compare();
    auto* table = s.form().findChild<QTableWidget*>(QStringLiteral("differences"));
    QCOMPARE(table->rowCount(), 1);
    QVERIFY(table->item(0, 0)->text().contains(QLatin1String("pi")));
    QCOMPARE(s.deviceMap(), edited);
    QCOMPARE(s.dialogs().count(Kind::Plain), 1); // the load's, none for the comparison
    s.encoder().setMemory(edited);
    compare();
    QCOMPARE(s.form().findChild<QLabel*>(QStringLiteral("summary"))->text(),
             QStringLiteral("Sin diferencias"));
}

QTEST_MAIN(TestProtocolWhole)
#include "tst_protocol_whole.moc"
