#include "scan/found_tree.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <map>

#include "catalogue/catalogue_entry.h"
#include "ntfs/attribute.h"
#include "ntfs/run_list.h"

namespace tarvik {

namespace {

std::uint64_t Key(std::uint8_t volume, std::uint32_t number) {
    return (std::uint64_t{volume} << 32) | number;
}

// How well a folder record fits a reference to its number: the same sequence; a deleted
// folder one sequence later (freeing a record advances its sequence); any folder in use;
// any other folder with that number.
int Fit(std::uint16_t recordSequence, bool inUse, std::uint16_t wanted) {
    if (wanted == 0 || recordSequence == wanted) return 3;
    if (!inUse && recordSequence == static_cast<std::uint16_t>(wanted + 1)) return 2;
    return inUse ? 1 : 0;
}

// Cluster sizes tried for an older volume, in 512-byte sectors: 512 bytes to 2 MiB.
constexpr std::uint32_t kLargestClusterSectors = 4096;
// Enough index blocks to tell cluster sizes apart, few enough to read at once.
constexpr std::size_t kMaxIndexProbes = 64;
constexpr std::size_t kIndexVcnOffset = 0x10;
// A file's first runs show well enough how far its volume reaches.
constexpr std::size_t kMaxRunsLooked = 64;

bool IsClusterSize(std::uint64_t sectors) {
    return sectors != 0 && sectors <= kLargestClusterSectors && (sectors & (sectors - 1)) == 0;
}

using Layout = std::pair<std::uint64_t, std::uint32_t>;  // start sector, cluster size

// The best-supported layout, when no other has as much support.
std::optional<Layout> UniqueBest(const std::map<Layout, std::size_t>& votes) {
    std::optional<Layout> best;
    std::size_t bestVotes = 0;
    bool tied = false;
    for (const auto& [layout, count] : votes) {
        if (count > bestVotes) {
            best = layout;
            bestVotes = count;
            tied = false;
        } else if (count == bestVotes) {
            tied = true;
        }
    }
    if (bestVotes == 0 || tied) return std::nullopt;
    return best;
}

// A boot sector is its volume's first sector, or the backup at its last: the backup when
// the volume's $MFT record lies where it says counted from there.
std::uint64_t BootVolumeStart(const ScanState& state, const FoundBootSector& boot) {
    const std::uint64_t at = boot.at.value();
    if (boot.volumeSectors > at) return at;
    const std::uint64_t backupStart = at - boot.volumeSectors;
    const auto holdsRecord = [&](std::uint64_t start) {
        if (boot.mftCluster > (UINT64_MAX - start) / boot.sectorsPerCluster) return false;
        std::array<std::uint8_t, 512> sector{};
        return state.source->Read(DriveSector(start + boot.mftCluster * boot.sectorsPerCluster),
                                  sector) &&
               std::memcmp(sector.data(), "FILE", 4) == 0;
    };
    return !holdsRecord(at) && holdsRecord(backupStart) ? backupStart : at;
}

}  // namespace

std::vector<std::uint64_t> OlderMftStarts(const ScanState& state) {
    std::vector<std::uint64_t> starts;
    for (const FoundBootSector& boot : state.foundBootSectors) {
        const std::uint64_t start = BootVolumeStart(state, boot);
        if (boot.mftCluster > (UINT64_MAX - start) / boot.sectorsPerCluster) continue;
        starts.push_back(start + boot.mftCluster * boot.sectorsPerCluster);
    }
    return starts;
}

FoundTree::FoundTree(const ScanState& state, bool liveByMftNumbers)
    : liveByMftNumbers_(liveByMftNumbers) {
    std::uint64_t next =
        std::max({state.mftMap.recordCount(), std::uint64_t{state.foundRecords.size()},
                  state.reservedNumbersEnd});
    for (const CatalogueEntry& entry : state.catalogue.Entries()) {
        const std::uint64_t own = entry.number;
        next = std::max(next, own + 1);
    }
    nextMissing_ = std::max<std::uint64_t>(next, kRootFolderNumber + 1);
}

void FoundTree::AddFolder(std::uint8_t volume, std::uint32_t number, std::uint16_t sequence,
                          bool inUse, std::uint32_t ownNumber) {
    folders_[Key(volume, number)].push_back(Folder{ownNumber, sequence, inUse});
}

std::uint32_t FoundTree::ParentOf(std::uint8_t volume, std::uint32_t number,
                                  std::uint16_t sequence) {
    if (volume == kLiveVolume && (liveByMftNumbers_ || number == kRootFolderNumber)) {
        return number;
    }
    if (number == 0) return 0;  // no parent named: left where no folder holds it
    if (const auto it = folders_.find(Key(volume, number)); it != folders_.end()) {
        const Folder* best = nullptr;
        int bestFit = -1;
        for (const Folder& folder : it->second) {
            const int fit = Fit(folder.sequence, folder.inUse, sequence);
            if (fit > bestFit) {
                best = &folder;
                bestFit = fit;
            }
        }
        return best->ownNumber;
    }
    const auto [slot, added] = missing_.try_emplace(
        Key(volume, number),
        static_cast<std::uint32_t>(std::min<std::uint64_t>(nextMissing_, 0xFFFFFFFFu)));
    if (added && nextMissing_ < 0xFFFFFFFFu) ++nextMissing_;
    return slot->second;
}

void OlderVolumeClues::Take(DriveSector sector, const FoundRecordOrigin& origin,
                            const RecordBuffer& record) {
    any_ = true;
    if (!origin.numbered) return;
    const ByteView view(record);
    if (origin.number == 0) mftRecordSectors_.push_back(sector.value());
    if (origin.number <= 1) {
        if (const auto data = FindAttribute(view, attribute_type::kData);
            data && !data->isResident()) {
            const auto runs = DecodeRuns(data->RunList()).runs;
            if (!runs.empty() && !runs.front().sparse && runs.front().lcn.value() != 0) {
                mftDataClusters_.push_back(runs.front().lcn.value());
            }
        }
        return;
    }
    if (const auto data = FindAttribute(view, attribute_type::kData); data && !data->isResident()) {
        for (const DataRun& run : DecodeRuns(data->RunList(), kMaxRunsLooked).runs) {
            if (run.sparse || run.lcn.value() > UINT64_MAX - run.lengthClusters) continue;
            runsEnd_ = std::max(runsEnd_, run.lcn.value() + run.lengthClusters);
        }
    }
    if (indexProbes_.size() >= kMaxIndexProbes) return;
    if (const auto index =
            FindAttribute(view, attribute_type::kIndexAllocation, kFileNameIndexName);
        index && !index->isResident()) {
        for (const DataRun& run : DecodeRuns(index->RunList(), kMaxRunsLooked).runs) {
            if (run.sparse || run.lcn.value() == 0) continue;
            indexProbes_.push_back(IndexProbe{run.lcn.value(), run.vcn});
            break;
        }
    }
}

FoundVolume OlderVolumeClues::Volume(const ScanState& state) const {
    // Each way the older volume may be laid out (where its cluster 0 lies, its cluster
    // size) gathers support from what the drive shows of it: a boot sector of its own
    // says so; $MFT's record lies at its own first cluster and a copy of it at $MFTMirr's,
    // so the sector a copy was found at, over one of those clusters, is the cluster size;
    // its folders' first index blocks lie where their runs say.
    std::map<std::pair<std::uint64_t, std::uint32_t>, std::size_t> support;
    for (const FoundBootSector& boot : state.foundBootSectors) {
        support[{BootVolumeStart(state, boot), boot.sectorsPerCluster}] += 2;
    }
    for (const std::uint64_t at : mftRecordSectors_) {
        for (const std::uint64_t lcn : mftDataClusters_) {
            if (at % lcn == 0 && IsClusterSize(at / lcn)) {
                support[{0, static_cast<std::uint32_t>(at / lcn)}] += 2;
            }
        }
    }
    for (std::uint32_t size = 1; size <= kLargestClusterSectors; size *= 2) support[{0, size}];

    std::array<std::uint8_t, 512> sector{};
    const std::uint64_t driveSectors = state.geometry.sizeInSectors;
    for (auto& [layout, count] : support) {
        const auto [start, size] = layout;
        for (const IndexProbe& probe : indexProbes_) {
            if (start >= driveSectors || probe.lcn > (driveSectors - 1 - start) / size) continue;
            if (!state.source->Read(DriveSector(start + probe.lcn * size), sector)) continue;
            if (std::memcmp(sector.data(), "INDX", 4) != 0) continue;
            std::uint64_t vcn = 0;
            std::memcpy(&vcn, sector.data() + kIndexVcnOffset, sizeof vcn);
            if (vcn == probe.vcn || vcn == probe.vcn * size) ++count;
        }
    }
    if (const auto best = UniqueBest(support)) {
        return FoundVolume{best->second, true, DriveSector(best->first)};
    }
    return FoundVolume{state.geometry.sectorsPerCluster, false, DriveSector(0)};
}

bool OlderVolumeClues::ShowAnotherVolume(const ScanState& state, const FoundVolume& volume) const {
    const std::uint32_t liveCluster = state.geometry.sectorsPerCluster;
    if (!state.foundBootSectors.empty() || !mftRecordSectors_.empty() ||
        !mftDataClusters_.empty()) {
        return true;
    }
    if (volume.verified && (volume.sectorsPerCluster != liveCluster || volume.start.value() != 0)) {
        return true;
    }
    return liveCluster != 0 && runsEnd_ > state.geometry.sizeInSectors / liveCluster;
}

}  // namespace tarvik
