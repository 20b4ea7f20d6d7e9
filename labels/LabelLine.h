#pragma once

#include <QString>
#include <QStringList>

// One item of a label template as stored in the template file: nine fields
// joined by "," without quoting (type, x, y, width, height, fontSize, text,
// picture path, index). Positions and sizes are millimetres.
struct LabelLine {
    enum Type { Text = 0, HorizontalLine = 1, VerticalLine = 2, Picture = 3, Barcode = 4, QrCode = 5 };
    enum Index { QrCodeItem = 0, SnText = 1, SnBarcode = 2, IndentifyText = 3, DateText = 4,
                 MacText = 5, MacBarcode = 6, FirstCustomItem = 7 };
    static constexpr int FieldCount = 9;
    // Larger coordinates are data errors, not labels; the bound keeps every later
    // conversion to printer dots and integers in range.
    static constexpr double MaxMillimetres = 10000.0;

    int type = Text;
    double x = 0;
    double y = 0;
    double width = 0;
    double height = 0;
    double fontSize = 0;
    QString text;
    QString picturePath;
    int index = 0;

    // The nine fields of a stored line. Files written before commas were refused in
    // texts may hold more: the first six fields and the last two are fixed, so any
    // extra commas belong to the text. Fewer than nine fields give an empty list.
    static QStringList SplitFields(const QString& line);
    // False (out untouched) for a line with fewer than nine fields or a position or
    // size that is not a finite number within MaxMillimetres.
    static bool Parse(const QString& line, LabelLine* out);
    // A text or picture path can be stored only without a comma.
    static bool IsStorableField(const QString& field);
};
