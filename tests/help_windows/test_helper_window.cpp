#include "browser_protocol.h"
#include "helper_window.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace {

// What the helper tells the program, read from a pipe put in place of stdout.
class ReportCapture {
public:
    ReportCapture() {
        if (::pipe2(fds, O_NONBLOCK | O_CLOEXEC) == 0) {
            std::fflush(stdout);
            saved = ::dup(STDOUT_FILENO);
            ::dup2(fds[1], STDOUT_FILENO);
        }
    }
    // What went to stdout meanwhile, the test's own messages among it, goes on there.
    ~ReportCapture() {
        (void)reports();
        ::dup2(saved, STDOUT_FILENO);
        std::fwrite(received.constData(), 1, static_cast<size_t>(received.size()), stdout);
        std::fflush(stdout);
        for (int fd : {fds[0], fds[1], saved})
            ::close(fd);
    }
    ReportCapture(const ReportCapture&) = delete;
    ReportCapture& operator=(const ReportCapture&) = delete;

    // The window reports so far, as lines; other output is left out.
    [[nodiscard]] QList<QByteArray> reports() {
        std::fflush(stdout);
        char buffer[4096];
        ssize_t count = 0;
        while ((count = ::read(fds[0], buffer, sizeof buffer)) > 0)
            received.append(buffer, count);
        QList<QByteArray> found;
        for (const QByteArray& line : received.split('\n'))
            if (browser_protocol::parseWindowReport(line))
                found << line + '\n';
        return found;
    }

private:
    int fds[2] = {-1, -1};
    int saved = -1;
    QByteArray received;
};

} // namespace

// The whole online window as the helper shows it where the program cannot hold the page.
class TestHelperWindow : public QObject {
    Q_OBJECT
private slots:
    void buttonsAreReportedNotActedOn_data();
    void buttonsAreReportedNotActedOn();
    void shownOncePerShowing();
    void closingHidesAndTheHelperStays(); // last: it runs the main loop
};

void TestHelperWindow::buttonsAreReportedNotActedOn_data() {
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("typed");
    QTest::newRow("Ir a...") << "Button1" << QString::fromUtf8(" ñandú.example/a b ");
    QTest::newRow("X") << "Button3"
                       << "";
    QTest::newRow("Inicio") << "Button4"
                            << "x";
    QTest::newRow("Salir") << "Button5"
                           << "y";
}

void TestHelperWindow::buttonsAreReportedNotActedOn() {
    QFETCH(QString, button);
    QFETCH(QString, typed);
    ReportCapture capture;
    HelperWindow window;
    window.present();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.findChild<QLineEdit*>("Edit1")->setText(typed);
    window.findChild<QPushButton*>(button)->click();
    QTRY_VERIFY(capture.reports().contains(browser_protocol::pressedLine(button, typed)));
    QVERIFY(window.isVisible()); // "Salir" is the program's to carry out
    QCOMPARE(window.findChild<QLineEdit*>("Edit1")->text(), typed);
}

// The close box hides the window and leaves the helper running; a hide from the program is
// not reported back.
void TestHelperWindow::closingHidesAndTheHelperStays() {
    ReportCapture capture;
    HelperWindow window;
    window.present();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.hide();
    window.present();
    // Qt ends an application whose last window closes only from its main loop.
    QTimer::singleShot(0, &window, [&window] {
        window.close();
        QTimer::singleShot(300, [] { QCoreApplication::exit(7); });
    });
    QCOMPARE(QApplication::exec(), 7);
    QVERIFY(window.isHidden());
    QTRY_COMPARE(capture.reports().count(browser_protocol::closedLine()), 1);
}

void TestHelperWindow::shownOncePerShowing() {
    ReportCapture capture;
    HelperWindow window;
    window.present();
    QTRY_COMPARE(capture.reports().count(browser_protocol::shownLine()), 1);
    window.present(); // raised again: no new showing
    QTest::qWait(100);
    window.hide();
    window.present();
    QTRY_COMPARE(capture.reports().count(browser_protocol::shownLine()), 2);
}

QTEST_MAIN(TestHelperWindow)
#include "test_helper_window.moc"
