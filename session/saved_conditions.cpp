#include "session/saved_conditions.h"

#include <bit>
#include <cstddef>
#include <cstring>
#include <span>
#include <type_traits>

namespace tarvik {
namespace {

static_assert(sizeof(EntryTimes) == kSavedConditionRecordBytes &&
              std::is_trivially_copyable_v<EntryTimes>);
static_assert(sizeof(EntryCondition) == kSavedConditionRecordBytes &&
              std::is_trivially_copyable_v<EntryCondition>);
// Where in a condition record each field lies: where EntryCondition keeps it.
constexpr std::size_t kDataClustersAt = offsetof(EntryCondition, dataClusters);
constexpr std::size_t kTakenClustersAt = offsetof(EntryCondition, takenClusters);
constexpr std::size_t kTakerClustersAt = offsetof(EntryCondition, takerClusters);
constexpr std::size_t kTakerRecordAt = offsetof(EntryCondition, takerRecord);
constexpr std::size_t kTakerAt = offsetof(EntryCondition, taker);
constexpr std::size_t kConditionAt = offsetof(EntryCondition, condition);
constexpr std::size_t kCauseAt = offsetof(EntryCondition, unknownCause);
constexpr std::size_t kGapAt = offsetof(EntryCondition, readGap);
static_assert(kDataClustersAt == 0 && kTakenClustersAt == 8 && kTakerClustersAt == 16 &&
              kTakerRecordAt == 24 && kTakerAt == 28 && kConditionAt == 29 && kCauseAt == 30 &&
              kGapAt == 31);

// The last value of each kind a condition holds: a byte past it is no value at all.
constexpr auto kLastTaker = static_cast<std::uint8_t>(ClusterTaker::kOutside);
constexpr auto kLastCondition = static_cast<std::uint8_t>(FileCondition::kUnreadable);
constexpr auto kLastCause = static_cast<std::uint8_t>(UnknownCause::kClusterSizeUnverified);
constexpr auto kLastGap = static_cast<std::uint8_t>(ReadGap::kSizePastRuns);

void Put(std::vector<std::uint8_t>& file, std::uint64_t value, int width) {
    for (int i = 0; i < width; ++i) file.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

// The little-endian value at `bytes`, which the caller has checked lie in the file.
template <typename T>
T LoadLe(const std::uint8_t* bytes) {
    T value = 0;
    for (std::size_t i = sizeof value; i-- > 0;) value = static_cast<T>((value << 8) | bytes[i]);
    return value;
}

EntryTimes ReadTimes(const std::uint8_t* record) {
    return {LoadLe<std::uint64_t>(record), LoadLe<std::uint64_t>(record + 8),
            LoadLe<std::uint64_t>(record + 16), LoadLe<std::uint64_t>(record + 24)};
}

EntryCondition ReadCondition(const std::uint8_t* record) {
    EntryCondition c;
    c.dataClusters = LoadLe<std::uint64_t>(record + kDataClustersAt);
    c.takenClusters = LoadLe<std::uint64_t>(record + kTakenClustersAt);
    c.takerClusters = LoadLe<std::uint64_t>(record + kTakerClustersAt);
    c.takerRecord = LoadLe<std::uint32_t>(record + kTakerRecordAt);
    c.taker = static_cast<ClusterTaker>(record[kTakerAt]);
    c.condition = static_cast<FileCondition>(record[kConditionAt]);
    c.unknownCause = static_cast<UnknownCause>(record[kCauseAt]);
    c.readGap = static_cast<ReadGap>(record[kGapAt]);
    return c;
}

bool ReadableInPlace(const std::uint8_t* times, const std::uint8_t* conditions) {
    const auto aligned = [](const std::uint8_t* at, std::size_t alignment) {
        return reinterpret_cast<std::uintptr_t>(at) % alignment == 0;
    };
    return std::endian::native == std::endian::little && aligned(times, alignof(EntryTimes)) &&
           aligned(conditions, alignof(EntryCondition));
}

}  // namespace

void PutSavedConditions(std::vector<std::uint8_t>& file, const ConditionTable& table) {
    const std::size_t count = table.Count();
    Put(file, count, 8);
    file.resize(file.size() + SavedConditionsPadding(file.size()), 0);
    file.reserve(file.size() + 2 * count * kSavedConditionRecordBytes);
    for (std::size_t i = 0; i < count; ++i) {
        const EntryTimes& t = table.Times(i);
        for (const std::uint64_t v : {t.creation, t.modification, t.recordChange, t.access})
            Put(file, v, 8);
    }
    for (std::size_t i = 0; i < count; ++i) {
        const EntryCondition& c = table.Condition(i);
        Put(file, c.dataClusters, 8);
        Put(file, c.takenClusters, 8);
        Put(file, c.takerClusters, 8);
        Put(file, c.takerRecord, 4);
        for (const auto value :
             {static_cast<std::uint8_t>(c.taker), static_cast<std::uint8_t>(c.condition),
              static_cast<std::uint8_t>(c.unknownCause), static_cast<std::uint8_t>(c.readGap)})
            Put(file, value, 1);
    }
}

bool CheckSavedConditions(const std::uint8_t* records, std::size_t count) {
    const std::uint8_t* record = records;
    for (std::size_t i = 0; i < count; ++i, record += kSavedConditionRecordBytes) {
        if (record[kTakerAt] > kLastTaker || record[kConditionAt] > kLastCondition ||
            record[kCauseAt] > kLastCause || record[kGapAt] > kLastGap)
            return false;
    }
    return true;
}

ConditionTable ReadSavedConditions(const std::shared_ptr<const std::uint8_t>& file,
                                   const std::uint8_t* times, const std::uint8_t* conditions,
                                   std::size_t count) {
    if (!ReadableInPlace(times, conditions))
        return ConditionTable(ReadSavedTimes(times, count),
                              ReadSavedConditionList(conditions, count));
    // The records were checked to hold only values of their kinds, and lie in the file
    // laid out as the structures are: they are read as such.
    return ConditionTable::Kept(
        std::span(reinterpret_cast<const EntryTimes*>(times), count),
        std::span(reinterpret_cast<const EntryCondition*>(conditions), count), file);
}

std::vector<EntryTimes> ReadSavedTimes(const std::uint8_t* times, std::size_t count) {
    std::vector<EntryTimes> list(count);
    for (std::size_t i = 0; i < count; ++i)
        list[i] = ReadTimes(times + i * kSavedConditionRecordBytes);
    return list;
}

std::vector<EntryCondition> ReadSavedConditionList(const std::uint8_t* conditions,
                                                   std::size_t count) {
    std::vector<EntryCondition> list(count);
    for (std::size_t i = 0; i < count; ++i)
        list[i] = ReadCondition(conditions + i * kSavedConditionRecordBytes);
    return list;
}

}  // namespace tarvik
