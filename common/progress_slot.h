#pragma once
// What each progress text of the core reports. A front end decides where a slot's text
// goes (a dialog's control, a word on the command line's progress line); the core only
// names them. The command line lists a line's texts in slot order, which is the order
// of the values here; none is 0, which stands for no slot.
namespace tarvik {

enum ProgressSlot : int {
    kSlotSavingText = 1,  // the file a recovery is writing or filtering
    kSlotNormalFiles,
    kSlotNormalDirectories,
    kSlotDeletedFiles,
    kSlotDeletedDirectories,
    kSlotLostDirectories,
    kSlotLostFiles,
    kSlotPhase,         // the phase of a scan, a condition check or a carving
    kSlotSearchStatus,  // the drive search's status line
    kSlotSearchSector,
    kSlotSearchTotal,
    kSlotSearchFound,
};

}  // namespace tarvik
