#pragma once
// Reads a folder's index (its root and every INDX block, extension records included)
// and hands each accepted entry to a visitor.
#include <cstdint>
#include <functional>
#include <string>

namespace tarvik {

struct ScanState;

struct IndexedName {
    std::uint32_t number = 0;    // low 32 bits of the file reference
    std::uint16_t sequence = 0;  // the record's sequence the reference names
    std::uint32_t parent = 0;
    std::uint64_t creationTime = 0;
    std::uint64_t modificationTime = 0;
    std::uint64_t realSize = 0;
    bool directory = false;
    bool compressed = false;
    std::string name;  // UTF-8
};

using IndexVisitor = std::function<void(const IndexedName&)>;

// False when the record is not a readable folder; entries of damaged blocks are
// skipped silently.
bool ReadDirectoryIndex(ScanState& state, std::uint32_t directoryRecord, const IndexVisitor& visit);

}  // namespace tarvik
