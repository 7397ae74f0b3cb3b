#pragma once
// Whether a deleted file's bytes show that another file was written over it since, when
// no record claims its clusters any more (a later file deleted in turn, whose record was
// given to another). A file is written in whole pages: what follows its last byte up to
// the end of that page (or of its cluster, if smaller) is zeros. So the bytes after its
// end that are not zeros, or a cluster inside it or its own end reached by a run of zeros
// (where a shorter file written over it ended, the rest of its page zeroed), tell of a
// later writer.
//
// The probe looks only at bytes read for another reason (or read for it on purpose): it
// is fed every read that passes, and judges from what it was fed.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "disk/sector_source.h"

namespace tarvik {

struct FileDataMap;

// Where a plain file (not compressed, initialized to its length) shows it.
struct WrittenData {
    static constexpr std::uint32_t kClustersLooked = 16;
    static constexpr std::uint64_t kPage = 4096;
    // The first clusters of its first run, each full of its data: sector and count.
    std::uint64_t headSector = 0;
    std::uint32_t headClusters = 0;
    std::uint32_t clusterBytes = 0;
    // Around its end: the sectors from tailSector, tailSectors of them; its last bytes
    // before endAt (from lastFrom, when they lie in the same cluster), and the rest of
    // its last page after it, up to pageEndAt.
    std::optional<std::uint64_t> tailSector;
    std::uint16_t tailSectors = 0;
    std::optional<std::uint16_t> lastFrom;
    std::uint16_t endAt = 0;
    std::uint16_t pageEndAt = 0;
};

// Where the file's data map shows it (nothing to look at for resident, compressed or
// partly initialized data).
WrittenData WhereWritten(const FileDataMap& map, std::uint32_t clusterSectors);

class WrittenOverProbe {
  public:
    explicit WrittenOverProbe(const WrittenData& where);

    // Takes what it looks at from bytes read at `sector` of the drive.
    void Saw(std::uint64_t sector, std::span<const std::uint8_t> bytes);
    // Whether the bytes seen show another file written over it. Bytes never seen (not
    // read, or unreadable) tell nothing.
    bool WrittenOver() const;

  private:
    static constexpr std::size_t kZeroEnd = 64;  // a shorter file's end: 98% leave more
    WrittenData where_;
    // What was seen so far: a head cluster that ends in kZeroEnd zeros, which sectors
    // around the end were seen (one bit each), and whether its last bytes and what
    // follows them held anything but zeros.
    bool zeroEndedCluster_ = false;
    std::uint32_t tailSeen_ = 0;
    bool lastNotZero_ = false;
    bool afterEndNotZero_ = false;
};

// A source that shows the probe every read that passes on the way through.
class ProbingSource final : public SectorSource {
  public:
    ProbingSource(SectorSource& drive, WrittenOverProbe& probe) : drive_(drive), probe_(probe) {}
    bool Read(DriveSector sector, std::span<std::uint8_t> buffer) override;
    std::optional<std::uint64_t> SectorCount() override { return drive_.SectorCount(); }

  private:
    SectorSource& drive_;
    WrittenOverProbe& probe_;
};

}  // namespace tarvik
