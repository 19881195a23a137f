#pragma once

// Serial-port component: TComPort owns one serial device, reads and writes bytes and reports
// line events through handler slots on the UI thread. Failures are raised as EComError.

#include "handler.h"
#include "process_priority.h"

#include "core/line_direction.h"

#include <QObject>

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>

class TCustomComPort;
class TComThread;
namespace quillmark::serial {
class PlatformPort;
struct OsResult;
struct LineCounters;
struct LineWatch;
struct ThreadShared;
class HandOverRelay;
class LineObserver;
} // namespace quillmark::serial

class EComError : public std::runtime_error {
public:
    EComError(int code, const std::string& message)
        : std::runtime_error(message), ErrorCode(code) {}
    int ErrorCode; // errno, or 0 for the component's own messages
};

// A read or write that ran out of its time-out.
class EComTimeout : public EComError {
public:
    EComTimeout() : EComError(0, "Timeout") {}
};

// Raised instead of an error that OnError chose to abort: the UI reports nothing.
class EAbort : public std::runtime_error {
public:
    EAbort() : std::runtime_error("Operation aborted") {}
};

enum TBaudRate {
    brDefault,
    br50,
    br75,
    br110,
    br150,
    br300,
    br600,
    br1200,
    br1800,
    br2000,
    br2400,
    br3600,
    br4800,
    br7200,
    br9600,
    br10400,
    br14400,
    br15625,
    br19200,
    br28800,
    br38400,
    br56000,
    br57600,
    br115200,
    br128000,
    br256000,
    brCustom
};
enum TDataBits { dbDefault, db4, db5, db6, db7, db8 };
enum TParity { paDefault, paNone, paOdd, paEven, paMark, paSpace };
enum TStopBits { sbDefault, sb1, sb1_5, sb2 };
enum TDTRControl { dcDefault, dcDisable, dcEnable, dcHandshake };
enum TRTSControl { rcDefault, rcDisable, rcEnable, rcHandshake, rcToggle };
enum TXOnXOffControl { xcDefault, xcDisable, xcInput, xcOutput, xcInputOutput };
enum TOption {
    opCheckParity,
    opOutputCTSFlow,
    opOutputDSRFlow,
    opDSRSensitivity,
    opTXContinueOnXOff,
    opUseErrorChar,
    opDiscardNullBytes,
    opAbortOnError
};
using TOptions = std::uint8_t; // bit (1 << TOption)
enum TPriorityClass { pcDefault, pcIdle, pcNormal, pcHigh, pcRealTime };
enum TThreadPriority { tpIdle, tpLowest, tpLower, tpNormal, tpHigher, tpHighest, tpTimeCritical };
enum TModemStatusValue { msCTS, msDSR, msRing, msRLSD };
using TModemStatus = std::uint8_t; // bit (1 << TModemStatusValue)
enum TLineError {
    leBreak,
    leDeviceNotSelected,
    leFrame,
    leIO,
    leMode,
    leOutOfPaper,
    leOverrun,
    leDeviceTimeOut,
    leRxOverflow,
    leParity,
    leTxFull
};
using TLineErrors = std::uint16_t; // bit (1 << TLineError)
enum TComAction { caFail, caAbort };

using TNotifyEvent = Handler<void(QObject* Sender)>;
using TOpenCloseEvent = Handler<void(TCustomComPort* ComPort)>;
using TReadWriteEvent =
    Handler<void(QObject* Sender, const void* Buffer, int Length, bool WaitOnCompletion)>;
using TComErrorEvent = Handler<void(TCustomComPort* ComPort, EComError& E, TComAction& Action)>;
using TLineErrorEvent = Handler<void(QObject* Sender, TLineErrors LineErrors)>;

