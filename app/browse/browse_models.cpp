#include "app/browse/browse_models.h"
#include "app/size_text.h"

#include <QDateTime>
#include <QLocale>
#include <algorithm>
#include <functional>

#include "app/browse/type_icons.h"
#include "app/pictures.h"
#include "session/entry_filter.h"

namespace tarvik {

Qt::CheckState CheckStateOf(CheckMark mark) {
    switch (mark) {
        case CheckMark::kChecked:
            return Qt::Checked;
        case CheckMark::kPartly:
            return Qt::PartiallyChecked;
        case CheckMark::kUnchecked:
            break;
    }
    return Qt::Unchecked;
}

QString LocalTimeText(std::uint64_t fileTime) {
    // FILETIME counts 100 ns ticks from 1601; 0 means the time is not known.
    constexpr std::uint64_t kTicksTo1970 = 116444736000000000ull;
    constexpr std::uint64_t kTicksPerMs = 10000;
    if (fileTime == 0) return {};
    const qint64 ms = fileTime >= kTicksTo1970
                          ? static_cast<qint64>((fileTime - kTicksTo1970) / kTicksPerMs)
                          : -static_cast<qint64>((kTicksTo1970 - fileTime) / kTicksPerMs);
    const QDateTime local = QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC).toLocalTime();
    return QLocale().toString(local, QLocale::ShortFormat);
}

// ---------------------------------------------------------------- CFolderTreeModel

CFolderTreeModel::CFolderTreeModel(QObject* parent) : QAbstractItemModel(parent) {
    const QList<QPixmap> images = TreeImages();
    for (int pair = 0; pair < 4; ++pair) {
        QIcon icon;
        const int normal = pair == 0 ? 0 : 2 * pair - 1;
        const int selected = pair == 0 ? 0 : 2 * pair;
        if (normal < images.size()) icon.addPixmap(images[normal], QIcon::Normal);
        if (selected < images.size()) icon.addPixmap(images[selected], QIcon::Selected);
        icons_.push_back(icon);
    }
}

void CFolderTreeModel::SetTree(const CheckTree* tree, const Catalogue* catalogue) {
    beginResetModel();
    tree_ = tree;
    catalogue_ = catalogue;
    rootShown_.clear();
    if (tree_ && hidesSystem_) {
        for (const FolderNode node : tree_->SubFolders(CheckTree::kRootNode))
            if (!IsSystemFolder(node)) rootShown_.push_back(node);
    }
    endResetModel();
}

bool CFolderTreeModel::IsSystemFolder(FolderNode node) const {
    const auto position = tree_->FolderPosition(node);
    return position && catalogue_ &&
           IsSystemEntry(*catalogue_, tree_->Placed()[*position].catalogueIndex);
}

std::span<const CFolderTreeModel::FolderNode> CFolderTreeModel::ShownSubFolders(
    FolderNode node) const {
    if (node == CheckTree::kRootNode && hidesSystem_) return rootShown_;
    return tree_->SubFolders(node);
}

void CFolderTreeModel::SetHidesSystem(bool hide) {
    if (hide == hidesSystem_) return;
    if (!tree_) {
        hidesSystem_ = hide;
        return;
    }
    // Rows go and come one at a time, so that what is open and chosen in the tree stays.
    const QModelIndex root = IndexOf(CheckTree::kRootNode);
    const auto all = tree_->SubFolders(CheckTree::kRootNode);
    if (hide) {
        rootShown_.assign(all.begin(), all.end());
        hidesSystem_ = true;
        for (std::size_t row = rootShown_.size(); row-- > 0;) {
            if (!IsSystemFolder(rootShown_[row])) continue;
            beginRemoveRows(root, static_cast<int>(row), static_cast<int>(row));
            rootShown_.erase(rootShown_.begin() + static_cast<std::ptrdiff_t>(row));
            endRemoveRows();
        }
        return;
    }
    for (std::size_t row = 0; row < all.size(); ++row) {
        if (!IsSystemFolder(all[row])) continue;
        beginInsertRows(root, static_cast<int>(row), static_cast<int>(row));
        rootShown_.insert(rootShown_.begin() + static_cast<std::ptrdiff_t>(row), all[row]);
        endInsertRows();
    }
    hidesSystem_ = false;
    rootShown_.clear();
}

