#include "analysis/mft_facts.h"

#include <algorithm>
#include <system_error>
#include <utility>

#include "disk/disk.h"
#include "disk/disk_geometry.h"
#include "filedata/file_data_map.h"
#include "ntfs/file_record.h"
#include "ntfs/run_list.h"
#include "ntfs/standard_information.h"

namespace tarvik {

namespace at = attribute_type;

// The times a $STANDARD_INFORMATION attribute keeps.
std::optional<EntryTimes> TimesOf(const Attribute& attribute) {
    if (!attribute.isResident()) return std::nullopt;
    const auto si = StandardInformation::Parse(attribute.Value());
    if (!si) return std::nullopt;
    return EntryTimes{si->creationTime, si->modificationTime, si->recordChangeTime, si->accessTime};
}

std::optional<EntryTimes> TimesOf(ByteView record) {
    const auto attribute = FindAttribute(record, at::kStandardInformation);
    return attribute ? TimesOf(*attribute) : std::nullopt;
}

// A file's data clusters as clusters of the live volume, with what orders its writing
// against others'. Its runs are read with the cluster size of the volume the record
// belongs to, which began at its own place on the drive: an older volume formatted over
// may differ in both, and a cluster of the live volume holds the file's data when any of
// its sectors does. `record` is fixed up.
DeletedFile WeighedFile(ScanEngine& engine, std::uint32_t number, ByteView record,
                        std::uint64_t logSequence, std::uint64_t recordChange) {
    const auto map = MapEngineFileData(engine, number, record);
    const std::uint32_t fileClusterSectors = engine.ClusterSectorsOf(number);
    const std::uint64_t volumeStart = engine.VolumeStartOf(number).value();
    const std::uint32_t liveClusterSectors = engine.geometry().sectorsPerCluster;
    DeletedFile file;
    file.number = number;
    file.logSequence = logSequence;
    file.recordChange = recordChange;
    file.mapped = map.has_value();
    if (map && (map->extentsMissed != 0 || !map->runsWhole)) file.readGap = ReadGap::kRunList;
    if (map && file.readGap == ReadGap::kNone &&
        DataSizePastRuns(*map, std::uint64_t{fileClusterSectors} * 512))
        file.readGap = ReadGap::kSizePastRuns;
    if (!map || map->resident || fileClusterSectors == 0 || liveClusterSectors == 0) return file;
    file.written = WhereWritten(*map, fileClusterSectors);
    // Only clusters below the data's end hold the file: an uncompressed file's clusters
    // past its initialized size are read as zeros, and a compressed file keeps its data
    // in the units up to its length.
    const std::uint64_t clusterBytes = std::uint64_t{fileClusterSectors} * 512;
    const std::uint64_t dataBytes =
        map->compressionUnitClusters ? map->realSize : map->initializedSize;
    const std::uint64_t dataVcns = dataBytes / clusterBytes + (dataBytes % clusterBytes != 0);
    for (const DataRun& run : map->runs) {
        if (run.sparse || run.vcn >= dataVcns) continue;
        const std::uint64_t length = std::min(run.lengthClusters, dataVcns - run.vcn);
        const std::uint64_t lcn = run.lcn.value();
        if (fileClusterSectors == liveClusterSectors && volumeStart == 0) {
            if (lcn > UINT64_MAX - length) continue;
            file.runs.push_back({lcn, lcn + length, number});
            continue;
        }
        // Sectors of the drive, then the live clusters over them.
        constexpr std::uint64_t kLimit = UINT64_MAX / 2;
        if (lcn > kLimit / fileClusterSectors || length > kLimit / fileClusterSectors) continue;
        const std::uint64_t first = volumeStart + lcn * fileClusterSectors;
        const std::uint64_t end = first + length * fileClusterSectors;
        if (first < volumeStart || end < first || end > kLimit) continue;
        file.runs.push_back({first / liveClusterSectors,
                             (end + liveClusterSectors - 1) / liveClusterSectors, number});
    }
    return file;
}

MftFacts::MftFacts(ScanEngine& scanned)
    : engine(scanned), clusterBytes(std::uint64_t{scanned.geometry().sectorsPerCluster} * 512) {
    const DriveGeometry& g = engine.geometry();
    std::uint64_t diskSectors = 0;
    if (g.sectorsPerCluster != 0 && engine.disk() &&
        GetDiskSectorCount(*engine.disk(), diskSectors) && diskSectors > 0) {
        const std::uint64_t first = g.firstSector.value();
        readableClusters = diskSectors > first ? (diskSectors - first) / g.sectorsPerCluster : 0;
    }
}

void MftFacts::Record(std::uint64_t number, ByteView record) {
    ObservedRecord observed;
    std::vector<ObservedExtent> extents;
    Observe(record, observed, extents);
    Take(number, record, observed, extents);
}

void MftFacts::Observe(ByteView record, ObservedRecord& into,
                       std::vector<ObservedExtent>& extents) const {
    const auto header = FileRecordHeader::Parse(record);
    if (!header) return;
    ObserveHeader(*header, into, extents);
    AttributeWalker walker(record);
    while (const auto attribute = walker.Next()) ObserveAttribute(*attribute, into, extents);
    ObserveEnd(into, extents);
}

void MftFacts::ObserveHeader(const FileRecordHeader& header, ObservedRecord& into,
                             const std::vector<ObservedExtent>& extents) const {
    into.observed = true;
    into.firstExtent = static_cast<std::uint32_t>(extents.size());
    into.inUse = header.inUse();
    into.extension = header.isExtension();
    into.owner = header.isExtension() ? ReferenceRecord32(header.baseReference) : 0;
    into.logSequence = header.logSequenceNumber;
    into.marks = header.isExtension() ? 0 : kSeen;
    // The list comes before the data (attributes are in type order).
    into.listed = header.isExtension();
}

void MftFacts::ObserveAttribute(const Attribute& attribute, ObservedRecord& into,
                                std::vector<ObservedExtent>& extents) const {
    const bool data = attribute.IsUnnamed(at::kData);
    if (attribute.type() == at::kAttributeList) into.listed = true;
    if (data || attribute.type() == at::kAttributeList) into.marks |= kHasData;
    if (attribute.isResident()) {
        if (!into.hasTimes && attribute.type() == at::kStandardInformation) {
            if (const auto times = TimesOf(attribute)) {
                into.hasTimes = true;
                into.creationTime = times->creation;
                into.modificationTime = times->modification;
                into.recordChangeTime = times->recordChange;
                into.accessTime = times->access;
            }
        }
        return;
    }
    if (!into.inUse) return;
    const DecodedRunList decoded = DecodeRuns(attribute.RunList());
    if (data && !RunListWhole(attribute, decoded)) into.marks |= kCutShort;
    if (data && DataSizePastRuns(attribute, clusterBytes, !into.listed))
        into.marks |= kSizePastRuns;
    for (const DataRun& run : decoded.runs) {
        if (run.sparse || run.lengthClusters == 0) continue;
        const std::uint64_t start = run.lcn.value();
        if (start > UINT64_MAX - run.lengthClusters) continue;
        if (data && start + run.lengthClusters > readableClusters) into.marks |= kPastImage;
        extents.push_back({start, start + run.lengthClusters});
    }
}

// An extension record in use adds what it holds of the data to its base record's state.
// A base record counts as seen in use or not: a folder's index may still name one that is
// not, and its file is then listed from the record.
void MftFacts::ObserveEnd(ObservedRecord& into, const std::vector<ObservedExtent>& extents) const {
    if (into.extension)
        into.marks = into.inUse ? into.marks & (kCutShort | kPastImage | kSizePastRuns) : 0;
    into.extentCount = static_cast<std::uint32_t>(extents.size()) - into.firstExtent;
}

void MftFacts::Take(std::uint64_t number, ByteView record, const ObservedRecord& observed,
                    std::span<const ObservedExtent> extents) {
    if (!observed.observed || number > UINT32_MAX) return;
    const auto own = static_cast<std::uint32_t>(number);
    const std::uint32_t owner = observed.extension ? observed.owner : own;
    // About one extent a record: set aside once rather than copied on growing.
    if (live.capacity() == 0 && !extents.empty())
        live.reserve(std::min(engine.mftRecordCount(), kTimesSetAside));
    for (const ObservedExtent& extent : extents) live.push_back({extent.start, extent.end, owner});
    if (observed.marks != 0) Mark(owner, observed.marks);
    if (observed.extension) return;
    if (observed.hasTimes) {
        if (timesByNumber.capacity() == 0)
            timesByNumber.reserve(std::min(engine.mftRecordCount(), kTimesSetAside));
        if (own >= timesByNumber.size()) timesByNumber.resize(std::size_t{own} + 1);
        timesByNumber[own] = {observed.creationTime, observed.modificationTime,
                              observed.recordChangeTime, observed.accessTime};
    }
    if (!observed.inUse) {
        DeletedFile file = WeighedFile(engine, own, record, observed.logSequence,
                                       observed.hasTimes ? observed.recordChangeTime : 0);
        for (const Extent& run : file.runs) {
            if (run.end > readableClusters && file.readGap == ReadGap::kNone)
                file.readGap = ReadGap::kPastImage;
        }
        deleted.push_back(std::move(file));
    }
}

void SortByStart(std::vector<Extent>& extents) {
    std::sort(extents.begin(), extents.end(),
              [](const Extent& a, const Extent& b) { return a.start < b.start; });
}

void MftFacts::SortLive() {
    if (liveSorted) return;
    SortByStart(live);
    liveSorted = true;
}

ConditionFacts::ConditionFacts(ScanEngine& engine) : facts_(std::make_unique<MftFacts>(engine)) {}

ConditionFacts::~ConditionFacts() {
    FinishSorting();
}

void ConditionFacts::FinishSorting() {
    if (sorting_.joinable()) sorting_.join();
}

MftFacts& ConditionFacts::facts() {
    FinishSorting();
    return *facts_;
}

void ConditionFacts::ObserveHeader(const FileRecordHeader& header, ObservedRecord& into,
                                   std::vector<ObservedExtent>& extents) const {
    facts_->ObserveHeader(header, into, extents);
}

void ConditionFacts::ObserveAttribute(const Attribute& attribute, ObservedRecord& into,
                                      std::vector<ObservedExtent>& extents) const {
    facts_->ObserveAttribute(attribute, into, extents);
}

void ConditionFacts::ObserveEnd(ObservedRecord& into, std::vector<ObservedExtent>& extents) const {
    facts_->ObserveEnd(into, extents);
}

void ConditionFacts::Record(std::uint64_t number, std::span<const std::uint8_t> record,
                            const ObservedRecord& observed,
                            std::span<const ObservedExtent> extents) {
    facts_->Take(number, ByteView(record.data(), record.size()), observed, extents);
}

// Sorting touches the live extents alone, which nothing else reads until facts().
void ConditionFacts::PassEnded(bool whole) {
    facts_->whole = whole;
    if (!whole || sorting_.joinable()) return;
    try {
        sorting_ = std::thread([facts = facts_.get()] { facts->SortLive(); });
    } catch (const std::system_error&) {
        // Sorted when the table is built.
    }
}

bool ConditionFacts::whole() const {
    return facts_->whole;
}

}  // namespace tarvik
