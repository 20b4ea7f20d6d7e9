#pragma once

#include <QString>

#include <qrencode.h>

class QPainter;
class QRectF;

// A QR symbol of a text (libqrencode: UTF-8 bytes, smallest version, level L,
// 8-bit mode, case-sensitive). Empty text, or text too long for any version,
// gives no symbol; drawing then paints only the white background.
class QrSymbol {
public:
    explicit QrSymbol(const QString& text);
    ~QrSymbol();
    QrSymbol(const QrSymbol&) = delete;
    QrSymbol& operator=(const QrSymbol&) = delete;

    bool IsValid() const { return m_code != nullptr; }
    // Modules per side; 0 without a symbol.
    int Width() const;
    bool IsDark(int row, int column) const;

    // Fills rect white, then the dark modules as squares of rect.width() / Width().
    // The rectangle's height only sizes the background. Leaves brush and pen changed.
    void Paint(QPainter& painter, const QRectF& rect) const;

private:
    QRcode* m_code = nullptr;
};
