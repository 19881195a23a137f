// Figures for the ports: how long "Puertos serie..." takes to refresh with 1,000 processes
// of 100 descriptors each, and the longest the UI thread stalls while a network port tries
// a server that never answers.
//
//     build-bench/bench/ports/bench_ports [processes] [descriptors]

#include "fake_server.h"

#include "network_wait.h"
#include "port_dialog.h"
#include "ports/proc_table.h"
#include "serial/comport.h"
#include "shell.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

class NoDevices : public quillmark::ports::TtyEnumerator {
public:
    std::vector<quillmark::ports::TtyRecord> ttyDevices() override { return {}; }
};

// pids 1000.. with descriptors on pipes, sockets and files, one of them on `node`.
void makeProc(const fs::path& root, int processes, int descriptors, const std::string& node) {
    for (int p = 0; p < processes; ++p) {
        const fs::path base = root / std::to_string(1000 + p);
        fs::create_directories(base / "fd");
        std::ofstream(base / "comm") << "worker" << p << '\n';
        for (int d = 0; d < descriptors; ++d) {
            const std::string target = d % 3 == 0   ? "pipe:[" + std::to_string(d) + "]"
                                       : d % 3 == 1 ? "socket:[" + std::to_string(d) + "]"
                                                    : "/var/log/file" + std::to_string(d);
            fs::create_symlink(p == processes / 2 && d == 7 ? node : target,
                               base / "fd" / std::to_string(d));
        }
    }
}

double millisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

void benchRefresh(int processes, int descriptors) {
    // In memory, as /proc is, when the machine has a memory file system.
    QTemporaryDir dir(fs::is_directory("/dev/shm") ? QStringLiteral("/dev/shm/bench_ports-XXXXXX")
                                                   : QString());
    const fs::path root = dir.path().toStdString();
    const fs::path config = root / "config";
    fs::create_directories(config);
    const std::string node = "/dev/ttyUSB7";
    for (int n = 1; n <= PortDialog::kPorts; ++n)
        fs::create_symlink(node, config / ("COM" + std::to_string(n)));
    makeProc(root / "proc", processes, descriptors, node);

    const auto walk = Clock::now();
    for (int n = 0; n < PortDialog::kPorts; ++n)
        (void)quillmark::ports::ProcTable(root / "proc").holdersOf(node);
    std::printf("one /proc walk per row (8 rows): %8.1f ms\n", millisecondsSince(walk));

    NoDevices devices;
    QtDialogs dialogs;
    PortDialog dialog(config, devices, dialogs);
    std::vector<double> times;
    for (int i = 0; i < 5; ++i) {
        const auto start = Clock::now();
        dialog.setProcRoot(root / "proc"); // refreshes
        times.push_back(millisecondsSince(start));
    }
    std::sort(times.begin(), times.end());
    std::printf("dialog refresh, %d processes x %d descriptors: median %.1f ms, max %.1f ms "
                "(target <= 300 ms)\n",
                processes, descriptors, times[times.size() / 2], times.back());
}

void benchNetworkStall() {
    FullListener unreachable;
    NetworkWaitScope scope(nullptr);
    QElapsedTimer clock;
    qint64 last = 0;
    qint64 longest = 0;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        longest = std::max(longest, clock.elapsed() - last);
        last = clock.elapsed();
    });
    clock.start();
    tick.start(1);
    TComPort port;
    port.SetDeviceName("tcp://127.0.0.1:" + std::to_string(unreachable.port()));
    const auto start = Clock::now();
    try {
        port.Open();
    } catch (const std::exception& e) {
        std::printf("network open to a silent server: %s after %.0f ms\n", e.what(),
                    millisecondsSince(start));
    }
    std::printf("longest UI-thread stall meanwhile: %lld ms (target <= 50 ms)\n",
                static_cast<long long>(longest));
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    const int processes = argc > 1 ? std::stoi(argv[1]) : 1000;
    const int descriptors = argc > 2 ? std::stoi(argv[2]) : 100;
    benchRefresh(processes, descriptors);
    benchNetworkStall();
    return 0;
}
