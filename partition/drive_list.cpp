#include "partition/drive_list.h"

namespace tarvik {

DriveList& ProcessDriveList() {
    static DriveList list;
    return list;
}

void DriveList::SetAsidePrevious() {
    previous_ = std::move(current_);
    current_.clear();
}

bool DriveList::RestorePrevious() {
    if (!previous_) return false;
    current_ = std::move(*previous_);
    previous_.reset();
    return true;
}

}  // namespace tarvik
