#pragma once
// Top-level windows open no larger than the screen they appear on, whatever its size
// and scale, with room left for the window manager's frame.
#include <QSize>

class QWidget;

namespace tarvik {

// The size `wanted` cut to the available area of the window's screen (the primary one
// before the window has a screen), less a margin for the title bar and borders.
QSize FittedSize(const QWidget* window, QSize wanted);

// Resizes `window` to the fitted size and centres it on its screen's available area.
void FitToScreen(QWidget* window, QSize wanted);

}  // namespace tarvik
