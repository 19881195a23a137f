// The port part of start-up and the operator's change of port, with the setting file.

#include "window_fixture.h"

#include "fake_port.h"
#include "serial/comport.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QTest>

#include <cerrno>
#include <optional>

using Kind = ScriptedDialogs::Kind;

namespace {
QColor windowColour(QWidget* w) {
    return w->palette().color(QPalette::Window);
}
} // namespace

class TestStartupPort : public QObject {
    Q_OBJECT
private slots:
    void startup_data();
    void startup();
    void uncreatableFolder();
    void settingThatCannotBeRead();
    void portThatCannotBeOpened();
    void changeWritesOneByteAndSurvivesRestart_data();
    void changeWritesOneByteAndSurvivesRestart();
    void changeToPortThatCannotBeOpened();
    void changeWithUnwritableSetting();
    void abortedFailureShowsNothing();
};

void TestStartupPort::startup_data() {
    QTest::addColumn<TempConfig::Folder>("folder");
    QTest::addColumn<QByteArray>("setting"); // "<none>" for no file
    QTest::addColumn<int>("linkedPort");     // COMn linked to the pty
    QTest::addColumn<QString>("error");      // standard error box text, or empty
    QTest::addColumn<int>("shownIndex");
    QTest::addColumn<QString>("device");
    QTest::addColumn<bool>("active");
    QTest::addColumn<QByteArray>("fileAfter");

    const auto created = TempConfig::Folder::Created;
    QTest::newRow("no file") << created << QByteArray("<none>") << 1 << "" << 0 << "COM1" << true
                             << QByteArray("0");
    QTest::newRow("folder missing") << TempConfig::Folder::Missing << QByteArray("<none>") << 0
                                    << "" << 0 << "COM1" << false << QByteArray("0");
    QTest::newRow("3 opens COM4") << created << QByteArray("3") << 4 << "" << 3 << "COM4" << true
                                  << QByteArray("3");
    QTest::newRow("leading blank")
        << created << QByteArray(" 3") << 4 << "" << 3 << "COM4" << true << QByteArray(" 3");
    QTest::newRow("hexadecimal") << created << QByteArray("$7") << 8 << "" << 7 << "COM8" << true
                                 << QByteArray("$7");
    QTest::newRow("0 opens COM1") << created << QByteArray("0") << 1 << "" << 0 << "COM1" << true
                                  << QByteArray("0");
    QTest::newRow("line end") << created << QByteArray("3\n") << 4
                              << "'3\r\n' is not a valid integer value." << 0 << "COM1" << false
                              << QByteArray("3\n");
    QTest::newRow("CR LF") << created << QByteArray("3\r\n") << 4
                           << "'3\r\n' is not a valid integer value." << 0 << "COM1" << false
                           << QByteArray("3\r\n");
    QTest::newRow("empty") << created << QByteArray("") << 1 << "'' is not a valid integer value."
                           << 0 << "COM1" << false << QByteArray("");
    QTest::newRow("8 selects nothing")
        << created << QByteArray("8") << 1 << "" << -1 << "COM1" << true << QByteArray("8");
    QTest::newRow("-1 selects nothing")
        << created << QByteArray("-1") << 1 << "" << -1 << "COM1" << true << QByteArray("-1");
}

