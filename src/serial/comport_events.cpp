// Line events: the handler slots, the event mask, the event thread's start and stop, and
// the dispatch of a notification on the port's thread.

#include "serial/comport_p.h"

#include "serial/comthread.h"

#include <QtGlobal>

#include <cerrno>
#include <system_error>

using quillmark::serial::ThreadLevel;

namespace {

// The event bits of the line events (the values of the Windows event mask).
constexpr std::uint32_t evRxChar = 0x0001;
constexpr std::uint32_t evRxFlag = 0x0002;
constexpr std::uint32_t evTxEmpty = 0x0004;
constexpr std::uint32_t evCTS = 0x0008;
constexpr std::uint32_t evDSR = 0x0010;
constexpr std::uint32_t evRLSD = 0x0020;
constexpr std::uint32_t evBreak = 0x0040;
constexpr std::uint32_t evErr = 0x0080;
constexpr std::uint32_t evRing = 0x0100;
constexpr std::uint32_t evPrinterError = 0x0200;
constexpr std::uint32_t evRx80Full = 0x0400;
constexpr std::uint32_t evEvent1 = 0x0800;
constexpr std::uint32_t evEvent2 = 0x1000;

} // namespace

std::uint32_t TCustomComPort::bitOf(std::size_t slot) {
    using Port = TCustomComPort;
    switch (slot) {
    case Port::nsBreak:
        return evBreak;
    case Port::nsCTSChange:
        return evCTS;
    case Port::nsDSRChange:
        return evDSR;
    case Port::nsEvent1:
        return evEvent1;
    case Port::nsEvent2:
        return evEvent2;
    case Port::nsPrinterError:
        return evPrinterError;
    case Port::nsRing:
        return evRing;
    case Port::nsRLSDChange:
        return evRLSD;
    case Port::nsRx80PercFull:
        return evRx80Full;
    case Port::nsRxChar:
        return evRxChar;
    case Port::nsRxFlag:
        return evRxFlag;
    case Port::nsTxEmpty:
        return evTxEmpty;
    default:
        return 0;
    }
}

namespace {

// The events a change of the device's counters stands for.
[[nodiscard]] std::uint32_t eventsBetween(const quillmark::serial::LineCounters& was,
                                          const quillmark::serial::LineCounters& now) {
    const auto changed = [](std::uint32_t a, std::uint32_t b, std::uint32_t bit) {
        return a != b ? bit : 0U;
    };
    const bool error = was.frame != now.frame || was.overrun != now.overrun ||
                       was.parity != now.parity || was.bufferOverrun != now.bufferOverrun;
    return changed(was.brk, now.brk, evBreak) | (error ? evErr : 0U) |
           changed(was.cts, now.cts, evCTS) | changed(was.dsr, now.dsr, evDSR) |
           changed(was.ring, now.ring, evRing) | changed(was.rlsd, now.rlsd, evRLSD);
}

TCustomComPort::HandlerErrorReport& handlerErrorReport() {
    static TCustomComPort::HandlerErrorReport report;
    return report;
}

void reportHandlerError(const std::exception& e) {
    if (handlerErrorReport())
        handlerErrorReport()(e);
    else
        qWarning("Serial event handler failed: %s", e.what());
}

// Errors that mean the device went away under the open descriptor.
[[nodiscard]] bool deviceVanished(int code) {
    return code == EIO || code == ENXIO || code == ENODEV;
}

} // namespace

void TCustomComPort::SetHandlerErrorReport(HandlerErrorReport report) {
    handlerErrorReport() = std::move(report);
}

#define QUILLMARK_NOTIFY_SLOT(Name)                                                                \
    const TNotifyEvent& TCustomComPort::On##Name() const {                                         \
        return d_->notify_[ns##Name];                                                              \
    }                                                                                              \
    void TCustomComPort::SetOn##Name(TNotifyEvent h) {                                             \
        setNotify(ns##Name, std::move(h));                                                         \
    }

