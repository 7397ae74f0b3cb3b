#include "catalogue/name_store.h"

#include <algorithm>
#include <cstring>

namespace tarvik {

namespace {

// Blocks start small, so a catalogue of a few entries takes a few KiB, and double up to
// kBlockBytes, so a large one costs a few hundred allocations.
constexpr std::size_t kFirstBlockBytes = 4096;

}  // namespace

bool NameStore::Add(std::string_view name, std::uint64_t& reference) {
    if (name.size() > kMaxNameLength) return false;
    if (name.empty()) {
        reference = 0;
        return true;
    }
    if (last_ == nullptr || lastUsed_ + name.size() > lastSize_) {
        // A name never straddles two blocks; the few bytes left at a block's end stay unused.
        if ((std::uint64_t{blocks_.size()} << kPlaceBits) >= kReferenceEnd) return false;
        const std::size_t size =
            owned_.empty() ? kFirstBlockBytes : std::min(lastSize_ * 2, kBlockBytes);
        owned_.push_back(std::make_unique_for_overwrite<char[]>(size));
        last_ = owned_.back().get();
        blocks_.push_back(last_);
        lastSize_ = size;
        lastUsed_ = 0;
        blockBytes_ += size;
    }
    reference = (std::uint64_t{blocks_.size() - 1} << kPlaceBits) | lastUsed_;
    std::memcpy(last_ + lastUsed_, name.data(), name.size());
    lastUsed_ += name.size();
    return true;
}

void NameStore::Borrow(std::shared_ptr<const void> keeper, std::string_view names) {
    Clear();
    keeper_ = std::move(keeper);
    for (std::size_t at = 0; at < names.size(); at += kBlockBytes)
        blocks_.push_back(names.data() + at);
}

void NameStore::Clear() {
    blocks_.clear();
    owned_.clear();
    keeper_.reset();
    last_ = nullptr;
    lastSize_ = 0;
    lastUsed_ = 0;
    blockBytes_ = 0;
}

}  // namespace tarvik
