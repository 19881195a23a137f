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
    void ownWindowFollowsTheArea();

private:
    void useFake(const QByteArray& mode);
    [[nodiscard]] QList<QByteArray> logLines() const;
    [[nodiscard]] QList<qint64> pids() const;
    [[nodiscard]] QList<Command> commands(bool withPlacement = false) const;

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

QList<Command> TestProcessBrowser::commands(bool withPlacement) const {
    QList<Command> found;
    for (const QByteArray& line : logLines()) {
        if (line.startsWith("pid ") || line.startsWith("window "))
            continue;
        const Command command = browser_protocol::parseCommand(line);
        const bool placement =
            command.kind == Command::Kind::Show || command.kind == Command::Kind::Hide;
        if (withPlacement || !placement)
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
        QCOMPARE(received[i].address, addresses[i]);
    }
    QCOMPARE(received.last().kind, Command::Kind::Stop);
}

void TestProcessBrowser::stopWithoutHelperStartsNothing() {
    QWidget host;
    ProcessBrowser browser(&host);
    browser.stop();
    QVERIFY(pids().isEmpty());
    QCOMPARE(browser.widget()->parentWidget(), &host);
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
    QCOMPARE(commands().constFirst().address, QString("again"));
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
    QCOMPARE(commands()[0].address, QString("first"));
    QCOMPARE(commands()[1].address, QString("second"));
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

// Where windows cannot be embedded, the helper's window is kept over the browser area.
void TestProcessBrowser::ownWindowFollowsTheArea() {
    if (QGuiApplication::platformName() == QLatin1String("xcb"))
        QSKIP("The window is embedded on X11");
    QWidget host;
    auto* layout = new QVBoxLayout(&host);
    layout->setContentsMargins(30, 40, 0, 0);
    ProcessBrowser browser(&host);
    layout->addWidget(browser.widget());
    host.setGeometry(100, 50, 300, 200);
    host.show();
    QVERIFY(QTest::qWaitForWindowExposed(&host));
    browser.navigate("x");
    const auto lastPlacement = [this] {
        const QList<Command> received = commands(true);
        for (auto it = received.rbegin(); it != received.rend(); ++it)
            if (it->kind != Command::Kind::Navigate)
                return *it;
        return Command{};
    };
    const QWidget* area = browser.widget();
    const QRect expected(area->mapToGlobal(QPoint(0, 0)), area->size());
    QCOMPARE(area->size(), QSize(270, 160));
    QTRY_COMPARE(lastPlacement().kind, Command::Kind::Show);
    QCOMPARE(lastPlacement().area, expected);

    host.hide();
    QTRY_COMPARE(lastPlacement().kind, Command::Kind::Hide);
    host.move(160, 90);
    host.show();
    QTRY_COMPARE(lastPlacement().kind, Command::Kind::Show);
    QTRY_COMPARE(lastPlacement().area.topLeft(), area->mapToGlobal(QPoint(0, 0)));
    QCOMPARE(lastPlacement().area.size(), QSize(270, 160));
}

QTEST_MAIN(TestProcessBrowser)
#include "test_process_browser.moc"
