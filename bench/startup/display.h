#pragma once

// Where the programs under test show their windows.

#include <string>
#include <sys/types.h>

namespace bench {

class Display {
public:
    // Uses $DISPLAY when set; otherwise starts Xvfb on a free display; without Xvfb falls
    // back to QT_QPA_PLATFORM=offscreen. Sets the environment for the children.
    Display();
    ~Display();
    Display(const Display&) = delete;
    Display& operator=(const Display&) = delete;

    [[nodiscard]] const std::string& description() const { return description_; }

private:
    pid_t xvfb_ = -1;
    std::string description_;
};

} // namespace bench
