#pragma once

#include <QRect>
#include <QSize>

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
    // A screen of this size in place of the real one (both areas equal), or the
    // real screen again for an empty size.
    static void SetStandIn(const QSize& size);

private:
    static QSize s_standIn;
};
