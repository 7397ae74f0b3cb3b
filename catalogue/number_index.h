#pragma once
// Maps a 32-bit number (an own number, a parent number) to the table positions added
// under it, kept in the order they were added. Lookups by number then give the same
// answers as a walk of the table in stored order, first match first, without the walk.
#include <array>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <span>
#include <unordered_map>
#include <vector>

namespace tarvik {

// One number of a kept index, and where its positions begin among the index's: they run
// up to where the next number's begin (the last number's, to the end).
struct KeptNumber {
    std::uint32_t number;
    std::uint32_t first;
};
static_assert(sizeof(KeptNumber) == 8);

// Where the positions of the kept number at `i` end, in a list of `positions` in all.
inline std::size_t KeptPositionsEnd(std::span<const KeptNumber> numbers, std::size_t i,
                                    std::size_t positions) {
    return i + 1 < numbers.size() ? numbers[i + 1].first : positions;
}

// What a kept index holds: the positions in order of number (those of one number in
// the order added), and each number with where its positions begin, the numbers rising.
struct KeptIndexParts {
    std::vector<std::uint32_t> positions;
    std::vector<KeptNumber> numbers;
};

// The positions stored under one number, in the order they were added.
class IndexRange {
    struct Links;

  public:
    class Iterator {
      public:
        using iterator_category = std::input_iterator_tag;
        using value_type = std::size_t;
        using difference_type = std::ptrdiff_t;
        using pointer = void;
        using reference = std::size_t;

        Iterator() = default;
        std::size_t operator*() const;
        Iterator& operator++();
        Iterator operator++(int) {
            Iterator before = *this;
            ++*this;
            return before;
        }
        friend bool operator==(const Iterator& a, const Iterator& b) { return a.at_ == b.at_; }

      private:
        friend class IndexRange;
        Iterator(const Links* links, std::uint32_t at, std::uint32_t last)
            : links_(links), at_(at), last_(last) {}
        const Links* links_ = nullptr;
        std::uint32_t at_ = kEnd;
        std::uint32_t last_ = kEnd;
    };

    IndexRange() = default;
    Iterator begin() const { return Iterator(links_, head_, tail_); }
    Iterator end() const { return Iterator(links_, kEnd, kEnd); }
    std::size_t size() const { return count_; }
    bool empty() const { return count_ == 0; }
    // The first and the last position; only when not empty.
    std::size_t front() const;
    std::size_t back() const;
    std::vector<std::size_t> ToVector() const { return {begin(), end()}; }

  private:
    friend class NumberIndex;
    static constexpr std::uint32_t kEnd = 0xFFFFFFFF;
    // One node per position added, in the order added.
    struct Links {
        std::vector<std::uint32_t> next;  // the next node under the same number
        // The position of each node; empty while every position added was the count of
        // those added before it (a table indexed as it fills), which needs no copy.
        std::vector<std::uint32_t> positions;
        // Or, while not empty, the positions kept elsewhere in order of number: node j is
        // followed by node j + 1 under the same number.
        std::span<const std::uint32_t> kept;
        std::size_t PositionOf(std::uint32_t node) const {
            if (!kept.empty()) return kept[node];
            return positions.empty() ? node : positions[node];
        }
        std::uint32_t Next(std::uint32_t node) const {
            return kept.empty() ? next[node] : node + 1;
        }
    };
    IndexRange(const Links* links, std::uint32_t head, std::uint32_t tail, std::uint32_t count)
        : links_(links), head_(head), tail_(tail), count_(count) {}

    const Links* links_ = nullptr;
    std::uint32_t head_ = kEnd;
    std::uint32_t tail_ = kEnd;
    std::uint32_t count_ = 0;
};

// Numbers are mostly dense from 0 (MFT record numbers), but an image may carry any
// 32-bit number. The chains of the low numbers lie in a table indexed by number, grown
// only while at least a quarter of its slots are in use, so its size stays tied to the
// count of numbers added; every other number's chain is kept in a hash map.
class NumberIndex {
  public:
    // Adds `position` as the last one under `number`.
    void Add(std::uint32_t number, std::uint32_t position);
    // A snapshot: positions added later are not part of it. Valid while the index lives
    // and is not cleared or moved.
    IndexRange Find(std::uint32_t number) const;
    // Room for this many positions set aside at once.
    void Reserve(std::size_t positions) { links_.next.reserve(positions); }
    // The table made at once for every number below `end` (numbers known to be dense from
    // 0 to a count, as an MFT's records are): it then never doubles past that count, nor is
    // copied on growing.
    void ReserveNumbers(std::uint32_t end);
    // The table set aside at once for every number up to `largest`, in an index still
    // empty, when about `numbers` different numbers will be added: only when they fill
    // as much of it as would make it grow so far anyway.
    void ReserveTable(std::uint32_t largest, std::size_t numbers);
    // Reads a kept index where it lies: the positions in order of number (those of one
    // number in the order added), and each number with where its positions begin, the
    // numbers rising. A number is then found in the numbers themselves (at once where
    // they run without gaps, else by halving), with no table made. Whoever keeps them
    // keeps them alive while the index reads them; the first Add copies them into tables
    // of the index's own. Precondition: they agree (KeptIndexMismatch says nothing).
    void ReadKept(std::span<const std::uint32_t> positions, std::span<const KeptNumber> numbers);
    // The index as ReadKept reads it.
    KeptIndexParts Parts() const;
    // About what the index takes: its tables set aside, and each hash entry with its node.
    std::size_t MemoryBytes() const;
    void Clear();

  private:
    struct Chain {
        std::uint32_t head = IndexRange::kEnd;
        std::uint32_t tail = IndexRange::kEnd;
        std::uint32_t count = 0;  // none: no position under the number
    };
    Chain& ChainOf(std::uint32_t number);
    // Whether the table grew to hold `number`, a number not added before.
    bool Widen(std::uint32_t number);
    // The table made `size` slots long, and the map's numbers below that moved into it.
    void GrowTable(std::uint64_t size);
    // The kept positions copied, linked and put into the tables, before a position is
    // added to them.
    void OwnKept();
    IndexRange FindKept(std::uint32_t number) const;

    std::vector<Chain> dense_;  // by number, for numbers below its size
    std::size_t denseNumbers_ = 0;
    std::unordered_map<std::uint32_t, Chain> sparse_;
    // The numbers in sparse_ by bit width: how many lie below each power of two.
    std::array<std::uint32_t, 33> sparseByWidth_{};
    IndexRange::Links links_;
    std::span<const KeptNumber> keptNumbers_;  // while links_.kept is read
};

}  // namespace tarvik
