// Single-block writes and reads against the simulated encoder: the bytes on the wire, what
// the map and the encoder hold afterwards, and what the page shows after reading back.

#include "encoder_session.h"

#include "core/field_encodings.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QTest>

using namespace std::chrono_literals;
using Kind = ScriptedDialogs::Kind;

namespace {

enum class Page { Pi, Pty, Ps, Af, Conf };

struct PageInfo {
    const char* send;
    const char* read;
    const char* selector;
    const char* question;
    int code;
    int length;
};

PageInfo info(Page page) {
    switch (page) {
    case Page::Pi:
        return {"EnviaPI", "ReadPI", "FramePI", "Quiere grabar el PI en el equipo?", 1, 2};
    case Page::Pty:
        return {"EnviaPTY", "ReadPTY", "FramePTY", "Quiere grabar el bloque PTY en el equipo?",
                1,          2};
    case Page::Ps:
        return {"EnviaPS", "ReadPS", "FramePS", "Quiere grabar el PS en el equipo?", 2, 8};
    case Page::Af:
        return {"EnviaAF", "ReadAF", "AFSelectFrame", "Quiere grabar las AF en el equipo?", 3, 16};
    case Page::Conf:
        return {"EnviaCONF", "ReadConf",
                "FrameConf", "Quiere grabar la configuración en el equipo?",
                5,           2};
    }
    return {};
}

// Two distinct sets of control values per page (variant 0 and 1), varied by frame and screen
// so that no two rows write the same bytes.
void applyValues(EncoderSession& s, Page page, int variant, int f, int screen) {
    const int salt = f * 8 + screen;
    switch (page) {
    case Page::Pi:
        s.select("Country", variant ? 2 : 12 - f);
        s.select("Coverage", variant ? 9 : 3 + f);
        s.select("Mat1", variant ? 0x11 : 0xA5 + f);
        break;
    case Page::Pty:
        s.control<QCheckBox>("TPBox")->setChecked(variant == 0);
        s.select("PTYBox", variant ? 3 : 10 + f);
        s.select("MS", variant ? 0 : 1);
        break;
    case Page::Ps:
        s.select("PSBox", screen);
        s.control<QLineEdit>("PS")->setText(
            variant ? QStringLiteral("ZZ") : QStringLiteral("S%1F%2 abc").arg(screen).arg(f));
        break;
    case Page::Af:
        // Every list in use, so the page shows all fifteen codes after reading back.
        s.select("NumAF", variant ? 3 : 15);
        for (int i = 1; i <= 15; ++i)
            s.select(qPrintable(QStringLiteral("AF%1").arg(i)), variant ? 204 - i : i * 7 + salt);
        break;
    case Page::Conf:
        s.select("NumPant", variant ? 7 : 2 + f);
        s.control<QCheckBox>("RTBox")->setChecked(variant == 0);
        s.select("Timing", variant ? 4 : 2 - f);
        break;
    }
}

QString describe(EncoderSession& s, Page page) {
    auto idx = [&s](const char* name) { return s.control<QComboBox>(name)->currentIndex(); };
    auto ticked = [&s](const char* name) { return s.control<QCheckBox>(name)->isChecked(); };
    switch (page) {
    case Page::Pi:
        return QStringLiteral("%1 %2 %3").arg(idx("Country")).arg(idx("Coverage")).arg(idx("Mat1"));
    case Page::Pty:
        return QStringLiteral("%1 %2 %3").arg(ticked("TPBox")).arg(idx("PTYBox")).arg(idx("MS"));
    case Page::Ps:
        return s.control<QLineEdit>("PS")->text();
    case Page::Af: {
        QString out = QString::number(idx("NumAF"));
        for (int i = 1; i <= 15; ++i)
            out +=
                QLatin1Char(' ') + QString::number(idx(qPrintable(QStringLiteral("AF%1").arg(i))));
        return out;
    }
    case Page::Conf:
        return QStringLiteral("%1 %2 %3")
            .arg(idx("NumPant"))
            .arg(ticked("RTBox"))
            .arg(idx("Timing"));
    }
    return {};
}

using Setup = std::function<void(EncoderSession&)>;

template <std::size_t N> Bytes toBytes(const std::array<std::uint8_t, N>& a) {
    return Bytes(a.begin(), a.end());
}

} // namespace

