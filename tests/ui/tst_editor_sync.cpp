// Controls and station data in step: frame and screen selectors, edits, page changes,
// the AF count, the PS screen cases and the byte round trips of the texts.

#include "window_fixture.h"

#include "core/station_image.h"

#include <QCheckBox>
#include <QClipboard>
#include <QApplication>
#include <QKeyEvent>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>

using namespace quillmark;
using Map = std::array<std::uint8_t, 256>;

namespace {

Map defaultsWith(std::initializer_list<std::pair<int, std::uint8_t>> bytes) {
    Map map{};
    map.fill(0x20);
    for (const auto& [address, value] : bytes)
        map[static_cast<std::size_t>(address)] = value;
    return map;
}

QByteArray bytesAt(const Map& map, Block b) {
    return QByteArray(reinterpret_cast<const char*>(map.data()) + b.address, b.length);
}

void setScreen(Map& map, int frame, int screen, const QByteArray& text) {
    const auto b = psScreenBlock(frame, screen);
    for (int j = 0; j < b.length; ++j)
        map[static_cast<std::size_t>(b.address + j)] = static_cast<std::uint8_t>(text[j]);
}

} // namespace

class TestEditorSync : public QObject {
    Q_OBJECT
private slots:
    void frameSwitchShowsStoredBlockWithoutWriting_data();
    void frameSwitchShowsStoredBlockWithoutWriting();
    void edgeWritesOnlyItsBlock_data();
    void edgeWritesOnlyItsBlock();
    void checkBoxClickWritesSelectedFrame_data();
    void checkBoxClickWritesSelectedFrame();
    void loweringAfCountKeepsStoredCodes();
    void afCountBoundaries_data();
    void afCountBoundaries();
    void psDropDownStoresTypedNameThenShowsChosenScreen();
    void psKeyboardPickShowsScreenWithoutStoring();
    void psFrameDropDownStoresIntoScreenBeingLeft();
    void psClickEmptiesEditOnly();
    void ffScreenShownBothWays();
    void zeroByteInScreenAddsNothing();
    void pageChangeStoresPsAndRadioText_data();
    void pageChangeStoresPsAndRadioText();
    void hiddenButtonsStoreWhenPressedFromCode();
    void pageChangeKeepsBytesNotShown();
    void lengthLimits();
    void psRoundTripsEveryByte();
    void radioTextRoundTripsEveryByte_data();
    void radioTextRoundTripsEveryByte();
    void radioTextLineBreakIsCrLf();
    void inputRefusesCharactersWithoutAByte_data();
    void inputRefusesCharactersWithoutAByte();
    void refreshResetsSelectors();
    void undecodableBytesSelectNothing();
};

void TestEditorSync::frameSwitchShowsStoredBlockWithoutWriting_data() {
    QTest::addColumn<QString>("selector");
    QTest::addColumn<Map>("map");
    QTest::addColumn<QStringList>("controls");
    QTest::addColumn<QStringList>("frame1");
    QTest::addColumn<QStringList>("frame2");

    QTest::newRow("PI") << "FramePI" << defaultsWith({{0, 0xE0}, {1, 0x12}, {4, 0x5A}, {5, 0xFF}})
                        << QStringList{"Country", "Coverage", "Mat1"}
                        << QStringList{"E - Spain, Canarias, Roumania, Sweden", "0 - Local", "12"}
                        << QStringList{"5 - Italy, Jordan", "A - Regional 7", "FF"};
    QTest::newRow("PTY TP only in frame 1")
        << "FramePTY" << defaultsWith({{2, 0x05}, {3, 0xE8}, {6, 0x01}, {7, 0x20}})
        << QStringList{"TPBox", "PTYBox", "MS"}
        << QStringList{"checked", "15 - Other Music", "1 - Music"}
        << QStringList{"clear", "9 - Varied", "0 - Speech"};
    QTest::newRow("CONFIG flag and timing differ")
        << "FrameConf" << defaultsWith({{252, 0x82}, {253, 0x78}, {254, 0x01}, {255, 0x90}})
        << QStringList{"NumPant", "RTBox", "Timing"} << QStringList{"2", "checked", "10 seg."}
        << QStringList{"1", "clear", "12 seg."};
    QTest::newRow("AF") << "AFSelectFrame"
                        << defaultsWith({{8, 0xE2}, {9, 1}, {10, 204}, {24, 0xE1}, {25, 125}})
                        << QStringList{"NumAF", "AF1", "AF2"} << QStringList{"2", "87.6", "107.9"}
                        << QStringList{"1", "100.0", "None"};
    Map ps = defaultsWith({});
    setScreen(ps, 0, 0, "FRAME1 A");
    setScreen(ps, 1, 0, "FRAME2 A");
    QTest::newRow("PS") << "FramePS" << ps << QStringList{"PS"} << QStringList{"FRAME1 A"}
                        << QStringList{"FRAME2 A"};
}

