#pragma once
// The names of a catalogue's entries, back to back in blocks that never move: a name
// handed out stays where it is while more are added, so a reader may keep it across an
// append. A name is found by a 40-bit reference (block in the high bits, place in the
// block in the low 20) and its length.
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
        return {blocks_[reference >> kPlaceBits].get() + (reference & (kBlockBytes - 1)), length};
    }
    // The bytes the blocks take, used or not.
    std::size_t BlockBytes() const { return blockBytes_; }
    void Clear();

  private:
    std::vector<std::unique_ptr<char[]>> blocks_;
    std::size_t lastSize_ = 0;  // of the last block
    std::size_t lastUsed_ = 0;
    std::size_t blockBytes_ = 0;
};

}  // namespace tarvik
