#pragma once
// The names of a catalogue's entries, back to back in blocks that never move: a name
// handed out stays where it is while more are added, so a reader may keep it across an
// append. A name is found by a 40-bit reference (block in the high bits, place in the
// block in the low 20) and its length.
//
// The first names may lie in bytes the store does not own (a saved scan's mapped file),
// read where they lie: their reference is then their place in those bytes, which count
// as blocks of kBlockBytes one after another. Names added later go into blocks of its own.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

namespace tarvik {

class NameStore {
  public:
    static constexpr std::uint32_t kPlaceBits = 20;
    static constexpr std::size_t kBlockBytes = std::size_t{1} << kPlaceBits;  // the largest block
    static constexpr std::uint64_t kReferenceEnd = std::uint64_t{1} << 40;
    // The longest name stored; a longer one is refused.
    static constexpr std::size_t kMaxNameLength = 1023;

    // Copies the name in; nothing when the name is too long or the store is full.
    // Precondition for the result: a later Name(reference, name.size()).
    bool Add(std::string_view name, std::uint64_t& reference);
    std::string_view Name(std::uint64_t reference, std::size_t length) const {
        if (length == 0) return {};
        return {blocks_[reference >> kPlaceBits] + (reference & (kBlockBytes - 1)), length};
    }
    // For an empty store: the names lie in `names`, which `keeper` keeps alive (shorter
    // than kReferenceEnd). Names added later are copied into blocks of the store's own.
    void Borrow(std::shared_ptr<const void> keeper, std::string_view names);
    // The bytes the store's own blocks take, used or not.
    std::size_t BlockBytes() const { return blockBytes_; }
    void Clear();

  private:
    std::vector<const char*> blocks_;  // where each block begins, borrowed ones first
    std::vector<std::unique_ptr<char[]>> owned_;
    std::shared_ptr<const void> keeper_;
    char* last_ = nullptr;      // the block names are added to; none yet
    std::size_t lastSize_ = 0;  // of the last own block
    std::size_t lastUsed_ = 0;
    std::size_t blockBytes_ = 0;
};

}  // namespace tarvik
