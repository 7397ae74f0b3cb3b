#include "session/saved_scan.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cerrno>
#include <cstring>
#include <memory>

#include "common/byte_view.h"
#include "session/saved_conditions.h"

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
// The bytes of an entry besides its name: the name's length, attribute, three 64-bit and
// two 32-bit numbers, the flags and the check mark.
constexpr std::size_t kEntryFixedBytes = 2 + 1 + 8 + 8 + 8 + 4 + 4 + 1 + 1;
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
    out.U64(entry.modificationTime);
    out.U64(entry.size);
    out.U32(entry.parent);
    out.U32(entry.number);
    out.U8((entry.deleted != 0 ? kDeletedBit : 0) | (entry.madeUp != 0 ? kMadeUpBit : 0) |
           (entry.madeUpSecond != 0 ? kMadeUpSecondBit : 0) |
           (entry.compressed != 0 ? kCompressedBit : 0));
    out.U8(static_cast<std::uint8_t>(mark));
}

// The little-endian value at `bytes`, which the caller has checked lie in the file.
template <typename T>
T LoadLe(const std::uint8_t* bytes) {
    T value = 0;
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(&value, bytes, sizeof value);
    } else {
        for (std::size_t i = sizeof value; i-- > 0;)
            value = static_cast<T>((value << 8) | bytes[i]);
    }
    return value;
}

// Where in an entry, after its name, each field lies.
constexpr std::size_t kEntryNameAt = 2;
constexpr std::size_t kAttributeAt = 0;
constexpr std::size_t kCreationAt = 1;
constexpr std::size_t kModificationAt = 9;
constexpr std::size_t kSizeAt = 17;
constexpr std::size_t kParentAt = 25;
constexpr std::size_t kNumberAt = 29;
constexpr std::size_t kFlagsAt = 33;
constexpr std::size_t kMarkAt = 34;
constexpr std::size_t kEntryFieldsBytes = kEntryFixedBytes - kEntryNameAt;

// Checks `count` entries from `at` on: each lies whole in the file, its name is no
// longer than a catalogue keeps and holds no NUL (a catalogue's names never do), its
// check mark is one there is. Where the last one ends, and the largest own number met;
// nothing when one fails. Every later read of the entries relies on this walk.
std::optional<std::size_t> CheckEntries(ByteView file, std::size_t at, std::size_t count,
                                        std::uint32_t& largestNumber) {
    const std::uint8_t* entry = file.data() + at;
    const std::uint8_t* const end = file.data() + file.size();
    for (std::size_t i = 0; i < count; ++i) {
        if (end - entry < static_cast<std::ptrdiff_t>(kEntryFixedBytes)) return std::nullopt;
        const std::size_t nameBytes = LoadLe<std::uint16_t>(entry);
        if (nameBytes > kEntryNameMaxBytes ||
            static_cast<std::size_t>(end - entry) < kEntryFixedBytes + nameBytes)
            return std::nullopt;
        const std::uint8_t* const fields = entry + kEntryNameAt + nameBytes;
        if (std::memchr(entry + kEntryNameAt, 0, nameBytes) != nullptr ||
            fields[kMarkAt] > static_cast<std::uint8_t>(CheckMark::kPartly))
            return std::nullopt;
        largestNumber = std::max(largestNumber, LoadLe<std::uint32_t>(fields + kNumberAt));
        entry = fields + kEntryFieldsBytes;
    }
    return static_cast<std::size_t>(entry - file.data());
}

