#include "progress_bar.h"

#include <algorithm>
#include <string>
#include <unistd.h>

namespace quillmark::cli {

namespace {

constexpr int kWidth = 40;

} // namespace

ProgressBar::ProgressBar(int total, std::FILE* stream)
    : stream_(stream), shown_(::isatty(::fileno(stream)) == 1), total_(std::max(total, 1)) {
    draw();
}

ProgressBar::~ProgressBar() {
    if (shown_ && drawnPercent_ >= 0) {
        std::fputs("\r\033[K", stream_);
        std::fflush(stream_);
    }
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
    const int filled = done_ * kWidth / total_;
    const std::string bar = std::string(static_cast<std::size_t>(filled), '#') +
                            std::string(static_cast<std::size_t>(kWidth - filled), '-');
    std::fprintf(stream_, "\r[%s] %3d%%", bar.c_str(), percent);
    std::fflush(stream_);
}

} // namespace quillmark::cli
