#pragma once
// A scan kept in one file: the disk's identity, the engine's state besides its
// catalogue, every catalogue entry and, when they were weighed, the entries' conditions
// and times. The file begins with a fixed header (a signature, the format's version, the
// length of what follows and its checksum), so a file cut short, damaged or of another
// kind is told apart before anything of it is used; the reader checks every length
// against the bytes it holds.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "analysis/file_condition.h"
#include "catalogue/catalogue.h"
#include "catalogue/check_marks.h"
#include "catalogue/kept_placement.h"
#include "common/byte_view.h"
#include "scan/scan_snapshot.h"
#include "session/saved_conditions.h"
#include "session/saved_entries.h"

namespace tarvik {

inline constexpr std::uint32_t kSavedScanVersion = 4;

// What tells the scanned drive apart from any other: a reopened scan is only read from a
// drive that matches it in every field.
struct SavedDiskIdentity {
    std::uint64_t diskBytes = 0;     // 0 when not known
    std::uint32_t sectorSize = 0;    // the disk's logical sector size; 0 when not known
    std::uint64_t driveStart = 0;    // the drive's first sector on the disk (512-byte units)
    std::uint64_t driveSectors = 0;  // the drive's length in 512-byte sectors
    std::uint64_t volumeSerial = 0;
    std::string bootSectorHash;  // SHA-256 (hex) of the drive's first 512 bytes
};

// Why `actual` is not the drive `saved` describes, in words; nothing when it is.
std::optional<std::string> IdentityMismatch(const SavedDiskIdentity& saved,
                                            const SavedDiskIdentity& actual);

// The whole file's bytes for a scan. `conditions` may be null (not weighed), and so may
// `marks` (nothing checked).
std::vector<std::uint8_t> EncodeSavedScan(const SavedDiskIdentity& identity,
                                          const ScanSnapshot& snapshot, const Catalogue& catalogue,
                                          const ConditionTable* conditions,
                                          const CheckMarks* marks = nullptr);

// Sets the header's length and checksum to those of the bytes after it (the encoder
// does; the fuzz target does it to reach past the checksum).
void SealSavedScan(std::vector<std::uint8_t>& file);

class SavedScan {
  public:
    // Checks and reads a whole file; the reason when it cannot be used.
    static std::optional<SavedScan> Parse(std::vector<std::uint8_t> file, std::string& error);
    static std::optional<SavedScan> Load(const std::string& path, std::string& error);

    const SavedDiskIdentity& identity() const { return identity_; }
    const ScanSnapshot& snapshot() const { return snapshot_; }
    std::size_t entryCount() const { return entries_.count; }
    // The entries in their catalogue order, in a catalogue reading them where the file
    // holds them (it keeps the file). Parse checked every one of them; only a catalogue
    // out of room refuses some, and it holds fewer than entryCount() then (the
    // catalogue's RefusedCount says how many).
    Catalogue MakeCatalogue() const;
    // The check tree's placement of a catalogue MakeCatalogue made, read where the file
    // holds it once it was checked to be the one the catalogue's entries give; the reason
    // when it is not.
    std::optional<KeptPlacement> Placement(const Catalogue& catalogue, std::string& error) const;
    // Hands out the entries in their catalogue order, one at a time (each overwrites the
    // one before), then nothing.
    std::function<const CatalogueEntry*()> Entries() const;
    // Whether the conditions and times were kept.
    bool weighed() const { return conditionsAt_ != 0; }
    // The conditions and times in a table indexed like the entries, read where the file
    // holds them (the table keeps the file); an empty table when not weighed.
    ConditionTable MakeConditions() const;
    // The same, apart; empty when not weighed. Each call reads them out of the file again.
    std::vector<EntryTimes> times() const;
    std::vector<EntryCondition> conditions() const;
    // The entries' check marks, indexed like them.
    std::vector<CheckMark> marks() const;

  private:
    // Where the conditions follow the times.
    std::size_t ConditionRecordsAt() const {
        return conditionsAt_ + entryCount() * kSavedConditionRecordBytes;
    }
    static std::optional<SavedScan> ParseBytes(std::shared_ptr<const std::uint8_t> file,
                                               std::size_t size, std::string& error);
    // Everything after the header, whatever the checksum says.
    static std::optional<SavedScan> ParseContents(const std::shared_ptr<const std::uint8_t>& file,
                                                  ByteView view, std::string& error);

    // The whole file, checked once by Parse and read again from there on.
    std::shared_ptr<const std::uint8_t> file_;
    std::size_t fileSize_ = 0;
    SavedDiskIdentity identity_;
    ScanSnapshot snapshot_;
    SavedEntries entries_;
    std::size_t conditionsAt_ = 0;  // of the times; 0 when not weighed
};

}  // namespace tarvik
