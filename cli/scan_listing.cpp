#include "cli/scan_listing.h"

#include <algorithm>
#include <charconv>
#include <cstdio>

#include "catalogue/entry_date.h"
#include "common/blocks_in_turns.h"

namespace tarvik::cli {

namespace {

const char* StateOf(const CatalogueEntry& entry) {
    if (entry.IsCarved() && !entry.IsDirectory()) return "carved";
    if (entry.IsMadeUp()) return "made-up";
    return entry.IsDeleted() ? "deleted" : "normal";
}

template <typename Number>
void AppendNumber(std::string& out, Number value) {
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    out.append(digits, end);
}

// The entries lie in the order they were found, the lines go in tree order: the entries
// and their conditions some lines ahead are fetched while this one is formatted, and
// their names and times a few lines later.
constexpr std::size_t kEntriesAhead = 16;
constexpr std::size_t kNamesAhead = 8;

// Lines formatted in one turn: small enough that the two threads' blocks stay in the
// processor's caches, large enough that handing them over costs nothing.
constexpr std::size_t kBlockLines = 2048;

}  // namespace

inline void ListingFormatter::PrefetchAhead(std::size_t position, std::size_t end) const {
    if (position + kEntriesAhead < end) {
        const std::size_t index = placed_[position + kEntriesAhead].catalogueIndex;
        catalogue_.PrefetchAt(index);
        conditions_.PrefetchAt(index);
    }
    if (position + kNamesAhead < end) {
        const std::size_t index = placed_[position + kNamesAhead].catalogueIndex;
        catalogue_.PrefetchNameAt(index);
        conditions_.PrefetchTimesAt(index);
    }
}

void ListingFormatter::AppendLine(std::string& out, std::size_t position) {
    const std::size_t index = placed_[position].catalogueIndex;
    const CatalogueEntry entry = catalogue_.At(index);
    out += entry.IsDirectory() ? "Dir\t" : "File\t";
    out += StateOf(entry);
    out += '\t';
    AppendNumber(out, static_cast<unsigned long long>(entry.size));
    out += '\t';
    AppendIsoTime(out, entry.creationTime);
    out += '\t';
    AppendNumber(out, entry.number);
    out += '\t';
    AppendNumber(out, entry.parent);
    out += '\t';
    bool shortened = false;
    paths_.AppendPath(out, position, shortened);
    shortenedPaths_ += shortened ? 1 : 0;
    out += '\t';
    out += ConditionWord(conditions_.Condition(index).condition);
    out += '\t';
    AppendPreciseTime(out, conditions_.Times(index).modification);
    out += '\n';
}

void ListingFormatter::Append(std::string& out, std::size_t begin, std::size_t end) {
    for (std::size_t position = begin; position < end; ++position) {
        PrefetchAhead(position, end);
        AppendLine(out, position);
    }
}

ListingOutcome WriteScanListing(const Catalogue& catalogue, const std::vector<PlacedEntry>& placed,
                                const ConditionTable& conditions, const InterruptStop& stop) {
    ListingFormatter first(catalogue, placed, conditions);
    ListingFormatter second(catalogue, placed, conditions);
    const std::size_t lines = placed.size();
    const auto maker = [lines](ListingFormatter& formatter) {
        return [&formatter, lines](std::size_t block, std::string& out) {
            const std::size_t begin = block * kBlockLines;
            formatter.Append(out, begin, std::min(lines, begin + kBlockLines));
        };
    };
    ListingOutcome outcome;
    outcome.stopped = !MakeBlocksInTurns(
        (lines + kBlockLines - 1) / kBlockLines, maker(first), maker(second),
        [](const std::string& block) { std::fwrite(block.data(), 1, block.size(), stdout); },
        [&stop] { return stop.Requested(); });
    outcome.shortenedPaths = first.shortenedPaths() + second.shortenedPaths();
    return outcome;
}

}  // namespace tarvik::cli
