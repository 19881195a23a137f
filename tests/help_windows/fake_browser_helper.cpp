// Stands in for quillmark-browser in the tests. It appends "pid <n>", "args <arguments>", the
// window line it reports and every line it receives to $FAKE_BROWSER_LOG, and behaves as
// $FAKE_BROWSER_MODE says:
//   (unset)  reports the window of a small Qt window, ends when stdin closes; answers "show"
//            with "shown"
//   press    answers "show" with a press of "Ir a..." with "typed here", then "closed"
//   exit     ends with code 3 before reporting anything
//   silent   never reports, ignores stdin, runs until killed
//   garbage  prints lines that are not a window report, then stays silent
//   vanish   reports its window, then ends after the first command it receives

#include "browser_protocol.h"
#include "command_input.h"

#include <QApplication>
#include <QFile>
#include <QWidget>

#include <cstdio>
#include <unistd.h>

namespace {

void print(const QByteArray& text) {
    std::fwrite(text.constData(), 1, static_cast<size_t>(text.size()), stdout);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    const QByteArray mode = qgetenv("FAKE_BROWSER_MODE");
    QFile log(qEnvironmentVariable("FAKE_BROWSER_LOG"));
    if (!log.open(QIODevice::Append | QIODevice::Unbuffered))
        return 2;
    log.write("pid " + QByteArray::number(::getpid()) + '\n');
    log.write("args " + QCoreApplication::arguments().mid(1).join(' ').toUtf8() + '\n');
    if (mode == "exit")
        return 3;

    QWidget window;
    window.resize(120, 90);
    window.show();
    CommandInput input(STDIN_FILENO);
    QObject::connect(&input, &CommandInput::lineReceived, &app, [&](const QByteArray& line) {
        log.write(line + '\n');
        if (mode == "vanish")
            QCoreApplication::exit(0);
        if (line != "show")
            return;
        if (mode == "press")
            print(browser_protocol::pressedLine("Button1", "typed here") +
                  browser_protocol::closedLine());
        else
            print(browser_protocol::shownLine());
    });
    QObject::connect(&input, &CommandInput::closed, &app, &QCoreApplication::quit);

    if (mode == "garbage")
        print("starting\nwindow\nwindow 0\nwindow twelve\n");
    else if (mode == "silent")
        input.blockSignals(true);
    else {
        const QByteArray report = browser_protocol::windowLine(window.winId());
        log.write(report);
        print("some library talking\n" + report);
    }
    return QApplication::exec();
}
