#include "font_warm_up.h"

#include <fontconfig/fontconfig.h>

#include <system_error>

FontWarmUp::FontWarmUp() {
    try {
        thread_ = std::thread([] { static_cast<void>(FcInit()); });
    } catch (const std::system_error&) {
        // No thread: the toolkit reads it itself when it first needs it.
    }
}

FontWarmUp::~FontWarmUp() {
    finish();
}

void FontWarmUp::finish() {
    if (thread_.joinable())
        thread_.join();
}
