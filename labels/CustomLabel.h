#pragma once

#include <QLabel>
#include <QPoint>
#include <QString>

namespace Ui {
class CustomLabel;
}

// One item of a label template in the editor's 2.5-times preview: a text, a
// line, a picture, a barcode or the QR code. The operator drags it with the left
// button, deletes it from its right-click menu and edits it by a double click.
// It keeps its geometry in millimetres for the editor to write back.
class CustomLabel : public QLabel {
    Q_OBJECT
public:
    // How DrawBarcode lays out a module string on a target; in preview pixels.
    struct BarcodeLayout {
        double module = 0;   // nominal module width, 0.2 mm
        double scale = 0;    // stretches the modules over the target width
        double pen = 0;      // width of one bar
        int X(int moduleIndex) const { return int(moduleIndex * module * scale); }
    };

    // canvas: the editor, also the parent; its slot onDelete() receives del().
    CustomLabel(int type, float canvasWidth, float canvasHeight, QWidget* canvas);
    ~CustomLabel() override;

    void SetCanvasSize(float width, float height);
    int CanvasWidth() const { return m_iCanvasWidth; }
    int CanvasHeight() const { return m_iCanvasHeight; }

    // A pixel value truncated to whole pixels, within what a widget can take. A value
    // a hair from a whole pixel is that pixel: millimetres stored as floats must come
    // back to the pixel they were taken from.
    static int PixelsOf(double px);
    // Millimetres to preview pixels (as PixelsOf) and back, by the screen factors of
    // the axis.
    static int ToPxX(double mm);
    static int ToPxY(double mm);
    static float ToMmX(int px);
    static float ToMmY(int px);

    // Content and millimetre fields by type; the editor and the edit dialog share them.
    // Text: family "Microsoft YaHei", pixel height of fontSizeMm, fitted to the text.
    void ApplyText(const QString& text, float fontSizeMm);
    // A solid black bar of the given size.
    void ApplyLine(float width, float height);
    // False when the picture does not load: the size is changed, nothing else.
    bool ApplyPicture(const QString& path, float width, float height);
    void ApplyBarcode(const QString& content, float width, float height);
    void MoveToMm(float x, float y);
    // Position and size in millimetres from the widget's geometry.
    void RecordGeometry();

    // Whether the right-click menu offers "Delete Record" for an item of this index:
    // the texts that the station fills in (SN, verification code, date, MAC) have none.
    static bool HasDeleteMenu(int index);
    // Whether a double click opens the edit dialog (every item but the QR code).
    static bool IsEditable(int index);

    // False when nothing can be drawn: no modules, or less than a whole pixel in all.
    static bool LayoutBarcode(int moduleCount, int targetWidth, double pxPerMm, BarcodeLayout* layout);
    // Paints the Code 128 barcode of content over the whole target; an empty or
    // unencodable content leaves the target as it was.
    static void DrawBarcode(QLabel* target, const QString& content);
    // Paints the QR code of content over the whole target (which must be a QLabel);
    // a content without a symbol paints the target white.
    static void DrawQRCode(QWidget* target, const QString& content);

    // Item fields the editor reads and writes; positions and sizes in millimetres.
    int type = 0;
    float mmX = 0;
    float mmY = 0;
    float mmWidth = 0;
    float mmHeight = 0;
    float fontSize = 0;
    QString labelText;     // the text of a text item, the content of a barcode
    QString picturePath;
    int index = 0;

signals:
    void del();

public slots:
    void onDeleteRecord();
    void onChangedSignalEmit(void* pPram, void* pPramCoordinate);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    void ClampToCanvas();
    void ShowDeleteMenu(const QPoint& globalPos);
    void SetFixedSizeMm(float width, float height);

    Ui::CustomLabel* ui;
    QWidget* m_pCanvas = nullptr;
    QPoint m_pressPos;
    int m_iCanvasWidth = 0;
    int m_iCanvasHeight = 0;
};
