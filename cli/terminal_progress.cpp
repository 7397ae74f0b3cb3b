#include "cli/terminal_progress.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>

#include "partition/drive_size_text.h"

namespace tarvik::cli {

namespace {

constexpr std::uint64_t kSectorBytes = 512;

std::size_t TerminalColumns() {
    winsize size{};
    if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
    return 80;
}

// Columns a code point takes: two for the wide East Asian and emoji blocks, none for
// combining marks, one otherwise.
std::size_t ColumnsOf(char32_t c) {
    if ((c >= 0x300 && c <= 0x36F) || (c >= 0x200B && c <= 0x200F)) return 0;
    if ((c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0xA4CF) ||
        (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF) ||
        (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFF60) ||
        (c >= 0xFFE0 && c <= 0xFFE6) || (c >= 0x1F300 && c <= 0x1FAFF) ||
        (c >= 0x20000 && c <= 0x3FFFD))
        return 2;
    return 1;
}

std::string DurationText(std::uint64_t seconds) {
    char text[32];
    if (seconds >= 3600) {
        std::snprintf(text, sizeof text, "%lluh%02llum",
                      static_cast<unsigned long long>(seconds / 3600),
                      static_cast<unsigned long long>(seconds / 60 % 60));
    } else {
        std::snprintf(text, sizeof text, "%llum%02llus",
                      static_cast<unsigned long long>(seconds / 60),
                      static_cast<unsigned long long>(seconds % 60));
    }
    return text;
}

}  // namespace

std::string AmountText(std::uint64_t bytes) {
    if (bytes >= (1ull << 30)) return DecimalFigure(bytes, 1ull << 30) + " GB";
    if (bytes >= (1ull << 20)) return DecimalFigure(bytes, 1ull << 20) + " MB";
    return DecimalFigure(bytes, 1024) + " KB";
}

std::string TerminalProgress::FitToColumns(const std::string& text, std::size_t columns) {
    std::size_t used = 0;
    std::size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        std::size_t length = lead < 0x80    ? 1
                             : lead >= 0xF0 ? 4
                             : lead >= 0xE0 ? 3
                             : lead >= 0xC0 ? 2
                                            : 1;
        if (i + length > text.size()) break;  // a character cut off already: dropped
        char32_t c = length == 1 ? lead : lead & (0x7F >> length);
        for (std::size_t k = 1; k < length; ++k)
            c = (c << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
        const std::size_t width = lead < 0x20 ? 0 : ColumnsOf(c);
        if (used + width > columns) break;
        used += width;
        i += length;
    }
    return text.substr(0, i);
}

TerminalProgress::TerminalProgress() : enabled_(::isatty(STDERR_FILENO) == 1) {}

TerminalProgress::~TerminalProgress() {
    Finish();
}

void TerminalProgress::CountBytes(std::uint64_t totalBytes) {
    totalBytes_ = totalBytes;
    finishedSectors_ = 0;
    started_ = std::chrono::steady_clock::now();
}

void TerminalProgress::SetText(int slot, const std::string& text) {
    texts_[slot] = text;
    Redraw(slot == headlineSlot_);
}

void TerminalProgress::SetRange(std::uint64_t low, std::uint64_t high) {
    if (totalBytes_) finishedSectors_ += position_ - std::min(position_, low_);
    low_ = low;
    high_ = high;
    position_ = low;
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

std::string TerminalProgress::BytesPart() const {
    const std::uint64_t total = *totalBytes_;
    const std::uint64_t done =
        std::min(total, (finishedSectors_ + position_ - std::min(position_, low_)) * kSectorBytes);
    std::string part = AmountText(done) + " of " + AmountText(total);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started_).count();
    if (seconds >= 1.0 && done > 0) {
        const double rate = static_cast<double>(done) / seconds;
        part += ", " + AmountText(static_cast<std::uint64_t>(rate)) + "/s, " +
                DurationText(static_cast<std::uint64_t>(static_cast<double>(total - done) / rate)) +
                " left";
    }
    return part;
}

void TerminalProgress::Redraw(bool force) {
    if (!enabled_) return;
    const auto now = std::chrono::steady_clock::now();
    if (!force && now - lastDraw_ < std::chrono::milliseconds(100)) return;
    lastDraw_ = now;
    std::string line;
    if (totalBytes_) {
        line = BytesPart();
    } else {
        const double span = high_ > low_ ? static_cast<double>(high_ - low_) : 1.0;
        const double done = static_cast<double>(position_ - std::min(position_, low_));
        line = std::to_string(static_cast<int>(std::min(100.0, 100.0 * done / span))) + "%";
    }
    const std::string& headline = texts_[headlineSlot_];
    if (!headline.empty()) line += "  " + headline;
    for (const auto& [slot, text] : texts_) {
        if (slot == headlineSlot_ || text.empty()) continue;
        const auto label = labels_.find(slot);
        line += "  " + (label == labels_.end() ? text : label->second + " " + text);
    }
    // One column is left free: a line that fills the last column wraps on some terminals.
    const std::size_t columns = TerminalColumns();
    line = FitToColumns(line, columns > 1 ? columns - 1 : 1);
    std::fprintf(stderr, "\r\033[K%s", line.c_str());
    std::fflush(stderr);
    drawn_ = true;
}

}  // namespace tarvik::cli
