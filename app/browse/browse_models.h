#pragma once
// The models behind the folder tree and the file list: thin readers of the session's
// check tree and catalogue. They copy no entry and cache no mark, so what they show is
// always what the catalogue and the tree hold, the marks the recovery reads included. The tree
// model adds nothing per entry; the list model keeps only the rows of the folder it shows.
#include <QAbstractItemModel>
#include <QIcon>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "app/browse/natural_compare.h"
#include "session/check_tree.h"
#include "session/recovery_session.h"
#include "session/version_marks.h"

namespace tarvik {

// A FILETIME as the user's locale writes a date and time, in local time; empty for 0
// (a time that is not known, as for the made-up folders of lost entries).
QString LocalTimeText(std::uint64_t fileTime);

// Qt's three check states for a mark.
Qt::CheckState CheckStateOf(CheckMark mark);

// The folder tree: "Root" on top, each folder's sub-folders in name order.
class CFolderTreeModel : public QAbstractItemModel {
    Q_OBJECT
  public:
    using FolderNode = CheckTree::FolderNode;

    explicit CFolderTreeModel(QObject* parent = nullptr);

    // Shows the folders of `tree` (not owned; nullptr empties the model).
    void SetTree(const CheckTree* tree, const Catalogue* catalogue);
    const CheckTree* Tree() const { return tree_; }

    // Leaves the volume's own folders ($Extend and what lies in it) out of Root's rows,
    // or shows them again, as the list does with its system files.
    void SetHidesSystem(bool hide);

    // The node's row; invalid for a node not shown.
    QModelIndex IndexOf(FolderNode node) const;
    FolderNode NodeOf(const QModelIndex& index) const;
    // Every shown mark may have changed.
    void MarksChanged();

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool hasChildren(const QModelIndex& parent = {}) const override;

    // Tree image indexes: 0 disk, 1/2 folder, 3/4 deleted folder, 5/6 made-up folder.
    int ImageOf(FolderNode node) const;

  private:
    bool IsSystemFolder(FolderNode node) const;
    // The sub-folders shown under `node`: all of them, but for Root's while hiding.
    std::span<const FolderNode> ShownSubFolders(FolderNode node) const;

    const CheckTree* tree_ = nullptr;
    const Catalogue* catalogue_ = nullptr;
    std::vector<QIcon> icons_;  // disk, folder, deleted folder, made-up folder
    bool hidesSystem_ = false;
    std::vector<FolderNode> rootShown_;  // Root's sub-folders shown while hiding
};

// The file list: the entries of one folder, in catalogue order until sorted.
class CFileListModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    enum Column {
        kName,
        kType,
        kSize,
        kDate,
        kModified,
        kFileId,
        kParentId,
        kCondition,
        kVersions,
        kColumnCount
    };
    // Row icons: 0 folder, 1 file, 2 deleted folder, 3 deleted file, 4 made-up folder.
    static int IconOf(const CatalogueEntry& entry);
    static QString ColumnText(const CatalogueEntry& entry, int column);

    explicit CFileListModel(QObject* parent = nullptr);

    void SetTree(const CheckTree* tree, const Catalogue* catalogue);
    // Where the Condition column and its tooltips come from (not owned; nullptr, or a
    // session whose conditions were not weighed, leaves the column empty).
    void SetConditionSource(const RecoverySession* session) { session_ = session; }
    // The Condition column's text and tooltip of the row's entry.
    QString ConditionText(std::size_t catalogueIndex) const;
    QString ConditionTip(std::size_t catalogueIndex) const;
    // Where the Versions column comes from (not owned; nullptr leaves it empty): how many
    // older versions the shadow copies hold of a file, or of the files in a folder.
    void SetVersionMarks(const VersionMarks* marks);
    const VersionMarks* Versions() const { return versions_; }
    // Shows the rows of a folder node; Clear shows none.
    void Fill(CheckTree::FolderNode node);
    // Shows the entries at these placement positions (what a filter let through); the
    // folder stays the one shown before.
    void FillRows(std::vector<std::size_t> positions);
    void Clear();
    CheckTree::FolderNode Folder() const { return folder_; }
    const CheckTree* Tree() const { return tree_; }

    // The placement position and the catalogue entry of a row.
    std::size_t PositionOf(int row) const { return rows_[static_cast<std::size_t>(row)]; }
    CatalogueEntry EntryOf(int row) const;
    void MarksChanged();

    // The sorts of the header and the Arrange commands, folders above files. Names and
    // types in natural order ignoring case; sizes, numbers and dates by value.
    // Rows of equal keys keep their order; selection and current row follow their entries.
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    void SetIconSize(int size);

  private:
    std::int64_t ConditionRank(std::size_t row) const;
    // The sort keys of a column of numbers, one per row.
    std::vector<std::int64_t> ValueKeys(int column) const;
    // Row numbers in the order a sort by `column` puts them.
    std::vector<std::size_t> SortedRows(int column, bool ascending) const;
    std::size_t VersionCount(std::size_t catalogueIndex) const;

    const CheckTree* tree_ = nullptr;
    const Catalogue* catalogue_ = nullptr;
    const RecoverySession* session_ = nullptr;
    const VersionMarks* versions_ = nullptr;
    CheckTree::FolderNode folder_ = CheckTree::kRootNode;
    std::vector<std::size_t> rows_;
    QList<QPixmap> icons_;
    int iconSize_ = 16;
};

}  // namespace tarvik
