#pragma once

// Reopens the port when the device it lost comes back: after a hang-up (the port closed
// itself), udev's announcement of a device under the same name opens the port again.

#include "ports/device_monitor.h"

#include <QObject>

#include <memory>
#include <string>

class TComPort;
class QSocketNotifier;

class PortReconnect : public QObject {
    Q_OBJECT
public:
    // monitor may be null: then nothing is ever reopened.
    PortReconnect(TComPort& port, std::unique_ptr<quillmark::ports::DeviceMonitor> monitor,
                  QObject* parent = nullptr);
    ~PortReconnect() override;

    void setMonitor(std::unique_ptr<quillmark::ports::DeviceMonitor> monitor);

    // The port hung up: wait for its device.
    void portHungUp();
    // The name awaited (link target, default device or the port's own path); empty when
    // nothing is awaited.
    [[nodiscard]] const std::string& awaited() const { return awaited_; }

signals:
    void reopened();

private:
    void takeEvents();
    void stopWaiting();
    [[nodiscard]] std::string deviceNameOfPort() const;

    TComPort& port_;
    std::unique_ptr<quillmark::ports::DeviceMonitor> monitor_;
    std::unique_ptr<QSocketNotifier> notifier_;
    std::string awaited_;
    std::string awaitedPort_; // the port's name when it hung up
};
