#pragma once

#include <QVector>

class QHeaderView;

// The widths of a table's columns whose last column stretches: the form's
// widths when every header text fits on one line; else the fixed columns
// narrowed in proportion, not below their texts; else, when even that leaves
// the last column too narrow, every header broken at its blanks onto more lines
// and the header made taller to hold them.
class ColumnFit {
public:
    // formWidths: the form's widths of all columns but the last; viewportWidth:
    // the room the columns share.
    ColumnFit(const QHeaderView* header, const QVector<int>& formWidths, int viewportWidth);

    // Sets the section widths, the breaking of the texts and the header's height.
    void Apply(QHeaderView* header) const;
    int HeaderHeight() const { return m_headerHeight; }

private:
    // The widths for a room, false when even the texts' needs exceed it.
    bool Fit(const QVector<int>& formWidths, const QVector<int>& needs, int room);
    int TextNeeds(const QHeaderView* header, int section, bool byWord) const;
    int LinesHeight(const QHeaderView* header, int section, int width) const;

    QVector<int> m_widths;
    int m_lastNeeds = 0;
    bool m_wrap = false;
    int m_headerHeight = 0;
};
