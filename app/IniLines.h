#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>

class QTextCodec;

// The lines of an INI file's bytes, split and read as QSettings reads them,
// with the place of each part in the bytes: what IniText reads values with and
// edits a file in place by.
class IniLines {
public:
    // One logical line of the file: [start, end), the first unquoted "=" or -1,
    // and the quote read as a character or -1.
    struct Line {
        int start = 0;
        int end = 0;
        int equals = -1;
        int openQuote = -1;
    };

    // Whether a quoted part may run over line breaks (as QSettings reads it) or
    // ends with its line, its opening quote then being a character.
    enum class Quotes { SpanLines, EndWithLine };

    // The next line from *pos, split as QSettings splits them: a line break inside
    // quotes (with Quotes::SpanLines) or after a backslash stays in the line, a ";"
    // outside quotes starts a comment, a line that starts with ";" is passed over.
    // False at the end.
    static bool Next(const QByteArray& d, int* pos, Line* line, Quotes quotes);

    // "GROUP/" for a section line, "" for the general section.
    static QString SectionPrefix(const QByteArray& d, const Line& line);
    // A key as Qt names it: no empty part between, before or after its slashes.
    static QString NormalKey(const QString& key);
    // The name of a key line's key, with its section.
    static QString KeyName(const QByteArray& ini, const QString& section, const Line& line);

    // The items of a value in d[from, to), read as QSettings reads them, the
    // quote at openQuote (if any) as a character; *starts (when given) receives
    // where each item's first byte lies in d.
    static QStringList ValueItems(const QByteArray& d, int from, int to, int openQuote, QTextCodec* codec,
                                  QVector<int>* starts = nullptr);
    // The text of a key line's value, as IniText::RawValue gives it.
    static QString Text(const QByteArray& ini, const Line& line, QTextCodec* codec);

    // The line number (from 1) of d[at].
    static int LineNumber(const QByteArray& d, int at);

    // Calls f(section, key, line) for every section line (key empty) and key line of
    // the file; section is the section's name, key the key's name with its section.
    template <class F>
    static void ForEach(const QByteArray& ini, Quotes quotes, F f)
    {
        QString section;
        int pos = 0;
        Line line;
        while (Next(ini, &pos, &line, quotes)) {
            if (ini[line.start] == '[') {
                section = NormalKey(SectionPrefix(ini, line));
                f(section, QString(), line);
            } else if (line.equals >= 0) {
                f(section, KeyName(ini, section, line), line);
            }
        }
    }

    // Calls f(key, line) for every key line of the file.
    template <class F>
    static void ForEachKey(const QByteArray& ini, Quotes quotes, F f)
    {
        ForEach(ini, quotes, [&](const QString&, const QString& key, const Line& line) {
            if (!key.isEmpty())
                f(key, line);
        });
    }

private:
    // A key or section name: "%XX" and "%UXXXX" are characters, "\" is "/", other bytes Latin-1.
    static QString UnescapeName(const QByteArray& d, int from, int to);
};
