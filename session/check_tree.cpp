#include "session/check_tree.h"

#include <algorithm>
#include <string_view>

namespace tarvik {

namespace {

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

// Folder names in the order the tree lists siblings: ignoring ASCII case.
bool NameBefore(std::string_view a, std::string_view b) {
    const std::size_t common = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < common; ++i) {
        const auto x = static_cast<unsigned char>(a[i]);
        const auto y = static_cast<unsigned char>(b[i]);
        const int fx = (x >= 'A' && x <= 'Z') ? x + 32 : x;
        const int fy = (y >= 'A' && y <= 'Z') ? y + 32 : y;
        if (fx != fy) return fx < fy;
    }
    return a.size() < b.size();
}

}  // namespace

CheckTree::CheckTree(const Catalogue& catalogue, const FolderTable& folders)
    : catalogue_(catalogue), placed_(PlaceEntries(catalogue, folders)), marks_(catalogue.Count()) {
    positionOfIndex_.assign(catalogue_.Count(), 0);
    for (std::size_t p = 0; p < placed_.size(); ++p)
        positionOfIndex_[placed_[p].catalogueIndex] = static_cast<std::uint32_t>(p);
    Build();
}

CheckTree::CheckTree(const Catalogue& catalogue, KeptPlacement placement)
    : catalogue_(catalogue),
      placed_(std::move(placement.keeper), placement.placed),
      marks_(catalogue.Count()),
      positionOfIndex_(std::move(placement.positionOfIndex)) {
    Build();
}

void CheckTree::Build() {
    LinkChildren();
    held_.assign(placed_.size(), false);
    for (std::size_t p = 0; p < placed_.size(); ++p) held_[p] = !placed_[p].unplaced;
    // Every entry is placed once: the totals of all of them are those of the catalogue.
    folderAt_.assign(catalogue_.Count(), false);
    for (std::size_t i = 0; i < catalogue_.Count(); ++i) {
        if (catalogue_.IsDirectoryAt(i)) {
            folderAt_[i] = true;
            ++allTotals_.folders;
        } else {
            ++allTotals_.files;
            allTotals_.bytes += catalogue_.SizeAt(i);
        }
    }
    BuildFolderNodes();
    // Nothing is checked yet: the totals of the checked entries start at nothing.
}

// Each entry's folder and each folder's direct children, in catalogue order.
void CheckTree::LinkChildren() {
    // Counted first at the place after each folder's, then summed into where each
    // folder's children begin.
    childStart_.assign(placed_.size() + 1, 0);
    for (std::size_t p = 0; p < placed_.size(); ++p) {
        const PlacedEntry& entry = placed_[p];
        if (entry.unplaced) {
            unplaced_.push_back(p);
        } else if (entry.folder != kNoFolder) {
            ++childStart_[entry.folder + 1];
        } else {
            rootChildren_.push_back(p);
        }
    }
    for (std::size_t p = 0; p < placed_.size(); ++p) childStart_[p + 1] += childStart_[p];
    children_.resize(childStart_.back());
    // Filled from the back, the end of each folder's children moved down as they come:
    // when all are in, the place after each folder's holds where its children begin.
    for (std::size_t p = placed_.size(); p-- > 0;) {
        if (FolderOf(p) != kNoParent) children_[--childStart_[FolderOf(p) + 1]] = p;
    }
    std::copy(childStart_.begin() + 1, childStart_.end(), childStart_.begin());
    childStart_.back() = static_cast<std::uint32_t>(children_.size());
    // A folder's rows are listed in catalogue order. The placement lists them so already,
    // unless sub-folders come after files: only such a folder's rows are sorted.
    const auto byIndex = [this](std::size_t a, std::size_t b) {
        return placed_[a].catalogueIndex < placed_[b].catalogueIndex;
    };
    const auto sortRows = [&byIndex](auto first, auto last) {
        if (!std::is_sorted(first, last, byIndex)) std::sort(first, last, byIndex);
    };
    for (std::size_t p = 0; p < placed_.size(); ++p)
        sortRows(children_.begin() + static_cast<std::ptrdiff_t>(childStart_[p]),
                 children_.begin() + static_cast<std::ptrdiff_t>(childStart_[p + 1]));
    sortRows(rootChildren_.begin(), rootChildren_.end());
}

