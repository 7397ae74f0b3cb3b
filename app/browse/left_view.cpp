#include "app/browse/left_view.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QMouseEvent>
#include <QSettings>

#include "app/browse/find_dlg.h"
#include "app/browse/tarvik_view.h"
#include "app/main_frame.h"
#include "app/shell_dialogs.h"
#include "app/tarvik_app.h"
#include "scan/scan_engine.h"
#include "session/find_entry.h"
#include "session/recovery_session.h"

namespace tarvik {

namespace {

bool importantNoteShown = true;
constexpr const char* kHideImportantNoteKey = "notes/hideImportantNote";

}  // namespace

QRect CCheckDelegate::CheckRect(QStyleOptionViewItem option, const QModelIndex& index,
                                const QWidget* widget) const {
    initStyleOption(&option, index);
    if (!(option.features & QStyleOptionViewItem::HasCheckIndicator)) return {};
    const QStyle* style = widget ? widget->style() : QApplication::style();
    return style->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, widget);
}

CLeftView::CLeftView(CTarvikApp& app, CMainFrame& frame, QWidget* parent)
    : QTreeView(parent),
      app_(app),
      frame_(frame),
      model_(new CFolderTreeModel(this)),
      delegate_(new CCheckDelegate(this)) {
    setObjectName("CLeftView");
    setHeaderHidden(true);
    setRootIsDecorated(true);
    setUniformRowHeights(true);
    setItemDelegate(delegate_);
    setModel(model_);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setIconSize(QSize(16, 16));
}

CLeftView::~CLeftView() = default;

void CLeftView::SetImportantNoteShown(bool shown) {
    importantNoteShown = shown;
}

const CheckTree* CLeftView::Tree() const {
    return model_->Tree();
}

CheckTree* CLeftView::MutableTree() const {
    // The model reads the session's tree; marks change only through the session.
    return Tree() ? &app_.Session->Checks() : nullptr;
}

void CLeftView::BuildTree() {
    RecoverySession& session = *app_.Session;
    if (!session.HasDrive()) return;
    if (importantNoteShown && !session.Engine().advanceSearched() &&
        !QSettings().value(kHideImportantNoteKey).toBool()) {
        CImportantNoteDlg note(this);
        note.exec();
        if (note.DontShowAgain()) QSettings().setValue(kHideImportantNoteKey, true);
    }
    QApplication::setOverrideCursor(Qt::WaitCursor);
    model_->SetTree(&session.Checks(), &session.GetCatalogue());
    if (list_) {
        list_->Model()->SetConditionSource(&session);
        list_->SetTree(&session.Checks(), &session.GetCatalogue());
    }
    QApplication::restoreOverrideCursor();
    const CheckTree& tree = session.Checks();
    for (FolderNode node = 1; node < tree.FolderNodeCount(); ++node)
        if (model_->ImageOf(node) == 3) app_.State().panes.deletedFoldersPresent = true;
    const QModelIndex root = model_->IndexOf(CheckTree::kRootNode);
    expand(root);
    setCurrentIndex(root);
    frame_.SetRootTreeItem(QPersistentModelIndex(root));
    RecountSelection();
}

void CLeftView::ClearTree() {
    model_->SetTree(nullptr, nullptr);
    if (list_) {
        list_->Model()->SetConditionSource(nullptr);
        list_->SetTree(nullptr, nullptr);
    }
    frame_.SetRootTreeItem(QPersistentModelIndex());
}

void CLeftView::ApplyFolderCheck(const QModelIndex& item, int mode) {
    CheckTree* tree = MutableTree();
    if (!tree || !item.isValid()) return;
    const FolderNode node = model_->NodeOf(item);
    const bool checked = tree->FolderMark(node) != CheckMark::kUnchecked;
    if (mode == 0) {
        tree->ToggleFolder(node);
    } else if (node == CheckTree::kRootNode) {
        tree->SetAllChecked(mode == 1);
    } else if (mode == 1 || (mode == 2 && checked)) {
        tree->SetChecked(*tree->FolderPosition(node), mode == 1);
    }
    RecountSelection();
}

