#pragma once
// What the desktop program keeps between runs, in the user's settings file: the main
// window's geometry and splitter, the file list's style, column widths and sort, and
// the folders last chosen for recovered files and for disk images.
#include <QString>

namespace tarvik {

class CMainFrame;
class CTarvikApp;

// Puts back what SaveViewSettings kept; a setting never saved leaves its default.
void RestoreViewSettings(CMainFrame& frame, CTarvikApp& app);
void SaveViewSettings(const CMainFrame& frame, const CTarvikApp& app);

QString LastDestinationFolder();
void RememberDestinationFolder(const QString& folder);
QString LastImageFolder();
void RememberImageFolder(const QString& folder);

}  // namespace tarvik
