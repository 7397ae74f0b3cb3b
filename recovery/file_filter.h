#pragma once
// The file-name filter a recovery applies to each file it is about to write: a list of
// name patterns and one mode for the whole list, include (only matching names are
// written) or exclude (matching names are skipped). Folders are never filtered.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tarvik {

enum class FilterMode : std::uint8_t { kInclude = 0, kExclude = 1 };

class FileFilter {
  public:
    static constexpr std::size_t kMaxPatterns = 32;
    static constexpr std::size_t kPatternSlotBytes = 128;
    static constexpr std::size_t kMaxPatternLength = kPatternSlotBytes - 1;

    // A new filter: include mode, no pattern.
    FileFilter() = default;

    // Appends a pattern after the last one. Refused (false, nothing changed) when the
    // text is empty, longer than kMaxPatternLength bytes, or the filter is full.
    bool AddPattern(std::string_view pattern);
    // Writes the pattern into `slot` and makes it the last one, as adding to a list
    // that starts over at slot 0 does; slots past it are no longer read. Refused like
    // AddPattern, and for a slot past the current count.
    bool PutPattern(std::size_t slot, std::string_view pattern);
    // Takes back the newest pattern; false when there is none.
    bool TakeBackLast();
    void SetMode(FilterMode mode) { mode_ = mode; }

    FilterMode mode() const { return mode_; }
    std::size_t count() const { return count_; }
    bool empty() const { return count_ == 0; }
    // Precondition: index < count().
    std::string_view Pattern(std::size_t index) const;

  private:
    std::uint8_t count_ = 0;  // patterns in use; the last index is count_ - 1
    FilterMode mode_ = FilterMode::kInclude;
    std::array<std::array<char, kPatternSlotBytes>, kMaxPatterns> patterns_{};
};

// The matching form of a pattern: base and extension split at the last '.', each
// either 128 '?' (when it begins with '*') or itself in capitals (a-z only).
std::string NormalizePattern(std::string_view pattern);

// Whether a file name matches a pattern. The pattern's base is matched against the
// start of the name, its extension against the start of the text after the name's
// first '.'; a '?' in the base stands for one character or for the name's end, a '?'
// in the extension for nothing. Letters compare without regard to case (a-z only).
bool MatchPattern(std::string_view fileName, std::string_view pattern);

// Whether the writer writes a file of this name. No filter, or one without patterns,
// lets every name through; otherwise the first matching pattern decides by the mode,
// and a name matching none passes only an exclude filter.
bool FilterPasses(std::string_view fileName, const FileFilter* filter);

// The filter in a few words for a status line: "Only *.jpg; *.png" or "All but *.tmp";
// an empty text for no filter or one without patterns.
std::string FileFilterSummary(const FileFilter* filter);

}  // namespace tarvik
