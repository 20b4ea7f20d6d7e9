#pragma once

#include <QByteArray>
#include <QHash>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>

class QSettings;
class QTextCodec;

// Text settings of the station's INI files (config.ini, label templates) as they
// were written. QSettings takes a value that begins with "@" for one of its typed
// values: "@Rect(1 2 3 4)" reads as a rectangle, "@Invalid()" as nothing, and an
// unquoted list with such an item ("@home,5G") as a list of variants. Read as a
// text, each of these would come back empty and the next save would write it
// back empty. Values that QSettings itself writes never take that form: it
// doubles a leading "@" and quotes a text holding commas.
//
// Label templates go through QSettings. config.ini never does: QSettings writes
// back a whole file from what it parsed, so what it misread (a stray quote, a
// typed value) or keeps once (a key written twice) would be lost by any save.
// It is read with LineValue and written in place with SetValues.
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

    // config.ini is read line by line: a value ends with its line unless a
    // backslash continues it, so a quote left open at the end of a line is a
    // plain character and cannot take the lines after it into the value (where
    // QSettings would read on to the next quote). Otherwise as RawValue.
    static bool LineValue(const QByteArray& ini, const QString& key, QTextCodec* codec, QString* text);
    // Every key LineValue finds, by its name with its section ("GROUP/name",
    // as IniLines::NormalKey gives it), with the value LineValue reads: one
    // pass over the file for all of them.
    static QHash<QString, QString> LineValues(const QByteArray& ini, QTextCodec* codec);
    // Every key LineValue finds, in file order, a key written twice once.
    static QStringList LineKeys(const QByteArray& ini);
    // The numbers (from 1) of the lines whose quote LineValue reads as a character.
    static QVector<int> OpenQuoteLines(const QByteArray& ini);

    // Writes each value into the file's bytes as Qt's INI writer writes it, in
    // place: a key the file holds gets its new value on the line LineValue
    // reads (an earlier line of the same key stays); a new key or section goes
    // where Qt, which sorts them by name, would put it among those the file
    // holds, so a file QSettings wrote becomes what QSettings would write. Every
    // other byte stays. False (logged, *ini unchanged) when the values could
    // not be written out.
    static bool SetValues(QByteArray* ini, const QVector<QPair<QString, QVariant>>& values, QTextCodec* codec);
    // Drops every line of each key.
    static void RemoveKeys(QByteArray* ini, const QStringList& keys);

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
