#include "scan/directory_reader.h"

#include "ntfs/attribute.h"
#include "ntfs/attribute_list.h"
#include "ntfs/file_record.h"
#include "ntfs/index_allocation_reader.h"
#include "ntfs/index_entry.h"
#include "ntfs/index_root.h"
#include "ntfs/run_list.h"
#include "ntfs/standard_information.h"
#include "scan/scan_state.h"

namespace tarvik {

using namespace attribute_type;

namespace {

// Folder index blocks are 4 KiB on every volume Windows or mkntfs writes.
constexpr std::uint32_t kDefaultBlockSectors = 8;

IndexedName NameOf(const IndexEntry& entry) {
    const FileName& key = *entry.fileName;
    IndexedName name;
    name.number = entry.recordNumber();
    name.sequence = static_cast<std::uint16_t>(entry.fileReference >> 48);
    name.parent = key.parentRecord();
    name.creationTime = key.creationTime;
    name.modificationTime = key.modificationTime;
    name.realSize = key.realSize;
    name.directory = key.isDirectory();
    name.compressed = (key.flags & kFileAttributeCompressed) != 0;
    name.name = key.name;
    return name;
}

void VisitAccepted(ByteView area, const IndexVisitor& visit) {
    ForEachAcceptedEntry(area, [&](const IndexEntry& entry) { visit(NameOf(entry)); });
}

class FolderRecordReader {
  public:
    FolderRecordReader(ScanState& state, std::uint32_t number) : state_(state), number_(number) {}

    bool Read(const IndexVisitor& visit);

  private:
    bool Fetch(std::uint32_t number, RecordBuffer& record) {
        return state_.ReadRecord(RecordNumber(number), record) && PrepareFileRecord(record);
    }
    std::optional<IndexRoot> VisitRoot(ByteView record, const IndexVisitor& visit);

    ScanState& state_;
    std::uint32_t number_;
    RecordBuffer base_;
    std::vector<AttributeListEntry> list_;
};

std::optional<IndexRoot> FolderRecordReader::VisitRoot(ByteView record, const IndexVisitor& visit) {
    const auto attribute = FindAttribute(record, kIndexRoot, kFileNameIndexName);
    if (!attribute || !attribute->isResident()) return std::nullopt;
    const auto root = IndexRoot::Parse(attribute->Value());
    if (root) VisitAccepted(root->Entries(attribute->Value()), visit);
    return root;
}

bool FolderRecordReader::Read(const IndexVisitor& visit) {
    if (!Fetch(number_, base_)) return false;
    const ByteView base(base_.data(), base_.size());
    const auto header = FileRecordHeader::Parse(base);
    if (!header || !header->isDirectory()) return false;

    const std::uint32_t spc = state_.geometry.sectorsPerCluster;
    std::vector<DataRun> runs;
    const bool hasList = FindAttribute(base, kAttributeList).has_value();
    if (hasList) {
        if (auto value = ReadAttributeListValue(base, *state_.source, spc)) {
            list_ = ParseAttributeList(ByteView(value->data(), value->size()));
        }
        // Extension records are handed over as stored; their fix-up is applied there.
        const RecordFetcher fetch = [this](std::uint32_t n, RecordBuffer& record) {
            return state_.ReadRecord(RecordNumber(n), record);
        };
        AppendExtentRuns(base, number_, list_, ExtentKind::kIndexAllocation, fetch, runs);
    } else if (const auto allocation = FindAttribute(base, kIndexAllocation, kFileNameIndexName);
               allocation && !allocation->isResident()) {
        runs = DecodeRuns(allocation->RunList()).runs;
    }

    // The root names the block size; it may live in an extension record.
    RecordBuffer rootHolder;
    ByteView rootRecord = base;
    if (hasList) {
        if (const auto holder = IndexRootRecord(list_); holder && *holder != number_) {
            if (Fetch(*holder, rootHolder))
                rootRecord = ByteView(rootHolder.data(), rootHolder.size());
        }
    }
    const auto rootAttribute = FindAttribute(rootRecord, kIndexRoot, kFileNameIndexName);
    std::optional<IndexRoot> root;
    if (rootAttribute && rootAttribute->isResident())
        root = IndexRoot::Parse(rootAttribute->Value());
    const std::uint32_t blockSectors =
        root && root->BlockSectors() ? *root->BlockSectors() : kDefaultBlockSectors;

    if (!runs.empty()) {
        ReadIndexAllocation(runs, spc, blockSectors, state_.IndexSource(),
                            [&](const IndexEntry& entry) {
                                if (entry.isAccepted()) visit(NameOf(entry));
                            });
    }
    VisitRoot(rootRecord, visit);
    return true;
}

}  // namespace

bool ReadDirectoryIndex(ScanState& state, std::uint32_t directoryRecord,
                        const IndexVisitor& visit) {
    return FolderRecordReader(state, directoryRecord).Read(visit);
}

}  // namespace tarvik
