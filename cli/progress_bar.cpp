#include "progress_bar.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace flickbook::cli {

namespace {

bool onTerminal() {
    const char* term = std::getenv("TERM");
    return ::isatty(STDERR_FILENO) && term && std::strcmp(term, "dumb") != 0;
}

} // namespace

ProgressBar::ProgressBar(std::string label) : label_(std::move(label)), enabled_(onTerminal()) {}

ProgressBar::~ProgressBar() {
    finish();
}

void ProgressBar::update(double fraction) {
    if (!enabled_)
        return;
    const int percent = int(std::clamp(fraction, 0.0, 1.0) * 100);
    if (percent == lastPercent_)
        return;
    lastPercent_ = percent;
    constexpr int kWidth = 30;
    const int filled = percent * kWidth / 100;
    std::string bar(std::size_t(filled), '#');
    bar.append(std::size_t(kWidth - filled), ' ');
    std::fprintf(stderr, "\r%s [%s] %3d%%", label_.c_str(), bar.c_str(), percent);
    std::fflush(stderr);
    drawn_ = true;
}

void ProgressBar::finish() {
    if (drawn_) {
        std::fputs("\r\033[K", stderr);
        std::fflush(stderr);
        drawn_ = false;
    }
}

} // namespace flickbook::cli
