#pragma once
// Giving memory back to the system before it is freed, or after the allocator has kept
// it, where the platform allows; elsewhere these do nothing and memory goes back when
// it is freed, as usual. A scan of a large volume holds big temporaries next to a
// catalogue that keeps growing, so what they no longer need counts at its peak.
#include <cstddef>

namespace tarvik {

// Gives back the whole pages lying inside [data, data + size), which must be memory the
// caller owns and will not read again: their bytes are lost (they read as zeros after).
// Pages only partly inside are kept.
void ReleasePages(void* data, std::size_t size);

// Returns memory the allocator keeps from earlier frees to the system.
void ReturnFreedMemory();

}  // namespace tarvik
