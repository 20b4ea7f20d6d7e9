#pragma once

#include <QByteArray>
#include <QString>

class QSettings;
class QTextCodec;

// Text settings of the station's INI files (config.ini, label templates) as they
// were written. QSettings takes a value that begins with "@" for one of its typed
// values: "@Rect(1 2 3 4)" reads as a rectangle, "@Invalid()" as nothing, and an
// unquoted list with such an item ("@home,5G") as a list of variants. Read as a
// text, each of these would come back empty and the next save would write it
// back empty. Values that QSettings itself writes never take that form: it
// doubles a leading "@" and quotes a text holding commas.
class IniText {
public:
    // The text of key: what QSettings gives when it reads a text or a list of texts
    // (items joined by ","); otherwise the value as it stands in the file.
    static QString Read(const QSettings& settings, const QString& key);

    // The last value of key ("GROUP/name") in the bytes of an INI file, read as
    // QSettings reads its lines: quotes, escapes and trailing blanks undone, items
    // of an unquoted list joined by ",", each item's doubled leading "@" made one.
    // Nothing else is taken for a type. False when the file has no such key.
    static bool RawValue(const QByteArray& ini, const QString& key, QTextCodec* codec, QString* text);
};
