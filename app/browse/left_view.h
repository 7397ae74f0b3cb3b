#pragma once
// The folder tree: "Root" and the scanned drive's folders, each with its check box. A
// click on a box asks the session's check tree to check or uncheck the folder with
// everything inside it; both views then repaint from the entries, and the selection
// totals are counted afresh, so the tree, the list and the recovery never disagree.
#include <QPointer>
#include <QStyledItemDelegate>
#include <QTreeView>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "app/browse/browse_models.h"
#include "app/browse/tarvik_view.h"

namespace tarvik {

class CMainFrame;
class CTarvikApp;
class CTarvikView;

// The box of an item as the delegate lays it out, for the views' hit tests.
class CCheckDelegate : public QStyledItemDelegate {
    Q_OBJECT
  public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QRect CheckRect(QStyleOptionViewItem option, const QModelIndex& index,
                    const QWidget* widget) const;
};

class CLeftView : public QTreeView {
    Q_OBJECT
  public:
    using FolderNode = CheckTree::FolderNode;

    CLeftView(CTarvikApp& app, CMainFrame& frame, QWidget* parent = nullptr);
    ~CLeftView() override;

    void SetListView(CTarvikView* list) { list_ = list; }
    CFolderTreeModel* Model() const { return model_; }

    // Shows the session's scanned drive: the Important Note after a normal scan, the
    // tree, Root expanded and selected (which fills the list).
    void BuildTree();
    void ClearTree();
    // The advice to try Advance Search, shown by BuildTree after a normal scan; tests
    // that build many trees turn it off.
    static void SetImportantNoteShown(bool shown);

    // mode 0 toggles the item's box, 1 checks, 2 unchecks, each with its whole subtree
    // and the folders above it.
    void ApplyFolderCheck(const QModelIndex& item, int mode);
    // After any change of marks: both views repaint, the totals and flags are recounted.
    void RecountSelection();
    // The list's row box was toggled (the session has the new marks already).
    void OnListCheckChanged();

    // Expands the tree down to a node and selects it (the list follows).
    void SelectNode(FolderNode node);
    // Selects the folder above the current one; nothing at Root.
    void OpenParentFolder();
    // The sub-folder shown at a list row, when the row is a folder with a tree item.
    bool OpenChildFolder(std::size_t position);
    // Root for 5; else the last folder with that number in a depth-first walk.
    bool SelectFolderById(std::uint32_t number);
    FolderNode SelectedNode() const;

    // Shows catalogue entry `index`: its folder selected, its row marked.
    void ShowFoundEntry(std::size_t index);
    // Continues the last search after catalogue index `last`.
    void FindNext(std::optional<std::size_t> last);

    // The box of a tree item in viewport coordinates.
    QRect CheckRectOf(const QModelIndex& index) const;

  protected:
    void mousePressEvent(QMouseEvent* event) override;
    // Space ticks the current folder's box; Backspace goes up a folder.
    void keyPressEvent(QKeyEvent* event) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;

  private:
    const CheckTree* Tree() const;
    CheckTree* MutableTree() const;

    CTarvikApp& app_;
    CMainFrame& frame_;
    QPointer<CTarvikView> list_;
    CFolderTreeModel* model_;
    CCheckDelegate* delegate_;
};

}  // namespace tarvik
