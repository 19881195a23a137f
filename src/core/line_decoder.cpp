#include "line_decoder.h"

#include "command_frames.h"

namespace quillmark {

namespace {

// Length of the frame a first byte starts (0: it starts none).
[[nodiscard]] int frameLength(Byte first) {
    if (first == kReadCommand)
        return 3;
    if (first == kEraseCommand)
        return 2;
    const int n = writeDataLength(first);
    return n == 0 ? 0 : n + 3;
}

[[nodiscard]] bool isWriteCode(Byte code) {
    return writeDataLength(code) != 0;
}

} // namespace

bool LineItem::faulty() const {
    switch (kind) {
    case LineItemKind::WriteFrame:
    case LineItemKind::ReadFrame:
    case LineItemKind::EraseFrame:
    case LineItemKind::AnswerOk:
    case LineItemKind::ReadReply:
        return false;
    default:
        return true;
    }
}

void LineDecoder::feed(LineDirection direction, LineClock::time_point when,
                       std::span<const Byte> bytes, std::vector<LineItem>& out) {
    advanceTo(when, out);
    for (const Byte b : bytes) {
        if (direction == LineDirection::ToEncoder)
            takeOutgoing(b, when, out);
        else
            takeIncoming(b, when, out);
    }
}

void LineDecoder::takeOutgoing(Byte b, LineClock::time_point when, std::vector<LineItem>& out) {
    closeLate(out);
    if (frame_.bytes.empty()) {
        startFrame(b, when, out);
        return;
    }
    if (frame_.code == kEraseCommand && b != kEraseCommand) {
        // A lone FE starts no frame; the byte after it may.
        const LineClock::time_point started = frame_.time;
        frame_.bytes.clear();
        addToRun(unknown_, LineItemKind::UnknownBytes, LineDirection::ToEncoder, kEraseCommand,
                 started, out);
        startFrame(b, when, out);
        return;
    }
    frame_.bytes.push_back(b);
    frameLast_ = when;
    if (static_cast<int>(frame_.bytes.size()) == frame_.expected)
        finishFrame(out);
}

void LineDecoder::startFrame(Byte b, LineClock::time_point when, std::vector<LineItem>& out) {
    const int length = frameLength(b);
    if (length == 0) {
        addToRun(unknown_, LineItemKind::UnknownBytes, LineDirection::ToEncoder, b, when, out);
        return;
    }
    closeUnknown(out);
    // The tool starts a request only once it stopped waiting for the previous answer.
    closeAnswerWait(when, out);
    frame_ = LineItem{};
    frame_.time = when;
    frame_.direction = LineDirection::ToEncoder;
    frame_.code = b;
    frame_.expected = length;
    frame_.bytes.push_back(b);
    frameLast_ = when;
}

void LineDecoder::finishFrame(std::vector<LineItem>& out) {
    LineItem& f = frame_;
    const std::size_t n = f.bytes.size();
    reply_ = LineItem{};
    reply_.direction = LineDirection::FromEncoder;
    reply_.code = f.code;
    reply_.expected = 1;
    if (isWriteCode(f.code)) {
        f.address = f.bytes[n - 2];
        const bool good = xorChecksum(std::span(f.bytes).first(n - 1)) == f.bytes[n - 1];
        f.kind = good ? LineItemKind::WriteFrame : LineItemKind::BadChecksum;
        await_ = Await::Answer;
    } else if (f.code == kReadCommand) {
        f.kind = LineItemKind::ReadFrame;
        f.address = f.bytes[1];
        f.expected = f.bytes[2];
        reply_.expected = f.expected;
        await_ = f.expected == 0 ? Await::Nothing : Await::Reply;
    } else {
        f.kind = LineItemKind::EraseFrame;
        await_ = Await::Answer;
    }
    reply_.address = f.address;
    requestEnd_ = frameLast_;
    noAnswerReported_ = false;
    out.push_back(std::move(f));
    frame_ = LineItem{};
}

void LineDecoder::takeIncoming(Byte b, LineClock::time_point when, std::vector<LineItem>& out) {
    closeUnknown(out);
    if (await_ == Await::Nothing) {
        addToRun(late_, LineItemKind::LateBytes, LineDirection::FromEncoder, b, when, out);
        lateLast_ = when;
        return;
    }
    if (reply_.bytes.empty()) {
        reply_.time = when;
        reply_.answerDelay = when - requestEnd_;
    }
    reply_.bytes.push_back(b);
    replyLast_ = when;
    if (await_ == Await::Answer) {
        reply_.kind = b == kAnswerOk ? LineItemKind::AnswerOk : LineItemKind::AnswerFailure;
    } else if (static_cast<int>(reply_.bytes.size()) == reply_.expected) {
        reply_.kind = LineItemKind::ReadReply;
    } else {
        return;
    }
    out.push_back(std::move(reply_));
    reply_ = LineItem{};
    await_ = Await::Nothing;
}

void LineDecoder::closeAnswerWait(LineClock::time_point when, std::vector<LineItem>& out) {
    if (await_ == Await::Reply && !reply_.bytes.empty()) {
        closeReply(out);
        return;
    }
    if (await_ != Await::Nothing && !noAnswerReported_) {
        reply_.time = when;
        reply_.kind = LineItemKind::NoAnswer;
        out.push_back(std::move(reply_));
    }
    reply_ = LineItem{};
    await_ = Await::Nothing;
}

void LineDecoder::closeReply(std::vector<LineItem>& out) {
    reply_.kind = LineItemKind::ShortReply;
    out.push_back(std::move(reply_));
    reply_ = LineItem{};
    await_ = Await::Nothing;
}

void LineDecoder::advanceTo(LineClock::time_point now, std::vector<LineItem>& out) {
    if (!frame_.bytes.empty() && now - frameLast_ > limits_.byteGap) {
        frame_.kind = LineItemKind::IncompleteFrame;
        out.push_back(std::move(frame_));
        frame_ = LineItem{};
    }
    if (await_ == Await::Reply && !reply_.bytes.empty() && now - replyLast_ > limits_.byteGap)
        closeReply(out);
    if (await_ != Await::Nothing && reply_.bytes.empty() && !noAnswerReported_ &&
        now - requestEnd_ > limits_.answerTime) {
        LineItem none = reply_;
        none.time = requestEnd_ + limits_.answerTime;
        none.kind = LineItemKind::NoAnswer;
        out.push_back(std::move(none));
        noAnswerReported_ = true;
        // A read gives up here; a late answer to a write is still taken as its answer.
        if (await_ == Await::Reply)
            await_ = Await::Nothing;
    }
    if (!late_.bytes.empty() && now - lateLast_ > limits_.byteGap)
        closeLate(out);
    if (!unknown_.bytes.empty() && now - unknownLast_ > limits_.byteGap)
        closeUnknown(out);
}

void LineDecoder::finish(std::vector<LineItem>& out) {
    if (!frame_.bytes.empty()) {
        frame_.kind = LineItemKind::IncompleteFrame;
        out.push_back(std::move(frame_));
        frame_ = LineItem{};
    }
    if (await_ == Await::Reply && !reply_.bytes.empty())
        closeReply(out);
    closeUnknown(out);
    closeLate(out);
    reply_ = LineItem{};
    await_ = Await::Nothing;
    noAnswerReported_ = false;
}

bool LineDecoder::pending() const {
    const bool answerTimed = await_ != Await::Nothing && !noAnswerReported_;
    return !frame_.bytes.empty() || !reply_.bytes.empty() || answerTimed || !late_.bytes.empty() ||
           !unknown_.bytes.empty();
}

void LineDecoder::closeUnknown(std::vector<LineItem>& out) {
    if (unknown_.bytes.empty())
        return;
    out.push_back(std::move(unknown_));
    unknown_ = LineItem{};
}

void LineDecoder::closeLate(std::vector<LineItem>& out) {
    if (late_.bytes.empty())
        return;
    out.push_back(std::move(late_));
    late_ = LineItem{};
}

void LineDecoder::addToRun(LineItem& run, LineItemKind kind, LineDirection direction, Byte b,
                           LineClock::time_point when, std::vector<LineItem>& out) {
    if (run.bytes.size() == kMaxRunLength) {
        out.push_back(std::move(run));
        run = LineItem{};
    }
    if (run.bytes.empty()) {
        run = LineItem{};
        run.time = when;
        run.direction = direction;
        run.kind = kind;
    }
    run.bytes.push_back(b);
    if (&run == &unknown_)
        unknownLast_ = when;
}

} // namespace quillmark
