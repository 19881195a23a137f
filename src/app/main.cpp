#include "about.h"
#include "browser_process.h"
#include "navegador.h"
#include "principal.h"
#include "shell.h"

#include <QApplication>
#include <QIcon>

namespace {
// The web engine runs in a helper process started at the window's first opening.
BrowserFactory browserFactory() {
    return [](QWidget* parent) -> std::unique_ptr<Browser> {
        return std::make_unique<ProcessBrowser>(parent);
    };
}

} // namespace

int main(int argc, char* argv[]) {
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
