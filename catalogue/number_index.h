#pragma once
// Maps a 32-bit number (an own number, a parent number) to the table positions added
// under it, kept in the order they were added. Lookups by number then give the same
// answers as a walk of the table in stored order, first match first, without the walk.
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <unordered_map>
#include <vector>

namespace tarvik {

// The positions stored under one number, in the order they were added.
class IndexRange {
    struct Node;

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
        Iterator(const std::vector<Node>* nodes, std::uint32_t at, std::uint32_t last)
            : nodes_(nodes), at_(at), last_(last) {}
        const std::vector<Node>* nodes_ = nullptr;
        std::uint32_t at_ = kEnd;
        std::uint32_t last_ = kEnd;
    };

    IndexRange() = default;
    Iterator begin() const { return Iterator(nodes_, head_, tail_); }
    Iterator end() const { return Iterator(nodes_, kEnd, kEnd); }
    std::size_t size() const { return count_; }
    bool empty() const { return count_ == 0; }
    // The first and the last position; only when not empty.
    std::size_t front() const;
    std::size_t back() const;
    std::vector<std::size_t> ToVector() const { return {begin(), end()}; }

  private:
    friend class NumberIndex;
    static constexpr std::uint32_t kEnd = 0xFFFFFFFF;
    struct Node {
        std::uint32_t value;
        std::uint32_t next;
    };
    IndexRange(const std::vector<Node>* nodes, std::uint32_t head, std::uint32_t tail,
               std::uint32_t count)
        : nodes_(nodes), head_(head), tail_(tail), count_(count) {}

    const std::vector<Node>* nodes_ = nullptr;
    std::uint32_t head_ = kEnd;
    std::uint32_t tail_ = kEnd;
    std::uint32_t count_ = 0;
};

class NumberIndex {
  public:
    // Adds `position` as the last one under `number`.
    void Add(std::uint32_t number, std::uint32_t position);
    // A snapshot: positions added later are not part of it. Valid while the index lives
    // and is not cleared or moved.
    IndexRange Find(std::uint32_t number) const;
    void Clear();

  private:
    struct Chain {
        std::uint32_t head;
        std::uint32_t tail;
        std::uint32_t count;
    };
    std::unordered_map<std::uint32_t, Chain> chains_;
    std::vector<IndexRange::Node> nodes_;
};

}  // namespace tarvik
