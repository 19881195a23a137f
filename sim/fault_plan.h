#pragma once

// Which faults apply to which frame, and what they turn the engine's answer into.

#include "pty_encoder.h"

#include <chrono>
#include <random>
#include <vector>

namespace quillmark::sim {

// What goes back on the line for one frame.
struct Reply {
    std::vector<Byte> bytes;
    std::chrono::milliseconds delay{0};
    bool keepStore = true; // false: the frame's effect on memory is undone
    bool hangUp = false;   // the line goes down after this frame
};

class FaultPlan {
public:
    void add(const Fault& fault) { faults_.push_back(fault); }
    void clear() { faults_.clear(); }

    // True when the frame's effect on memory must be undone (a refused write or erase).
    [[nodiscard]] bool refuses(int frameNumber) const;
    // Applies every fault for the frame, in the order they were added.
    [[nodiscard]] Reply apply(int frameNumber, std::vector<Byte> answer, std::mt19937& rng) const;

private:
    std::vector<Fault> faults_;
};

} // namespace quillmark::sim
