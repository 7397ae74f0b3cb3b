#include "recovery/file_filter.h"

#include <algorithm>
#include <cstring>

namespace tarvik {
namespace {

// What a '*' at the start of a base or an extension becomes: more '?' than a name part
// can hold characters, so it matches any part.
constexpr std::size_t kWildcardWidth = 128;

char ToUpperAscii(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

bool SameLetter(char a, char b) {
    return ToUpperAscii(a) == ToUpperAscii(b);
}

std::string NormalizePart(std::string_view part) {
    if (!part.empty() && part.front() == '*') return std::string(kWildcardWidth, '?');
    std::string upper(part);
    std::transform(upper.begin(), upper.end(), upper.begin(), ToUpperAscii);
    return upper;
}

bool Acceptable(std::string_view pattern) {
    return !pattern.empty() && pattern.size() <= FileFilter::kMaxPatternLength &&
           pattern.find('\0') == std::string_view::npos;
}

}  // namespace

bool FileFilter::AddPattern(std::string_view pattern) {
    return PutPattern(count_, pattern);
}

bool FileFilter::PutPattern(std::size_t slot, std::string_view pattern) {
    if (!Acceptable(pattern) || slot >= kMaxPatterns || slot > count_) return false;
    auto& bytes = patterns_[slot];
    bytes.fill('\0');
    std::memcpy(bytes.data(), pattern.data(), pattern.size());
    count_ = static_cast<std::uint8_t>(slot + 1);
    return true;
}

bool FileFilter::TakeBackLast() {
    if (count_ == 0) return false;
    --count_;
    patterns_[count_].fill('\0');
    return true;
}

std::string_view FileFilter::Pattern(std::size_t index) const {
    return std::string_view(patterns_[index].data());
}

std::string NormalizePattern(std::string_view pattern) {
    const std::size_t dot = pattern.rfind('.');
    if (dot == std::string_view::npos) return NormalizePart(pattern);
    return NormalizePart(pattern.substr(0, dot)) + '.' + NormalizePart(pattern.substr(dot + 1));
}

bool MatchPattern(std::string_view name, std::string_view pattern) {
    const std::string p = NormalizePattern(pattern);
    const std::size_t n = p.size();
    const std::size_t nameDot = name.find('.');
    const bool nameHasDot = nameDot != std::string_view::npos;
    const std::string_view extension = nameHasDot ? name.substr(nameDot + 1) : std::string_view{};
    std::size_t i = 0;
    std::size_t j = 0;
    bool dotSeen = false;
    while (i < n) {
        if (p[i] == '.') dotSeen = true;
        if (!dotSeen) {
            const bool accepted = p[i] == '?' || (i < name.size() && SameLetter(name[i], p[i]));
            if (!accepted) break;
            ++i;
            continue;
        }
        if (!nameHasDot) break;
        if (p[i] == '.') {
            ++i;
            if (i == n) break;
        }
        if (p[i] == '?') {
            ++i;
            continue;
        }
        if (j >= extension.size()) break;
        if (!SameLetter(extension[j++], p[i])) break;
        ++i;
    }
    return i > 0 && i == n;
}

bool FilterPasses(std::string_view name, const FileFilter* filter) {
    if (filter == nullptr || filter->empty()) return true;
    const bool include = filter->mode() == FilterMode::kInclude;
    for (std::size_t k = 0; k < filter->count(); ++k) {
        if (MatchPattern(name, filter->Pattern(k))) return include;
    }
    return !include;
}

std::string FileFilterSummary(const FileFilter* filter) {
    if (filter == nullptr || filter->empty()) return {};
    std::string text = filter->mode() == FilterMode::kInclude ? "Only " : "All but ";
    for (std::size_t i = 0; i < filter->count(); ++i) {
        if (i > 0) text += "; ";
        text += filter->Pattern(i);
    }
    return text;
}

}  // namespace tarvik
