#include "session/saved_entries.h"

#include <bit>
#include <cstddef>
#include <cstring>

#include "catalogue/folder_table.h"
#include "session/saved_scan_bytes.h"

namespace tarvik {
namespace {

constexpr std::size_t kRecordBytes = sizeof(CatalogueRecord);
constexpr std::uint64_t kCarvedBits = std::uint64_t{3}
                                      << (kRecordFlagShift + kRecordCarvedFlagShift);
constexpr std::size_t kPlacedBytes = 16;
static_assert(sizeof(PlacedEntry) == kPlacedBytes && offsetof(PlacedEntry, depth) == 4 &&
              offsetof(PlacedEntry, folder) == 8 && offsetof(PlacedEntry, unplaced) == 12);
constexpr const char* kDamaged = "its contents are inconsistent: the file is damaged";

void PutRecord(ByteSink& out, const CatalogueRecord& record) {
    out.U64(record.creationTime);
    out.U64(record.modificationTime);
    out.U64(record.size);
    out.U32(record.parent);
    out.U32(record.number);
    out.U64(record.word);
}

CatalogueRecord LoadRecord(const std::uint8_t* at) {
    return {LoadLe<std::uint64_t>(at),      LoadLe<std::uint64_t>(at + 8),
            LoadLe<std::uint64_t>(at + 16), LoadLe<std::uint32_t>(at + 24),
            LoadLe<std::uint32_t>(at + 28), LoadLe<std::uint64_t>(at + 32)};
}

void PutIndex(ByteSink& out, const KeptIndexParts& index) {
    out.U64(index.numbers.size());
    for (const KeptNumber& kept : index.numbers) {
        out.U32(kept.number);
        out.U32(kept.first);
    }
    for (const std::uint32_t position : index.positions) out.U32(position);
    out.PadTo8();
}

void PutPlacement(ByteSink& out, const Catalogue& catalogue) {
    for (const PlacedEntry& placed : PlaceEntries(catalogue, BuildFolderTable(catalogue))) {
        out.U32(placed.catalogueIndex);
        out.U32(placed.depth);
        out.U32(placed.folder);
        out.U32(placed.unplaced ? 1 : 0);
    }
}

PlacedEntry LoadPlaced(const std::uint8_t* at) {
    return {LoadLe<std::uint32_t>(at), LoadLe<std::uint32_t>(at + 4), LoadLe<std::uint32_t>(at + 8),
            at[12] != 0};
}

// Where the parts lie in the file, found by their counts alone.
struct Places {
    std::size_t count = 0;
    const std::uint8_t* records = nullptr;
    std::string_view names;
    const std::uint8_t* marks = nullptr;
    const std::uint8_t* indexes[2] = {nullptr, nullptr};  // the numbers, then the positions
    const std::uint8_t* positions[2] = {nullptr, nullptr};
    std::size_t numberCounts[2] = {0, 0};
    const std::uint8_t* placement = nullptr;
};

bool FindIndex(Cursor& in, ByteView file, Places& places, int which) {
    places.numberCounts[which] = in.Count(sizeof(KeptNumber));
    places.indexes[which] = file.data() + in.at();
    if (!in.Skip(places.numberCounts[which] * sizeof(KeptNumber))) return false;
    places.positions[which] = file.data() + in.at();
    return in.Skip(places.count * sizeof(std::uint32_t)) && in.SkipPadding();
}

bool FindParts(Cursor& in, ByteView file, Places& places) {
    places.count = in.Count(kRecordBytes + 1);
    const std::size_t namesBytes = in.Count(1);
    if (places.count > Catalogue::kMaxCapacity || !in.SkipPadding()) return false;
    places.records = file.data() + in.at();
    if (!in.Skip(places.count * kRecordBytes)) return false;
    places.names = {reinterpret_cast<const char*>(file.data() + in.at()), namesBytes};
    if (!in.Skip(namesBytes)) return false;
    places.marks = file.data() + in.at();
    if (!in.Skip(places.count) || !in.SkipPadding() || !FindIndex(in, file, places, 0) ||
        !FindIndex(in, file, places, 1))
        return false;
    places.placement = file.data() + in.at();
    return in.Skip(places.count * kPlacedBytes);
}

bool RecordsSound(const Places& places) {
    if (std::memchr(places.names.data(), 0, places.names.size()) != nullptr) return false;
    for (std::size_t i = 0; i < places.count; ++i) {
        const CatalogueRecord record = LoadRecord(places.records + i * kRecordBytes);
        if (!KeptRecords::NameInside(record, places.names.size()) || (record.word & kCarvedBits))
            return false;
    }
    for (std::size_t i = 0; i < places.count; ++i)
        if (places.marks[i] > static_cast<std::uint8_t>(CheckMark::kPartly)) return false;
    // The last word of a placed entry: whether no folder holds it, then zeros.
    for (std::size_t i = 0; i < places.count; ++i)
        if (LoadLe<std::uint32_t>(places.placement + i * kPlacedBytes + 12) > 1) return false;
    return true;
}

bool ReadableInPlace(const std::uint8_t* at, std::size_t alignment) {
    return std::endian::native == std::endian::little &&
           reinterpret_cast<std::uintptr_t>(at) % alignment == 0;
}

// The records and indexes as a catalogue reads them: in the file when they can be read
// as they lie, else copied into parts the result keeps.
KeptRecords KeptFrom(const std::shared_ptr<const std::uint8_t>& keeper, const Places& places,
                     std::span<const PlacedEntry>& placement) {
    KeptRecords kept{keeper, {}, places.names, {}, {}};
    if (ReadableInPlace(places.records, alignof(CatalogueRecord))) {
        kept.records = {reinterpret_cast<const CatalogueRecord*>(places.records), places.count};
        placement = {reinterpret_cast<const PlacedEntry*>(places.placement), places.count};
        for (int which = 0; which < 2; ++which) {
            KeptIndex& index = which == 0 ? kept.byNumber : kept.byParent;
            index.numbers = {reinterpret_cast<const KeptNumber*>(places.indexes[which]),
                             places.numberCounts[which]};
            index.positions = {reinterpret_cast<const std::uint32_t*>(places.positions[which]),
                               places.count};
        }
        return kept;
    }
    struct Copy {
        std::shared_ptr<const std::uint8_t> file;
        std::vector<CatalogueRecord> records;
        KeptIndexParts indexes[2];
        std::vector<PlacedEntry> placement;
    };
    auto copy = std::make_shared<Copy>();
    copy->file = keeper;
    for (std::size_t i = 0; i < places.count; ++i)
        copy->records.push_back(LoadRecord(places.records + i * kRecordBytes));
    for (int which = 0; which < 2; ++which) {
        KeptIndexParts& parts = copy->indexes[which];
        for (std::size_t i = 0; i < places.numberCounts[which]; ++i)
            parts.numbers.push_back({LoadLe<std::uint32_t>(places.indexes[which] + 8 * i),
                                     LoadLe<std::uint32_t>(places.indexes[which] + 8 * i + 4)});
        for (std::size_t i = 0; i < places.count; ++i)
            parts.positions.push_back(LoadLe<std::uint32_t>(places.positions[which] + 4 * i));
        (which == 0 ? kept.byNumber : kept.byParent) = {parts.positions, parts.numbers};
    }
    for (std::size_t i = 0; i < places.count; ++i)
        copy->placement.push_back(LoadPlaced(places.placement + i * kPlacedBytes));
    placement = copy->placement;
    kept.records = copy->records;
    kept.keeper = std::move(copy);
    return kept;
}

}  // namespace

void PutSavedEntries(std::vector<std::uint8_t>& file, const Catalogue& catalogue,
                     const CheckMarks* marks) {
    const std::span<const CatalogueRecord> records = catalogue.Records();
    std::uint64_t namesBytes = 0;
    for (std::size_t i = 0; i < records.size(); ++i) namesBytes += catalogue.NameAt(i).size();
    ByteSink out(file);
    out.U64(records.size());
    out.U64(namesBytes);
    out.PadTo8();
    file.reserve(file.size() + records.size() * (kRecordBytes + 1 + 8) + namesBytes + 64);
    std::uint64_t place = 0;
    for (const CatalogueRecord& record : records) {
        CatalogueRecord saved = record;
        saved.word = WithNameReference(record.word, place);
        place += RecordNameLength(record.word);
        PutRecord(out, saved);
    }
    for (std::size_t i = 0; i < records.size(); ++i) {
        const std::string_view name = catalogue.NameAt(i);
        file.insert(file.end(), name.begin(), name.end());
    }
    for (std::size_t i = 0; i < records.size(); ++i)
        file.push_back(static_cast<std::uint8_t>(marks ? marks->Of(i) : CheckMark::kUnchecked));
    out.PadTo8();
    PutIndex(out, catalogue.IndexParts(IndexKey::kNumber));
    PutIndex(out, catalogue.IndexParts(IndexKey::kParent));
    PutPlacement(out, catalogue);
}

std::optional<SavedEntries> CheckSavedEntries(const std::shared_ptr<const std::uint8_t>& keeper,
                                              ByteView file, std::size_t at, std::string& error) {
    Cursor in(file, at);
    Places places;
    if (!FindParts(in, file, places) || !RecordsSound(places)) {
        error = kDamaged;
        return std::nullopt;
    }
    SavedEntries entries{places.count, in.at(), places.marks, {}, {}};
    entries.kept = KeptFrom(keeper, places, entries.placement);
    for (const IndexKey key : {IndexKey::kNumber, IndexKey::kParent}) {
        const KeptIndex& index =
            key == IndexKey::kNumber ? entries.kept.byNumber : entries.kept.byParent;
        if (auto mismatch = KeptIndexMismatch(entries.kept.records, index, key)) {
            error = std::string("its index by ") + (key == IndexKey::kNumber ? "own" : "parent") +
                    " number does not match its entries (" + *mismatch + "): the file is damaged";
            return std::nullopt;
        }
    }
    return entries;
}

}  // namespace tarvik
