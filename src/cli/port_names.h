#pragma once

// How the tool names a port in its messages, and what it advises when one will not open.

#include "ports/diagnosis.h"

#include <string>
#include <vector>

namespace quillmark::cli {

// This machine's /proc and serial devices; without udev the device list stays unknown.
[[nodiscard]] ports::DiagnosisContext systemDiagnosisContext();

// "COM3 (/dev/ttyS2)", "COM4 (rfc2217://host:7000)"; any other name as it is.
[[nodiscard]] std::string portLabel(const std::string& port);

// The window's explanation of why the port's device will not open, one line each; empty
// for a network port or when nothing is known to be wrong. Nothing is opened.
[[nodiscard]] std::vector<std::string> openFailureHints(const std::string& port);

} // namespace quillmark::cli
