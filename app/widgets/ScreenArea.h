#pragma once

#include <QRect>
#include <QSize>

class QWidget;

// The primary screen as the station's windows size and place themselves on it.
// Every window asks here rather than the platform, so that a test can put the
// whole station on a screen of another size; the station itself always sees the
// real screen.
class ScreenArea {
public:
    // The primary screen's whole area.
    static QRect Geometry();
    // Its area without the task bar and docks.
    static QRect Available();
    // The top-left corner that keeps a window of this frame on the available
    // area, as near to the asked position as it fits; a window larger than the
    // area keeps its top-left corner on it.
    static QPoint Clamp(const QRect& frame);
    // The height a window's frame adds to it: what the window system gave it
    // once shown, before that the style's title bar height as an estimate.
    static int FrameHeight(const QWidget* window);
    // A screen of this size in place of the real one, or the real screen again
    // for an empty size. Its available area is the part given (a task bar
    // takes the rest), the whole screen when none is.
    static void SetStandIn(const QSize& size, const QRect& available = QRect());

private:
    static QSize s_standIn;
    static QRect s_standInAvailable;
};
