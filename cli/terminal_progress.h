#pragma once
// The command line's progress display: one line on stderr, redrawn at most every
// 100 ms and only when stderr is a terminal, never wider than the terminal (its width
// is asked at each redraw, so a resize is followed) and never cut inside a character.
#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <string>

#include "common/reporting.h"

namespace tarvik::cli {

class TerminalProgress final : public ProgressSink {
  public:
    TerminalProgress();
    ~TerminalProgress() override;

    void SetText(int slot, const std::string& text) override;
    void SetRange(std::uint64_t low, std::uint64_t high) override;
    void SetPosition(std::uint64_t position) override;
    void SetStep(std::uint64_t step) override;
    void StepIt() override;
    // Clears the line so that later messages start on a clean line.
    void Finish();

    // The slot whose text leads the line (the phase or status line).
    void SetHeadlineSlot(int slot) { headlineSlot_ = slot; }
    // A word shown before a slot's text ("files 12").
    void SetLabel(int slot, std::string label) { labels_[slot] = std::move(label); }
    // Counts a recovery's bytes: each range is one file of that many 512-byte sectors,
    // and the line shows the bytes done of this total, the rate and the time left.
    void CountBytes(std::uint64_t totalBytes);

    // The text cut to at most `columns` terminal columns, on a character boundary.
    static std::string FitToColumns(const std::string& text, std::size_t columns);

  private:
    void Redraw(bool force);
    std::string BytesPart() const;

    bool enabled_;
    bool drawn_ = false;
    int headlineSlot_ = 0;
    std::map<int, std::string> texts_;
    std::map<int, std::string> labels_;
    std::uint64_t low_ = 0;
    std::uint64_t high_ = 100;
    std::uint64_t position_ = 0;
    std::uint64_t step_ = 1;
    std::optional<std::uint64_t> totalBytes_;
    std::uint64_t finishedSectors_ = 0;  // of the files before the current one
    std::chrono::steady_clock::time_point started_ = std::chrono::steady_clock::now();
    std::chrono::steady_clock::time_point lastDraw_{};
};

// "1.50 MB" style amounts for the progress line.
std::string AmountText(std::uint64_t bytes);

}  // namespace tarvik::cli
