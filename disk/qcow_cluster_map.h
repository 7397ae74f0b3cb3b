#pragma once
// Where a QCOW2 (or QCOW3) image keeps each of its disk's clusters in its file, read from
// the image's two levels of cluster tables, to tell which clusters the file is too short
// to hold. The library that reads the format copies a whole cluster out of what it read
// of one: a cluster (or a compressed cluster's data, or a table) that reaches past the
// end of a cut file would be copied from beyond what was read.
#include <cstdint>
#include <optional>
#include <vector>

#include "common/byte_view.h"

namespace tarvik {

// The fields of the header the check needs.
struct QcowHeader {
    static constexpr std::size_t kSize = 104;  // version 3's header; version 2's is 72

    std::uint32_t clusterBits = 0;
    std::uint64_t diskSize = 0;
    std::uint32_t l1Entries = 0;
    std::uint64_t l1Offset = 0;
    std::uint32_t l2EntryBytes = 8;  // 16 with extended L2 entries

    // Nothing for another version (the first has other tables), for a cluster size
    // outside 512 bytes to 2 MiB, and for an image whose clusters lie in a file of its
    // own: the check could not tell anything of those.
    static std::optional<QcowHeader> Parse(ByteView bytes);
    std::uint64_t clusterSize() const { return std::uint64_t{1} << clusterBits; }
};

// The tables of an image file, read through a descriptor the caller keeps open.
class QcowClusterMap {
  public:
    // Nothing when the file's header is not one QcowHeader reads. When its first-level
    // table cannot be read whole, no cluster counts as held.
    static std::optional<QcowClusterMap> Open(int fd, std::uint64_t fileSize);

    // The first byte of the disk in [from, to) whose cluster the file does not hold
    // whole; `to` when it holds them all. Clusters the image leaves unallocated read as
    // zeros and count as held.
    std::uint64_t FirstMissingByte(std::uint64_t from, std::uint64_t to) const;

  private:
    QcowClusterMap(int fd, std::uint64_t fileSize, QcowHeader header)
        : fd_(fd), fileSize_(fileSize), header_(header) {}
    // Whether the file holds a cluster whose L2 entry is `entry` (the first 8 bytes).
    bool Holds(std::uint64_t entry) const;

    int fd_;
    std::uint64_t fileSize_;
    QcowHeader header_;
    std::vector<std::uint64_t> l1_;
    bool l1Whole_ = true;
};

}  // namespace tarvik
