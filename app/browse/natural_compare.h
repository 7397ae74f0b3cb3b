#pragma once
// The order of names in the file list.
#include <QStringView>

namespace tarvik {

// Orders names as a person reads them: case is ignored and runs of digits compare by
// value, so "file2" comes before "File10". Returns < 0, 0 or > 0.
int NaturalCompare(QStringView a, QStringView b);

}  // namespace tarvik
