#pragma once
// What the scan reads in disk order ahead of the folder tree walk: the records the walk
// will fetch (folder and extension records, kept as they came in the one front-to-back
// pass over the MFT) and the INDX blocks of every folder (read in one sweep sorted by
// their place on the drive). The walk itself is unchanged: it asks for records and
// sectors as before and gets them from here, so the catalogue and its order are exactly
// those of a walk reading each folder in turn. Anything not held here (a read that
// failed in the sweep, a folder past the memory bound) is read from the drive as it is
// asked for, so a failure costs what it always cost.
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <span>
#include <unordered_map>
#include <utility>
#include <vector>

#include "common/reporting.h"
#include "disk/sector_source.h"
#include "ntfs/file_record.h"

namespace tarvik {

// MFT records held by number, as stored (no fix-up), up to a bound on their bytes.
class RecordCache {
  public:
    static constexpr std::size_t kDefaultMaxBytes = 64u << 20;

    explicit RecordCache(std::size_t maxBytes = kDefaultMaxBytes) : maxBytes_(maxBytes) {}

    // Keeps a copy unless the bound is reached (the record is then read again when asked).
    void Keep(std::uint32_t number, std::span<const std::uint8_t> bytes);
    // Copies the record into `bytes` (sized to it): false when it is not held.
    bool Fetch(std::uint32_t number, std::span<std::uint8_t> bytes) const;
    void Clear();
    std::size_t bytes() const { return bytes_; }

  private:
    std::size_t maxBytes_;
    std::size_t bytes_ = 0;
    std::unordered_map<std::uint32_t, RecordBuffer> records_;
};

// A sector source that fails every read and notes what was asked: run over a folder
// reader, it gives the requests the reader will make, without reading anything.
class RequestRecorder final : public SectorSource {
  public:
    struct Request {
        std::uint64_t sector = 0;
        std::uint64_t bytes = 0;
    };
    bool Read(DriveSector sector, std::span<std::uint8_t> buffer) override {
        requests_.push_back({sector.value(), buffer.size()});
        return false;
    }
    std::vector<Request>& requests() { return requests_; }

  private:
    std::vector<Request> requests_;
};

// Serves requests read ahead, each exactly as it was asked for (same first sector, same
// length); every other request goes to the drive. What was read is held in one block of
// memory, given back whole when the source goes, or piece by piece as it is served when
// each request is wanted once (ServeOnce).
class ReadAheadSource final : public SectorSource {
  public:
    // Gaps between requests up to this size are read through rather than jumped over:
    // on a spinning disk reading a megabyte costs less than moving the head.
    static constexpr std::uint64_t kMaxGapBytes = 1u << 20;
    // The largest single read of the sweep.
    static constexpr std::uint64_t kMaxReadBytes = 4u << 20;
    static constexpr std::size_t kDefaultMaxBytes = 256u << 20;

    explicit ReadAheadSource(SectorSource& drive) : drive_(drive) {}

    // Reads the requests in order of their place on the drive, neighbours joined into
    // large reads, and holds what was read, up to maxBytes in all (requests after that
    // are left to the drive). A joined read that fails is taken again request by request;
    // a request that still fails is not held, so asking for it reads it again.
    // A stop request ends the sweep between reads.
    void Fill(std::vector<RequestRecorder::Request> requests, const StopFlag* stop = nullptr,
              std::size_t maxBytes = kDefaultMaxBytes);

    // From now on Read serves a held request once and then lets it go: a second ask
    // goes to the drive. Memory is given back as soon as every request held in it has
    // been served, so what a walk has used no longer counts while it goes on.
    void ServeOnce() { serveOnce_ = true; }

    bool Read(DriveSector sector, std::span<std::uint8_t> buffer) override;
    // Only what is held: false, without reading the drive, for anything else.
    bool ReadHeld(DriveSector sector, std::span<std::uint8_t> buffer) const;

    std::size_t heldBytes() const { return heldBytes_; }

  private:
    // The requests of one read of the sweep, side by side in arena_.
    struct Piece {
        std::size_t begin = 0;
        std::size_t end = 0;
        std::size_t unserved = 0;
    };
    struct Held {
        std::size_t offset = 0;  // in arena_
        std::size_t piece = 0;
    };
    bool Hold(std::uint64_t sector, std::span<const std::uint8_t> bytes);
    void Served(std::size_t piece);

    SectorSource& drive_;
    std::vector<std::uint8_t> arena_;
    // (first sector, length) -> where the bytes lie in arena_.
    std::map<std::pair<std::uint64_t, std::uint64_t>, Held> held_;
    std::vector<Piece> pieces_;
    std::size_t heldBytes_ = 0;
    bool serveOnce_ = false;
};

}  // namespace tarvik
