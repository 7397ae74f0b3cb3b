#include "recovery/gap_plan.h"

#include <algorithm>
#include <vector>

namespace tarvik {

GapPlan PlanGaps(std::span<const ReadSpan> reads, std::uint64_t maxGapSectors,
                 std::uint64_t budgetDivisor) {
    std::vector<std::uint64_t> gaps;
    std::uint64_t wanted = 0;
    std::uint64_t end = 0;  // the furthest sector read so far
    bool started = false;
    for (const ReadSpan& read : reads) {
        const std::uint64_t readEnd = read.sector + read.sectors;
        if (started && read.sector > end && read.sector - end <= maxGapSectors)
            gaps.push_back(read.sector - end);
        const std::uint64_t from = started ? std::max(read.sector, end) : read.sector;
        if (readEnd > from) wanted += readEnd - from;
        end = started ? std::max(end, readEnd) : readEnd;
        started = true;
    }
    std::sort(gaps.begin(), gaps.end());
    const std::uint64_t budget = budgetDivisor == 0 ? 0 : wanted / budgetDivisor;
    GapPlan plan;
    std::uint64_t used = 0;
    for (const std::uint64_t gap : gaps) {
        if (used + gap > budget) break;
        used += gap;
        if (gap != plan.sectors) plan = GapPlan{gap, 0};
        ++plan.countAt;
    }
    return plan;
}

}  // namespace tarvik
