#include "session/saved_scan.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>

#include "common/byte_view.h"

namespace tarvik {
namespace {

constexpr std::array<std::uint8_t, 8> kSignature{'T', 'A', 'R', 'V', 'S', 'C', 'A', 'N'};
constexpr std::size_t kHeaderBytes = 64;
constexpr std::size_t kVersionAt = 8;
constexpr std::size_t kHeaderSizeAt = 12;
constexpr std::size_t kLengthAt = 16;
constexpr std::size_t kChecksumAt = 24;
constexpr std::size_t kChecksumBytes = 32;

// Flags of an entry's state, one bit each.
constexpr std::uint8_t kDeletedBit = 1;
constexpr std::uint8_t kMadeUpBit = 2;
constexpr std::uint8_t kMadeUpSecondBit = 4;
constexpr std::uint8_t kCompressedBit = 8;
// The bytes of an entry besides its name: the name's length, attribute, two 64-bit and
// two 32-bit numbers, the flags and the check mark.
constexpr std::size_t kEntryFixedBytes = 2 + 1 + 8 + 8 + 4 + 4 + 1 + 1;
constexpr std::size_t kTimesBytes = 4 * 8;
constexpr std::size_t kConditionBytes = 3 * 8 + 4 + 4;
constexpr std::size_t kOriginBytes = 4 + 2 + 1 + 1 + 1;
constexpr std::size_t kVolumeBytes = 4 + 1 + 8;
constexpr std::size_t kByNumberBytes = 8 + 4;

class ByteSink {
  public:
    explicit ByteSink(std::vector<std::uint8_t>& bytes) : bytes_(bytes) {}
    void Put(std::uint64_t value, int width) {
        for (int i = 0; i < width; ++i)
            bytes_.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
    }
    void U8(std::uint64_t v) { Put(v, 1); }
    void U16(std::uint64_t v) { Put(v, 2); }
    void U32(std::uint64_t v) { Put(v, 4); }
    void U64(std::uint64_t v) { Put(v, 8); }
    void Text(std::string_view text) {
        U32(text.size());
        bytes_.insert(bytes_.end(), text.begin(), text.end());
    }

  private:
    std::vector<std::uint8_t>& bytes_;
};

// Reads values one after another; once a value lies past the end every later read
// fails too, so a caller checks once after a group of reads.
class Cursor {
  public:
    Cursor(ByteView view, std::size_t at) : view_(view), at_(at) {}
    std::uint64_t Get(int width) {
        if (!ok_ || !view_.has(at_, static_cast<std::size_t>(width))) {
            ok_ = false;
            return 0;
        }
        std::uint64_t value = 0;
        for (int i = 0; i < width; ++i)
            value |= std::uint64_t{view_.data()[at_ + static_cast<std::size_t>(i)]} << (8 * i);
        at_ += static_cast<std::size_t>(width);
        return value;
    }
    std::uint8_t U8() { return static_cast<std::uint8_t>(Get(1)); }
    std::uint16_t U16() { return static_cast<std::uint16_t>(Get(2)); }
    std::uint32_t U32() { return static_cast<std::uint32_t>(Get(4)); }
    std::uint64_t U64() { return Get(8); }
    std::string Text(std::size_t maxBytes) {
        const std::uint32_t length = U32();
        if (!ok_ || length > maxBytes || !view_.has(at_, length)) {
            ok_ = false;
            return {};
        }
        std::string text(reinterpret_cast<const char*>(view_.data() + at_), length);
        at_ += length;
        return text;
    }
    // A count of items of `itemBytes` each that must all lie in what is left.
    std::size_t Count(std::size_t itemBytes) {
        const std::uint64_t count = U64();
        if (!ok_ || itemBytes == 0 || count > (view_.size() - at_) / itemBytes) {
            ok_ = false;
            return 0;
        }
        return static_cast<std::size_t>(count);
    }
    bool Skip(std::size_t bytes) {
        if (!ok_ || !view_.has(at_, bytes)) return ok_ = false;
        at_ += bytes;
        return true;
    }
    bool ok() const { return ok_; }
    std::size_t at() const { return at_; }
    bool AtEnd() const { return at_ == view_.size(); }

