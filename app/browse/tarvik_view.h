#pragma once
// The file list: the entries of the folder selected in the tree, with seven columns,
// icons by kind, a check box per row (Space ticks the current one), sorting, a context
// menu (also on the menu key), the opening of a sub-folder by double click or Enter and
// of the parent folder by Backspace. Details show in a table; the icon and list styles in a list
// view over the same model and selection.
#include <QListView>
#include <QPointer>
#include <QStackedLayout>
#include <QTreeView>
#include <QWidget>
#include <cstddef>
#include <string>
#include <vector>

#include "app/browse/browse_models.h"
#include "app/file_list_pane.h"

namespace tarvik {

class CCheckDelegate;
class CLeftView;
class CMainFrame;
class CPreviousVersions;
class CTarvikApp;

class CTarvikView : public QWidget, public FileListPane {
    Q_OBJECT
  public:
    CTarvikView(CTarvikApp& app, CMainFrame& frame, QWidget* parent = nullptr);

    void SetTreeView(CLeftView* tree) { tree_ = tree; }
    CFileListModel* Model() const { return model_; }
    // The view now showing the rows (the table in details style, else the list).
    QAbstractItemView* RowView() const;
    QTreeView* DetailsView() const { return details_; }

    void SetTree(const CheckTree* tree, const Catalogue* catalogue);
    // The rows of a folder node, re-sorted as the last sort asked; the totals shown.
    void FillList(CheckTree::FolderNode node);
    void ResetList();
    // Every row whose name equals `name` ignoring case is scrolled to; the last one
    // stays current and selected.
    void MarkFoundRow(const QString& name);
    void MarksChanged();

    // A header click on a column, with its direction toggles.
    void OnHeaderClick(int column);
    // A click on row `row`'s box: the session toggles its entry.
    void ToggleRow(int row);
    // Double click or Enter on a row: a folder row opens in the tree.
    void OpenRow(int row);
    // Backspace: the folder above the one shown opens in the tree.
    void OpenParentFolder();
    // The header's arrow shows the sort: direction 1 ascending, 0 descending.
    void ShowSortIndicator(int column, bool ascending);

    // FileListPane
    ListViewStyle ViewStyle() const override { return style_; }
    void SetViewStyle(ListViewStyle style) override;
    void ClearHotItem() override {}
    void SortRows(int column, bool ascending) override;

    QRect CheckRectOf(const QModelIndex& index) const;
    void ShowContextMenu(const QPoint& globalPos);
    // The older versions of the shown drive's files, and the tree paths Recover Previous
    // Versions takes: the selected rows, or the folder shown when none is selected.
    CPreviousVersions& PreviousVersions() const { return *versions_; }
    std::vector<std::string> ChosenPaths() const;

    // The name takes the room the other columns leave, but never less than a name
    // needs: in a narrow window it keeps that width and the list scrolls sideways.
    void FitNameColumn();
    // The least width the name column is given.
    int NameRoom() const;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    CTarvikApp& app_;
    CMainFrame& frame_;
    QPointer<CLeftView> tree_;
    CFileListModel* model_;
    CPreviousVersions* versions_;
    CCheckDelegate* delegate_;
    QStackedLayout* stack_;
    QTreeView* details_;
    QListView* icons_;
    ListViewStyle style_ = ListViewStyle::Details;
    int lastHeaderColumn_ = -1;
};

}  // namespace tarvik
