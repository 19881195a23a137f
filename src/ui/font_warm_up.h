#pragma once

// Reading the system's font configuration and building the toolkit's font list are a
// quarter of the start-up, and the first caption the window measures waits for them. Both
// run on another core: the configuration while the application connects to the display,
// the font list while the window is being built.

#include <thread>

class FontWarmUp {
public:
    FontWarmUp(); // before QApplication
    ~FontWarmUp();
    FontWarmUp(const FontWarmUp&) = delete;
    FontWarmUp& operator=(const FontWarmUp&) = delete;

    // Once QApplication is built. The thread ends before this object is destroyed, so
    // create this object after QApplication.
    class FontList {
    public:
        explicit FontList(FontWarmUp& configuration);
        ~FontList();
        FontList(const FontList&) = delete;
        FontList& operator=(const FontList&) = delete;

    private:
        std::thread configuration_;
        std::thread thread_;
    };

private:
    std::thread thread_;
};