namespace {
QString shown(Window& w, const QString& name) {
    auto* widget = w.control<QWidget>(qPrintable(name));
    if (auto* list = qobject_cast<QComboBox*>(widget))
        return list->currentText();
    if (auto* box = qobject_cast<QCheckBox*>(widget))
        return box->isChecked() ? "checked" : "clear";
    return qobject_cast<QLineEdit*>(widget)->text();
}
} // namespace

void TestEditorSync::frameSwitchShowsStoredBlockWithoutWriting() {
    QFETCH(QString, selector);
    QFETCH(Map, map);
    QFETCH(QStringList, controls);
    QFETCH(QStringList, frame1);
    QFETCH(QStringList, frame2);
    Window w;
    w.loadMap(map);
    for (int i = 0; i < controls.size(); ++i)
        QCOMPARE(shown(w, controls[i]), frame1[i]);
    w.pick(qPrintable(selector), 1);
    for (int i = 0; i < controls.size(); ++i)
        QCOMPARE(shown(w, controls[i]), frame2[i]);
    QCOMPARE(w.deviceMap(), map);
    w.pick(qPrintable(selector), 0);
    for (int i = 0; i < controls.size(); ++i)
        QCOMPARE(shown(w, controls[i]), frame1[i]);
    QCOMPARE(w.deviceMap(), map);
}

void TestEditorSync::edgeWritesOnlyItsBlock_data() {
    QTest::addColumn<QString>("selector");
    QTest::addColumn<int>("frame");
    QTest::addColumn<QString>("list");
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("address");
    QTest::addColumn<QByteArray>("bytes");

    QTest::newRow("country, frame 2")
        << "FramePI" << 1 << "Country" << 14 << 4 << QByteArray("\xF0", 1);
    QTest::newRow("coverage, frame 1")
        << "FramePI" << 0 << "Coverage" << 15 << 0 << QByteArray("\xEF", 1);
    QTest::newRow("reference, frame 2")
        << "FramePI" << 1 << "Mat1" << 255 << 5 << QByteArray("\xFF", 1);
    QTest::newRow("PTY 15, frame 1")
        << "FramePTY" << 0 << "PTYBox" << 15 << 2 << QByteArray("\x01\xE0", 2);
    QTest::newRow("music, frame 2")
        << "FramePTY" << 1 << "MS" << 1 << 6 << QByteArray("\x00\x08", 2);
    QTest::newRow("AF15 last frequency, frame 2")
        << "AFSelectFrame" << 1 << "AF1" << 204 << 24 << QByteArray("\xE0\xCC", 2);
    QTest::newRow("eight screens, frame 1")
        << "FrameConf" << 0 << "NumPant" << 7 << 252 << QByteArray("\x08\x30", 2);
    QTest::newRow("12 seconds, frame 2")
        << "FrameConf" << 1 << "Timing" << 4 << 254 << QByteArray("\x01\x90", 2);
}

