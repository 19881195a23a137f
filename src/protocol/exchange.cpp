#include "exchange.h"

#include <algorithm>
#include <stdexcept>

namespace quillmark::protocol {

int replyLength(std::uint8_t readState) {
    switch (readState) {
    case kReadPi:
    case kReadPty:
    case kReadConf:
        return 2;
    case kReadPs:
        return kPsLength;
    case kReadAf:
        return afBlock(0).length;
    case kReadRt:
        return kRadioTextLength;
    default:
        throw std::invalid_argument("not a single-block read");
    }
}

std::chrono::milliseconds interval(Watch watch) {
    switch (watch) {
    case Watch::Answer:
        return kAnswerTimeout;
    case Watch::ReplyByte:
        return kReplyByteTimeout;
    case Watch::Block:
        break;
    }
    return kBlockWatchdog;
}

void Exchange::begin(Operation operation) {
    abandon();
    operation_ = operation;
    chain_ = ChunkedWrite();
    refused_.clear();
    timedOut_ = false;
    got_ = 0;
}

void Exchange::reset() {
    operation_ = Operation::None;
    sendState_ = kSendIdle;
    readState_ = kReadIdle;
    timedOut_ = false;
    reply_ = {};
    got_ = 0;
}

void Exchange::stopWatches() {
    for (const Watch w : {Watch::Answer, Watch::ReplyByte, Watch::Block})
        host_.stopWatch(w);
}

// The host is told last, once the engine is consistent: it may start the next operation
// from inside the call (a message box runs the event loop).
void Exchange::finish(Outcome outcome) {
    stopWatches();
    reset();
    host_.finished(outcome);
}

void Exchange::abandon() {
    if (operation_ == Operation::None)
        return;
    Outcome outcome{.operation = operation_, .ending = Ending::Superseded, .readState = readState_};
    finish(std::move(outcome));
}

void Exchange::sendGuarded(const CommandFrame& frame) {
    try {
        host_.send(frame);
    } catch (...) {
        // No answer can come to a frame that did not go out.
        stopWatches();
        reset();
        throw;
    }
}

void Exchange::writeBlock(const CommandFrame& frame) {
    begin(Operation::BlockWrite);
    sendState_ = kSendSingle;
    host_.startWatch(Watch::Answer);
    sendGuarded(frame);
}

void Exchange::writeRadioText(std::span<const Byte, kRadioTextLength> text) {
    begin(Operation::RadioTextWrite);
    std::copy(text.begin(), text.end(), snapshot_.begin());
    chain_ = ChunkedWrite(ChunkedWrite::Kind::RadioText);
    sendNextChunk();
}

void Exchange::programMemory(std::span<const Byte, kDeviceMapSize> map) {
    begin(Operation::Programming);
    std::copy(map.begin(), map.end(), snapshot_.begin());
    chain_ = ChunkedWrite(ChunkedWrite::Kind::WholeMemory);
    sendNextChunk();
}

void Exchange::sendNextChunk() {
    if (chain_.nextIsLast())
        sendState_ = kSendSingle;
    else
        sendState_ = chain_.kind() == ChunkedWrite::Kind::RadioText ? kSendRadioText : kSendMemory;
    timedOut_ = false;
    const CommandFrame frame = chain_.takeNext(snapshot_);
    host_.startWatch(Watch::Answer);
    sendGuarded(frame);
}

void Exchange::readBlock(std::uint8_t readState, const CommandFrame& frame) {
    const auto length = static_cast<std::size_t>(replyLength(readState));
    begin(Operation::BlockRead);
    readState_ = readState;
    reply_ = std::span(block_).first(length);
    host_.startWatch(Watch::Answer);
    sendGuarded(frame);
}

void Exchange::readMemory() {
    begin(Operation::WholeRead);
    readState_ = kReadFirstHalf;
    reply_ = whole_.half(0);
    host_.startWatch(Watch::Answer);
    sendGuarded(WholeRead::frame(0));
}

void Exchange::received(std::span<const Byte> bytes) {
    if (!waiting() || bytes.empty())
        return;
    host_.stopWatch(Watch::Answer);
    // One answer byte per write frame; whatever follows it came before the next frame.
    if (sendState_ != kSendIdle) {
        takeAnswer(bytes.front());
        return;
    }
    for (const Byte b : bytes)
        if (takeReplyByte(b))
            return;
    host_.startWatch(Watch::ReplyByte);
}

void Exchange::takeAnswer(Byte answer) {
    const int chunk = chain_.sent() - 1;
    if (!chain_.noteAnswer(answer) && operation_ != Operation::BlockWrite)
        refused_.push_back(chunk);
    const bool failed = chain_.failed();
    if (sendState_ != kSendSingle) {
        host_.answered(answer, failed);
        sendNextChunk();
        return;
    }
    Outcome outcome{.operation = operation_, .ending = failed ? Ending::Refused : Ending::Success};
    outcome.step = std::max(chunk, 0);
    outcome.refusedChunks = refused_;
    stopWatches();
    reset();
    host_.answered(answer, failed);
    host_.finished(outcome);
}

bool Exchange::takeReplyByte(Byte b) {
    reply_[got_++] = b;
    if (got_ == 1 && reply_.size() == static_cast<std::size_t>(memoryHalf(0).length))
        host_.startWatch(Watch::Block);
    if (got_ < reply_.size())
        return false;
    replyComplete();
    return true;
}

void Exchange::replyComplete() {
    host_.stopWatch(Watch::ReplyByte);
    host_.stopWatch(Watch::Block);
    if (readState_ == kReadFirstHalf) {
        readState_ = kReadSecondHalf;
        reply_ = whole_.half(1);
        got_ = 0;
        host_.startWatch(Watch::Answer);
        sendGuarded(WholeRead::frame(1));
        return;
    }
    Outcome outcome{.operation = operation_, .ending = Ending::Success, .readState = readState_};
    if (operation_ == Operation::WholeRead) {
        outcome.step = 1;
        outcome.reply = whole_.staged();
    } else {
        outcome.reply = reply_;
    }
    finish(std::move(outcome));
}

void Exchange::expired(Watch watch) {
    const int half = readState_ == kReadSecondHalf ? 1 : 0;
    if (readState_ != kReadIdle) {
        const bool broken = got_ > 0;
        if (broken == (watch == Watch::Answer))
            return; // a watch that no longer applies
        Outcome outcome{.operation = operation_, .ending = broken ? Ending::BrokenReply : Ending::NoAnswer, .readState = readState_};
        outcome.step = half;
        outcome.reply = reply_.first(got_);
        outcome.expected = static_cast<int>(reply_.size());
        finish(std::move(outcome));
        return;
    }
    if (watch != Watch::Answer || sendState_ == kSendIdle || timedOut_)
        return;
    // The write stays outstanding: a late answer is still taken, and continues a chain.
    timedOut_ = true;
    Outcome outcome{.operation = operation_, .ending = Ending::NoAnswer};
    outcome.step = std::max(chain_.sent() - 1, 0);
    host_.finished(outcome);
}

void Exchange::hungUp() {
    if (operation_ == Operation::None)
        return;
    Outcome outcome{.operation = operation_, .ending = Ending::HungUp, .readState = readState_};
    outcome.step = readState_ == kReadSecondHalf ? 1 : std::max(chain_.sent() - 1, 0);
    if (timedOut_) {
        // Already reported as unanswered.
        stopWatches();
        reset();
        return;
    }
    finish(std::move(outcome));
}

} // namespace quillmark::protocol
