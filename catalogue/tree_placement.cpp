#include "catalogue/tree_placement.h"

#include <unordered_set>

namespace tarvik {

namespace {

void AppendEscaped(std::string& out, std::string_view name) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\\') {
            out += "\\\\";
        } else if (c == '/' || byte < 0x20 || byte == 0x7F) {
            out += "\\x";
            out += kHex[byte >> 4];
            out += kHex[byte & 0x0F];
        } else {
            out += c;
        }
    }
}

// One open folder of the depth-first walk.
struct OpenFolder {
    std::uint32_t number = 0;
    IndexRange::Iterator nextFolder;
    IndexRange::Iterator foldersEnd;
    std::uint32_t depth = 0;
    std::uint32_t position = kNoFolder;  // of the folder in the placement; none for the root
};

class Placer {
  public:
    Placer(const Catalogue& catalogue, const FolderTable& folders)
        : catalogue_(catalogue), folders_(folders), placed_(catalogue.Count(), false) {
        // Every entry is placed once: set aside at once, the list never grows by copying
        // itself, which on a million entries would hold it twice over for a moment.
        result_.reserve(catalogue.Count());
        // Which entries are folders, read in one pass in stored order: asked child by
        // child, each answer would be a jump through the whole catalogue.
        directory_.resize(catalogue.Count());
        for (std::size_t index = 0; index < directory_.size(); ++index)
            directory_[index] = catalogue.IsDirectoryAt(index);
    }

    std::vector<PlacedEntry> Run() {
        Open(kRootFolderNumber, 0, kNoFolder);
        while (!open_.empty()) Step();
        PlaceUnheld();
        return std::move(result_);
    }

  private:
    // A number already opened is not opened again: its folder came first.
    void Open(std::uint32_t number, std::uint32_t depth, std::uint32_t position) {
        if (!opened_.insert(number).second) return;
        const IndexRange subFolders = folders_.FoldersWithParent(number);
        open_.push_back({number, subFolders.begin(), subFolders.end(), depth, position});
    }

    void Step() {
        OpenFolder& top = open_.back();
        if (top.nextFolder == top.foldersEnd) {
            PlaceFiles(top);
            open_.pop_back();
            return;
        }
        const std::size_t index = *top.nextFolder;
        ++top.nextFolder;
        if (placed_[index]) return;
        const std::uint32_t depth = top.depth + 1;
        const std::uint32_t position = Place(index, depth, top.position, false);
        Open(catalogue_.NumberAt(index), depth, position);  // may move `top`
    }

    void PlaceFiles(const OpenFolder& folder) {
        for (const std::size_t index : catalogue_.ChildrenOf(folder.number)) {
            if (!directory_[index] && !placed_[index]) {
                Place(index, folder.depth + 1, folder.position, false);
            }
        }
    }

    void PlaceUnheld() {
        for (std::size_t index = 0; index < placed_.size(); ++index) {
            if (!placed_[index]) Place(index, 1, kNoFolder, true);
        }
    }

    // Positions and depths stay below the catalogue's count, which fits in 32 bits.
    std::uint32_t Place(std::size_t index, std::uint32_t depth, std::uint32_t folder,
                        bool unplaced) {
        placed_[index] = true;
        result_.push_back({static_cast<std::uint32_t>(index), depth, folder, unplaced});
        return static_cast<std::uint32_t>(result_.size() - 1);
    }

    const Catalogue& catalogue_;
    const FolderTable& folders_;
    std::vector<bool> placed_;
    std::vector<bool> directory_;
    std::unordered_set<std::uint32_t> opened_;
    std::vector<OpenFolder> open_;
    std::vector<PlacedEntry> result_;
};

}  // namespace

std::vector<PlacedEntry> PlaceEntries(const Catalogue& catalogue, const FolderTable& folders) {
    return Placer(catalogue, folders).Run();
}

std::string PlacedPath(const Catalogue& catalogue, std::span<const PlacedEntry> placed,
                       std::size_t position) {
    std::vector<std::uint32_t> chain;
    for (auto p = static_cast<std::uint32_t>(position); p != kNoFolder; p = placed[p].folder)
        chain.push_back(p);
    std::string path(placed[position].unplaced ? kListingUnplacedName : kListingRootName);
    for (auto p = chain.rbegin(); p != chain.rend(); ++p) {
        path += '/';
        AppendEscaped(path, catalogue.NameAt(placed[*p].catalogueIndex));
    }
    return path;
}

std::string ShortenedFoldersName(std::size_t count) {
    return "\\[" + std::to_string(count) + (count == 1 ? " folder]" : " folders]");
}

// Walks up only as far as the bytes allow: a deep entry costs what its shown path costs,
// not its depth.
std::string ShownPlacedPath(const Catalogue& catalogue, std::span<const PlacedEntry> placed,
                            std::size_t position, bool& shortened) {
    std::vector<std::string> names;
    std::size_t bytes = 0;
    auto p = static_cast<std::uint32_t>(position);
    for (; p != kNoFolder; p = placed[p].folder) {
        std::string name = EscapeListingName(catalogue.NameAt(placed[p].catalogueIndex));
        bytes += name.size() + 1;
        if (bytes > kMaxShownPathBytes && !names.empty()) break;
        names.push_back(std::move(name));
    }
    shortened = p != kNoFolder;
    std::string path(placed[position].unplaced ? kListingUnplacedName : kListingRootName);
    // Depths count from 1 for the root's own contents: the folder met last is that many
    // folders below the root, all of them left out.
    if (shortened) path += "/" + ShortenedFoldersName(placed[p].depth);
    for (auto name = names.rbegin(); name != names.rend(); ++name) path += "/" + *name;
    return path;
}

std::string EscapeListingName(std::string_view name) {
    std::string escaped;
    escaped.reserve(name.size());
    AppendEscaped(escaped, name);
    return escaped;
}

}  // namespace tarvik