void TestEditorSync::edgeWritesOnlyItsBlock() {
    QFETCH(QString, selector);
    QFETCH(int, frame);
    QFETCH(QString, list);
    QFETCH(int, index);
    QFETCH(int, address);
    QFETCH(QByteArray, bytes);
    Window w;
    w.pick(qPrintable(selector), frame);
    if (list == "AF1")
        w.control<QComboBox>("AF1")->setEnabled(true); // reachable only with a count of 1+
    Map expected = w.deviceMap();
    for (int j = 0; j < bytes.size(); ++j)
        expected[static_cast<std::size_t>(address + j)] = static_cast<std::uint8_t>(bytes[j]);
    w.pick(qPrintable(list), index);
    QCOMPARE(w.deviceMap(), expected);
}

void TestEditorSync::checkBoxClickWritesSelectedFrame_data() {
    QTest::addColumn<QString>("selector");
    QTest::addColumn<QString>("box");
    QTest::addColumn<int>("address");
    QTest::addColumn<std::uint8_t>("value");
    QTest::newRow("TP frame 2") << "FramePTY"
                                << "TPBox" << 6 << std::uint8_t{0x04};
    QTest::newRow("RadioText active frame 2") << "FrameConf"
                                              << "RTBox" << 254 << std::uint8_t{0x81};
}

void TestEditorSync::checkBoxClickWritesSelectedFrame() {
    QFETCH(QString, selector);
    QFETCH(QString, box);
    QFETCH(int, address);
    QFETCH(std::uint8_t, value);
    Window w;
    w.form().show();
    w.pick(qPrintable(selector), 1);
    Map expected = w.deviceMap();
    expected[static_cast<std::size_t>(address)] = value;
    auto* check = w.control<QCheckBox>(qPrintable(box));
    w.control<QTabWidget>("Planes")->setCurrentWidget(check->parentWidget());
    QTest::mouseClick(check, Qt::LeftButton, {}, QPoint(5, check->height() / 2));
    QVERIFY(check->isChecked());
    QCOMPARE(w.deviceMap(), expected);
}

void TestEditorSync::loweringAfCountKeepsStoredCodes() {
    Window w;
    w.loadMap(defaultsWith({{8, 0xE5}, {9, 10}, {10, 20}, {11, 30}, {12, 40}, {13, 50}}));
    for (int k = 1; k <= 5; ++k)
        QVERIFY(w.control<QComboBox>(qPrintable(QString("AF%1").arg(k)))->isEnabled());
    const Map before = w.deviceMap();
    w.pick("NumAF", 3);
    for (int k = 1; k <= 3; ++k) {
        auto* af = w.control<QComboBox>(qPrintable(QString("AF%1").arg(k)));
        QVERIFY(af->isEnabled());
        QCOMPARE(af->currentIndex(), k * 10);
    }
    for (int k = 4; k <= 5; ++k) {
        auto* af = w.control<QComboBox>(qPrintable(QString("AF%1").arg(k)));
        QVERIFY(!af->isEnabled());
        QCOMPARE(af->currentText(), QString("None"));
    }
    QCOMPARE(w.deviceMap(), before);
    // The next AF pick stores the whole block as the page now stands.
    w.pick("AF1", 11);
    const Map after = w.deviceMap();
    QCOMPARE(after[8], 0xE3);
    QCOMPARE(after[9], 11);
    QCOMPARE(after[12], 0);
    QCOMPARE(after[13], 0);
}

void TestEditorSync::afCountBoundaries_data() {
    QTest::addColumn<int>("count");
    QTest::newRow("None") << 0;
    QTest::newRow("1") << 1;
    QTest::newRow("14") << 14;
    QTest::newRow("15") << 15;
}

void TestEditorSync::afCountBoundaries() {
    QFETCH(int, count);
    Window w;
    w.pick("NumAF", count);
    for (int k = 1; k <= 15; ++k)
        QCOMPARE(w.control<QComboBox>(qPrintable(QString("AF%1").arg(k)))->isEnabled(), k <= count);
}

