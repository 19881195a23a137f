// quillmark-browser: the web view of the online-information window, in a process of its
// own so that the web engine neither slows the program's start nor can take it down.
// Commands arrive on stdin (see browser_protocol.h); the helper ends when stdin closes.
// Arguments: --window where it shows the whole window itself rather than a page for the
// program to embed (only X11 embeds), --desktop-file-name NAME to group under the program.

#include "browser_protocol.h"
#include "command_input.h"
#include "helper_view.h"
#include "helper_window.h"
#include "offline_page.h"

#include <QApplication>
#include <QUrl>

#include <cstdio>
#include <memory>
#include <unistd.h>

namespace {

// Until the program embeds it, the view waits where nobody sees it.
const QRect kParkedArea(-10000, -10000, 750, 538);

void prepareWebEngine() {
    // Chromium refuses to run its sandbox as root; the program often runs as root on test
    // machines. An explicit setting by the user wins.
    if (geteuid() == 0 && qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
}

void apply(HelperView& view, HelperWindow* window, const browser_protocol::Command& command) {
    using Kind = browser_protocol::Command::Kind;
    switch (command.kind) {
    case Kind::Navigate:
        // The operator's text as typed; the engine needs a URL with a scheme.
        view.load(QUrl::fromUserInput(command.text));
        return;
    case Kind::Stop:
        view.stop();
        return;
    case Kind::FocusFirst:
        view.enterBy(Qt::TabFocusReason);
        return;
    case Kind::FocusLast:
        view.enterBy(Qt::BacktabFocusReason);
        return;
    case Kind::Unknown:
        break;
    default:
        if (window == nullptr)
            return; // the program shows an embedded page inside its own window
        if (command.kind == Kind::Show)
            window->present();
        else if (command.kind == Kind::Hide)
            window->hide();
        else if (command.kind == Kind::Title)
            window->setWindowTitle(command.text);
        else if (command.kind == Kind::Address)
            window->setAddress(command.text);
        return;
    }
    std::fputs("quillmark-browser: unknown command ignored\n", stderr);
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
    const QStringList arguments = QApplication::arguments();
    const bool ownWindow = arguments.contains(QStringLiteral("--window"));
    if (const qsizetype at = arguments.indexOf(QStringLiteral("--desktop-file-name"));
        at > 0 && at + 1 < arguments.size())
        QGuiApplication::setDesktopFileName(arguments[at + 1]);
    // Ready for commands and signals before the window is reported.
    quitOnTermination();
    std::unique_ptr<HelperView> embedded;
    std::unique_ptr<HelperWindow> window;
    if (ownWindow)
        window = std::make_unique<HelperWindow>();
    else
        embedded = std::make_unique<HelperView>(true);
    HelperView& view = window ? window->view() : *embedded;
    showUnreachableInSpanish(view);
    CommandInput input(STDIN_FILENO);
    QObject::connect(&input, &CommandInput::lineReceived, &view,
                     [&view, w = window.get()](const QByteArray& line) {
                         apply(view, w, browser_protocol::parseCommand(line));
                     });
    QObject::connect(&input, &CommandInput::closed, &app, &QCoreApplication::quit);

    if (window) {
        // Ready: the window shows when the program asks.
        writeLine(browser_protocol::windowLine(window->winId()));
        return QApplication::exec();
    }
    // No frame and no window manager: the program puts the window inside its own.
    view.setWindowFlags(Qt::FramelessWindowHint | Qt::BypassWindowManagerHint);
    view.setGeometry(kParkedArea);
    WindowReporter reporter(view);
    view.show();
    view.selectKeysForFocus();
    reporter.report();
    return QApplication::exec();
}