// Sub-objects re-apply their group of settings to an open device when a value changes.
class TFlowControl {
public:
    explicit TFlowControl(TCustomComPort& port) : port_(port) {}
    [[nodiscard]] TDTRControl DTR() const { return dtr_; }
    [[nodiscard]] TRTSControl RTS() const { return rts_; }
    [[nodiscard]] TXOnXOffControl XOnXOff() const { return xonxoff_; }
    [[nodiscard]] std::uint16_t XOnLimit() const { return xonLimit_; }
    [[nodiscard]] std::uint16_t XOffLimit() const { return xoffLimit_; }
    void SetDTR(TDTRControl v);
    void SetRTS(TRTSControl v);
    void SetXOnXOff(TXOnXOffControl v);
    void SetXOnLimit(std::uint16_t v);
    void SetXOffLimit(std::uint16_t v);

private:
    TCustomComPort& port_;
    TDTRControl dtr_ = dcDefault;
    TRTSControl rts_ = rcDefault;
    TXOnXOffControl xonxoff_ = xcDefault;
    std::uint16_t xonLimit_ = 0;
    std::uint16_t xoffLimit_ = 0;
};

class TCharacters {
public:
    explicit TCharacters(TCustomComPort& port) : port_(port) {}
    [[nodiscard]] char XOn() const { return xon_; }
    [[nodiscard]] char XOff() const { return xoff_; }
    [[nodiscard]] char Error() const { return error_; }
    [[nodiscard]] char Eof() const { return eof_; }
    [[nodiscard]] char Event() const { return event_; }
    void SetXOn(char v);
    void SetXOff(char v);
    void SetError(char v);
    void SetEof(char v);
    void SetEvent(char v);

private:
    TCustomComPort& port_;
    char xon_ = 17;
    char xoff_ = 19;
    char error_ = 0;
    char eof_ = 0;
    char event_ = 0;
};

class TBufferSizes {
public:
    explicit TBufferSizes(TCustomComPort& port) : port_(port) {}
    [[nodiscard]] int Input() const { return input_; }
    [[nodiscard]] int Output() const { return output_; }
    void SetInput(int v);
    void SetOutput(int v);

private:
    TCustomComPort& port_;
    int input_ = 4096;
    int output_ = 2048;
};

class TTimeouts {
public:
    explicit TTimeouts(TCustomComPort& port) : port_(port) {}
    using ms = std::chrono::milliseconds;
    [[nodiscard]] ms ReadInterval() const { return readInterval_; }
    [[nodiscard]] ms ReadMultiplier() const { return readMultiplier_; }
    [[nodiscard]] ms ReadConstant() const { return readConstant_; }
    [[nodiscard]] ms WriteMultiplier() const { return writeMultiplier_; }
    [[nodiscard]] ms WriteConstant() const { return writeConstant_; }
    void SetReadInterval(ms v);
    void SetReadMultiplier(ms v);
    void SetReadConstant(ms v);
    void SetWriteMultiplier(ms v);
    void SetWriteConstant(ms v);

private:
    TCustomComPort& port_;
    ms readInterval_{0};
    ms readMultiplier_{0};
    ms readConstant_{0};
    ms writeMultiplier_{0};
    ms writeConstant_{0};
};

// The public operations below are what the windows and the indicators rely on; the state
// behind them is private to the implementation (comport_p.h).
class TCustomComPort : public QObject {
    Q_OBJECT
public:
    explicit TCustomComPort(QObject* owner = nullptr);
    ~TCustomComPort() override;

    // Called once the owner has set every property (the form's loading end).
    void FinishLoading();

    void Open();
    void Close();
    [[nodiscard]] bool Active() const;
    void SetActive(bool v);

    [[nodiscard]] std::uint8_t ReadByte();
    void WriteByte(std::uint8_t value);
    int Read(void* buffer, int length, bool waitOnCompletion);
    int Write(const void* buffer, int length, bool waitOnCompletion);
    void ResetDevice();
    [[nodiscard]] TModemStatus ModemStatus() const;

