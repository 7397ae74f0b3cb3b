#pragma once
// Finding an entry by its name, as the Find command and Find Next do: the catalogue is
// walked in stored order, so files and folders, deleted or in use, are met in the order
// the scan catalogued them. A text matches a name that contains it ("jpg" finds
// "beach.jpg"); a text holding '*' or '?' is a wildcard pattern the whole name must fit.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "catalogue/catalogue.h"

namespace tarvik {

struct FindOptions {
    bool matchCase = false;
    bool deleted = true;   // deleted entries are candidates
    bool existing = true;  // entries in use are candidates
};

// The whole name equals `text`: byte for byte with matchCase, else ignoring case (ASCII,
// Latin-1, Latin Extended-A, Greek and Cyrillic letters are folded).
bool NameMatches(std::string_view name, std::string_view text, bool matchCase);

// The name contains `text`, or fits it as a wildcard pattern when it holds '*' or '?'
// ('*' any run of characters, '?' one character); case is folded as NameMatches does.
// An empty text fits every name.
bool NameFits(std::string_view name, std::string_view text, bool matchCase);

// Candidate (by the deleted and existing options) and the name fits the text.
bool EntryMatches(const CatalogueEntry& entry, std::string_view text, const FindOptions& options);

// The first matching catalogue index at or after `from`; nothing at the end.
std::optional<std::size_t> FindEntry(const Catalogue& catalogue, std::string_view text,
                                     const FindOptions& options, std::size_t from);

}  // namespace tarvik