QModelIndex CFolderTreeModel::IndexOf(FolderNode node) const {
    if (!tree_ || node >= tree_->FolderNodeCount()) return {};
    std::size_t row = tree_->IndexInParent(node);
    if (hidesSystem_ && tree_->ParentFolder(node) == CheckTree::kRootNode) {
        const auto at = std::find(rootShown_.begin(), rootShown_.end(), node);
        if (at == rootShown_.end()) return {};
        row = static_cast<std::size_t>(at - rootShown_.begin());
    }
    return createIndex(static_cast<int>(row), 0, quintptr{node});
}

CFolderTreeModel::FolderNode CFolderTreeModel::NodeOf(const QModelIndex& index) const {
    return index.isValid() ? static_cast<FolderNode>(index.internalId()) : CheckTree::kRootNode;
}

void CFolderTreeModel::MarksChanged() {
    // Every mark is read afresh from the entries; the views repaint what they show.
    if (tree_)
        emit dataChanged(IndexOf(CheckTree::kRootNode), IndexOf(CheckTree::kRootNode),
                         {Qt::CheckStateRole});
}

QModelIndex CFolderTreeModel::index(int row, int column, const QModelIndex& parent) const {
    if (!tree_ || column != 0 || row < 0) return {};
    if (!parent.isValid()) return row == 0 ? IndexOf(CheckTree::kRootNode) : QModelIndex();
    const auto subFolders = ShownSubFolders(NodeOf(parent));
    if (static_cast<std::size_t>(row) >= subFolders.size()) return {};
    return createIndex(row, 0, quintptr{subFolders[static_cast<std::size_t>(row)]});
}

QModelIndex CFolderTreeModel::parent(const QModelIndex& child) const {
    if (!tree_ || !child.isValid()) return {};
    const auto parentNode = tree_->ParentFolder(NodeOf(child));
    return parentNode ? IndexOf(*parentNode) : QModelIndex();
}

int CFolderTreeModel::rowCount(const QModelIndex& parent) const {
    if (!tree_) return 0;
    if (!parent.isValid()) return 1;
    return static_cast<int>(ShownSubFolders(NodeOf(parent)).size());
}

bool CFolderTreeModel::hasChildren(const QModelIndex& parent) const {
    return rowCount(parent) > 0;
}

int CFolderTreeModel::columnCount(const QModelIndex&) const {
    return 1;
}

int CFolderTreeModel::ImageOf(FolderNode node) const {
    const auto position = tree_ ? tree_->FolderPosition(node) : std::nullopt;
    if (!position) return 0;
    const CatalogueEntry& entry = catalogue_->At(tree_->Placed()[*position].catalogueIndex);
    if (entry.IsDeleted()) return 3;
    if (entry.IsMadeUp()) return 5;
    return 1;
}

QVariant CFolderTreeModel::data(const QModelIndex& index, int role) const {
    if (!tree_ || !index.isValid()) return {};
    const FolderNode node = NodeOf(index);
    switch (role) {
        case Qt::DisplayRole: {
            const auto position = tree_->FolderPosition(node);
            if (!position) return QStringLiteral("Root");
            const CatalogueEntry& entry = catalogue_->At(tree_->Placed()[*position].catalogueIndex);
            return QString::fromUtf8(entry.Name().data(),
                                     static_cast<qsizetype>(entry.Name().size()));
        }
        case Qt::DecorationRole:
            return icons_[static_cast<std::size_t>((ImageOf(node) + 1) / 2)];
        case Qt::CheckStateRole:
            return CheckStateOf(tree_->FolderMark(node));
        default:
            return {};
    }
}

