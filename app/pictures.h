#pragma once
// The program's pictures, from the resource file, by resource number or by strip.
#include <QIcon>
#include <QList>
#include <QPixmap>

namespace tarvik {

// A bitmap or icon by resource number (181 splash, 200 About, 179 scanning, 128 program
// icon, 134 status icon, 172 selection lists); a null pixmap for an unknown number.
QPixmap Picture(int resourceId);

// The program's icon in its sizes, for windows and the desktop.
QIcon ProgramIcon();

// The toolbar's button `index` (0 to 8), drawn at 1x, 1.5x and 2x.
QIcon ToolbarIcon(int index);

// The folder tree's seven 16 x 16 images: disk, folder, open folder, deleted folder
// (red cross), deleted open folder (blue cross), made-up folder, made-up open folder.
QList<QPixmap> TreeImages();

// The file list's icons (folder, file, deleted folder, deleted file, made-up folder) at
// 16 or 32 pixels.
QList<QPixmap> ListIcons(int size);

}  // namespace tarvik
