// Line, queue-size and time-out settings: the properties, the sub-objects and the steps that
// push each group to the open device.

#include "serial/comport_p.h"

#include "serial/serial_platform.h"

#include <array>
#include <cerrno>

using quillmark::serial::LineSettings;
using quillmark::serial::OsResult;

namespace {

constexpr std::array<int, 26> kRates{
    0,    50,   75,    110,   150,   300,   600,   1200,  1800,  2000,  2400,   3600,   4800,
    7200, 9600, 10400, 14400, 15625, 19200, 28800, 38400, 56000, 57600, 115200, 128000, 256000};

template <typename T, typename V>
void storeAndApply(T& field, V value, void (*apply)(TCustomComPort&), TCustomComPort& port) {
    if (field == value)
        return;
    field = value;
    apply(port);
}

void applyState(TCustomComPort& port) {
    port.ApplyState();
}
void applyBufferSizes(TCustomComPort& port) {
    port.ApplyBufferSizes();
}
void applyTimeouts(TCustomComPort& port) {
    port.ApplyTimeouts();
}

[[nodiscard]] std::optional<LineSettings::Parity> parityOf(TParity parity) {
    using P = LineSettings::Parity;
    static constexpr std::array<P, 5> map{P::None, P::Odd, P::Even, P::Mark, P::Space};
    if (parity == paDefault)
        return std::nullopt;
    return map.at(static_cast<std::size_t>(parity - paNone));
}

[[nodiscard]] std::optional<LineSettings::XonXoff> xonXoffOf(TXOnXOffControl v) {
    if (v == xcDefault)
        return std::nullopt;
    return LineSettings::XonXoff{v == xcInput || v == xcInputOutput,
                                 v == xcOutput || v == xcInputOutput};
}

[[nodiscard]] bool hasOption(TOptions options, TOption option) {
    return (options & (1U << option)) != 0;
}

} // namespace

void TFlowControl::SetDTR(TDTRControl v) {
    storeAndApply(dtr_, v, applyState, port_);
}
void TFlowControl::SetRTS(TRTSControl v) {
    storeAndApply(rts_, v, applyState, port_);
}
void TFlowControl::SetXOnXOff(TXOnXOffControl v) {
    storeAndApply(xonxoff_, v, applyState, port_);
}
void TFlowControl::SetXOnLimit(std::uint16_t v) {
    storeAndApply(xonLimit_, v, applyState, port_);
}
void TFlowControl::SetXOffLimit(std::uint16_t v) {
    storeAndApply(xoffLimit_, v, applyState, port_);
}

void TCharacters::SetXOn(char v) {
    storeAndApply(xon_, v, applyState, port_);
}
void TCharacters::SetXOff(char v) {
    storeAndApply(xoff_, v, applyState, port_);
}
void TCharacters::SetError(char v) {
    storeAndApply(error_, v, applyState, port_);
}
void TCharacters::SetEof(char v) {
    storeAndApply(eof_, v, applyState, port_);
}
void TCharacters::SetEvent(char v) {
    storeAndApply(event_, v, applyState, port_);
}

void TBufferSizes::SetInput(int v) {
    storeAndApply(input_, v, applyBufferSizes, port_);
}
void TBufferSizes::SetOutput(int v) {
    storeAndApply(output_, v, applyBufferSizes, port_);
}

void TTimeouts::SetReadInterval(ms v) {
    storeAndApply(readInterval_, v, applyTimeouts, port_);
}
void TTimeouts::SetReadMultiplier(ms v) {
    storeAndApply(readMultiplier_, v, applyTimeouts, port_);
}
void TTimeouts::SetReadConstant(ms v) {
    storeAndApply(readConstant_, v, applyTimeouts, port_);
}
void TTimeouts::SetWriteMultiplier(ms v) {
    storeAndApply(writeMultiplier_, v, applyTimeouts, port_);
}
void TTimeouts::SetWriteConstant(ms v) {
    storeAndApply(writeConstant_, v, applyTimeouts, port_);
}

