#include "about.h"
#include "navegador.h"
#include "principal.h"
#include "shell.h"

#ifdef QUILLMARK_WEB_BROWSER
#include "browser_webengine.h"
#endif

#include <QApplication>
#include <QIcon>
#include <QScreen>

namespace {
BrowserFactory browserFactory() {
#ifdef QUILLMARK_WEB_BROWSER
    return [](QWidget* parent) { return createWebEngineBrowser(parent); };
#else
    return {};
#endif
}

void centreOnScreen(QWidget& window) {
    if (const QScreen* screen = window.screen())
        window.move(screen->availableGeometry().center() - window.frameGeometry().center() +
                    window.pos());
}
} // namespace

int main(int argc, char* argv[]) {
#ifdef QUILLMARK_WEB_BROWSER
    prepareWebEngine();
#endif
    QApplication app(argc, argv);
    // Only the name: a display name would be appended to captions such as "Information".
    QApplication::setApplicationName(kApplicationTitle);
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/images/quillmark.png")));

    QtDialogs dialogs;
    TForm1 form1(dialogs);
    form1.FormCreate();
    centreOnScreen(form1);
    form1.show();

    TAboutBox aboutBox(&form1);
    TForm3 form3(&form1, browserFactory());
    form1.setSecondaryWindows(&aboutBox, &form3);
    return QApplication::exec();
}
