#pragma once
// The entries one scan found, in the order they were catalogued. Entries refer to their
// folders by number; the same number may belong to several entries (a record reached
// twice, a made-up folder sharing a real record's number), so every lookup answers in
// stored order and "the" entry with a number is the first one.
//
// The lookups by own number and by parent number are kept as indexes built while the
// entries are appended, so they cost no walk of the catalogue.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "catalogue/catalogue_entry.h"
#include "catalogue/number_index.h"

namespace tarvik {

class Catalogue {
  public:
    // Positions are held in 32 bits by the indexes.
    static constexpr std::size_t kMaxCapacity = 0xFFFFFFFE;

    explicit Catalogue(std::size_t capacity = kMaxCapacity);

    // Copies the entry to the end. A full catalogue refuses the entry, writes nothing
    // and counts it in RefusedCount(); the result says which happened.
    bool Append(const CatalogueEntry& entry);

    std::size_t Count() const { return entries_.size(); }
    bool Empty() const { return entries_.empty(); }
    std::size_t Capacity() const { return capacity_; }
    bool Full() const { return entries_.size() >= capacity_; }
    // Raises or lowers the bound, never below the current count nor above kMaxCapacity.
    void SetCapacity(std::size_t capacity);
    // Room for this many entries (at most the capacity) and their index links set aside
    // at once, so that a catalogue filled to about that count is never copied to grow.
    void Reserve(std::size_t entries);
    // Entries refused by Append because the catalogue was full, since the last Clear.
    std::size_t RefusedCount() const { return refused_; }

    // Precondition: index < Count().
    const CatalogueEntry& At(std::size_t index) const { return entries_[index]; }
    std::span<const CatalogueEntry> Entries() const { return entries_; }

    // The first entry in stored order whose own number is `number`.
    std::optional<std::size_t> FirstWithNumber(std::uint32_t number) const;
    // Every entry whose own number is `number`, in stored order.
    IndexRange WithNumber(std::uint32_t number) const { return byNumber_.Find(number); }
    // Every entry whose parent number is `parent`, files and folders, in stored order.
    IndexRange ChildrenOf(std::uint32_t parent) const { return byParent_.Find(parent); }

    // Check marks are the one part of an entry written after cataloguing; they do not
    // touch the indexes. Returns false (and writes nothing) for an index out of range.
    bool SetCheckState(std::size_t index, std::int32_t state);
    void SetAllCheckStates(std::int32_t state);

    // Empties the catalogue and its indexes; the capacity stays.
    void Clear();

  private:
    std::size_t capacity_;
    std::size_t refused_ = 0;
    std::vector<CatalogueEntry> entries_;
    NumberIndex byNumber_;
    NumberIndex byParent_;
};

}  // namespace tarvik
