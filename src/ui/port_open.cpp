// The main window's side of the ports: opening with an explanation of a failure, the
// "Puertos serie..." dialog, and reopening when a lost device comes back.

#include "principal.h"

#include "core/port_setting.h"
#include "dialogs.h"
#include "network_wait.h"
#include "port_dialog.h"
#include "port_open_failure.h"
#include "port_reconnect.h"
#include "ports/diagnosis.h"
#include "ports/port_entries.h"
#include "remote/endpoint.h"
#include "serial/comport.h"

#include <algorithm>

namespace ports = quillmark::ports;

namespace {

// Stands in when udev cannot be reached: the dialog then shows the entries without devices.
class NoDevices : public ports::TtyEnumerator {
public:
    std::vector<ports::TtyRecord> ttyDevices() override {
        throw std::runtime_error("udev unavailable");
    }
};

[[nodiscard]] std::unique_ptr<ports::TtyEnumerator> deviceEnumerator() {
    try {
        return ports::systemTtyEnumerator();
    } catch (const std::exception&) {
        return std::make_unique<NoDevices>();
    }
}

[[nodiscard]] std::string openFailureExplanation(const std::string& name, int error) {
    if (error == 0)
        return {}; // the component's own message says it all
    const auto folder = quillmark::configDirectory();
    if (quillmark::remote::hasEndpointScheme(name))
        return {};
    if (const auto n = ports::comNumber(name);
        n && ports::readPortEntry(folder, *n).kind == ports::PortEntry::Kind::Network)
        return {}; // the network connection explains its own failures
    ports::DiagnosisContext context;
    try {
        context.devices = ports::discoverSerialDevices(*ports::systemTtyEnumerator());
        context.devicesKnown = true;
    } catch (const std::exception&) {
        // Without udev: no suggestions of stable names.
    }
    const auto diagnosis =
        ports::diagnoseOpenFailure(ports::resolvePortPath(folder, name), error, context);
    return ports::explain(diagnosis, name);
}

[[nodiscard]] std::unique_ptr<ports::DeviceMonitor> deviceMonitor() {
    try {
        return ports::systemDeviceMonitor();
    } catch (const std::exception&) {
        return nullptr; // no reconnecting without udev
    }
}

} // namespace

void TForm1::createPortReconnect() {
    Reconnect = new PortReconnect(*Comm1, deviceMonitor(), this);
    // Network ports connect off the UI thread from now on.
    new NetworkWaitScope(this);
}

void TForm1::openPort(PortReconnect::Lookup lookup) {
    try {
        Comm1->SetActive(true);
        Reconnect->portOpened(lookup);
    } catch (const EComError& e) {
        std::string explanation = openFailureExplanation(Comm1->DeviceName(), e.ErrorCode);
        if (explanation.empty())
            throw;
        throw PortOpenFailure(e, std::move(explanation));
    }
}

void TForm1::PuertosSerie1Click() {
    const auto devices = deviceEnumerator();
    PortDialog dialog(quillmark::configDirectory(), *devices, dialogs, this);
    dialog.setAppliedHandler([this](const std::vector<int>& changed) {
        guarded([this, &changed] { portEntriesChanged(changed); });
    });
    dialog.exec();
}

void TForm1::portEntriesChanged(const std::vector<int>& changed) {
    const auto n = ports::comNumber(Comm1->DeviceName());
    if (!n || std::find(changed.begin(), changed.end(), *n) == changed.end())
        return;
    // Also a port that failed to open before: the new entry may be the remedy. What was
    // awaited under the old entry is not the port's any more.
    Reconnect->cancel();
    Comm1->SetActive(false);
    openPort();
}
