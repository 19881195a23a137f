#include "fault_plan.h"

#include <algorithm>

namespace quillmark::sim {

namespace {

constexpr Byte kFailure = 0x00;
constexpr Byte kStray = 0x55;

std::size_t countOf(const Fault& fault) {
    return static_cast<std::size_t>(std::max(fault.count, 0));
}

void applyOne(const Fault& fault, Reply& reply, std::mt19937& rng) {
    switch (fault.kind) {
    case FaultKind::NoAnswer:
        reply.bytes.clear();
        break;
    case FaultKind::FailAnswer:
        reply.bytes.assign(1, kFailure);
        reply.keepStore = false;
        break;
    case FaultKind::ShortReply:
        reply.bytes.resize(std::min(reply.bytes.size(), countOf(fault)));
        break;
    case FaultKind::Garbage: {
        std::uniform_int_distribution<int> byte(0, 255);
        reply.bytes.resize(countOf(fault));
        for (Byte& b : reply.bytes)
            b = static_cast<Byte>(byte(rng));
        break;
    }
    case FaultKind::Delay:
        reply.delay += std::max(fault.delay, std::chrono::milliseconds{0});
        break;
    case FaultKind::HangUp:
        reply.bytes.clear();
        reply.hangUp = true;
        break;
    case FaultKind::Trailing:
        reply.bytes.insert(reply.bytes.end(), countOf(fault), kStray);
        break;
    }
}

} // namespace

bool FaultPlan::refuses(int frameNumber) const {
    return std::any_of(faults_.begin(), faults_.end(), [frameNumber](const Fault& f) {
        return f.frameNumber == frameNumber && f.kind == FaultKind::FailAnswer;
    });
}

Reply FaultPlan::apply(int frameNumber, std::vector<Byte> answer, std::mt19937& rng) const {
    Reply reply{std::move(answer)};
    for (const Fault& fault : faults_) {
        if (fault.frameNumber == frameNumber)
            applyOne(fault, reply, rng);
    }
    return reply;
}

} // namespace quillmark::sim
