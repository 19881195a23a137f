// The Spanish texts of the diagnosis: what the user sees in the port dialog and under the
// error of a failed open.

#include "ports/diagnosis.h"

#include <algorithm>

namespace quillmark::ports {

namespace {

[[nodiscard]] std::string shownName(const Diagnosis& d) {
    return d.node.empty() ? d.target : d.node;
}

[[nodiscard]] std::string processList(const std::vector<ProcessInfo>& processes) {
    std::string text;
    for (std::size_t i = 0; i < processes.size(); ++i) {
        if (i > 0)
            text += i + 1 == processes.size() ? " y " : ", ";
        text += processes[i].program + " (pid " + std::to_string(processes[i].pid) + ")";
    }
    return text;
}

[[nodiscard]] bool among(const std::vector<ProcessInfo>& processes, const std::string& program) {
    return std::any_of(processes.begin(), processes.end(),
                       [&](const ProcessInfo& p) { return p.program == program; });
}

// A udev rule without match keys would apply to every device: offered only with the USB ids.
[[nodiscard]] std::string modemManagerAdvice(const Diagnosis& d) {
    std::string text = "ModemManager abre los adaptadores serie nuevos para ver si son módems. "
                       "Si no usa módems, desactívelo:\n"
                       "    sudo systemctl stop ModemManager\n"
                       "    sudo systemctl mask ModemManager";
    if (!d.device || !d.device->isUsb() || d.device->productId.empty())
        return text;
    return text +
           "\no haga que no toque este adaptador con una regla de udev, por ejemplo en "
           "/etc/udev/rules.d/99-quillmark.rules:\n    ATTRS{idVendor}==\"" +
           d.device->vendorId + "\", ATTRS{idProduct}==\"" + d.device->productId +
           "\", ENV{ID_MM_DEVICE_IGNORE}=\"1\"";
}

[[nodiscard]] std::string brlttyAdvice() {
    return "brltty (el servicio de las líneas Braille) se queda con algunos adaptadores USB "
           "serie. Si no usa una línea Braille, desinstálelo:\n"
           "    sudo apt remove brltty";
}

// Advice for each known grabber among the processes, one paragraph each.
[[nodiscard]] std::string grabberAdvice(const Diagnosis& d,
                                        const std::vector<ProcessInfo>& processes) {
    std::string text;
    if (among(processes, "ModemManager"))
        text += "\n" + modemManagerAdvice(d);
    if (among(processes, "brltty"))
        text += "\n" + brlttyAdvice();
    return text;
}

[[nodiscard]] std::string explainPermission(const Diagnosis& d) {
    const std::string name = shownName(d);
    if (d.groupIsRoot || d.group.empty())
        return "No tiene permiso para usar " + name +
               ": solo root puede abrirlo. Una regla de udev que lo asigne al grupo "
               "«dialout» lo resuelve.";
    if (d.joinedButNotInSession)
        return "No tiene permiso para usar " + name +
               " en esta sesión: su usuario ya está en "
               "el grupo «" +
               d.group +
               "», pero la sesión empezó antes. Cierre la sesión y "
               "vuelva a entrar.";
    return "No tiene permiso para usar " + name + ": el dispositivo es del grupo «" + d.group +
           "» y su usuario no está en él. Añádalo con la orden\n"
           "    sudo usermod -aG " +
           d.group +
           " \"$USER\"\n"
           "y después cierre la sesión y vuelva a entrar: el grupo nuevo solo vale en una "
           "sesión nueva.";
}

[[nodiscard]] std::string explainBusy(const Diagnosis& d) {
    const std::string name = shownName(d);
    if (!d.holders.empty()) {
        std::string text = name + " está en uso por " + processList(d.holders) + ".";
        const std::string advice = grabberAdvice(d, d.holders);
        if (!advice.empty())
            return text + advice;
        return text + (d.heldHere && d.holders.size() == 1
                           ? " Este mismo programa lo tiene abierto."
                           : " Cierre ese programa y vuelva a elegir el puerto.");
    }
    std::string text = name + " está en uso por otro programa.";
    if (d.suspects.empty())
        return text + " Cierre el programa que lo usa y vuelva a elegir el puerto.";
    return text + " Está en marcha " + processList(d.suspects) +
           ", que suele quedarse con los adaptadores serie." + grabberAdvice(d, d.suspects);
}

[[nodiscard]] std::string explainMissing(const Diagnosis& d, const std::string& portName) {
    const std::string name = shownName(d);
    if (d.node.rfind("/dev/ttyS", 0) == 0)
        return name + ": el equipo no tiene ningún puerto serie en esa dirección.";
    std::string text = name + " no está conectado.";
    if (d.suggestions.empty())
        return text + " Conecte el adaptador y vuelva a elegir el puerto.";
    const std::string port = portName.empty() ? std::string("el puerto") : portName;
    text += " Nombres como /dev/ttyUSB0 cambian al volver a conectar el adaptador: enlace " + port +
            " a su nombre estable en «Acciones» > «Puertos serie...»";
    text += d.suggestions.size() == 1 ? ":" : ", uno de estos:";
    for (const auto& suggestion : d.suggestions)
        text += "\n    " + suggestion;
    return text;
}

} // namespace

std::string explain(const Diagnosis& diagnosis, const std::string& portName) {
    switch (diagnosis.state) {
    case PortState::NoPermission:
        return explainPermission(diagnosis);
    case PortState::Busy:
        return explainBusy(diagnosis);
    case PortState::Missing:
        return explainMissing(diagnosis, portName);
    case PortState::Free:
    case PortState::Failed:
        break;
    }
    return {};
}

std::string stateText(const Diagnosis& diagnosis) {
    switch (diagnosis.state) {
    case PortState::Free:
        return "libre";
    case PortState::Busy:
        if (diagnosis.heldHere && diagnosis.holders.size() == 1)
            return "en uso por este programa";
        if (diagnosis.holders.empty())
            return "en uso";
        return "en uso por " + processList(diagnosis.holders);
    case PortState::NoPermission:
        return "sin permiso";
    case PortState::Missing:
        return "no conectado";
    case PortState::Failed:
        break;
    }
    return "error";
}

} // namespace quillmark::ports
