#include "recovery/forward_source.h"

#include <algorithm>
#include <cstring>

namespace tarvik {

namespace {
constexpr std::uint64_t kSectorBytes = 512;
}  // namespace

std::uint64_t ForwardSource::CopyKept(std::uint64_t sector, std::span<std::uint8_t> buffer) const {
    if (keptSectors_ == 0 || sector < keptStart_ || sector >= KeptEnd()) return 0;
    const std::uint64_t sectors =
        std::min<std::uint64_t>(buffer.size() / kSectorBytes, KeptEnd() - sector);
    const std::size_t at = (sector * kSectorBytes) % ring_.size();
    const std::size_t length = sectors * kSectorBytes;
    const std::size_t first = std::min(length, ring_.size() - at);
    std::memcpy(buffer.data(), ring_.data() + at, first);
    std::memcpy(buffer.data() + first, ring_.data(), length - first);
    return sectors;
}

// The ring takes the bytes' last keptBytes_ (whole sectors); the oldest kept go.
void ForwardSource::Keep(std::uint64_t sector, std::span<const std::uint8_t> bytes) {
    const std::size_t ringSectors = keptBytes_ / kSectorBytes;
    if (ringSectors == 0 || bytes.size() < kSectorBytes) return;
    if (ring_.empty()) ring_.resize(ringSectors * kSectorBytes);
    if (keptSectors_ != 0 && sector != KeptEnd()) LetGo();
    if (keptSectors_ == 0) keptStart_ = sector;
    const std::uint64_t sectors = bytes.size() / kSectorBytes;
    const std::uint64_t skipped = sectors > ringSectors ? sectors - ringSectors : 0;
    const std::uint64_t from = sector + skipped;
    const std::size_t length = (sectors - skipped) * kSectorBytes;
    const std::size_t at = (from * kSectorBytes) % ring_.size();
    const std::size_t first = std::min(length, ring_.size() - at);
    const std::uint8_t* source = bytes.data() + skipped * kSectorBytes;
    std::memcpy(ring_.data() + at, source, first);
    std::memcpy(ring_.data(), source + first, length - first);
    keptSectors_ += sectors;
    if (keptSectors_ > ringSectors) {
        keptStart_ += keptSectors_ - ringSectors;
        keptSectors_ = ringSectors;
    }
}

bool ForwardSource::ReadHeld(DriveSector sector, std::span<std::uint8_t> buffer) const {
    return CopyKept(sector.value(), buffer) * kSectorBytes >= buffer.size();
}

bool ForwardSource::Read(DriveSector sector, std::span<std::uint8_t> buffer) {
    const std::uint64_t held = CopyKept(sector.value(), buffer);
    if (held * kSectorBytes >= buffer.size()) return true;
    const std::uint64_t first = sector.value() + held;
    const auto rest = buffer.subspan(held * kSectorBytes);
    if (gaps_ && end_ != 0 && first > end_ && first - end_ <= kMaxGapSectors &&
        (!plan_ || plan_->Takes(first - end_))) {
        gap_.resize((first - end_) * kSectorBytes);
        // A disk with bad places is not read more than it must be: it jumps.
        gaps_ = drive_.Read(DriveSector(end_), gap_);
        if (gaps_) Keep(end_, gap_);
    }
    end_ = first + rest.size() / kSectorBytes;
    if (!drive_.Read(DriveSector(first), rest)) {
        LetGo();
        return false;
    }
    Keep(first, rest);
    return true;
}

void ForwardSource::Forget() {
    end_ = 0;
    plan_.reset();
    LetGo();
}

}  // namespace tarvik
