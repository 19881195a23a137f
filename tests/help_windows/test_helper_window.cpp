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

// The lines the helper writes to the program, read from a pipe put in place of stdout; the
// test's own messages go on to the real stdout at the end.
class StdoutCapture {
public:
    StdoutCapture() {
        std::fflush(stdout);
        if (::pipe2(fds, O_NONBLOCK | O_CLOEXEC) == 0)
            ::dup2(fds[1], STDOUT_FILENO);
    }
    ~StdoutCapture() {
        const QByteArray all = text();
        ::dup2(saved, STDOUT_FILENO);
        std::fwrite(all.constData(), 1, static_cast<size_t>(all.size()), stdout);
        for (int fd : {fds[0], fds[1], saved})
            ::close(fd);
    }
    [[nodiscard]] QByteArray text() {
        std::fflush(stdout);
        char buffer[4096];
        for (ssize_t count = 0; (count = ::read(fds[0], buffer, sizeof buffer)) > 0;)
            received.append(buffer, count);
        return received;
    }

private:
    int saved = ::dup(STDOUT_FILENO);
    int fds[2] = {-1, -1};
    QByteArray received;
};

} // namespace

// The whole online window as the helper shows it where the program cannot hold the page.
class TestHelperWindow : public QObject {
    Q_OBJECT
private slots:
    void buttonsAreReportedNotActedOn();
    void closingHidesAndTheHelperStays(); // last: it runs the main loop
};

void TestHelperWindow::buttonsAreReportedNotActedOn() {
    StdoutCapture capture;
    HelperWindow window;
    window.present();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const QString typed = QString::fromUtf8(" ñandú.example/a b ");
    window.findChild<QLineEdit*>("Edit1")->setText(typed);
    for (const char* button : {"Button1", "Button3", "Button4", "Button5"}) {
        window.findChild<QPushButton*>(button)->click();
        QTRY_VERIFY(capture.text().contains(browser_protocol::pressedLine(button, typed)));
    }
    QVERIFY(window.isVisible()); // "Salir" is the program's to carry out
    QVERIFY(capture.text().contains(browser_protocol::shownLine()));
}

// The close box hides the window and the helper goes on: Qt ends an application whose last
// window closes, from its main loop.
void TestHelperWindow::closingHidesAndTheHelperStays() {
    StdoutCapture capture;
    HelperWindow window;
    window.present();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTimer::singleShot(0, &window, [&window] {
        window.close();
        QTimer::singleShot(300, [] { QCoreApplication::exit(7); });
    });
    QCOMPARE(QApplication::exec(), 7);
    QVERIFY(window.isHidden());
    QCOMPARE(capture.text().count(browser_protocol::closedLine()), 1);
}

QTEST_MAIN(TestHelperWindow)
#include "test_helper_window.moc"
