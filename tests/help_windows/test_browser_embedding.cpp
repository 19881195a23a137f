#include "browser_process.h"
#include "browser_protocol.h"

#include <QFile>
#include <QGuiApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QVBoxLayout>
#include <QWindow>

#include <optional>

// On X11 the helper's window is embedded in the browser area, survives the closing of our
// window (which destroys our native window) and is embedded again at the next opening.
class TestBrowserEmbedding : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void embeddedAgainAfterClosing();

private:
    [[nodiscard]] quint64 reportedWindow() const;
    // The X parent of a window, from xwininfo; nothing when the window does not exist.
    [[nodiscard]] static std::optional<quint64> parentOf(quint64 window);

    QTemporaryDir folder;
};

void TestBrowserEmbedding::initTestCase() {
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        QSKIP("Needs an X server");
    QVERIFY(folder.isValid());
    qputenv("FAKE_BROWSER_LOG", folder.filePath("commands.log").toLocal8Bit());
    qputenv("QUILLMARK_BROWSER", FAKE_BROWSER_HELPER);
}

quint64 TestBrowserEmbedding::reportedWindow() const {
    QFile log(folder.filePath("commands.log"));
    if (!log.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : log.readAll().split('\n'))
        if (const auto id = browser_protocol::parseWindowLine(line))
            return *id;
    return 0;
}

std::optional<quint64> TestBrowserEmbedding::parentOf(quint64 window) {
    QProcess xwininfo;
    xwininfo.start("xwininfo", {"-children", "-id", QString::number(window)});
    if (!xwininfo.waitForFinished() || xwininfo.exitCode() != 0)
        return std::nullopt;
    for (const QByteArray& line : xwininfo.readAllStandardOutput().split('\n'))
        if (line.trimmed().startsWith("Parent window id:")) {
            bool ok = false;
            const quint64 parent = line.trimmed().split(' ').value(3).toULongLong(&ok, 16);
            if (ok)
                return parent;
        }
    return std::nullopt;
}

void TestBrowserEmbedding::embeddedAgainAfterClosing() {
    QWidget host;
    auto* layout = new QVBoxLayout(&host);
    ProcessBrowser browser(&host);
    layout->addWidget(browser.widget());
    host.resize(400, 300);
    host.show();
    QVERIFY(QTest::qWaitForWindowExposed(&host));
    browser.navigate("www.tarvenor.com");
    const quint64 window = reportedWindow();
    QVERIFY(window != 0);
    QTRY_COMPARE(parentOf(window), std::optional<quint64>(host.winId()));

    host.close(); // destroys the host's native window
    QVERIFY(host.windowHandle() == nullptr || host.windowHandle()->handle() == nullptr);
    QTest::qWait(200);
    QVERIFY2(parentOf(window).has_value(), "the helper's window was destroyed with ours");

    host.show();
    QVERIFY(QTest::qWaitForWindowExposed(&host));
    QTRY_COMPARE(parentOf(window), std::optional<quint64>(host.winId()));
    browser.navigate("again");
}

QTEST_MAIN(TestBrowserEmbedding)
#include "test_browser_embedding.moc"
