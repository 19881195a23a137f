#pragma once

// Reading the system's font configuration is a fifth of the start-up, and the first caption
// the window measures waits for it. It is read on another core while the application
// connects to the display.

#include <thread>

class FontWarmUp {
public:
    FontWarmUp();
    ~FontWarmUp();
    FontWarmUp(const FontWarmUp&) = delete;
    FontWarmUp& operator=(const FontWarmUp&) = delete;

    // Before the first widget: two threads reading it at once would both do the whole work.
    void finish();

private:
    std::thread thread_;
};
