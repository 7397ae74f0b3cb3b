#pragma once
// What a base record's attribute list adds to the record's inspection: a folder or file
// whose attributes spread over extension records may keep its $FILE_NAME, or the extent
// of its unnamed $DATA that holds the sizes, in an extension record only.
#include <cstdint>

#include "common/byte_view.h"
#include "disk/sector_source.h"
#include "ntfs/attribute_list.h"
#include "ntfs/record_inspection.h"

namespace tarvik {

// $FILE_NAME attributes of one record looked at, at most: as many as NTFS allows hard
// links (each a name of its own); and the records they are looked for in, at most: a
// record's names share a few extension records, and a hostile list must not make the
// scan read thousands of records for one.
inline constexpr std::size_t kMaxListedNames = 1024;
inline constexpr std::size_t kMaxListedNameRecords = 16;

// Fills in from the records the attribute list of `record` (a fixed-up base record,
// number `recordNumber`) names what `inspected` lacks: the name and parent of the best
// $FILE_NAME (the first outside the DOS namespace, else the first DOS one) when the
// record itself holds none or only a DOS one, and the real size of the unnamed $DATA when its first
// extent lies in an extension record. A resident list is read from the record, a non-resident one
// from `source` (clusters of `sectorsPerCluster` sectors). Nothing changes when the record has no
// list, or the list or the records it names cannot be read.
void TakeListedAttributes(InspectedRecord& inspected, ByteView record, std::uint32_t recordNumber,
                          const RecordFetcher& fetch, SectorSource& source,
                          std::uint32_t sectorsPerCluster);

}  // namespace tarvik
