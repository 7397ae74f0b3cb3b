#include "partition/drive_list.h"

namespace tarvik {

std::size_t DriveList::Count() const {
    const std::lock_guard lock(mutex_);
    return current_.size();
}

bool DriveList::Empty() const {
    const std::lock_guard lock(mutex_);
    return current_.empty();
}

std::optional<LogicalDriveEntry> DriveList::EntryAt(std::size_t row) const {
    const std::lock_guard lock(mutex_);
    if (row >= current_.size()) return std::nullopt;
    return current_[row];
}

std::vector<LogicalDriveEntry> DriveList::Entries() const {
    const std::lock_guard lock(mutex_);
    return current_;
}

void DriveList::Append(const LogicalDriveEntry& entry) {
    const std::lock_guard lock(mutex_);
    current_.push_back(entry);
}

void DriveList::ReplaceSettingAside(std::vector<LogicalDriveEntry> entries) {
    const std::lock_guard lock(mutex_);
    if (!current_.empty()) previous_ = std::move(current_);
    current_ = std::move(entries);
}

void DriveList::ReplaceCurrent(std::vector<LogicalDriveEntry> entries) {
    const std::lock_guard lock(mutex_);
    current_ = std::move(entries);
}

void DriveList::SetAsidePrevious() {
    const std::lock_guard lock(mutex_);
    previous_ = std::move(current_);
    current_.clear();
}

void DriveList::DiscardCurrent() {
    const std::lock_guard lock(mutex_);
    current_.clear();
}

bool DriveList::RestorePrevious() {
    const std::lock_guard lock(mutex_);
    if (!previous_) return false;
    current_ = std::move(*previous_);
    previous_.reset();
    return true;
}

void DriveList::DiscardPrevious() {
    const std::lock_guard lock(mutex_);
    previous_.reset();
}

bool DriveList::HasPrevious() const {
    const std::lock_guard lock(mutex_);
    return previous_.has_value();
}

}  // namespace tarvik
