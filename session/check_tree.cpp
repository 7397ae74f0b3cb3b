#include "session/check_tree.h"

#include <algorithm>
#include <string_view>

namespace tarvik {

namespace {

std::int32_t StateOf(CheckMark mark) {
    switch (mark) {
        case CheckMark::kChecked:
            return kCheckChecked;
        case CheckMark::kPartly:
            return kCheckPartly;
        case CheckMark::kUnchecked:
            break;
    }
    return kCheckUnchecked;
}

// The names of a '/'-separated tree path.
std::vector<std::string_view> SplitPath(std::string_view path) {
    std::vector<std::string_view> parts;
    for (std::size_t from = 0;;) {
        const std::size_t slash = path.find('/', from);
        parts.push_back(path.substr(from, slash == std::string_view::npos ? slash : slash - from));
        if (slash == std::string_view::npos) return parts;
        from = slash + 1;
    }
}

}  // namespace

CheckTree::CheckTree(Catalogue& catalogue, const FolderTable& folders)
    : catalogue_(catalogue), placed_(PlaceEntries(catalogue, folders)) {
    parent_.assign(placed_.size(), kNoParent);
    std::vector<std::size_t> childCount(placed_.size() + 1, 0);
    for (std::size_t p = 0; p < placed_.size(); ++p) {
        const PlacedEntry& entry = placed_[p];
        if (entry.unplaced) {
            unplaced_.push_back(p);
        } else if (entry.folder != kNoFolder) {
            parent_[p] = entry.folder;
            ++childCount[entry.folder];
        } else {
            rootChildren_.push_back(p);
        }
    }
    childStart_.assign(placed_.size() + 1, 0);
    for (std::size_t p = 0; p < placed_.size(); ++p)
        childStart_[p + 1] = childStart_[p] + childCount[p];
    children_.resize(childStart_.back());
    std::vector<std::size_t> filled(childStart_.begin(), childStart_.end() - 1);
    for (std::size_t p = 0; p < placed_.size(); ++p) {
        if (parent_[p] != kNoParent) children_[filled[parent_[p]]++] = p;
    }
}

std::optional<std::size_t> CheckTree::ParentOf(std::size_t position) const {
    if (position >= parent_.size() || parent_[position] == kNoParent) return std::nullopt;
    return parent_[position];
}

std::optional<std::size_t> CheckTree::Find(const std::string& treePath) const {
    const std::vector<std::size_t> found = FindAll(treePath);
    if (found.empty()) return std::nullopt;
    return found.front();
}

// Name by name from the top: every entry of the names so far whose children hold the
// next name (two entries of one folder may share a name).
std::vector<std::size_t> CheckTree::FindAll(const std::string& treePath) const {
    const std::vector<std::string_view> parts = SplitPath(treePath);
    std::vector<std::size_t> found;
    if (parts.size() < 2) return found;
    const bool unplaced = parts[0] == kListingUnplacedName;
    if (!unplaced && parts[0] != kListingRootName) return found;
    if (unplaced && parts.size() != 2) return found;
    for (std::size_t p : unplaced ? unplaced_ : rootChildren_) {
        if (placed_[p].name == parts[1]) found.push_back(p);
    }
    for (std::size_t level = 2; level < parts.size() && !found.empty(); ++level) {
        std::vector<std::size_t> next;
        for (std::size_t folder : found) {
            for (std::size_t c = childStart_[folder]; c < childStart_[folder + 1]; ++c) {
                if (placed_[children_[c]].name == parts[level]) next.push_back(children_[c]);
            }
        }
        found = std::move(next);
    }
    std::sort(found.begin(), found.end());
    return found;
}

CheckMark CheckTree::MarkOf(std::size_t position) const {
    switch (catalogue_.At(placed_[position].catalogueIndex).checkState) {
        case kCheckChecked:
            return CheckMark::kChecked;
        case kCheckPartly:
            return CheckMark::kPartly;
        default:
            return CheckMark::kUnchecked;
    }
}

void CheckTree::SetEntryMark(std::size_t position, CheckMark mark) {
    catalogue_.SetCheckState(placed_[position].catalogueIndex, StateOf(mark));
}

std::size_t CheckTree::SubtreeEnd(std::size_t position) const {
    const std::size_t depth = placed_[position].depth;
    std::size_t end = position + 1;
    while (end < placed_.size() && placed_[end].depth > depth && !placed_[end].unplaced) ++end;
    return end;
}

void CheckTree::SetChecked(std::size_t position, bool checked) {
    if (position >= placed_.size()) return;
    const CheckMark mark = checked ? CheckMark::kChecked : CheckMark::kUnchecked;
    const bool folder = catalogue_.At(placed_[position].catalogueIndex).IsDirectory();
    const std::size_t end = folder ? SubtreeEnd(position) : position + 1;
    for (std::size_t p = position; p < end; ++p) SetEntryMark(p, mark);
    RecomputeAbove(position);
}

void CheckTree::SetAllChecked(bool checked) {
    catalogue_.SetAllCheckStates(checked ? kCheckChecked : kCheckUnchecked);
    rootMark_ = checked ? CheckMark::kChecked : CheckMark::kUnchecked;
}

CheckMark CheckTree::MarkFromChildren(std::size_t folderPosition) const {
    std::size_t checked = 0;
    std::size_t unchecked = 0;
    const std::size_t total = childStart_[folderPosition + 1] - childStart_[folderPosition];
    for (std::size_t c = childStart_[folderPosition]; c < childStart_[folderPosition + 1]; ++c) {
        const CheckMark mark = MarkOf(children_[c]);
        if (mark == CheckMark::kChecked) ++checked;
        if (mark == CheckMark::kUnchecked) ++unchecked;
    }
    if (total > 0 && checked == total) return CheckMark::kChecked;
    if (total > 0 && unchecked == total) return CheckMark::kUnchecked;
    return CheckMark::kPartly;
}

void CheckTree::RecomputeAbove(std::size_t position) {
    for (std::size_t p = parent_[position]; p != kNoParent; p = parent_[p]) {
        SetEntryMark(p, MarkFromChildren(p));
    }
    RecomputeRoot();
}

void CheckTree::RecomputeRoot() {
    std::size_t checked = 0;
    std::size_t unchecked = 0;
    for (const std::size_t p : rootChildren_) {
        const CheckMark mark = MarkOf(p);
        if (mark == CheckMark::kChecked) ++checked;
        if (mark == CheckMark::kUnchecked) ++unchecked;
    }
    if (!rootChildren_.empty() && checked == rootChildren_.size())
        rootMark_ = CheckMark::kChecked;
    else if (unchecked == rootChildren_.size())
        rootMark_ = CheckMark::kUnchecked;
    else
        rootMark_ = CheckMark::kPartly;
}

std::optional<std::string> CheckTree::SelectPaths(const std::vector<std::string>& treePaths) {
    SetAllChecked(false);
    for (std::string wanted : treePaths) {
        while (wanted.size() > 1 && wanted.back() == '/') wanted.pop_back();
        if (wanted == kListingRootName) {
            SetAllChecked(true);
            continue;
        }
        const std::vector<std::size_t> found = FindAll(wanted);
        if (found.empty()) return wanted;
        for (std::size_t p : found) SetChecked(p, true);
    }
    return std::nullopt;
}

SelectionTotals CheckTree::Totals() const {
    SelectionTotals totals;
    for (const CatalogueEntry& entry : catalogue_.Entries()) {
        if (entry.checkState != kCheckChecked) continue;
        if (entry.IsDirectory()) {
            ++totals.folders;
        } else {
            ++totals.files;
            totals.bytes += entry.size;
        }
    }
    return totals;
}

}  // namespace tarvik
