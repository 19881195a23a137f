#pragma once

// Serial-port component: TComPort owns one serial device, reads and writes bytes and reports
// line events through handler slots on the UI thread. Failures are raised as EComError.

#include "handler.h"

#include <QObject>

#include <chrono>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>

class TCustomComPort;
class TComThread;
namespace quillmark::serial {
class PlatformPort;
struct ThreadShared;
} // namespace quillmark::serial

class EComError : public std::runtime_error {
public:
    EComError(int code, const std::string& message)
        : std::runtime_error(message), ErrorCode(code) {}
    int ErrorCode; // errno, or 0 for the component's own messages
};

// Raised instead of an error that OnError chose to abort: the UI reports nothing.
class EAbort : public std::runtime_error {
public:
    EAbort() : std::runtime_error("Operation aborted") {}
};

enum TBaudRate {
    brDefault, br50, br75, br110, br150, br300, br600, br1200, br1800, br2000, br2400, br3600,
    br4800, br7200, br9600, br10400, br14400, br15625, br19200, br28800, br38400, br56000,
    br57600, br115200, br128000, br256000, brCustom
};
enum TDataBits { dbDefault, db4, db5, db6, db7, db8 };
enum TParity { paDefault, paNone, paOdd, paEven, paMark, paSpace };
enum TStopBits { sbDefault, sb1, sb1_5, sb2 };
enum TDTRControl { dcDefault, dcDisable, dcEnable, dcHandshake };
enum TRTSControl { rcDefault, rcDisable, rcEnable, rcHandshake, rcToggle };
enum TXOnXOffControl { xcDefault, xcDisable, xcInput, xcOutput, xcInputOutput };
enum TOption {
    opCheckParity, opOutputCTSFlow, opOutputDSRFlow, opDSRSensitivity, opTXContinueOnXOff,
    opUseErrorChar, opDiscardNullBytes, opAbortOnError
};
using TOptions = std::uint8_t; // bit (1 << TOption)
enum TPriorityClass { pcDefault, pcIdle, pcNormal, pcHigh, pcRealTime };
enum TThreadPriority {
    tpIdle, tpLowest, tpLower, tpNormal, tpHigher, tpHighest, tpTimeCritical
};
enum TModemStatusValue { msCTS, msDSR, msRing, msRLSD };
using TModemStatus = std::uint8_t; // bit (1 << TModemStatusValue)
enum TLineError {
    leBreak, leDeviceNotSelected, leFrame, leIO, leMode, leOutOfPaper, leOverrun,
    leDeviceTimeOut, leRxOverflow, leParity, leTxFull
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

// The implementation (comport.cpp and friends) may add private members; the public
// operations below are what the windows and the indicators rely on.
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

    TFlowControl& FlowControl();
    TCharacters& Characters();
    TBufferSizes& BufferSizes();
    TTimeouts& Timeouts();

    // Plain handler slots.
    TOpenCloseEvent AfterClose, AfterOpen, BeforeClose, BeforeOpen;
    TReadWriteEvent AfterRead, AfterWrite, BeforeRead, BeforeWrite;
    TComErrorEvent OnError;

    // The thirteen line-event slots: setting one re-computes the event mask.
    [[nodiscard]] const TNotifyEvent& OnRxChar() const;
    void SetOnRxChar(TNotifyEvent h);
    // ... OnBreak, OnCTSChange, OnDSRChange, OnEvent1, OnEvent2, OnPrinterError, OnRing,
    // OnRLSDChange, OnRx80PercFull, OnRxFlag, OnTxEmpty and OnLineError likewise.

    // Re-apply a settings group to the open device (used by the sub-objects).
    void ApplyState();
    void ApplyBufferSizes();
    void ApplyTimeouts();
};

class TComPort : public TCustomComPort {
    Q_OBJECT
public:
    using TCustomComPort::TCustomComPort;
};
