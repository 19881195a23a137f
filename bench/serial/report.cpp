#include "report.h"

#include <algorithm>
#include <cstdio>
#include <limits>

namespace bench {
namespace {

[[nodiscard]] double us(Nanos d) {
    return static_cast<double>(d.count()) / 1000.0;
}
[[nodiscard]] double latencyMedian(const PeerFigures& p) {
    return us(summarise(p.latency.samples).median);
}
[[nodiscard]] double latencyP99(const PeerFigures& p) {
    return us(summarise(p.latency.samples).p99);
}
[[nodiscard]] double roundTripMedian(const PeerFigures& p) {
    return us(summarise(p.roundTrip.samples).median);
}
[[nodiscard]] double roundTripP99(const PeerFigures& p) {
    return us(summarise(p.roundTrip.samples).p99);
}
[[nodiscard]] double cpuPerByte(const PeerFigures& p) {
    const auto n = std::max<std::uint64_t>(p.latency.bytesRead, 1);
    return us(p.latency.cpu) / static_cast<double>(n);
}
[[nodiscard]] double perByte(std::uint64_t count, std::uint64_t bytes) {
    return bytes == 0 ? 0.0 : static_cast<double>(count) / static_cast<double>(bytes);
}

void printSummaryRow(const PeerFigures& p, const PhaseResult& phase, const PhaseResult& oursPhase) {
    const Summary s = summarise(phase.samples);
    const Summary o = summarise(oursPhase.samples);
    std::printf("  %-34s %8.1f %8.1f %9.1f   %5.2f  %5.2f\n", p.name.c_str(), us(s.median),
                us(s.p99), us(s.max), us(o.median) / std::max(us(s.median), 1e-9),
                us(o.p99) / std::max(us(s.p99), 1e-9));
}

void printFailures(const PeerFigures& p, const PhaseResult& phase) {
    if (!phase.failure.empty())
        std::printf("  !! %s: %s\n", p.name.c_str(), phase.failure.c_str());
}

bool verdict(const char* what, bool met, const std::string& detail) {
    std::printf("  [%s] %s: %s\n", met ? "met" : "MISSED", what, detail.c_str());
    return met;
}

std::string format(const char* fmt, double a, double b) {
    char text[160];
    std::snprintf(text, sizeof text, fmt, a, b);
    return text;
}

} // namespace

double bestPeer(const std::vector<PeerFigures>& peers, double (*figure)(const PeerFigures&)) {
    double best = std::numeric_limits<double>::infinity();
    for (const auto& p : peers)
        if (!p.ours && !p.diagnostic)
            best = std::min(best, figure(p));
    return best;
}

void printDrivers(const std::vector<PeerFigures>& peers) {
    std::printf("How each implementation was driven (all on the Qt main thread's event loop):\n");
    for (const auto& p : peers)
        std::printf("  %-34s %s\n", p.name.c_str(), p.drivenBy.c_str());
}

void printLatency(const std::vector<PeerFigures>& peers, const PeerFigures& ours) {
    std::printf("\nByte arrival -> handler start on the UI thread (us; far end write() of one "
                "byte at a known steady_clock time):\n");
    std::printf("  %-34s %8s %8s %9s   %s\n", "implementation", "median", "p99", "max",
                "ours/peer (median, p99)");
    for (const auto& p : peers)
        printSummaryRow(p, p.latency, ours.latency);
    for (const auto& p : peers)
        printFailures(p, p.latency);
}

void printRoundTrip(const std::vector<PeerFigures>& peers, const PeerFigures& ours) {
    std::printf("\nRound trip: 5-byte request written on the UI thread -> 1-byte answer read in "
                "the handler (us):\n");
    std::printf("  %-34s %8s %8s %9s   %s\n", "implementation", "median", "p99", "max",
                "ours/peer (median, p99)");
    for (const auto& p : peers)
        printSummaryRow(p, p.roundTrip, ours.roundTrip);
    for (const auto& p : peers)
        printFailures(p, p.roundTrip);
}

void printCpu(const std::vector<PeerFigures>& peers, const PeerFigures& ours) {
    std::printf("\nCPU time per received byte, one byte per notification (process CPU time less "
                "the far end's thread, / bytes):\n");
    for (const auto& p : peers)
        std::printf("  %-34s %7.2f us/byte   ours/peer %5.2f\n", p.name.c_str(), cpuPerByte(p),
                    cpuPerByte(ours) / std::max(cpuPerByte(p), 1e-9));
}

void printAllocations(const std::vector<PeerFigures>& peers) {
    std::printf("\nHeap allocations per byte in steady state (malloc family incl. operator new / "
                "operator new alone):\n");
    std::printf("  %-34s %15s %15s %19s %19s\n", "implementation", "read path", "write path",
                "process, per rx byte", "process, per round trip");
    for (const auto& p : peers) {
        const auto readBytes = p.latency.bytesRead + p.roundTrip.bytesRead;
        const auto read = p.latency.readPath + p.roundTrip.readPath;
        const auto& w = p.roundTrip.writePath;
        const auto rounds = p.roundTrip.samples.size();
        std::printf("  %-34s %7.3f/%-7.3f %7.3f/%-7.3f %9.3f/%-9.3f %9.3f/%-9.3f\n", p.name.c_str(),
                    perByte(read.heap, readBytes), perByte(read.operatorNew, readBytes),
                    perByte(w.heap, p.roundTrip.bytesWritten),
                    perByte(w.operatorNew, p.roundTrip.bytesWritten),
                    perByte(p.latency.process.heap, p.latency.bytesRead),
                    perByte(p.latency.process.operatorNew, p.latency.bytesRead),
                    perByte(p.roundTrip.process.heap, rounds),
                    perByte(p.roundTrip.process.operatorNew, rounds));
    }
    std::printf("  (read path: inside the read call of the handler; write path: inside the write "
                "call; process: every thread but the far end's, so it includes the delivery "
                "to the UI thread)\n");
}

void printIdle(const std::string& title, const std::vector<IdleWakeups>& idle) {
    std::printf("\nIdle wake-ups, %s (voluntary context switches while nothing moves):\n",
                title.c_str());
    for (const auto& t : idle)
        std::printf("  %-48s tid %-7d %ld\n", t.thread.c_str(), t.tid, t.wakeups);
}

bool printTargets(const std::vector<PeerFigures>& peers, const PeerFigures& ours,
                  const std::vector<IdleWakeups>& oursIdle) {
    std::printf("\nTargets (ours = %s):\n", ours.name.c_str());
    bool all = true;
    const char* ratioText = "ours %.1f us vs best peer %.1f us";
    const std::pair<const char*, double (*)(const PeerFigures&)> timed[] = {
        {"latency median <= 1.2x best peer", latencyMedian},
        {"latency p99 <= 1.2x best peer", latencyP99},
        {"round trip median <= 1.2x best peer", roundTripMedian},
        {"round trip p99 <= 1.2x best peer", roundTripP99}};
    for (const auto& [what, figure] : timed) {
        const double best = bestPeer(peers, figure);
        all &= verdict(what, figure(ours) <= 1.2 * best, format(ratioText, figure(ours), best));
    }
    const auto read = ours.latency.readPath + ours.roundTrip.readPath;
    all &= verdict("no allocation in the read path (ReadByte)", read.heap == 0,
                   format("%.0f allocations over %.0f bytes", static_cast<double>(read.heap),
                          static_cast<double>(ours.latency.bytesRead + ours.roundTrip.bytesRead)));
    const auto& w = ours.roundTrip.writePath;
    all &= verdict("no allocation in the write path (WriteByte)", w.heap == 0,
                   format("%.0f allocations over %.0f bytes", static_cast<double>(w.heap),
                          static_cast<double>(ours.roundTrip.bytesWritten)));
    all &= verdict("no allocation per byte delivered (event thread -> UI thread)",
                   ours.latency.process.heap == 0,
                   format("%.0f allocations over %.0f bytes",
                          static_cast<double>(ours.latency.process.heap),
                          static_cast<double>(ours.latency.bytesRead)));
    long eventThreadWakeups = -1;
    for (const auto& t : oursIdle)
        if (t.thread == "ComThread")
            eventThreadWakeups = std::max(eventThreadWakeups, t.wakeups);
    all &= verdict("event thread never wakes while idle", eventThreadWakeups == 0,
                   std::to_string(eventThreadWakeups) + " wake-ups (-1: thread not found)");
    return all;
}

} // namespace bench
