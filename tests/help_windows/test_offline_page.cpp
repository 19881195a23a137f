#include "offline_page.h"

#include <QTcpServer>
#include <QTest>
#include <QWebEnginePage>
#include <QWebEngineView>

// An address that cannot be reached shows a short Spanish text with the address, not the
// engine's English error page.
class TestOfflinePage : public QObject {
    Q_OBJECT
private slots:
    void unreachableAddressInSpanish_data();
    void unreachableAddressInSpanish();
};

namespace {

[[nodiscard]] QString pageText(QWebEngineView& view) {
    QString text;
    bool done = false;
    view.page()->toPlainText([&](const QString& result) {
        text = result;
        done = true;
    });
    (void)QTest::qWaitFor([&] { return done; }, 10'000);
    return text;
}

} // namespace

void TestOfflinePage::unreachableAddressInSpanish_data() {
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("heading");
    QTcpServer closed; // a port nobody listens on any more
    QVERIFY(closed.listen(QHostAddress::LocalHost));
    const QString refusing = QString("http://127.0.0.1:%1/").arg(closed.serverPort());
    closed.close();
    const QString noConnection = QString::fromUtf8("Sin conexión");
    QTest::newRow("connection refused") << refusing << noConnection;
    QTest::newRow("no such host") << "http://quillmark.invalid/" << noConnection;
    QTest::newRow("port the engine refuses")
        << "http://127.0.0.1:1/" << QString::fromUtf8("No se puede abrir la página");
}

void TestOfflinePage::unreachableAddressInSpanish() {
    QFETCH(QString, address);
    QFETCH(QString, heading);
    QWebEngineView view;
    showUnreachableInSpanish(view);
    view.resize(400, 300);
    view.show();
    view.load(QUrl(address));
    QTRY_VERIFY_WITH_TIMEOUT(pageText(view).startsWith(heading), 30'000);
    QVERIFY(pageText(view).contains(address));
    // The address as text, never as markup.
    for (const QString& shown : {unreachablePage("<b>x</b>"), refusedPage("<b>x</b>")})
        QVERIFY(shown.contains("&lt;b&gt;x&lt;/b&gt;") && !shown.contains("<b>"));
}

QTEST_MAIN(TestOfflinePage)
#include "test_offline_page.moc"