QUILLMARK_NOTIFY_SLOT(RxChar)
QUILLMARK_NOTIFY_SLOT(Break)
QUILLMARK_NOTIFY_SLOT(CTSChange)
QUILLMARK_NOTIFY_SLOT(DSRChange)
QUILLMARK_NOTIFY_SLOT(Event1)
QUILLMARK_NOTIFY_SLOT(Event2)
QUILLMARK_NOTIFY_SLOT(PrinterError)
QUILLMARK_NOTIFY_SLOT(Ring)
QUILLMARK_NOTIFY_SLOT(RLSDChange)
QUILLMARK_NOTIFY_SLOT(Rx80PercFull)
QUILLMARK_NOTIFY_SLOT(RxFlag)
QUILLMARK_NOTIFY_SLOT(TxEmpty)
#undef QUILLMARK_NOTIFY_SLOT

const TLineErrorEvent& TCustomComPort::OnLineError() const {
    return d_->onLineError_;
}

void TCustomComPort::SetOnLineError(TLineErrorEvent h) {
    if (h == d_->onLineError_)
        return;
    d_->onLineError_ = std::move(h);
    UpdateEventMask();
}

void TCustomComPort::setNotify(NotifySlot slot, TNotifyEvent h) {
    if (h == d_->notify_.at(slot))
        return;
    d_->notify_.at(slot) = std::move(h);
    UpdateEventMask();
}

std::uint32_t TCustomComPort::EventMask() const {
    std::uint32_t mask = d_->onLineError_ ? evErr : 0;
    for (std::size_t i = 0; i < d_->notify_.size(); ++i)
        if (d_->notify_.at(i))
            mask |= bitOf(i);
    return mask;
}

TThreadPriority TCustomComPort::ThreadPriority() const {
    return d_->threadPriority_;
}

void TCustomComPort::SetThreadPriority(TThreadPriority v) {
    if (v == d_->threadPriority_)
        return;
    d_->threadPriority_ = v;
    if (d_->thread_) {
        // The thread sets its own priority when poked: it may have ended meanwhile.
        d_->thread_->level = static_cast<int>(v);
        d_->thread_->waiter.poke();
    }
}

void TCustomComPort::UpdateEventMask() {
    if (!Active())
        return;
    const std::uint32_t mask = EventMask();
    if (mask == 0)
        StopThread();
    else if (d_->thread_)
        restartLineWatch();
    else
        StartThread();
}

quillmark::serial::LineWatch TCustomComPort::lineWatchWanted() const {
    quillmark::serial::LineWatch want;
    for (const NotifySlot slot : {nsCTSChange, nsDSRChange, nsRing, nsRLSDChange})
        want.modemLines = want.modemLines || static_cast<bool>(d_->notify_.at(slot));
    want.outputDrained = static_cast<bool>(d_->notify_.at(nsTxEmpty));
    return want;
}

// A device that cannot report an event (a pseudo-terminal has no modem lines) raises none.
void TCustomComPort::restartLineWatch() {
    auto want = lineWatchWanted();
    want.modemLines = want.modemLines && !d_->lineCountersUnsupported_;
    if (want == d_->watching_)
        return;
    d_->platform_->stopLineWatch();
    d_->watching_ = want;
    if (want.modemLines || want.outputDrained)
        (void)d_->platform_->startLineWatch(want, d_->thread_->waiter.lineDescriptor());
}

void TCustomComPort::StartThread() {
    if (d_->thread_)
        return;
    auto shared = std::make_shared<ThreadShared>();
    shared->port = this;
    shared->synchronize = d_->synchronizeEvents_;
    shared->level = static_cast<int>(d_->threadPriority_);
    CheckResult(shared->waiter.create(d_->platform_->descriptor()));
    CheckResult(shared->handOver.create());
    d_->relay_ = std::make_unique<quillmark::serial::HandOverRelay>(shared->handOver);
    // Known to the port before the thread runs: its first delivery may come at once.
    d_->thread_ = shared;
    restartLineWatch();
    try {
        TComThread::Start(shared);
    } catch (const std::system_error& e) {
        d_->platform_->stopLineWatch();
        d_->watching_ = {};
        d_->thread_.reset();
        retireRelay(false);
        const int code = e.code().value();
        RaiseError(code, "Thread creation error: " + quillmark::serial::systemErrorText(code));
    }
}

