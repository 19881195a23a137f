// quillmark-browser: the web view of the online-information window, in a process of its
// own so that the web engine neither slows the program's start nor can take it down.
// Commands arrive on stdin (see browser_protocol.h); the helper ends when stdin closes.

#include "browser_protocol.h"
#include "command_input.h"
#include "helper_view.h"

#include <QApplication>
#include <QUrl>

#include <cstdio>
#include <unistd.h>

namespace {

// Until the program embeds or places it, the view waits where nobody sees it.
const QRect kParkedArea(-10000, -10000, 750, 538);

void prepareWebEngine() {
    // Chromium refuses to run its sandbox as root; the program often runs as root on test
    // machines. An explicit setting by the user wins.
    if (geteuid() == 0 && qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
}

void apply(HelperView& view, const browser_protocol::Command& command) {
    using Kind = browser_protocol::Command::Kind;
    switch (command.kind) {
    case Kind::Navigate:
        // The operator's text as typed; the engine needs a URL with a scheme.
        view.load(QUrl::fromUserInput(command.address));
        break;
    case Kind::Stop:
        view.stop();
        break;
    case Kind::Show:
        view.setGeometry(command.area);
        view.show();
        view.raise();
        break;
    case Kind::Hide:
        view.hide();
        break;
    case Kind::FocusFirst:
        view.enterBy(Qt::TabFocusReason);
        break;
    case Kind::FocusLast:
        view.enterBy(Qt::BacktabFocusReason);
        break;
    case Kind::Unknown:
        std::fputs("quillmark-browser: unknown command ignored\n", stderr);
        break;
    }
}

// Reports the view's native window, again whenever it changes: the engine replaces it when
// it first renders, and the program must embed the new one.
class WindowReporter : public QObject {
public:
    explicit WindowReporter(QWidget& watched) : view(watched) { view.installEventFilter(this); }

    void report() {
        const WId id = view.internalWinId();
        if (id == 0 || id == reported)
            return;
        reported = id;
        writeLine(browser_protocol::windowLine(id));
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::WinIdChange)
            report();
        return QObject::eventFilter(watched, event);
    }

private:
    QWidget& view;
    WId reported = 0;
};

} // namespace

int main(int argc, char* argv[]) {
    prepareWebEngine();
    QApplication app(argc, argv);
    // Ready for commands and signals before the window is reported.
    quitOnTermination();
    HelperView view;
    CommandInput input(STDIN_FILENO);
    QObject::connect(&input, &CommandInput::lineReceived, &view, [&view](const QByteArray& line) {
        apply(view, browser_protocol::parseCommand(line));
    });
    QObject::connect(&input, &CommandInput::closed, &app, &QCoreApplication::quit);

    // No frame and no window manager: the program puts the window inside its own.
    view.setWindowFlags(Qt::FramelessWindowHint | Qt::BypassWindowManagerHint);
    view.setGeometry(kParkedArea);
    WindowReporter reporter(view);
    view.show();
    view.selectKeysForFocus();
    reporter.report();
    return QApplication::exec();
}
