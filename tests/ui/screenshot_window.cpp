// Shows one view of the program for tools/screenshots.sh and stays up until killed:
//   quillmark-screenshot-window page <0..5> | about | online | ports | monitor
//                               | send-progress | status-lime | status-red
// The send views run a PI send against an encoder of their own on COM8 that stays silent,
// answers 0xAA or answers a failure. The product itself reads no arguments or environment
// for this.

#include "about.h"
#include "navegador.h"
#include "principal.h"
#include "shell.h"

#include "browser_process.h"

#include "core/port_setting.h"
#include "sim/pty_encoder.h"

#include <QApplication>
#include <QTabWidget>
#include <QTimer>

#include <cstdio>
#include <memory>

namespace {
BrowserFactory browserFactory() {
    return [](QWidget* parent) { return std::make_unique<ProcessBrowser>(parent); };
}
// The send views confirm every question so that the send goes out.
class ConfirmingDialogs : public QtDialogs {
public:
    Answer question(QWidget*, const QString&) override { return Answer::Yes; }
};

// An encoder of the send views' own, linked as COM8 and chosen in the port setting.
std::unique_ptr<quillmark::sim::PtyEncoder> sendViewEncoder(const QString& view) {
    using namespace quillmark::sim;
    PtyEncoderOptions options;
    if (view == QLatin1String("send-progress"))
        options.faults.push_back({1, FaultKind::NoAnswer, 0, {}});
    else if (view == QLatin1String("status-red"))
        options.faults.push_back({1, FaultKind::FailAnswer, 0, {}});
    else if (view != QLatin1String("status-lime"))
        return nullptr;
    auto encoder = std::make_unique<PtyEncoder>(std::move(options));
    encoder->start();
    encoder->linkAs(quillmark::configDirectory(), "COM8");
    quillmark::writeTextFile(quillmark::configFilePath(), "7");
    return encoder;
}
} // namespace

int main(int argc, char* argv[]) {
    const QString view = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("page");
    const int page = argc > 2 ? QString::fromLocal8Bit(argv[2]).toInt() : 0;
    QApplication app(argc, argv);
    QApplication::setApplicationName(kApplicationTitle);
    const auto encoder = sendViewEncoder(view);
    ConfirmingDialogs confirming;
    QtDialogs plain;
    Dialogs& dialogs = encoder ? static_cast<Dialogs&>(confirming) : plain;
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
    if (view == QLatin1String("ports"))
        QTimer::singleShot(0, &form1,
                           [&form1] { form1.guarded([&form1] { form1.PuertosSerie1Click(); }); });
    if (view == QLatin1String("monitor"))
        QTimer::singleShot(0, &form1,
                           [&form1] { form1.guarded([&form1] { form1.MonitordeLnea1Click(); }); });
    if (encoder)
        QTimer::singleShot(500, &form1,
                           [&form1] { form1.guarded([&form1] { form1.SendPIClick(); }); });
    std::puts("shown");
    std::fflush(stdout);
    return QApplication::exec();
}
