#pragma once
// Texts and progress slots of a recovery. Slots are the ids of the saving dialog's
// controls, so the desktop program routes each text to its control unchanged.
namespace tarvik {

enum SavingSlot : int {
    kSlotSavingProgress = 1007,
    kSlotSavingText = 1008,
};

inline constexpr const char* kFilteringNormalFileText = "Filtering Normal File   ";
inline constexpr const char* kFilteringFileText = "Filtering File   ";
// Stands for the folders above a skipped file's name on the text line.
inline constexpr const char* kElidedFolders = "..\\...\\";
inline constexpr const char* kCannotCreateDirectoryText = "Can Not Create Directory %s";
inline constexpr const char* kErrorCreatingFileText = "Error Creating file %s";
inline constexpr const char* kDiskWriteProtectedCaption = "Disk Write Protected";
inline constexpr const char* kErrorOpeningFileText = "Disk Write Protected, Error Opening File";
inline constexpr const char* kFatCaption = "Corvane Miravel FAT";
// The folder under the chosen destination that receives everything.
inline constexpr const char* kRecoveryRootName = "Root";

}  // namespace tarvik