void CheckTree::BuildFolderNodes() {
    nodePosition_.assign(1, 0);
    nodeParent_.assign(1, kRootNode);
    // The nodes of the folders on the way down to the current position, by depth: in
    // placement order a folder's holder is the last folder met one level up.
    std::vector<FolderNode> path;
    for (std::size_t p = 0; p < placed_.size(); ++p) {
        if (!held_[p] || !folderAt_[placed_[p].catalogueIndex]) continue;
        const std::size_t depth = placed_[p].depth;
        const auto node = static_cast<FolderNode>(nodePosition_.size());
        nodePosition_.push_back(p);
        nodeParent_.push_back(depth >= 2 ? path[depth - 2] : kRootNode);
        path.resize(depth);
        path[depth - 1] = node;
    }
    const std::size_t count = nodePosition_.size();
    nodeIndexInParent_.assign(count, 0);
    std::vector<std::size_t> subCount(count + 1, 0);
    for (FolderNode n = 1; n < count; ++n) ++subCount[nodeParent_[n]];
    subStart_.assign(count + 1, 0);
    for (std::size_t n = 0; n < count; ++n) subStart_[n + 1] = subStart_[n] + subCount[n];
    subFolders_.assign(subStart_.back(), kRootNode);
    std::vector<std::size_t> filled(subStart_.begin(), subStart_.end() - 1);
    for (FolderNode n = 1; n < count; ++n) subFolders_[filled[nodeParent_[n]]++] = n;
    const auto byName = [this](FolderNode a, FolderNode b) {
        const std::string_view nameA = catalogue_.NameAt(placed_[nodePosition_[a]].catalogueIndex);
        const std::string_view nameB = catalogue_.NameAt(placed_[nodePosition_[b]].catalogueIndex);
        if (NameBefore(nameA, nameB)) return true;
        if (NameBefore(nameB, nameA)) return false;
        return a < b;
    };
    for (std::size_t n = 0; n < count; ++n) {
        const auto first = subFolders_.begin() + static_cast<std::ptrdiff_t>(subStart_[n]);
        const auto last = subFolders_.begin() + static_cast<std::ptrdiff_t>(subStart_[n + 1]);
        std::sort(first, last, byName);
        for (auto it = first; it != last; ++it)
            nodeIndexInParent_[*it] = static_cast<std::size_t>(it - first);
    }
    // Depth-first ranks of the sorted tree, without recursion (trees can be deep).
    nodeRank_.assign(count, 0);
    std::vector<FolderNode> stack{kRootNode};
    std::size_t rank = 0;
    while (!stack.empty()) {
        const FolderNode n = stack.back();
        stack.pop_back();
        nodeRank_[n] = rank++;
        for (std::size_t i = subStart_[n + 1]; i > subStart_[n]; --i)
            stack.push_back(subFolders_[i - 1]);
    }
}

std::span<const CheckTree::FolderNode> CheckTree::SubFolders(FolderNode node) const {
    if (node >= FolderNodeCount()) return {};
    return std::span<const FolderNode>(subFolders_)
        .subspan(subStart_[node], subStart_[node + 1] - subStart_[node]);
}

std::optional<CheckTree::FolderNode> CheckTree::ParentFolder(FolderNode node) const {
    if (node == kRootNode || node >= FolderNodeCount()) return std::nullopt;
    return nodeParent_[node];
}

std::optional<std::size_t> CheckTree::FolderPosition(FolderNode node) const {
    if (node == kRootNode || node >= FolderNodeCount()) return std::nullopt;
    return nodePosition_[node];
}

std::uint32_t CheckTree::FolderNumber(FolderNode node) const {
    if (node == kRootNode || node >= FolderNodeCount()) return kRootFolderNumber;
    return catalogue_.NumberAt(placed_[nodePosition_[node]].catalogueIndex);
}

CheckMark CheckTree::FolderMark(FolderNode node) const {
    if (node == kRootNode || node >= FolderNodeCount()) return rootMark_;
    return MarkOf(nodePosition_[node]);
}

// Nodes are numbered in placement order: a binary search of their positions.
std::optional<CheckTree::FolderNode> CheckTree::NodeAt(std::size_t position) const {
    const auto first = nodePosition_.begin() + 1;
    const auto found = std::lower_bound(first, nodePosition_.end(), position);
    if (found == nodePosition_.end() || *found != position) return std::nullopt;
    return static_cast<FolderNode>(found - nodePosition_.begin());
}

