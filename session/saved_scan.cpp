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
#include <future>
#include <memory>
#include <system_error>

#include "common/byte_view.h"
#include "session/saved_conditions.h"
#include "session/saved_entries.h"
#include "session/saved_scan_bytes.h"
#include "session/saved_scan_checksum.h"

namespace tarvik {
namespace {

constexpr std::array<std::uint8_t, 8> kSignature{'T', 'A', 'R', 'V', 'S', 'C', 'A', 'N'};
constexpr std::size_t kHeaderBytes = 64;
constexpr std::size_t kVersionAt = 8;
constexpr std::size_t kHeaderSizeAt = 12;
constexpr std::size_t kLengthAt = 16;
constexpr std::size_t kChecksumAt = 24;

constexpr std::size_t kOriginBytes = 4 + 2 + 1 + 1 + 1;
constexpr std::size_t kVolumeBytes = 4 + 1 + 8;
constexpr std::size_t kByNumberBytes = 8 + 4;

void PutIdentity(ByteSink& out, const SavedDiskIdentity& id) {
    out.U64(id.diskBytes);
    out.U32(id.sectorSize);
    out.U64(id.driveStart);
    out.U64(id.driveSectors);
    out.U64(id.volumeSerial);
    out.Text(id.bootSectorHash);
}

// Whether the bytes after the header have the checksum the header gives: worked out on a
// thread of its own for a large file, so that the contents are checked meanwhile.
std::future<bool> ChecksumMatches(ByteView view) {
    const auto matches = [view] {
        const auto digest = SavedScanChecksum(view.span().subspan(kHeaderBytes));
        return std::equal(digest.begin(), digest.end(), view.data() + kChecksumAt);
    };
    constexpr std::size_t kWorthAThread = std::size_t{1} << 20;
    if (view.size() >= kWorthAThread) {
        try {
            return std::async(std::launch::async, matches);
        } catch (const std::system_error&) {
            // No thread to be had: worked out here, when asked.
        }
    }
    return std::async(std::launch::deferred, matches);
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
    const auto digest =
        SavedScanChecksum(std::span<const std::uint8_t>(file).subspan(kHeaderBytes));
    std::copy(digest.begin(), digest.end(), file.begin() + kChecksumAt);
}

std::vector<std::uint8_t> EncodeSavedScan(const SavedDiskIdentity& identity,
                                          const ScanSnapshot& snapshot, const Catalogue& catalogue,
                                          const ConditionTable* conditions,
                                          const CheckMarks* marks) {
    std::vector<std::uint8_t> file(kHeaderBytes, 0);
    std::copy(kSignature.begin(), kSignature.end(), file.begin());
    ByteSink out(file);
    PutIdentity(out, identity);
    PutSnapshot(out, snapshot);
    PutSavedEntries(file, catalogue, marks);
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
    // The contents' checks are safe on any bytes: they run while the checksum is worked
    // out, and nothing of them is used unless it matches.
    std::future<bool> checksum = ChecksumMatches(view);
    std::string contentsError;
    std::optional<SavedScan> scan = ParseContents(file, view, contentsError);
    if (!checksum.get()) {
        error = "its checksum does not match: the file is damaged";
        return std::nullopt;
    }
    if (!scan) error = contentsError;
    return scan;
}

std::optional<SavedScan> SavedScan::ParseContents(const std::shared_ptr<const std::uint8_t>& file,
                                                  ByteView view, std::string& error) {
    SavedScan scan;
    Cursor in(view, kHeaderBytes);
    bool sound = TakeIdentity(in, scan.identity_) && TakeSnapshot(in, scan.snapshot_);
    if (sound) {
        // Every entry is checked once here, so that reading them later cannot fail.
        std::optional<SavedEntries> entries = CheckSavedEntries(file, view, in.at(), error);
        if (!entries) return std::nullopt;
        sound = in.Skip(entries->end - in.at());
        scan.entries_ = std::move(*entries);
    }
    if (sound) {
        const std::uint8_t weighed = in.U8();
        if (weighed == 1) {
            const std::size_t count = in.Count(2 * kSavedConditionRecordBytes);
            sound =
                in.ok() && count == scan.entryCount() && in.Skip(SavedConditionsPadding(in.at()));
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
    scan.file_ = file;
    scan.fileSize_ = view.size();
    return scan;
}

std::optional<SavedScan> SavedScan::Load(const std::string& path, std::string& error) {
    std::shared_ptr<const std::uint8_t> file;
    std::size_t size = 0;
    if (!ReadWholeFile(path, file, size, error)) return std::nullopt;
    return ParseBytes(std::move(file), size, error);
}

Catalogue SavedScan::MakeCatalogue() const {
    return Catalogue::Reading(entries_.kept);
}

std::optional<KeptPlacement> SavedScan::Placement(const Catalogue& catalogue,
                                                  std::string& error) const {
    KeptPlacement placement{entries_.kept.keeper, entries_.placement, {}};
    if (auto mismatch = PlacementMismatch(catalogue, placement.placed, placement.positionOfIndex)) {
        error =
            "its folder tree does not match its entries (" + *mismatch + "): the file is damaged";
        return std::nullopt;
    }
    return placement;
}

std::function<const CatalogueEntry*()> SavedScan::Entries() const {
    struct State {
        Catalogue catalogue;
        std::size_t next = 0;
        CatalogueEntry entry;
    };
    auto state = std::make_shared<State>(State{MakeCatalogue(), 0, {}});
    return [state]() -> const CatalogueEntry* {
        if (state->next == state->catalogue.Count()) return nullptr;
        state->entry = CatalogueEntry{};
        const CatalogueEntry read = state->catalogue.At(state->next++);
        state->entry = read;
        state->entry.SetName(read.Name());
        return &state->entry;
    };
}

ConditionTable SavedScan::MakeConditions() const {
    if (!weighed()) return {};
    return ReadSavedConditions(file_, file_.get() + conditionsAt_,
                               file_.get() + ConditionRecordsAt(), entryCount());
}

std::vector<EntryTimes> SavedScan::times() const {
    if (!weighed()) return {};
    return ReadSavedTimes(file_.get() + conditionsAt_, entryCount());
}

std::vector<EntryCondition> SavedScan::conditions() const {
    if (!weighed()) return {};
    return ReadSavedConditionList(file_.get() + ConditionRecordsAt(), entryCount());
}

std::vector<CheckMark> SavedScan::marks() const {
    std::vector<CheckMark> marks(entries_.count);
    if (!marks.empty()) std::memcpy(marks.data(), entries_.marks, marks.size());
    return marks;
}

}  // namespace tarvik