    [[nodiscard]] const std::string& DeviceName() const;
    void SetDeviceName(const std::string& name);
    [[nodiscard]] TBaudRate BaudRate() const;
    void SetBaudRate(TBaudRate v);
    [[nodiscard]] int CustomBaudRate() const;
    void SetCustomBaudRate(int v);
    [[nodiscard]] TDataBits DataBits() const;
    void SetDataBits(TDataBits v);
    [[nodiscard]] TParity Parity() const;
    void SetParity(TParity v);
    [[nodiscard]] TStopBits StopBits() const;
    void SetStopBits(TStopBits v);
    [[nodiscard]] TOptions Options() const;
    void SetOptions(TOptions v);
    [[nodiscard]] TPriorityClass PriorityClass() const;
    void SetPriorityClass(TPriorityClass v);
    [[nodiscard]] bool SynchronizeEvents() const;
    void SetSynchronizeEvents(bool v);
    [[nodiscard]] TThreadPriority ThreadPriority() const;
    void SetThreadPriority(TThreadPriority v);
    [[nodiscard]] std::string About() const;
    // The About text of the serial components (the indicators show it too).
    [[nodiscard]] static std::string AboutText();

    TFlowControl& FlowControl();
    TCharacters& Characters();
    TBufferSizes& BufferSizes();
    TTimeouts& Timeouts();

    // Plain handler slots.
    TOpenCloseEvent AfterClose, AfterOpen, BeforeClose, BeforeOpen;
    TReadWriteEvent AfterRead, AfterWrite, BeforeRead, BeforeWrite;
    TComErrorEvent OnError;

    // The thirteen line-event slots: setting one re-computes the event mask. Raised on Linux:
    // RxChar and TxEmpty on every tty; CTSChange, DSRChange, Ring, RLSDChange (TIOCMIWAIT),
    // Break and LineError (TIOCGICOUNT) only where the driver keeps line counters, which
    // pseudo-terminals do not. RxFlag, Rx80PercFull, Event1, Event2 and PrinterError have
    // no Linux counterpart and are never raised.
    [[nodiscard]] const TNotifyEvent& OnRxChar() const;
    void SetOnRxChar(TNotifyEvent h);
    [[nodiscard]] const TNotifyEvent& OnBreak() const;
    void SetOnBreak(TNotifyEvent h);
    [[nodiscard]] const TNotifyEvent& OnCTSChange() const;
    void SetOnCTSChange(TNotifyEvent h);
    [[nodiscard]] const TNotifyEvent& OnDSRChange() const;
    void SetOnDSRChange(TNotifyEvent h);
    [[nodiscard]] const TNotifyEvent& OnEvent1() const;
    void SetOnEvent1(TNotifyEvent h);
    [[nodiscard]] const TNotifyEvent& OnEvent2() const;
    void SetOnEvent2(TNotifyEvent h);
    [[nodiscard]] const TNotifyEvent& OnPrinterError() const;
    void SetOnPrinterError(TNotifyEvent h);
    [[nodiscard]] const TNotifyEvent& OnRing() const;
    void SetOnRing(TNotifyEvent h);
    [[nodiscard]] const TNotifyEvent& OnRLSDChange() const;
    void SetOnRLSDChange(TNotifyEvent h);
    [[nodiscard]] const TNotifyEvent& OnRx80PercFull() const;
    void SetOnRx80PercFull(TNotifyEvent h);
    [[nodiscard]] const TNotifyEvent& OnRxFlag() const;
    void SetOnRxFlag(TNotifyEvent h);
    [[nodiscard]] const TNotifyEvent& OnTxEmpty() const;
    void SetOnTxEmpty(TNotifyEvent h);
    [[nodiscard]] const TLineErrorEvent& OnLineError() const;
    void SetOnLineError(TLineErrorEvent h);

    // Re-apply a settings group to the open device (used by the sub-objects).
    void ApplyState();
    void ApplyBufferSizes();
    void ApplyTimeouts();

    // Between these two calls (reading a form description) Active only records its value.
    void BeginLoading();
    [[nodiscard]] bool Loading() const;

    // Bits of the events that the assigned line-event handlers ask for (0 when none).
    [[nodiscard]] std::uint32_t EventMask() const;
    // Bytes waiting in the driver's input and output queues.
    [[nodiscard]] int InputCount() const;
    [[nodiscard]] int OutputCount() const;