void TestStartupPort::startup() {
    QFETCH(TempConfig::Folder, folder);
    QFETCH(QByteArray, setting);
    QFETCH(int, linkedPort);
    QFETCH(QString, error);
    QFETCH(int, shownIndex);
    QFETCH(QString, device);
    QFETCH(bool, active);
    QFETCH(QByteArray, fileAfter);

    WindowOptions options;
    options.folder = folder;
    options.linkCom1 = false;
    options.runFormCreate = false;
    if (setting != "<none>")
        options.setting = setting;
    Window w(options);
    if (linkedPort > 0)
        w.config().linkPort(linkedPort, w.pty().slavePath());
    // Without a link (the folder is only made by start-up) COM1 is the machine's own port:
    // a fake stands in for it, which cannot be opened.
    auto machinePort = std::make_shared<FakeDevice>();
    machinePort->openError = ENOENT;
    std::optional<FakePortFactory> fake;
    if (linkedPort == 0)
        fake.emplace(machinePort);
    w.form().FormCreate();

    QCOMPARE(machinePort->calls.value(0),
             linkedPort == 0 ? QString("open /dev/ttyS0") : QString());
    const QStringList errors = w.dialogs().texts(Kind::StandardError);
    if (linkedPort == 0) {
        // The system's text, then what the port diagnosis adds.
        QCOMPARE(errors.size(), 1);
        QVERIFY2(errors[0].startsWith(
                     QString::fromStdString(quillmark::serial::systemErrorText(ENOENT)) + "."),
                 qPrintable(errors[0]));
    } else {
        QCOMPARE(errors, error.isEmpty() ? QStringList() : QStringList(error));
    }
    QCOMPARE(w.control<QComboBox>("Portserie")->currentIndex(), shownIndex);
    QCOMPARE(QString::fromStdString(w.form().port().DeviceName()), device);
    QCOMPARE(w.form().port().Active(), active);
    QCOMPARE(w.config().readSetting(), std::optional<QByteArray>(fileAfter));
    QCOMPARE(w.form().configFilePath(), w.config().settingPath());
}

void TestStartupPort::uncreatableFolder() {
    WindowOptions options;
    options.folder = TempConfig::Folder::Uncreatable;
    options.linkCom1 = false;
    Window w(options);
    const QStringList errors = w.dialogs().texts(Kind::StandardError);
    QCOMPARE(errors.size(), 1);
    QVERIFY2(errors[0].startsWith("Cannot create file \"" + w.config().settingPath() + "\". "),
             qPrintable(errors[0]));
    QVERIFY(!w.form().port().Active());
    QCOMPARE(w.control<QComboBox>("Portserie")->currentText(), QString("COM1"));
    // The editors were filled before the file step failed.
    QCOMPARE(w.control<QComboBox>("Timing")->currentText(), QString("4 seg."));
}

void TestStartupPort::settingThatCannotBeRead() {
    WindowOptions options;
    options.runFormCreate = false;
    Window w(options);
    QVERIFY(QDir().mkpath(w.config().settingPath())); // a folder where the file should be
    w.form().FormCreate();
    const QStringList errors = w.dialogs().texts(Kind::StandardError);
    QCOMPARE(errors.size(), 1);
    QVERIFY2(errors[0].startsWith("Cannot open file \"" + w.config().settingPath() + "\". "),
             qPrintable(errors[0]));
    QVERIFY(!w.form().port().Active());
    QCOMPARE(w.control<QComboBox>("Portserie")->currentText(), QString("COM1"));
}

void TestStartupPort::portThatCannotBeOpened() {
    WindowOptions options;
    options.setting = QByteArray("1");
    options.runFormCreate = false;
    Window w(options);
    w.config().linkPort(2, w.config().root() + "/no-such-device");
    w.form().FormCreate();
    const QStringList errors = w.dialogs().texts(Kind::StandardError);
    QCOMPARE(errors.size(), 1);
    QVERIFY(!errors[0].isEmpty());
    QVERIFY(!w.form().port().Active());
    QCOMPARE(w.control<QComboBox>("Portserie")->currentText(), QString("COM2"));
    for (const char* panel : {"Panel3", "Panel4", "Panel5"})
        QCOMPARE(windowColour(w.control<QWidget>(panel)), TForm1::clGreen);
    QCOMPARE(w.control<QComboBox>("Country")->currentIndex(), 13);
}