// Reads the entry at `entry`, one CheckEntries passed; where the next one begins.
const std::uint8_t* ReadEntry(const std::uint8_t* entry, CatalogueEntry& fields,
                              std::string_view& name, CheckMark& mark) {
    const std::size_t nameBytes = LoadLe<std::uint16_t>(entry);
    name = std::string_view(reinterpret_cast<const char*>(entry + kEntryNameAt), nameBytes);
    const std::uint8_t* const at = entry + kEntryNameAt + nameBytes;
    fields.attribute = at[kAttributeAt];
    fields.creationTime = LoadLe<std::uint64_t>(at + kCreationAt);
    fields.modificationTime = LoadLe<std::uint64_t>(at + kModificationAt);
    fields.size = LoadLe<std::uint64_t>(at + kSizeAt);
    fields.parent = LoadLe<std::uint32_t>(at + kParentAt);
    fields.number = LoadLe<std::uint32_t>(at + kNumberAt);
    const std::uint8_t flags = at[kFlagsAt];
    fields.deleted = (flags & kDeletedBit) != 0 ? 1 : 0;
    fields.madeUp = (flags & kMadeUpBit) != 0 ? 1 : 0;
    fields.madeUpSecond = (flags & kMadeUpSecondBit) != 0 ? 1 : 0;
    fields.compressed = (flags & kCompressedBit) != 0 ? 1 : 0;
    mark = static_cast<CheckMark>(at[kMarkAt]);
    return at + kEntryFieldsBytes;
}

// The whole file at `path`, mapped read-only: its pages come straight from the page
// cache, mapped in one go, with no copy and no zeroed buffer (a large scan opens in a
// fraction of the time a read into memory takes). A file that cannot be mapped (a pipe)
// is read instead.
bool ReadWholeFile(const std::string& path, std::shared_ptr<const std::uint8_t>& file,
                   std::size_t& size, std::string& error) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat status {};
    if (fd < 0 || ::fstat(fd, &status) != 0) {
        if (fd >= 0) ::close(fd);
        error = "it cannot be opened";
        return false;
    }
    size = S_ISREG(status.st_mode) ? static_cast<std::size_t>(status.st_size) : 0;
    if (size > 0) {
        void* mapped = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd, 0);
        if (mapped != MAP_FAILED) {
            ::close(fd);
            file = std::shared_ptr<const std::uint8_t>(
                static_cast<const std::uint8_t*>(mapped), [size](const std::uint8_t* bytes) {
                    ::munmap(const_cast<std::uint8_t*>(bytes), size);
                });
            return true;
        }
    }
    std::vector<std::uint8_t> bytes;
    std::uint8_t piece[1 << 16];
    ssize_t got = 0;
    while ((got = ::read(fd, piece, sizeof piece)) != 0) {
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            ::close(fd);
            error = "it cannot be read";
            return false;
        }
        bytes.insert(bytes.end(), piece, piece + got);
    }
    ::close(fd);
    size = bytes.size();
    const auto kept = std::make_shared<std::vector<std::uint8_t>>(std::move(bytes));
    file = std::shared_ptr<const std::uint8_t>(kept, kept->data());
    return true;
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
    if (weighed) PutSavedConditions(file, *conditions);
    for (int i = 0; i < 4; ++i)
        file[kVersionAt + static_cast<std::size_t>(i)] =
            static_cast<std::uint8_t>(kSavedScanVersion >> (8 * i));
    file[kHeaderSizeAt] = kHeaderBytes;
    SealSavedScan(file);
    return file;
}

std::optional<SavedScan> SavedScan::Parse(std::vector<std::uint8_t> file, std::string& error) {
    const auto kept = std::make_shared<std::vector<std::uint8_t>>(std::move(file));
    return ParseBytes(std::shared_ptr<const std::uint8_t>(kept, kept->data()), kept->size(), error);
}

