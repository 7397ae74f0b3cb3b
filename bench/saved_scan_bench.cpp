// Saves a made-up scan of ENTRIES entries (folders of 1,000 files, every fifth one
// deleted, with conditions) and times what opening it again costs: reading and checking
// the file, the catalogue taken out of it, its folder table, the condition table and
// the check tree over the kept placement, checked (what the views need before they show
// anything).
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

#include "catalogue/folder_table.h"
#include "session/check_tree.h"
#include "session/saved_scan.h"

using namespace tarvik;

namespace {

double SecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
    const std::size_t entries = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 1000000;
    const std::string path = argc > 2 ? argv[2] : "/tmp/tarvik-saved-scan-bench.tarvikscan";
    Catalogue catalogue;
    catalogue.Reserve(entries);
    const std::uint32_t firstNumber = 64;
    std::uint32_t folder = kRootFolderNumber;
    for (std::size_t i = 0; i < entries; ++i) {
        CatalogueEntry entry;
        const auto number = static_cast<std::uint32_t>(firstNumber + i);
        if (i % 1001 == 0) {
            entry.SetName("folder-" + std::to_string(i / 1001));
            entry.attribute = kAttributeDirectory;
            entry.parent = kRootFolderNumber;
            folder = number;
        } else {
            entry.SetName("IMG_" + std::to_string(i) + (i % 3 ? ".jpg" : ".docx"));
            entry.attribute = kAttributeFile;
            entry.parent = folder;
            entry.size = 1000 + i % 5000000;
            entry.deleted = i % 5 == 0 ? 1 : 0;
        }
        entry.number = number;
        entry.creationTime = 132000000000000000ULL + i * 10000000ULL;
        catalogue.Append(entry);
    }
    std::vector<EntryTimes> times(entries, EntryTimes{1, 2, 3, 4});
    std::vector<EntryCondition> conditions(entries);
    for (std::size_t i = 0; i < entries; ++i)
        conditions[i].condition =
            i % 5 == 0 ? FileCondition::kPartlyOverwritten : FileCondition::kIntact;
    const ConditionTable table(std::move(times), std::move(conditions));
    ScanSnapshot snapshot;
    snapshot.sectorsPerCluster = 8;
    snapshot.bytesPerSector = 512;
    snapshot.recordSize = 1024;

    auto start = std::chrono::steady_clock::now();
    const std::vector<std::uint8_t> file = EncodeSavedScan({}, snapshot, catalogue, &table);
    if (FILE* out = std::fopen(path.c_str(), "wb")) {
        std::fwrite(file.data(), 1, file.size(), out);
        std::fclose(out);
    }
    const double saveSeconds = SecondsSince(start);

    start = std::chrono::steady_clock::now();
    std::string error;
    const auto scan = SavedScan::Load(path, error);
    if (!scan) {
        std::fprintf(stderr, "cannot open: %s\n", error.c_str());
        return 1;
    }
    const double loadSeconds = SecondsSince(start);
    auto phase = std::chrono::steady_clock::now();
    const Catalogue reopened = scan->MakeCatalogue();
    const double catalogueSeconds = SecondsSince(phase);
    phase = std::chrono::steady_clock::now();
    const FolderTable folders = BuildFolderTable(reopened);
    const double foldersSeconds = SecondsSince(phase);
    phase = std::chrono::steady_clock::now();
    const ConditionTable reopenedTable = scan->MakeConditions();
    const std::vector<CheckMark> marks = scan->marks();
    const double conditionsSeconds = SecondsSince(phase);
    phase = std::chrono::steady_clock::now();
    std::optional<KeptPlacement> placement = scan->Placement(reopened, error);
    if (!placement) {
        std::fprintf(stderr, "cannot place: %s\n", error.c_str());
        return 1;
    }
    const CheckTree tree(reopened, std::move(*placement));
    const double treeSeconds = SecondsSince(phase);
    const double openSeconds = SecondsSince(start);
    std::printf(
        "entries %zu, file %.1f MiB, save %.3f s; open %.3f s: read and check %.3f s, "
        "catalogue %.3f s, folder table %.3f s, conditions and marks %.3f s, tree %.3f s "
        "(%zu placed)\n",
        reopened.Count(), static_cast<double>(file.size()) / 1048576.0, saveSeconds, openSeconds,
        loadSeconds, catalogueSeconds, foldersSeconds, conditionsSeconds, treeSeconds,
        tree.Placed().size());
    std::remove(path.c_str());
    return 0;
}
