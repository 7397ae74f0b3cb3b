#include "cli/interrupt.h"

#include <csignal>

namespace tarvik::cli {

namespace {

StopFlag gStop{false};

extern "C" void OnInterrupt(int) {
    gStop.store(true);
}

}  // namespace

InterruptStop::InterruptStop() {
    gStop.store(false);
    std::signal(SIGINT, OnInterrupt);
    std::signal(SIGTERM, OnInterrupt);
}

InterruptStop::~InterruptStop() {
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
}

const StopFlag* InterruptStop::flag() const {
    return &gStop;
}

bool InterruptStop::Requested() const {
    return gStop.load();
}

}  // namespace tarvik::cli
