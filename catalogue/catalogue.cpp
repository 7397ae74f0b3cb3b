#include "catalogue/catalogue.h"

#include <algorithm>

namespace tarvik {

Catalogue::Catalogue(std::size_t capacity) : capacity_(std::min(capacity, kMaxCapacity)) {}

bool Catalogue::Append(const CatalogueEntry& entry) {
    if (Full()) {
        ++refused_;
        return false;
    }
    const auto position = static_cast<std::uint32_t>(entries_.size());
    entries_.push_back(entry);
    byNumber_.Add(entry.number, position);
    byParent_.Add(entry.parent, position);
    return true;
}

void Catalogue::SetCapacity(std::size_t capacity) {
    capacity_ = std::clamp(capacity, entries_.size(), kMaxCapacity);
}

void Catalogue::Reserve(std::size_t entries) {
    const std::size_t room = std::min(entries, capacity_);
    entries_.reserve(room);
    byNumber_.Reserve(room);
    byParent_.Reserve(room);
}

std::optional<std::size_t> Catalogue::FirstWithNumber(std::uint32_t number) const {
    const IndexRange found = byNumber_.Find(number);
    if (found.empty()) return std::nullopt;
    return found.front();
}

bool Catalogue::SetCheckState(std::size_t index, std::int32_t state) {
    if (index >= entries_.size()) return false;
    entries_[index].checkState = state;
    return true;
}

void Catalogue::SetAllCheckStates(std::int32_t state) {
    for (CatalogueEntry& entry : entries_) entry.checkState = state;
}

void Catalogue::Clear() {
    entries_.clear();
    byNumber_.Clear();
    byParent_.Clear();
    refused_ = 0;
}

}  // namespace tarvik
