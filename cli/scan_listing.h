#pragma once
// The scan command's listing: one line per placed entry, in placement order. A listing of
// a million entries costs more to format than to scan, so its lines are formatted on two
// threads in turns of a block of lines each and written in order: the output is the same
// byte for byte as one thread's.
#include <cstddef>
#include <string>
#include <vector>

#include "analysis/file_condition.h"
#include "catalogue/entry_date.h"
#include "catalogue/shown_path_walk.h"
#include "catalogue/tree_placement.h"
#include "cli/interrupt.h"

namespace tarvik::cli {

// The lines of any run of placement positions. One formatter per thread: it keeps the
// folders its last line was in.
class ListingFormatter {
  public:
    ListingFormatter(const Catalogue& catalogue, const std::vector<PlacedEntry>& placed,
                     const ConditionTable& conditions)
        : catalogue_(catalogue),
          placed_(placed),
          conditions_(conditions),
          paths_(catalogue, placed) {}

    // Appends the lines of positions [begin, end) to `out`.
    void Append(std::string& out, std::size_t begin, std::size_t end);
    // How many of the paths formatted so far were shortened.
    std::size_t shortenedPaths() const { return shortenedPaths_; }

  private:
    void AppendLine(std::string& out, std::size_t position);
    // Inlined where called: a call the compiler found to change nothing would be dropped.
    [[gnu::always_inline]] inline void PrefetchAhead(std::size_t position, std::size_t end) const;

    const Catalogue& catalogue_;
    const std::vector<PlacedEntry>& placed_;
    const ConditionTable& conditions_;
    ShownPathWalk paths_;
    IsoTimeWriter times_;
    std::size_t shortenedPaths_ = 0;
};

struct ListingOutcome {
    bool stopped = false;  // a stop request ended it early
    std::size_t shortenedPaths = 0;
};

// Writes the line of every placed entry to stdout. A stop request ends it between blocks.
ListingOutcome WriteScanListing(const Catalogue& catalogue, const std::vector<PlacedEntry>& placed,
                                const ConditionTable& conditions, const InterruptStop& stop);

}  // namespace tarvik::cli
