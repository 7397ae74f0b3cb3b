#pragma once
// A file row's icon by its name's type: the desktop theme's icon for the type the name
// says (its suffix), the program's own drawn icon when the theme has none, with a red
// cross drawn over it for a deleted file and a dot in the colour of its condition.
#include <QPixmap>
#include <optional>

#include "analysis/file_condition.h"
#include "catalogue/catalogue_entry.h"

namespace tarvik {

// `drawn` is the program's own icon for the row; `condition` nothing when not weighed.
QPixmap TypeIcon(const CatalogueEntry& entry, std::optional<FileCondition> condition, int size,
                 const QPixmap& drawn);

}  // namespace tarvik
