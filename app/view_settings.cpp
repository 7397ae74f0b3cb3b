#include "app/view_settings.h"

#include <QHeaderView>
#include <QSettings>
#include <QSplitter>
#include <QTreeView>

#include "app/browse/left_view.h"
#include "app/browse/tarvik_view.h"
#include "app/main_frame.h"
#include "app/tarvik_app.h"

namespace tarvik {

namespace {

// The keys; the header's carries its column count, so a list with other columns
// starts from its defaults instead of taking widths meant for different columns.
constexpr const char* kGeometryKey = "window/geometry";
constexpr const char* kWindowStateKey = "window/state";
constexpr const char* kSplitterKey = "window/splitter";
constexpr const char* kListStyleKey = "list/style";
constexpr const char* kSortDirectionKey = "list/sortDirection";
constexpr const char* kDestinationKey = "folders/destination";
constexpr const char* kImageFolderKey = "folders/image";

// The header and the sort column are kept per set of columns: those of a list of other
// columns would land on the wrong ones.
QString HeaderKey() {
    return QStringLiteral("list/header%1").arg(CFileListModel::kColumnCount);
}
QString SortColumnKey() {
    return QStringLiteral("list/sortColumn%1").arg(CFileListModel::kColumnCount);
}

}  // namespace

void RestoreViewSettings(CMainFrame& frame, CTarvikApp& app) {
    const QSettings settings;
    if (settings.contains(kGeometryKey))
        frame.restoreGeometry(settings.value(kGeometryKey).toByteArray());
    if (settings.contains(kWindowStateKey))
        frame.restoreState(settings.value(kWindowStateKey).toByteArray());
    if (settings.contains(kSplitterKey))
        frame.Splitter()->restoreState(settings.value(kSplitterKey).toByteArray());
    CTarvikView* list = frame.ListView();
    if (!list) return;
    bool ok = false;
    const int style = settings.value(kListStyleKey).toInt(&ok);
    if (ok && style >= static_cast<int>(ListViewStyle::LargeIcons) &&
        style <= static_cast<int>(ListViewStyle::Details))
        list->SetViewStyle(static_cast<ListViewStyle>(style));
    QHeaderView* header = list->DetailsView()->header();
    if (settings.contains(HeaderKey())) {
        header->restoreState(settings.value(HeaderKey()).toByteArray());
        // The name keeps taking the room the other columns leave.
        list->FitNameColumn();
    }
    const int column = settings.value(SortColumnKey(), -1).toInt();
    const int direction = settings.value(kSortDirectionKey, 1).toInt();
    if (column >= 0 && column < CFileListModel::kColumnCount &&
        (direction == 0 || direction == 1)) {
        app.State().sort.active = true;
        app.State().sort.column = column;
        app.State().sort.ascending = direction == 1;
        app.State().sort.clickAscending = direction == 1;
        list->ShowSortIndicator(column, direction == 1);
    } else {
        header->setSortIndicator(-1, Qt::AscendingOrder);
    }
}

void SaveViewSettings(const CMainFrame& frame, const CTarvikApp& app) {
    QSettings settings;
    settings.setValue(kGeometryKey, frame.saveGeometry());
    settings.setValue(kWindowStateKey, frame.saveState());
    settings.setValue(kSplitterKey, frame.Splitter()->saveState());
    CTarvikView* list = frame.ListView();
    if (!list) return;
    settings.setValue(kListStyleKey, static_cast<int>(list->ViewStyle()));
    settings.setValue(HeaderKey(), list->DetailsView()->header()->saveState());
    settings.setValue(SortColumnKey(), app.State().sort.active ? app.State().sort.column : -1);
    settings.setValue(kSortDirectionKey, app.State().sort.ascending ? 1 : 0);
}

QString LastDestinationFolder() {
    return QSettings().value(kDestinationKey).toString();
}

void RememberDestinationFolder(const QString& folder) {
    QSettings().setValue(kDestinationKey, folder);
}

QString LastImageFolder() {
    return QSettings().value(kImageFolderKey).toString();
}

void RememberImageFolder(const QString& folder) {
    QSettings().setValue(kImageFolderKey, folder);
}

}  // namespace tarvik
