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

// Writes `text` at `at`; returns the end.
char* Put(char* at, std::string_view text) {
    for (const char c : text) *at++ = c;
    return at;
}

template <typename Number>
char* PutNumber(char* at, Number value) {
    return std::to_chars(at, at + 24, value).ptr;
}

// The fields before the path: kind, state, size, creation time, number, parent, each
// followed by a tab.
constexpr std::size_t kHeadBytes = 5 + 8 + 2 * 21 + IsoTimeWriter::kMaxBytes + 2 * 11;
// After it: a tab, the condition, a tab, the modification time, the line's end.
constexpr std::size_t kTailBytes = 1 + 24 + 1 + IsoTimeWriter::kMaxBytes + 1;

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

// The fields around the path are written into buffers of their own and appended at
// once: the line's text is the same as field by field, at a fraction of the appends.
void ListingFormatter::AppendLine(std::string& out, std::size_t position) {
    const std::size_t index = placed_[position].catalogueIndex;
    const CatalogueEntry entry = catalogue_.At(index);
    char head[kHeadBytes];
    char* at = Put(head, entry.IsDirectory() ? "Dir\t" : "File\t");
    at = Put(at, StateOf(entry));
    *at++ = '\t';
    at = PutNumber(at, static_cast<unsigned long long>(entry.size));
    *at++ = '\t';
    at = times_.PutSeconds(at, entry.creationTime);
    *at++ = '\t';
    at = PutNumber(at, entry.number);
    *at++ = '\t';
    at = PutNumber(at, entry.parent);
    *at++ = '\t';
    out.append(head, at);
    bool shortened = false;
    paths_.AppendPath(out, position, shortened);
    shortenedPaths_ += shortened ? 1 : 0;
    char tail[kTailBytes];
    at = tail;
    *at++ = '\t';
    at = Put(at, ConditionWord(conditions_.Condition(index).condition));
    *at++ = '\t';
    at = times_.PutTicksOrDash(at, conditions_.Times(index).modification);
    *at++ = '\n';
    out.append(tail, at);
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
