#pragma once

// Printing the figures side by side, with the ratio ours/peer and the verdict on targets.

#include "idle_wakeups.h"
#include "measurements.h"

#include <string>
#include <vector>

namespace bench {

struct PeerFigures {
    std::string name;
    std::string drivenBy;
    bool ours = false;
    bool diagnostic = false; // shown, but neither ours nor a peer in the comparison
    PhaseResult latency;
    PhaseResult roundTrip;
};

void printDrivers(const std::vector<PeerFigures>& peers);
void printLatency(const std::vector<PeerFigures>& peers, const PeerFigures& ours);
void printRoundTrip(const std::vector<PeerFigures>& peers, const PeerFigures& ours);
void printCpu(const std::vector<PeerFigures>& peers, const PeerFigures& ours);
void printAllocations(const std::vector<PeerFigures>& peers);
void printIdle(const std::string& title, const std::vector<IdleWakeups>& idle);

// Prints each target with the figures behind it; true when all are met.
bool printTargets(const std::vector<PeerFigures>& peers, const PeerFigures& ours,
                  const std::vector<IdleWakeups>& oursIdle);

// The smallest (best) value of `figure` among the peers that are not ours.
[[nodiscard]] double bestPeer(const std::vector<PeerFigures>& peers,
                              double (*figure)(const PeerFigures&));

} // namespace bench
