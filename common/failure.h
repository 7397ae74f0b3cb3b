#pragma once
// Why something read from a disk could not be taken whole, and where: the reason a
// caller acts on or shows, and the byte (or record) position it was met at. The reason
// is a fixed text, so that a failure met thousands of times in a scan costs nothing.
#include <cstdint>
#include <string>

namespace tarvik {

struct Failure {
    const char* reason = "";
    std::uint64_t position = 0;

    // "reason at byte 12", for a message.
    std::string Describe(const char* unit = "byte") const {
        return std::string(reason) + " at " + unit + " " + std::to_string(position);
    }
};

}  // namespace tarvik
