#pragma once

#include <QByteArray>
#include <QSet>
#include <QString>
#include <QVariant>

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
    // Whether codec has bytes for every character of text. QSettings writes a
    // character it has none for as "?" and reports success.
    static bool CanStore(const QString& text, const QTextCodec* codec);

    // settings.value(key), also for a key that a section such as "[G/]" hides
    // from Qt's lookup; invalid only for a key the file does not hold.
    static QVariant Value(const QSettings& settings, const QString& key);

    // The text of key: what QSettings gives when it reads a text or a list of texts
    // (items joined by ","); otherwise the value as it stands in the file.
    static QString Read(const QSettings& settings, const QString& key);

    // The last value of key ("GROUP/name") in the bytes of an INI file, read as
    // QSettings reads its lines: quotes, escapes and trailing blanks undone, items
    // of an unquoted list joined by ",", each item's doubled leading "@" made one
    // and "@String(text)" (QSettings' own form of a text holding a NUL) read as
    // the text. Nothing else is taken for a type. False when the file has no such key.
    static bool RawValue(const QByteArray& ini, const QString& key, QTextCodec* codec, QString* text);

    // QSettings writes back every key of a file from what it parsed, which is
    // not always what stood there (an invalid GB2312 byte comes back as "?").
    // The file after a write (after) with each key that is not in written and
    // whose text changed given its value bytes from before.
    static QByteArray KeepUnwritten(const QByteArray& before, const QByteArray& after, const QSet<QString>& written,
                                    QTextCodec* codec);

    // While it reads a file, QSettings decodes every value item of the form
    // "@Variant(...)" (once quotes and escapes are undone) from binary data,
    // whichever key is asked for. For a list or map it believes the element
    // count before it reads an element: crafted data makes it allocate without
    // bound, and the std::bad_alloc ends the program. Call this before a file is
    // opened: it puts a "@" before every such item whose type is not one that
    // decodes within its data (numbers, texts, dates, geometry), so that Qt reads
    // the text written there. True when the file can't be read (QSettings
    // can't either), needs nothing or was rewritten; false (logged) when it
    // needs rewriting and can't be.
    static bool EscapeBinaryValues(const QString& path, QTextCodec* codec);
    // The same on a file's bytes; true when they changed.
    static bool EscapeBinaryValues(QByteArray* ini, QTextCodec* codec);
};
