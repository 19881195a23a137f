#pragma once

// A progress bar on standard error, drawn only when standard error is a terminal, so that
// scripts and logs see nothing but the result.

#include <cstdio>

namespace quillmark::cli {

class ProgressBar {
public:
    ProgressBar(int total, std::FILE* stream = stderr);
    ~ProgressBar(); // clears the bar
    ProgressBar(const ProgressBar&) = delete;
    ProgressBar& operator=(const ProgressBar&) = delete;

    void advance(int amount);

private:
    void draw();

    std::FILE* stream_;
    bool shown_;
    int total_;
    int done_ = 0;
    int drawnPercent_ = -1;
};

} // namespace quillmark::cli
