#include "catalogue/number_index.h"

namespace tarvik {

std::size_t IndexRange::Iterator::operator*() const {
    return (*nodes_)[at_].value;
}

IndexRange::Iterator& IndexRange::Iterator::operator++() {
    at_ = at_ == last_ ? IndexRange::kEnd : (*nodes_)[at_].next;
    return *this;
}

std::size_t IndexRange::front() const {
    return (*nodes_)[head_].value;
}
std::size_t IndexRange::back() const {
    return (*nodes_)[tail_].value;
}

void NumberIndex::Add(std::uint32_t number, std::uint32_t position) {
    const auto node = static_cast<std::uint32_t>(nodes_.size());
    nodes_.push_back({position, IndexRange::kEnd});
    auto [it, inserted] = chains_.try_emplace(number, Chain{node, node, 1});
    if (inserted) return;
    Chain& chain = it->second;
    nodes_[chain.tail].next = node;
    chain.tail = node;
    ++chain.count;
}

IndexRange NumberIndex::Find(std::uint32_t number) const {
    const auto it = chains_.find(number);
    if (it == chains_.end()) return IndexRange();
    const Chain& chain = it->second;
    return IndexRange(&nodes_, chain.head, chain.tail, chain.count);
}

void NumberIndex::Clear() {
    chains_.clear();
    nodes_.clear();
}

}  // namespace tarvik