Q_DECLARE_METATYPE(Page)
Q_DECLARE_METATYPE(Setup)
Q_DECLARE_METATYPE(Bytes)

class TestProtocolBlocks : public QObject {
    Q_OBJECT
private slots:
    void writeThenReadBack_data();
    void writeThenReadBack();
    void exactWriteFrames_data();
    void exactWriteFrames();
    void radioTextChunks_data();
    void radioTextChunks();
    void radioTextReadIgnoresSelectors();
    void readThenChangeStoresThatBlock_data();
    void readThenChangeStoresThatBlock();
    void failedReadKeepsField_data();
    void failedReadKeepsField();
};

void TestProtocolBlocks::writeThenReadBack_data() {
    QTest::addColumn<Page>("page");
    QTest::addColumn<int>("frame");
    QTest::addColumn<int>("screen");
    QTest::addColumn<int>("address");
    const std::pair<Page, const char*> pages[] = {
        {Page::Pi, "PI"}, {Page::Pty, "PTY"}, {Page::Af, "AF"}, {Page::Conf, "CONFIG"}};
    const int addresses[][2] = {{0x00, 0x04}, {0x02, 0x06}, {0x08, 0x18}, {0xFC, 0xFE}};
    for (int p = 0; p < 4; ++p)
        for (int f = 0; f < 2; ++f)
            QTest::addRow("%s frame %d", pages[p].second, f + 1)
                << pages[p].first << f << 0 << addresses[p][f];
    for (int f = 0; f < 2; ++f)
        for (int screen = 0; screen < 8; ++screen)
            QTest::addRow("PS frame %d screen %d", f + 1, screen + 1)
                << Page::Ps << f << screen << 104 + 64 * f + 8 * screen;
}

void TestProtocolBlocks::writeThenReadBack() {
    QFETCH(Page, page);
    QFETCH(int, frame);
    QFETCH(int, screen);
    QFETCH(int, address);
    const PageInfo pi = info(page);
    EncoderSession s(SessionOptions().withTimer2(60s)); // the colour holds through the read
    s.select(pi.selector, frame);

    // Write the first values: exact frame layout, stored in the map and in the encoder.
    applyValues(s, page, 0, frame, screen);
    s.dialogs().queueAnswer(Dialogs::Answer::Yes);
    s.click(pi.send);
    QVERIFY(s.waitIdle());
    QCOMPARE(s.dialogs().texts(Kind::Question), QStringList{QString::fromUtf8(pi.question)});
    const auto frames = s.frames();
    QCOMPARE(frames.size(), std::size_t(1));
    const Bytes& f = frames[0];
    QCOMPARE(f.size(), std::size_t(pi.length + 3));
    QCOMPARE(int(f[0]), pi.code);
    QCOMPARE(int(f[pi.length + 1]), address);
    QCOMPARE(f[pi.length + 2], xorOf(f, pi.length + 2));
    const Bytes data(f.begin() + 1, f.begin() + 1 + pi.length);
    QCOMPARE(slice(s.deviceMap(), address, pi.length), data);
    QCOMPARE(slice(s.encoder().memory(), address, pi.length), data);
    QCOMPARE(s.form().statusColour(), TForm1::clLime);
    const QString written = describe(s, page);
    const Memory encoderAfterFirst = s.encoder().memory();

    // Write other values, then put the first ones back into the encoder behind our back.
    applyValues(s, page, 1, frame, screen);
    s.dialogs().queueAnswer(Dialogs::Answer::Yes);
    s.click(pi.send);
    QVERIFY(s.waitIdle());
    QVERIFY(describe(s, page) != written);
    const Memory mapBeforeRead = s.deviceMap();
    s.encoder().setMemory(encoderAfterFirst);
    s.encoder().clearLog();

    // The read shows the encoder's block and leaves the map alone.
    s.click(pi.read);
    QVERIFY(s.waitIdle());
    QCOMPARE(s.frames(), std::vector<Bytes>{bytesOf({0x10, address, pi.length})});
    QCOMPARE(describe(s, page), written);
    QCOMPARE(s.deviceMap(), mapBeforeRead);
    QCOMPARE(s.form().statusColour(), TForm1::clLime); // reads leave the colour
    QCOMPARE(s.dialogs().count(Kind::StandardError), 0);
}

