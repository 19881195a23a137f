#include "browser_process.h"
#include "browser_protocol.h"

#include <QProcess>
#include <QTest>

#include <chrono>
#include <memory>
#include <unistd.h>

using namespace std::chrono_literals;

namespace {

constexpr auto kEngineLimit = 30s;

[[nodiscard]] int ms(std::chrono::milliseconds duration) {
    return static_cast<int>(duration.count());
}

} // namespace

// The real quillmark-browser with its web engine, headless.
class TestBrowserHelper : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void followsCommandsUntilStdinCloses();
    void endsOnTermination();
    void disablesTheSandboxOnlyForRoot();
    void drivenByTheProgram();

private:
    // Started with the given environment; true once it has reported its window.
    [[nodiscard]] bool start(QProcess& helper, const QProcessEnvironment& environment);
    void send(QProcess& helper, const QByteArray& line);
};

bool TestBrowserHelper::start(QProcess& helper, const QProcessEnvironment& environment) {
    helper.setProgram(QUILLMARK_BROWSER_PROGRAM);
    helper.setProcessEnvironment(environment);
    helper.start();
    QDeadlineTimer deadline(kEngineLimit);
    while (!helper.canReadLine() && !deadline.hasExpired())
        if (!helper.waitForReadyRead(ms(250ms)) && helper.state() == QProcess::NotRunning)
            break;
    return helper.canReadLine() &&
           browser_protocol::parseWindowLine(helper.readLine().trimmed()).has_value();
}

void TestBrowserHelper::send(QProcess& helper, const QByteArray& line) {
    QCOMPARE(helper.write(line), line.size());
    QVERIFY(helper.waitForBytesWritten(ms(5s)));
}

void TestBrowserHelper::initTestCase() {
    QProcess probe;
    if (!start(probe, QProcessEnvironment::systemEnvironment()))
        QSKIP("The web engine cannot start here");
    probe.closeWriteChannel();
    QVERIFY(probe.waitForFinished(ms(kEngineLimit)));
}

void TestBrowserHelper::followsCommandsUntilStdinCloses() {
    QProcess helper;
    QVERIFY(start(helper, QProcessEnvironment::systemEnvironment()));
    send(helper, browser_protocol::navigateLine("data:text/html,<title>inline</title>ok"));
    send(helper, browser_protocol::stopLine());
    send(helper, browser_protocol::navigateLine(""));
    send(helper, browser_protocol::showLine());
    send(helper, browser_protocol::titleLine("t"));
    send(helper, browser_protocol::addressLine("a"));
    send(helper, browser_protocol::hideLine());
    send(helper, "no such command\n");
    send(helper, browser_protocol::navigateLine("www.tarvenor.com"));
    QVERIFY(!helper.waitForFinished(ms(1s))); // none of them ends it
    helper.closeWriteChannel();
    QVERIFY(helper.waitForFinished(ms(kEngineLimit)));
    QCOMPARE(helper.exitStatus(), QProcess::NormalExit);
    QCOMPARE(helper.exitCode(), 0);
}

void TestBrowserHelper::endsOnTermination() {
    QProcess helper;
    QVERIFY(start(helper, QProcessEnvironment::systemEnvironment()));
    helper.terminate();
    QVERIFY(helper.waitForFinished(ms(kEngineLimit)));
    // An orderly end, not the signal's default action.
    QCOMPARE(helper.exitStatus(), QProcess::NormalExit);
    QCOMPARE(helper.exitCode(), 0);
}

// Chromium refuses its sandbox as root; the helper switches it off there only.
void TestBrowserHelper::disablesTheSandboxOnlyForRoot() {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove("QTWEBENGINE_DISABLE_SANDBOX");
    QProcess helper;
    QVERIFY(start(helper, environment));
    helper.closeWriteChannel();
    QVERIFY(helper.waitForFinished(ms(kEngineLimit)));
    const bool disabled = helper.readAllStandardError().contains("Sandboxing disabled");
    QCOMPARE(disabled, ::geteuid() == 0);
}

void TestBrowserHelper::drivenByTheProgram() {
    qputenv("QUILLMARK_BROWSER", QUILLMARK_BROWSER_PROGRAM);
    QWidget host;
    auto browser = std::make_unique<ProcessBrowser>(&host, kEngineLimit);
    browser->navigate("data:text/html,<title>inline</title>ok");
    browser->stop();
    browser->navigate("");
    browser.reset();
    qunsetenv("QUILLMARK_BROWSER");
}

QTEST_MAIN(TestBrowserHelper)
#include "test_browser_helper.moc"
