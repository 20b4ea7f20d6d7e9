#include "QrSymbol.h"

#include "Log.h"

#include <QPainter>
#include <QRectF>

#include <cmath>

#include <qrencode.h>

QrSymbol::QrSymbol(const QString& text)
{
    if (text.isEmpty())
        return;
    const QByteArray bytes = text.toUtf8();
    m_code = QRcode_encodeString(bytes.constData(), 0, QR_ECLEVEL_L, QR_MODE_8, 1);
    if (!m_code)
        LogPrint(LOG_GENERAL, "QrSymbol: no symbol for a text of %d bytes", int(bytes.size()));
}

QrSymbol::~QrSymbol()
{
    if (m_code)
        QRcode_free(m_code);
}

int QrSymbol::Width() const
{
    return m_code ? m_code->width : 0;
}

bool QrSymbol::IsDark(int row, int column) const
{
    const int n = Width();
    if (row < 0 || column < 0 || row >= n || column >= n)
        return false;
    return m_code->data[row * n + column] & 1;
}

void QrSymbol::Paint(QPainter& painter, const QRectF& rect) const
{
    painter.setPen(Qt::NoPen);
    painter.fillRect(rect, Qt::white);
    const int n = Width();
    if (n < 1)
        return;
    painter.setBrush(QBrush(Qt::black, Qt::SolidPattern));
    // Module edges on whole dots, without smoothing: antialiased squares at fractional
    // positions leave light seams between dark neighbours that scanners trip over.
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    const double m = rect.width() / n;
    const auto edgeX = [&](int c) { return int(std::lround(rect.x() + c * m)); };
    const auto edgeY = [&](int r) { return int(std::lround(rect.y() + r * m)); };
    for (int r = 0; r < n; ++r) {
        for (int c = 0; c < n; ++c) {
            if (IsDark(r, c))
                painter.fillRect(QRect(QPoint(edgeX(c), edgeY(r)), QPoint(edgeX(c + 1) - 1, edgeY(r + 1) - 1)),
                                 Qt::black);
        }
    }
    painter.restore();
}
