// A condition table read where a kept scan holds it, and taken over when it changes.
#include <cstdint>
#include <numeric>

#include "analysis/file_condition.h"

namespace tarvik {

ConditionTable ConditionTable::Kept(std::span<const EntryTimes> times,
                                    std::span<const EntryCondition> conditions,
                                    std::shared_ptr<const void> keeper) {
    ConditionTable table;
    // One of each per entry: a shorter list of times would be read past its end.
    if (times.size() != conditions.size() || !keeper) {
        table.conditions_.assign(conditions.begin(), conditions.end());
        table.timesSlot_.assign(conditions.size(), UINT32_MAX);  // no times
        return table;
    }
    table.keeper_ = std::move(keeper);
    table.keptTimes_ = times;
    table.keptConditions_ = conditions;
    return table;
}

void ConditionTable::TakeOverKept() {
    if (!keeper_) return;
    times_.assign(keptTimes_.begin(), keptTimes_.end());
    conditions_.assign(keptConditions_.begin(), keptConditions_.end());
    timesSlot_.resize(conditions_.size());
    std::iota(timesSlot_.begin(), timesSlot_.end(), std::uint32_t{0});
    keptTimes_ = {};
    keptConditions_ = {};
    keeper_.reset();
}

}  // namespace tarvik
