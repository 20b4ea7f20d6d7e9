#pragma once

#include "LabelLine.h"
#include "LabelPrintJob.h"
#include "QrSymbol.h"

#include <QSizeF>
#include <QString>
#include <QVector>

#include <memory>

class QPainter;
class QPaintDevice;

// Draws a print job's label (one or two columns) onto any paint device at a given
// resolution. Everything that can fail or ask the operator (QR and barcode
// encoding, line parsing) happens in the constructor, so painting never opens a
// box and can run while the printer is locked.
class LabelRenderer {
public:
    // Paper sizes beyond this are data errors; the bound keeps the conversions in range.
    static constexpr double MaxPaperMillimetres = 1000.0;

    explicit LabelRenderer(const LabelPrintJob& job);
    ~LabelRenderer();
    LabelRenderer(const LabelRenderer&) = delete;
    LabelRenderer& operator=(const LabelRenderer&) = delete;

    // Paper width (whole millimetres) and height of the template; false for a size
    // that is not positive, not finite or above MaxPaperMillimetres.
    static bool PaperSizeMm(const PrintTemplate& tpl, QSizeF* size);
    static int CopyCount(const PrintTemplate& tpl) { return tpl.iPrintTimes != 0 ? 2 : 1; }
    static bool IsDoubleColumn(const PrintTemplate& tpl) { return tpl.iPrintMode == 1; }

    // The text the QR items carry: with the app-download prefix or the bare bind text.
    const QString& QrText() const { return m_qrText; }
    const QrSymbol& Symbol() const { return *m_symbol; }
    // Codes of the label (barcodes shown, QR items) that paint only their white box:
    // a content the encoder refused or a QR text without a symbol.
    int UndrawnCodes() const { return m_undrawnCodes; }

    // Paints on an active painter; dpi is the device's dots per inch. Nothing is
    // painted for a template without a printable paper size or a dpi beyond 10000.
    void Paint(QPainter& painter, double dpi) const;
    // Opens a painter on device and paints; false when the painter cannot begin or end.
    bool Paint(QPaintDevice* device, double dpi) const;

private:
    struct Item {
        LabelLine line;
        QString barcode;   // Code 128 modules of a barcode item; empty draws only white
    };

    void PrepareItems();
    QString BarcodeContent(const LabelLine& line, bool* shown) const;
    void PaintItem(QPainter& painter, const Item& item, double d, double xOffset) const;
    void PaintText(QPainter& painter, const LabelLine& line, double x, double y, double w, double h, double d) const;
    void PaintPicture(QPainter& painter, const LabelLine& line, double x, double y, double w, double h) const;
    void PaintBarcode(QPainter& painter, const QString& modules, double x, double y, double w, double h, double d) const;

    LabelPrintJob m_job;
    QString m_qrText;
    std::unique_ptr<QrSymbol> m_symbol;
    QVector<Item> m_items;   // pictures first, so they lie under everything else
    int m_undrawnCodes = 0;
};
