#include "catalogue/kept_placement.h"

namespace tarvik {

namespace {

constexpr std::uint32_t kNotSeen = 0xFFFFFFFF;

// A folder whose contents are being met, and what was met of them so far.
struct OpenFolder {
    std::uint32_t position;  // kNoFolder for the root
    std::uint32_t number;
    bool opened;  // the first placed folder with its number: it holds the entries
    std::uint32_t held = 0;
    std::size_t lastFolder = 0;  // one past the stored position of the last folder held
    std::size_t lastFile = 0;    // the same of the last file; files come after folders
    bool inFiles = false;
};

class PlacementCheck {
  public:
    PlacementCheck(const Catalogue& catalogue, std::span<const PlacedEntry> placed,
                   std::vector<std::uint32_t>& positionOfIndex)
        : catalogue_(catalogue), placed_(placed), positionOf_(positionOfIndex) {}

    std::optional<std::string> Run() {
        if (placed_.size() != catalogue_.Count())
            return "it places " + std::to_string(placed_.size()) + " entries of " +
                   std::to_string(catalogue_.Count());
        positionOf_.assign(catalogue_.Count(), kNotSeen);
        open_.push_back({kNoFolder, kRootFolderNumber, true});
        std::size_t p = 0;
        for (; p < placed_.size() && !placed_[p].unplaced; ++p)
            if (auto wrong = Placed(p)) return wrong;
        while (!open_.empty())
            if (auto wrong = Close()) return wrong;
        for (std::size_t last = 0; p < placed_.size(); ++p) {
            if (auto wrong = Unplaced(p, last)) return wrong;
            last = placed_[p].catalogueIndex + std::size_t{1};
        }
        return std::nullopt;
    }

  private:
    static std::string At(std::size_t p) { return "at position " + std::to_string(p) + ", "; }

    std::optional<std::string> Seen(std::size_t p) {
        const std::uint32_t index = placed_[p].catalogueIndex;
        if (index >= catalogue_.Count() || positionOf_[index] != kNotSeen)
            return At(p) + "entry " + std::to_string(index) + " is not one left to place";
        positionOf_[index] = static_cast<std::uint32_t>(p);
        return std::nullopt;
    }

    // Whether a placed folder other than `index` has `number`, met before.
    bool NumberPlacedBefore(std::uint32_t number, std::size_t index) const {
        if (number == kRootFolderNumber) return true;
        for (const std::size_t other : catalogue_.WithNumber(number))
            if (other != index && catalogue_.IsDirectoryAt(other) && positionOf_[other] != kNotSeen)
                return true;
        return false;
    }

    std::optional<std::string> Placed(std::size_t p) {
        const PlacedEntry& entry = placed_[p];
        if (entry.depth == 0) return At(p) + "an entry has no depth";
        while (open_.size() > entry.depth)
            if (auto wrong = Close()) return wrong;
        OpenFolder& holder = open_.back();
        if (open_.size() != entry.depth || holder.position != entry.folder)
            return At(p) + "its folder or depth is not the one the entries before give";
        if (auto wrong = Seen(p)) return wrong;
        const std::size_t index = entry.catalogueIndex;
        if (!holder.opened || catalogue_.ParentAt(index) != holder.number)
            return At(p) + "entry " + std::to_string(index) + " is not held by that folder";
        const bool folder = catalogue_.IsDirectoryAt(index);
        std::size_t& last = folder ? holder.lastFolder : holder.lastFile;
        if ((folder && holder.inFiles) || index < last)
            return At(p) + "entry " + std::to_string(index) + " is out of order";
        last = index + 1;
        holder.inFiles = !folder;
        ++holder.held;
        if (folder) {
            const std::uint32_t number = catalogue_.NumberAt(index);
            open_.push_back(
                {static_cast<std::uint32_t>(p), number, !NumberPlacedBefore(number, index)});
        }
        return std::nullopt;
    }

    std::optional<std::string> Close() {
        const OpenFolder& folder = open_.back();
        const std::size_t holds = folder.opened ? catalogue_.ChildrenOf(folder.number).size() : 0;
        if (folder.held != holds) {
            const std::string which =
                folder.position == kNoFolder
                    ? std::string("the root")
                    : "the folder at position " + std::to_string(folder.position);
            return which + " holds " + std::to_string(folder.held) + " entries, not " +
                   std::to_string(holds);
        }
        open_.pop_back();
        return std::nullopt;
    }

    std::optional<std::string> Unplaced(std::size_t p, std::size_t last) {
        const PlacedEntry& entry = placed_[p];
        if (!entry.unplaced || entry.depth != 1 || entry.folder != kNoFolder)
            return At(p) + "a placed entry follows the unplaced ones";
        if (auto wrong = Seen(p)) return wrong;
        const std::size_t index = entry.catalogueIndex;
        if (index < last) return At(p) + "entry " + std::to_string(index) + " is out of order";
        // Its parent number is no placed folder's: that folder, the first placed with
        // the number, would have had to hold it, and it was closed holding as many as
        // there are.
        return std::nullopt;
    }

    const Catalogue& catalogue_;
    std::span<const PlacedEntry> placed_;
    std::vector<std::uint32_t>& positionOf_;
    std::vector<OpenFolder> open_;
};

}  // namespace

std::optional<std::string> PlacementMismatch(const Catalogue& catalogue,
                                             std::span<const PlacedEntry> placed,
                                             std::vector<std::uint32_t>& positionOfIndex) {
    return PlacementCheck(catalogue, placed, positionOfIndex).Run();
}

}  // namespace tarvik
