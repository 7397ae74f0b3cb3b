#pragma once
// The files carved from a drive's free clusters, as catalogue entries: under a made-up
// folder "Carved Files", one folder per type, each file named by its type and first
// cluster ("c000123456.jpg"). Their byte ranges are kept here by catalogue index, and
// handed to the recovery as data maps.
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "carve/carve_pass.h"
#include "filedata/entry_data_maps.h"

namespace tarvik {

class ScanEngine;

inline constexpr const char* kCarvedFolderName = "Carved Files";

class CarvedFiles final : public EntryDataMaps {
  public:
    // Appends the files (and their folders) to the engine's catalogue.
    CarvedFiles(ScanEngine& engine, const std::vector<CarvedFile>& files, ProgressSink& progress);

    std::size_t Count() const { return byEntry_.size(); }
    // The carved file behind catalogue entry `index`, if it is one.
    const CarvedFile* Find(std::size_t index) const;
    std::optional<FileDataMap> MapOf(std::size_t index) const override;

  private:
    std::map<std::size_t, CarvedFile> byEntry_;
    std::uint32_t clusterBytes_ = 0;
};

// "c000123456.jpg": the type's ending after the first cluster, nine digits at least.
std::string CarvedFileName(const CarvedFile& file);

}  // namespace tarvik
