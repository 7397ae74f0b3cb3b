#pragma once
// What the condition check takes from every MFT record while the scan's pass reads it:
// the times of each record, the runs of the records in use, and the data runs of those
// not in use, weighed later against each other.
#include <algorithm>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "analysis/file_condition.h"
#include "analysis/written_over_probe.h"
#include "common/byte_view.h"
#include "ntfs/attribute.h"
#include "scan/scan_engine.h"

namespace tarvik {

// Clusters [start, end) on the volume that a record's runs list.
struct Extent {
    std::uint64_t start = 0;
    std::uint64_t end = 0;
    std::uint32_t owner = 0;  // record number
};

// Sorts extents by start (ties in no promised order, but always the same one for the
// same list).
void SortByStart(std::vector<Extent>& extents);

// A deleted catalogued file whose data lies in clusters.
struct DeletedFile {
    std::uint32_t number = 0;
    std::uint64_t logSequence = 0;
    std::uint64_t recordChange = 0;
    std::vector<Extent> runs;
    bool mapped = false;  // its data (resident or runs) could be found
    // What of its data cannot be read (kNone: all of it can).
    ReadGap readGap = ReadGap::kNone;
    WrittenData written;
    // A copy of a live record of the same file (same number and sequence), whose
    // clusters are its own.
    std::uint32_t liveTwin = UINT32_MAX;
};

// The times a $STANDARD_INFORMATION attribute keeps, or the record's first one does.
std::optional<EntryTimes> TimesOf(const Attribute& attribute);
std::optional<EntryTimes> TimesOf(ByteView record);

// A file's data clusters as clusters of the live volume, with what orders its writing
// against others'. Its runs are read with the cluster size of the volume the record
// belongs to, which began at its own place on the drive: an older volume formatted over
// may differ in both, and a cluster of the live volume holds the file's data when any of
// its sectors does. `record` is fixed up.
DeletedFile WeighedFile(ScanEngine& engine, std::uint32_t number, ByteView record,
                        std::uint64_t logSequence, std::uint64_t recordChange);

// What every MFT record tells, gathered in one walk over its attributes per record.
struct MftFacts {
    // The times are set aside for the MFT's record count (pages untouched until records
    // come), but for no more records than this: a damaged MFT may claim any size, and the
    // list grows as records come instead.
    static constexpr std::uint64_t kTimesSetAside = 1u << 25;

    // Per record number, what the pass saw of a base record (bits, or-ed).
    static constexpr std::uint8_t kSeen = 1;           // a base record that decodes
    static constexpr std::uint8_t kHasData = 2;        // with unnamed data, or an attribute list
    static constexpr std::uint8_t kCutShort = 4;       // a data run list cut short
    static constexpr std::uint8_t kPastImage = 8;      // data clusters past the image's end
    static constexpr std::uint8_t kSizePastRuns = 16;  // a data size its runs cannot hold

    explicit MftFacts(ScanEngine& scanned);

    void Mark(std::uint32_t number, std::uint8_t bits) {
        if (states.capacity() == 0)
            states.reserve(std::min(engine.mftRecordCount(), kTimesSetAside));
        if (number >= states.size()) states.resize(std::size_t{number} + 1);
        states[number] |= bits;
    }

    // The runs of a record in use (every non-resident attribute holds its clusters:
    // data, named streams, folder indexes, attribute lists), the times of a base record,
    // and the data runs of a base record not in use. `bytes` is fixed up.
    void Record(std::uint64_t number, ByteView record);
    // The part of Record that needs the record's bytes alone (safe on any thread): the
    // runs of a record in use, its times and marks (kSeen...). Whole, or in the steps of
    // another walk over the record: its header, each attribute, the end.
    void Observe(ByteView record, ObservedRecord& into, std::vector<ObservedExtent>& extents) const;
    void ObserveHeader(const FileRecordHeader& header, ObservedRecord& into,
                       const std::vector<ObservedExtent>& extents) const;
    void ObserveAttribute(const Attribute& attribute, ObservedRecord& into,
                          std::vector<ObservedExtent>& extents) const;
    void ObserveEnd(ObservedRecord& into, const std::vector<ObservedExtent>& extents) const;
    // The rest, in number order: what Observe took is kept, and a deleted base record's
    // data runs weighed.
    void Take(std::uint64_t number, ByteView record, const ObservedRecord& observed,
              std::span<const ObservedExtent> extents);

    // Sorts the live extents by start, as the check searches them, once.
    void SortLive();

    std::uint64_t Bytes() const {
        std::uint64_t runs = 0;
        for (const DeletedFile& f : deleted) runs += f.runs.capacity() * sizeof(Extent);
        return timesByNumber.capacity() * sizeof(EntryTimes) + live.capacity() * sizeof(Extent) +
               deleted.capacity() * sizeof(DeletedFile) + runs + states.capacity();
    }

    ScanEngine& engine;
    // Indexed by record number; zero for records without times.
    std::vector<EntryTimes> timesByNumber;
    std::vector<Extent> live;
    bool liveSorted = false;
    // Every base record not in use, in number order: which of them the catalogue holds
    // as deleted files is known only after the scan.
    std::vector<DeletedFile> deleted;
    // Per record number: the kSeen... bits of the base records.
    std::vector<std::uint8_t> states;
    std::uint64_t clusterBytes = 0;
    // Clusters of the volume the disk (or image) holds: an image cut short holds fewer.
    std::uint64_t readableClusters = UINT64_MAX;
    bool whole = false;
};

}  // namespace tarvik
