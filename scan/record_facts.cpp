#include "scan/record_facts.h"

#include <algorithm>

namespace tarvik {

void RecordFacts::Cover(std::uint64_t records) {
    const auto count = static_cast<std::size_t>(std::min<std::uint64_t>(records, 1ull << 32));
    flags_.assign(count, 0);
    sequences_.assign(count, 0);
    sizes_.assign(count, 0);
    times_.assign(count, 0);
    modificationTimes_.assign(count, 0);
}

void RecordFacts::SetBase(std::uint32_t number, const RecordFact& fact, bool hasData) {
    if (number >= flags_.size()) return;
    std::uint8_t flags = kKnown;
    if (fact.inUse) flags |= kInUse;
    if (fact.directory) flags |= kDirectory;
    if (fact.named) flags |= kNamed;
    if (hasData) {
        flags |= kOwnData;
        sizes_[number] = fact.size;
    }
    flags_[number] = flags;
    sequences_[number] = fact.sequence;
    times_[number] = fact.creationTime;
    modificationTimes_[number] = fact.modificationTime;
}

void RecordFacts::SetSizeFromExtension(std::uint32_t base, std::uint64_t realSize) {
    if (base >= flags_.size() || (flags_[base] & kOwnData) != 0) return;
    sizes_[base] = realSize;
}

std::optional<RecordFact> RecordFacts::Find(std::uint32_t number) const {
    if (number >= flags_.size() || (flags_[number] & kKnown) == 0) return std::nullopt;
    RecordFact fact;
    fact.inUse = (flags_[number] & kInUse) != 0;
    fact.directory = (flags_[number] & kDirectory) != 0;
    fact.named = (flags_[number] & kNamed) != 0;
    fact.sequence = sequences_[number];
    fact.size = fact.directory ? 0 : sizes_[number];
    fact.creationTime = times_[number];
    fact.modificationTime = modificationTimes_[number];
    return fact;
}

bool RecordFacts::IsLive(std::uint32_t number, std::uint16_t sequence) const {
    const auto fact = Find(number);
    return fact && fact->inUse && fact->sequence == sequence;
}

bool RecordFacts::IsFolderOf(std::uint32_t number, std::uint16_t parentSequence) const {
    const auto fact = Find(number);
    if (!fact || !fact->directory) return false;
    if (fact->sequence == parentSequence) return true;
    return !fact->inUse && static_cast<std::uint16_t>(parentSequence + 1) == fact->sequence;
}

void RecordFacts::Clear() {
    flags_ = {};
    sequences_ = {};
    sizes_ = {};
    times_ = {};
    modificationTimes_ = {};
}

}  // namespace tarvik
