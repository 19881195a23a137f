// Serial line benchmark: our TComPort beside libserialport and QSerialPort over
// pseudo-terminals, in one run. See bench/README.md for what each figure means.

#include "idle_wakeups.h"
#include "measurements.h"
#include "report.h"

#include "serial/comport.h"

#include <QCoreApplication>

#include <cstdio>
#include <cstring>
#include <exception>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace bench;

struct Settings {
    int bytes = 10000; // single bytes per implementation for the latency
    int rounds = 2000; // round trips per implementation
    int blocks = 10;   // implementations take turns this many times
    Nanos idle = std::chrono::milliseconds(1500);
    std::string only; // run only implementations whose name contains this (for profiling)
};

struct Contender {
    std::unique_ptr<SerialPeer> peer;
    std::unique_ptr<PtyLine> line;
    PeerFigures figures;
};

enum class Role { Ours, Peer, Diagnostic };

Contender contender(std::unique_ptr<SerialPeer> peer, Role role) {
    Contender c{std::move(peer), std::make_unique<PtyLine>(), {}};
    c.figures.name = c.peer->name();
    c.figures.drivenBy = c.peer->drivenBy();
    c.figures.ours = role == Role::Ours;
    c.figures.diagnostic = role == Role::Diagnostic;
    c.peer->open(*c.line);
    return c;
}

void warmUp(Contender& c) {
    (void)measureLatency(*c.peer, *c.line, 200);
    (void)measureRoundTrip(*c.peer, *c.line, 100);
}

// Implementations take turns block by block, so slow drifts of the machine hit all alike.
void runInterleaved(std::vector<Contender>& all, const Settings& s) {
    for (auto& c : all)
        warmUp(c);
    for (int block = 0; block < s.blocks; ++block)
        for (auto& c : all)
            c.figures.latency.add(measureLatency(*c.peer, *c.line, s.bytes / s.blocks));
    for (int block = 0; block < s.blocks; ++block)
        for (auto& c : all)
            c.figures.roundTrip.add(measureRoundTrip(*c.peer, *c.line, s.rounds / s.blocks));
}

[[nodiscard]] bool anyFailure(const std::vector<PeerFigures>& figures) {
    for (const auto& f : figures)
        if (!f.latency.failure.empty() || !f.roundTrip.failure.empty())
            return true;
    return false;
}

// One implementation on its own, for a profiler: figures only, no comparison.
int runAlone(std::vector<Contender> all, const Settings& s) {
    std::erase_if(
        all, [&](const Contender& c) { return c.figures.name.find(s.only) == std::string::npos; });
    if (all.empty()) {
        std::printf("no implementation named like \"%s\"\n", s.only.c_str());
        return 1;
    }
    runInterleaved(all, s);
    std::vector<PeerFigures> figures{std::move(all.front().figures)};
    printLatency(figures, figures.front());
    printRoundTrip(figures, figures.front());
    printAllocations(figures);
    return anyFailure(figures) ? 1 : 0;
}

Settings parse(int argc, char** argv) {
    Settings s;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--quick") == 0) {
            s.bytes = 1000;
            s.rounds = 200;
            s.idle = std::chrono::milliseconds(500);
        } else if (std::strcmp(argv[i], "--only") == 0 && i + 1 < argc) {
            s.only = argv[++i];
        }
    }
    return s;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const Settings settings = parse(argc, argv);
    TCustomComPort::SetHandlerErrorReport(
        [](const std::exception& e) { std::printf("  !! handler failed: %s\n", e.what()); });
    std::printf("Serial line benchmark over pseudo-terminals: %d single bytes and %d round trips "
                "per implementation, taking turns in %d blocks.\n",
                settings.bytes, settings.rounds, settings.blocks);
    try {
        std::vector<Contender> all;
        all.push_back(contender(makeOurPort(false), Role::Ours));
        all.push_back(contender(makeLibSerialPortThread(), Role::Peer));
        all.push_back(contender(makeLibSerialPortNotifier(), Role::Peer));
        all.push_back(contender(makeQSerialPort(), Role::Peer));
        all.push_back(contender(makeOurPort(false, true), Role::Diagnostic));
        if (!settings.only.empty())
            return runAlone(std::move(all), settings);
        runInterleaved(all, settings);
        const auto idle = measureIdle({"ComThread", "SpWait"}, settings.idle);
        for (auto& c : all)
            c.peer->close();

        // As the main window runs it: its raised priorities would favour every peer's UI
        // handling too, so it runs alone.
        std::vector<Contender> comm1;
        comm1.push_back(contender(makeOurPort(true), Role::Ours));
        runInterleaved(comm1, settings);
        const auto comm1Idle = measureIdle({"ComThread"}, settings.idle);
        comm1.front().peer->close();

        std::vector<PeerFigures> figures;
        for (auto& c : all)
            figures.push_back(std::move(c.figures));
        figures.push_back(std::move(comm1.front().figures));
        const PeerFigures& ours = figures.front();
        printDrivers(figures);
        printLatency(figures, ours);
        printRoundTrip(figures, ours);
        printCpu(figures, ours);
        printAllocations(figures);
        printIdle("all ports open, 1.5 s", idle);
        printIdle("TComPort as Comm1 open, 1.5 s", comm1Idle);
        const bool met = printTargets(figures, ours, idle);
        printTargets(figures, figures.back(), comm1Idle);
        std::printf("\n%s\n", met ? "All targets met." : "Some targets missed (see above).");
        return anyFailure(figures) ? 1 : 0;
    } catch (const std::exception& e) {
        std::printf("benchmark failed: %s\n", e.what());
        return 1;
    }
}