Qt::ItemFlags CFolderTreeModel::flags(const QModelIndex& index) const {
    // Boxes are clicked through the view, which asks the session; the delegate itself
    // never changes a mark.
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

// ---------------------------------------------------------------- CFileListModel

CFileListModel::CFileListModel(QObject* parent) : QAbstractTableModel(parent) {
    SetIconSize(16);
}

void CFileListModel::SetIconSize(int size) {
    iconSize_ = size;
    icons_ = ListIcons(size);
    if (!rows_.empty())
        emit dataChanged(index(0, 0), index(rowCount() - 1, 0), {Qt::DecorationRole});
}

void CFileListModel::SetTree(const CheckTree* tree, const Catalogue* catalogue) {
    beginResetModel();
    tree_ = tree;
    catalogue_ = catalogue;
    rows_.clear();
    folder_ = CheckTree::kRootNode;
    endResetModel();
}

void CFileListModel::Fill(CheckTree::FolderNode node) {
    beginResetModel();
    folder_ = node;
    rows_.clear();
    if (tree_) {
        const auto rows = tree_->Rows(node);
        rows_.assign(rows.begin(), rows.end());
    }
    endResetModel();
}

void CFileListModel::FillRows(std::vector<std::size_t> positions) {
    beginResetModel();
    rows_ = std::move(positions);
    endResetModel();
}

void CFileListModel::Clear() {
    beginResetModel();
    rows_.clear();
    endResetModel();
}

CatalogueEntry CFileListModel::EntryOf(int row) const {
    return catalogue_->At(tree_->Placed()[PositionOf(row)].catalogueIndex);
}

void CFileListModel::MarksChanged() {
    if (!rows_.empty())
        emit dataChanged(index(0, 0), index(rowCount() - 1, 0), {Qt::CheckStateRole});
}

int CFileListModel::IconOf(const CatalogueEntry& entry) {
    if (entry.IsDirectory()) {
        if (entry.IsMadeUp()) return 4;
        return entry.IsDeleted() ? 2 : 0;
    }
    return entry.IsDeleted() ? 3 : 1;
}

QString CFileListModel::ColumnText(const CatalogueEntry& entry, int column) {
    switch (column) {
        case kName:
            return QString::fromUtf8(entry.Name().data(),
                                     static_cast<qsizetype>(entry.Name().size()));
        case kType:
            return entry.IsDirectory() ? QStringLiteral("Dir") : QStringLiteral("File");
        case kSize:
            if (entry.IsDirectory()) return {};
            return SizeText(entry.size);
        case kDate:
            return LocalTimeText(entry.creationTime);
        case kModified:
            return LocalTimeText(entry.modificationTime);
        case kFileId:
            return QString::number(std::uint32_t{entry.number});
        case kParentId:
            return QString::number(std::uint32_t{entry.parent});
        default:
            return {};
    }
}

int CFileListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int CFileListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumnCount;
}

QVariant CFileListModel::data(const QModelIndex& index, int role) const {
    if (!tree_ || !index.isValid() || static_cast<std::size_t>(index.row()) >= rows_.size())
        return {};
    const CatalogueEntry& entry = EntryOf(index.row());
    const std::size_t catalogueIndex = tree_->Placed()[PositionOf(index.row())].catalogueIndex;
    switch (role) {
        case Qt::DisplayRole:
            if (index.column() == kCondition) return ConditionText(catalogueIndex);
            if (index.column() == kVersions) {
                const std::size_t count = VersionCount(catalogueIndex);
                return count == 0 ? QString() : QString::number(count);
            }
            return ColumnText(entry, index.column());
        case Qt::ToolTipRole:
            if (index.column() == kSize && !entry.IsDirectory())
                return QLocale().toString(qulonglong{entry.size}) + QStringLiteral(" bytes");
            if (index.column() == kVersions && versions_)
                return QString::fromStdString(
                    VersionMarks::Describe(versions_->Of(catalogueIndex), entry.IsDirectory()));
            if (index.column() != kCondition) return {};
            return ConditionTip(catalogueIndex);
        case Qt::DecorationRole: {
            if (index.column() != kName) return {};
            const ConditionTable* weighed = session_ ? session_->MadeConditions() : nullptr;
            std::optional<FileCondition> condition;
            if (weighed && catalogueIndex < weighed->Count())
                condition = weighed->Condition(catalogueIndex).condition;
            return TypeIcon(entry, condition, iconSize_, icons_.value(IconOf(entry)));
        }
        case Qt::CheckStateRole:
            if (index.column() != kName) return {};
            return CheckStateOf(tree_->MarkOf(PositionOf(index.row())));
        case Qt::TextAlignmentRole:
            return QVariant::fromValue((index.column() <= kType || index.column() == kCondition
                                            ? Qt::AlignLeft
                                            : Qt::AlignRight) |
                                       Qt::AlignVCenter);
        default:
            return {};
    }
}