void CLeftView::RecountSelection() {
    const CheckTree* tree = Tree();
    const SelectionTotals totals = tree ? tree->Totals() : SelectionTotals{};
    app_.State().checked.files = totals.files;
    app_.State().checked.folders = totals.folders;
    app_.State().checked.bytes = totals.bytes;
    // Recover Selected Files is usable exactly while something would be written.
    app_.State().checked.any = tree && tree->AnyChecked();
    app_.State().checked.all = tree && tree->RootMark() == CheckMark::kChecked;
    model_->MarksChanged();
    viewport()->update();
    if (list_) list_->MarksChanged();
    frame_.ShowSelectedTotals();
    frame_.UpdateToolbarState();
}

void CLeftView::OnListCheckChanged() {
    RecountSelection();
}

void CLeftView::SelectNode(FolderNode node) {
    const QModelIndex index = model_->IndexOf(node);
    if (!index.isValid()) return;
    for (QModelIndex above = index; above.isValid(); above = above.parent()) expand(above);
    setCurrentIndex(index);
    scrollTo(index);
}

bool CLeftView::OpenChildFolder(std::size_t position) {
    const CheckTree* tree = Tree();
    if (!tree) return false;
    const auto node = tree->NodeAt(position);
    if (!node) return false;
    SelectNode(*node);
    return true;
}

bool CLeftView::SelectFolderById(std::uint32_t number) {
    const CheckTree* tree = Tree();
    if (!tree) return false;
    const auto node = tree->LastNodeWithNumber(number);
    if (!node) return false;
    SelectNode(*node);
    return true;
}

CLeftView::FolderNode CLeftView::SelectedNode() const {
    return model_->NodeOf(currentIndex());
}

void CLeftView::ShowFoundEntry(std::size_t index) {
    const CheckTree* tree = Tree();
    if (!tree || index >= app_.Session->GetCatalogue().Count()) return;
    app_.State().find.lastMatch = index;
    // The folder that lists the entry: with two folders of one number only one of them
    // holds it, and selecting by number could show the other, empty one.
    if (const auto holder = tree->HolderOf(tree->PositionOfIndex(index))) SelectNode(*holder);
    const CatalogueEntry& entry = app_.Session->GetCatalogue().At(index);
    if (list_)
        list_->MarkFoundRow(
            QString::fromUtf8(entry.Name().data(), static_cast<qsizetype>(entry.Name().size())));
}

void CLeftView::FindNext(std::optional<std::size_t> last) {
    if (!Tree()) return;
    const FindOptions& options = app_.State().find.options;
    const std::size_t from = last ? *last + 1 : 0;
    const auto found = FindEntry(app_.Session->GetCatalogue(), app_.State().find.text.toStdString(),
                                 options, from);
    if (found) {
        ShowFoundEntry(*found);
        return;
    }
    QMessageBox::information(nullptr, kSearchFailureCaption, kNoMoreText);
    app_.State().find.nextEnabled = false;
    frame_.UpdateToolbarState();
}

QRect CLeftView::CheckRectOf(const QModelIndex& index) const {
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    option.rect = visualRect(index);
    return delegate_->CheckRect(option, index, this);
}

void CLeftView::mousePressEvent(QMouseEvent* event) {
    const QModelIndex index = indexAt(event->position().toPoint());
    if (event->button() == Qt::LeftButton && index.isValid() &&
        CheckRectOf(index).contains(event->position().toPoint())) {
        // A click on a box is the box's alone: the item is not selected.
        ApplyFolderCheck(index, 0);
        event->accept();
        return;
    }
    QTreeView::mousePressEvent(event);
}

void CLeftView::keyPressEvent(QKeyEvent* event) {
    const bool plain = (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
    if (plain && event->key() == Qt::Key_Space && currentIndex().isValid()) {
        ApplyFolderCheck(currentIndex(), 0);
        event->accept();
        return;
    }
    if (plain && event->key() == Qt::Key_Backspace) {
        OpenParentFolder();
        event->accept();
        return;
    }
    QTreeView::keyPressEvent(event);
}

void CLeftView::OpenParentFolder() {
    const QModelIndex above = currentIndex().parent();
    if (!above.isValid()) return;
    setCurrentIndex(above);
    scrollTo(above);
}

void CLeftView::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
    QTreeView::currentChanged(current, previous);
    if (current.isValid() && list_) list_->FillList(model_->NodeOf(current));
}

}  // namespace tarvik
