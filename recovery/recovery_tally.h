#pragma once
// How far a recovery has got over all the files it writes, for a progress display on
// another thread: the totals are known once the writer has planned every file, and
// each file counts as done when it is written, failed or found unreadable.
#include <atomic>
#include <cstdint>

namespace tarvik {

struct RecoveryTally {
    std::atomic<bool> planned{false};  // the totals below are final
    std::atomic<std::uint64_t> filesTotal{0};
    std::atomic<std::uint64_t> bytesTotal{0};
    std::atomic<std::uint64_t> filesDone{0};
    std::atomic<std::uint64_t> bytesDone{0};
};

}  // namespace tarvik
