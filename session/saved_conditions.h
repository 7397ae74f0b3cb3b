#pragma once
// The conditions and times of a kept scan: a count, zero bytes up to an 8-byte boundary
// of the file, then two arrays of 32-byte records, one record per entry: the times, then
// the conditions. Each record holds the fields of EntryTimes or EntryCondition in their
// order in memory, little-endian, so that on a little-endian machine a reopened scan
// reads them where the mapped file holds them, without a copy.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "analysis/file_condition.h"

namespace tarvik {

inline constexpr std::size_t kSavedConditionRecordBytes = 32;

// Appends the table's records after the count to `file`.
void PutSavedConditions(std::vector<std::uint8_t>& file, const ConditionTable& table);

// The zero bytes between the count, which ends at `at`, and the arrays.
inline std::size_t SavedConditionsPadding(std::size_t at) {
    return (8 - at % 8) % 8;
}

// Whether each of `count` condition records from `records` on holds values a condition
// can have.
bool CheckSavedConditions(const std::uint8_t* records, std::size_t count);

// The arrays of `count` records at `times` and `conditions`, both inside `file` and
// checked: as a table reading them in place when the machine and the alignment allow,
// else copied.
ConditionTable ReadSavedConditions(const std::shared_ptr<const std::uint8_t>& file,
                                   const std::uint8_t* times, const std::uint8_t* conditions,
                                   std::size_t count);
std::vector<EntryTimes> ReadSavedTimes(const std::uint8_t* times, std::size_t count);
std::vector<EntryCondition> ReadSavedConditionList(const std::uint8_t* conditions,
                                                   std::size_t count);

}  // namespace tarvik
