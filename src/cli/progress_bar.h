#pragma once

// A labelled progress bar on standard error, drawn only when standard error is a terminal,
// so that scripts and logs see nothing but the result. It is sized to the terminal each
// time it is drawn and never reaches the last column, so it never wraps.

#include <cstdio>
#include <string>

namespace quillmark::cli {

class ProgressBar {
public:
    explicit ProgressBar(std::FILE* stream = stderr);
    ~ProgressBar(); // clears the bar
    ProgressBar(const ProgressBar&) = delete;
    ProgressBar& operator=(const ProgressBar&) = delete;

    // A new step: "Leyendo", "Programando", "Verificando".
    void begin(std::string label, int total);
    void advance(int amount);

private:
    void draw();

    std::FILE* stream_;
    bool shown_;
    std::string label_;
    int total_ = 1;
    int done_ = 0;
    int drawnPercent_ = -1;
};

// The line drawn for a step, at most columns - 1 characters.
[[nodiscard]] std::string progressLine(const std::string& label, int percent, int columns);

} // namespace quillmark::cli
