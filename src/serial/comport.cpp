#include "serial/comport_p.h"

#include "serial/comthread.h"
#include "serial/serial_platform.h"

using quillmark::serial::OsResult;

namespace {

constexpr const char* kAbout =
    "Version 3.1. Serial line component of Quillmark, (c) Tarvenor. Serial port, event "
    "thread and line-signal indicators for POSIX systems.";

// Nice values standing in for the process priority classes idle, normal, high, real-time.
[[nodiscard]] int niceOf(TPriorityClass priorityClass) {
    switch (priorityClass) {
    case pcIdle:
        return 19;
    case pcHigh:
        return -10;
    case pcRealTime:
        return -20;
    default:
        return 0;
    }
}

} // namespace

TCustomComPort::TCustomComPort(QObject* owner)
    : QObject(owner), d_(std::make_unique<Private>(*this)) {}

TCustomComPort::~TCustomComPort() {
    try {
        Close();
    } catch (...) {
        // A destructor must not throw; the handle is released all the same below.
    }
    DestroyHandle();
}

void TCustomComPort::BeginLoading() {
    d_->loading_ = true;
}

bool TCustomComPort::Loading() const {
    return d_->loading_;
}

void TCustomComPort::FinishLoading() {
    if (!d_->loading_)
        return;
    d_->loading_ = false;
    SetActive(d_->storedActive_);
}

std::string TCustomComPort::About() const {
    return AboutText();
}

std::string TCustomComPort::AboutText() {
    return kAbout;
}

void TCustomComPort::Open() {
    if (Active())
        return;
    if (BeforeOpen)
        BeforeOpen(this);
    CreateHandle();
    if (Active() && AfterOpen)
        AfterOpen(this);
}

void TCustomComPort::Close() {
    if (closeOnEventThread())
        return;
    if (!Active())
        return;
    if (BeforeClose)
        BeforeClose(this);
    DestroyHandle();
    if (!Active() && AfterClose)
        AfterClose(this);
}

bool TCustomComPort::Active() const {
    return d_->platform_ && d_->platform_->isOpen();
}

void TCustomComPort::SetActive(bool v) {
    if (v != Active() && !d_->loading_) {
        if (v)
            Open();
        else
            Close();
    }
    d_->storedActive_ = v;
}

void TCustomComPort::CreateHandle() {
    DestroyHandle();
    try {
        applyPriorityClass();
        d_->platform_ = quillmark::serial::createPlatformPort(d_->deviceName_);
        d_->lineCountersUnsupported_ = false;
        CheckResult(d_->platform_->open(quillmark::serial::resolveDeviceName(d_->deviceName_)));
        PurgeInput();
        PurgeOutput();
        ApplyBufferSizes();
        ApplyState();
        ApplyTimeouts();
        snapshotLineCounters();
        UpdateEventMask();
    } catch (...) {
        DestroyHandle();
        throw;
    }
}

void TCustomComPort::DestroyHandle() {
    StopThread();
    // A real UART would otherwise hold close() until its queue drained (forever under flow
    // control); no one waits for an outstanding write anyway.
    if (Active())
        (void)d_->platform_->purge(false, true);
    if (d_->platform_)
        d_->platform_->close();
    d_->read_ = Private::Transfer{};
    restorePriorityClass();
}

void TCustomComPort::applyPriorityClass() {
    if (d_->priorityClass_ != pcDefault)
        d_->priority_.apply(niceOf(d_->priorityClass_));
}

void TCustomComPort::restorePriorityClass() {
    d_->priority_.restore();
}

void TCustomComPort::CheckResult(OsResult result) const {
    if (!result.ok())
        RaiseError(result.code, result.message.empty()
                                    ? quillmark::serial::systemErrorText(result.code)
                                    : result.message);
}

void TCustomComPort::offerToHandler(EComError& error) const {
    if (OnError) {
        TComAction action = caFail;
        OnError(const_cast<TCustomComPort*>(this), error, action);
        if (action == caAbort)
            throw EAbort();
    }
}

void TCustomComPort::RaiseError(int code, const std::string& message) const {
    EComError error(code, message);
    offerToHandler(error);
    throw error;
}

void TCustomComPort::RaiseTimeout() const {
    EComTimeout error;
    offerToHandler(error);
    throw error;
}

void TCustomComPort::CheckOpen() const {
    if (!Active())
        RaiseError(0, "Can't perform this operation on a closed port");
}

void TCustomComPort::CheckClosed() {
    if (Active())
        RaiseError(0, "Can't perform this operation on an open port");
}

void TCustomComPort::PurgeInput() {
    if (tapping())
        drainInputToObserver();
    int queued = 0;
    if (d_->platform_->inputQueue(queued).ok() && queued > 0)
        d_->bytesPurged_ += static_cast<std::uint64_t>(queued);
    CheckResult(d_->platform_->purge(true, false));
}

void TCustomComPort::PurgeOutput() {
    CheckResult(d_->platform_->purge(false, true));
}

void TCustomComPort::ResetDevice() {
    CheckOpen();
    // No reset escape on a tty: stale input would be read as the next reply.
    PurgeInput();
}

TModemStatus TCustomComPort::ModemStatus() const {
    CheckOpen();
    quillmark::serial::ModemLines lines;
    CheckResult(d_->platform_->modemLines(lines));
    TModemStatus status = 0;
    if (lines.cts)
        status |= 1U << msCTS;
    if (lines.dsr)
        status |= 1U << msDSR;
    if (lines.ring)
        status |= 1U << msRing;
    if (lines.rlsd)
        status |= 1U << msRLSD;
    return status;
}

int TCustomComPort::InputCount() const {
    CheckOpen();
    int count = 0;
    CheckResult(d_->platform_->inputQueue(count));
    return count;
}

int TCustomComPort::OutputCount() const {
    CheckOpen();
    int count = 0;
    CheckResult(d_->platform_->outputQueue(count));
    return count;
}

const std::string& TCustomComPort::DeviceName() const {
    return d_->deviceName_;
}

void TCustomComPort::SetDeviceName(const std::string& name) {
    if (name == d_->deviceName_)
        return;
    CheckClosed();
    d_->deviceName_ = name;
}

TPriorityClass TCustomComPort::PriorityClass() const {
    return d_->priorityClass_;
}

void TCustomComPort::SetPriorityClass(TPriorityClass v) {
    if (v == d_->priorityClass_)
        return;
    CheckClosed();
    d_->priorityClass_ = v;
}

bool TCustomComPort::SynchronizeEvents() const {
    return d_->synchronizeEvents_;
}

void TCustomComPort::SetSynchronizeEvents(bool v) {
    if (v == d_->synchronizeEvents_)
        return;
    CheckClosed();
    d_->synchronizeEvents_ = v;
}

TFlowControl& TCustomComPort::FlowControl() {
    return *d_->flowControl_;
}

TCharacters& TCustomComPort::Characters() {
    return *d_->characters_;
}

TBufferSizes& TCustomComPort::BufferSizes() {
    return *d_->bufferSizes_;
}

TTimeouts& TCustomComPort::Timeouts() {
    return *d_->timeouts_;
}
