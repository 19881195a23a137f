#pragma once

// Reopens the port when what it lost comes back. A device: after a hang-up (the port closed
// itself), udev's announcement of the same adapter, known by its identity (serial number
// and socket) and never by name alone, opens the port again; an adapter with a twin is not
// reopened. A network connection: tries again after 1, 2, 4 ... 30 s, each attempt first
// probed off the UI thread. Picking another port, changing its entry or opening it by hand
// stops the waiting.

#include "ports/device_monitor.h"
#include "remote/connect.h"

#include <QObject>
#include <QTimer>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

class TComPort;
class QSocketNotifier;

class PortReconnect : public QObject {
    Q_OBJECT
public:
    using DeviceList = std::function<std::vector<quillmark::ports::SerialDevice>()>;
    static constexpr std::chrono::seconds kFirstRetry{1};
    static constexpr std::chrono::seconds kLongestRetry{30};

    // monitor may be null: then no device is ever reopened.
    PortReconnect(TComPort& port, std::unique_ptr<quillmark::ports::DeviceMonitor> monitor,
                  QObject* parent = nullptr);
    ~PortReconnect() override;

    void setMonitor(std::unique_ptr<quillmark::ports::DeviceMonitor> monitor);
    // Where the identity of the port's device is looked up (udev unless a test says).
    void setDeviceList(DeviceList devices) { devices_ = std::move(devices); }
    // Tests shorten the retries of a network port; 0 keeps the real ones.
    void setRetryUnit(std::chrono::milliseconds unit) { retryUnit_ = unit; }

    // The port opened: remember which adapter it reached. Looking the adapter up in udev
    // takes milliseconds; with later set, it waits for identifyAdapter() (or a hang-up).
    enum class Lookup { now, later };
    void portOpened(Lookup lookup = Lookup::now);
    // Runs a lookup that portOpened left for later; nothing otherwise.
    void identifyAdapter();
    // The port hung up: wait for its device or its server.
    void portHungUp();
    // The entry or the pick changed: nothing is awaited any more.
    void cancel();

    // The name awaited (link target, default device, the port's own path or the endpoint);
    // empty when nothing is awaited.
    [[nodiscard]] const std::string& awaited() const { return awaited_; }
    // Why a hang-up of the port would not be followed by a reopen; empty when it would.
    [[nodiscard]] const std::string& notReopenedBecause() const { return notReopened_; }
    [[nodiscard]] std::chrono::milliseconds nextRetry() const { return retry_; }

signals:
    void reopened();

private:
    struct Target {
        std::string device;   // the name to match ("" for a network entry)
        std::string entry;    // what the port's entry named at the time
        std::string endpoint; // a network port's endpoint text
    };

    void takeEvents();
    void stopWaiting();
    void scheduleRetry();
    void probeServer();
    void probeEnded(bool reachable);
    void reopen();
    [[nodiscard]] Target targetOfPort() const;
    [[nodiscard]] bool stillWanted() const;
    [[nodiscard]] bool isTheDevice(const quillmark::ports::DeviceEvent& event) const;
    [[nodiscard]] std::vector<quillmark::ports::SerialDevice> listDevices() const;

    TComPort& port_;
    std::unique_ptr<quillmark::ports::DeviceMonitor> monitor_;
    std::unique_ptr<QSocketNotifier> notifier_;
    DeviceList devices_;
    std::string awaited_;
    std::string awaitedPort_; // the port's name when it hung up
    std::string awaitedEntry_;
    std::optional<quillmark::ports::DeviceIdentity> identity_; // of the adapter last opened
    std::string openedEntry_;                                  // its entry at the time
    std::string openedDevice_; // the device name to look up, while its lookup is pending
    std::string notReopened_;
    QTimer retryTimer_;
    std::chrono::milliseconds retry_{0};
    std::chrono::milliseconds retryUnit_{0};
    std::thread probe_;
    quillmark::remote::Cancellation probeCancel_;
};
