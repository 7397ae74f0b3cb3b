#pragma once
// Decoded data runs. A run table holds the runs of one or more run lists back to back;
// the first run of each list is tagged 'S', every later one 'M'. Start sectors are not
// stored: they are a running sum that every walker computes the same way (RunWalker).
#include <cstdint>
#include <optional>
#include <vector>

namespace tarvik {

#pragma pack(push, 1)
struct RunEntry {
    std::uint32_t reserved = 0;
    std::uint32_t lengthSectors = 0;  // clusters x sectors per cluster
    std::uint32_t rawCluster = 0;     // cluster field, zero-extended from its stored width
    std::uint8_t clusterWidth = 0;    // stored width 1-4; 0 marks a sparse run (no cluster)
    std::uint8_t tag = 0;             // 'S' first run of a run list, 'M' later runs

    bool isSparse() const { return clusterWidth == 0; }
};
#pragma pack(pop)
static_assert(sizeof(RunEntry) == 14);

inline constexpr std::uint8_t kFirstRunTag = 'S';
inline constexpr std::uint8_t kLaterRunTag = 'M';

// A bounded table of runs: appending past the capacity is refused, never written.
class RunTable {
  public:
    explicit RunTable(std::size_t capacity = kDefaultCapacity) : capacity_(capacity) {}

    // Room for the 107,142 entries of a 1,500,000-byte table.
    static constexpr std::size_t kDefaultCapacity = 1'500'000 / sizeof(RunEntry);

    bool Append(const RunEntry& entry);
    void Clear() { entries_.clear(); }
    const std::vector<RunEntry>& Entries() const { return entries_; }
    std::size_t Count() const { return entries_.size(); }
    bool Empty() const { return entries_.empty(); }
    bool Full() const { return entries_.size() >= capacity_; }
    std::size_t Capacity() const { return capacity_; }
    // Sum of all run lengths in sectors.
    std::uint64_t TotalSectors() const;

  private:
    std::size_t capacity_;
    std::vector<RunEntry> entries_;
};

// One run with its place on the drive, as a walker of the table sees it.
struct PlacedRun {
    std::uint64_t startSector = 0;  // relative to the first sector of the drive
    std::uint32_t lengthSectors = 0;
    bool sparse = false;
};

// Walks a run table keeping the running start: an 'S' entry sets it to raw x sectors
// per cluster; an 'M' entry adds the signed delta (negative when the top bit of its
// stored width is set) x sectors per cluster. Sparse runs leave it unchanged. A start
// that would fall below sector 0 ends the walk.
class RunWalker {
  public:
    RunWalker(const RunTable& table, std::uint32_t sectorsPerCluster)
        : entries_(table.Entries()), sectorsPerCluster_(sectorsPerCluster) {}
    RunWalker(const std::vector<RunEntry>& entries, std::uint32_t sectorsPerCluster)
        : entries_(entries), sectorsPerCluster_(sectorsPerCluster) {}

    std::optional<PlacedRun> Next();
    std::size_t index() const { return index_; }

    static std::int64_t SignedDelta(std::uint32_t raw, std::uint8_t width);

  private:
    const std::vector<RunEntry>& entries_;
    std::uint32_t sectorsPerCluster_;
    std::size_t index_ = 0;
    std::int64_t start_ = 0;  // in sectors
};

// Every run of a table placed on the drive, in order.
std::vector<PlacedRun> PlaceRuns(const RunTable& table, std::uint32_t sectorsPerCluster);

}  // namespace tarvik
