// quillmark-cli against the encoder paced at 2400 bit/s: wall time of whole commands, as a
// ratio to the line-time floor (bytes both ways x 10 bits / 2400 bit/s). Process start-up
// and the port's opening count too: that is what a script waits for.

#include "pty_encoder.h"

#include <QCoreApplication>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using Memory = std::array<quillmark::sim::Byte, 256>;

constexpr double kByteSeconds = 10.0 / 2400.0;
constexpr int kReadBytes = 2 * (3 + 128);
constexpr int kProgramBytes = 16 * (19 + 1);
constexpr int kRuns = 5;

struct Case {
    const char* name;
    QStringList args; // "@" stands for the station file
    int wireBytes;
};

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

Memory pattern(int seed) {
    Memory m{};
    for (int i = 0; i < 256; ++i)
        m[static_cast<std::size_t>(i)] = static_cast<quillmark::sim::Byte>(i * 29 + seed);
    return m;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QString config = dir.path() + "/config";
    const std::string station = (dir.path() + "/site.rds").toStdString();
    const Memory wanted = pattern(7);
    std::ofstream(station, std::ios::binary)
        .write(reinterpret_cast<const char*>(wanted.data()), 256);

    quillmark::sim::PtyEncoderOptions options;
    options.paced = true;
    quillmark::sim::PtyEncoder encoder(options);
    encoder.start();
    encoder.linkAs((config + "/Tarvenor/Quillmark").toStdString(), "COM1");

    const std::vector<Case> cases{
        {"program --verify", {"program", "COM1", "@", "--verify"}, kProgramBytes + kReadBytes},
        {"read", {"read", "COM1", "-o", dir.path() + "/read.rds"}, kReadBytes},
        {"program --if-different (equal)", {"program", "COM1", "@", "--if-different"}, kReadBytes},
    };
    // Another build's tool may be measured side by side: QUILLMARK_CLI=/path/to/quillmark-cli
    const QString cli = qEnvironmentVariableIsEmpty("QUILLMARK_CLI")
                            ? QStringLiteral(QUILLMARK_CLI)
                            : qEnvironmentVariable("QUILLMARK_CLI");
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_CONFIG_HOME", config);

    std::printf("%-34s %9s %9s %7s\n", "command", "median s", "floor s", "ratio");
    int status = 0;
    for (const Case& c : cases) {
        std::vector<double> seconds;
        for (int run = 0; run < kRuns; ++run) {
            encoder.setMemory(pattern(run)); // differs from the file: programming is needed
            if (QString(c.name).contains("equal"))
                encoder.setMemory(wanted);
            QStringList args = c.args;
            args.replaceInStrings("@", QString::fromStdString(station));
            QProcess process;
            process.setProcessEnvironment(env);
            const auto start = Clock::now();
            process.start(cli, args);
            process.waitForFinished(60000);
            seconds.push_back(std::chrono::duration<double>(Clock::now() - start).count());
            if (process.exitCode() != 0) {
                std::fprintf(stderr, "%s failed: %s\n", c.name,
                             process.readAllStandardError().constData());
                status = 1;
            }
        }
        const double floor = c.wireBytes * kByteSeconds;
        const double m = median(seconds);
        std::printf("%-34s %9.3f %9.3f %7.3f\n", c.name, m, floor, m / floor);
    }
    std::printf("target: program --verify within 1.03 of the floor\n");
    return status;
}
