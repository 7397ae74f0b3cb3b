#pragma once
// What a recovery keeps of the folders it made and the files it writes between its
// passes (used by RecoveryWriter alone).
#include <fcntl.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "analysis/written_over_probe.h"
#include "catalogue/tree_placement.h"
#include "filedata/file_data_copy.h"
#include "filedata/file_data_map.h"
#include "recovery/recovery_writer.h"
#include "recovery/safe_names.h"
#include "recovery/unique_fd.h"

namespace tarvik {

// Folders the second pass keeps open to create files in: the most recently used ones.
constexpr std::size_t kOpenFolders = 8;

// A folder the first pass created: where it lies (its parent and the name it was
// created under, so the second pass can open it again without following links) and
// the names given out in it.
struct RecoveryWriter::PlannedFolder {
    std::uint32_t parent = kNoFolder;  // the destination itself has none
    std::string name;                  // the destination's own path for the destination
    FolderNames names;
    std::size_t entry = SIZE_MAX;  // in the catalogue; SIZE_MAX for folders it does not hold
};

// A wanted file, named and waiting for its data.
struct RecoveryWriter::FileJob {
    std::size_t entry = 0;  // in the catalogue
    std::uint32_t folder = 0;
    std::string name;
    // Already read for a file catalogued with size 0 (to tell it from an empty one).
    std::unique_ptr<FileDataMap> map;
    // For the report: sectors that could not be read, and the SHA-256 of the bytes when
    // they were hashed on their way out.
    std::uint64_t unreadableSectors = 0;
    std::string sha256;
    // The name the file is written under until it is whole (see PublishFile), and the
    // bytes written into it.
    std::string partName;
    std::uint64_t written = 0;
    std::uint64_t length = 0;  // as planned: what the tally counts
    // A deleted file the condition check called intact without reading its bytes: they
    // are looked at as they are read here, and may show it written over since.
    std::unique_ptr<WrittenOverProbe> probe;
    bool writtenAgain = false;
};

// Opens the planned folders again for the second pass, from the destination down, each
// step with O_NOFOLLOW; keeps the few used last open.
class RecoveryWriter::FolderDescriptors {
  public:
    FolderDescriptors(const std::vector<PlannedFolder>& folders, int destinationFd)
        : folders_(folders), destinationFd_(destinationFd) {}

    // The folder's descriptor (owned here), or -1 with errno set.
    int Open(std::uint32_t folder) {
        if (folder == 0) return destinationFd_;
        for (auto it = open_.begin(); it != open_.end(); ++it) {
            if (it->first != folder) continue;
            std::rotate(it, it + 1, open_.end());
            return open_.back().second.get();
        }
        // The path down from the nearest folder already open.
        std::vector<std::uint32_t> chain;
        int from = destinationFd_;
        for (std::uint32_t at = folder; at != 0 && at != kNoFolder; at = folders_[at].parent) {
            const auto held = std::find_if(open_.begin(), open_.end(),
                                           [at](const auto& o) { return o.first == at; });
            if (held != open_.end()) {
                from = held->second.get();
                break;
            }
            chain.push_back(at);
        }
        UniqueFd current(-1);
        for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
            const int parent = current.valid() ? current.get() : from;
            UniqueFd next(::openat(parent, folders_[*it].name.c_str(),
                                   O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
            if (!next.valid()) return -1;
            current = std::move(next);
        }
        if (open_.size() == kOpenFolders) open_.erase(open_.begin());
        open_.emplace_back(folder, std::move(current));
        return open_.back().second.get();
    }

  private:
    const std::vector<PlannedFolder>& folders_;
    int destinationFd_;
    std::vector<std::pair<std::uint32_t, UniqueFd>> open_;
};

// A non-resident file between the record pass and its data: its map and, for a plain
// file, the pieces the reading comes to one by one.
struct RecoveryWriter::PendingFile {
    std::size_t job = 0;
    std::unique_ptr<FileDataMap> map;
    std::vector<DataPiece> pieces;  // empty: written whole
    std::uint64_t length = 0;
    std::size_t remaining = 0;
    std::uint64_t writtenSectors = 0;
    int fd = -1;
    bool done = false;
    // Its pieces were all written before the sweep (the MFT's own file, copied with the
    // records' reads): the sweep only finishes it where its last piece lies.
    bool copiedAlong = false;
};

}  // namespace tarvik