TBaudRate TCustomComPort::BaudRate() const {
    return d_->baudRate_;
}
void TCustomComPort::SetBaudRate(TBaudRate v) {
    storeAndApply(d_->baudRate_, v, applyState, *this);
}

int TCustomComPort::CustomBaudRate() const {
    if (d_->baudRate_ == brCustom)
        return d_->customBaudRate_;
    return kRates.at(static_cast<std::size_t>(d_->baudRate_));
}

void TCustomComPort::SetCustomBaudRate(int v) {
    if (v == d_->customBaudRate_)
        return;
    d_->customBaudRate_ = v;
    d_->baudRate_ = brCustom;
    ApplyState();
}

TDataBits TCustomComPort::DataBits() const {
    return d_->dataBits_;
}
void TCustomComPort::SetDataBits(TDataBits v) {
    storeAndApply(d_->dataBits_, v, applyState, *this);
}
TParity TCustomComPort::Parity() const {
    return d_->parity_;
}
void TCustomComPort::SetParity(TParity v) {
    storeAndApply(d_->parity_, v, applyState, *this);
}
TStopBits TCustomComPort::StopBits() const {
    return d_->stopBits_;
}
void TCustomComPort::SetStopBits(TStopBits v) {
    storeAndApply(d_->stopBits_, v, applyState, *this);
}
TOptions TCustomComPort::Options() const {
    return d_->options_;
}
void TCustomComPort::SetOptions(TOptions v) {
    storeAndApply(d_->options_, v, applyState, *this);
}

void TCustomComPort::ApplyState() {
    if (!Active())
        return;
    LineSettings s;
    if (d_->baudRate_ != brDefault)
        s.baudRate = CustomBaudRate();
    if (d_->dataBits_ != dbDefault)
        s.dataBits = 3 + static_cast<int>(d_->dataBits_);
    s.parity = parityOf(d_->parity_);
    if (d_->stopBits_ != sbDefault)
        s.stopBitsTimesTwo = 1 + static_cast<int>(d_->stopBits_);
    const TFlowControl& flow = *d_->flowControl_;
    if (flow.DTR() != dcDefault)
        s.dtr = static_cast<LineSettings::Dtr>(flow.DTR() - dcDisable);
    if (flow.RTS() != rcDefault)
        s.rts = static_cast<LineSettings::Rts>(flow.RTS() - rcDisable);
    s.xonXoff = xonXoffOf(flow.XOnXOff());
    s.xonChar = static_cast<std::uint8_t>(d_->characters_->XOn());
    s.xoffChar = static_cast<std::uint8_t>(d_->characters_->XOff());
    s.checkParity = hasOption(d_->options_, opCheckParity);
    s.outputCtsFlow = hasOption(d_->options_, opOutputCTSFlow);
    const TOptions unsupported = d_->options_ & ~((1U << opCheckParity) | (1U << opOutputCTSFlow));
    s.unsupportedOption = unsupported != 0;
    CheckResult(d_->platform_->applyLineSettings(s));
}

void TCustomComPort::ApplyBufferSizes() {
    if (!Active())
        return;
    // A tty's queues have sizes of their own: only sizes no driver could take are refused.
    if (d_->bufferSizes_->Input() <= 0 || d_->bufferSizes_->Output() <= 0)
        CheckResult(OsResult{EINVAL});
}

void TCustomComPort::ApplyTimeouts() {
    if (!Active())
        return;
    // Time-outs are kept here and applied by each read and write with poll().
    const TTimeouts& t = *d_->timeouts_;
    for (const auto v : {t.ReadInterval(), t.ReadMultiplier(), t.ReadConstant(),
                         t.WriteMultiplier(), t.WriteConstant()})
        if (v.count() < 0)
            CheckResult(OsResult{EINVAL});
}
