#pragma once
// Where the data of entries that no record maps lies (files found by their content in
// free clusters): told by whoever catalogued them, so that the recovery reads them
// through the same data path as every other file.
#include <cstddef>
#include <optional>

#include "filedata/file_data_map.h"

namespace tarvik {

class EntryDataMaps {
  public:
    virtual ~EntryDataMaps() = default;
    // The data map of catalogue entry `index`; nothing for an entry this does not know.
    virtual std::optional<FileDataMap> MapOf(std::size_t index) const = 0;
};

}  // namespace tarvik
