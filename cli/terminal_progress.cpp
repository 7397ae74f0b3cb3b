#include "cli/terminal_progress.h"

#include <unistd.h>

#include <cstdio>

namespace tarvik::cli {

TerminalProgress::TerminalProgress() : enabled_(::isatty(STDERR_FILENO) == 1) {}

TerminalProgress::~TerminalProgress() {
    Finish();
}

void TerminalProgress::SetText(int slot, const std::string& text) {
    texts_[slot] = text;
    Redraw(slot == headlineSlot_);
}

void TerminalProgress::SetRange(std::uint64_t low, std::uint64_t high) {
    low_ = low;
    high_ = high;
    Redraw(false);
}

void TerminalProgress::SetPosition(std::uint64_t position) {
    position_ = position;
    Redraw(false);
}

void TerminalProgress::SetStep(std::uint64_t step) {
    step_ = step;
}

void TerminalProgress::StepIt() {
    position_ += step_;
    if (position_ > high_) position_ = low_;  // a progress bar wraps like this too
    Redraw(false);
}

void TerminalProgress::Finish() {
    if (enabled_ && drawn_) std::fputs("\r\033[K", stderr);
    drawn_ = false;
}

void TerminalProgress::Redraw(bool force) {
    if (!enabled_) return;
    const auto now = std::chrono::steady_clock::now();
    if (!force && now - lastDraw_ < std::chrono::milliseconds(100)) return;
    lastDraw_ = now;
    const double span = high_ > low_ ? static_cast<double>(high_ - low_) : 1.0;
    const int percent = static_cast<int>(100.0 * static_cast<double>(position_ - low_) / span);
    std::string line = texts_[headlineSlot_];
    for (const auto& [slot, text] : texts_) {
        if (slot != headlineSlot_ && !text.empty()) line += "  " + text;
    }
    std::fprintf(stderr, "\r\033[K%3d%%  %s", percent, line.substr(0, 150).c_str());
    std::fflush(stderr);
    drawn_ = true;
}

}  // namespace tarvik::cli
