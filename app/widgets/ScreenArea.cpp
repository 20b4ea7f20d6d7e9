#include "ScreenArea.h"

#include <QGuiApplication>
#include <QScreen>

QSize ScreenArea::s_standIn;

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
        return QRect(QPoint(0, 0), s_standIn);
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

void ScreenArea::SetStandIn(const QSize& size)
{
    s_standIn = size;
}
