#pragma once

// One serial implementation, driven on the UI (Qt main) thread the way a Qt program would
// drive it: a handler is called there when bytes arrived, and reads them there.

#include "pty_line.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace bench {

class SerialPeer {
public:
    SerialPeer() = default;
    virtual ~SerialPeer() = default;
    SerialPeer(const SerialPeer&) = delete;
    SerialPeer& operator=(const SerialPeer&) = delete;

    [[nodiscard]] virtual std::string name() const = 0;
    [[nodiscard]] virtual std::string drivenBy() const = 0;
    // Opens the line's slave at 2400 bit/s 8N1 and starts notifying; throws on failure.
    virtual void open(const PtyLine& line) = 0;
    virtual void close() = 0;
    // Bytes that a read returns at once.
    [[nodiscard]] virtual int available() = 0;
    // One byte, waiting up to 1 s for it; throws on time-out.
    [[nodiscard]] virtual std::uint8_t readByte() = 0;
    // Starts sending; need not wait until the bytes are out.
    virtual void write(const std::uint8_t* data, std::size_t n) = 0;

    // Called on the UI thread when bytes arrived.
    void setOnArrival(std::function<void()> fn) { onArrival_ = std::move(fn); }

protected:
    void arrived() {
        if (onArrival_)
            onArrival_();
    }

private:
    std::function<void()> onArrival_;
};

// Our TComPort; `asComm1` keeps the main window's priorities (process nice raised, event
// thread at nice -20), otherwise both stay normal like the peers. It writes byte by byte
// with WriteByte, as the main window does, unless `wholeWrites` (one Write per request).
[[nodiscard]] std::unique_ptr<SerialPeer> makeOurPort(bool asComm1, bool wholeWrites = false);
// libserialport: a thread blocked in sp_wait hands over to the UI thread and waits for it.
[[nodiscard]] std::unique_ptr<SerialPeer> makeLibSerialPortThread();
// libserialport: a QSocketNotifier on the port's descriptor.
[[nodiscard]] std::unique_ptr<SerialPeer> makeLibSerialPortNotifier();
// QSerialPort and its readyRead signal.
[[nodiscard]] std::unique_ptr<SerialPeer> makeQSerialPort();

} // namespace bench