void TestProtocolBlocks::exactWriteFrames_data() {
    QTest::addColumn<Setup>("setup");
    QTest::addColumn<QString>("button");
    QTest::addColumn<Bytes>("expected");
    QTest::newRow("PI frame 2") << Setup([](EncoderSession& s) {
        s.select("FramePI", 1);
        s.select("Country", 13);
        s.select("Coverage", 0);
        s.select("Mat1", 0x12);
    }) << "EnviaPI" << bytesOf({0x01, 0xE0, 0x12, 0x04, 0xF7});
    QTest::newRow("PTY frame 1") << Setup([](EncoderSession& s) {
        s.select("FramePTY", 0);
        s.select("PTYBox", 10);
        s.control<QCheckBox>("TPBox")->setChecked(true);
        s.select("MS", 1);
    }) << "EnviaPTY" << bytesOf({0x01, 0x05, 0x48, 0x02, 0x4E});
    QTest::newRow("sequence frame 1") << Setup([](EncoderSession& s) {
        s.select("FrameConf", 0);
        s.select("NumPant", 2);
        s.control<QCheckBox>("RTBox")->setChecked(true);
        s.select("Timing", 2);
    }) << "EnviaCONF" << bytesOf({0x05, 0x83, 0x60, 0xFC, 0x1A});
    QTest::newRow("PS padded with spaces") << Setup([](EncoderSession& s) {
        s.select("FramePS", 0);
        s.select("PSBox", 0);
        s.control<QLineEdit>("PS")->setText(QStringLiteral("ABC"));
    }) << "EnviaPS" << bytesOf({0x02, 0x41, 0x42, 0x43, 0x20, 0x20, 0x20, 0x20, 0x20, 0x68, 0x0A});
    Bytes af = bytesOf({0x03, 0xE0});
    af.resize(17, 0x00);
    af.push_back(0x08);
    af.push_back(0xEB);
    QTest::newRow("AF with none still carries fifteen codes") << Setup([](EncoderSession& s) {
        s.select("AFSelectFrame", 0);
        s.select("NumAF", 0);
        for (int i = 1; i <= 15; ++i)
            s.select(qPrintable(QStringLiteral("AF%1").arg(i)), 0);
    }) << "EnviaAF" << af;
}

void TestProtocolBlocks::exactWriteFrames() {
    QFETCH(Setup, setup);
    QFETCH(QString, button);
    QFETCH(Bytes, expected);
    EncoderSession s;
    setup(s);
    s.dialogs().queueAnswer(Dialogs::Answer::Yes);
    s.click(qPrintable(button));
    QVERIFY(s.waitIdle());
    QCOMPARE(hex(s.frames().at(0)), hex(expected));
    const int length = static_cast<int>(expected.size()) - 3;
    const int address = expected[expected.size() - 2];
    QCOMPARE(slice(s.deviceMap(), address, length),
             Bytes(expected.begin() + 1, expected.end() - 2));
}

