#include "serial_peer.h"

#include "serial/comport.h"

#include <stdexcept>

namespace bench {
namespace {

class OurPort final : public SerialPeer {
public:
    OurPort(bool asComm1, bool wholeWrites) : asComm1_(asComm1), wholeWrites_(wholeWrites) {}

    [[nodiscard]] std::string name() const override {
        if (wholeWrites_)
            return "TComPort, one Write per request";
        return asComm1_ ? "TComPort (as Comm1)" : "TComPort";
    }
    [[nodiscard]] std::string drivenBy() const override {
        if (wholeWrites_)
            return "OnRxChar, ReadByte, Write(frame, 5, false); pcDefault, tpNormal (diagnostic)";
        return asComm1_ ? "OnRxChar, ReadByte/WriteByte; pcHigh, tpTimeCritical"
                        : "OnRxChar, ReadByte/WriteByte; pcDefault, tpNormal";
    }

    void open(const PtyLine& line) override {
        port_.SetDeviceName(line.slavePath());
        port_.SetBaudRate(br2400);
        port_.SetDataBits(db8);
        port_.SetParity(paNone);
        port_.SetStopBits(sb1);
        port_.SetPriorityClass(asComm1_ ? pcHigh : pcDefault);
        port_.SetThreadPriority(asComm1_ ? tpTimeCritical : tpNormal);
        port_.Timeouts().SetReadConstant(std::chrono::milliseconds(1000));
        port_.SetOnRxChar(TNotifyEvent(this, 1, [this](QObject*) { arrived(); }));
        port_.SetActive(true);
    }
    void close() override { port_.SetActive(false); }
    [[nodiscard]] int available() override { return port_.InputCount(); }
    [[nodiscard]] std::uint8_t readByte() override { return port_.ReadByte(); }
    void write(const std::uint8_t* data, std::size_t n) override {
        if (wholeWrites_) {
            (void)port_.Write(data, static_cast<int>(n), false);
            return;
        }
        for (std::size_t i = 0; i < n; ++i)
            port_.WriteByte(data[i]);
    }

private:
    bool asComm1_;
    bool wholeWrites_;
    TComPort port_;
};

} // namespace

std::unique_ptr<SerialPeer> makeOurPort(bool asComm1, bool wholeWrites) {
    return std::make_unique<OurPort>(asComm1, wholeWrites);
}

} // namespace bench