    // How a failure escaping an event handler is reported: the application's standard error
    // report. Set once at start-up; without it the failure goes to the Qt message log.
    using HandlerErrorReport = std::function<void(const std::exception&)>;
    static void SetHandlerErrorReport(HandlerErrorReport report);

    // Sees every byte written and read, and the input a purge discards, on the thread that
    // moves it (comport_tap.h). Not owned; nullptr detaches. Returns once no call to the
    // observer it replaces is running, so that observer may then go. Without one the byte
    // paths pay one pointer test.
    void SetLineObserver(quillmark::serial::LineObserver* observer);
    [[nodiscard]] quillmark::serial::LineObserver* lineObserver() const;

signals:
    // The device went away under the open port (unplugged, line dropped); the port has
    // closed itself without a message. Emitted on the port's thread.
    void HungUp();

protected:
    // The open routine; on failure the port is left closed and the error passes on.
    virtual void CreateHandle();

private:
    friend class TComThread;
    using ThreadShared = quillmark::serial::ThreadShared;

    // Indexes of the notify slots, in dispatch order (OnLineError is kept apart).
    enum NotifySlot {
        nsBreak,
        nsCTSChange,
        nsDSRChange,
        nsEvent1,
        nsEvent2,
        nsPrinterError,
        nsRing,
        nsRLSDChange,
        nsRx80PercFull,
        nsRxChar,
        nsRxFlag,
        nsTxEmpty,
        nsCount
    };

    // The event-mask bit of a notify slot.
    [[nodiscard]] static std::uint32_t bitOf(std::size_t slot);
    void DestroyHandle();
    void CheckResult(quillmark::serial::OsResult result) const;
    [[noreturn]] void RaiseError(int code, const std::string& message) const;
    [[noreturn]] void RaiseTimeout() const;
    // Runs OnError; throws EAbort when it chose to abort.
    void offerToHandler(EComError& error) const;
    void CheckOpen() const;
    void CheckClosed();
    void PurgeInput();
    void PurgeOutput();
    void WaitRead();
    void WaitWrite();
    void CheckLineErrors();
    void UpdateEventMask();
    void StartThread();
    void StopThread();
    void retireRelay(bool insideCall);
    void DispatchEvents(std::uint32_t events);
    [[noreturn]] void RaiseWaitError();

    void setNotify(NotifySlot slot, TNotifyEvent h);
    void applyPriorityClass();
    void restorePriorityClass();
    void startRead(void* buffer, int length);
    void sendAll(const void* buffer, int length);
    void pumpRead();
    [[nodiscard]] std::optional<std::chrono::steady_clock::time_point> readDeadline(int n) const;
    [[nodiscard]] std::optional<std::chrono::steady_clock::time_point> writeDeadline(int n) const;
    [[nodiscard]] std::uint64_t bytesTakenFromInput() const;
    [[nodiscard]] int inputQueueOrZero() const;
    void snapshotLineCounters();
    // The device's line counters; false where it has none (asked once per open).
    [[nodiscard]] bool readLineCounters(quillmark::serial::LineCounters& counters);
    // A cheap first test on the byte paths; tapBytes decides for certain.
    [[nodiscard]] bool tapping() const;
    void tapBytes(quillmark::LineDirection direction, const std::uint8_t* bytes, std::size_t count);
    void drainInputToObserver();
    [[nodiscard]] std::uint32_t lineEventsSinceLastDelivery();
    [[nodiscard]] quillmark::serial::LineWatch lineWatchWanted() const;
    void restartLineWatch();
    // Event thread handover, run on the port's thread.
    void deliverEvents(ThreadShared& shared, int wakes);
    void handleWaitError(ThreadShared& shared, int code);
    [[nodiscard]] bool closeOnEventThread();

    struct Private; // comport_p.h
    std::unique_ptr<Private> d_;
};

class TComPort : public TCustomComPort {
    Q_OBJECT
public:
    using TCustomComPort::TCustomComPort;
};
