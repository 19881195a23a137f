#include "port_reconnect.h"

#include "core/port_setting.h"
#include "ports/port_entries.h"
#include "remote/endpoint.h"
#include "remote/remote_link.h"
#include "serial/comport.h"

#include <QSocketNotifier>

#include <algorithm>

#include <unistd.h>

using quillmark::ports::DeviceEvent;
using quillmark::ports::PortEntry;
namespace ports = quillmark::ports;
namespace remote = quillmark::remote;

PortReconnect::PortReconnect(TComPort& port, std::unique_ptr<ports::DeviceMonitor> monitor,
                             QObject* parent)
    : QObject(parent), port_(port) {
    retryTimer_.setSingleShot(true);
    connect(&retryTimer_, &QTimer::timeout, this, &PortReconnect::probeServer);
    setMonitor(std::move(monitor));
}

PortReconnect::~PortReconnect() {
    probeCancel_.cancel();
    if (probe_.joinable())
        probe_.join();
}

void PortReconnect::setMonitor(std::unique_ptr<ports::DeviceMonitor> monitor) {
    notifier_.reset();
    monitor_ = std::move(monitor);
    if (!monitor_)
        return;
    notifier_ = std::make_unique<QSocketNotifier>(monitor_->descriptor(), QSocketNotifier::Read);
    notifier_->setEnabled(!awaited_.empty());
    connect(notifier_.get(), &QSocketNotifier::activated, this, &PortReconnect::takeEvents);
}

std::vector<ports::SerialDevice> PortReconnect::listDevices() const {
    try {
        if (devices_)
            return devices_();
        return ports::discoverSerialDevices(*ports::systemTtyEnumerator());
    } catch (const std::exception&) {
        return {}; // without udev no adapter is known, so none is reopened
    }
}

// What the port reaches now: the name udev announces, the entry's own text, and for a
// device server its endpoint.
PortReconnect::Target PortReconnect::targetOfPort() const {
    const std::string& name = port_.DeviceName();
    if (remote::hasEndpointScheme(name))
        return {{}, name, name};
    const auto n = ports::comNumber(name);
    if (!n)
        return {name, name, {}};
    const PortEntry entry = ports::readPortEntry(quillmark::configDirectory(), *n);
    switch (entry.kind) {
    case PortEntry::Kind::Default:
    case PortEntry::Kind::Link:
        return {entry.target, entry.target, {}};
    case PortEntry::Kind::Network:
        return {{}, entry.target, entry.target};
    case PortEntry::Kind::Other:
        break;
    }
    return {{}, entry.target, {}};
}

void PortReconnect::portOpened(Lookup lookup) {
    identity_.reset();
    notReopened_.clear();
    const Target target = targetOfPort();
    openedEntry_ = target.entry;
    openedDevice_ = target.device;
    if (lookup == Lookup::now)
        identifyAdapter();
}

void PortReconnect::identifyAdapter() {
    if (openedDevice_.empty())
        return;
    const auto devices = listDevices();
    const ports::SerialDevice* device = ports::findDevice(devices, openedDevice_);
    openedDevice_.clear();
    if (device == nullptr) {
        notReopened_ = "udev no conoce el adaptador";
    } else if (ports::hasTwin(devices, *device)) {
        notReopened_ = "hay otro adaptador igual (mismo fabricante, modelo y número de serie)";
    } else if (ports::identityOf(*device).empty()) {
        notReopened_ = "el adaptador no tiene número de serie ni posición conocida";
    } else {
        identity_ = ports::identityOf(*device);
    }
}

void PortReconnect::portHungUp() {
    if (port_.Active())
        return;
    identifyAdapter();
    stopWaiting();
    const Target target = targetOfPort();
    awaitedPort_ = port_.DeviceName();
    awaitedEntry_ = target.entry;
    if (!target.endpoint.empty()) {
        awaited_ = target.endpoint;
        scheduleRetry();
        return;
    }
    if (!monitor_)
        return;
    // Announcements from before the hang-up are about the device that just went.
    while (monitor_->receive()) {
    }
    // An adapter not told apart from others, or another entry since the open: not reopened.
    if (!identity_ || openedEntry_ != target.entry || target.device.empty())
        return;
    awaited_ = target.device;
    notifier_->setEnabled(true);
}

void PortReconnect::cancel() {
    stopWaiting();
}

void PortReconnect::stopWaiting() {
    awaited_.clear();
    if (notifier_)
        notifier_->setEnabled(false);
    retryTimer_.stop();
    retry_ = std::chrono::milliseconds{0};
    probeCancel_.cancel();
}

// The user opened it, chose another port or changed its entry meanwhile: not ours to reopen.
bool PortReconnect::stillWanted() const {
    return !port_.Active() && port_.DeviceName() == awaitedPort_ &&
           targetOfPort().entry == awaitedEntry_;
}

bool PortReconnect::isTheDevice(const DeviceEvent& event) const {
    if (event.action != DeviceEvent::Action::Added && event.action != DeviceEvent::Action::Changed)
        return false;
    return identity_ && event.names(awaited_) &&
           ports::identityOf(ports::toSerialDevice(event.device)) == *identity_;
}

void PortReconnect::takeEvents() {
    bool back = false;
    while (auto event = monitor_->receive())
        back = back || isTheDevice(*event);
    if (awaited_.empty())
        return;
    if (!stillWanted()) {
        stopWaiting();
        return;
    }
    if (back)
        reopen();
}

void PortReconnect::reopen() {
    const bool network = retry_.count() > 0;
    try {
        port_.SetActive(true);
    } catch (const std::exception&) {
        // A device may not be usable yet (rules still running): the next announcement tries
        // again; a server gets the next attempt later.
        if (network)
            scheduleRetry();
        return;
    }
    stopWaiting();
    portOpened();
    emit reopened();
}

void PortReconnect::scheduleRetry() {
    retry_ = retry_.count() == 0 ? std::chrono::milliseconds(kFirstRetry)
                                 : std::min<std::chrono::milliseconds>(retry_ * 2, kLongestRetry);
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(retry_).count();
    retryTimer_.start(retryUnit_.count() > 0 ? retryUnit_ * seconds : retry_);
}

// A connection attempt of its own, off the UI thread: the port is opened (and the window
// says "Conectando con...") only once the server answers.
void PortReconnect::probeServer() {
    if (awaited_.empty() || !stillWanted()) {
        stopWaiting();
        return;
    }
    const auto endpoint = remote::parseEndpoint(awaited_);
    if (!endpoint) {
        stopWaiting();
        return;
    }
    if (probe_.joinable())
        probe_.join();
    probeCancel_.reset();
    probe_ = std::thread([this, e = *endpoint] {
        const auto connected = remote::connectTo(e, remote::LinkTiming{}.connect, &probeCancel_);
        if (connected.fd >= 0)
            ::close(connected.fd);
        const bool reachable = connected.fd >= 0;
        QMetaObject::invokeMethod(
            this, [this, reachable] { probeEnded(reachable); }, Qt::QueuedConnection);
    });
}

void PortReconnect::probeEnded(bool reachable) {
    if (awaited_.empty())
        return;
    if (!stillWanted()) {
        stopWaiting();
        return;
    }
    if (reachable)
        reopen();
    else
        scheduleRetry();
}
