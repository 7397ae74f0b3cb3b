#pragma once
// What an MFT observer takes of one record from its bytes alone. The scan has it worked
// out by whichever thread decodes the record, while the record's bytes are at hand, and
// gives it to the observer with the record, in number order.
#include <cstdint>

namespace tarvik {

// Clusters [start, end) of the volume that a record's runs list.
struct ObservedExtent {
    std::uint64_t start = 0;
    std::uint64_t end = 0;
};

struct ObservedRecord {
    bool observed = false;  // looked at by the observer (a record fixed up)
    bool inUse = false;
    bool extension = false;
    std::uint8_t marks = 0;   // the observer's own
    bool listed = false;      // an attribute list came before (the data may lie elsewhere too)
    std::uint32_t owner = 0;  // the record's number, or that of the base an extension names
    std::uint64_t logSequence = 0;
    // $STANDARD_INFORMATION's times (the first one's); all 0 when it has none.
    bool hasTimes = false;
    std::uint64_t creationTime = 0;
    std::uint64_t modificationTime = 0;
    std::uint64_t recordChangeTime = 0;
    std::uint64_t accessTime = 0;
    // Its extents, in the list the observer put them in.
    std::uint32_t firstExtent = 0;
    std::uint32_t extentCount = 0;
};

}  // namespace tarvik
