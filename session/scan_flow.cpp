// The scan of the open drive as one call: the scan, the searches that add to it, and
// the weighing of what is left of each file.
#include "session/recovery_session.h"

namespace tarvik {

namespace {

// Passes every message on and remembers that there was one.
class NoticeWatch final : public Notifier {
  public:
    explicit NoticeWatch(Notifier& next) : next_(next) {}
    void Notify(const std::string& text, const std::string& caption, NoticeIcon icon) override {
        noticed_ = true;
        next_.Notify(text, caption, icon);
    }
    bool Noticed() const { return noticed_; }

  private:
    Notifier& next_;
    bool noticed_ = false;
};

// Passes on the bar's moves but no text.
class BarOnly final : public ProgressSink {
  public:
    explicit BarOnly(ProgressSink& next) : next_(next) {}
    void SetText(int, const std::string&) override {}
    void SetRange(std::uint64_t low, std::uint64_t high) override { next_.SetRange(low, high); }
    void SetPosition(std::uint64_t position) override { next_.SetPosition(position); }
    void SetStep(std::uint64_t step) override { next_.SetStep(step); }
    void StepIt() override { next_.StepIt(); }

  private:
    ProgressSink& next_;
};

constexpr const char* kScanCaption = "Scan";

bool Requested(const StopFlag* stop) {
    return stop != nullptr && stop->load();
}

}  // namespace

ScanOutcome RecoverySession::ScanDrive(const ScanSteps& steps, ProgressSink& progress,
                                       Notifier& notifier, const StopFlag* stop) {
    ScanOutcome outcome;
    if (!engine_) return outcome;
    NoticeWatch watch(notifier);
    if (steps.scan) Scan(progress, watch, stop);
    if (steps.advanceSearch && !Requested(stop)) AdvanceSearch(progress, watch, stop);
    if (steps.carve && !Requested(stop)) outcome.carved = CarveFreeSpace(progress, watch, stop);
    outcome.readNothing = watch.Noticed() && GetCatalogue().Count() == 0;
    if (const std::size_t refused = GetCatalogue().RefusedCount(); refused != 0) {
        notifier.Notify(std::to_string(refused) +
                            " entries found could not be listed: the catalogue has no room "
                            "left for them, and they cannot be recovered from this scan.",
                        kScanCaption, NoticeIcon::Warning);
    }
    if (!Requested(stop) && !outcome.readNothing) {
        if (steps.conditionsBarOnly) {
            BarOnly bar(progress);
            Conditions(bar, stop);
        } else {
            Conditions(progress, stop);
        }
    }
    outcome.stopped = Requested(stop);
    return outcome;
}

}  // namespace tarvik
