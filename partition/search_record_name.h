#pragma once
// The drive search's own reading of an MFT record's name, enough to tell the MFT's
// first record ("$MFT") from any other: no fix-up, the low byte of each UTF-16 unit.
#include <optional>
#include <string>

#include "common/byte_view.h"

namespace tarvik {

std::optional<std::string> SearchRecordName(ByteView record);

}  // namespace tarvik
