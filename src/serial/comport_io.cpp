// Reads and writes. A read takes what is queued at once and waits with poll() for the rest
// within the port's time-outs. A write is complete once the kernel has taken every byte: it
// returns at once while the kernel's output queue has room, and never leaves bytes behind
// in the port that only a later call would send.

#include "serial/comport_p.h"

#include "serial/serial_platform.h"

#include <algorithm>
#include <cerrno>

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
    Write(&value, 1, false);
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
        moved = static_cast<int>(d_->read_.outstanding ? d_->read_.done : d_->read_.length);
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
    if (length > 0)
        sendAll(buffer, length);
    const int moved = std::max(length, 0);
    if (AfterWrite)
        AfterWrite(this, buffer, length, waitOnCompletion);
    return moved;
}

Deadline TCustomComPort::readDeadline(int n) const {
    return deadlineAfter(d_->timeouts_->ReadMultiplier(), d_->timeouts_->ReadConstant(), n);
}

Deadline TCustomComPort::writeDeadline(int n) const {
    return deadlineAfter(d_->timeouts_->WriteMultiplier(), d_->timeouts_->WriteConstant(), n);
}

void TCustomComPort::startRead(void* buffer, int length) {
    d_->read_ = Private::Transfer{static_cast<std::uint8_t*>(buffer),
                                  static_cast<std::size_t>(length), 0, readDeadline(length), true};
    const auto got = d_->platform_->readSome(d_->read_.buffer, d_->read_.length);
    if (got.code != 0) {
        d_->read_ = Private::Transfer{};
        CheckResult(quillmark::serial::OsResult{got.code});
    }
    d_->bytesRead_ += got.count;
    if (tapping())
        tapBytes(quillmark::LineDirection::FromEncoder, d_->read_.buffer, got.count);
    d_->read_.done = got.count;
    d_->read_.outstanding = d_->read_.done < d_->read_.length;
    if (!d_->read_.outstanding)
        d_->read_.length = d_->read_.done;
}

void TCustomComPort::sendAll(const void* buffer, int length) {
    const auto* bytes = static_cast<const std::uint8_t*>(buffer);
    const auto n = static_cast<std::size_t>(length);
    const Deadline deadline = writeDeadline(length);
    std::size_t sent = 0;
    for (;;) {
        const auto result = d_->platform_->writeSome(bytes + sent, n - sent);
        if (result.code != 0)
            CheckResult(quillmark::serial::OsResult{result.code});
        if (tapping())
            tapBytes(quillmark::LineDirection::ToEncoder, bytes + sent, result.count);
        sent += result.count;
        if (sent == n)
            return;
        // The kernel's queue is full: wait for room within the write time-out.
        int code = 0;
        const WaitOutcome outcome = d_->platform_->waitWritable(deadline, code);
        if (outcome == WaitOutcome::TimedOut)
            RaiseTimeout();
        if (outcome != WaitOutcome::Ready)
            CheckResult(quillmark::serial::OsResult{code});
    }
}

void TCustomComPort::WaitRead() {
    if (d_->read_.outstanding)
        pumpRead();
    CheckLineErrors();
}

void TCustomComPort::WaitWrite() {
    // Nothing of an earlier write is left to complete here: the kernel holds it all.
    CheckLineErrors();
}

void TCustomComPort::pumpRead() {
    const auto interval = d_->timeouts_->ReadInterval();
    auto lastByte = Clock::now();
    while (d_->read_.done < d_->read_.length) {
        Deadline deadline = d_->read_.deadline;
        if (interval.count() != 0 && d_->read_.done > 0)
            deadline = earlier(deadline, lastByte + interval);
        int code = 0;
        const WaitOutcome outcome = d_->platform_->waitReadable(deadline, code);
        if (outcome == WaitOutcome::TimedOut)
            break;
        const auto got = outcome == WaitOutcome::Ready
                             ? d_->platform_->readSome(d_->read_.buffer + d_->read_.done,
                                                       d_->read_.length - d_->read_.done)
                             : quillmark::serial::IoResult{0, code};
        if (got.code != 0) {
            d_->read_ = Private::Transfer{};
            CheckResult(quillmark::serial::OsResult{got.code});
        }
        if (got.count > 0)
            lastByte = Clock::now();
        if (tapping())
            tapBytes(quillmark::LineDirection::FromEncoder, d_->read_.buffer + d_->read_.done,
                     got.count);
        d_->bytesRead_ += got.count;
        d_->read_.done += got.count;
    }
    const bool complete = d_->read_.done == d_->read_.length;
    d_->read_.outstanding = false;
    if (!complete)
        RaiseTimeout();
}

namespace {

// The driver does not know the request at all (ENOIOCTLCMD leaks from some drivers).
[[nodiscard]] bool requestUnsupported(int code) {
    constexpr int kNoIoctlCommand = 515;
    return code == ENOTTY || code == EINVAL || code == kNoIoctlCommand;
}

} // namespace

bool TCustomComPort::readLineCounters(quillmark::serial::LineCounters& counters) {
    if (d_->lineCountersUnsupported_)
        return false;
    const auto result = d_->platform_->lineCounters(counters);
    d_->lineCountersUnsupported_ = requestUnsupported(result.code);
    return result.ok();
}

void TCustomComPort::snapshotLineCounters() {
    quillmark::serial::LineCounters c;
    if (readLineCounters(c)) {
        d_->lineCounters_ = c;
        d_->eventCounters_ = c;
    }
}

void TCustomComPort::CheckLineErrors() {
    CheckOpen();
    quillmark::serial::LineCounters c;
    // Ttys without counters (pseudo-terminals) report no line errors.
    if (!readLineCounters(c))
        return;
    const auto& was = d_->lineCounters_;
    const auto error = [](std::uint32_t a, std::uint32_t b, TLineError e) {
        return static_cast<TLineErrors>(a != b ? 1U << e : 0U);
    };
    const TLineErrors errors = error(was.brk, c.brk, leBreak) | error(was.frame, c.frame, leFrame) |
                               error(was.overrun, c.overrun, leOverrun) |
                               error(was.parity, c.parity, leParity) |
                               error(was.bufferOverrun, c.bufferOverrun, leRxOverflow);
    // Cleared even without a handler, so that one assigned later sees only new errors.
    d_->lineCounters_ = c;
    if (errors != 0 && d_->onLineError_)
        d_->onLineError_(this, errors);
}
