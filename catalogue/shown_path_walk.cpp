#include "catalogue/shown_path_walk.h"

#include <algorithm>

namespace tarvik {

namespace {

bool NeedsEscaping(std::string_view name) {
    return std::any_of(name.begin(), name.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return c == '\\' || c == '/' || byte < 0x20 || byte == 0x7F;
    });
}

void AppendListingName(std::string& out, std::string_view name) {
    if (NeedsEscaping(name)) {
        out += EscapeListingName(name);
    } else {
        out += name;
    }
}

}  // namespace

void ShownPathWalk::AppendPath(std::string& out, std::size_t position, bool& shortened) {
    const PlacedEntry& entry = placed_[position];
    EnterFolder(entry.folder);
    name_.clear();
    AppendListingName(name_, catalogue_.NameAt(entry.catalogueIndex));
    const std::size_t above = chainBytes_.empty() ? 0 : chainBytes_.back();
    if (above + name_.size() + 1 > kMaxShownPathBytes) {
        out += ShownPlacedPath(catalogue_, placed_, position, shortened);
        return;
    }
    shortened = false;
    out += entry.unplaced ? kListingUnplacedName : kListingRootName;
    out += chain_;
    out += '/';
    out += name_;
}

// Keeps the open folders that are `folder` or above it and opens the ones between. A
// folder's place in the chain is its depth less one, so whether it is open is one look.
void ShownPathWalk::EnterFolder(std::uint32_t folder) {
    entering_.clear();
    std::size_t kept = 0;
    for (std::uint32_t p = folder; p != kNoFolder; p = placed_[p].folder) {
        const std::size_t slot = placed_[p].depth - std::size_t{1};
        if (slot < folders_.size() && folders_[slot] == p) {
            kept = slot + 1;
            break;
        }
        entering_.push_back(p);
    }
    folders_.resize(kept);
    chainBytes_.resize(kept);
    // `chain_` holds every open folder whose path fits; past the limit it is not read.
    if (kept == 0) {
        chain_.clear();
    } else if (chainBytes_.back() <= kMaxShownPathBytes) {
        chain_.resize(chainBytes_.back());
    }
    for (auto p = entering_.rbegin(); p != entering_.rend(); ++p) Push(*p);
}

void ShownPathWalk::Push(std::uint32_t position) {
    name_.clear();
    AppendListingName(name_, catalogue_.NameAt(placed_[position].catalogueIndex));
    const std::size_t before = chainBytes_.empty() ? 0 : chainBytes_.back();
    const std::size_t bytes = before + 1 + name_.size();
    if (bytes <= kMaxShownPathBytes) {
        chain_ += '/';
        chain_ += name_;
    }
    folders_.push_back(position);
    chainBytes_.push_back(bytes);
}

}  // namespace tarvik
