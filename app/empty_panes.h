#pragma once
// The two panes the main frame shows before the folder tree and the file list views
// are plugged in: an empty tree and an empty list that already answers the View menu.
#include <QListWidget>
#include <QTreeWidget>

#include "app/file_list_pane.h"

namespace tarvik {

class CEmptyTreePane : public QTreeWidget {
    Q_OBJECT
  public:
    explicit CEmptyTreePane(QWidget* parent = nullptr);
};

class CEmptyListPane : public QListWidget, public FileListPane {
    Q_OBJECT
  public:
    explicit CEmptyListPane(QWidget* parent = nullptr);

    ListViewStyle ViewStyle() const override { return style_; }
    void SetViewStyle(ListViewStyle style) override;
    void ClearHotItem() override {}
    void SortRows(int column, int direction) override;

  private:
    ListViewStyle style_ = ListViewStyle::Details;
};

}  // namespace tarvik
