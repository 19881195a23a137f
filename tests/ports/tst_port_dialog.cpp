// "Puertos serie...": rows of COM1..COM8, entries written by Apply, the port reopened when
// its own entry changed, and the explanation under a failed open.

#include "fake_udev.h"
#include "window_fixture.h"

#include "port_dialog.h"
#include "serial/comport.h"
#include "serial/serial_platform.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolTip>

#include <cerrno>
#include <filesystem>
#include <fstream>

using namespace std::chrono_literals;
using Kind = ScriptedDialogs::Kind;
namespace fs = std::filesystem;

namespace {

quillmark::ports::TtyRecord ptyRecord(const QString& path) {
    quillmark::ports::TtyRecord record;
    record.devnode = path.toStdString();
    record.parentDriver = "sim";
    return record;
}

void choose(PortDialog& dialog, int n, const QString& value) {
    QComboBox* box = dialog.chooser(n);
    const int index = box->findData(value);
    QVERIFY2(index >= 0, qPrintable(value));
    box->setCurrentIndex(index);
}

std::string content(const fs::path& file) {
    std::ifstream in(file);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

} // namespace

class TestPortDialog : public QObject {
    Q_OBJECT
private slots:
    void applyWritesReplacesAndRemovesEntries();
    void invalidEndpointIsRefused();
    void appliedChangeReopensThePort();
    void menuItemOpensTheDialog();
    void failedOpenExplainsUnderTheError();
    void outsideTextIsShownAsItIs();
    void twinAdaptersAreNotReopened();
};

void TestPortDialog::applyWritesReplacesAndRemovesEntries() {
    TempConfig config;
    const fs::path dir = config.configDir().toStdString();
    RawPty a;
    RawPty b;
    config.linkPort(2, a.slavePath());
    config.linkPort(3, config.root() + "/gone");
    std::ofstream(dir / "COM4") << "tcp://192.0.2.1:4001\n";
    FakeTtyEnumerator udev({ptyRecord(b.slavePath()), ptyRecord(a.slavePath())});
    ScriptedDialogs dialogs;
    PortDialog dialog(dir, udev, dialogs);
    std::vector<int> applied;
    dialog.setAppliedHandler([&](const std::vector<int>& changed) { applied = changed; });
    dialog.setEndpointPrompt(
        [](int, const QString&) { return QStringLiteral("rfc2217://[::1]:2217"); });

    QCOMPARE(dialog.deviceLabel(1)->toolTip(), QStringLiteral("/dev/ttyS0"));
    QCOMPARE(dialog.chooser(1)->currentData().toString(), QString());
    QCOMPARE(dialog.deviceLabel(2)->toolTip(), a.slavePath());
    QCOMPARE(dialog.stateLabel(2)->text(), QStringLiteral("en uso por este programa"));
    QCOMPARE(dialog.stateLabel(3)->text(), QStringLiteral("no conectado"));
    QVERIFY(dialog.stateLabel(3)->toolTip().contains(QStringLiteral("no está conectado")));
    QCOMPARE(dialog.stateLabel(4)->text(), QStringLiteral("red: tcp://192.0.2.1:4001"));
    // Every discovered device plus the default, and the entry as written.
    QCOMPARE(dialog.chooser(1)->count(), 3);
    QCOMPARE(dialog.chooser(3)->count(), 4);

    choose(dialog, 1, b.slavePath());
    choose(dialog, 2, QString());
    dialog.networkButton(4)->click();
    QVERIFY(dialog.apply());

    QCOMPARE(applied, (std::vector<int>{1, 2, 4}));
    QCOMPARE(fs::read_symlink(dir / "COM1").string(), b.slavePath().toStdString());
    QVERIFY(!fs::exists(fs::symlink_status(dir / "COM2")));
    QCOMPARE(fs::read_symlink(dir / "COM3").string(), (config.root() + "/gone").toStdString());
    QCOMPARE(content(dir / "COM4"), std::string("rfc2217://[::1]:2217\n"));
    QCOMPARE(dialog.stateLabel(4)->text(), QStringLiteral("red: rfc2217://[::1]:2217"));
    QCOMPARE(dialog.deviceLabel(2)->toolTip(), QStringLiteral("/dev/ttyS1"));
    // Applying again with nothing chosen changes nothing.
    applied.clear();
    QVERIFY(dialog.apply());
    QVERIFY(applied.empty());
    QCOMPARE(dialogs.shown().size(), std::size_t{0});
}

void TestPortDialog::invalidEndpointIsRefused() {
    TempConfig config;
    FakeTtyEnumerator udev;
    ScriptedDialogs dialogs;
    PortDialog dialog(config.configDir().toStdString(), udev, dialogs);
    QStringList answers{"tcp://bad host:1", "tcp://[::1]:2217"};
    QStringList offered;
    dialog.setEndpointPrompt([&](int n, const QString& current) -> std::optional<QString> {
        offered << QStringLiteral("COM%1 %2").arg(n).arg(current);
        if (answers.isEmpty())
            return std::nullopt;
        return answers.takeFirst();
    });
    dialog.askEndpoint(5);
    // The refused text is offered again for correction.
    QCOMPARE(offered, (QStringList{"COM5 ", "COM5 tcp://bad host:1"}));
    QCOMPARE(dialogs.count(Kind::Error), 1);
    QCOMPARE(dialog.chooser(5)->currentData().toString(), QStringLiteral("tcp://[::1]:2217"));
    dialog.askEndpoint(5); // cancelled: the choice stays
    QCOMPARE(dialog.chooser(5)->currentData().toString(), QStringLiteral("tcp://[::1]:2217"));
}

void TestPortDialog::appliedChangeReopensThePort() {
    Window w;
    QVERIFY(w.form().port().Active());
    RawPty other;
    FakeTtyEnumerator udev({ptyRecord(other.slavePath())});
    PortDialog dialog(w.config().configDir().toStdString(), udev, w.dialogs());
    dialog.setAppliedHandler(
        [&](const std::vector<int>& changed) { w.form().portEntriesChanged(changed); });

    choose(dialog, 1, other.slavePath());
    QVERIFY(dialog.apply());
    QVERIFY(w.form().port().Active());
    w.form().port().WriteByte(0x5A);
    QCOMPARE(other.readAvailable(1000ms), QByteArray("\x5A"));
    QCOMPARE(w.pty().readAvailable(100ms), QByteArray());
    QCOMPARE(dialog.stateLabel(1)->text(), QStringLiteral("en uso por este programa"));
    QCOMPARE(w.dialogs().shown().size(), std::size_t{0});
    // A longer state after a refresh does not widen the dialog.
    dialog.show();
    QApplication::processEvents();
    const QSize before = dialog.size();
    QTemporaryDir proc;
    const fs::path holder = fs::path(proc.path().toStdString()) / "4242";
    fs::create_directories(holder / "fd");
    std::ofstream(holder / "comm") << "a-program-with-a-name-long-enough-to-widen-a-column\n";
    fs::create_symlink(other.slavePath().toStdString(), holder / "fd" / "3");
    dialog.setProcRoot(proc.path().toStdString());
    QVERIFY(dialog.stateLabel(1)->toolTip().contains(QStringLiteral("a-program-with")));
    QApplication::processEvents();
    QCOMPARE(dialog.size(), before);
}

void TestPortDialog::menuItemOpensTheDialog() {
    Window w;
    QString shownTitle;
    QTimer::singleShot(0, [&] {
        if (auto* shown = qobject_cast<PortDialog*>(QApplication::activeModalWidget())) {
            shownTitle = shown->windowTitle();
            shown->reject();
        }
    });
    w.trigger("PuertosSerie1");
    QCOMPARE(shownTitle, QStringLiteral("Puertos serie"));
}

void TestPortDialog::failedOpenExplainsUnderTheError() {
    Window w;
    w.config().linkPort(3, w.config().root() + "/ttyUSB3");
    w.pick("Portserie", 2);
    const QStringList errors = w.dialogs().texts(Kind::StandardError);
    QCOMPARE(errors.size(), 1);
    const QString unchanged =
        QString::fromStdString(quillmark::serial::systemErrorText(ENOENT)) + '.';
    QVERIFY2(errors[0].startsWith(unchanged + "\n\n" + w.config().root() +
                                  "/ttyUSB3 no está "
                                  "conectado."),
             qPrintable(errors[0]));
}

// A device's own strings and process names are data: never markup that Qt would load.
void TestPortDialog::outsideTextIsShownAsItIs() {
    TempConfig config;
    RawPty a;
    config.linkPort(1, a.slavePath());
    auto record = usbRecord(a.slavePath().toStdString(), "/dev/serial/by-id/usb-x");
    const std::string markup = R"(<img src="/dev/zero">)";
    record.properties.erase("ID_VENDOR_FROM_DATABASE");
    record.properties.erase("ID_MODEL_FROM_DATABASE");
    record.properties["ID_VENDOR_ENC"] = markup;
    FakeTtyEnumerator udev({record});
    ScriptedDialogs dialogs;
    PortDialog dialog(config.configDir().toStdString(), udev, dialogs);
    choose(dialog, 2, "/dev/serial/by-id/usb-x");
    const QString tip = dialog.chooser(2)->toolTip();
    QVERIFY2(tip.contains(QString::fromStdString(markup).toHtmlEscaped()), qPrintable(tip));
    QToolTip::showText(QPoint(10, 10), tip, dialog.chooser(2)); // returns at once
    QToolTip::hideText();
    QCOMPARE(dialog.stateLabel(1)->textFormat(), Qt::PlainText);
    QCOMPARE(dialog.deviceLabel(1)->textFormat(), Qt::PlainText);
}

// Two adapters udev cannot tell apart: the row says that COMn will not reopen by itself.
void TestPortDialog::twinAdaptersAreNotReopened() {
    TempConfig config;
    RawPty a;
    RawPty b;
    config.linkPort(1, a.slavePath());
    FakeTtyEnumerator udev({usbRecord(a.slavePath().toStdString(), "/dev/serial/by-id/usb-x"),
                            usbRecord(b.slavePath().toStdString(), "/dev/serial/by-id/usb-x")});
    ScriptedDialogs dialogs;
    PortDialog dialog(config.configDir().toStdString(), udev, dialogs);
    QVERIFY2(dialog.stateLabel(1)->text().endsWith(QStringLiteral("sin reconexión")),
             qPrintable(dialog.stateLabel(1)->text()));
    QVERIFY(dialog.stateLabel(1)->toolTip().contains(QStringLiteral("otro adaptador igual")));
}

QTEST_MAIN(TestPortDialog)
#include "tst_port_dialog.moc"