void TestStartupPort::changeWritesOneByteAndSurvivesRestart_data() {
    QTest::addColumn<int>("index");
    QTest::newRow("COM2") << 1;
    QTest::newRow("COM8") << 7;
    QTest::newRow("back to COM1") << 0;
}

void TestStartupPort::changeWritesOneByteAndSurvivesRestart() {
    QFETCH(int, index);
    WindowOptions options;
    options.setting = QByteArray("5");
    options.runFormCreate = false;
    Window w(options);
    w.config().linkPort(6, w.pty().slavePath());
    RawPty other;
    w.config().linkPort(index + 1, other.slavePath());
    w.form().FormCreate();
    QCOMPARE(w.form().port().DeviceName(), std::string("COM6"));

    w.pick("Portserie", index);
    QCOMPARE(w.dialogs().shown().size(), std::size_t{0});
    QCOMPARE(w.config().readSetting(), std::optional<QByteArray>(QByteArray::number(index)));
    QCOMPARE(QString::fromStdString(w.form().port().DeviceName()), QString("COM%1").arg(index + 1));
    QVERIFY(w.form().port().Active());
    // The new port is the one in use.
    w.form().port().WriteByte(0x5A);
    QCOMPARE(other.readAvailable(std::chrono::milliseconds(1000)), QByteArray("\x5A"));

    ScriptedDialogs again;
    TForm1 restarted(again);
    restarted.FormCreate();
    QCOMPARE(findControl<QComboBox>(&restarted, "Portserie")->currentIndex(), index);
    QCOMPARE(QString::fromStdString(restarted.port().DeviceName()),
             QString("COM%1").arg(index + 1));
}

void TestStartupPort::changeToPortThatCannotBeOpened() {
    Window w;
    w.config().linkPort(3, w.config().root() + "/no-such-device");
    w.pick("Portserie", 2);
    const QStringList errors = w.dialogs().texts(Kind::StandardError);
    QCOMPARE(errors.size(), 1);
    QCOMPARE(w.control<QComboBox>("Portserie")->currentText(), QString("COM3"));
    QCOMPARE(w.form().port().DeviceName(), std::string("COM3"));
    QVERIFY(!w.form().port().Active());
    QCOMPARE(w.config().readSetting(), std::optional<QByteArray>("0"));
    // Picking a working port again recovers.
    w.pick("Portserie", 0);
    QVERIFY(w.form().port().Active());
    QCOMPARE(w.dialogs().texts(Kind::StandardError).size(), 1);
}

void TestStartupPort::changeWithUnwritableSetting() {
    Window w;
    RawPty other;
    w.config().linkPort(2, other.slavePath());
    QVERIFY(QFile::remove(w.config().settingPath()));
    QVERIFY(QDir().mkpath(w.config().settingPath()));
    w.pick("Portserie", 1);
    const QStringList errors = w.dialogs().texts(Kind::StandardError);
    QCOMPARE(errors.size(), 1);
    QVERIFY2(errors[0].startsWith("Cannot create file \"" + w.config().settingPath() + "\". "),
             qPrintable(errors[0]));
    QVERIFY(w.form().port().Active());
    QCOMPARE(w.form().port().DeviceName(), std::string("COM2"));
}

void TestStartupPort::abortedFailureShowsNothing() {
    Window w;
    w.config().linkPort(4, w.config().root() + "/no-such-device");
    int errors = 0;
    w.form().port().OnError =
        TComErrorEvent(this, 1, [&](TCustomComPort*, EComError&, TComAction& action) {
            ++errors;
            action = caAbort;
        });
    w.pick("Portserie", 3);
    QCOMPARE(errors, 1);
    QCOMPARE(w.dialogs().shown().size(), std::size_t{0});
    QVERIFY(!w.form().port().Active());
    // The handler ended at the failure: the setting was not written.
    QCOMPARE(w.config().readSetting(), std::optional<QByteArray>("0"));
}

QTEST_MAIN(TestStartupPort)
#include "tst_startup_port.moc"
