// The line monitor under load: frames to the unpaced simulated encoder and its answers, the
// port driven from a worker thread, the monitor window open on the UI thread.
//   - byte paths: WriteByte and ReadByte (byte already queued) per call, with no observer
//     and with the window's tap attached, in alternating rounds;
//   - 100,000 frames with the window open: UI-thread CPU time per frame, the longest and
//     99th-percentile stall of a 10 ms timer on the UI thread, resident memory once the
//     ring of rows is full.

#include "line_monitor.h"

#include "core/command_frames.h"
#include "pty_encoder.h"
#include "serial/comport.h"

#include <QApplication>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

struct PathTimes {
    std::vector<double> writeNs;
    std::vector<double> readNs;
};

double percentile(std::vector<double> v, double p) {
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[static_cast<std::size_t>(p * double(v.size() - 1))];
}

double threadCpuMs() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) * 1e3 + double(ts.tv_nsec) / 1e6;
}

long residentKb() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stol(line.substr(6));
    return -1;
}

double nsSince(Clock::time_point t) {
    return std::chrono::duration<double, std::nano>(Clock::now() - t).count();
}

// A PI write answered by one byte, or a PI read answered by two; `times` may be null.
void driveFrames(TComPort& port, int frames, PathTimes* times) {
    const std::array<quillmark::Byte, 2> pi{0xE0, 0x12};
    for (int i = 0; i < frames; ++i) {
        const bool write = i % 2 == 0;
        const quillmark::CommandFrame f =
            write ? quillmark::piWriteFrame(0, pi) : quillmark::piReadFrame(0);
        for (const quillmark::Byte b : f.bytes()) {
            const auto t = Clock::now();
            port.WriteByte(b);
            if (times)
                times->writeNs.push_back(nsSince(t));
        }
        const int answer = write ? 1 : 2;
        while (port.InputCount() < answer)
            std::this_thread::yield();
        for (int k = 0; k < answer; ++k) {
            const auto t = Clock::now();
            (void)port.ReadByte();
            if (times)
                times->readNs.push_back(nsSince(t));
        }
    }
}

// Runs the frames on a worker while the UI thread runs its events.
void runFrames(TComPort& port, int frames, PathTimes* times) {
    QEventLoop loop;
    std::thread worker([&] {
        driveFrames(port, frames, times);
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec();
    worker.join();
    // What the tap still holds.
    for (int i = 0; i < 5; ++i)
        QCoreApplication::processEvents();
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    quillmark::sim::PtyEncoderOptions options;
    options.paced = false;
    quillmark::sim::PtyEncoder encoder(options);
    encoder.start();
    TComPort port;
    port.SetDeviceName(encoder.slavePath());
    port.SetBaudRate(br2400);
    port.Timeouts().SetReadConstant(1000ms);
    port.Open();
    LineMonitor monitor(port);
    monitor.resize(900, 500);
    runFrames(port, 2000, nullptr); // warm-up

    // Byte paths, taking turns.
    PathTimes bare;
    PathTimes tapped;
    for (int round = 0; round < 4; ++round) {
        runFrames(port, 5000, &bare);
        monitor.show();
        runFrames(port, 5000, &tapped);
        monitor.close();
        monitor.clearRows();
    }
    std::printf("byte paths, ns per call (median / p99)\n");
    std::printf("  WriteByte  no observer %7.0f / %7.0f   tap attached %7.0f / %7.0f\n",
                percentile(bare.writeNs, 0.5), percentile(bare.writeNs, 0.99),
                percentile(tapped.writeNs, 0.5), percentile(tapped.writeNs, 0.99));
    std::printf("  ReadByte   no observer %7.0f / %7.0f   tap attached %7.0f / %7.0f\n",
                percentile(bare.readNs, 0.5), percentile(bare.readNs, 0.99),
                percentile(tapped.readNs, 0.5), percentile(tapped.readNs, 0.99));

    // 100,000 frames with the window open.
    const long rssBefore = residentKb();
    monitor.show();
    std::vector<double> stallsMs;
    QTimer stallProbe;
    stallProbe.setTimerType(Qt::PreciseTimer);
    auto due = Clock::now() + 10ms;
    QObject::connect(&stallProbe, &QTimer::timeout, [&] {
        const auto now = Clock::now();
        stallsMs.push_back(std::chrono::duration<double, std::milli>(now - due).count());
        due = now + 10ms;
    });
    stallProbe.start(10);
    constexpr int kFrames = 100000;
    const double cpuBefore = threadCpuMs();
    const auto wallBefore = Clock::now();
    runFrames(port, kFrames, nullptr);
    const double cpuMs = threadCpuMs() - cpuBefore;
    const double wallMs = std::chrono::duration<double, std::milli>(Clock::now() - wallBefore).count();
    stallProbe.stop();
    const long rssFull = residentKb();
    std::printf("100,000 frames (PI write + answer, PI read + reply) with the window open\n");
    std::printf("  rows kept %d of %d (ring full: %s)\n", monitor.model().rowCount(),
                LineMonitorModel::kMaxRows,
                monitor.model().rowCount() == LineMonitorModel::kMaxRows ? "yes" : "no");
    std::printf("  wall %.0f ms, UI-thread CPU %.0f ms = %.2f us per frame (request + answer)\n",
                wallMs, cpuMs, 1000.0 * cpuMs / kFrames);
    std::printf("  UI-thread stall of a 10 ms timer: median %.2f ms, p99 %.2f ms, max %.2f ms\n",
                percentile(stallsMs, 0.5), percentile(stallsMs, 0.99), percentile(stallsMs, 1.0));
    std::printf("  resident memory: %ld kB before, %ld kB with the ring full (+%ld kB)\n",
                rssBefore, rssFull, rssFull - rssBefore);

    // Saving the full ring: what the UI thread spends before the writer thread takes over.
    QTemporaryDir dir;
    QEventLoop waitForSave;
    bool written = false;
    QObject::connect(&monitor, &LineMonitor::saveFinished,
                     [&](const QString&, const QString& error) {
                         written = error.isEmpty();
                         waitForSave.quit();
                     });
    const auto saveStart = Clock::now();
    monitor.saveRows(dir.filePath(QStringLiteral("monitor.txt")));
    const double uiMs = std::chrono::duration<double, std::milli>(Clock::now() - saveStart).count();
    waitForSave.exec();
    const double allMs =
        std::chrono::duration<double, std::milli>(Clock::now() - saveStart).count();
    std::printf("  save of the full ring: UI thread %.1f ms, file written after %.0f ms (%s)\n",
                uiMs, allMs, written ? "ok" : "FAILED");
    monitor.close();
    port.Close();
    encoder.stop();
    return monitor.model().rowCount() == LineMonitorModel::kMaxRows ? 0 : 1;
}
