#include "app/browse/natural_compare.h"

namespace tarvik {

namespace {

bool IsAsciiDigit(QChar c) {
    return c.unicode() >= u'0' && c.unicode() <= u'9';
}

// Plain ASCII letters fold without a table lookup; the sort meets them most.
char32_t Folded(QChar c) {
    const char16_t u = c.unicode();
    if (u < 0x80) return u >= u'A' && u <= u'Z' ? char32_t{u} + 32 : char32_t{u};
    return QChar::toCaseFolded(char32_t{u});
}

}  // namespace

int NaturalCompare(QStringView a, QStringView b) {
    qsizetype i = 0;
    qsizetype j = 0;
    while (i < a.size() && j < b.size()) {
        if (IsAsciiDigit(a[i]) && IsAsciiDigit(b[j])) {
            // Runs of digits compare by value: leading zeros are skipped, then the longer
            // run is the larger number, then the first differing digit decides.
            while (i < a.size() && a[i] == u'0') ++i;
            while (j < b.size() && b[j] == u'0') ++j;
            qsizetype endA = i;
            qsizetype endB = j;
            while (endA < a.size() && IsAsciiDigit(a[endA])) ++endA;
            while (endB < b.size() && IsAsciiDigit(b[endB])) ++endB;
            if (endA - i != endB - j) return endA - i < endB - j ? -1 : 1;
            for (; i < endA; ++i, ++j)
                if (a[i] != b[j]) return a[i] < b[j] ? -1 : 1;
            continue;
        }
        if (a[i] != b[j]) {
            const char32_t x = Folded(a[i]);
            const char32_t y = Folded(b[j]);
            if (x != y) return x < y ? -1 : 1;
        }
        ++i;
        ++j;
    }
    if (i < a.size()) return 1;
    if (j < b.size()) return -1;
    return 0;
}

}  // namespace tarvik