std::optional<SavedScan> SavedScan::ParseBytes(std::shared_ptr<const std::uint8_t> file,
                                               std::size_t size, std::string& error) {
    const ByteView view(file.get(), size);
    if (size < kHeaderBytes || !std::equal(kSignature.begin(), kSignature.end(), view.data())) {
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
    if (length != size - kHeaderBytes) {
        error = length > size - kHeaderBytes ? "it is cut short" : "it has bytes past its end";
        return std::nullopt;
    }
    const auto digest = Checksum(view.span().subspan(kHeaderBytes));
    if (!std::equal(digest.begin(), digest.end(), view.data() + kChecksumAt)) {
        error = "its checksum does not match: the file is damaged";
        return std::nullopt;
    }
    SavedScan scan;
    Cursor in(view, kHeaderBytes);
    bool sound = TakeIdentity(in, scan.identity_) && TakeSnapshot(in, scan.snapshot_);
    if (sound) {
        // Every entry is checked once here, so that reading them later cannot fail.
        scan.entryCount_ = in.Count(kEntryFixedBytes);
        scan.entriesAt_ = in.at();
        const auto entriesEnd =
            CheckEntries(view, scan.entriesAt_, scan.entryCount_, scan.largestNumber_);
        sound = in.ok() && entriesEnd && in.Skip(*entriesEnd - scan.entriesAt_);
    }
    if (sound) {
        const std::uint8_t weighed = in.U8();
        if (weighed == 1) {
            const std::size_t count = in.Count(2 * kSavedConditionRecordBytes);
            sound =
                in.ok() && count == scan.entryCount_ && in.Skip(SavedConditionsPadding(in.at()));
            scan.conditionsAt_ = in.at();
            sound = sound && in.Skip(2 * count * kSavedConditionRecordBytes) &&
                    CheckSavedConditions(view.data() + scan.ConditionRecordsAt(), count);
        } else {
            sound = weighed == 0;
        }
    }
    if (!sound || !in.ok() || !in.AtEnd()) {
        error = "its contents are inconsistent: the file is damaged";
        return std::nullopt;
    }
    scan.file_ = std::move(file);
    scan.fileSize_ = size;
    return scan;
}

std::optional<SavedScan> SavedScan::Load(const std::string& path, std::string& error) {
    std::shared_ptr<const std::uint8_t> file;
    std::size_t size = 0;
    if (!ReadWholeFile(path, file, size, error)) return std::nullopt;
    return ParseBytes(std::move(file), size, error);
}

Catalogue SavedScan::MakeCatalogue() const {
    Catalogue catalogue;
    catalogue.Reserve(entryCount_);
    catalogue.ReserveNumbers(entryCount_, largestNumber_);
    const std::uint8_t* at = file_.get() + entriesAt_;
    CatalogueEntry fields;
    std::string_view name;
    CheckMark mark = CheckMark::kUnchecked;
    for (std::size_t i = 0; i < entryCount_; ++i) {
        at = ReadEntry(at, fields, name, mark);
        if (!catalogue.Append(fields, name)) break;  // out of room: the rest is refused too
    }
    return catalogue;
}

std::function<const CatalogueEntry*()> SavedScan::Entries() const {
    struct State {
        std::shared_ptr<const std::uint8_t> file;
        const std::uint8_t* at;
        std::size_t left;
        CatalogueEntry entry;
    };
    auto state = std::make_shared<State>(State{file_, file_.get() + entriesAt_, entryCount_, {}});
    return [state]() -> const CatalogueEntry* {
        if (state->left == 0) return nullptr;
        --state->left;
        std::string_view name;
        CheckMark mark = CheckMark::kUnchecked;
        state->entry = CatalogueEntry{};
        state->at = ReadEntry(state->at, state->entry, name, mark);
        state->entry.SetName(name);
        return &state->entry;
    };
}

ConditionTable SavedScan::MakeConditions() const {
    if (!weighed()) return {};
    return ReadSavedConditions(file_, file_.get() + conditionsAt_,
                               file_.get() + ConditionRecordsAt(), entryCount_);
}

std::vector<EntryTimes> SavedScan::times() const {
    if (!weighed()) return {};
    return ReadSavedTimes(file_.get() + conditionsAt_, entryCount_);
}

std::vector<EntryCondition> SavedScan::conditions() const {
    if (!weighed()) return {};
    return ReadSavedConditionList(file_.get() + ConditionRecordsAt(), entryCount_);
}

std::vector<CheckMark> SavedScan::marks() const {
    std::vector<CheckMark> marks;
    marks.reserve(entryCount_);
    const std::uint8_t* entry = file_.get() + entriesAt_;
    for (std::size_t i = 0; i < entryCount_; ++i) {
        const std::size_t fieldsAt = kEntryNameAt + LoadLe<std::uint16_t>(entry);
        marks.push_back(static_cast<CheckMark>(entry[fieldsAt + kMarkAt]));
        entry += fieldsAt + kEntryFieldsBytes;
    }
    return marks;
}

}  // namespace tarvik
