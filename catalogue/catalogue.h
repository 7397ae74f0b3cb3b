#pragma once
// The entries one scan found, in the order they were catalogued. Entries refer to their
// folders by number; the same number may belong to several entries (a record reached
// twice, a made-up folder sharing a real record's number), so every lookup answers in
// stored order and "the" entry with a number is the first one.
//
// Each entry is kept in 40 bytes (catalogue/catalogue_record.h); names lie back to back in
// the name store. Once appended, an entry does not change: check marks belong to whoever
// shows them (session/check_tree.h). A catalogue may also read its entries and names
// where another owner keeps them (a saved scan's mapped file) until something is appended.
//
// The lookups by own number and by parent number are kept as indexes built while the
// entries are appended, so they cost no walk of the catalogue.
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <memory>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "catalogue/catalogue_entry.h"
#include "catalogue/catalogue_record.h"
#include "catalogue/kept_index.h"
#include "catalogue/name_store.h"
#include "catalogue/number_index.h"

namespace tarvik {

class Catalogue;

// Every entry of a catalogue in stored order, each read as a CatalogueEntry value.
class EntryRange {
  public:
    class Iterator {
      public:
        using iterator_category = std::input_iterator_tag;
        using value_type = CatalogueEntry;
        using difference_type = std::ptrdiff_t;
        using pointer = void;
        using reference = CatalogueEntry;

        Iterator() = default;
        CatalogueEntry operator*() const;
        Iterator& operator++() {
            ++at_;
            return *this;
        }
        Iterator operator++(int) {
            Iterator before = *this;
            ++at_;
            return before;
        }
        friend bool operator==(const Iterator& a, const Iterator& b) { return a.at_ == b.at_; }

      private:
        friend class EntryRange;
        Iterator(const Catalogue* catalogue, std::size_t at) : catalogue_(catalogue), at_(at) {}
        const Catalogue* catalogue_ = nullptr;
        std::size_t at_ = 0;
    };

    explicit EntryRange(const Catalogue& catalogue) : catalogue_(&catalogue) {}
    Iterator begin() const { return Iterator(catalogue_, 0); }
    Iterator end() const;
    std::size_t size() const;
    bool empty() const { return size() == 0; }
    CatalogueEntry operator[](std::size_t index) const;

  private:
    const Catalogue* catalogue_;
};

// Records, names and the two indexes a catalogue reads where they lie, kept alive by
// `keeper`. Every record's name lies inside `names` (NameInside), and each index agrees
// with the records (catalogue/kept_index.h).
struct KeptRecords {
    std::shared_ptr<const void> keeper;
    std::span<const CatalogueRecord> records;
    std::string_view names;
    KeptIndex byNumber;
    KeptIndex byParent;

    static bool NameInside(const CatalogueRecord& record, std::size_t namesBytes) {
        const std::uint64_t length = RecordNameLength(record.word);
        return length == 0 || RecordNameReference(record.word) + length <= namesBytes;
    }
};

class Catalogue {
  public:
    // Positions are held in 32 bits by the indexes.
    static constexpr std::size_t kMaxCapacity = 0xFFFFFFFE;

    explicit Catalogue(std::size_t capacity = kMaxCapacity);
    // The names of entries read from a catalogue point into it: it is not copied.
    Catalogue(const Catalogue&) = delete;
    Catalogue& operator=(const Catalogue&) = delete;
    Catalogue(Catalogue&&) = default;
    Catalogue& operator=(Catalogue&&) = default;

    // A catalogue of the kept records, in their order, reading them, their names and
    // their indexes where they lie: nothing of them is copied until something is
    // appended. Precondition: fewer records than kMaxCapacity.
    static Catalogue Reading(KeptRecords kept);
    // The positions under each own or parent number, in order of number: what a kept
    // index holds (the numbers rising, and each one's positions in stored order).
    KeptIndexParts IndexParts(IndexKey key) const;

    // Copies the entry to the end. A full catalogue refuses the entry, writes nothing
    // and counts it in RefusedCount(); the result says which happened.
    bool Append(const CatalogueEntry& entry) { return Append(entry, entry.Name()); }
    // As Append, with the name given apart from the other fields (whose own name is
    // not read): a reader of many entries then makes no name of its own for each.
    // Precondition: `name` is cut as CatalogueEntry::SetName cuts it.
    bool Append(const CatalogueEntry& fields, std::string_view name);