void TestProtocolBlocks::radioTextChunks_data() {
    QTest::addColumn<QString>("memo");
    QTest::addColumn<Bytes>("text"); // the bytes before the space padding
    QTest::newRow("ten characters")
        << "Radio Uno!" << bytesOf({'R', 'a', 'd', 'i', 'o', ' ', 'U', 'n', 'o', '!'});
    QTest::newRow("line break as CR LF") << "AB\nCD" << bytesOf({'A', 'B', 0x0D, 0x0A, 'C', 'D'});
    QTest::newRow("empty") << "" << Bytes{};
    QTest::newRow("Latin-1 character") << QString::fromUtf8("Ñu") << bytesOf({0xD1, 'u'});
    const QString full = QString(64, QLatin1Char('x'));
    QTest::newRow("full 64") << full << Bytes(64, 'x');
}

void TestProtocolBlocks::radioTextChunks() {
    QFETCH(QString, memo);
    QFETCH(Bytes, text);
    Bytes padded = text;
    padded.resize(64, 0x20);
    EncoderSession s;
    s.control<QPlainTextEdit>("RTEdit")->setPlainText(memo);
    s.dialogs().queueAnswer(Dialogs::Answer::Yes);
    s.click("EnviaRT1");
    QVERIFY(s.waitIdle());
    QCOMPARE(s.dialogs().texts(Kind::Question),
             QStringList{QStringLiteral("Quiere grabar el Radiotexto en el equipo?")});
    const auto frames = s.frames();
    QCOMPARE(frames.size(), std::size_t(4));
    for (int k = 0; k < 4; ++k) {
        const Bytes& f = frames[k];
        QCOMPARE(f.size(), std::size_t(19));
        QCOMPARE(int(f[0]), 4);
        QCOMPARE(int(f[17]), 40 + 16 * k);
        QCOMPARE(f[18], xorOf(f, 18));
        QCOMPARE(Bytes(f.begin() + 1, f.begin() + 17),
                 Bytes(padded.begin() + 16 * k, padded.begin() + 16 * k + 16));
    }
    QCOMPARE(slice(s.deviceMap(), 40, 64), padded);
    QCOMPARE(slice(s.encoder().memory(), 40, 64), padded);
    QCOMPARE(s.form().statusColour(), TForm1::clLime);
    QCOMPARE(int(s.form().chunkIndex()), 4);
}

void TestProtocolBlocks::radioTextReadIgnoresSelectors() {
    Memory m{};
    for (int i = 0; i < 256; ++i)
        m[i] = static_cast<std::uint8_t>('A' + i % 26);
    m[40 + 20] = 0; // the memo shows the text up to the first zero
    EncoderSession s(SessionOptions().withMemory(m));
    for (const char* selector : {"FramePI", "FramePS", "FramePTY", "AFSelectFrame", "FrameConf"})
        s.select(selector, 1);
    s.click("ReadRT");
    QVERIFY(s.waitIdle());
    QCOMPARE(s.frames(), std::vector<Bytes>{bytesOf({0x10, 0x28, 0x40})});
    const Bytes shown = slice(m, 40, 20);
    QCOMPARE(s.control<QPlainTextEdit>("RTEdit")->toPlainText(),
             QString::fromLatin1(reinterpret_cast<const char*>(shown.data()), 20));
}

void TestProtocolBlocks::readThenChangeStoresThatBlock_data() {
    using namespace quillmark;
    QTest::addColumn<QString>("read");
    QTest::addColumn<QString>("selector");
    QTest::addColumn<int>("frame");
    QTest::addColumn<int>("block");
    QTest::addColumn<Bytes>("onEncoder");
    QTest::addColumn<QString>("control");
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("address");
    QTest::addColumn<Bytes>("stored");
    // The reference byte alone: the country byte of the map keeps its old value.
    QTest::newRow("PI frame 2, reference")
        << "ReadPI" << "FramePI" << 1 << 4 << toBytes(encodePi({4, 7, 0x3C})) << "Mat1" << 0x99
        << 5 << Bytes{encodePi({4, 7, 0x99})[1]};
    QTest::newRow("PTY frame 1, MS")
        << "ReadPTY" << "FramePTY" << 0 << 2 << toBytes(encodePty({true, 10, 0})) << "MS" << 1
        << 2 << toBytes(encodePty({true, 10, 1}));
    AfControls af{5, {10, 20, 30, 40, 50}};
    const Bytes afRead = toBytes(encodeAf(af));
    af.codes[2] = 99;
    QTest::newRow("AF frame 2, AF3") << "ReadAF" << "AFSelectFrame" << 1 << 24 << afRead << "AF3"
                                     << 99 << 24 << toBytes(encodeAf(af));
    QTest::newRow("CONFIG frame 2, timing")
        << "ReadConf" << "FrameConf" << 1 << 254 << toBytes(encodeSequence({5, true, 3}))
        << "Timing" << 1 << 254 << toBytes(encodeSequence({5, true, 1}));
}

