#pragma once

// The mapping of the component's line settings onto a termios record, apart from any device.

#include "serial/serial_platform.h"

#include <termios.h>

namespace quillmark::serial {

// Raw mode plus the requested settings over what the device reported; 0 or EINVAL for a
// setting the tty layer cannot express. The speed is left to the caller.
[[nodiscard]] int overlayLineSettings(termios& tio, const LineSettings& settings);

} // namespace quillmark::serial
