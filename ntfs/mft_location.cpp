// Finding the MFT's runs: from its own record 0 (or the mirror's copy), including the
// runs held by extension records that record 0's attribute list names.
#include "ntfs/attribute.h"
#include "ntfs/attribute_list.h"
#include "ntfs/file_record.h"
#include "ntfs/run_list.h"
#include "ntfs/scan_engine.h"

namespace tarvik {

using namespace attribute_type;

bool ScanEngine::LocateMft() {
    return LocateMftFrom(mftStart, false) || LocateMftFrom(mftMirrorStart, true);
}

bool ScanEngine::LocateMftFrom(std::uint32_t recordSector, bool fromMirror) {
    MftRecordBytes record{};
    if (!source_->Read(recordSector, record)) return false;
    if (!FileRecordHeader::HasSignature(ByteView(record.data(), record.size()))) return false;
    if (!PrepareFileRecord(record)) return false;
    const ByteView view(record.data(), record.size());

    RunTable runs;
    if (FindAttribute(view, kAttributeList)) {
        std::vector<AttributeListEntry> list;
        if (auto value = ReadAttributeListValue(view, *source_, sectorsPerCluster)) {
            list = ParseAttributeList(ByteView(value->data(), value->size()));
        }
        // Extension records are found through the runs decoded so far.
        const RecordFetcher fetch = [&](std::uint32_t number, MftRecordBytes& extension) {
            mftMap_ = MftMap(runs, sectorsPerCluster);
            return ReadRecord(number, extension);  // fix-up applied by the run collector
        };
        const auto result = AppendExtentRuns(view, 0, list, ExtentKind::kUnnamedData, fetch,
                                             sectorsPerCluster, runs);
        if (fromMirror && result.extentsMissed != 0) runs.Clear();
    } else if (const auto data = FindAttribute(view, kData); data && !data->isResident()) {
        DecodeRunList(data->RunList(), sectorsPerCluster, runs);
    }
    if (runs.Empty()) {
        mftMap_ = MftMap();
        return false;
    }
    mftRuns = std::move(runs);
    mftMap_ = MftMap(mftRuns, sectorsPerCluster);
    mftSectors = mftMap_.totalSectors();
    return true;
}

}  // namespace tarvik