void TCustomComPort::StopThread() {
    if (!d_->thread_)
        return;
    d_->thread_->terminate = true;
    // Nothing may write to the waiter's descriptors once the thread's state can go.
    d_->platform_->stopLineWatch();
    d_->watching_ = {};
    retireRelay(d_->thread_->handOver.stop());
    d_->thread_->waiter.forgetDevice(d_->platform_->descriptor());
    d_->thread_->waiter.poke();
    // Handlers running on the event thread finish before the port may go. A synchronised
    // thread is never waited for: it may be blocked handing a delivery to this very thread.
    if (!d_->thread_->synchronize && !d_->thread_->closeHandedOver &&
        TComThread::Current() != d_->thread_.get())
        const std::lock_guard finished(d_->thread_->dispatching);
    d_->thread_.reset();
}

void TCustomComPort::retireRelay(bool insideCall) {
    d_->relay_->detach();
    if (insideCall)
        d_->relay_.release()->deleteLater(); // its notifier is still delivering this call
    else
        d_->relay_.reset();
}

bool TCustomComPort::closeOnEventThread() {
    ThreadShared* current = TComThread::Current();
    if (current == nullptr || current->port != this)
        return false;
    TComThread::HandOverClose(*current);
    return true;
}

void TCustomComPort::DispatchEvents(std::uint32_t events) {
    try {
        for (std::size_t i = 0; i < d_->notify_.size(); ++i) {
            if (i == nsEvent1 && (events & evErr) != 0)
                CheckLineErrors();
            if ((events & bitOf(i)) != 0 && d_->notify_.at(i))
                d_->notify_.at(i)(this);
        }
    } catch (const EAbort&) {
        // Chosen by OnError: nothing is reported.
    } catch (const std::exception& e) {
        reportHandlerError(e);
    }
}

void TCustomComPort::deliverEvents(ThreadShared& shared, int wakes) {
    // Arrivals during the handlers count even when a handler has already read them.
    const int queuedBefore = inputQueueOrZero();
    const std::uint64_t takenBefore = bytesTakenFromInput();
    std::uint32_t events = lineEventsSinceLastDelivery();
    if ((wakes & quillmark::serial::wakeData) != 0)
        events |= evRxChar;
    if ((wakes & quillmark::serial::wakeLine) != 0 && d_->platform_->takeOutputDrained())
        events |= evTxEmpty;
    DispatchEvents(events & EventMask());
    if (shared.terminate.load())
        return; // closed or re-opened meanwhile
    const auto edges = shared.waiter.drainDeviceEdges();
    if (edges.hungUp)
        shared.vanished = true;
    // Characters that came before a delivery for other events were not reported yet.
    if (edges.data && (wakes & quillmark::serial::wakeData) == 0)
        shared.pendingArrival = true;
    const auto arrived = static_cast<std::int64_t>(bytesTakenFromInput() - takenBefore) +
                         inputQueueOrZero() - queuedBefore;
    if (arrived > 0)
        shared.pendingArrival = true;
}

// Break, line errors and modem-line changes, from the device's counters (none on a pty).
std::uint32_t TCustomComPort::lineEventsSinceLastDelivery() {
    quillmark::serial::LineCounters c;
    if (!Active() || !readLineCounters(c))
        return 0;
    const std::uint32_t events = eventsBetween(d_->eventCounters_, c);
    d_->eventCounters_ = c;
    return events;
}

void TCustomComPort::handleWaitError(ThreadShared& shared, int code) {
    d_->lastWaitError_ = code;
    try {
        RaiseWaitError();
    } catch (const std::exception&) {
        // OnError has seen it; the operator is told nothing at this point.
    }
    if (deviceVanished(code) && !shared.terminate.load()) {
        Close();
        emit HungUp();
    }
}

void TCustomComPort::RaiseWaitError() {
    RaiseError(d_->lastWaitError_, quillmark::serial::systemErrorText(d_->lastWaitError_));
}

std::uint64_t TCustomComPort::bytesTakenFromInput() const {
    return d_->bytesRead_ + d_->bytesPurged_;
}

int TCustomComPort::inputQueueOrZero() const {
    int count = 0;
    if (!Active() || !d_->platform_->inputQueue(count).ok())
        return 0;
    return count;
}
