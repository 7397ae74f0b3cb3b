#include "app/browse/tarvik_view.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <functional>

#include "app/browse/left_view.h"
#include "app/command_ids.h"
#include "app/control_id.h"
#include "app/main_frame.h"
#include "app/recover/previous_versions.h"
#include "app/tarvik_app.h"
#include "session/recovery_session.h"

namespace tarvik {

namespace {

// Both row views hand their mouse and key events to the file list: a press on a box
// (after the row is selected), a double click, Enter and a context menu request.
template <typename Base>
class CRowView : public Base {
  public:
    explicit CRowView(CTarvikView& owner) : Base(&owner), owner_(owner) {}

  protected:
    void mousePressEvent(QMouseEvent* event) override {
        Base::mousePressEvent(event);
        const QPoint point = event->position().toPoint();
        const QModelIndex index = this->indexAt(point);
        if (event->button() == Qt::LeftButton && index.isValid() &&
            owner_.CheckRectOf(index).contains(point))
            owner_.ToggleRow(index.row());
    }
    void mouseDoubleClickEvent(QMouseEvent* event) override {
        const QModelIndex index = this->indexAt(event->position().toPoint());
        if (index.isValid() && !owner_.CheckRectOf(index).contains(event->position().toPoint()))
            owner_.OpenRow(index.row());
        else
            Base::mouseDoubleClickEvent(event);
    }
    void keyPressEvent(QKeyEvent* event) override {
        const bool plain = (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
        // Space ticks the current row, Backspace goes up to the parent folder.
        if (plain && event->key() == Qt::Key_Space && this->currentIndex().isValid()) {
            owner_.ToggleRow(this->currentIndex().row());
            event->accept();
            return;
        }
        if (plain && event->key() == Qt::Key_Backspace) {
            owner_.OpenParentFolder();
            event->accept();
            return;
        }
        Base::keyPressEvent(event);
        if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
            this->currentIndex().isValid())
            owner_.OpenRow(this->currentIndex().row());
    }
    void contextMenuEvent(QContextMenuEvent* event) override {
        // The menu key opens the menu at the current row; a click only inside the rows.
        if (event->reason() == QContextMenuEvent::Keyboard) {
            const QRect row = this->visualRect(this->currentIndex());
            const QPoint at = row.isValid() ? row.bottomLeft() : QPoint(0, 0);
            owner_.ShowContextMenu(this->viewport()->mapToGlobal(at));
            return;
        }
        if (!this->viewport()->rect().contains(event->pos())) return;
        owner_.ShowContextMenu(event->globalPos());
    }