std::optional<CheckTree::FolderNode> CheckTree::LastNodeWithNumber(std::uint32_t number) const {
    if (number == kRootFolderNumber) return kRootNode;
    std::optional<FolderNode> last;
    for (const std::size_t index : catalogue_.WithNumber(number)) {
        const auto node = NodeAt(positionOfIndex_[index]);
        if (node && (!last || nodeRank_[*node] > nodeRank_[*last])) last = node;
    }
    return last;
}

std::optional<CheckTree::FolderNode> CheckTree::HolderOf(std::size_t position) const {
    if (position >= placed_.size() || !held_[position]) return std::nullopt;
    if (FolderOf(position) == kNoParent) return kRootNode;
    return NodeAt(FolderOf(position));
}

std::span<const std::size_t> CheckTree::Rows(FolderNode node) const {
    if (node == kRootNode) return rootChildren_;
    if (node >= FolderNodeCount()) return {};
    const std::size_t p = nodePosition_[node];
    return std::span<const std::size_t>(children_).subspan(childStart_[p],
                                                           childStart_[p + 1] - childStart_[p]);
}

void CheckTree::ToggleFolder(FolderNode node) {
    if (node >= FolderNodeCount()) return;
    const bool check = FolderMark(node) == CheckMark::kUnchecked;
    if (node == kRootNode)
        SetAllChecked(check);
    else
        SetChecked(nodePosition_[node], check);
}

void CheckTree::ToggleEntry(std::size_t position) {
    if (position >= placed_.size()) return;
    SetChecked(position, MarkOf(position) == CheckMark::kUnchecked);
}

std::optional<std::size_t> CheckTree::ParentOf(std::size_t position) const {
    if (position >= placed_.size() || FolderOf(position) == kNoParent) return std::nullopt;
    return FolderOf(position);
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
        if (NameIs(p, parts[1])) found.push_back(p);
    }
    for (std::size_t level = 2; level < parts.size() && !found.empty(); ++level) {
        std::vector<std::size_t> next;
        for (std::size_t folder : found) {
            for (std::size_t c = childStart_[folder]; c < childStart_[folder + 1]; ++c) {
                if (NameIs(children_[c], parts[level])) next.push_back(children_[c]);
            }
        }
        found = std::move(next);
    }
    std::sort(found.begin(), found.end());
    return found;
}

bool CheckTree::NameIs(std::size_t position, std::string_view name) const {
    return EscapeListingName(catalogue_.NameAt(placed_[position].catalogueIndex)) == name;
}

void CheckTree::SetEntryMark(std::size_t position, CheckMark mark) {
    const std::size_t index = placed_[position].catalogueIndex;
    const bool was = marks_.IsChecked(index);
    marks_.Set(index, mark);
    const bool now = mark == CheckMark::kChecked;
    if (was == now) return;
    const CatalogueEntry& entry = catalogue_.At(index);
    std::uint64_t& count = entry.IsDirectory() ? totals_.folders : totals_.files;
    const std::uint64_t size = entry.IsDirectory() ? 0 : entry.size;
    if (now) {
        ++count;
        totals_.bytes += size;
    } else {
        --count;
        totals_.bytes -= size;
    }
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
    const bool folder = folderAt_[placed_[position].catalogueIndex];
    const std::size_t end = folder ? SubtreeEnd(position) : position + 1;
    for (std::size_t p = position; p < end; ++p) SetEntryMark(p, mark);
    RecomputeAbove(position);
}

CheckMarks CheckTree::MarksOfOne(std::size_t position) const {
    CheckMarks marks(marks_.Count());
    if (position >= placed_.size()) return marks;
    const bool folder = folderAt_[placed_[position].catalogueIndex];
    const std::size_t end = folder ? SubtreeEnd(position) : position + 1;
    for (std::size_t p = position; p < end; ++p)
        marks.Set(placed_[p].catalogueIndex, CheckMark::kChecked);
    for (std::size_t p = FolderOf(position); p != kNoParent; p = FolderOf(p))
        marks.Set(placed_[p].catalogueIndex, CheckMark::kPartly);
    return marks;
}

void CheckTree::SetAllChecked(bool checked) {
    marks_.SetAll(checked ? CheckMark::kChecked : CheckMark::kUnchecked);
    rootMark_ = checked ? CheckMark::kChecked : CheckMark::kUnchecked;
    totals_ = checked ? allTotals_ : SelectionTotals{};
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
    for (std::size_t p = FolderOf(position); p != kNoParent; p = FolderOf(p)) {
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

}  // namespace tarvik
