#pragma once
// Texts of a recovery, and the slots its progress texts go to.
#include "common/progress_slot.h"

namespace tarvik {

inline constexpr const char* kFilteringNormalFileText = "Filtering Normal File   ";
inline constexpr const char* kFilteringFileText = "Filtering File   ";
// Stands for the folders above a skipped file's name on the text line.
inline constexpr const char* kElidedFolders = "..\\...\\";
inline constexpr const char* kCannotCreateDirectoryText = "Can Not Create Directory %s";
inline constexpr const char* kErrorCreatingFileText = "Error Creating file %s";
inline constexpr const char* kDiskWriteProtectedCaption = "Disk Write Protected";
inline constexpr const char* kErrorOpeningFileText = "Disk Write Protected, Error Opening File";
// The caption of the warning that a recovered file's times could not be set.
inline constexpr const char* kDateNotSetCaption = "Corvane Miravel FAT";
inline constexpr const char* kDestinationFullText =
    "The destination is full: the recovery stopped at %s. The file being written was "
    "removed; free some space or choose another destination and recover again.";
inline constexpr const char* kFileNotWrittenText =
    "Could not write %s whole (%s); the incomplete file was removed.";
inline constexpr const char* kFileUnreadableText =
    "Did not write %s: its MFT record cannot be read or decoded, so where its data lies is "
    "not known.";
inline constexpr const char* kUnreadableCaption = "Unreadable";
inline constexpr const char* kDateNotSetText = "Could not set the date of %s (%s).";
inline constexpr const char* kTooDeepText =
    "Can Not Create Directory %s: too many folders open at once (the system's limit of "
    "open files was reached); nothing below it was written.";
// The folder under the chosen destination that receives everything.
inline constexpr const char* kRecoveryRootName = "Root";
// Beside Root: entries no folder from the root leads to (folders whose parents loop),
// which listings show as "?/NAME"; each is written there by its own name.
inline constexpr const char* kUnplacedFolderName = "Unplaced";

}  // namespace tarvik
