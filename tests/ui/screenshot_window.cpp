// Shows one view of the program for tools/screenshots.sh and stays up until killed:
//   quillmark-screenshot-window page <0..5> | about | online | ports | monitor
//                               | send-progress | status-lime | status-red | receiver
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
#include <QDir>
#include <QFile>
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

// The receiver view opens a station whose PS and RadioText a radio shows differently.
class StationDialogs : public QtDialogs {
public:
    std::optional<QString> openStationFile(QWidget*) override {
        quillmark::StationImage image;
        image.applyProgrammingDefaults();
        const auto map = image.DeviceMap();
        const auto put = [&map](int address, std::string_view bytes) {
            std::copy(bytes.begin(), bytes.end(), map.begin() + address);
        };
        put(0, "\xE2\x01\x05\x48");                    // PI E201, PTY 10, TP, music
        put(8, "\xE4\x0B\x6B\xCC\x0B");                // AF 88.6, 98.2, 107.9, 88.6
        put(40, "Quillmark FM: caf\xE9 y noticias 24 h por $1 al d\xED" "a");
        put(104, "QUILLMRKRADIO \x24 A\xF1o 2026");      // three screens
        put(252, "\x83\x18");                            // RadioText on, 2 s a screen
        const QString path = QDir::temp().filePath(QStringLiteral("quillmark-receiver.rds"));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly))
            return std::nullopt;
        file.write(reinterpret_cast<const char*>(map.data()), 256);
        return path;
    }
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
    StationDialogs station;
    Dialogs& dialogs = encoder                                   ? static_cast<Dialogs&>(confirming)
                       : view == QLatin1String("receiver") ? static_cast<Dialogs&>(station)
                                                           : plain;
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
        QTimer::singleShot(0, &form3, [&form3] { form3.openWindow(); });
    if (view == QLatin1String("ports"))
        QTimer::singleShot(0, &form1,
                           [&form1] { form1.guarded([&form1] { form1.PuertosSerie1Click(); }); });
    if (view == QLatin1String("receiver"))
        QTimer::singleShot(0, &form1, [&form1] {
            form1.guarded([&form1] { form1.Abrir1Click(); });
            form1.guarded([&form1] { form1.VistadeReceptor1Click(); });
        });
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
