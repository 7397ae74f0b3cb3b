// The catalogue and the desktop program's views over a large made-up scan result. First,
// before any window exists, the catalogue is filled as a scan fills it (names of about
// 20 characters, folders up to six levels deep, a fifth of the files deleted) and its
// peak memory per entry is taken. Then the session's check tree is built and the folder
// tree shown as the main window shows it after a scan; then a folder of 100,000 files is
// listed, Root checked and the list sorted. Run by hand: bash bench/browse_bench.sh [ENTRIES].
#include <QApplication>
#include <QElapsedTimer>
#include <QTreeView>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "app/browse/browse_models.h"
#include "catalogue/folder_table.h"
#include "session/check_tree.h"

using namespace tarvik;

namespace {

// The process's resident memory now, or at its peak so far, in KiB.
long StatusKiB(const char* field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    const std::string prefix = std::string(field) + ":";
    while (std::getline(status, line))
        if (line.rfind(prefix, 0) == 0) return std::atol(line.c_str() + prefix.size());
    return 0;
}

constexpr std::uint32_t kFirstNumber = 64;
constexpr int kMaxDepth = 6;
constexpr std::size_t kBigFolderFiles = 100000;

const char* const kStems[] = {"IMG_", "report-", "Notes ", "invoice_", "backup-", "DSC", "track "};
const char* const kExtensions[] = {".jpg", ".docx", ".txt", ".pdf", ".zip", ".mp3", ".xlsx"};

// About 20 characters: "invoice_2019-04-0123.pdf", "DSC004512.jpg".
std::string FileName(std::mt19937& random, std::uint32_t number) {
    const auto pick = random();
    std::string name = kStems[pick % 7];
    name += std::to_string(2000 + pick % 25) + "-" + std::to_string(number);
    name += kExtensions[(pick >> 8) % 7];
    return name;
}

struct MadeUpScan {
    std::uint32_t bigFolder = 0;
};

// Folders first take their places (one for every 40 entries, each under a random folder
// less than six deep), then files are spread over them; numbers run as in an MFT.
MadeUpScan FillCatalogue(Catalogue& catalogue, std::size_t total) {
    std::mt19937 random(25);
    MadeUpScan scan;
    catalogue.Reserve(total + total / 8 + 1000);  // as the scan sets aside
    std::uint32_t next = kFirstNumber;
    auto add = [&](const std::string& name, std::uint32_t parent, bool folder) {
        CatalogueEntry entry;
        entry.SetName(name);
        entry.number = next++;
        entry.parent = parent;
        entry.attribute = folder ? kAttributeDirectory : kAttributeFile;
        entry.size = folder ? 0 : 1000 + random() % 5'000'000;
        entry.creationTime = 132'000'000'000'000'000ull + random() % 100'000'000'000'000ull;
        entry.deleted = random() % (folder ? 20 : 5) == 0 ? 1 : 0;
        catalogue.Append(entry);
        return entry.number;
    };
    scan.bigFolder = add("big", kRootFolderNumber, true);
    for (std::size_t i = 0; i < kBigFolderFiles && catalogue.Count() < total; ++i)
        add(FileName(random, next), scan.bigFolder, false);

    const std::size_t folderCount = std::max<std::size_t>(1, total / 40);
    std::vector<std::uint32_t> folders;
    std::vector<int> depths;
    for (std::size_t i = 0; i < folderCount && catalogue.Count() < total; ++i) {
        std::uint32_t parent = kRootFolderNumber;
        int depth = 1;
        if (!folders.empty() && random() % 8 != 0) {
            const std::size_t at = random() % folders.size();
            if (depths[at] < kMaxDepth) {
                parent = folders[at];
                depth = depths[at] + 1;
            }
        }
        folders.push_back(add("Folder " + std::to_string(next) + " of things", parent, true));
        depths.push_back(depth);
    }
    while (catalogue.Count() < total)
        add(FileName(random, next), folders[random() % folders.size()], false);
    return scan;
}

double PerEntry(long kib, std::size_t entries) {
    return double(kib) * 1024.0 / double(entries);
}

}  // namespace

