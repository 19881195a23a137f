#include "encoder_state.h"

namespace quillmark::sim {

EncoderState::EncoderState(const PtyEncoderOptions& options) : rng_(options.garbageSeed) {
    if (options.memory)
        engine_.memory() = *options.memory;
    for (const Fault& fault : options.faults)
        faults_.add(fault);
}

std::optional<Reply> EncoderState::receive(Byte b) {
    std::unique_lock lock(mutex_);
    const int number = frames_ + 1;
    std::optional<std::array<Byte, 256>> before;
    if (faults_.refuses(number))
        before = engine_.memory();
    scratch_.clear();
    engine_.feed({&b, 1}, scratch_);
    if (scratch_.empty())
        return std::nullopt;
    frames_ = number;
    EncoderEngine::Event event = std::move(scratch_.front());
    Reply reply = faults_.apply(number, std::move(event.answer), rng_);
    if (!reply.keepStore && before)
        engine_.memory() = *before;
    event.answer = reply.bytes; // the log shows what was actually sent
    log_.push_back(event);
    const Sink sink = sink_;
    lock.unlock();
    if (sink)
        sink(event);
    return reply;
}

std::array<Byte, 256> EncoderState::memory() const {
    std::lock_guard lock(mutex_);
    return engine_.memory();
}

void EncoderState::setMemory(const std::array<Byte, 256>& m) {
    std::lock_guard lock(mutex_);
    engine_.memory() = m;
}

void EncoderState::addFault(const Fault& fault) {
    std::lock_guard lock(mutex_);
    faults_.add(fault);
}

void EncoderState::clearFaults() {
    std::lock_guard lock(mutex_);
    faults_.clear();
}

int EncoderState::framesReceived() const {
    std::lock_guard lock(mutex_);
    return frames_;
}

std::vector<EncoderEngine::Event> EncoderState::log() const {
    std::lock_guard lock(mutex_);
    return log_;
}

void EncoderState::clearLog() {
    std::lock_guard lock(mutex_);
    log_.clear();
}

void EncoderState::setSink(Sink sink) {
    std::lock_guard lock(mutex_);
    sink_ = std::move(sink);
}

std::size_t EncoderState::droppedBytes() const {
    std::lock_guard lock(mutex_);
    return engine_.droppedBytes();
}

} // namespace quillmark::sim
