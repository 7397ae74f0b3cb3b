#pragma once
// Which gaps between the reads of a sweep over the drive are read through rather than
// jumped over. A spinning disk reads a gap of up to about a megabyte faster than it moves
// its head past it, but every byte of a gap is read for nothing: the plan reads through
// the smallest gaps first, as each saves one move of the head for the fewest bytes, and
// stops where the bytes read for nothing would pass a share of the bytes wanted.
#include <cstdint>
#include <span>

namespace tarvik {

// One read of the sweep: `sectors` from `sector`.
struct ReadSpan {
    std::uint64_t sector = 0;
    std::uint64_t sectors = 0;
};

// Read through: every gap shorter than `sectors`, and `countAt` gaps of exactly that size.
struct GapPlan {
    std::uint64_t sectors = 0;
    std::uint64_t countAt = 0;

    // Whether a gap of this size is read through (one of those of the plan's own size
    // is used up).
    bool Takes(std::uint64_t gap) {
        if (gap < sectors) return true;
        if (gap != sectors || countAt == 0) return false;
        --countAt;
        return true;
    }
};

// The plan for reads in the order of their place on the drive (a read may overlap those
// before it): no gap over maxGapSectors, and at most 1/budgetDivisor of the sectors the
// reads want read through in all.
GapPlan PlanGaps(std::span<const ReadSpan> reads, std::uint64_t maxGapSectors,
                 std::uint64_t budgetDivisor);

}  // namespace tarvik
