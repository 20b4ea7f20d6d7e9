#include "QrSymbol.h"

#include "Log.h"

#include <QPainter>
#include <QRectF>

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
    const double m = rect.width() / n;
    for (int r = 0; r < n; ++r) {
        for (int c = 0; c < n; ++c) {
            if (IsDark(r, c))
                painter.fillRect(QRectF(rect.x() + c * m, rect.y() + r * m, m, m), Qt::black);
        }
    }
}
