#include "ColumnFit.h"

#include "TextFit.h"

#include <QAbstractItemModel>
#include <QFontMetrics>
#include <QHeaderView>
#include <QStyle>

namespace {

QString HeaderText(const QHeaderView* header, int section)
{
    return header->model() ? header->model()->headerData(section, header->orientation()).toString() : QString();
}

int Margins(const QHeaderView* header)
{
    return 2 * header->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, header);
}

int Sum(const QVector<int>& values)
{
    int sum = 0;
    for (int v : values)
        sum += v;
    return sum;
}

}  // namespace

ColumnFit::ColumnFit(const QHeaderView* header, const QVector<int>& formWidths, int viewportWidth)
    : m_widths(formWidths)
{
    const int last = formWidths.size();
    for (bool byWord : {false, true}) {
        m_wrap = byWord;
        QVector<int> needs(last);
        for (int i = 0; i < last; ++i)
            needs[i] = TextNeeds(header, i, byWord);
        // The last column keeps its text; the others share the rest.
        if (Fit(formWidths, needs, viewportWidth - TextNeeds(header, last, byWord)))
            break;
    }
    m_lastNeeds = TextNeeds(header, last, m_wrap);
    m_headerHeight = header->sizeHint().height();
    if (!m_wrap)
        return;
    const int lastWidth = qMax(0, viewportWidth - Sum(m_widths));
    for (int i = 0; i <= last; ++i) {
        const int width = i < last ? m_widths[i] : lastWidth;
        m_headerHeight = qMax(m_headerHeight, LinesHeight(header, i, width) + Margins(header));
    }
}

bool ColumnFit::Fit(const QVector<int>& formWidths, const QVector<int>& needs, int room)
{
    // Each column takes the form's width scaled by s, but never less than its
    // text; s is the largest scale up to 1 whose widths fit the room.
    auto widthsAt = [&](double s) {
        QVector<int> widths(formWidths.size());
        for (int i = 0; i < widths.size(); ++i)
            widths[i] = qMax(needs[i], int(formWidths[i] * s));
        return widths;
    };
    m_widths = widthsAt(1.0);
    if (Sum(m_widths) <= room)
        return true;
    if (Sum(needs) > room) {
        m_widths = needs;
        return false;
    }
    double fits = 0.0;
    double tooWide = 1.0;
    for (int step = 0; step < 20; ++step) {
        const double s = (fits + tooWide) / 2;
        (Sum(widthsAt(s)) <= room ? fits : tooWide) = s;
    }
    m_widths = widthsAt(fits);
    return true;
}

void ColumnFit::Apply(QHeaderView* header) const
{
    // A stretched last section stays at least the default section size; the
    // default is what its text needs. Setting it resizes every section, so the
    // widths come after.
    header->setDefaultSectionSize(qMax(header->minimumSectionSize(), m_lastNeeds));
    for (int i = 0; i < m_widths.size(); ++i)
        header->resizeSection(i, m_widths[i]);
    header->setStretchLastSection(true);
    const Qt::Alignment wrapFlag{QFlag(Qt::TextWordWrap)};
    const Qt::Alignment alignment = header->defaultAlignment() & ~wrapFlag;
    header->setDefaultAlignment(m_wrap ? alignment | wrapFlag : alignment);
    if (m_wrap)
        header->setFixedHeight(m_headerHeight);
    else {
        header->setMinimumHeight(0);
        header->setMaximumHeight(QWIDGETSIZE_MAX);
    }
}

int ColumnFit::TextNeeds(const QHeaderView* header, int section, bool byWord) const
{
    const QString text = HeaderText(header, section);
    const int width = byWord ? TextFit::LongestWord(header->font(), text)
                             : QFontMetrics(header->font()).horizontalAdvance(text);
    return width + Margins(header);
}

int ColumnFit::LinesHeight(const QHeaderView* header, int section, int width) const
{
    const QFontMetrics fm(header->font());
    return fm.boundingRect(QRect(0, 0, qMax(1, width - Margins(header)), 1 << 20), Qt::TextWordWrap,
                           HeaderText(header, section))
        .height();
}
