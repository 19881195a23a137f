#include "session.h"

#include <cstdio>

namespace quillmark::protocol {

namespace {

[[nodiscard]] std::string seconds(std::chrono::milliseconds t) {
    return std::to_string(t.count() / 1000) + " s";
}

[[nodiscard]] std::size_t slot(Watch watch) {
    return static_cast<std::size_t>(watch);
}

[[nodiscard]] ChunkedWrite chainOf(const Outcome& o) {
    return ChunkedWrite(o.operation == Operation::RadioTextWrite ? ChunkedWrite::Kind::RadioText
                                                                 : ChunkedWrite::Kind::WholeMemory);
}

[[nodiscard]] std::string whereItWaited(const Outcome& o) {
    if (o.operation == Operation::WholeRead)
        return "read at address " + hexAddress(memoryHalf(o.step).address);
    return "chunk at address " + hexAddress(chainOf(o).chunkAddress(o.step));
}

} // namespace

std::string hexAddress(int address) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", address & 0xFF);
    return text;
}

std::string describeFailure(const Outcome& o) {
    const std::string where = " (" + whereItWaited(o) + ")";
    switch (o.ending) {
    case Ending::Success:
        return {};
    case Ending::Refused: {
        const ChunkedWrite chain = chainOf(o);
        std::string addresses;
        for (const int chunk : o.refusedChunks)
            addresses += (addresses.empty() ? "" : ", ") + hexAddress(chain.chunkAddress(chunk));
        return "the encoder refused " + std::to_string(o.refusedChunks.size()) + " of " +
               std::to_string(chain.chunkCount()) + " chunks (addresses " + addresses + ")";
    }
    case Ending::NoAnswer:
        return "no answer from the encoder within " + seconds(kAnswerTimeout) + where;
    case Ending::BrokenReply:
        return "the encoder's reply broke off after " + std::to_string(o.reply.size()) + " of " +
               std::to_string(o.expected) + " bytes" + where;
    case Ending::Superseded:
        return "the operation was abandoned" + where;
    case Ending::HungUp:
        return "the line went down" + where;
    }
    return {};
}

Session::Session(Line& line, std::function<void(int)> progress)
    : line_(line), progress_(std::move(progress)) {}

void Session::moved(int bytes) {
    if (progress_)
        progress_(bytes);
}

void Session::send(const CommandFrame& frame) {
    line_.discardInput();
    line_.write(frame.bytes());
    moved(static_cast<int>(frame.size()));
}

void Session::startWatch(Watch watch) {
    deadlines_[slot(watch)] = Clock::now() + interval(watch);
}

void Session::stopWatch(Watch watch) {
    deadlines_[slot(watch)].reset();
}

void Session::finished(const Outcome& outcome) {
    outcome_ = outcome;
    if (outcome.ending == Ending::Success && outcome.operation == Operation::WholeRead)
        std::copy(outcome.reply.begin(), outcome.reply.end(), image_.begin());
}

std::optional<Watch> Session::nextWatch() const {
    std::optional<Watch> next;
    for (const Watch w : {Watch::Answer, Watch::ReplyByte, Watch::Block}) {
        const auto& d = deadlines_[slot(w)];
        if (d && (!next || *d < *deadlines_[slot(*next)]))
            next = w;
    }
    return next;
}

void Session::runToEnd() {
    while (!outcome_) {
        const auto watch = nextWatch();
        if (!watch)
            throw std::logic_error("the exchange waits without a watch");
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(
            *deadlines_[slot(*watch)] - Clock::now());
        const auto b = line_.readByte(std::max(left, std::chrono::milliseconds(0)));
        if (b) {
            moved(1);
            exchange_.received(std::span(&*b, 1));
        } else {
            deadlines_[slot(*watch)].reset();
            exchange_.expired(*watch);
        }
    }
    if (outcome_->ending != Ending::Success)
        throw CommunicationError(describeFailure(*outcome_));
}

std::array<Byte, kDeviceMapSize> Session::readWholeDevice() {
    outcome_.reset();
    exchange_.readMemory();
    runToEnd();
    return image_;
}

void Session::programWholeDevice(std::span<const Byte, kDeviceMapSize> map) {
    outcome_.reset();
    exchange_.programMemory(map);
    runToEnd();
}

} // namespace quillmark::protocol
