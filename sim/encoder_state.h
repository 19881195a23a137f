#pragma once

// The encoder as the server thread and its observers share it: engine, faults, frame log.
// Every member is safe to call from any thread.

#include "fault_plan.h"

#include <functional>
#include <mutex>
#include <optional>

namespace quillmark::sim {

class EncoderState {
public:
    using Sink = std::function<void(const EncoderEngine::Event&)>;

    explicit EncoderState(const PtyEncoderOptions& options);

    // Takes one received byte; the reply when it completes a frame.
    [[nodiscard]] std::optional<Reply> receive(Byte b);

    [[nodiscard]] std::array<Byte, 256> memory() const;
    void setMemory(const std::array<Byte, 256>& m);
    void addFault(const Fault& fault);
    void clearFaults();
    [[nodiscard]] int framesReceived() const;
    [[nodiscard]] std::vector<EncoderEngine::Event> log() const;
    void clearLog();
    void setSink(Sink sink);
    [[nodiscard]] std::size_t droppedBytes() const;

private:
    mutable std::mutex mutex_;
    EncoderEngine engine_;
    FaultPlan faults_;
    std::vector<EncoderEngine::Event> log_;
    std::vector<EncoderEngine::Event> scratch_;
    Sink sink_;
    std::mt19937 rng_;
    int frames_ = 0;
};

} // namespace quillmark::sim
