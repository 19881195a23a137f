#include "progress_bar.h"

#include <algorithm>
#include <sys/ioctl.h>
#include <unistd.h>

namespace quillmark::cli {

namespace {

constexpr int kUnknownWidth = 80;
constexpr int kShortestBar = 5;

int terminalColumns(std::FILE* stream) {
    winsize size{};
    if (::ioctl(::fileno(stream), TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
        return size.ws_col;
    return kUnknownWidth;
}

} // namespace

std::string progressLine(const std::string& label, int percent, int columns) {
    const int room = std::max(columns - 1, 0); // the last column would wrap on some terminals
    char tail[8];
    std::snprintf(tail, sizeof tail, " %3d%%", percent);
    const int barWidth = room - static_cast<int>(label.size()) - 3 - 5; // " [" "]" " 100%"
    std::string line = label;
    if (barWidth >= kShortestBar) {
        const int filled = percent * barWidth / 100;
        line += " [" + std::string(static_cast<std::size_t>(filled), '#') +
                std::string(static_cast<std::size_t>(barWidth - filled), '-') + "]";
    }
    line += tail;
    return line.substr(0, static_cast<std::size_t>(room));
}

ProgressBar::ProgressBar(std::FILE* stream)
    : stream_(stream), shown_(::isatty(::fileno(stream)) == 1) {}

ProgressBar::~ProgressBar() {
    if (shown_ && drawnPercent_ >= 0) {
        std::fputs("\r\033[K", stream_);
        std::fflush(stream_);
    }
}

void ProgressBar::begin(std::string label, int total) {
    label_ = std::move(label);
    total_ = std::max(total, 1);
    done_ = 0;
    drawnPercent_ = -1;
    draw();
}

void ProgressBar::advance(int amount) {
    done_ = std::min(done_ + amount, total_);
    draw();
}

void ProgressBar::draw() {
    if (!shown_)
        return;
    const int percent = done_ * 100 / total_;
    if (percent == drawnPercent_)
        return;
    drawnPercent_ = percent;
    // Clearing first: a terminal made narrower since the last draw keeps no stale tail.
    std::fprintf(stream_, "\r\033[K%s",
                 progressLine(label_, percent, terminalColumns(stream_)).c_str());
    std::fflush(stream_);
}

} // namespace quillmark::cli
