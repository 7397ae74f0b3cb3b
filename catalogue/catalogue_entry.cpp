#include "catalogue/catalogue_entry.h"

#include "common/utf16.h"

namespace tarvik {

void CatalogueEntry::SetName(std::string_view utf8) {
    const std::size_t nul = utf8.find('\0');
    if (nul != std::string_view::npos) utf8 = utf8.substr(0, nul);
    ownName_.assign(TruncateUtf8(utf8, kEntryNameMaxBytes));
    storedName_ = {};
    stored_ = false;
}

CatalogueEntry MadeUpFolderEntry(std::string_view name, std::uint32_t number,
                                 std::uint32_t parent) {
    CatalogueEntry entry{};
    entry.SetName(name);
    entry.attribute = kAttributeDirectory;
    entry.number = number;
    entry.parent = parent;
    entry.madeUp = 1;
    entry.madeUpSecond = 1;
    return entry;
}

}  // namespace tarvik
