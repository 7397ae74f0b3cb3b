#include "carve/carved_files.h"

#include <array>
#include <cstdio>

#include "scan/scan_engine.h"

namespace tarvik {
namespace {

CatalogueEntry CarvedFolder(std::string_view name, std::uint32_t number, std::uint32_t parent) {
    CatalogueEntry entry = MadeUpFolderEntry(name, number, parent);
    entry.carved = kCarvedWhole;
    return entry;
}

}  // namespace

std::string CarvedFileName(const CarvedFile& file) {
    char name[64];
    std::snprintf(name, sizeof name, "c%09llu.%.*s",
                  static_cast<unsigned long long>(file.firstCluster),
                  static_cast<int>(file.extension.size()), file.extension.data());
    return name;
}

CarvedFiles::CarvedFiles(ScanEngine& engine, const std::vector<CarvedFile>& files,
                         ProgressSink& progress)
    : clusterBytes_(engine.geometry().sectorsPerCluster * 512u) {
    if (files.empty()) return;
    std::uint32_t number = engine.UnusedNumbersFrom();
    std::vector<CatalogueEntry> entries;
    entries.push_back(CarvedFolder(kCarvedFolderName, number, kRootFolderNumber));
    const std::uint32_t top = number++;
    std::array<std::uint32_t, kCarvedTypeCount> folders{};
    for (const CarvedFile& file : files) {
        std::uint32_t& folder = folders[static_cast<std::size_t>(file.type)];
        if (folder == 0) {
            folder = number++;
            entries.push_back(CarvedFolder(CarvedFolderName(file.type), folder, top));
        }
    }
    const std::size_t first = engine.catalogue().Count();
    for (const CarvedFile& file : files) {
        CatalogueEntry entry{};
        entry.SetName(CarvedFileName(file));
        entry.attribute = kAttributeFile;
        entry.size = file.length;
        entry.number = number++;
        entry.parent = folders[static_cast<std::size_t>(file.type)];
        entry.carved = file.partial ? kCarvedPartial : kCarvedWhole;
        byEntry_.emplace(first + entries.size(), file);
        entries.push_back(entry);
    }
    engine.AppendFoundEntries(entries, progress);
}

const CarvedFile* CarvedFiles::Find(std::size_t index) const {
    const auto found = byEntry_.find(index);
    return found != byEntry_.end() ? &found->second : nullptr;
}

std::optional<FileDataMap> CarvedFiles::MapOf(std::size_t index) const {
    const CarvedFile* file = Find(index);
    if (file == nullptr || clusterBytes_ == 0) return std::nullopt;
    FileDataMap map;
    DataRun run;
    run.lengthClusters = (file->length + clusterBytes_ - 1) / clusterBytes_;
    run.lcn = Cluster(file->firstCluster);
    run.lcnDelta = static_cast<std::int64_t>(file->firstCluster);
    map.runs.push_back(run);
    map.realSize = file->length;
    map.initializedSize = file->length;
    map.allocatedSize = run.lengthClusters * clusterBytes_;
    return map;
}

}  // namespace tarvik
