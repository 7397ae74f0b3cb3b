#pragma once
// The command line's progress display: one line on stderr, redrawn at most every
// 100 ms, and only when stderr is a terminal.
#include <chrono>
#include <map>
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

  private:
    void Redraw(bool force);

    bool enabled_;
    bool drawn_ = false;
    int headlineSlot_ = 0;
    std::map<int, std::string> texts_;
    std::uint64_t low_ = 0;
    std::uint64_t high_ = 100;
    std::uint64_t position_ = 0;
    std::uint64_t step_ = 1;
    std::chrono::steady_clock::time_point lastDraw_{};
};

}  // namespace tarvik::cli
