#include "app/empty_panes.h"

namespace tarvik {

CEmptyTreePane::CEmptyTreePane(QWidget* parent) : QTreeWidget(parent) {
    setHeaderHidden(true);
    setRootIsDecorated(true);
}

CEmptyListPane::CEmptyListPane(QWidget* parent) : QListWidget(parent) {
    SetViewStyle(ListViewStyle::Details);
}

void CEmptyListPane::SetViewStyle(ListViewStyle style) {
    style_ = style;
    const bool icons = style == ListViewStyle::LargeIcons;
    setViewMode(icons ? QListView::IconMode : QListView::ListMode);
    setIconSize(icons ? QSize(32, 32) : QSize(16, 16));
    setFlow(style == ListViewStyle::List ? QListView::TopToBottom : QListView::LeftToRight);
    setWrapping(style != ListViewStyle::Details);
}

void CEmptyListPane::SortRows(int column, int direction) {
    if (column == 0) sortItems(direction == 0 ? Qt::AscendingOrder : Qt::DescendingOrder);
}

}  // namespace tarvik
