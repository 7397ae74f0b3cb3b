#pragma once
// A byte count as a person reads it in the lists and dialogs.
#include <QString>
#include <cstdint>

namespace tarvik {

// One decimal in the largest unit of 1024 that fits ("46.2 KB", "1.5 GB"), with the
// same unit names the status bar's totals use, so one window never says both kB and KB.
QString SizeText(std::uint64_t bytes);

}  // namespace tarvik
