#pragma once

// Why a port will not open, in terms a user can act on: no permission (the device's group
// and how to join it), busy (the programs holding it, with advice for ModemManager and
// brltty), or not connected (with the stable name to link instead of /dev/ttyUSBn).
//
//     DiagnosisContext context;                // the real /proc
//     context.devices = discoverSerialDevices(*systemTtyEnumerator());
//     context.devicesKnown = true;
//     Diagnosis why = diagnoseOpenFailure(path, errno, context);
//     std::cout << explain(why, "COM1") << '\n';
//
// Nothing here opens a device.

#include "ports/proc_table.h"
#include "ports/serial_devices.h"

#include <optional>
#include <string>
#include <vector>

namespace quillmark::ports {

enum class PortState {
    Free,         // there, usable, no holder seen
    Busy,         // another process holds it
    NoPermission, // this user may not open it
    Missing,      // nothing there: unplugged, or no UART at that address
    Failed,       // an open failed for another reason
};

struct DiagnosisContext {
    ProcTable proc;                    // where the holders are looked up
    std::vector<SerialDevice> devices; // discovery's list, for names and suggestions
    bool devicesKnown = false;         // devices is this machine's whole list
    int ownPid = 0;                    // this program's pid (0: the calling process)
};

struct Diagnosis {
    PortState state = PortState::Free;
    int error = 0;                      // errno of the failed open, 0 when only probed
    std::string path;                   // the name examined ("<config dir>/COM1", "/dev/ttyUSB0")
    std::string target;                 // what the path names: its link target, or the path itself
    std::string node;                   // the device reached, resolved; empty when missing
    std::string group;                  // NoPermission: the group that owns the node
    bool groupIsRoot = false;           // NoPermission: joining the group is no remedy
    bool joinedButNotInSession = false; // NoPermission: user in the group, login older
    std::vector<ProcessInfo> holders;   // Busy: the processes seen holding the node
    std::vector<ProcessInfo> suspects;  // Busy, no holder seen: ModemManager/brltty running
    bool heldHere = false;              // Busy: this program is among the holders
    std::optional<SerialDevice> device; // the discovered device reached, when known
    std::vector<std::string> suggestions; // Missing: stable names to link instead
};

// The state of a port's device without opening it. No holder seen means Free; another
// user's process holding it can only be seen by an open (diagnoseOpenFailure).
[[nodiscard]] Diagnosis probePort(const std::string& path, const DiagnosisContext& context);

// Why opening `path` failed with `error` (errno). Unknown errors give Failed.
[[nodiscard]] Diagnosis diagnoseOpenFailure(const std::string& path, int error,
                                            const DiagnosisContext& context);

// What the user can do, in Spanish, several lines with commands indented; empty for Free
// and Failed. portName ("COM1") names the port in advice; may be empty.
[[nodiscard]] std::string explain(const Diagnosis& diagnosis, const std::string& portName);

// A short Spanish state for a list: "libre", "en uso por ModemManager (812)", "sin permiso",
// "no conectado", "error".
[[nodiscard]] std::string stateText(const Diagnosis& diagnosis);

// Programs known to take serial adapters away from their users.
inline const std::vector<std::string> kKnownGrabbers{"ModemManager", "brltty"};

} // namespace quillmark::ports
