// The folder tree and the file list over a large made-up catalogue: building the tree,
// filling the list with a folder of 100,000 files, checking Root, and the memory the
// views add per catalogue entry. Run by hand: bash bench/browse_bench.sh [ENTRIES].
#include <QApplication>
#include <QElapsedTimer>
#include <QTreeView>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "app/browse/browse_models.h"
#include "catalogue/folder_table.h"
#include "session/check_tree.h"

using namespace tarvik;

namespace {

long ResidentKiB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
    return 0;
}

void Add(Catalogue& catalogue, const std::string& name, std::uint32_t number, std::uint32_t parent,
         bool folder) {
    CatalogueEntry entry;
    entry.SetName(name);
    entry.number = number;
    entry.parent = parent;
    entry.attribute = folder ? kAttributeDirectory : kAttributeFile;
    entry.size = folder ? 0 : 1000 + number % 5000;
    catalogue.Append(entry);
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const std::size_t total = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 1000000;
    // Root holds "big" (100,000 files) and 1,000 folders sharing the rest, 20 sub-folders
    // each with their files.
    Catalogue catalogue;
    std::uint32_t next = 64;
    const std::uint32_t big = next++;
    Add(catalogue, "big", big, kRootFolderNumber, true);
    for (int i = 0; i < 100000; ++i) Add(catalogue, "f" + std::to_string(i), next++, big, false);
    while (catalogue.Count() < total) {
        const std::uint32_t top = next++;
        Add(catalogue, "top" + std::to_string(top), top, kRootFolderNumber, true);
        for (int s = 0; s < 20 && catalogue.Count() < total; ++s) {
            const std::uint32_t sub = next++;
            Add(catalogue, "sub" + std::to_string(s), sub, top, true);
            for (int f = 0; f < 40 && catalogue.Count() < total; ++f)
                Add(catalogue, "file" + std::to_string(f), next++, sub, false);
        }
    }
    const FolderTable folders = BuildFolderTable(catalogue);
    QElapsedTimer timer;
    timer.start();
    CheckTree tree(catalogue, folders);
    const qint64 checkTreeMs = timer.elapsed();

    const long before = ResidentKiB();
    timer.restart();
    CFolderTreeModel treeModel;
    QTreeView treeView;
    treeView.setModel(&treeModel);
    treeView.resize(300, 600);
    treeView.show();
    treeModel.SetTree(&tree, &catalogue);
    treeView.expand(treeModel.IndexOf(CheckTree::kRootNode));
    treeView.setCurrentIndex(treeModel.IndexOf(CheckTree::kRootNode));
    app.processEvents();
    const qint64 buildMs = timer.elapsed();

    CFileListModel listModel;
    QTreeView listView;
    listView.setUniformRowHeights(true);
    listView.setRootIsDecorated(false);
    listView.setModel(&listModel);
    listView.resize(600, 600);
    listView.show();
    listModel.SetTree(&tree, &catalogue);
    timer.restart();
    listModel.Fill(*tree.LastNodeWithNumber(big));
    app.processEvents();
    const qint64 fillMs = timer.elapsed();
    const long after = ResidentKiB();

    timer.restart();
    tree.ToggleFolder(CheckTree::kRootNode);
    treeModel.MarksChanged();
    listModel.MarksChanged();
    const SelectionTotals totals = tree.Totals();
    app.processEvents();
    const qint64 checkMs = timer.elapsed();

    timer.restart();
    listModel.SortRows(CFileListModel::kName, true);
    app.processEvents();
    const qint64 sortMs = timer.elapsed();

    std::printf("entries %zu, folders %zu\n", catalogue.Count(), folders.Count());
    std::printf("check tree (session, at scan end): %lld ms\n",
                static_cast<long long>(checkTreeMs));
    std::printf("build the tree:                     %lld ms\n", static_cast<long long>(buildMs));
    std::printf("fill the list (100,000 files):      %lld ms\n", static_cast<long long>(fillMs));
    std::printf("check Root (%llu files selected):   %lld ms\n",
                static_cast<unsigned long long>(totals.files), static_cast<long long>(checkMs));
    std::printf("sort 100,000 rows by name:          %lld ms\n", static_cast<long long>(sortMs));
    std::printf("views' memory: %.1f bytes per entry\n",
                double(after - before) * 1024.0 / double(catalogue.Count()));
    return 0;
}
