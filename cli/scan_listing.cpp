#include "cli/scan_listing.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <condition_variable>
#include <cstdio>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

#include "catalogue/entry_date.h"

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

void WriteBlock(const std::string& block) {
    std::fwrite(block.data(), 1, block.size(), stdout);
}

// The second thread's turns: blocks 1, 3, 5... formatted into two buffers in turn, while
// the first thread formats blocks 0, 2, 4... and writes every block in order.
class SecondThreadBlocks {
  public:
    SecondThreadBlocks(ListingFormatter& formatter, std::size_t lines)
        : formatter_(formatter), lines_(lines) {
        worker_ = std::thread([this] { Run(); });
    }
    ~SecondThreadBlocks() {
        {
            const std::lock_guard lock(mutex_);
            abandoned_ = true;
        }
        changed_.notify_all();
        worker_.join();
    }
    SecondThreadBlocks(const SecondThreadBlocks&) = delete;
    SecondThreadBlocks& operator=(const SecondThreadBlocks&) = delete;

    // The turn'th block of the second thread, once formatted; Written(turn) gives its
    // buffer back.
    const std::string& Wait(std::size_t turn) {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return ready_ > turn; });
        return buffers_[turn % 2];
    }
    void Written(std::size_t turn) {
        {
            const std::lock_guard lock(mutex_);
            written_ = turn + 1;
        }
        changed_.notify_all();
    }

  private:
    void Run() {
        for (std::size_t turn = 0;; ++turn) {
            const std::size_t begin = (2 * turn + 1) * kBlockLines;
            if (begin >= lines_) return;
            {
                std::unique_lock lock(mutex_);
                changed_.wait(lock, [&] { return abandoned_ || turn < written_ + 2; });
                if (abandoned_) return;
            }
            std::string& block = buffers_[turn % 2];
            block.clear();
            formatter_.Append(block, begin, std::min(lines_, begin + kBlockLines));
            {
                const std::lock_guard lock(mutex_);
                ready_ = turn + 1;
            }
            changed_.notify_all();
        }
    }

    ListingFormatter& formatter_;
    const std::size_t lines_;
    std::array<std::string, 2> buffers_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::size_t ready_ = 0;    // turns formatted
    std::size_t written_ = 0;  // turns written out
    bool abandoned_ = false;
    std::thread worker_;
};

// Every block on this thread, in order.
bool WriteOnOneThread(ListingFormatter& formatter, std::size_t lines, const InterruptStop& stop) {
    std::string block;
    for (std::size_t begin = 0; begin < lines; begin += kBlockLines) {
        if (stop.Requested()) return false;
        block.clear();
        formatter.Append(block, begin, std::min(lines, begin + kBlockLines));
        WriteBlock(block);
    }
    return true;
}

bool WriteOnTwoThreads(ListingFormatter& first, SecondThreadBlocks& others, std::size_t lines,
                       const InterruptStop& stop) {
    std::string block;
    for (std::size_t turn = 0;; ++turn) {
        const std::size_t begin = 2 * turn * kBlockLines;
        if (begin >= lines) return true;
        if (stop.Requested()) return false;
        block.clear();
        first.Append(block, begin, std::min(lines, begin + kBlockLines));
        WriteBlock(block);
        if (begin + kBlockLines >= lines) return true;
        WriteBlock(others.Wait(turn));
        others.Written(turn);
    }
}

}  // namespace

void ListingFormatter::PrefetchAhead(std::size_t position, std::size_t end) const {
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
    ListingOutcome outcome;
    std::unique_ptr<SecondThreadBlocks> others;
    if (placed.size() > kBlockLines && std::thread::hardware_concurrency() > 1) {
        try {
            others = std::make_unique<SecondThreadBlocks>(second, placed.size());
        } catch (const std::system_error&) {  // no second thread to be had: one does it all
        }
    }
    const bool whole = others ? WriteOnTwoThreads(first, *others, placed.size(), stop)
                              : WriteOnOneThread(first, placed.size(), stop);
    others.reset();  // the second thread ended before its count is read
    outcome.stopped = !whole;
    outcome.shortenedPaths = first.shortenedPaths() + second.shortenedPaths();
    return outcome;
}

}  // namespace tarvik::cli
