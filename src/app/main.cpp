#include "about.h"
#include "browser_process.h"
#include "font_warm_up.h"
#include "navegador.h"
#include "principal.h"
#include "shell.h"

#include <QApplication>
#include <QIcon>
#include <QTextStream>

#include <exception>

namespace {
// The web engine runs in a helper process started at the window's first opening.
BrowserFactory browserFactory() {
    return [](QWidget* parent) -> std::unique_ptr<Browser> {
        return std::make_unique<ProcessBrowser>(parent);
    };
}

// For packagers: starts the browser helper as the online window would, without a window of
// our own, and says which program it ran.
int checkHelper() {
    QTextStream out(stdout);
    QTextStream err(stderr);
    QWidget host;
    try {
        ProcessBrowser browser(&host);
        browser.navigate(QStringLiteral("about:blank"));
        out << ProcessBrowser::helperProgram() << Qt::endl;
        return 0;
    } catch (const std::exception& e) {
        err << e.what() << Qt::endl;
        return 1;
    }
}

} // namespace

int main(int argc, char* argv[]) {
    FontWarmUp fonts;
    QApplication app(argc, argv);
    // Only the name: a display name would be appended to captions such as "Information".
    QApplication::setApplicationName(kApplicationTitle);
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/images/quillmark.png")));
    // Ties the windows to the menu entry and its icon on Wayland.
    QGuiApplication::setDesktopFileName(QStringLiteral("com.tarvenor.Quillmark"));
    if (QApplication::arguments().contains(QStringLiteral("--check-helper")))
        return checkHelper();

    QtDialogs dialogs;
    fonts.finish();
    TForm1 form1(dialogs);
    form1.FormCreate();
    form1.show();

    TAboutBox aboutBox(&form1);
    TForm3 form3(&form1, browserFactory());
    form1.setSecondaryWindows(&aboutBox, &form3);
    return QApplication::exec();
}
