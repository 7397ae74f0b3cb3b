#pragma once
// A record found by its position in the MFT is numbered by counting records; the
// number is confirmed by reading the record at that number and comparing names, and
// corrected from the nearby records k - 10 .. k + 9 when they differ.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace tarvik {

// What lies at a record number: nothing when it is not a FILE record; a FILE record
// with or without a name.
struct RecordAtNumber {
    bool isFileRecord = false;
    std::optional<std::string> name;
};
using RecordProbe = std::function<RecordAtNumber(std::uint64_t recordNumber)>;

enum class ConfirmationResult { Kept, Moved, Dropped };

struct Confirmation {
    ConfirmationResult result = ConfirmationResult::Kept;
    std::uint64_t number = 0;  // the confirmed number (k itself unless Moved)
};

inline constexpr std::int64_t kConfirmBefore = 10;
inline constexpr std::int64_t kConfirmAfter = 9;

Confirmation ConfirmRecordNumber(std::uint64_t k, const std::string& name,
                                 const RecordProbe& probe);

}  // namespace tarvik
