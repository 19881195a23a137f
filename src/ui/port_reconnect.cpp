#include "port_reconnect.h"

#include "core/port_setting.h"
#include "ports/port_entries.h"
#include "serial/comport.h"

#include <QSocketNotifier>

using quillmark::ports::DeviceEvent;
using quillmark::ports::PortEntry;

PortReconnect::PortReconnect(TComPort& port,
                             std::unique_ptr<quillmark::ports::DeviceMonitor> monitor,
                             QObject* parent)
    : QObject(parent), port_(port) {
    setMonitor(std::move(monitor));
}

PortReconnect::~PortReconnect() = default;

void PortReconnect::setMonitor(std::unique_ptr<quillmark::ports::DeviceMonitor> monitor) {
    notifier_.reset();
    monitor_ = std::move(monitor);
    if (!monitor_)
        return;
    notifier_ = std::make_unique<QSocketNotifier>(monitor_->descriptor(), QSocketNotifier::Read);
    notifier_->setEnabled(!awaited_.empty());
    connect(notifier_.get(), &QSocketNotifier::activated, this, &PortReconnect::takeEvents);
}

// The name udev will announce again: what the COMn entry links to, the default device, or
// a path given as the port's name. A network entry has no udev device.
std::string PortReconnect::deviceNameOfPort() const {
    const std::string& name = port_.DeviceName();
    const auto n = quillmark::ports::comNumber(name);
    if (!n)
        return name;
    const PortEntry entry = quillmark::ports::readPortEntry(quillmark::configDirectory(), *n);
    if (entry.kind == PortEntry::Kind::Default || entry.kind == PortEntry::Kind::Link)
        return entry.target;
    return {};
}

void PortReconnect::portHungUp() {
    if (!monitor_ || port_.Active())
        return;
    // Announcements from before the hang-up are about the device that just went.
    while (monitor_->receive()) {
    }
    awaited_ = deviceNameOfPort();
    awaitedPort_ = port_.DeviceName();
    notifier_->setEnabled(!awaited_.empty());
}

void PortReconnect::stopWaiting() {
    awaited_.clear();
    if (notifier_)
        notifier_->setEnabled(false);
}

void PortReconnect::takeEvents() {
    bool back = false;
    while (auto event = monitor_->receive())
        back = back || ((event->action == DeviceEvent::Action::Added ||
                         event->action == DeviceEvent::Action::Changed) &&
                        event->names(awaited_));
    if (awaited_.empty())
        return;
    if (port_.Active() || port_.DeviceName() != awaitedPort_) {
        stopWaiting(); // the user opened it, or chose another port, meanwhile
        return;
    }
    if (!back)
        return;
    try {
        port_.SetActive(true);
    } catch (const std::exception&) {
        return; // not usable yet (rules still running): the next announcement tries again
    }
    stopWaiting();
    emit reopened();
}
