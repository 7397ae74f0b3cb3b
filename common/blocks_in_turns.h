#pragma once
// Text made in numbered blocks on two threads in turns, handed out in block order: the
// calling thread makes the even blocks and a second thread the odd ones, each into its
// own buffers, so the result is the same as one thread making them all. At most three
// blocks are held at a time.
#include <cstddef>
#include <functional>
#include <string>

namespace tarvik {

// Appends block `block`'s text to `out` (which comes empty).
using BlockMaker = std::function<void(std::size_t block, std::string& out)>;

// Makes blocks 0 .. count - 1, `first` the even ones on this thread, `second` the odd
// ones on a second thread (`first` makes them all when there is no second thread to be
// had), and gives each to `take`, in order, on this thread. `stopped` is asked before
// each block is taken: true ends it there (what was taken stays taken) and the result
// is false.
bool MakeBlocksInTurns(std::size_t count, const BlockMaker& first, const BlockMaker& second,
                       const std::function<void(const std::string&)>& take,
                       const std::function<bool()>& stopped);

}  // namespace tarvik
