#include "cli/interrupt.h"

#include <csignal>

namespace tarvik::cli {

namespace {

StopFlag gStop{false};

extern "C" void OnInterrupt(int) {
    gStop.store(true);
}

// A closed terminal (SIGHUP) ends the work as Ctrl-C does: whatever was being written is
// finished or removed, and the report is kept.
constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};

}  // namespace

InterruptStop::InterruptStop() {
    gStop.store(false);
    for (const int signal : kStopSignals) std::signal(signal, OnInterrupt);
}

InterruptStop::~InterruptStop() {
    for (const int signal : kStopSignals) std::signal(signal, SIG_DFL);
}

const StopFlag* InterruptStop::flag() const {
    return &gStop;
}

bool InterruptStop::Requested() const {
    return gStop.load();
}

}  // namespace tarvik::cli
