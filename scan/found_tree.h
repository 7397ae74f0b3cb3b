#pragma once
// The folder tree and the geometry of records found by searching the drive rather than
// through the MFT. Every found record stores its own MFT number and sequence; a parent
// reference is resolved through them to the entry of the folder record found, so files
// and folders hang under their real folders. Records of an older volume formatted over
// are resolved among themselves only, and read with that volume's cluster size when the
// drive still shows it.
#include <cstdint>
#include <unordered_map>
#include <vector>

#include "common/positions.h"
#include "ntfs/file_record.h"
#include "scan/scan_state.h"

namespace tarvik {

// Where the MFTs of the other volumes whose boot sectors the search met begin.
std::vector<std::uint64_t> OlderMftStarts(const ScanState& state);

class FoundTree {
  public:
    // `liveByMftNumbers`: the live volume's entries are numbered by MFT number (the MFT
    // was read), so its references need no resolving.
    FoundTree(const ScanState& state, bool liveByMftNumbers);

    // A folder record found with the number and sequence it stores, catalogued under
    // `ownNumber`.
    void AddFolder(std::uint8_t volume, std::uint32_t number, std::uint16_t sequence, bool inUse,
                   std::uint32_t ownNumber);

    // The parent number an entry takes for its parent reference: the own number of the
    // folder found with that number (the live root's children keep the root's number),
    // else one number per missing folder that no entry has, so the lost-folder phase
    // gives each its own made-up folder.
    std::uint32_t ParentOf(std::uint8_t volume, std::uint32_t number, std::uint16_t sequence);

    // Above every number ParentOf handed out for a missing folder.
    std::uint64_t numbersEnd() const { return nextMissing_; }

  private:
    struct Folder {
        std::uint32_t ownNumber = 0;
        std::uint16_t sequence = 0;
        bool inUse = false;
    };
    bool liveByMftNumbers_;
    std::unordered_map<std::uint64_t, std::vector<Folder>> folders_;
    std::unordered_map<std::uint64_t, std::uint32_t> missing_;
    std::uint64_t nextMissing_;
};

// What the records of an older volume tell of its cluster size: the sectors its $MFT
// record was found at against the first clusters of its $MFT and $MFTMirr data, and the
// index blocks its folders' runs point to.
class OlderVolumeClues {
  public:
    // A record of the older volume, fix-up applied, found at `sector`.
    void Take(DriveSector sector, const FoundRecordOrigin& origin, const RecordBuffer& record);
    bool empty() const { return !any_; }

    // The older volume's cluster size: verified when one size fits what was found, else
    // the live volume's, unverified.
    FoundVolume Volume(const ScanState& state) const;
    // Whether the records are another volume's rather than stale copies of the live
    // one's: a boot sector of another volume was met, records of its own $MFT or $MFTMirr
    // were found, the layout they show is not the live one, or their runs would reach
    // past the drive read with the live cluster size.
    bool ShowAnotherVolume(const ScanState& state, const FoundVolume& volume) const;

  private:
    struct IndexProbe {
        std::uint64_t lcn = 0;
        std::uint64_t vcn = 0;
    };
    bool any_ = false;
    std::vector<std::uint64_t> mftRecordSectors_;  // where copies of record 0 were found
    std::vector<std::uint64_t> mftDataClusters_;   // first clusters of $MFT and $MFTMirr data
    std::vector<IndexProbe> indexProbes_;
    std::uint64_t runsEnd_ = 0;  // past the last cluster any of their runs names
};

}  // namespace tarvik
