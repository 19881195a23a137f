#include "browser_process.h"
#include "browser_protocol.h"

#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <QTest>
#include <QVBoxLayout>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <memory>
#include <optional>

using namespace std::chrono_literals;
using browser_protocol::Command;

namespace {

[[nodiscard]] bool processGone(qint64 pid) {
    return ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
}

} // namespace

// The browser in its helper process, against a stand-in helper that records its commands.
class TestProcessBrowser : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void commandsArriveExactly_data();
    void commandsArriveExactly();
    void stopWithoutHelperStartsNothing();
    void failuresAreReportedAndRetried_data();
    void failuresAreReportedAndRetried();
    void vanishedHelperIsReplaced();
    void destroyingEndsTheHelper();
    void ownWindowDrivenOverTheChannel();

private:
    void useFake(const QByteArray& mode);
    [[nodiscard]] QList<QByteArray> logLines() const;
    [[nodiscard]] QList<qint64> pids() const;
    [[nodiscard]] QList<Command> commands(bool withWindow = false) const;

    std::optional<QTemporaryDir> folder;
    QString logPath;
};

void TestProcessBrowser::init() {
    folder.emplace();
    QVERIFY(folder->isValid());
    logPath = folder->filePath("commands.log");
    qputenv("FAKE_BROWSER_LOG", logPath.toLocal8Bit());
    useFake({});
}

void TestProcessBrowser::cleanup() {
    qunsetenv("QUILLMARK_BROWSER");
    qunsetenv("FAKE_BROWSER_MODE");
    folder.reset();
}

void TestProcessBrowser::useFake(const QByteArray& mode) {
    qputenv("QUILLMARK_BROWSER", FAKE_BROWSER_HELPER);
    qputenv("FAKE_BROWSER_MODE", mode);
}

QList<QByteArray> TestProcessBrowser::logLines() const {
    QFile log(logPath);
    if (!log.open(QIODevice::ReadOnly))
        return {};
    QList<QByteArray> lines = log.readAll().split('\n');
    lines.removeLast(); // after the last newline
    return lines;
}

QList<qint64> TestProcessBrowser::pids() const {
    QList<qint64> found;
    for (const QByteArray& line : logLines())
        if (line.startsWith("pid "))
            found << line.mid(4).toLongLong();
    return found;
}

QList<Command> TestProcessBrowser::commands(bool withWindow) const {
    QList<Command> found;
    for (const QByteArray& line : logLines()) {
        if (line.startsWith("pid ") || line.startsWith("args ") || line.startsWith("window "))
            continue;
        const Command command = browser_protocol::parseCommand(line);
        const bool navigation =
            command.kind == Command::Kind::Navigate || command.kind == Command::Kind::Stop;
        if (withWindow || navigation)
            found << command;
    }
    return found;
}

void TestProcessBrowser::commandsArriveExactly_data() {
    QTest::addColumn<QStringList>("addresses");
    QTest::newRow("home") << QStringList{"www.tarvenor.com"};
    QTest::newRow("empty") << QStringList{""};
    QTest::newRow("spaces") << QStringList{" ", "  two words  "};
    QTest::newRow("percent") << QStringList{"100%", "%41%", "a%0Ab"};
    QTest::newRow("non-ASCII") << QStringList{QString::fromUtf8("información ñ €"),
                                              QString::fromUtf8("\U0001F4FB")};
    QTest::newRow("line breaks") << QStringList{"a\nstop\nb", "\r\n"};
    QTest::newRow("several") << QStringList{"one", "", "three", "one"};
}

// Every address reaches the helper exactly, in order, and one helper serves them all.
void TestProcessBrowser::commandsArriveExactly() {
    QFETCH(QStringList, addresses);
    {
        QWidget host;
        ProcessBrowser browser(&host);
        for (const QString& address : addresses)
            browser.navigate(address);
        browser.stop();
    } // ends the helper, which has logged every line by then
    QCOMPARE(pids().size(), 1);
    const QList<Command> received = commands();
    QCOMPARE(received.size(), addresses.size() + 1);
    for (qsizetype i = 0; i < addresses.size(); ++i) {
        QCOMPARE(received[i].kind, Command::Kind::Navigate);
        QCOMPARE(received[i].text, addresses[i]);
    }
    QCOMPARE(received.last().kind, Command::Kind::Stop);
}

void TestProcessBrowser::stopWithoutHelperStartsNothing() {
    QWidget host;
    ProcessBrowser browser(&host);
    browser.stop();
    QVERIFY(pids().isEmpty());
    // Only X11 holds the helper's page inside our window.
    if (QGuiApplication::platformName() == QLatin1String("xcb"))
        QCOMPARE(browser.widget()->parentWidget(), &host);
    else
        QCOMPARE(browser.widget(), nullptr);
}

