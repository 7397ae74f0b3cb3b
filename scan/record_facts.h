#pragma once
// What the scan's pass over the MFT learnt of each record, by record number, for the
// walks after it: whether the record is a base record in use, its sequence, the real
// size of its unnamed data and its creation and modification times. A folder's index entry may be
// stale (Windows does not update the sizes and times it copies there, and an entry may outlive its
// record); the record itself is what a scan shows.
#include <cstdint>
#include <optional>
#include <vector>

namespace tarvik {

struct RecordFact {
    bool inUse = false;
    bool directory = false;
    bool named = false;  // has a $FILE_NAME: the record walk can list it by itself
    std::uint16_t sequence = 0;
    std::uint64_t size = 0;          // real size of the unnamed data; 0 for a folder
    std::uint64_t creationTime = 0;  // $STANDARD_INFORMATION, FILETIME
    std::uint64_t modificationTime = 0;
};

// Five parallel arrays, 27 bytes a record.
class RecordFacts {
  public:
    void Cover(std::uint64_t records);
    // A base record as read (in use: the header says so and the MFT's bitmap agrees).
    // `size` is taken only when the record holds its unnamed data itself; otherwise what
    // an extension record gave stays.
    void SetBase(std::uint32_t number, const RecordFact& fact, bool hasData);
    // An extension record in use holds the first piece of its base record's unnamed data.
    void SetSizeFromExtension(std::uint32_t base, std::uint64_t realSize);
    // Nothing for a number past the MFT or a record that could not be read as a base
    // record (unreadable, failed fix-up, an extension record).
    std::optional<RecordFact> Find(std::uint32_t number) const;
    // The base record in use with exactly this sequence: what a file reference names.
    bool IsLive(std::uint32_t number, std::uint16_t sequence) const;
    // A folder whose children carry this parent sequence: in use with the same sequence,
    // or deleted with it or the one before (freeing a record moves its sequence on).
    bool IsFolderOf(std::uint32_t number, std::uint16_t parentSequence) const;
    void Clear();

  private:
    static constexpr std::uint8_t kKnown = 0x01;
    static constexpr std::uint8_t kInUse = 0x02;
    static constexpr std::uint8_t kDirectory = 0x04;
    static constexpr std::uint8_t kOwnData = 0x08;
    static constexpr std::uint8_t kNamed = 0x10;

    std::vector<std::uint8_t> flags_;
    std::vector<std::uint16_t> sequences_;
    std::vector<std::uint64_t> sizes_;
    std::vector<std::uint64_t> times_;
    std::vector<std::uint64_t> modificationTimes_;
};

}  // namespace tarvik