QVariant CFileListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    static const char* const kHeadings[kColumnCount] = {"Name",      "Type",      "Size",
                                                        "Created",   "Modified",  "File Id",
                                                        "Parent Id", "Condition", "Versions"};
    if (orientation != Qt::Horizontal || section < 0 || section >= kColumnCount) return {};
    if (role == Qt::DisplayRole) return QString::fromLatin1(kHeadings[section]);
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(
            (section <= kType || section == kCondition ? Qt::AlignLeft : Qt::AlignRight) |
            Qt::AlignVCenter);
    return {};
}

void CFileListModel::SetVersionMarks(const VersionMarks* marks) {
    versions_ = marks;
    if (!rows_.empty())
        emit dataChanged(index(0, kVersions), index(rowCount() - 1, kVersions),
                         {Qt::DisplayRole, Qt::ToolTipRole});
}

std::size_t CFileListModel::VersionCount(std::size_t catalogueIndex) const {
    return versions_ ? versions_->Of(catalogueIndex).size() : 0;
}

QString CFileListModel::ConditionText(std::size_t catalogueIndex) const {
    const ConditionTable* table = session_ ? session_->MadeConditions() : nullptr;
    if (table == nullptr || catalogueIndex >= table->Count()) return {};
    switch (table->Condition(catalogueIndex).condition) {
        case FileCondition::kIntact:
            return QStringLiteral("Intact");
        case FileCondition::kPartlyOverwritten:
            return QStringLiteral("Partly overwritten");
        case FileCondition::kOverwritten:
            return QStringLiteral("Overwritten");
        case FileCondition::kUnknown:
            return QStringLiteral("Unknown");
        case FileCondition::kPartlyUnreadable:
            return QStringLiteral("Partly unreadable");
        case FileCondition::kUnreadable:
            return QStringLiteral("Unreadable");
        case FileCondition::kNotApplicable:
            break;
    }
    return {};
}

// Intact first, then partly overwritten, partly unreadable, overwritten, unreadable and
// unknown; folders last.
std::int64_t CFileListModel::ConditionRank(std::size_t row) const {
    const ConditionTable* table = session_ ? session_->MadeConditions() : nullptr;
    const std::size_t at = tree_->Placed()[PositionOf(static_cast<int>(row))].catalogueIndex;
    if (table == nullptr || at >= table->Count()) return 0;
    switch (table->Condition(at).condition) {
        case FileCondition::kIntact:
            return 1;
        case FileCondition::kPartlyOverwritten:
            return 2;
        case FileCondition::kPartlyUnreadable:
            return 3;
        case FileCondition::kOverwritten:
            return 4;
        case FileCondition::kUnreadable:
            return 5;
        case FileCondition::kUnknown:
            return 6;
        case FileCondition::kNotApplicable:
            break;
    }
    return 7;
}

QString CFileListModel::ConditionTip(std::size_t catalogueIndex) const {
    if (session_ == nullptr) return {};
    return QString::fromStdString(session_->ConditionReason(catalogueIndex));
}