  private:
    ByteView view_;
    std::size_t at_;
    bool ok_ = true;
};

// A 64-bit checksum of the XXH64 kind: four lanes of multiply-rotate rounds over 8-byte
// words, then an avalanche. It catches any damage a disk or a copy does, at several GB/s;
// SHA-256 here would take longer than the rest of opening a large scan together.
std::uint64_t Rotate(std::uint64_t value, int bits) {
    return (value << bits) | (value >> (64 - bits));
}

// The little-endian 64-bit word at `bytes`.
std::uint64_t Word(const std::uint8_t* bytes) {
    std::uint64_t value = 0;
    std::memcpy(&value, bytes, sizeof value);
    if constexpr (std::endian::native == std::endian::big) value = __builtin_bswap64(value);
    return value;
}

std::array<std::uint8_t, kChecksumBytes> Checksum(std::span<const std::uint8_t> bytes) {
    constexpr std::uint64_t kPrime1 = 0x9E3779B185EBCA87ULL;
    constexpr std::uint64_t kPrime2 = 0xC2B2AE3D27D4EB4FULL;
    constexpr std::uint64_t kPrime3 = 0x165667B19E3779F9ULL;
    constexpr std::uint64_t kPrime4 = 0x85EBCA77C2B2AE63ULL;
    const auto round = [&](std::uint64_t lane, std::uint64_t input) {
        return Rotate(lane + input * kPrime2, 31) * kPrime1;
    };
    std::uint64_t lanes[4] = {kPrime1 + kPrime2, kPrime2, 0, 0 - kPrime1};
    const std::uint8_t* at = bytes.data();
    const std::uint8_t* end = at + bytes.size();
    for (; end - at >= 32; at += 32)
        for (int lane = 0; lane < 4; ++lane) lanes[lane] = round(lanes[lane], Word(at + 8 * lane));
    std::uint64_t hash =
        Rotate(lanes[0], 1) + Rotate(lanes[1], 7) + Rotate(lanes[2], 12) + Rotate(lanes[3], 18);
    for (const std::uint64_t lane : lanes) hash = (hash ^ round(0, lane)) * kPrime1 + kPrime4;
    hash += bytes.size();
    for (; end - at >= 8; at += 8) hash = Rotate(hash ^ round(0, Word(at)), 27) * kPrime1 + kPrime4;
    for (; at < end; ++at) hash = Rotate(hash ^ (*at * 0x27D4EB2F165667C5ULL), 11) * kPrime1;
    hash = (hash ^ (hash >> 33)) * kPrime2;
    hash = (hash ^ (hash >> 29)) * kPrime3;
    hash ^= hash >> 32;
    std::array<std::uint8_t, kChecksumBytes> digest{};
    for (std::size_t i = 0; i < 8; ++i) digest[i] = static_cast<std::uint8_t>(hash >> (8 * i));
    return digest;
}

void PutIdentity(ByteSink& out, const SavedDiskIdentity& id) {
    out.U64(id.diskBytes);
    out.U32(id.sectorSize);
    out.U64(id.driveStart);
    out.U64(id.driveSectors);
    out.U64(id.volumeSerial);
    out.Text(id.bootSectorHash);
}

bool TakeIdentity(Cursor& in, SavedDiskIdentity& id) {
    id.diskBytes = in.U64();
    id.sectorSize = in.U32();
    id.driveStart = in.U64();
    id.driveSectors = in.U64();
    id.volumeSerial = in.U64();
    id.bootSectorHash = in.Text(64);
    return in.ok();
}

void PutCounters(ByteSink& out, const ScanCounters& c) {
    for (const std::uint32_t v :
         {c.normalFiles, c.normalDirectories, c.lostFiles, c.lostDirectories, c.deletedFiles,
          c.deletedDirectories, c.unreadableRecords})
        out.U32(v);
}

void TakeCounters(Cursor& in, ScanCounters& c) {
    for (std::uint32_t* v : {&c.normalFiles, &c.normalDirectories, &c.lostFiles, &c.lostDirectories,
                             &c.deletedFiles, &c.deletedDirectories, &c.unreadableRecords})
        *v = in.U32();
}

void PutSnapshot(ByteSink& out, const ScanSnapshot& s) {
    out.U32(s.sectorsPerCluster);
    out.U32(s.bytesPerSector);
    out.U32(s.recordSize);
    out.U64(s.volumeSerial);
    PutCounters(out, s.counters);
    out.U8(s.advanceSearched ? 1 : 0);
    out.U32(s.unverifiedEntries);
    out.U32(s.folderCounter);
    out.U32(s.lostFolderCounter);
    out.U64(s.reservedNumbersEnd);
    out.U64(s.foundRecords.size());
    for (const std::uint64_t sector : s.foundRecords) out.U64(sector);
    out.U64(s.foundOrigins.size());
    for (const SnapshotFoundOrigin& o : s.foundOrigins) {
        out.U32(o.number);
        out.U16(o.sequence);
        out.U8(o.numbered ? 1 : 0);
        out.U8(o.inUse ? 1 : 0);
        out.U8(o.volume);
    }
    out.U64(s.foundVolumes.size());
    for (const SnapshotFoundVolume& v : s.foundVolumes) {
        out.U32(v.sectorsPerCluster);
        out.U8(v.verified ? 1 : 0);
        out.U64(v.start);
    }
    out.U64(s.foundByNumber.size());
    for (const auto& [key, index] : s.foundByNumber) {
        out.U64(key);
        out.U32(index);
    }
}

bool TakeSnapshot(Cursor& in, ScanSnapshot& s) {
    s.sectorsPerCluster = in.U32();
    s.bytesPerSector = in.U32();
    s.recordSize = in.U32();
    s.volumeSerial = in.U64();
    TakeCounters(in, s.counters);
    s.advanceSearched = in.U8() != 0;
    s.unverifiedEntries = in.U32();
    s.folderCounter = in.U32();
    s.lostFolderCounter = in.U32();
    s.reservedNumbersEnd = in.U64();
    s.foundRecords.resize(in.Count(8));
    for (std::uint64_t& sector : s.foundRecords) sector = in.U64();
    s.foundOrigins.resize(in.Count(kOriginBytes));
    for (SnapshotFoundOrigin& o : s.foundOrigins) {
        o.number = in.U32();
        o.sequence = in.U16();
        o.numbered = in.U8() != 0;
        o.inUse = in.U8() != 0;
        o.volume = in.U8();
    }
    s.foundVolumes.resize(in.Count(kVolumeBytes));
    for (SnapshotFoundVolume& v : s.foundVolumes) {
        v.sectorsPerCluster = in.U32();
        v.verified = in.U8() != 0;
        v.start = in.U64();
    }
    s.foundByNumber.resize(in.Count(kByNumberBytes));
    for (auto& [key, index] : s.foundByNumber) {
        key = in.U64();
        index = in.U32();
        // An index past the found records would be read as a sector position.
        if (index >= s.foundRecords.size()) return false;
    }
    return in.ok();
}

void PutEntry(ByteSink& out, std::vector<std::uint8_t>& bytes, const CatalogueEntry& entry,
              CheckMark mark) {
    const std::string_view name = entry.Name();
    out.U16(name.size());
    bytes.insert(bytes.end(), name.begin(), name.end());
    out.U8(entry.attribute);
    out.U64(entry.creationTime);
    out.U64(entry.size);
    out.U32(entry.parent);
    out.U32(entry.number);
    out.U8((entry.deleted != 0 ? kDeletedBit : 0) | (entry.madeUp != 0 ? kMadeUpBit : 0) |
           (entry.madeUpSecond != 0 ? kMadeUpSecondBit : 0) |
           (entry.compressed != 0 ? kCompressedBit : 0));
    out.U8(static_cast<std::uint8_t>(mark));
}

// Decodes the entry at the cursor; false when it does not fit or holds a value no
// entry can have.
bool TakeEntry(Cursor& in, ByteView file, CatalogueEntry& entry, CheckMark& mark) {
    const std::uint16_t nameBytes = in.U16();
    if (nameBytes > kEntryNameMaxBytes) return false;
    const std::size_t nameAt = in.at();
    if (!in.Skip(nameBytes)) return false;
    entry.SetName(std::string_view(reinterpret_cast<const char*>(file.data() + nameAt), nameBytes));
    entry.attribute = in.U8();
    entry.creationTime = in.U64();
    entry.size = in.U64();
    entry.parent = in.U32();
    entry.number = in.U32();
    const std::uint8_t flags = in.U8();
    entry.deleted = (flags & kDeletedBit) != 0 ? 1 : 0;
    entry.madeUp = (flags & kMadeUpBit) != 0 ? 1 : 0;
    entry.madeUpSecond = (flags & kMadeUpSecondBit) != 0 ? 1 : 0;
    entry.compressed = (flags & kCompressedBit) != 0 ? 1 : 0;
    const std::uint8_t check = in.U8();
    if (check > static_cast<std::uint8_t>(CheckMark::kPartly)) return false;
    mark = static_cast<CheckMark>(check);
    return in.ok();
}

void PutConditions(ByteSink& out, const ConditionTable& table) {
    out.U64(table.Count());
    for (std::size_t i = 0; i < table.Count(); ++i) {
        const EntryTimes& t = table.Times(i);
        for (const std::uint64_t v : {t.creation, t.modification, t.recordChange, t.access})
            out.U64(v);
        const EntryCondition& c = table.Condition(i);
        out.U64(c.dataClusters);
        out.U64(c.takenClusters);
        out.U64(c.takerClusters);
        out.U32(c.takerRecord);
        out.U8(static_cast<std::uint8_t>(c.taker));
        out.U8(static_cast<std::uint8_t>(c.condition));
        out.U8(static_cast<std::uint8_t>(c.unknownCause));
        out.U8(static_cast<std::uint8_t>(c.readGap));
    }
}

bool TakeConditions(Cursor& in, std::vector<EntryTimes>& times,
                    std::vector<EntryCondition>& conditions) {
    const std::size_t count = in.Count(kTimesBytes + kConditionBytes);
    times.resize(count);
    conditions.resize(count);
    for (std::size_t i = 0; i < count; ++i) {
        EntryTimes& t = times[i];
        t.creation = in.U64();
        t.modification = in.U64();
        t.recordChange = in.U64();
        t.access = in.U64();
        EntryCondition& c = conditions[i];
        c.dataClusters = in.U64();
        c.takenClusters = in.U64();
        c.takerClusters = in.U64();
        c.takerRecord = in.U32();
        const std::uint8_t taker = in.U8();
        const std::uint8_t condition = in.U8();
        const std::uint8_t cause = in.U8();
        const std::uint8_t gap = in.U8();
        if (taker > static_cast<std::uint8_t>(ClusterTaker::kOutside) ||
            condition > static_cast<std::uint8_t>(FileCondition::kUnreadable) ||
            cause > static_cast<std::uint8_t>(UnknownCause::kWrittenAgain) ||
            gap > static_cast<std::uint8_t>(ReadGap::kPastImage))
            return false;
        c.taker = static_cast<ClusterTaker>(taker);
        c.condition = static_cast<FileCondition>(condition);
        c.unknownCause = static_cast<UnknownCause>(cause);
        c.readGap = static_cast<ReadGap>(gap);
    }
    return in.ok();
}

}  // namespace

std::optional<std::string> IdentityMismatch(const SavedDiskIdentity& saved,
                                            const SavedDiskIdentity& actual) {
    const auto differs = [](std::uint64_t a, std::uint64_t b) {
        return a != 0 && b != 0 && a != b;
    };
    if (differs(saved.diskBytes, actual.diskBytes))
        return "the disk holds " + std::to_string(actual.diskBytes) + " bytes, the scanned one " +
               std::to_string(saved.diskBytes);
    if (differs(saved.sectorSize, actual.sectorSize))
        return "the disk's sectors are " + std::to_string(actual.sectorSize) +
               " bytes, the scanned one's " + std::to_string(saved.sectorSize);
    if (saved.driveStart != actual.driveStart || saved.driveSectors != actual.driveSectors)
        return "the drive does not lie where the scanned one did (sector " +
               std::to_string(actual.driveStart) + ", " + std::to_string(actual.driveSectors) +
               " sectors; scanned: sector " + std::to_string(saved.driveStart) + ", " +
               std::to_string(saved.driveSectors) + ")";
    if (saved.volumeSerial != actual.volumeSerial)
        return "the volume's serial number differs from the scanned one's";
    if (saved.bootSectorHash != actual.bootSectorHash)
        return "the volume's boot sector differs from the scanned one's";
    return std::nullopt;
}

void SealSavedScan(std::vector<std::uint8_t>& file) {
    if (file.size() < kHeaderBytes) return;
    const std::uint64_t length = file.size() - kHeaderBytes;
    for (int i = 0; i < 8; ++i)
        file[kLengthAt + static_cast<std::size_t>(i)] =
            static_cast<std::uint8_t>(length >> (8 * i));
    const auto digest = Checksum(std::span<const std::uint8_t>(file).subspan(kHeaderBytes));
    std::copy(digest.begin(), digest.end(), file.begin() + kChecksumAt);
}

std::vector<std::uint8_t> EncodeSavedScan(const SavedDiskIdentity& identity,
                                          const ScanSnapshot& snapshot, const Catalogue& catalogue,
                                          const ConditionTable* conditions,
                                          const CheckMarks* marks) {
    std::vector<std::uint8_t> file(kHeaderBytes, 0);
    std::copy(kSignature.begin(), kSignature.end(), file.begin());
    ByteSink out(file);
    file.reserve(kHeaderBytes + catalogue.Count() * 64);
    PutIdentity(out, identity);
    PutSnapshot(out, snapshot);
    out.U64(catalogue.Count());
    for (std::size_t i = 0; i < catalogue.Count(); ++i)
        PutEntry(out, file, catalogue.At(i), marks ? marks->Of(i) : CheckMark::kUnchecked);
    const bool weighed = conditions != nullptr && conditions->Count() == catalogue.Count();
    out.U8(weighed ? 1 : 0);
    if (weighed) PutConditions(out, *conditions);
    for (int i = 0; i < 4; ++i)
        file[kVersionAt + static_cast<std::size_t>(i)] =
            static_cast<std::uint8_t>(kSavedScanVersion >> (8 * i));
    file[kHeaderSizeAt] = kHeaderBytes;
    SealSavedScan(file);
    return file;
}

std::optional<SavedScan> SavedScan::Parse(std::vector<std::uint8_t> file, std::string& error) {
    const ByteView view(file.data(), file.size());
    if (file.size() < kHeaderBytes ||
        !std::equal(kSignature.begin(), kSignature.end(), file.begin())) {
        error = "it is not a saved scan";
        return std::nullopt;
    }
    Cursor header(view, kVersionAt);
    const std::uint32_t version = header.U32();
    const std::uint32_t headerBytes = header.U32();
    const std::uint64_t length = header.U64();
    if (version != kSavedScanVersion || headerBytes != kHeaderBytes) {
        error = "it was saved in format " + std::to_string(version) +
                ", which this version cannot read (it reads format " +
                std::to_string(kSavedScanVersion) + ")";
        return std::nullopt;
    }
    if (length != file.size() - kHeaderBytes) {
        error =
            length > file.size() - kHeaderBytes ? "it is cut short" : "it has bytes past its end";
        return std::nullopt;
    }
    const auto digest = Checksum(view.span().subspan(kHeaderBytes));
    if (!std::equal(digest.begin(), digest.end(), file.begin() + kChecksumAt)) {
        error = "its checksum does not match: the file is damaged";
        return std::nullopt;
    }
    SavedScan scan;
    Cursor in(view, kHeaderBytes);
    bool sound = TakeIdentity(in, scan.identity_) && TakeSnapshot(in, scan.snapshot_);
    if (sound) {
        // Every entry is walked once here, so that handing them out later cannot fail.
        scan.entryCount_ = in.Count(kEntryFixedBytes);
        scan.entriesAt_ = in.at();
        scan.marks_.resize(scan.entryCount_);
        CatalogueEntry entry;
        for (std::size_t i = 0; sound && i < scan.entryCount_; ++i)
            sound = TakeEntry(in, view, entry, scan.marks_[i]);
    }
    if (sound) {
        const std::uint8_t weighed = in.U8();
        if (weighed == 1)
            sound = TakeConditions(in, scan.times_, scan.conditions_) &&
                    scan.conditions_.size() == scan.entryCount_;
        else
            sound = weighed == 0;
    }
    if (!sound || !in.ok() || !in.AtEnd()) {
        error = "its contents are inconsistent: the file is damaged";
        return std::nullopt;
    }
    scan.file_ = std::move(file);
    return scan;
}

std::optional<SavedScan> SavedScan::Load(const std::string& path, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "it cannot be opened";
        return std::nullopt;
    }
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    in.seekg(0, std::ios::beg);
    std::vector<std::uint8_t> file(size > 0 ? static_cast<std::size_t>(size) : 0);
    if (!in.read(reinterpret_cast<char*>(file.data()), static_cast<std::streamsize>(file.size()))) {
        error = "it cannot be read";
        return std::nullopt;
    }
    return Parse(std::move(file), error);
}

std::function<const CatalogueEntry*()> SavedScan::Entries() const {
    struct State {
        Cursor cursor;
        std::size_t left;
        CatalogueEntry entry;
    };
    const ByteView view(file_.data(), file_.size());
    auto state = std::make_shared<State>(State{Cursor(view, entriesAt_), entryCount_, {}});
    return [state, view]() -> const CatalogueEntry* {
        if (state->left == 0) return nullptr;
        --state->left;
        state->entry = CatalogueEntry{};
        CheckMark mark = CheckMark::kUnchecked;
        return TakeEntry(state->cursor, view, state->entry, mark) ? &state->entry : nullptr;
    };
}

}  // namespace tarvik