    std::size_t Count() const { return kept_.empty() ? entries_.size() : kept_.size(); }
    bool Empty() const { return Count() == 0; }
    std::size_t Capacity() const { return capacity_; }
    bool Full() const { return Count() >= capacity_; }
    // Raises or lowers the bound, never below the current count nor above kMaxCapacity.
    void SetCapacity(std::size_t capacity);
    // Room for this many entries (at most the capacity) and their index links set aside
    // at once, so that a catalogue filled to about that count is never copied to grow.
    void Reserve(std::size_t entries);
    // The own and parent number lookups made at once for numbers below `end` (an MFT's
    // record count): sized to the numbers, never doubled past them.
    void ReserveNumbers(std::uint32_t end);
    // For an empty catalogue about to take `entries` entries whose own numbers are at
    // most `largestNumber`: the index by own number set aside at once, when they are
    // dense enough for its table.
    void ReserveNumbers(std::size_t entries, std::uint32_t largestNumber) {
        byNumber_.ReserveTable(largestNumber, entries);
    }
    // Entries refused by Append because the catalogue was full, since the last Clear.
    std::size_t RefusedCount() const { return refused_; }

    // Precondition: index < Count(). The value's name points into the catalogue.
    CatalogueEntry At(std::size_t index) const;
    // The name alone, without building the entry. Precondition: index < Count().
    std::string_view NameAt(std::size_t index) const {
        const std::uint64_t word = RecordAt(index).word;
        return names_.Name(RecordNameReference(word), RecordNameLength(word));
    }
    // Asks the processor to fetch the entry at `index` ahead of its use: a walk in tree
    // order rather than stored order then need not wait on memory at every entry. Its
    // name is asked for too, once the entry itself was fetched ahead (a few entries
    // before). Does nothing past the end. Both are inlined where they are called: a call
    // the compiler found to change nothing would be dropped, the fetch with it.
    [[gnu::always_inline]] void PrefetchAt(std::size_t index) const {
        if (index < Count()) __builtin_prefetch(&RecordAt(index));
    }
    [[gnu::always_inline]] void PrefetchNameAt(std::size_t index) const {
        if (index < Count()) __builtin_prefetch(NameAt(index).data());
    }
    std::uint32_t NumberAt(std::size_t index) const { return RecordAt(index).number; }
    std::uint32_t ParentAt(std::size_t index) const { return RecordAt(index).parent; }
    std::uint64_t SizeAt(std::size_t index) const { return RecordAt(index).size; }
    // One flag of the entry at `index`, for passes over every entry that want no more.
    bool IsDirectoryAt(std::size_t index) const;
    bool IsMadeUpAt(std::size_t index) const;
    bool IsDeletedAt(std::size_t index) const;
    bool IsCarvedAt(std::size_t index) const;
    EntryRange Entries() const { return EntryRange(*this); }
    // The records as kept, in stored order; valid until the catalogue changes.
    std::span<const CatalogueRecord> Records() const {
        return kept_.empty() ? std::span<const CatalogueRecord>(entries_) : kept_;
    }

    // The first entry in stored order whose own number is `number`.
    std::optional<std::size_t> FirstWithNumber(std::uint32_t number) const;
    // Every entry whose own number is `number`, in stored order.
    IndexRange WithNumber(std::uint32_t number) const { return byNumber_.Find(number); }
    // Every entry whose parent number is `parent`, files and folders, in stored order.
    IndexRange ChildrenOf(std::uint32_t parent) const { return byParent_.Find(parent); }

    // The bytes the entries, their names and their indexes take, set aside or used.
    std::size_t MemoryBytes() const;

    // Empties the catalogue and its indexes; the capacity stays.
    void Clear();

  private:
    const CatalogueRecord& RecordAt(std::size_t index) const {
        return kept_.empty() ? entries_[index] : kept_[index];
    }
    // The kept records copied into the catalogue's own, before the first append.
    void OwnRecords();

    std::size_t capacity_;
    std::size_t refused_ = 0;
    std::vector<CatalogueRecord> entries_;
    std::span<const CatalogueRecord> kept_;  // read in place while not empty
    std::shared_ptr<const void> keeper_;     // of kept_
    NameStore names_;
    NumberIndex byNumber_;
    NumberIndex byParent_;
};

inline CatalogueEntry EntryRange::Iterator::operator*() const {
    return catalogue_->At(at_);
}
inline EntryRange::Iterator EntryRange::end() const {
    return Iterator(catalogue_, catalogue_->Count());
}
inline std::size_t EntryRange::size() const {
    return catalogue_->Count();
}
inline CatalogueEntry EntryRange::operator[](std::size_t index) const {
    return catalogue_->At(index);
}

}  // namespace tarvik
