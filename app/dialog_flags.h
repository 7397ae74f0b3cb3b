#pragma once
// The frame of the program's modal dialogs: a title and a close box, never the minimise
// and maximise buttons a window manager would otherwise add.
#include <Qt>

namespace tarvik {

inline constexpr Qt::WindowFlags kModalDialogFlags =
    Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint;

}  // namespace tarvik
