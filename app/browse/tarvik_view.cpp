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
        Base::keyPressEvent(event);
        if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
            this->currentIndex().isValid())
            owner_.OpenRow(this->currentIndex().row());
    }
    void contextMenuEvent(QContextMenuEvent* event) override {
        // Only a point inside the rows' area opens the menu; a keyboard request has none.
        if (event->reason() == QContextMenuEvent::Keyboard ||
            !this->viewport()->rect().contains(event->pos()))
            return;
        owner_.ShowContextMenu(event->globalPos());
    }

  private:
    CTarvikView& owner_;
};

constexpr int kColumnWidths[CFileListModel::kColumnCount] = {100, 70, 80, 110, 80, 100, 120, 70};

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
    auto* checkStyle = new CCheckBoxStyle;
    checkStyle->setParent(this);
    for (QAbstractItemView* view :
         {static_cast<QAbstractItemView*>(details_), static_cast<QAbstractItemView*>(icons_)}) {
        view->setStyle(checkStyle);
        view->setItemDelegate(delegate_);
        view->setEditTriggers(QAbstractItemView::NoEditTriggers);
        view->setSelectionMode(QAbstractItemView::ExtendedSelection);
        view->setSelectionBehavior(QAbstractItemView::SelectRows);
        QPalette white = view->palette();
        white.setColor(QPalette::Base, Qt::white);
        view->setPalette(white);
    }
    details_->setObjectName("details");
    details_->setModel(model_);
    details_->setRootIsDecorated(false);
    details_->setUniformRowHeights(true);
    details_->setAllColumnsShowFocus(true);
    details_->setItemsExpandable(false);
    details_->setIconSize(QSize(16, 16));
    details_->header()->setSectionsClickable(true);
    details_->header()->setSortIndicatorShown(false);
    details_->header()->setStretchLastSection(false);
    for (int c = 0; c < CFileListModel::kColumnCount; ++c)
        details_->header()->resizeSection(c, kColumnWidths[c]);
    connect(details_->header(), &QHeaderView::sectionClicked, this, &CTarvikView::OnHeaderClick);
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
    app_.ViewsFilled = 1;
    model_->Fill(node);
    app_.ListFilled = 1;
    if (app_.SortActive == 1) model_->SortRows(app_.SortColumn, app_.SortDirection == 1);
    frame_.ShowTotals();
    frame_.UpdateToolbarState();
}

void CTarvikView::ResetList() {
    model_->Clear();
    app_.AnySelected = 0;
    app_.ListFilled = 0;
    app_.FindNextEnabled = 0;
    app_.DeletedFoldersPresent = 0;
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
    app_.SortActive = 1;
    // Every request flips the shared toggle; a new column also takes it as the direction
    // a refill re-sorts with.
    app_.SortToggle = app_.SortToggle == 0 ? 1 : 0;
    if (column != lastHeaderColumn_) app_.SortDirection = app_.SortToggle;
    lastHeaderColumn_ = column;
    app_.SortColumn = column;
    model_->SortRows(column, app_.SortToggle == 1);
}

void CTarvikView::SortRows(int column, int direction) {
    model_->SortRows(column, direction == 1);
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
    menu.insertAction(menu.actions().value(3), versions);
    menu.exec(globalPos);
}

}  // namespace tarvik