Qt::ItemFlags CFileListModel::flags(const QModelIndex& index) const {
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

namespace {

// Sizes are 64-bit; one past what the sort key holds sorts as the largest.
std::int64_t SizeKey(const CatalogueEntry& entry) {
    const std::uint64_t size = entry.size;
    return static_cast<std::int64_t>(std::min<std::uint64_t>(size, INT64_MAX));
}

template <typename T>
int Order(T a, T b) {
    return a < b ? -1 : (b < a ? 1 : 0);
}

}  // namespace

void CFileListModel::sort(int column, Qt::SortOrder order) {
    if (!tree_ || column < 0 || column >= kColumnCount || rows_.size() < 2) return;
    emit layoutAboutToBeChanged();
    const QModelIndexList before = persistentIndexList();
    const std::vector<std::size_t> rowOrder = SortedRows(column, order == Qt::AscendingOrder);
    const std::size_t count = rows_.size();
    std::vector<std::size_t> sorted(count);
    std::vector<int> newRowOf(count);
    for (std::size_t k = 0; k < count; ++k) {
        sorted[k] = rows_[rowOrder[k]];
        newRowOf[rowOrder[k]] = static_cast<int>(k);
    }
    rows_ = std::move(sorted);
    // Selection and current row follow their entries.
    QModelIndexList after;
    for (const QModelIndex& old : before)
        after << index(newRowOf[static_cast<std::size_t>(old.row())], old.column());
    changePersistentIndexList(before, after);
    emit layoutChanged();
}

std::vector<std::int64_t> CFileListModel::ValueKeys(int column) const {
    std::vector<std::int64_t> values;
    values.reserve(rows_.size());
    for (std::size_t k = 0; k < rows_.size(); ++k) {
        const CatalogueEntry& entry = EntryOf(static_cast<int>(k));
        if (column == kSize) values.push_back(SizeKey(entry));
        if (column == kDate) values.push_back(std::int64_t(std::uint64_t{entry.creationTime} >> 1));
        if (column == kModified)
            values.push_back(std::int64_t(std::uint64_t{entry.modificationTime} >> 1));
        if (column == kFileId) values.push_back(std::int64_t{entry.number});
        if (column == kParentId) values.push_back(std::int64_t{entry.parent});
        if (column == kCondition) values.push_back(ConditionRank(k));
        if (column == kVersions)
            values.push_back(static_cast<std::int64_t>(
                VersionCount(tree_->Placed()[PositionOf(static_cast<int>(k))].catalogueIndex)));
    }
    return values;
}

std::vector<std::size_t> CFileListModel::SortedRows(int column, bool ascending) const {
    // Keys are taken once per row; the sort moves row numbers k into `order`. Folders
    // stay above files in either direction, and rows of equal keys keep their order.
    const std::size_t count = rows_.size();
    std::vector<std::size_t> order(count);
    std::vector<char> folder(count);
    for (std::size_t k = 0; k < count; ++k) {
        order[k] = k;
        folder[k] = EntryOf(static_cast<int>(k)).IsDirectory() ? 1 : 0;
    }
    std::function<int(std::size_t, std::size_t)> compare;
    std::vector<QString> texts;
    std::vector<std::int64_t> values;
    if (column == kName || column == kType) {
        texts.reserve(count);
        for (std::size_t k = 0; k < count; ++k)
            texts.push_back(ColumnText(EntryOf(static_cast<int>(k)), column));
        compare = [&texts](std::size_t a, std::size_t b) {
            return NaturalCompare(texts[a], texts[b]);
        };
    } else {
        values = ValueKeys(column);
        compare = [&values](std::size_t a, std::size_t b) { return Order(values[a], values[b]); };
    }
    // Equal keys keep the order they had (the row numbers decide), which std::sort
    // reaches faster than a stable sort over rows spread across the catalogue.
    std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        if (folder[a] != folder[b]) return folder[a] > folder[b];
        const int key = compare(a, b);
        if (key != 0) return ascending ? key < 0 : key > 0;
        return a < b;
    });
    return order;
}

}  // namespace tarvik
