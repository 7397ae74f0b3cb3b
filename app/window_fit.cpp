#include "app/window_fit.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace tarvik {

namespace {

// Room kept for a frame the window manager adds outside the window's own size.
constexpr int kFrameWidth = 16;
constexpr int kFrameHeight = 48;

QRect AvailableArea(const QWidget* window) {
    QScreen* screen = window ? window->screen() : nullptr;
    if (!screen) screen = QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect();
}

}  // namespace

QSize FittedSize(const QWidget* window, QSize wanted) {
    const QRect area = AvailableArea(window);
    if (area.isEmpty()) return wanted;
    const QSize room(std::max(1, area.width() - kFrameWidth),
                     std::max(1, area.height() - kFrameHeight));
    QSize fitted = wanted.boundedTo(room);
    if (window) fitted = fitted.expandedTo(window->minimumSize()).boundedTo(room);
    return fitted;
}

void FitToScreen(QWidget* window, QSize wanted) {
    const QSize size = FittedSize(window, wanted);
    window->resize(size);
    const QRect area = AvailableArea(window);
    if (area.isEmpty()) return;
    window->move(area.x() + (area.width() - size.width() - kFrameWidth) / 2,
                 area.y() + (area.height() - size.height() - kFrameHeight) / 2 + kFrameHeight / 2);
}

}  // namespace tarvik
