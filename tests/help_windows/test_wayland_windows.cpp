#include "about.h"
#include "browser_process.h"
#include "navegador.h"
#include "window_fixture.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include <chrono>
#include <memory>
#include <unistd.h>

using namespace std::chrono_literals;

namespace {

constexpr int kEngineLimitMs = 90'000;

// The browser helpers this test has started and that still run (the name is cut to 15).
[[nodiscard]] QStringList runningHelpers() {
    QStringList found;
    const QRegularExpression child(
        QString(R"(^\d+ \(quillmark-brows\) [RSD] %1 )").arg(::getpid()));
    for (const QString& entry : QDir("/proc").entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile stat("/proc/" + entry + "/stat");
        const QString line = stat.open(QIODevice::ReadOnly) ? stat.readAll() : QString();
        if (child.match(line).hasMatch())
            found << entry;
    }
    return found;
}

} // namespace

// The program's windows under a real Wayland compositor, as most Linux desktops now run them.
class TestWaylandWindows : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void startUpAndMenuCommand();
    void onlineWindowOpensAndCloses();
};

void TestWaylandWindows::initTestCase() {
    QCOMPARE(QGuiApplication::platformName(), QString("wayland"));
    qputenv("QUILLMARK_BROWSER", QUILLMARK_BROWSER_PROGRAM);
}

void TestWaylandWindows::startUpAndMenuCommand() {
    Window main;
    TAboutBox about(&main.form());
    main.form().setSecondaryWindows(&about, nullptr);
    main.form().show();
    QVERIFY(QTest::qWaitForWindowExposed(&main.form()));
    QCOMPARE(main.dialogs().shown().size(), std::size_t(0)); // start-up went without a failure
    bool exposed = false;
    QTimer::singleShot(0, &about, [&] {
        exposed = QTest::qWaitForWindowExposed(&about);
        about.close();
    });
    main.trigger("Acercade1");
    QVERIFY(exposed);
}

// The helper shows the whole online window; ours stays hidden. "Salir" hides it, the helper
// stays, and the next opening shows it again.
void TestWaylandWindows::onlineWindowOpensAndCloses() {
    Window main;
    TAboutBox about(&main.form());
    ProcessBrowser* browser = nullptr;
    TForm3 online(&main.form(), [&browser](QWidget* parent) {
        auto made =
            std::make_unique<ProcessBrowser>(parent, std::chrono::milliseconds(kEngineLimitMs));
        browser = made.get();
        return made;
    });
    QStringList failures;
    online.setFailureReporter([&failures](const QString& message) { failures << message; });
    main.form().setSecondaryWindows(&about, &online);
    main.form().show();
    QVERIFY(QTest::qWaitForWindowExposed(&main.form()));

    main.trigger("InformacinenLnea1");
    QCOMPARE(failures, QStringList());
    QVERIFY(browser != nullptr);
    QCOMPARE(browser->widget(), nullptr);
    QTRY_VERIFY_WITH_TIMEOUT(browser->windowShown(), kEngineLimitMs);
    QVERIFY(online.isHidden());
    const QStringList helpers = runningHelpers();
    QCOMPARE(helpers.size(), 1);

    online.findChild<QPushButton*>("Button5")->click(); // as a press there arrives
    QVERIFY(!browser->windowShown());
    QTest::qWait(500);
    QCOMPARE(runningHelpers(), helpers);
    QVERIFY(main.form().windowHandle()->isExposed());

    main.trigger("InformacinenLnea1");
    QTRY_VERIFY_WITH_TIMEOUT(browser->windowShown(), kEngineLimitMs);
    QCOMPARE(runningHelpers(), helpers);
    QVERIFY(online.isHidden());
    QCOMPARE(failures, QStringList());
}

QTEST_MAIN(TestWaylandWindows)
#include "test_wayland_windows.moc"