void TestEditorSync::psDropDownStoresTypedNameThenShowsChosenScreen() {
    Map map = defaultsWith({});
    setScreen(map, 0, 1, "SCREEN 2");
    Window w;
    w.loadMap(map);
    auto* ps = w.control<QLineEdit>("PS");
    ps->clear();
    QTest::keyClicks(ps, "RADIO 1");
    w.dropDownAndPick("PSBox", 1);
    QCOMPARE(bytesAt(w.deviceMap(), psScreenBlock(0, 0)), QByteArray("RADIO 1 "));
    QCOMPARE(ps->text(), QString("SCREEN 2"));
}

void TestEditorSync::psKeyboardPickShowsScreenWithoutStoring() {
    Map map = defaultsWith({});
    setScreen(map, 0, 0, "ORIGINAL");
    setScreen(map, 0, 1, "SCREEN 2");
    Window w;
    w.loadMap(map);
    auto* ps = w.control<QLineEdit>("PS");
    ps->clear();
    QTest::keyClicks(ps, "TYPED");
    // The arrow key on the closed list picks the next screen; no drop-down happens.
    auto* screens = w.control<QComboBox>("PSBox");
    QTest::keyClick(screens, Qt::Key_Down);
    QCOMPARE(screens->currentIndex(), 1);
    QCOMPARE(ps->text(), QString("SCREEN 2"));
    QCOMPARE(bytesAt(w.deviceMap(), psScreenBlock(0, 0)), QByteArray("ORIGINAL"));
}

void TestEditorSync::psFrameDropDownStoresIntoScreenBeingLeft() {
    Map map = defaultsWith({});
    setScreen(map, 0, 2, "F1 S3   ");
    setScreen(map, 1, 2, "F2 S3   ");
    Window w;
    w.loadMap(map);
    w.pick("PSBox", 2);
    auto* ps = w.control<QLineEdit>("PS");
    QCOMPARE(ps->text(), QString("F1 S3   "));
    ps->clear();
    QTest::keyClicks(ps, "EDITED");
    w.dropDownAndPick("FramePS", 1);
    QCOMPARE(ps->text(), QString("F2 S3   "));
    QCOMPARE(bytesAt(w.deviceMap(), psScreenBlock(0, 2)), QByteArray("EDITED  "));
    QCOMPARE(bytesAt(w.deviceMap(), psScreenBlock(1, 2)), QByteArray("F2 S3   "));
}

void TestEditorSync::psClickEmptiesEditOnly() {
    Map map = defaultsWith({});
    setScreen(map, 0, 0, "KEEPME  ");
    Window w;
    w.loadMap(map);
    w.form().show();
    w.control<QTabWidget>("Planes")->setCurrentIndex(1);
    auto* ps = w.control<QLineEdit>("PS");
    QTest::mouseClick(ps, Qt::LeftButton);
    QCOMPARE(ps->text(), QString());
    QCOMPARE(bytesAt(w.deviceMap(), psScreenBlock(0, 0)), QByteArray("KEEPME  "));
    // Leaving the page without typing stores eight spaces.
    w.control<QTabWidget>("Planes")->setCurrentIndex(2);
    QCOMPARE(bytesAt(w.deviceMap(), psScreenBlock(0, 0)), QByteArray(8, ' '));
}

void TestEditorSync::ffScreenShownBothWays() {
    Map map = defaultsWith({});
    setScreen(map, 0, 0, QByteArray(8, '\xFF'));
    setScreen(map, 1, 4,
              QByteArray("AB\xFF\xFF"
                         "CD\xFF\xFF",
                         8));
    Window w;
    w.loadMap(map);
    auto* ps = w.control<QLineEdit>("PS");
    QCOMPARE(ps->text(), QString(8, QChar(0xFF)));
    w.pick("PSBox", 0);
    QCOMPARE(ps->text(), QString(8, QLatin1Char(' ')));
    w.pick("FramePS", 1);
    w.pick("PSBox", 4);
    QCOMPARE(ps->text(), QString("AB  CD  "));
    QCOMPARE(w.deviceMap(), map);
}

