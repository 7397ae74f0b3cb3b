#pragma once
// What the main frame asks of the right-hand pane of its splitter. The file list view
// implements it; until a view does, the frame treats the pane as having no file list.

namespace tarvik {

enum class ListViewStyle { LargeIcons, SmallIcons, List, Details };

class FileListPane {
  public:
    virtual ~FileListPane() = default;
    virtual ListViewStyle ViewStyle() const = 0;
    virtual void SetViewStyle(ListViewStyle style) = 0;
    // Forgets the row under the mouse, so a sort does not leave a stale highlight.
    virtual void ClearHotItem() = 0;
    // Sorts every row by a column (0 name, 1 type, 2 size ...).
    virtual void SortRows(int column, bool ascending) = 0;
};

}  // namespace tarvik
