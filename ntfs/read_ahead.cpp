#include "ntfs/read_ahead.h"

#include <algorithm>
#include <cstring>

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

void ReadAheadSource::Hold(std::uint64_t sector, std::span<const std::uint8_t> bytes) {
    if (!held_.emplace(std::pair{sector, std::uint64_t{bytes.size()}}, arena_.size()).second)
        return;
    arena_.insert(arena_.end(), bytes.begin(), bytes.end());
    heldBytes_ += bytes.size();
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
        if (drive_.Read(DriveSector(start), buffer)) {
            for (std::size_t i = first; i < last; ++i) {
                const auto& r = requests[i];
                Hold(r.sector, std::span<const std::uint8_t>(buffer).subspan(
                                   (r.sector - start) * kSectorBytes, r.bytes));
            }
        } else {
            for (std::size_t i = first; i < last; ++i) {
                const auto& r = requests[i];
                std::vector<std::uint8_t> one(r.bytes);
                if (drive_.Read(DriveSector(r.sector), one)) Hold(r.sector, one);
            }
        }
        first = last;
    }
}

bool ReadAheadSource::Read(DriveSector sector, std::span<std::uint8_t> buffer) {
    return ReadHeld(sector, buffer) || drive_.Read(sector, buffer);
}

bool ReadAheadSource::ReadHeld(DriveSector sector, std::span<std::uint8_t> buffer) const {
    const auto found = held_.find({sector.value(), std::uint64_t{buffer.size()}});
    if (found == held_.end()) return false;
    std::memcpy(buffer.data(), arena_.data() + found->second, buffer.size());
    return true;
}

}  // namespace tarvik
