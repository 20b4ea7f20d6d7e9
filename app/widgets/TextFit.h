#pragma once

#include <QSize>
#include <QWidget>

class QFont;
class QLabel;

// The forms' fixed geometries suit the narrow Windows dialog font; with the
// wider fonts of other systems a caption would be cut. These let a label, check
// box or button take the room its text needs, keeping its top-left corner.
class TextFit {
public:
    // The size the control needs to show its whole text (a word-wrapped label:
    // its own width, and the height of its text broken at that width; a field:
    // its whole value).
    static QSize Needed(const QWidget* control);
    // Widens and heightens the control to what it needs, never past maxRight
    // (in its parent's coordinates) and never smaller than it is.
    static void Grow(QWidget* control, int maxRight = QWIDGETSIZE_MAX);
    // Grows a caption and, when it would then reach the control beside it (gap
    // pixels apart), moves that control's left edge right, keeping its right edge.
    static void GrowBefore(QWidget* caption, QWidget* next, int gap = 5);
    // The width of the longest word of a text; of a label's, with its margins.
    static int LongestWord(const QFont& font, const QString& text);
    static int LongestWord(const QLabel* label);
};