void TestEditorSync::zeroByteInScreenAddsNothing() {
    Map map = defaultsWith({});
    setScreen(map, 0, 0, QByteArray("AB\0CDEFG", 8));
    Window w;
    w.loadMap(map);
    QCOMPARE(w.control<QLineEdit>("PS")->text(), QString("ABCDEFG"));
}

void TestEditorSync::pageChangeStoresPsAndRadioText_data() {
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("to");
    QTest::newRow("PS to PTY") << 1 << 2;
    QTest::newRow("RT to CONFIG") << 4 << 5;
    QTest::newRow("PI to AF") << 0 << 3;
    QTest::newRow("CONFIG to PI") << 5 << 0;
}

void TestEditorSync::pageChangeStoresPsAndRadioText() {
    QFETCH(int, from);
    QFETCH(int, to);
    Window w;
    auto* planes = w.control<QTabWidget>("Planes");
    planes->setCurrentIndex(from);
    w.pick("FramePS", 1);
    w.pick("PSBox", 6);
    auto* ps = w.control<QLineEdit>("PS");
    ps->clear();
    QTest::keyClicks(ps, "NEWNAME");
    auto* rt = w.control<QPlainTextEdit>("RTEdit");
    rt->clear();
    QTest::keyClicks(rt, "Hello");
    const Map before = w.deviceMap();
    QCOMPARE(bytesAt(before, psScreenBlock(1, 6)), QByteArray(8, ' '));
    planes->setCurrentIndex(to);
    const Map after = w.deviceMap();
    QCOMPARE(bytesAt(after, psScreenBlock(1, 6)), QByteArray("NEWNAME "));
    QCOMPARE(bytesAt(after, radioTextBlock()), QByteArray("Hello").append(QByteArray(59, ' ')));
}

void TestEditorSync::pageChangeKeepsBytesNotShown() {
    Map map = defaultsWith({});
    setScreen(map, 0, 0, QByteArray("AB\0CD   ", 8));
    const QByteArray text("HELLO\0WORLD", 11);
    std::copy(text.begin(), text.end(), map.begin() + radioTextBlock().address);
    Window w;
    w.loadMap(map);
    auto* planes = w.control<QTabWidget>("Planes");
    for (const int page : {1, 4, 0, 1})
        planes->setCurrentIndex(page);
    w.dropDownAndPick("PSBox", 1);
    QCOMPARE(w.deviceMap(), map);
}

void TestEditorSync::hiddenButtonsStoreWhenPressedFromCode() {
    Window w;
    w.pick("FramePS", 1);
    w.pick("PSBox", 7);
    auto* ps = w.control<QLineEdit>("PS");
    ps->clear();
    QTest::keyClicks(ps, "LAST");
    auto* rt = w.control<QPlainTextEdit>("RTEdit");
    rt->clear();
    QTest::keyClicks(rt, "RT");
    const Map before = w.deviceMap();
    w.control<QPushButton>("Button1")->click();
    Map expected = before;
    setScreen(expected, 1, 7, "LAST    ");
    QCOMPARE(w.deviceMap(), expected);
    w.control<QPushButton>("Button2")->click();
    expected[40] = 'R';
    expected[41] = 'T';
    QCOMPARE(w.deviceMap(), expected);
}

void TestEditorSync::lengthLimits() {
    Window w;
    auto* ps = w.control<QLineEdit>("PS");
    ps->clear();
    QTest::keyClicks(ps, "123456789");
    QCOMPARE(ps->text(), QString("12345678"));
    auto* rt = w.control<QPlainTextEdit>("RTEdit");
    rt->clear();
    QTest::keyClicks(rt, QString(70, QLatin1Char('r')));
    QCOMPARE(rt->toPlainText(), QString(64, QLatin1Char('r')));
}

