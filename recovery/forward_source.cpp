#include "recovery/forward_source.h"

#include <algorithm>
#include <cstring>

namespace tarvik {

namespace {
constexpr std::uint64_t kSectorBytes = 512;
}  // namespace

std::uint64_t ForwardSource::CopyKept(std::uint64_t sector, std::span<std::uint8_t> buffer) const {
    if (kept_.empty() || sector < keptStart_ || sector >= KeptEnd()) return 0;
    // The block holding `sector`, looked for from the newest: reads mostly ask for what
    // was read last.
    std::size_t index = kept_.size();
    std::uint64_t blockStart = KeptEnd();
    do {
        --index;
        blockStart -= kept_[index].size() / kSectorBytes;
    } while (blockStart > sector);
    std::size_t done = 0;
    std::size_t from = (sector - blockStart) * kSectorBytes;
    for (; index < kept_.size() && done < buffer.size(); ++index, from = 0) {
        const std::vector<std::uint8_t>& block = kept_[index];
        const std::size_t count = std::min(buffer.size() - done, block.size() - from);
        std::memcpy(buffer.data() + done, block.data() + from, count);
        done += count;
    }
    return done / kSectorBytes;
}

void ForwardSource::Keep(std::uint64_t sector, std::span<const std::uint8_t> bytes) {
    if (keptBytes_ == 0 || bytes.empty()) return;
    if (!kept_.empty() && sector != KeptEnd()) LetGo();
    if (kept_.empty()) keptStart_ = sector;
    std::vector<std::uint8_t> block;
    if (!spare_.empty()) {
        block = std::move(spare_.back());
        spare_.pop_back();
    }
    block.assign(bytes.begin(), bytes.end());
    kept_.push_back(std::move(block));
    keptBytesNow_ += bytes.size();
    // The oldest blocks go while the rest still holds the bound (the newest always stays).
    while (kept_.size() > 1 && keptBytesNow_ - kept_.front().size() >= keptBytes_) {
        keptBytesNow_ -= kept_.front().size();
        keptStart_ += kept_.front().size() / kSectorBytes;
        spare_.push_back(std::move(kept_.front()));
        kept_.pop_front();
    }
    if (spare_.size() > 2) spare_.resize(2);
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

void ForwardSource::LetGo() {
    keptBytesNow_ = 0;
    while (!kept_.empty()) {
        if (spare_.size() < 2) spare_.push_back(std::move(kept_.back()));
        kept_.pop_back();
    }
}

}  // namespace tarvik
