#pragma once
// Ctrl-C, SIGTERM and SIGHUP as a stop request: while an InterruptStop lives, each sets
// its flag, which the core tests between reads, records and files.
#include "common/reporting.h"

namespace tarvik::cli {

class InterruptStop {
  public:
    InterruptStop();
    ~InterruptStop();
    InterruptStop(const InterruptStop&) = delete;
    InterruptStop& operator=(const InterruptStop&) = delete;

    const StopFlag* flag() const;
    bool Requested() const;
};

// The status of a command ended by an interrupt, as shells report one.
inline constexpr int kExitInterrupted = 130;

}  // namespace tarvik::cli
