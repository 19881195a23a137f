// Reads and writes: a transfer is started at once and completed with poll() within the
// port's time-outs, so a read of queued bytes returns at once and a write need not wait.

#include "serial/comport.h"

#include "serial/serial_platform.h"

#include <algorithm>

using quillmark::serial::Deadline;
using quillmark::serial::WaitOutcome;
using Clock = std::chrono::steady_clock;

namespace {

[[nodiscard]] Deadline deadlineAfter(std::chrono::milliseconds multiplier,
                                     std::chrono::milliseconds constant, int n) {
    if (multiplier.count() == 0 && constant.count() == 0)
        return std::nullopt;
    return Clock::now() + multiplier * n + constant;
}

[[nodiscard]] Deadline earlier(Deadline a, Deadline b) {
    if (!a)
        return b;
    if (!b)
        return a;
    return std::min(*a, *b);
}

} // namespace

std::uint8_t TCustomComPort::ReadByte() {
    std::uint8_t value = 0;
    Read(&value, 1, true);
    return value;
}

void TCustomComPort::WriteByte(std::uint8_t value) {
    // The byte is copied out before the call returns, so the caller's value may go at once.
    writeByte_ = value;
    Write(&writeByte_, 1, false);
}

int TCustomComPort::Read(void* buffer, int length, bool waitOnCompletion) {
    CheckOpen();
    if (BeforeRead)
        BeforeRead(this, buffer, length, waitOnCompletion);
    WaitRead();
    int moved = 0;
    if (length > 0) {
        startRead(buffer, length);
        if (waitOnCompletion)
            WaitRead();
        moved = static_cast<int>(read_.outstanding ? read_.done : read_.length);
    }
    if (AfterRead)
        AfterRead(this, buffer, length, waitOnCompletion);
    return moved;
}

int TCustomComPort::Write(const void* buffer, int length, bool waitOnCompletion) {
    CheckOpen();
    if (BeforeWrite)
        BeforeWrite(this, buffer, length, waitOnCompletion);
    WaitWrite();
    int moved = 0;
    if (length > 0) {
        startWrite(buffer, length);
        if (waitOnCompletion)
            WaitWrite();
        moved = length - static_cast<int>(writeBacklog_.size());
    }
    if (AfterWrite)
        AfterWrite(this, buffer, length, waitOnCompletion);
    return moved;
}

Deadline TCustomComPort::readDeadline(int n) const {
    return deadlineAfter(timeouts_->ReadMultiplier(), timeouts_->ReadConstant(), n);
}

Deadline TCustomComPort::writeDeadline(int n) const {
    return deadlineAfter(timeouts_->WriteMultiplier(), timeouts_->WriteConstant(), n);
}

void TCustomComPort::startRead(void* buffer, int length) {
    read_ = Transfer{static_cast<std::uint8_t*>(buffer), static_cast<std::size_t>(length), 0,
                     readDeadline(length), true};
    const auto got = platform_->readSome(read_.buffer, read_.length);
    if (got.code != 0) {
        read_ = Transfer{};
        CheckResult(quillmark::serial::OsResult{got.code});
    }
    bytesRead_ += got.count;
    read_.done = got.count;
    read_.outstanding = read_.done < read_.length;
    if (!read_.outstanding)
        read_.length = read_.done;
}

void TCustomComPort::startWrite(const void* buffer, int length) {
    const auto* bytes = static_cast<const std::uint8_t*>(buffer);
    const auto n = static_cast<std::size_t>(length);
    const auto sent = platform_->writeSome(bytes, n);
    if (sent.code != 0)
        CheckResult(quillmark::serial::OsResult{sent.code});
    if (sent.count == n)
        return;
    // The rest stays in storage of our own until it is sent: the caller's buffer may go.
    writeBacklog_.assign(bytes + sent.count, bytes + n);
    write_ = Transfer{nullptr, n, sent.count, writeDeadline(length), true};
}

void TCustomComPort::WaitRead() {
    if (read_.outstanding)
        pumpRead();
    CheckLineErrors();
}

void TCustomComPort::WaitWrite() {
    if (write_.outstanding)
        pumpWrite();
    CheckLineErrors();
}

void TCustomComPort::pumpRead() {
    const auto interval = timeouts_->ReadInterval();
    auto lastByte = Clock::now();
    while (read_.done < read_.length) {
        Deadline deadline = read_.deadline;
        if (interval.count() != 0 && read_.done > 0)
            deadline = earlier(deadline, lastByte + interval);
        int code = 0;
        const WaitOutcome outcome = platform_->waitReadable(deadline, code);
        if (outcome == WaitOutcome::TimedOut)
            break;
        const auto got =
            outcome == WaitOutcome::Ready
                ? platform_->readSome(read_.buffer + read_.done, read_.length - read_.done)
                : quillmark::serial::IoResult{0, code};
        if (got.code != 0) {
            read_ = Transfer{};
            CheckResult(quillmark::serial::OsResult{got.code});
        }
        if (got.count > 0)
            lastByte = Clock::now();
        bytesRead_ += got.count;
        read_.done += got.count;
    }
    const bool complete = read_.done == read_.length;
    read_.outstanding = false;
    if (!complete)
        RaiseError(0, "Timeout");
}

void TCustomComPort::pumpWrite() {
    std::size_t sentOfBacklog = 0;
    while (sentOfBacklog < writeBacklog_.size()) {
        int code = 0;
        const WaitOutcome outcome = platform_->waitWritable(write_.deadline, code);
        if (outcome == WaitOutcome::TimedOut)
            break;
        const auto sent = outcome == WaitOutcome::Ready
                              ? platform_->writeSome(writeBacklog_.data() + sentOfBacklog,
                                                     writeBacklog_.size() - sentOfBacklog)
                              : quillmark::serial::IoResult{0, code};
        if (sent.code != 0) {
            writeBacklog_.clear();
            write_ = Transfer{};
            CheckResult(quillmark::serial::OsResult{sent.code});
        }
        sentOfBacklog += sent.count;
    }
    const bool complete = sentOfBacklog == writeBacklog_.size();
    writeBacklog_.clear();
    write_ = Transfer{};
    if (!complete)
        RaiseError(0, "Timeout");
}

void TCustomComPort::snapshotLineCounters() {
    quillmark::serial::LineCounters c;
    if (platform_->lineCounters(c).ok())
        lineCounters_ = {c.brk, c.frame, c.overrun, c.parity, c.bufferOverrun};
}

void TCustomComPort::CheckLineErrors() {
    CheckOpen();
    if (!onLineError_)
        return;
    quillmark::serial::LineCounters c;
    // Ttys without counters (pseudo-terminals) report no line errors.
    if (!platform_->lineCounters(c).ok())
        return;
    const std::array<std::uint32_t, 5> now{c.brk, c.frame, c.overrun, c.parity, c.bufferOverrun};
    static constexpr std::array<TLineError, 5> kinds{leBreak, leFrame, leOverrun, leParity,
                                                     leRxOverflow};
    TLineErrors errors = 0;
    for (std::size_t i = 0; i < now.size(); ++i)
        if (now.at(i) != lineCounters_.at(i))
            errors |= static_cast<TLineErrors>(1U << kinds.at(i));
    lineCounters_ = now;
    if (errors != 0)
        onLineError_(this, errors);
}