void TestProtocolBlocks::readThenChangeStoresThatBlock() {
    QFETCH(QString, read);
    QFETCH(QString, selector);
    QFETCH(int, frame);
    QFETCH(int, block);
    QFETCH(Bytes, onEncoder);
    QFETCH(QString, control);
    QFETCH(int, index);
    QFETCH(int, address);
    QFETCH(Bytes, stored);
    EncoderSession s;
    const Memory before = s.deviceMap();
    QVERIFY(slice(before, block, int(onEncoder.size())) != onEncoder);
    Memory onDevice = before;
    std::copy(onEncoder.begin(), onEncoder.end(), onDevice.begin() + block);
    s.encoder().setMemory(onDevice);
    s.select(qPrintable(selector), frame);
    s.click(qPrintable(read));
    QVERIFY(s.waitIdle());
    QCOMPARE(s.deviceMap(), before);
    auto* list = s.control<QComboBox>(qPrintable(control));
    list->setCurrentIndex(index);
    emit list->activated(index);
    Memory expected = before;
    std::copy(stored.begin(), stored.end(), expected.begin() + address);
    QCOMPARE(s.deviceMap(), expected);
}

void TestProtocolBlocks::failedReadKeepsField_data() {
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("received"); // -1: no reply at all
    for (const char* button : {"ReadPS", "ReadRT"}) {
        QTest::addRow("%s, no reply", button) << button << -1;
        QTest::addRow("%s, reply breaks off", button) << button << 3;
    }
}

void TestProtocolBlocks::failedReadKeepsField() {
    QFETCH(QString, button);
    QFETCH(int, received);
    // Longer than the port's read time-out, so a broken reply is not also a missing one.
    EncoderSession s(SessionOptions().withTimer1(1500ms));
    s.encoder().addFault({1, received < 0 ? quillmark::sim::FaultKind::NoAnswer
                                          : quillmark::sim::FaultKind::ShortReply,
                          received, {}});
    auto* ps = s.control<QLineEdit>("PS");
    auto* rt = s.control<QPlainTextEdit>("RTEdit");
    ps->setText(QStringLiteral("OLD"));
    rt->setPlainText(QStringLiteral("OLD TEXT"));
    const bool isPs = button == QLatin1String("ReadPS");
    s.click(qPrintable(button));
    // Emptied while the reply is awaited.
    QCOMPARE(isPs ? ps->text() : rt->toPlainText(), QString());
    QVERIFY(s.waitFor([&s] { return s.dialogs().count(Kind::Error) +
                                        s.dialogs().count(Kind::StandardError) == 1; }));
    QVERIFY(s.idle());
    QCOMPARE(ps->text(), QStringLiteral("OLD"));
    QCOMPARE(rt->toPlainText(), QStringLiteral("OLD TEXT"));
    // A page change stores the text shown, not blanks.
    s.control<QTabWidget>("Planes")->setCurrentIndex(2);
    QCOMPARE(hex(slice(s.deviceMap(), 104, 8)), hex(bytesOf({'O', 'L', 'D', ' ', ' ', ' ', ' ', ' '})));
    QCOMPARE(hex(slice(s.deviceMap(), 40, 8)), hex(bytesOf({'O', 'L', 'D', ' ', 'T', 'E', 'X', 'T'})));
}

QTEST_MAIN(TestProtocolBlocks)
#include "tst_protocol_blocks.moc"
