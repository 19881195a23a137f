// Shows one view of the program for tools/screenshots.sh and stays up until killed:
//   quillmark-screenshot-window page <0..5> | about | online
// The product itself reads no arguments or environment for this.

#include "about.h"
#include "navegador.h"
#include "principal.h"
#include "shell.h"

#ifdef QUILLMARK_WEB_BROWSER
#include "browser_webengine.h"
#endif

#include <QApplication>
#include <QTabWidget>

#include <cstdio>

namespace {
BrowserFactory browserFactory() {
#ifdef QUILLMARK_WEB_BROWSER
    return [](QWidget* parent) { return createWebEngineBrowser(parent); };
#else
    return {};
#endif
}
} // namespace

int main(int argc, char* argv[]) {
    const QString view = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("page");
    const int page = argc > 2 ? QString::fromLocal8Bit(argv[2]).toInt() : 0;
#ifdef QUILLMARK_WEB_BROWSER
    prepareWebEngine();
#endif
    QApplication app(argc, argv);
    QApplication::setApplicationName(kApplicationTitle);
    QtDialogs dialogs;
    TForm1 form1(dialogs);
    form1.FormCreate();
    form1.move(20, 20);
    form1.show();
    form1.findChild<QTabWidget*>(QStringLiteral("Planes"))->setCurrentIndex(page);
    TAboutBox about(&form1);
    TForm3 form3(&form1, browserFactory());
    if (view == QLatin1String("about"))
        about.show();
    else if (view == QLatin1String("online"))
        form3.show();
    std::puts("shown");
    std::fflush(stdout);
    return QApplication::exec();
}
