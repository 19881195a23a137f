// Time of the whole-device commands and of a single write against the encoder paced at
// 2400 bit/s, as a ratio to the line-time floor (bytes both ways x 10 bits / 2400 bit/s).

#include "principal.h"
#include "temp_config.h"

#include "dialogs.h"
#include "pty_encoder.h"
#include "ser2net_server.h"
#include "vcl_timer.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

// Says Yes to every question and notes when the whole-read message appears.
class BenchDialogs : public Dialogs {
public:
    Answer question(QWidget*, const QString&) override { return Answer::Yes; }
    void errorMessage(QWidget*, const QString& text) override { failures << text; }
    void plainMessage(QWidget*, const QString&) override { messageAt = Clock::now(); }
    void standardError(QWidget*, const QString& text) override { failures << text; }
    std::optional<QString> openStationFile(QWidget*) override { return std::nullopt; }
    std::optional<QString> saveStationFile(QWidget*) override { return std::nullopt; }

    Clock::time_point messageAt{};
    QStringList failures;
};

// Runs events until `done` holds, checking after every event round; returns when it held.
Clock::time_point runUntil(const std::function<bool()>& done) {
    QEventLoop loop;
    Clock::time_point at{};
    QTimer poll;
    poll.setTimerType(Qt::PreciseTimer);
    poll.setInterval(0);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (done()) {
            at = Clock::now();
            loop.quit();
        }
    });
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, &loop, &QEventLoop::quit);
    poll.start();
    guard.start(30s);
    loop.exec();
    return at;
}

struct Result {
    const char* name;
    int bytesOut;
    int bytesIn;
    std::vector<double> seconds;
};

constexpr double kByteSeconds = 10.0 / 2400.0;

double floorSeconds(const Result& r) {
    return (r.bytesOut + r.bytesIn) * kByteSeconds;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double since(Clock::time_point start, Clock::time_point end) {
    return std::chrono::duration<double>(end - start).count();
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // bench_protocol [rounds] [tcp|rfc2217 [chardelay]]: the encoder behind ser2net on
    // loopback, by default with the server's character delay off.
    const int rounds = argc > 1 ? std::max(1, atoi(argv[1])) : 5;
    const std::string bridge = argc > 2 ? argv[2] : "";
    const bool charDelay = argc > 3 && std::string(argv[3]) == "chardelay";

    TempConfig config;
    quillmark::sim::PtyEncoderOptions options;
    options.paced = true;
    quillmark::sim::PtyEncoder encoder(options);
    encoder.start();
    std::unique_ptr<quillmark::testing::Ser2NetServer> server;
    if (bridge.empty()) {
        encoder.linkAs(config.configDir().toStdString(), "COM1");
    } else {
        using Mode = quillmark::testing::Ser2NetServer::Mode;
        server = std::make_unique<quillmark::testing::Ser2NetServer>(
            encoder.slavePath(), bridge == "tcp" ? Mode::RawTcp : Mode::Rfc2217,
            bridge == "tcp" ? "2400n81" : "9600n81");
        if (!charDelay)
            server->setOption("chardelay", "false");
        server->start();
        server->writeEntry(config.configDir().toStdString(), "COM1");
    }
    BenchDialogs dialogs;
    TForm1 form(dialogs);
    form.FormCreate();

    auto idle = [&form] { return form.sendState() == 0 && form.readState() == 0; };
    Result pi{"PI write", 5, 1, {}};
    Result read{"Leer Equipo", 6, 256, {}};
    Result program{"Programar Equipo Completo", 16 * 19, 16, {}};
    for (int i = 0; i < rounds; ++i) {
        form.timer2().stop(); // not part of the exchange
        auto start = Clock::now();
        form.SendPIClick();
        pi.seconds.push_back(since(start, runUntil(idle)));

        dialogs.messageAt = {};
        start = Clock::now();
        form.LeerEquipo1Click();
        runUntil([&] { return dialogs.messageAt != Clock::time_point{}; });
        read.seconds.push_back(since(start, dialogs.messageAt));

        start = Clock::now();
        form.Grabartodoelequipo1Click();
        program.seconds.push_back(since(start, runUntil(idle)));
    }
    if (!dialogs.failures.isEmpty()) {
        std::fprintf(stderr, "failures: %s\n", qPrintable(dialogs.failures.join(", ")));
        return 1;
    }
    std::printf("%-28s %6s %8s %8s %8s\n", "operation", "bytes", "floor s", "median s", "ratio");
    for (const Result* r : {&pi, &read, &program}) {
        const double m = median(r->seconds);
        std::printf("%-28s %6d %8.4f %8.4f %8.3f\n", r->name, r->bytesOut + r->bytesIn,
                    floorSeconds(*r), m, m / floorSeconds(*r));
    }
    return 0;
}
