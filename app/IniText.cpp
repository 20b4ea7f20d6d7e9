#include "IniText.h"

#include "Log.h"

#include <QFile>
#include <QSaveFile>
#include <QSet>
#include <QSettings>
#include <QStringList>
#include <QTemporaryDir>
#include <QTextCodec>
#include <QVariant>
#include <QVector>

#include <algorithm>
#include <atomic>

namespace {

// One logical line of the file: [start, end), the first unquoted "=" or -1,
// and the quote read as a character or -1.
struct IniLine {
    int start = 0;
    int end = 0;
    int equals = -1;
    int openQuote = -1;
};

// Whether a quoted part may run over line breaks (as QSettings reads it) or
// ends with its line, its opening quote then being a character.
enum class Quotes { SpanLines, EndWithLine };

// What QSettings passes over before a key: a vertical tab or form feed there
// is part of the key.
bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

bool IsHex(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

int HexValue(char c)
{
    return c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10;
}

// The next line from *pos, split as QSettings splits them: a line break inside
// quotes (with Quotes::SpanLines) or after a backslash stays in the line, a ";"
// outside quotes starts a comment, a line that starts with ";" is passed over.
// False at the end.
bool NextLine(const QByteArray& d, int* pos, IniLine* line, Quotes quotes)
{
    const int n = d.size();
    int start = *pos;
    while (start < n && IsBlank(d[start]))
        ++start;
    bool inQuotes = false;
    int openedAt = -1;
    int openQuote = -1;
    int equals = -1;
    int i = start;
    while (i < n || inQuotes) {
        const bool lineEnds = i >= n || d[i] == '\n' || d[i] == '\r';
        if (lineEnds && inQuotes && quotes == Quotes::EndWithLine) {
            // The quote opened last does not close on its line: it is a
            // character, and what follows it is read again, outside quotes.
            openQuote = openedAt;
            inQuotes = false;
            i = openedAt + 1;
            continue;
        }
        if (i >= n)
            break;
        const char c = d[i];
        if (c == '\n' || c == '\r') {
            if (!inQuotes)
                break;
            ++i;
        } else if (c == ';' && i == start) {
            while (i < n && d[i] != '\n' && d[i] != '\r')
                ++i;
            while (i < n && IsBlank(d[i]))
                ++i;
            start = i;
        } else if (c == ';' && !inQuotes) {
            break;
        } else if (c == '\\') {
            i += 2;
            if (i < n && ((d[i - 1] == '\n' && d[i] == '\r') || (d[i - 1] == '\r' && d[i] == '\n')))
                ++i;
        } else {
            if (c == '"') {
                inQuotes = !inQuotes;
                openedAt = i;
            } else if (c == '=' && !inQuotes && equals < 0) {
                equals = i;
            }
            ++i;
        }
    }
    i = qMin(i, n);
    *pos = i;
    line->start = start;
    line->end = i;
    line->equals = equals;
    line->openQuote = openQuote;
    return i > start;
}

// A key or section name: "%XX" and "%UXXXX" are characters, "\" is "/", other bytes Latin-1.
QString UnescapeName(const QByteArray& d, int from, int to)
{
    QString out;
    int i = from;
    while (i < to) {
        const char c = d[i];
        if (c == '\\') {
            out += QLatin1Char('/');
            ++i;
            continue;
        }
        if (c == '%' && i + 1 < to) {
            const bool wide = d[i + 1] == 'U';
            const int digitsAt = i + (wide ? 2 : 1);
            const int digits = wide ? 4 : 2;
            bool ok = digitsAt + digits <= to;
            const uint value = ok ? d.mid(digitsAt, digits).toUInt(&ok, 16) : 0;
            if (ok) {
                out += QChar(ushort(value));
                i = digitsAt + digits;
                continue;
            }
        }
        out += QLatin1Char(c);
        ++i;
    }
    return out;
}

// "GROUP/" for a section line, "" for the general section.
QString SectionPrefix(const QByteArray& d, const IniLine& line)
{
    int close = d.indexOf(']', line.start);
    if (close < 0 || close >= line.end)
        close = line.end;
    const QByteArray name = d.mid(line.start + 1, close - line.start - 1).trimmed();
    if (name.compare("general", Qt::CaseInsensitive) == 0)
        return QString();
    if (name.compare("%general", Qt::CaseInsensitive) == 0)
        return QString::fromLatin1(name.mid(1)) + '/';
    return UnescapeName(name, 0, name.size()) + '/';
}

void ChopBlanks(QString* text, int limit)
{
    int n = text->size();
    while (n > limit && (text->at(n - 1) == ' ' || text->at(n - 1) == '\t'))
        --n;
    text->truncate(n);
}

// The character of a C-style escape letter, or 0.
char EscapedLetter(char c)
{
    static const char pairs[][2] = {{'a', '\a'}, {'b', '\b'}, {'f', '\f'}, {'n', '\n'}, {'r', '\r'}, {'t', '\t'},
                                    {'v', '\v'}, {'"', '"'},  {'?', '?'},  {'\'', '\''}, {'\\', '\\'}};
    for (const auto& p : pairs) {
        if (p[0] == c)
            return p[1];
    }
    return 0;
}

// Reads the backslash escape at d[*i] (the character after the backslash) into out;
// an escape QSettings does not know gives nothing.
void ReadEscape(const QByteArray& d, int* i, int to, QString* out)
{
    const char c = d[(*i)++];
    if (const char letter = EscapedLetter(c)) {
        *out += QLatin1Char(letter);
        return;
    }
    const bool hex = c == 'x';
    const bool octal = c >= '0' && c <= '7';
    if (hex || octal) {
        uint value = octal ? uint(c - '0') : 0;
        bool any = octal;
        while (*i < to && (hex ? IsHex(d[*i]) : (d[*i] >= '0' && d[*i] <= '7'))) {
            value = hex ? (value << 4) + uint(HexValue(d[*i])) : (value << 3) + uint(d[*i] - '0');
            ++*i;
            any = true;
        }
        if (any)
            *out += QChar(ushort(value));
        return;
    }
    if ((c == '\n' || c == '\r') && *i < to && (d[*i] == '\n' || d[*i] == '\r') && d[*i] != c)
        ++*i;   // a continued line
}

// The items of a value, read as QSettings reads them, the quote at openQuote
// (if any) as a character; *starts (when given) receives where each item's
// first byte lies in d.
QStringList ValueItems(const QByteArray& d, int from, int to, int openQuote, QTextCodec* codec,
                       QVector<int>* starts = nullptr)
{
    QStringList items;
    QString item;
    bool inQuotes = false;
    bool quoted = false;
    int keep = 0;   // characters of item that trailing-blank removal must not touch
    bool chop = true;
    int i = from;
    auto skipBlanks = [&] {
        while (i < to && (d[i] == ' ' || d[i] == '\t'))
            ++i;
        keep = item.size();
    };
    skipBlanks();
    if (starts)
        starts->append(i);
    while (i < to) {
        const char c = d[i];
        if (i == openQuote) {
            item += QLatin1Char('"');
            ++i;
        } else if (c == '\\') {
            if (++i >= to) {
                chop = false;   // a lone backslash at the end keeps the blanks before it
                break;
            }
            ReadEscape(d, &i, to, &item);
            keep = item.size();
        } else if (c == '"') {
            ++i;
            quoted = true;
            inQuotes = !inQuotes;
            if (!inQuotes)
                skipBlanks();
        } else if (c == ',' && !inQuotes) {
            if (!quoted)
                ChopBlanks(&item, keep);
            items << item;
            item.clear();
            quoted = false;
            ++i;
            skipBlanks();
            if (starts)
                starts->append(i);
        } else {
            int j = i + 1;
            while (j < to && d[j] != '\\' && d[j] != '"' && d[j] != ',')
                ++j;
            item += codec ? codec->toUnicode(d.constData() + i, j - i) : QString::fromLatin1(d.constData() + i, j - i);
            i = j;
        }
    }
    if (!quoted && chop)
        ChopBlanks(&item, keep);
    items << item;
    return items;
}

// Type ids of a "@Variant(" payload (numbered as in Qt 4, the stream version
// QSettings reads it with) whose decoding reads a fixed size or no more than
// the data holds: numbers, characters, texts, byte arrays, dates and times,
// and the geometry types. Earlier stations stored floats this way.
bool BoundedVariantType(quint32 id)
{
    return id <= 7 || id == 10 || id == 12 || (id >= 14 && id <= 16) || (id >= 19 && id <= 26)
        || (id >= 129 && id <= 135);
}

// Whether QSettings would decode the item as a variant of another type: a
// container (it believes the element count before it reads a single element),
// a picture or other GUI type, or one of the program's own types.
bool UnboundedVariant(const QString& item)
{
    if (!item.startsWith(QLatin1String("@Variant(")) || !item.endsWith(QLatin1Char(')')))
        return false;
    const QByteArray payload = item.toLatin1().mid(9);
    if (payload.size() < 4)
        return false;   // too short for a type: decodes as nothing
    const auto* b = reinterpret_cast<const uchar*>(payload.constData());
    const quint32 id = (quint32(b[0]) << 24) | (quint32(b[1]) << 16) | (quint32(b[2]) << 8) | b[3];
    return !BoundedVariantType(id);
}

}  // namespace

namespace {

// A key as Qt names it: no empty part between, before or after its slashes.
QString NormalKey(const QString& key)
{
    return key.split(QLatin1Char('/'), Qt::SkipEmptyParts).join(QLatin1Char('/'));
}

// Calls f(section, key, line) for every section line (key empty) and key line of
// the file; section is the section's name, key the key's name with its section.
template <class F>
void ForEachLine(const QByteArray& ini, Quotes quotes, F f)
{
    QString section;
    int pos = 0;
    IniLine line;
    while (NextLine(ini, &pos, &line, quotes)) {
        if (ini[line.start] == '[') {
            section = NormalKey(SectionPrefix(ini, line));
            f(section, QString(), line);
            continue;
        }
        if (line.equals < 0)
            continue;
        int keyEnd = line.equals;
        while (keyEnd > line.start && (ini[keyEnd - 1] == ' ' || ini[keyEnd - 1] == '\t'))
            --keyEnd;
        f(section, NormalKey(section + QLatin1Char('/') + UnescapeName(ini, line.start, keyEnd)), line);
    }
}

// Calls f(key, line) for every key line of the file.
template <class F>
void ForEachKeyLine(const QByteArray& ini, Quotes quotes, F f)
{
    ForEachLine(ini, quotes, [&](const QString&, const QString& key, const IniLine& line) {
        if (!key.isEmpty())
            f(key, line);
    });
}

// The text of a key line's value, as RawValue gives it.
QString LineText(const QByteArray& ini, const IniLine& line, QTextCodec* codec)
{
    QStringList items = ValueItems(ini, line.equals + 1, line.end, line.openQuote, codec);
    for (QString& item : items) {
        if (item.startsWith(QLatin1String("@@")))
            item.remove(0, 1);
        else if (item.startsWith(QLatin1String("@String(")) && item.endsWith(QLatin1Char(')')))
            item = item.mid(8, item.size() - 9);   // how QSettings writes a text holding a NUL
    }
    return items.join(',');
}

bool FindValue(const QByteArray& ini, Quotes quotes, const QString& key, QTextCodec* codec, QString* text)
{
    const QString wanted = NormalKey(key);
    bool found = false;
    ForEachKeyLine(ini, quotes, [&](const QString& name, const IniLine& line) {
        if (name != wanted)
            return;
        *text = LineText(ini, line, codec);
        found = true;   // a later line of the same key wins, as in QSettings
    });
    return found;
}

}  // namespace

bool IniText::RawValue(const QByteArray& ini, const QString& key, QTextCodec* codec, QString* text)
{
    return FindValue(ini, Quotes::SpanLines, key, codec, text);
}

bool IniText::LineValue(const QByteArray& ini, const QString& key, QTextCodec* codec, QString* text)
{
    return FindValue(ini, Quotes::EndWithLine, key, codec, text);
}

QStringList IniText::LineKeys(const QByteArray& ini)
{
    QStringList keys;
    QSet<QString> seen;
    ForEachKeyLine(ini, Quotes::EndWithLine, [&](const QString& key, const IniLine&) {
        if (!seen.contains(key)) {
            seen.insert(key);
            keys << key;
        }
    });
    return keys;
}

bool IniText::CanStore(const QString& text, const QTextCodec* codec)
{
    for (const QChar c : text) {
        if (c.unicode() >= 0x7F && !codec->canEncode(c))
            return false;
    }
    return true;
}

QVariant IniText::Value(const QSettings& settings, const QString& key)
{
    const QVariant v = settings.value(key);
    if (v.isValid())
        return v;
    // Until every section is parsed, Qt looks a key up only in the section whose
    // name sorts last before the key: "[G/]" sorts between "[G]" and "G/k" and
    // hides k. Listing the keys parses them all.
    (void)settings.allKeys();
    return settings.value(key);
}

QString IniText::Read(const QSettings& settings, const QString& key)
{
    const QVariant v = Value(settings, key);
    if (v.type() == QVariant::String)
        return v.toString();
    // An unquoted value with commas reads as a list; it was meant as one text.
    if (v.type() == QVariant::StringList)
        return v.toStringList().join(',');
    if (!settings.contains(key))
        return QString();
    QFile file(settings.fileName());
    QString text;
    if (!file.open(QIODevice::ReadOnly) || !RawValue(file.readAll(), key, settings.iniCodec(), &text))
        return v.toString();
    return text;
}

namespace {

bool IsBreak(char c)
{
    return c == '\n' || c == '\r';
}

// The line break the file uses: that of its first line, "\n" for one without.
QByteArray LineBreakOf(const QByteArray& d)
{
    const int lf = d.indexOf('\n');
    const int cr = d.indexOf('\r');
    if (cr >= 0 && (lf < 0 || cr < lf))
        return cr + 1 == lf ? QByteArray("\r\n") : QByteArray("\r");
    return "\n";
}

// Where the text line holding d[from] begins: a logical line starts past the
// blanks before it.
int TextLineStart(const QByteArray& d, int from)
{
    while (from > 0 && (d[from - 1] == ' ' || d[from - 1] == '\t'))
        --from;
    return from;
}

// Just past the line break that ends the text line holding d[from] (a comment
// after a value included), or the end of the file.
int PastTextLine(const QByteArray& d, int from)
{
    const int n = d.size();
    while (from < n && !IsBreak(d[from]))
        ++from;
    if (from < n && d[from] == '\r' && from + 1 < n && d[from + 1] == '\n')
        return from + 2;
    return qMin(from + 1, n);
}

// The line number (from 1) of d[at].
int LineNumber(const QByteArray& d, int at)
{
    int line = 1;
    for (int i = 0; i < at; ++i) {
        if (d[i] == '\n' || (d[i] == '\r' && (i + 1 >= d.size() || d[i + 1] != '\n')))
            ++line;
    }
    return line;
}

// What a file holds where: its key lines with the section line they follow
// (-1: none), and for each section line where the lines after its last key begin.
struct Layout {
    struct Key {
        QString name;
        int section;
        IniLine line;
    };
    struct Section {
        QString name;
        IniLine header;
        int end;
    };
    QVector<Key> keys;
    QVector<Section> sections;
};

Layout LayoutOf(const QByteArray& ini)
{
    Layout layout;
    ForEachLine(ini, Quotes::EndWithLine, [&](const QString& section, const QString& key, const IniLine& line) {
        if (key.isEmpty())
            layout.sections.append({section, line, PastTextLine(ini, line.end)});
        else
            layout.keys.append({key, int(layout.sections.size()) - 1, line});
        if (!key.isEmpty() && !layout.sections.isEmpty())
            layout.sections.last().end = PastTextLine(ini, line.end);
    });
    return layout;
}

// Qt writes sections, and the keys of each, sorted by name. A key or section
// the file lacks goes before the first one Qt would write after it, so a file
// Qt wrote gets what Qt would write.

// Where key goes in section s: the start of a line, or -1 past its last key.
int KeyPlace(const QByteArray& ini, const Layout& file, int s, const QString& key)
{
    for (const Layout::Key& k : file.keys) {
        if (k.section == s && key < k.name)
            return TextLineStart(ini, k.line.start);
    }
    return -1;
}

// Where a section goes: the start of a line, or -1 at the end of the file.
int SectionPlace(const QByteArray& ini, const Layout& file, const QString& name)
{
    for (const Layout::Section& s : file.sections) {
        if (name < s.name)
            return TextLineStart(ini, s.header.start);
    }
    return -1;
}

// The last line of key, or -1.
int LastKeyLine(const Layout& layout, const QString& key)
{
    for (int k = layout.keys.size(); k-- > 0;) {
        if (layout.keys[k].name == key)
            return k;
    }
    return -1;
}

// The last section of that name, or -1.
int LastSection(const Layout& layout, const QString& name)
{
    for (int k = layout.sections.size(); k-- > 0;) {
        if (layout.sections[k].name == name)
            return k;
    }
    return -1;
}

// What goes before lines added at d[at], the end of a key line: a line break
// where the line has none, and an empty line where it ends in a backslash,
// which would join the first added line to it.
QByteArray BreaksBefore(const QByteArray& d, int at, const QByteArray& lineBreak)
{
    int end = at;
    const bool ended = end > 0 && IsBreak(d[end - 1]);
    if (ended)
        end -= end > 1 && d[end - 1] == '\n' && d[end - 2] == '\r' ? 2 : 1;
    int backslashes = 0;
    while (end - backslashes > 0 && d[end - backslashes - 1] == '\\')
        ++backslashes;
    return (ended ? QByteArray() : lineBreak) + (backslashes % 2 ? lineBreak : QByteArray());
}

// Byte ranges of a file and what replaces them; ranges never overlap.
class Edits {
public:
    void Replace(int from, int to, const QByteArray& bytes) { m_edits.append({from, to, bytes}); }
    void ApplyTo(QByteArray* d)
    {
        std::stable_sort(m_edits.begin(), m_edits.end(), [](const Edit& a, const Edit& b) { return a.from < b.from; });
        for (int k = m_edits.size(); k-- > 0;)
            d->replace(m_edits[k].from, m_edits[k].to - m_edits[k].from, m_edits[k].bytes);
    }

private:
    struct Edit {
        int from;
        int to;
        QByteArray bytes;
    };
    QVector<Edit> m_edits;
};

// The bytes of a key line's value, without the blanks around it.
QPair<int, int> ValueSpan(const QByteArray& d, const IniLine& line)
{
    int from = line.equals + 1;
    int to = line.end;
    while (from < to && (d[from] == ' ' || d[from] == '\t'))
        ++from;
    while (to > from && (d[to - 1] == ' ' || d[to - 1] == '\t'))
        --to;
    return {from, to};
}

// Ends the file's last line, if it is not ended.
void EndLastLine(QByteArray* d, const QByteArray& lineBreak)
{
    if (!d->isEmpty() && !IsBreak(d->at(d->size() - 1)))
        d->append(lineBreak);
}

// Appends a section with its lines, apart from what stands before it by an empty line.
void AppendSection(QByteArray* d, const QByteArray& header, const QByteArray& lines, const QByteArray& lineBreak)
{
    EndLastLine(d, lineBreak);
    if (!d->isEmpty() && !d->endsWith(lineBreak + lineBreak))
        d->append(lineBreak);
    d->append(header + lineBreak + lines);
}

// What Qt's INI writer writes for the values alone. It writes only whole files:
// a file of its own, under a name no earlier call used, since Qt gives a new
// settings object on a name what it parsed of that name before.
bool QtWrite(const QVector<QPair<QString, QVariant>>& values, QTextCodec* codec, QByteArray* written)
{
    static std::atomic<int> serial{0};
    QTemporaryDir dir;
    if (!dir.isValid())
        return false;
    const QString path = dir.filePath(QStringLiteral("values-%1.ini").arg(++serial));
    {
        QSettings settings(path, QSettings::IniFormat);
        settings.setIniCodec(codec);
        for (const auto& v : values)
            settings.setValue(v.first, v.second);
        settings.sync();
        if (settings.status() != QSettings::NoError)
            return false;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    *written = file.readAll();
    return true;
}

// Puts into the file the keys of one section of what Qt wrote, q in qt, with
// edits; gives the lines of those that go past the last key of the file's
// section s (all of them when the file has no such section).
QByteArray MergeKeys(const QByteArray& ini, const Layout& file, int s, const QByteArray& written, const Layout& qt,
                     int q, const QByteArray& lineBreak, Edits* edits)
{
    QByteArray atEnd;
    for (const Layout::Key& key : qt.keys) {
        if (key.section != q)
            continue;
        const QPair<int, int> value = ValueSpan(written, key.line);
        const int k = LastKeyLine(file, key.name);
        if (k >= 0) {
            const QPair<int, int> old = ValueSpan(ini, file.keys[k].line);
            edits->Replace(old.first, old.second, written.mid(value.first, value.second - value.first));
            continue;
        }
        const QByteArray line = written.mid(key.line.start, value.second - key.line.start) + lineBreak;
        const int at = s < 0 ? -1 : KeyPlace(ini, file, s, key.name);
        if (at >= 0)
            edits->Replace(at, at, line);
        else
            atEnd += line;
    }
    return atEnd;
}

// Merges the values Qt wrote into the file as SetValues says; false when a
// value is missing from what Qt wrote.
bool Merge(QByteArray* ini, const QByteArray& written, const QVector<QPair<QString, QVariant>>& values)
{
    const Layout file = LayoutOf(*ini);
    const Layout qt = LayoutOf(written);
    for (const auto& v : values) {
        if (LastKeyLine(qt, NormalKey(v.first)) < 0)
            return false;
    }
    const QByteArray lineBreak = LineBreakOf(*ini);
    Edits edits;
    QVector<QPair<QByteArray, QByteArray>> appended;   // sections for the end: header and lines
    for (int q = 0; q < qt.sections.size(); ++q) {
        const int s = LastSection(file, qt.sections[q].name);
        const QByteArray lines = MergeKeys(*ini, file, s, written, qt, q, lineBreak, &edits);
        if (lines.isEmpty())
            continue;
        const IniLine& header = qt.sections[q].header;
        const QByteArray headerLine = written.mid(header.start, header.end - header.start);
        if (s >= 0) {
            const int at = file.sections[s].end;
            edits.Replace(at, at, BreaksBefore(*ini, at, lineBreak) + lines);
        } else if (const int at = SectionPlace(*ini, file, qt.sections[q].name); at >= 0) {
            edits.Replace(at, at, headerLine + lineBreak + lines + lineBreak);
        } else {
            appended.append({headerLine, lines});
        }
    }
    edits.ApplyTo(ini);
    for (const auto& section : appended)
        AppendSection(ini, section.first, section.second, lineBreak);
    return true;
}

}  // namespace

QVector<int> IniText::OpenQuoteLines(const QByteArray& ini)
{
    QVector<int> lines;
    int pos = 0;
    IniLine line;
    while (NextLine(ini, &pos, &line, Quotes::EndWithLine)) {
        if (line.openQuote >= 0)
            lines << LineNumber(ini, line.openQuote);
    }
    return lines;
}

bool IniText::SetValues(QByteArray* ini, const QVector<QPair<QString, QVariant>>& values, QTextCodec* codec)
{
    if (values.isEmpty())
        return true;
    QByteArray written;
    if (!QtWrite(values, codec, &written)) {
        LogPrint(LOG_GENERAL, "IniText: the values could not be written out in a scratch file");
        return false;
    }
    if (ini->isEmpty()) {
        *ini = written;
        return true;
    }
    QByteArray merged = *ini;
    if (!Merge(&merged, written, values)) {
        LogPrint(LOG_GENERAL, "IniText: Qt's INI writer left out a value; nothing written");
        return false;
    }
    *ini = merged;
    return true;
}

void IniText::RemoveKeys(QByteArray* ini, const QStringList& keys)
{
    QSet<QString> gone;
    for (const QString& key : keys)
        gone.insert(NormalKey(key));
    Edits edits;
    for (const Layout::Key& key : LayoutOf(*ini).keys) {
        if (gone.contains(key.name))
            edits.Replace(TextLineStart(*ini, key.line.start), PastTextLine(*ini, key.line.end), QByteArray());
    }
    edits.ApplyTo(ini);
}

bool IniText::EscapeBinaryValues(QByteArray* ini, QTextCodec* codec)
{
    QVector<int> inserts;
    int pos = 0;
    IniLine line;
    while (NextLine(*ini, &pos, &line, Quotes::SpanLines)) {
        if (ini->at(line.start) == '[' || line.equals < 0)
            continue;
        QVector<int> starts;
        const QStringList items = ValueItems(*ini, line.equals + 1, line.end, line.openQuote, codec, &starts);
        for (int k = 0; k < items.size() && k < starts.size(); ++k) {
            if (UnboundedVariant(items[k]))
                inserts.append(starts[k]);
        }
    }
    for (int k = inserts.size(); k-- > 0;)
        ini->insert(inserts[k], '@');
    return !inserts.isEmpty();
}

bool IniText::EscapeBinaryValues(const QString& path, QTextCodec* codec)
{
    QFile file(path);
    // What can't be read here, QSettings can't read either.
    if (!file.open(QIODevice::ReadOnly))
        return true;
    QByteArray ini = file.readAll();
    file.close();
    if (!EscapeBinaryValues(&ini, codec))
        return true;
    QSaveFile out(path);
    if (!out.open(QIODevice::WriteOnly) || out.write(ini) != ini.size() || !out.commit()) {
        LogPrint(LOG_MAJOR, "IniText: %s holds values Qt would decode without bound and can't be rewritten; not opened",
                 qPrintable(path));
        return false;
    }
    LogPrint(LOG_GENERAL, "IniText: %s: values Qt would decode without bound are kept as the texts written there",
             qPrintable(path));
    return true;
}
