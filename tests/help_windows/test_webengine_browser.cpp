#include "browser_webengine.h"

#include <QApplication>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QWebEngineProfile>
#include <QWebEngineUrlRequestInterceptor>
#include <QWebEngineView>

#include <chrono>
#include <memory>
#include <unistd.h>

using namespace std::chrono_literals;

// Notes the web requests and blocks them, so that no test depends on the network.
class RequestRecorder : public QWebEngineUrlRequestInterceptor {
public:
    using QWebEngineUrlRequestInterceptor::QWebEngineUrlRequestInterceptor;
    void interceptRequest(QWebEngineUrlRequestInfo& info) override {
        if (info.requestUrl().scheme().startsWith("http")) {
            requested << info.requestUrl();
            info.block(true);
        }
    }
    QList<QUrl> requested; // written on the engine's IO thread, read after a load ends
};

// The real browser: addresses as the window passes them reach the engine as URLs.
class TestWebEngineBrowser : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void preparedBeforeApplication();
    void loadsLocalPages_data();
    void loadsLocalPages();
    void bareHostGetsScheme();
    void emptyAddressAndStopAreHarmless();
    void goneViewIsReported();

private:
    [[nodiscard]] bool loaded(const QString& address, QString& title);

    QTemporaryDir folder;
    QWidget host;
    std::unique_ptr<Browser> browser;
    QWebEngineView* view = nullptr;
};

void TestWebEngineBrowser::initTestCase() {
    QVERIFY(folder.isValid());
    QFile page(folder.filePath("page.html"));
    QVERIFY(page.open(QIODevice::WriteOnly));
    page.write("<html><head><title>local file</title></head><body>ok</body></html>");
    page.close();
    host.resize(320, 240);
    browser = createWebEngineBrowser(&host);
    view = qobject_cast<QWebEngineView*>(browser->widget());
    QVERIFY(view != nullptr);
    QCOMPARE(view->parentWidget(), &host);
    host.show();
    QString title;
    if (!loaded("data:text/html,<title>probe</title>", title))
        QSKIP("The web engine cannot start here");
}

// main() clears the sandbox switch first, so this sees what prepareWebEngine() decided.
void TestWebEngineBrowser::preparedBeforeApplication() {
    QVERIFY(QCoreApplication::testAttribute(Qt::AA_ShareOpenGLContexts));
    const QByteArray sandbox = qgetenv("QTWEBENGINE_DISABLE_SANDBOX");
    if (geteuid() == 0)
        QCOMPARE(sandbox, QByteArray("1"));
    else
        QVERIFY(sandbox.isEmpty());
}

bool TestWebEngineBrowser::loaded(const QString& address, QString& title) {
    QSignalSpy finished(view, &QWebEngineView::loadFinished);
    browser->navigate(address);
    if (!finished.wait(std::chrono::milliseconds(20s).count()))
        return false;
    title = view->title();
    return finished.constFirst().constFirst().toBool();
}

void TestWebEngineBrowser::loadsLocalPages_data() {
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("title");
    QTest::newRow("data url") << "data:text/html,<title>inline</title>"
                              << "inline";
    QTest::newRow("absolute path") << folder.filePath("page.html") << "local file";
    QTest::newRow("file url") << QUrl::fromLocalFile(folder.filePath("page.html")).toString()
                              << "local file";
}

void TestWebEngineBrowser::loadsLocalPages() {
    QFETCH(QString, address);
    QFETCH(QString, title);
    QString shown;
    QVERIFY(loaded(address, shown));
    QCOMPARE(shown, title);
}

// The window passes "www.tarvenor.com" as typed; the engine needs the scheme added.
void TestWebEngineBrowser::bareHostGetsScheme() {
    RequestRecorder recorder;
    view->page()->profile()->setUrlRequestInterceptor(&recorder);
    QSignalSpy finished(view, &QWebEngineView::loadFinished);
    browser->navigate("www.tarvenor.com");
    QVERIFY(finished.wait(std::chrono::milliseconds(20s).count()));
    view->page()->profile()->setUrlRequestInterceptor(nullptr);
    QVERIFY(!recorder.requested.isEmpty());
    QCOMPARE(recorder.requested.constFirst(), QUrl("http://www.tarvenor.com/"));
}

void TestWebEngineBrowser::emptyAddressAndStopAreHarmless() {
    browser->navigate("");
    browser->stop();
    browser->stop();
    QString title;
    QVERIFY(loaded("data:text/html,<title>after</title>", title));
    QCOMPARE(title, QString("after"));
}

void TestWebEngineBrowser::goneViewIsReported() {
    QWidget parent;
    auto orphan = createWebEngineBrowser(&parent);
    delete orphan->widget();
    QVERIFY_THROWS_EXCEPTION(std::runtime_error, orphan->navigate("data:text/html,x"));
    QVERIFY_THROWS_EXCEPTION(std::runtime_error, orphan->stop());
    QCOMPARE(orphan->widget(), nullptr);
}

int main(int argc, char** argv) {
    qunsetenv("QTWEBENGINE_DISABLE_SANDBOX");
    prepareWebEngine();
    QApplication app(argc, argv);
    TestWebEngineBrowser test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_webengine_browser.moc"
