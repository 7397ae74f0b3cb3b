#pragma once
// The Volume Shadow Copies an NTFS volume keeps inside itself, read through libvshadow
// over the volume's own sectors. Each copy is a read-only view of the volume as it was
// when the copy was made: a sector source that a scan reads like a drive.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "disk/sector_source.h"

namespace tarvik {

struct ShadowCopyInfo {
    std::size_t number = 0;          // 1 for the oldest, in the store's order
    std::uint64_t creationTime = 0;  // FILETIME, UTC
    std::uint64_t volumeBytes = 0;   // the size of the volume the copy shows
};

class ShadowCopyStore;

// What looking for a volume's shadow copies found.
struct ShadowStoreOpening {
    // The store, when the volume has shadow copies and they could be read.
    std::shared_ptr<ShadowCopyStore> store;
    // Why shadow copies the volume has cannot be read (a damaged store, a build without
    // libvshadow); empty when there are none or the store opened.
    std::string problem;
};

class ShadowCopyStore {
  public:
    ~ShadowCopyStore();
    ShadowCopyStore(const ShadowCopyStore&) = delete;
    ShadowCopyStore& operator=(const ShadowCopyStore&) = delete;

    // Looks at the VSS header at the volume's byte 0x1E00 (one sector read) and opens
    // the store only when the header names a catalogue. `volumeBytes` bounds what the
    // library may read of the volume.
    static ShadowStoreOpening Open(std::unique_ptr<SectorSource> volume, std::uint64_t volumeBytes);
    // Whether this build reads shadow copies (it is built with libvshadow).
    static bool Supported();

    const std::vector<ShadowCopyInfo>& Copies() const { return copies_; }
    // A read-only source of copy `number` (from 1); nothing past the last copy. The
    // source keeps the store open for as long as it lives.
    std::unique_ptr<SectorSource> CopySource(std::size_t number);

    struct Library;

  private:
    ShadowCopyStore() = default;

    std::shared_ptr<Library> library_;
    std::vector<ShadowCopyInfo> copies_;
};

}  // namespace tarvik