void TestProcessBrowser::failuresAreReportedAndRetried_data() {
    QTest::addColumn<QByteArray>("program");
    QTest::addColumn<QByteArray>("mode");
    QTest::addColumn<QString>("reason");
    QTest::newRow("no helper found") << QByteArray() << QByteArray() << "was not found";
    QTest::newRow("cannot execute")
        << QByteArray("/nonexistent/quillmark-browser") << QByteArray() << "";
    QTest::newRow("ends at once") << QByteArray(FAKE_BROWSER_HELPER) << QByteArray("exit")
                                  << "ended before showing its window (exit code 3)";
    QTest::newRow("never reports") << QByteArray(FAKE_BROWSER_HELPER) << QByteArray("silent")
                                   << "did not show its window within 3 seconds";
    QTest::newRow("reports nonsense") << QByteArray(FAKE_BROWSER_HELPER) << QByteArray("garbage")
                                      << "did not show its window within 3 seconds";
}

// The failure reaches the window's guard as a message, no child is left behind, and the
// next navigation starts a helper again.
void TestProcessBrowser::failuresAreReportedAndRetried() {
    QFETCH(QByteArray, program);
    QFETCH(QByteArray, mode);
    QFETCH(QString, reason);
    qputenv("QUILLMARK_BROWSER", program);
    qputenv("FAKE_BROWSER_MODE", mode);
    QWidget host;
    ProcessBrowser browser(&host, 3s);
    QString message;
    try {
        browser.navigate("www.tarvenor.com");
    } catch (const std::runtime_error& failure) {
        message = QString::fromUtf8(failure.what());
    }
    QVERIFY2(message.startsWith("The web browser could not be started: "), qPrintable(message));
    QVERIFY2(message.contains(reason), qPrintable(message));
    for (qint64 pid : pids())
        QVERIFY(processGone(pid));
    browser.stop(); // nothing runs: nothing to stop, nothing started

    useFake({});
    const qsizetype tried = pids().size();
    browser.navigate("again");
    QCOMPARE(pids().size(), tried + 1);
    QTRY_COMPARE(commands().size(), 1);
    QCOMPARE(commands().constFirst().text, QString("again"));
}

void TestProcessBrowser::vanishedHelperIsReplaced() {
    useFake("vanish");
    QWidget host;
    ProcessBrowser browser(&host);
    browser.navigate("first");
    QCOMPARE(pids().size(), 1);
    QTRY_VERIFY(processGone(pids().constFirst()));
    browser.stop(); // the ended helper loads nothing

    useFake({});
    browser.navigate("second");
    QCOMPARE(pids().size(), 2);
    QTRY_COMPARE(commands().size(), 2);
    QCOMPARE(commands()[0].text, QString("first"));
    QCOMPARE(commands()[1].text, QString("second"));
}

void TestProcessBrowser::destroyingEndsTheHelper() {
    QWidget host;
    auto browser = std::make_unique<ProcessBrowser>(&host);
    browser->navigate("www.tarvenor.com");
    QCOMPARE(pids().size(), 1);
    QVERIFY(!processGone(pids().constFirst()));
    browser.reset();
    QVERIFY(processGone(pids().constFirst()));
}

// Where our window cannot hold the page, the helper shows the whole window, grouped under our
// desktop file name, with the texts it is given; its presses and closing come back. A crash
// closes it for us, and the next opening starts another helper.
void TestProcessBrowser::ownWindowDrivenOverTheChannel() {
    if (QGuiApplication::platformName() == QLatin1String("xcb"))
        QSKIP("The page is embedded on X11");
    QGuiApplication::setDesktopFileName("com.example.Test");
    QWidget host;
    ProcessBrowser browser(&host);
    QStringList seen;
    browser.setWindowHandler(
        [&seen](const QString& button, const QString& address) { seen << button + '|' + address; });
    browser.setWindowTexts("title", "address\none");
    browser.showWindow();
    QTRY_VERIFY(browser.windowShown());
    browser.hideWindow();
    QVERIFY(!browser.windowShown());
    browser.showWindow();
    QTRY_VERIFY(browser.windowShown());
    QCOMPARE(logLines().at(1), QByteArray("args --window --desktop-file-name com.example.Test"));
    QTRY_COMPARE(commands(true).size(), 5);
    const QList<Command> received = commands(true);
    QCOMPARE(received[0].text, QString("title"));
    QCOMPARE(received[1].text, QString("address\none"));
    QCOMPARE(received[3].kind, Command::Kind::Hide);
    QCOMPARE(received[4].kind, Command::Kind::Show);

    QCOMPARE(::kill(static_cast<pid_t>(pids().constFirst()), SIGKILL), 0);
    QTRY_COMPARE(seen, QStringList{"|"});
    QVERIFY(!browser.windowShown());
    useFake("press");
    browser.showWindow();
    QTRY_COMPARE(seen, (QStringList{"|", "Button1|typed here", "|"}));
    QCOMPARE(pids().size(), 2);
}

QTEST_MAIN(TestProcessBrowser)
#include "test_process_browser.moc"