void TestEditorSync::psRoundTripsEveryByte() {
    Window w;
    auto* planes = w.control<QTabWidget>("Planes");
    for (int first = 1; first < 256; first += 8) {
        QByteArray screen;
        for (int v = first; v < first + 8; ++v)
            screen.append(static_cast<char>(v < 256 ? v : ' '));
        Map map = defaultsWith({});
        setScreen(map, 0, 0, screen);
        w.loadMap(map);
        QCOMPARE(w.control<QLineEdit>("PS")->text().size(), 8);
        planes->setCurrentIndex(planes->currentIndex() == 2 ? 3 : 2);
        QVERIFY2(bytesAt(w.deviceMap(), psScreenBlock(0, 0)) == screen,
                 qPrintable(QString("bytes from %1").arg(first)));
    }
    QCOMPARE(w.dialogs().shown().size(), std::size_t{32});
}

void TestEditorSync::radioTextRoundTripsEveryByte_data() {
    QTest::addColumn<QByteArray>("text");
    // Every byte but zero (the end of the text), line-break bytes included.
    QByteArray all;
    for (int v = 1; v < 256; ++v)
        all.append(static_cast<char>(v));
    for (qsizetype at = 0; at < all.size(); at += 64)
        QTest::addRow("bytes from %d", int(at) + 1) << all.mid(at, 64);
    const QByteArray pairs[] = {"a\rb",     "a\nb",     "a\n\rb",   "a\r\nb",  "\r\r\n\n",
                                "\n\r\n\r", "\r\n\r\n", "\r\r\r",   "\n\n\n"};
    for (const QByteArray& p : pairs)
        QTest::addRow("%s", p.toHex(' ').constData()) << p;
    QTest::newRow("CR in the last byte") << QByteArray(63, 'x') + '\r';
    QTest::newRow("CR LF ending at the last byte") << QByteArray(62, 'x') + "\r\n";
    QTest::newRow("LF in the last byte") << QByteArray(63, 'x') + '\n';
}

void TestEditorSync::radioTextRoundTripsEveryByte() {
    QFETCH(QByteArray, text);
    Window w;
    auto* planes = w.control<QTabWidget>("Planes");
    text.append(QByteArray(64 - text.size(), ' '));
    Map map = defaultsWith({});
    std::copy(text.begin(), text.end(), map.begin() + radioTextBlock().address);
    // Open, page changes, save and open again, programming: the bytes never change.
    w.loadMap(map);
    for (int page : {4, 2, 0})
        planes->setCurrentIndex(page);
    QCOMPARE(bytesAt(w.deviceMap(), radioTextBlock()).toHex(' '), text.toHex(' '));
    w.loadMap(w.deviceMap());
    planes->setCurrentIndex(4);
    w.form().Button2Click();
    QCOMPARE(bytesAt(w.deviceMap(), radioTextBlock()).toHex(' '), text.toHex(' '));
}

void TestEditorSync::radioTextLineBreakIsCrLf() {
    Window w;
    auto* rt = w.control<QPlainTextEdit>("RTEdit");
    rt->clear();
    QTest::keyClicks(rt, "ab");
    QTest::keyClick(rt, Qt::Key_Return);
    QTest::keyClicks(rt, "cd");
    w.control<QTabWidget>("Planes")->setCurrentIndex(4);
    const Map map = w.deviceMap();
    QCOMPARE(bytesAt(map, radioTextBlock()).left(7), QByteArray("ab\r\ncd "));
    // Loaded back, the pair shows as one line break.
    w.loadMap(map);
    QCOMPARE(rt->toPlainText().left(5), QString("ab\ncd"));
}

