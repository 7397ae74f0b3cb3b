#pragma once
// The program's manual, an HTML page carried in the resource file, shown in its own
// window (Help Topics, F1).
#include <QWidget>

namespace tarvik {

// Shows the manual window, creating it on first use; returns it.
QWidget* ShowManual(QWidget* parent);

}  // namespace tarvik
