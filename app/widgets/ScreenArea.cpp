#include "ScreenArea.h"

#include <QGuiApplication>
#include <QScreen>
#include <QStyle>
#include <QWidget>

QSize ScreenArea::s_standIn;
QRect ScreenArea::s_standInAvailable;

QRect ScreenArea::Geometry()
{
    if (!s_standIn.isEmpty())
        return QRect(QPoint(0, 0), s_standIn);
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->geometry() : QRect();
}

QRect ScreenArea::Available()
{
    if (!s_standIn.isEmpty())
        return s_standInAvailable.isEmpty() ? QRect(QPoint(0, 0), s_standIn) : s_standInAvailable;
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect();
}

QPoint ScreenArea::Clamp(const QRect& frame)
{
    const QRect area = Available();
    if (area.isEmpty())
        return frame.topLeft();
    const int x = qMax(area.left(), qMin(frame.left(), area.right() + 1 - frame.width()));
    const int y = qMax(area.top(), qMin(frame.top(), area.bottom() + 1 - frame.height()));
    return QPoint(x, y);
}

int ScreenArea::FrameHeight(const QWidget* window)
{
    const int known = window->frameGeometry().height() - window->height();
    if (known > 0 || window->windowFlags().testFlag(Qt::FramelessWindowHint))
        return known;
    return window->style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, window);
}

void ScreenArea::SetStandIn(const QSize& size, const QRect& available)
{
    s_standIn = size;
    s_standInAvailable = available;
}
