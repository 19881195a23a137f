#include "serial/comport.h"

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
    : QObject(owner), flowControl_(std::make_unique<TFlowControl>(*this)),
      characters_(std::make_unique<TCharacters>(*this)),
      bufferSizes_(std::make_unique<TBufferSizes>(*this)),
      timeouts_(std::make_unique<TTimeouts>(*this)) {}

TCustomComPort::~TCustomComPort() {
    try {
        Close();
    } catch (...) {
        // A destructor must not throw; the handle is released all the same below.
    }
    DestroyHandle();
}

void TCustomComPort::BeginLoading() {
    loading_ = true;
}

void TCustomComPort::FinishLoading() {
    if (!loading_)
        return;
    loading_ = false;
    SetActive(storedActive_);
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
    return platform_ && platform_->isOpen();
}

void TCustomComPort::SetActive(bool v) {
    if (v != Active() && !loading_) {
        if (v)
            Open();
        else
            Close();
    }
    storedActive_ = v;
}

void TCustomComPort::CreateHandle() {
    DestroyHandle();
    try {
        applyPriorityClass();
        platform_ = quillmark::serial::createPlatformPort(deviceName_);
        lineCountersUnsupported_ = false;
        CheckResult(platform_->open(quillmark::serial::resolveDeviceName(deviceName_)));
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
        (void)platform_->purge(false, true);
    if (platform_)
        platform_->close();
    read_ = Transfer{};
    restorePriorityClass();
}

void TCustomComPort::applyPriorityClass() {
    if (priorityClass_ != pcDefault)
        priority_.apply(niceOf(priorityClass_));
}

void TCustomComPort::restorePriorityClass() {
    priority_.restore();
}

void TCustomComPort::CheckResult(OsResult result) const {
    if (!result.ok())
        RaiseError(result.code, result.message.empty()
                                    ? quillmark::serial::systemErrorText(result.code)
                                    : result.message);
}

void TCustomComPort::RaiseError(int code, const std::string& message) const {
    EComError error(code, message);
    if (OnError) {
        TComAction action = caFail;
        OnError(const_cast<TCustomComPort*>(this), error, action);
        if (action == caAbort)
            throw EAbort();
    }
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
    if (platform_->inputQueue(queued).ok() && queued > 0)
        bytesPurged_ += static_cast<std::uint64_t>(queued);
    CheckResult(platform_->purge(true, false));
}

void TCustomComPort::PurgeOutput() {
    CheckResult(platform_->purge(false, true));
}

void TCustomComPort::ResetDevice() {
    CheckOpen();
    // No reset escape on a tty: stale input would be read as the next reply.
    PurgeInput();
}

TModemStatus TCustomComPort::ModemStatus() const {
    CheckOpen();
    quillmark::serial::ModemLines lines;
    CheckResult(platform_->modemLines(lines));
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
    CheckResult(platform_->inputQueue(count));
    return count;
}

int TCustomComPort::OutputCount() const {
    CheckOpen();
    int count = 0;
    CheckResult(platform_->outputQueue(count));
    return count;
}

const std::string& TCustomComPort::DeviceName() const {
    return deviceName_;
}

void TCustomComPort::SetDeviceName(const std::string& name) {
    if (name == deviceName_)
        return;
    CheckClosed();
    deviceName_ = name;
}

TPriorityClass TCustomComPort::PriorityClass() const {
    return priorityClass_;
}

void TCustomComPort::SetPriorityClass(TPriorityClass v) {
    if (v == priorityClass_)
        return;
    CheckClosed();
    priorityClass_ = v;
}

bool TCustomComPort::SynchronizeEvents() const {
    return synchronizeEvents_;
}

void TCustomComPort::SetSynchronizeEvents(bool v) {
    if (v == synchronizeEvents_)
        return;
    CheckClosed();
    synchronizeEvents_ = v;
}

TFlowControl& TCustomComPort::FlowControl() {
    return *flowControl_;
}

TCharacters& TCustomComPort::Characters() {
    return *characters_;
}

TBufferSizes& TCustomComPort::BufferSizes() {
    return *bufferSizes_;
}

TTimeouts& TCustomComPort::Timeouts() {
    return *timeouts_;
}
