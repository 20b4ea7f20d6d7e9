#pragma once

#include <QString>
#include <QStringList>

// Turns a text into a module string, one character per module, quiet zones
// included: Code 128 (code set B) as 'b' dark / 's' light, EAN-13 as '1' / '0'.
// A text that cannot be encoded shows a message box and gives a null string.
class BarcodeGenerator {
public:
    static constexpr int Code128ValueCount = 107;
    static constexpr int Code128StartB = 104;
    static constexpr int Code128Stop = 106;

    BarcodeGenerator();

    QString EncodeCode128(const QString& text) const;
    // text: the 12 data digits; the check digit is computed and appended.
    QString EncodeEan13(const QString& text) const;

    const QStringList& Code128Names() const { return m_code128Names; }
    const QStringList& Code128Patterns() const { return m_code128Patterns; }

private:
    void InitCode128Table();
    void InitEan13Table();
    static void ShowError(const QString& text);

    QStringList m_code128Names;
    QStringList m_code128Patterns;
    QStringList m_ean13Parity;   // first digits 1..9 at 0..8
    QStringList m_ean13SetA;
    QStringList m_ean13SetB;
    QStringList m_ean13SetC;
};
