#pragma once
// The two channels through which the core talks to whoever drives it. The desktop
// program turns them into dialog updates and message boxes; the command line into a
// progress line and messages on stderr. The core never includes a GUI header.
#include <atomic>
#include <cstdint>
#include <string>

namespace tarvik {

// How much a long operation has to read in all, once it knows: for a scan, the MFT's
// records and their bytes.
struct WorkSize {
    std::uint64_t records = 0;
    std::uint64_t bytes = 0;
};

// Where a long operation shows its progress. A text's slot (ProgressSlot) says what it
// reports: the phase line, a counter, a status line.
class ProgressSink {
  public:
    virtual ~ProgressSink() = default;
    // Sinks that show only the current phase leave the size of the whole aside.
    virtual void SetWorkSize(const WorkSize&) {}
    virtual void SetText(int slot, const std::string& text) = 0;
    virtual void SetRange(std::uint64_t low, std::uint64_t high) = 0;
    virtual void SetPosition(std::uint64_t position) = 0;
    virtual void SetStep(std::uint64_t step) = 0;
    virtual void StepIt() = 0;
};

// A progress sink that shows nothing, for callers that do not care.
class NullProgressSink : public ProgressSink {
  public:
    void SetText(int, const std::string&) override {}
    void SetRange(std::uint64_t, std::uint64_t) override {}
    void SetPosition(std::uint64_t) override {}
    void SetStep(std::uint64_t) override {}
    void StepIt() override {}
};

enum class NoticeIcon { Information, Warning, Error };

// A message for the user: a text under a caption, acknowledged with OK.
class Notifier {
  public:
    virtual ~Notifier() = default;
    virtual void Notify(const std::string& text, const std::string& caption, NoticeIcon icon) = 0;
};

class NullNotifier final : public Notifier {
  public:
    void Notify(const std::string&, const std::string&, NoticeIcon) override {}
};

// The caption of most messages the program shows.
inline constexpr const char* kAppCaption = "Corvane Miravel NTFS";

// Set by the user interface (Abort, Cancel); tested by workers between reads.
using StopFlag = std::atomic<bool>;

}  // namespace tarvik
