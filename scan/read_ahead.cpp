#include "scan/read_ahead.h"

#include <algorithm>
#include <cstring>

#include "common/memory_release.h"

namespace tarvik {

namespace {

constexpr std::uint64_t kSectorBytes = 512;

std::uint64_t EndSector(const RequestRecorder::Request& request) {
    return request.sector + (request.bytes + kSectorBytes - 1) / kSectorBytes;
}

}  // namespace

void RecordCache::Keep(std::uint32_t number, std::span<const std::uint8_t> bytes) {
    if (records_.contains(number) || bytes_ + bytes.size() > maxBytes_) return;
    records_.emplace(number, RecordBuffer(bytes.begin(), bytes.end()));
    bytes_ += bytes.size();
}

bool RecordCache::Fetch(std::uint32_t number, std::span<std::uint8_t> bytes) const {
    const auto found = records_.find(number);
    if (found == records_.end() || found->second.size() != bytes.size()) return false;
    std::memcpy(bytes.data(), found->second.data(), bytes.size());
    return true;
}

void RecordCache::Clear() {
    records_.clear();
    bytes_ = 0;
}

bool ReadAheadSource::Hold(std::uint64_t sector, std::span<const std::uint8_t> bytes) {
    const Held where{arena_.size(), pieces_.size() - 1};
    if (!held_.emplace(std::pair{sector, std::uint64_t{bytes.size()}}, where).second) return false;
    arena_.insert(arena_.end(), bytes.begin(), bytes.end());
    heldBytes_ += bytes.size();
    return true;
}

// The piece's pages go back, with those it shares with neighbours already served: a
// page is given back only once nothing held lies on it. Pieces hold at least a sector,
// so only the few neighbours within a page of either end are looked at.
void ReadAheadSource::Served(std::size_t piece) {
    if (--pieces_[piece].unserved != 0) return;
    constexpr std::size_t kPageReach = 64u << 10;  // more than any page size in use
    std::size_t first = piece;
    while (first > 0 && pieces_[first - 1].unserved == 0 &&
           pieces_[piece].begin - pieces_[first].begin < kPageReach)
        --first;
    std::size_t last = piece;
    while (last + 1 < pieces_.size() && pieces_[last + 1].unserved == 0 &&
           pieces_[last].end - pieces_[piece].end < kPageReach)
        ++last;
    const std::size_t begin = pieces_[first].begin;
    ReleasePages(arena_.data() + begin, pieces_[last].end - begin);
}

void ReadAheadSource::Fill(std::vector<RequestRecorder::Request> requests, const StopFlag* stop,
                           std::size_t maxBytes) {
    std::erase_if(requests, [](const auto& r) { return r.bytes == 0 || r.bytes % kSectorBytes; });
    std::sort(requests.begin(), requests.end(), [](const auto& a, const auto& b) {
        return a.sector != b.sector ? a.sector < b.sector : a.bytes < b.bytes;
    });
    // One block for all that is held, set aside at once.
    std::uint64_t total = 0;
    for (const auto& r : requests) total += r.bytes;
    arena_.reserve(static_cast<std::size_t>(std::min<std::uint64_t>(total, maxBytes)));
    std::vector<std::uint8_t> buffer;
    std::size_t taken = 0;
    for (std::size_t first = 0; first < requests.size();) {
        if (stop != nullptr && stop->load()) return;
        // Requests joined into one read: each starts at most a gap after the previous
        // ones end, and the read stays within its size (a single larger request is read
        // on its own).
        const std::uint64_t start = requests[first].sector;
        std::uint64_t end = EndSector(requests[first]);
        std::size_t last = first + 1;
        while (last < requests.size()) {
            const auto& next = requests[last];
            const std::uint64_t nextEnd = std::max(end, EndSector(next));
            if (next.sector > end + kMaxGapBytes / kSectorBytes ||
                (nextEnd - start) * kSectorBytes > kMaxReadBytes)
                break;
            end = nextEnd;
            ++last;
        }
        std::uint64_t wanted = 0;
        for (std::size_t i = first; i < last; ++i) wanted += requests[i].bytes;
        if (taken + wanted > maxBytes) break;
        taken += wanted;
        buffer.assign((end - start) * kSectorBytes, 0);
        Piece& piece = pieces_.emplace_back();
        piece.begin = arena_.size();
        if (drive_.Read(DriveSector(start), buffer)) {
            for (std::size_t i = first; i < last; ++i) {
                const auto& r = requests[i];
                piece.unserved += Hold(r.sector, std::span<const std::uint8_t>(buffer).subspan(
                                                     (r.sector - start) * kSectorBytes, r.bytes));
            }
        } else {
            for (std::size_t i = first; i < last; ++i) {
                const auto& r = requests[i];
                std::vector<std::uint8_t> one(r.bytes);
                if (drive_.Read(DriveSector(r.sector), one)) piece.unserved += Hold(r.sector, one);
            }
        }
        piece.end = arena_.size();
        if (piece.unserved == 0) pieces_.pop_back();  // nothing held: no piece to serve
        first = last;
    }
}

bool ReadAheadSource::Read(DriveSector sector, std::span<std::uint8_t> buffer) {
    if (!serveOnce_) return ReadHeld(sector, buffer) || drive_.Read(sector, buffer);
    const auto found = held_.find({sector.value(), std::uint64_t{buffer.size()}});
    if (found == held_.end()) return drive_.Read(sector, buffer);
    std::memcpy(buffer.data(), arena_.data() + found->second.offset, buffer.size());
    const std::size_t piece = found->second.piece;
    held_.erase(found);
    heldBytes_ -= buffer.size();
    Served(piece);
    return true;
}

bool ReadAheadSource::ReadHeld(DriveSector sector, std::span<std::uint8_t> buffer) const {
    const auto found = held_.find({sector.value(), std::uint64_t{buffer.size()}});
    if (found == held_.end()) return false;
    std::memcpy(buffer.data(), arena_.data() + found->second.offset, buffer.size());
    return true;
}

}  // namespace tarvik
