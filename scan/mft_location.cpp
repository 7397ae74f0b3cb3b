// Finding the MFT's runs: from its own record 0 (or the mirror's copy), including the
// runs held by extension records that record 0's attribute list names.
#include "ntfs/attribute.h"
#include "ntfs/attribute_list.h"
#include "ntfs/file_record.h"
#include "ntfs/run_list.h"
#include "scan/scan_state.h"

namespace tarvik {

using namespace attribute_type;

bool ScanState::LocateMft() {
    return (mftRecordSector && LocateMftFrom(*mftRecordSector, false)) ||
           (mirrorRecordSector && LocateMftFrom(*mirrorRecordSector, true));
}

bool ScanState::LocateMftFrom(DriveSector recordSector, bool fromMirror) {
    const std::uint32_t spc = geometry.sectorsPerCluster;
    RecordBuffer record;
    if (!ReadRecordAt(recordSector, record)) return false;
    if (!FileRecordHeader::HasSignature(ByteView(record))) return false;
    if (!PrepareFileRecord(record)) return false;
    const ByteView view(record);

    std::vector<DataRun> runs;
    if (FindAttribute(view, kAttributeList)) {
        std::vector<AttributeListEntry> list;
        if (auto value = ReadAttributeListValue(view, *source, spc)) {
            list = ParseAttributeList(ByteView(value->data(), value->size()));
        }
        // Extension records are found through the runs decoded so far.
        const RecordFetcher fetch = [&](std::uint32_t number, RecordBuffer& extension) {
            mftMap = MftMap(runs, spc, recordSectors(), volumeSectors());
            return ReadRecord(RecordNumber(number), extension);  // fixed up by the collector
        };
        const auto result = AppendExtentRuns(view, 0, list, ExtentKind::kUnnamedData, fetch, runs);
        if (fromMirror && result.extentsMissed != 0) runs.clear();
    } else if (const auto data = FindAttribute(view, kData); data && !data->isResident()) {
        runs = DecodeRuns(data->RunList()).runs;
    }
    mftMap = MftMap(runs, spc, recordSectors(), volumeSectors());
    if (mftMap.recordCount() == 0) {
        mftMap = MftMap();
        return false;
    }
    mftBitmap = MftBitmap::Read(view, *source, spc, mftMap.recordCount());
    return true;
}

}  // namespace tarvik
