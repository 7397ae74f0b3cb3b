#include "catalogue/number_index.h"

#include <algorithm>
#include <bit>
#include <numeric>
#include <utility>

namespace tarvik {

std::size_t IndexRange::Iterator::operator*() const {
    return links_->PositionOf(at_);
}

IndexRange::Iterator& IndexRange::Iterator::operator++() {
    at_ = at_ == last_ ? IndexRange::kEnd : links_->Next(at_);
    return *this;
}

std::size_t IndexRange::front() const {
    return links_->PositionOf(head_);
}
std::size_t IndexRange::back() const {
    return links_->PositionOf(tail_);
}

namespace {

// Slots of the table for each number in it, at most: a slot takes a quarter of what a
// number costs in the hash map.
constexpr std::uint64_t kSlotsPerNumber = 4;
// A table this small is always worth it.
constexpr std::uint64_t kSmallTable = 1024;

std::uint32_t Width(std::uint32_t number) {
    return static_cast<std::uint32_t>(std::bit_width(number));
}

}  // namespace

void NumberIndex::Add(std::uint32_t number, std::uint32_t position) {
    if (!links_.kept.empty()) OwnKept();
    std::vector<std::uint32_t>& positions = links_.positions;
    const auto node = static_cast<std::uint32_t>(links_.next.size());
    if (!positions.empty() || position != node) {
        if (positions.empty()) {
            positions.resize(node);
            std::iota(positions.begin(), positions.end(), std::uint32_t{0});
        }
        positions.push_back(position);
    }
    links_.next.push_back(IndexRange::kEnd);
    Chain& chain = ChainOf(number);
    if (chain.count == 0) {
        chain.head = node;
    } else {
        links_.next[chain.tail] = node;
    }
    chain.tail = node;
    ++chain.count;
}

NumberIndex::Chain& NumberIndex::ChainOf(std::uint32_t number) {
    if (number < dense_.size()) {
        Chain& chain = dense_[number];
        if (chain.count == 0) ++denseNumbers_;
        return chain;
    }
    if (const auto found = sparse_.find(number); found != sparse_.end()) return found->second;
    if (Widen(number)) {
        ++denseNumbers_;
        return dense_[number];
    }
    ++sparseByWidth_[Width(number)];
    return sparse_[number];
}

// The table grows to the power of two above `number` when the numbers below it, this
// one included, fill at least 1 / kSlotsPerNumber of it; the numbers of the map below
// it then move into it. It grows at most 32 times, by doubling or more.
bool NumberIndex::Widen(std::uint32_t number) {
    const std::uint32_t width = Width(number);
    const std::uint64_t size = std::uint64_t{1} << width;
    std::uint64_t below = denseNumbers_ + 1;
    for (std::uint32_t w = 0; w <= width; ++w) below += sparseByWidth_[w];
    if (size > kSmallTable && below * kSlotsPerNumber < size) return false;
    GrowTable(size);
    return true;
}

void NumberIndex::ReserveNumbers(std::uint32_t end) {
    if (end > dense_.size()) GrowTable(end);
}

void NumberIndex::GrowTable(std::uint64_t size) {
    dense_.resize(static_cast<std::size_t>(size));
    for (auto it = sparse_.begin(); it != sparse_.end();) {
        if (it->first >= size) {
            ++it;
            continue;
        }
        dense_[it->first] = it->second;
        ++denseNumbers_;
        --sparseByWidth_[Width(it->first)];
        it = sparse_.erase(it);
    }
}

void NumberIndex::ReserveTable(std::uint32_t largest, std::size_t numbers) {
    const std::uint64_t size = std::uint64_t{1} << Width(largest);
    if (!links_.next.empty() || size <= dense_.size()) return;
    if (size > kSmallTable && std::uint64_t{numbers} * kSlotsPerNumber < size) return;
    dense_.resize(static_cast<std::size_t>(size));
}

void NumberIndex::ReadKept(std::span<const std::uint32_t> positions,
                           std::span<const KeptNumber> numbers) {
    Clear();
    keptNumbers_ = numbers;
    links_.kept = positions;
}

IndexRange NumberIndex::FindKept(std::uint32_t number) const {
    const std::span<const KeptNumber> numbers = keptNumbers_;
    std::size_t at = number - std::size_t{numbers.front().number};
    if (number < numbers.front().number || at >= numbers.size() || numbers[at].number != number) {
        const auto found = std::lower_bound(
            numbers.begin(), numbers.end(), number,
            [](const KeptNumber& kept, std::uint32_t wanted) { return kept.number < wanted; });
        if (found == numbers.end() || found->number != number) return IndexRange();
        at = static_cast<std::size_t>(found - numbers.begin());
    }
    const std::uint32_t head = numbers[at].first;
    const auto end = static_cast<std::uint32_t>(KeptPositionsEnd(numbers, at, links_.kept.size()));
    return IndexRange(&links_, head, end - 1, end - head);
}

// The table holds the numbers below its size, the map those above: the table's in
// order, then the map's sorted.
KeptIndexParts NumberIndex::Parts() const {
    KeptIndexParts parts;
    if (!keptNumbers_.empty()) {
        parts.positions.assign(links_.kept.begin(), links_.kept.end());
        parts.numbers.assign(keptNumbers_.begin(), keptNumbers_.end());
        return parts;
    }
    parts.positions.reserve(links_.kept.empty() ? links_.next.size() : links_.kept.size());
    const auto take = [&parts, this](std::uint32_t number) {
        const IndexRange found = Find(number);
        if (found.empty()) return;
        parts.numbers.push_back({number, static_cast<std::uint32_t>(parts.positions.size())});
        for (const std::size_t position : found)
            parts.positions.push_back(static_cast<std::uint32_t>(position));
    };
    for (std::size_t number = 0; number < dense_.size(); ++number)
        take(static_cast<std::uint32_t>(number));
    std::vector<std::uint32_t> sparse;
    sparse.reserve(sparse_.size());
    for (const auto& [number, chain] : sparse_) sparse.push_back(number);
    std::sort(sparse.begin(), sparse.end());
    for (const std::uint32_t number : sparse) take(number);
    return parts;
}

void NumberIndex::OwnKept() {
    const std::span<const std::uint32_t> kept = links_.kept;
    const std::span<const KeptNumber> numbers = keptNumbers_;
    links_.kept = {};
    keptNumbers_ = {};
    ReserveTable(numbers.back().number, numbers.size());  // while no link is made
    links_.positions.reserve(kept.size() + 1);
    links_.positions.assign(kept.begin(), kept.end());
    links_.next.reserve(kept.size() + 1);
    links_.next.assign(kept.size(), IndexRange::kEnd);
    for (std::size_t i = 0; i < numbers.size(); ++i) {
        const std::uint32_t head = numbers[i].first;
        const auto end = static_cast<std::uint32_t>(KeptPositionsEnd(numbers, i, kept.size()));
        for (std::uint32_t node = head; node + 1 < end; ++node) links_.next[node] = node + 1;
        ChainOf(numbers[i].number) = {head, end - 1, end - head};
    }
}

IndexRange NumberIndex::Find(std::uint32_t number) const {
    if (!keptNumbers_.empty()) return FindKept(number);
    const Chain* chain = nullptr;
    if (number < dense_.size()) {
        chain = &dense_[number];
    } else if (const auto found = sparse_.find(number); found != sparse_.end()) {
        chain = &found->second;
    }
    if (chain == nullptr || chain->count == 0) return IndexRange();
    return IndexRange(&links_, chain->head, chain->tail, chain->count);
}

std::size_t NumberIndex::MemoryBytes() const {
    constexpr std::size_t kNodeOverhead = 2 * sizeof(void*);
    return dense_.capacity() * sizeof(Chain) +
           (links_.next.capacity() + links_.positions.capacity()) * sizeof(std::uint32_t) +
           sparse_.size() * (sizeof(std::pair<const std::uint32_t, Chain>) + kNodeOverhead) +
           sparse_.bucket_count() * sizeof(void*);
}

void NumberIndex::Clear() {
    dense_.clear();
    denseNumbers_ = 0;
    sparse_.clear();
    sparseByWidth_.fill(0);
    links_.next.clear();
    links_.positions.clear();
    links_.kept = {};
    keptNumbers_ = {};
}

}  // namespace tarvik