  private:
    CTarvikView& owner_;
};

// Starting widths; the name takes whatever room the others leave.
constexpr int kColumnWidths[CFileListModel::kColumnCount] = {100, 70,  80,  145, 145,
                                                             80,  100, 120, 70};

}  // namespace

CTarvikView::CTarvikView(CTarvikApp& app, CMainFrame& frame, QWidget* parent)
    : QWidget(parent),
      app_(app),
      frame_(frame),
      model_(new CFileListModel(this)),
      versions_(new CPreviousVersions(frame, *model_, this)),
      delegate_(new CCheckDelegate(this)),
      stack_(new QStackedLayout(this)),
      details_(new CRowView<QTreeView>(*this)),
      icons_(new CRowView<QListView>(*this)) {
    setObjectName("CTarvikView");
    for (QAbstractItemView* view :
         {static_cast<QAbstractItemView*>(details_), static_cast<QAbstractItemView*>(icons_)}) {
        view->setItemDelegate(delegate_);
        view->setEditTriggers(QAbstractItemView::NoEditTriggers);
        view->setSelectionMode(QAbstractItemView::ExtendedSelection);
        view->setSelectionBehavior(QAbstractItemView::SelectRows);
    }
    details_->setObjectName("details");
    details_->setModel(model_);
    details_->setRootIsDecorated(false);
    details_->setUniformRowHeights(true);
    details_->setAllColumnsShowFocus(true);
    details_->setItemsExpandable(false);
    details_->setIconSize(QSize(16, 16));
    QHeaderView* header = details_->header();
    header->setSectionsClickable(true);
    header->setSortIndicatorShown(true);
    header->setSortIndicator(-1, Qt::AscendingOrder);
    header->setStretchLastSection(false);
    header->setSectionsMovable(false);
    for (int c = 0; c < CFileListModel::kColumnCount; ++c)
        header->resizeSection(c, kColumnWidths[c]);
    header->setSectionResizeMode(CFileListModel::kName, QHeaderView::Stretch);
    connect(details_->header(), &QHeaderView::sectionClicked, this, &CTarvikView::OnHeaderClick);
    connect(header, &QHeaderView::sectionResized, this, [this](int column) {
        if (column != CFileListModel::kName) FitNameColumn();
    });
    details_->viewport()->installEventFilter(this);
    icons_->setObjectName("icons");
    icons_->setModel(model_);
    icons_->setSelectionModel(details_->selectionModel());
    icons_->setUniformItemSizes(true);
    icons_->setResizeMode(QListView::Adjust);
    icons_->setWrapping(true);
    stack_->addWidget(details_);
    stack_->addWidget(icons_);
    stack_->setCurrentWidget(details_);
}

int CTarvikView::NameRoom() const {
    return fontMetrics().averageCharWidth() * 28;
}

void CTarvikView::FitNameColumn() {
    QHeaderView* header = details_->header();
    int others = 0;
    for (int c = 0; c < header->count(); ++c)
        if (c != CFileListModel::kName && !header->isSectionHidden(c))
            others += header->sectionSize(c);
    const int room = details_->viewport()->width() - others;
    const bool stretch = room >= NameRoom();
    const auto mode = stretch ? QHeaderView::Stretch : QHeaderView::Interactive;
    if (header->sectionResizeMode(CFileListModel::kName) != mode)
        header->setSectionResizeMode(CFileListModel::kName, mode);
    if (!stretch && header->sectionSize(CFileListModel::kName) < NameRoom())
        header->resizeSection(CFileListModel::kName, NameRoom());
}

bool CTarvikView::eventFilter(QObject* watched, QEvent* event) {
    if (watched == details_->viewport() && event->type() == QEvent::Resize) FitNameColumn();
    return QWidget::eventFilter(watched, event);
}

QAbstractItemView* CTarvikView::RowView() const {
    return style_ == ListViewStyle::Details ? static_cast<QAbstractItemView*>(details_) : icons_;
}

void CTarvikView::SetTree(const CheckTree* tree, const Catalogue* catalogue) {
    versions_->Drop();
    model_->SetTree(tree, catalogue);
    if (tree != nullptr) versions_->Find(*app_.Session);
}

std::vector<std::string> CTarvikView::ChosenPaths() const {
    std::vector<std::string> paths;
    const CheckTree* tree = model_->Tree();
    if (tree == nullptr) return paths;
    for (const QModelIndex& row : RowView()->selectionModel()->selectedRows())
        paths.push_back(tree->PathOf(model_->PositionOf(row.row())));
    if (!paths.empty()) return paths;
    const auto folder = tree->FolderPosition(model_->Folder());
    paths.push_back(folder ? tree->PathOf(*folder) : std::string("Root"));
    return paths;
}

void CTarvikView::FillList(CheckTree::FolderNode node) {
    app_.State().panes.viewsFilled = true;
    model_->Fill(node);
    app_.State().panes.listFilled = true;
    if (app_.State().sort.active) SortRows(app_.State().sort.column, app_.State().sort.ascending);
    frame_.ShowTotals();
    frame_.UpdateToolbarState();
}

void CTarvikView::ResetList() {
    model_->Clear();
    app_.State().checked.any = false;
    app_.State().panes.listFilled = false;
    app_.State().find.nextEnabled = false;
    app_.State().panes.deletedFoldersPresent = false;
}

void CTarvikView::MarkFoundRow(const QString& name) {
    QAbstractItemView* view = RowView();
    int last = -1;
    for (int row = 0; row < model_->rowCount(); ++row) {
        if (QString::compare(model_->ColumnText(model_->EntryOf(row), CFileListModel::kName), name,
                             Qt::CaseInsensitive) != 0)
            continue;
        view->scrollTo(model_->index(row, 0));
        last = row;
    }
    if (last < 0) return;
    view->setCurrentIndex(model_->index(last, 0));
    view->scrollTo(model_->index(last, 0));
}

void CTarvikView::MarksChanged() {
    model_->MarksChanged();
    RowView()->viewport()->update();
}

void CTarvikView::OnHeaderClick(int column) {
    app_.State().sort.active = true;
    // Every request flips the shared toggle; a new column also takes it as the direction
    // a refill re-sorts with.
    app_.State().sort.clickAscending = !app_.State().sort.clickAscending;
    if (column != lastHeaderColumn_) app_.State().sort.ascending = app_.State().sort.clickAscending;
    lastHeaderColumn_ = column;
    app_.State().sort.column = column;
    SortRows(column, app_.State().sort.clickAscending);
}

void CTarvikView::SortRows(int column, bool ascending) {
    ShowSortIndicator(column, ascending);
    model_->sort(column, ascending ? Qt::AscendingOrder : Qt::DescendingOrder);
}

void CTarvikView::ShowSortIndicator(int column, bool ascending) {
    details_->header()->setSortIndicator(column,
                                         ascending ? Qt::AscendingOrder : Qt::DescendingOrder);
}

void CTarvikView::OpenParentFolder() {
    if (tree_) tree_->OpenParentFolder();
}

void CTarvikView::ToggleRow(int row) {
    if (row < 0 || row >= model_->rowCount() || !app_.Session->HasDrive()) return;
    app_.Session->Checks().ToggleEntry(model_->PositionOf(row));
    if (tree_) tree_->OnListCheckChanged();
}

void CTarvikView::OpenRow(int row) {
    if (row < 0 || row >= model_->rowCount() || !tree_) return;
    if (!model_->EntryOf(row).IsDirectory()) return;
    tree_->OpenChildFolder(model_->PositionOf(row));
}

void CTarvikView::SetViewStyle(ListViewStyle style) {
    style_ = style;
    const int iconSize = style == ListViewStyle::LargeIcons ? 32 : 16;
    model_->SetIconSize(iconSize);
    icons_->setIconSize(QSize(iconSize, iconSize));
    switch (style) {
        case ListViewStyle::LargeIcons:
            icons_->setViewMode(QListView::IconMode);
            icons_->setFlow(QListView::LeftToRight);
            icons_->setGridSize(QSize(96, 64));
            break;
        case ListViewStyle::SmallIcons:
            icons_->setViewMode(QListView::ListMode);
            icons_->setFlow(QListView::LeftToRight);
            icons_->setGridSize(QSize(160, 20));
            break;
        case ListViewStyle::List:
            icons_->setViewMode(QListView::ListMode);
            icons_->setFlow(QListView::TopToBottom);
            icons_->setGridSize(QSize(160, 20));
            break;
        case ListViewStyle::Details:
            break;
    }
    icons_->setWrapping(true);
    icons_->setMovement(QListView::Static);
    stack_->setCurrentWidget(style == ListViewStyle::Details ? static_cast<QWidget*>(details_)
                                                             : icons_);
}

QRect CTarvikView::CheckRectOf(const QModelIndex& index) const {
    if (!index.isValid()) return {};
    const QModelIndex first = index.siblingAtColumn(0);
    QAbstractItemView* view = RowView();
    QStyleOptionViewItem option;
    option.initFrom(view);
    option.rect = view->visualRect(first);
    if (view == icons_) {
        option.decorationPosition = icons_->viewMode() == QListView::IconMode
                                        ? QStyleOptionViewItem::Top
                                        : QStyleOptionViewItem::Left;
        option.displayAlignment = icons_->viewMode() == QListView::IconMode
                                      ? Qt::AlignHCenter | Qt::AlignTop
                                      : Qt::AlignLeft | Qt::AlignVCenter;
    }
    option.decorationSize = view->iconSize();
    option.features |= QStyleOptionViewItem::HasDisplay | QStyleOptionViewItem::HasDecoration;
    return delegate_->CheckRect(option, first, view);
}

void CTarvikView::ShowContextMenu(const QPoint& globalPos) {
    QMenu menu(this);
    // The highlighted row alone, ticked or not.
    const QModelIndex current = RowView()->currentIndex();
    QAction* recoverThis = menu.addAction("Recover &This");
    recoverThis->setObjectName("recoverThis");
    recoverThis->setEnabled(current.isValid());
    if (current.isValid()) {
        const std::size_t position = model_->PositionOf(current.row());
        connect(recoverThis, &QAction::triggered, &frame_,
                [this, position] { frame_.RecoverEntry(position); });
    }
    const std::pair<int, const char*> items[] = {{ID_RECOVER_SELECTED, "&Recover Selected"},
                                                 {ID_RECOVER_ALL, "&Recover All"},
                                                 {ID_RECOVER_DELETED, "&Recover Deleted Files"},
                                                 {0, nullptr},
                                                 {ID_VIEW_LARGEICON, "&View Large Icons"},
                                                 {ID_VIEW_SMALLICON, "&View Small Icons"},
                                                 {ID_VIEW_LIST, "&List"},
                                                 {ID_VIEW_DETAILS, "&Details"}};
    for (const auto& [id, text] : items) {
        if (!text) {
            menu.addSeparator();
            continue;
        }
        QAction* action = menu.addAction(text);
        SetControlId(action, id);
        const int command = id;
        connect(action, &QAction::triggered, &frame_,
                [this, command] { frame_.OnCommand(command); });
    }
    frame_.UpdateMenuState(&menu);
    // After the recover commands: the versions the shadow copies hold of the chosen rows.
    const std::vector<std::string> chosen = ChosenPaths();
    QAction* versions = new QAction("Recover &Previous Versions...", &menu);
    versions->setObjectName("recoverPreviousVersions");
    versions->setEnabled(versions_->AnyVersions(chosen));
    connect(versions, &QAction::triggered, this, [this, chosen] { versions_->Recover(chosen); });
    menu.insertAction(menu.actions().value(4), versions);
    menu.exec(globalPos);
}

}  // namespace tarvik
