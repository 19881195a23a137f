#include "tools/character_strip.h"
#include "tools/receiver_preview.h"
#include "window_fixture.h"

#include <QAccessible>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>
#include <QtTest>

#include <string_view>

namespace {

// Three screens, two seconds each, RadioText on; PTY 10 with TP and music; an AF repeated.
std::array<std::uint8_t, 256> station() {
    quillmark::StationImage image;
    image.applyProgrammingDefaults();
    const auto map = image.DeviceMap();
    const auto put = [&map](int address, std::string_view bytes) {
        std::copy(bytes.begin(), bytes.end(), map.begin() + address);
    };
    put(0, "\xE2\x01\x05\x48");
    put(8, "\xE4\x0B\x6B\xCC\x0B");
    put(40, "Caf\xE9 por $1");
    put(104, "QUILLMRKRADIO \x24 A\xF1o 2026");
    put(252, "\x83\x18");
    std::array<std::uint8_t, 256> out{};
    std::copy(map.begin(), map.end(), out.begin());
    return out;
}

QString value(QWidget* strip) {
    return QAccessible::queryAccessibleInterface(strip)->text(QAccessible::Value);
}

QString textOf(ReceiverPreview* preview, const char* label) {
    return findControl<QLabel>(preview, label)->text();
}

} // namespace

class TestReceiverPreview : public QObject {
    Q_OBJECT
private slots:
    void showsWhatTheRadioShows();
    void followsTheEditor();
};

void TestReceiverPreview::showsWhatTheRadioShows() {
    Window w;
    w.loadMap(station());
    w.trigger("VistadeReceptor1");
    auto* preview = w.form().findChild<ReceiverPreview*>();
    QVERIFY(preview && preview->isVisible() && !preview->isModal());
    auto* ps = findControl<CharacterStrip>(preview, "psStrip");
    QCOMPARE(value(ps), QString("QUILLMRK"));
    auto* screens = preview->findChild<QTimer*>("screenTimer");
    QCOMPARE(screens->interval(), 2000);
    screens->setInterval(10);
    QTRY_COMPARE(value(ps), QString::fromUtf8("RADIO ¤ "));
    QCOMPARE(ps->cells()[6].difference(),
             QString::fromUtf8("Escrito «$» (código 24): la radio mostrará «¤»"));
    QTRY_COMPARE(value(ps), QString::fromUtf8("Aåo 2026"));
    QCOMPARE(value(findControl<QWidget>(preview, "rtStrip")), QString::fromUtf8("CafŊ por ¤1"));

    QCOMPARE(textOf(preview, "piValue"), QString("E201 · Cobertura 2 - National · Referencia 01"));
    QCOMPARE(textOf(preview, "ptyValue"), QString("10 · Pop music (RBDS: Country)"));
    QVERIFY(textOf(preview, "tpValue").startsWith(QString::fromUtf8("Sí")));
    QCOMPARE(textOf(preview, "msValue"), QString::fromUtf8("Música"));
    QCOMPARE(textOf(preview, "afValue"), QString::fromUtf8("88.6 · 98.2 · 107.9 · 88.6 MHz"));
    const QStringList warnings = textOf(preview, "warningsLabel").split('\n');
    QCOMPARE(warnings.size(), 3);
    QVERIFY(warnings[0].startsWith(QString::fromUtf8("PS dinámico")));
    QVERIFY(warnings[1].startsWith("Menos de 3 s"));
    QCOMPARE(warnings[2], QString("La lista AF repite 88.6 MHz."));
}

void TestReceiverPreview::followsTheEditor() {
    Window w;
    w.trigger("VistadeReceptor1");
    auto* preview = w.form().findChild<ReceiverPreview*>();
    QVERIFY(findControl<QLabel>(preview, "warningsLabel")->isHidden());
    QCOMPARE(textOf(preview, "rtCaption"), QString("Radiotexto no activo"));

    findControl<QTabWidget>(&w.form(), "Planes")->setCurrentIndex(2);
    w.pick("FramePTY", 1);
    w.pick("PTYBox", 4);
    QCOMPARE(textOf(preview, "frameLabel"), QString("Frame 2"));
    QCOMPARE(textOf(preview, "ptyValue"), QString("4 · Sport (RBDS: Talk)"));

    // Typing shows at once, on the frame of the PS page, before any page change stores it.
    findControl<QTabWidget>(&w.form(), "Planes")->setCurrentIndex(1);
    auto* typed = w.control<QLineEdit>("PS");
    typed->setFocus();
    QTest::keyClick(typed, Qt::Key_A, Qt::ControlModifier); // all of it, replaced
    QTest::keyClick(typed, Qt::Key_A);
    QTest::sendKeyEvent(QTest::Click, typed, Qt::Key_Ntilde, QString::fromUtf8("ñ"), {});
    QTest::keyClick(typed, Qt::Key_O);
    QCOMPARE(textOf(preview, "frameLabel"), QString("Frame 1"));
    auto* ps = findControl<CharacterStrip>(preview, "psStrip");
    QCOMPARE(value(ps), QString::fromUtf8("aåo     "));
    QVERIFY(ps->cells()[1].differs() && !ps->cells()[0].differs());
}

QTEST_MAIN(TestReceiverPreview)
#include "tst_receiver_preview.moc"