void TestEditorSync::inputRefusesCharactersWithoutAByte_data() {
    QTest::addColumn<QString>("field");
    QTest::addColumn<bool>("paste");
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("shown");
    const QString euro = QStringLiteral("\u20ACURO");
    for (const char* field : {"PS", "RTEdit"}) {
        QTest::addRow("%s typed", field) << field << false << euro << "URO";
        QTest::addRow("%s pasted", field) << field << true << euro << "";
        QTest::addRow("%s Latin-1 pasted", field) << field << true << "\u00D1O\u00D1O" << "\u00D1O\u00D1O";
    }
    QTest::newRow("PS paste cut at 8") << "PS" << true << "ABCDEFGHIJ" << "ABCDEFGH";
    QTest::newRow("RadioText paste cut at 64")
        << "RTEdit" << true << QString(70, QLatin1Char('r')) << QString(64, QLatin1Char('r'));
    // A line break is stored as two bytes: it does not fit in the last one.
    QTest::newRow("RadioText paste, break past the limit")
        << "RTEdit" << true << QString(63, QLatin1Char('r')) + "\nrr" << QString(63, QLatin1Char('r'));
    QTest::newRow("RadioText paste, break at the limit")
        << "RTEdit" << true << QString(62, QLatin1Char('r')) + "\r\nrr"
        << QString(62, QLatin1Char('r')) + "\n";
}

void TestEditorSync::inputRefusesCharactersWithoutAByte() {
    QFETCH(QString, field);
    QFETCH(bool, paste);
    QFETCH(QString, input);
    QFETCH(QString, shown);
    Window w;
    auto* ps = w.control<QLineEdit>("PS");
    auto* rt = w.control<QPlainTextEdit>("RTEdit");
    QWidget* edit = field == QLatin1String("PS") ? static_cast<QWidget*>(ps) : rt;
    ps->clear();
    rt->clear();
    edit->setFocus();
    if (paste) {
        QApplication::clipboard()->setText(input);
        if (edit == ps)
            ps->paste();
        else
            rt->paste();
    } else {
        // Key by key with the text a keyboard layout would give, beyond Latin-1 too.
        for (const QChar c : input) {
            QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
            QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, QString(c));
            QApplication::sendEvent(edit, &press);
            QApplication::sendEvent(edit, &release);
        }
    }
    QCOMPARE(edit == ps ? ps->text() : rt->toPlainText(), shown);
    // What is shown is what is stored: no substitute byte.
    w.control<QTabWidget>("Planes")->setCurrentIndex(3);
    const Block block = edit == ps ? psScreenBlock(0, 0) : radioTextBlock();
    QVERIFY(!bytesAt(w.deviceMap(), block).contains('?'));
}

void TestEditorSync::refreshResetsSelectors() {
    Window w;
    for (const char* selector : {"FramePI", "FramePS", "FramePTY", "AFSelectFrame", "FrameConf"})
        w.pick(selector, 1);
    w.pick("PSBox", 5);
    w.trigger("InicializarProgramacin1");
    for (const char* selector : {"FramePI", "FramePS", "FramePTY", "AFSelectFrame", "FrameConf"})
        QCOMPARE(w.control<QComboBox>(selector)->currentIndex(), 0);
    QCOMPARE(w.control<QComboBox>("PSBox")->currentIndex(), 0);
}

void TestEditorSync::undecodableBytesSelectNothing() {
    // Country 0, PTY bits 4-3 = 2, AF count below 0xE0, screen count 0, timing 0x10.
    Window w;
    const Map map = defaultsWith({{0, 0x03},
                                  {1, 0x00},
                                  {2, 0x02},
                                  {3, 0x00},
                                  {8, 0x20},
                                  {9, 205},
                                  {252, 0x00},
                                  {253, 0x10}});
    w.loadMap(map);
    QCOMPARE(w.control<QComboBox>("Country")->currentIndex(), -1);
    QCOMPARE(w.control<QComboBox>("Coverage")->currentIndex(), 3);
    QCOMPARE(w.control<QComboBox>("PTYBox")->currentIndex(), -1);
    QCOMPARE(w.control<QComboBox>("NumAF")->currentIndex(), -1);
    QCOMPARE(w.control<QComboBox>("AF1")->currentText(), QString("None"));
    QVERIFY(!w.control<QComboBox>("AF1")->isEnabled());
    QCOMPARE(w.control<QComboBox>("NumPant")->currentIndex(), -1);
    QCOMPARE(w.control<QComboBox>("Timing")->currentIndex(), -1);
    QCOMPARE(w.deviceMap(), map);
}

QTEST_MAIN(TestEditorSync)
#include "tst_editor_sync.moc"