int main(int argc, char** argv) {
    const std::size_t total = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 1000000;

    const long baseline = StatusKiB("VmHWM");
    Catalogue catalogue;
    const MadeUpScan scan = FillCatalogue(catalogue, total);
    const long catalogueKiB = StatusKiB("VmHWM") - baseline;
    const double indexed = double(catalogue.MemoryBytes()) / double(catalogue.Count());
    const FolderTable folders = BuildFolderTable(catalogue);
    const long withFoldersKiB = StatusKiB("VmHWM") - baseline;

    QApplication app(argc, argv);
    QElapsedTimer timer;
    // What the main window does once a scan ends: the session places the entries in the
    // check tree, the tree view shows Root expanded and current, the list shows Root's rows.
    timer.start();
    CheckTree tree(catalogue, folders);
    const qint64 checkTreeMs = timer.elapsed();
    CFolderTreeModel treeModel;
    QTreeView treeView;
    treeView.setModel(&treeModel);
    treeView.resize(300, 600);
    treeView.show();
    CFileListModel listModel;
    QTreeView listView;
    listView.setUniformRowHeights(true);
    listView.setRootIsDecorated(false);
    listView.setModel(&listModel);
    listView.resize(600, 600);
    listView.show();
    app.processEvents();
    const long beforeViews = StatusKiB("VmRSS");
    timer.restart();
    treeModel.SetTree(&tree, &catalogue);
    listModel.SetTree(&tree, &catalogue);
    int deletedFolders = 0;
    for (CheckTree::FolderNode node = 1; node < tree.FolderNodeCount(); ++node)
        if (treeModel.ImageOf(node) == 3) ++deletedFolders;
    const QModelIndex root = treeModel.IndexOf(CheckTree::kRootNode);
    treeView.expand(root);
    treeView.setCurrentIndex(root);
    listModel.Fill(CheckTree::kRootNode);
    app.processEvents();
    const qint64 showMs = timer.elapsed();

    timer.restart();
    listModel.Fill(*tree.LastNodeWithNumber(scan.bigFolder));
    app.processEvents();
    const qint64 fillMs = timer.elapsed();
    const long afterViews = StatusKiB("VmRSS");

    timer.restart();
    tree.ToggleFolder(CheckTree::kRootNode);
    treeModel.MarksChanged();
    listModel.MarksChanged();
    const SelectionTotals totals = tree.Totals();
    app.processEvents();
    const qint64 checkMs = timer.elapsed();

    timer.restart();
    treeView.expandAll();
    app.processEvents();
    const qint64 expandAllMs = timer.elapsed();

    timer.restart();
    listModel.sort(CFileListModel::kName, Qt::AscendingOrder);
    app.processEvents();
    const qint64 sortMs = timer.elapsed();

    std::printf("entries %zu, folders %zu (%d deleted)\n", catalogue.Count(), folders.Count(),
                deletedFolders);
    std::printf("catalogue peak memory:              %.1f bytes per entry (%.1f counted)\n",
                PerEntry(catalogueKiB, total), indexed);
    std::printf("  with the folder table:            %.1f bytes per entry\n",
                PerEntry(withFoldersKiB, total));
    std::printf("check tree (session, at scan end):  %lld ms\n",
                static_cast<long long>(checkTreeMs));
    std::printf("show the tree (Root expanded):      %lld ms\n", static_cast<long long>(showMs));
    std::printf("  tree shown after the scan:        %lld ms in all\n",
                static_cast<long long>(checkTreeMs + showMs));
    std::printf("fill the list (100,000 files):      %lld ms\n", static_cast<long long>(fillMs));
    std::printf("check Root (%llu files selected):   %lld ms\n",
                static_cast<unsigned long long>(totals.files), static_cast<long long>(checkMs));
    std::printf("expand every folder:                %lld ms\n",
                static_cast<long long>(expandAllMs));
    std::printf("sort 100,000 rows by name:          %lld ms\n", static_cast<long long>(sortMs));
    std::printf("views' memory: %.1f bytes per entry\n",
                PerEntry(afterViews - beforeViews, catalogue.Count()));
    std::printf("peak memory of the process: %.1f bytes per entry\n",
                PerEntry(StatusKiB("VmHWM"), catalogue.Count()));
    return 0;
}
