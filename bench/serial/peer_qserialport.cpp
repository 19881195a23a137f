#include "serial_peer.h"

#include <QSerialPort>

#include <stdexcept>

namespace bench {
namespace {

class QtSerialPort final : public SerialPeer {
public:
    QtSerialPort() {
        QObject::connect(&port_, &QSerialPort::readyRead, &port_, [this] { arrived(); });
    }

    [[nodiscard]] std::string name() const override { return "QSerialPort"; }
    [[nodiscard]] std::string drivenBy() const override {
        return "readyRead, getChar; write() sent from the event loop";
    }

    void open(const PtyLine& line) override {
        port_.setPortName(QString::fromStdString(line.slavePath()));
        if (!port_.open(QIODevice::ReadWrite))
            throw std::runtime_error("QSerialPort: " + port_.errorString().toStdString());
        port_.setBaudRate(QSerialPort::Baud2400);
        port_.setDataBits(QSerialPort::Data8);
        port_.setParity(QSerialPort::NoParity);
        port_.setStopBits(QSerialPort::OneStop);
        port_.setFlowControl(QSerialPort::NoFlowControl);
    }
    void close() override { port_.close(); }
    [[nodiscard]] int available() override { return static_cast<int>(port_.bytesAvailable()); }
    [[nodiscard]] std::uint8_t readByte() override {
        if (port_.bytesAvailable() == 0 && !port_.waitForReadyRead(1000))
            throw std::runtime_error("QSerialPort: read timed out");
        char c = 0;
        if (!port_.getChar(&c))
            throw std::runtime_error("QSerialPort: " + port_.errorString().toStdString());
        return static_cast<std::uint8_t>(c);
    }
    void write(const std::uint8_t* data, std::size_t n) override {
        const auto written =
            port_.write(reinterpret_cast<const char*>(data), static_cast<qint64>(n));
        if (written != static_cast<qint64>(n))
            throw std::runtime_error("QSerialPort: " + port_.errorString().toStdString());
    }

private:
    QSerialPort port_;
};

} // namespace

std::unique_ptr<SerialPeer> makeQSerialPort() {
    return std::make_unique<QtSerialPort>();
}

} // namespace bench
