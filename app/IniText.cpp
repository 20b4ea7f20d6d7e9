#include "IniText.h"

#include "Log.h"

#include <QFile>
#include <QHash>
#include <QSaveFile>
#include <QSettings>
#include <QStringList>
#include <QTextCodec>
#include <QVariant>
#include <QVector>

namespace {

// One logical line of the file: [start, end), the first unquoted "=" or -1.
struct IniLine {
    int start = 0;
    int end = 0;
    int equals = -1;
};

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
// quotes or after a backslash stays in the line, a ";" outside quotes starts a
// comment, a line that starts with ";" is passed over. False at the end.
bool NextLine(const QByteArray& d, int* pos, IniLine* line)
{
    const int n = d.size();
    int start = *pos;
    while (start < n && IsBlank(d[start]))
        ++start;
    bool inQuotes = false;
    int equals = -1;
    int i = start;
    while (i < n) {
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
            if (c == '"')
                inQuotes = !inQuotes;
            else if (c == '=' && !inQuotes && equals < 0)
                equals = i;
            ++i;
        }
    }
    i = qMin(i, n);
    *pos = i;
    line->start = start;
    line->end = i;
    line->equals = equals;
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

// The items of a value, read as QSettings reads them; *starts (when given)
// receives where each item's first byte lies in d.
QStringList ValueItems(const QByteArray& d, int from, int to, QTextCodec* codec, QVector<int>* starts = nullptr)
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
        if (c == '\\') {
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

// Calls f(key, line) for every key line of the file, the key with its section.
template <class F>
void ForEachKeyLine(const QByteArray& ini, F f)
{
    QString section;
    int pos = 0;
    IniLine line;
    while (NextLine(ini, &pos, &line)) {
        if (ini[line.start] == '[') {
            section = SectionPrefix(ini, line);
            continue;
        }
        if (line.equals < 0)
            continue;
        int keyEnd = line.equals;
        while (keyEnd > line.start && (ini[keyEnd - 1] == ' ' || ini[keyEnd - 1] == '\t'))
            --keyEnd;
        f(section + UnescapeName(ini, line.start, keyEnd), line);
    }
}

// The text of a key line's value, as RawValue gives it.
QString LineText(const QByteArray& ini, const IniLine& line, QTextCodec* codec)
{
    QStringList items = ValueItems(ini, line.equals + 1, line.end, codec);
    for (QString& item : items) {
        if (item.startsWith(QLatin1String("@@")))
            item.remove(0, 1);
        else if (item.startsWith(QLatin1String("@String(")) && item.endsWith(QLatin1Char(')')))
            item = item.mid(8, item.size() - 9);   // how QSettings writes a text holding a NUL
    }
    return items.join(',');
}

}  // namespace

bool IniText::RawValue(const QByteArray& ini, const QString& key, QTextCodec* codec, QString* text)
{
    bool found = false;
    ForEachKeyLine(ini, [&](const QString& name, const IniLine& line) {
        if (name != key)
            return;
        *text = LineText(ini, line, codec);
        found = true;   // a later line of the same key wins, as in QSettings
    });
    return found;
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

QByteArray IniText::KeepUnwritten(const QByteArray& before, const QByteArray& after, const QSet<QString>& written,
                                  QTextCodec* codec)
{
    struct Stood {
        QString text;
        QByteArray value;   // the bytes after "="
    };
    QHash<QString, Stood> stood;
    ForEachKeyLine(before, [&](const QString& key, const IniLine& line) {
        stood[key] = {LineText(before, line, codec), before.mid(line.equals + 1, line.end - line.equals - 1)};
    });
    struct Patch {
        int from;
        int to;
        QByteArray bytes;
    };
    QVector<Patch> patches;
    ForEachKeyLine(after, [&](const QString& key, const IniLine& line) {
        const auto it = stood.constFind(key);
        if (written.contains(key) || it == stood.constEnd() || LineText(after, line, codec) == it->text)
            return;
        patches.append({line.equals + 1, line.end, it->value});
    });
    QByteArray out = after;
    for (int k = patches.size(); k-- > 0;)
        out.replace(patches[k].from, patches[k].to - patches[k].from, patches[k].bytes);
    return out;
}

bool IniText::EscapeBinaryValues(QByteArray* ini, QTextCodec* codec)
{
    QVector<int> inserts;
    int pos = 0;
    IniLine line;
    while (NextLine(*ini, &pos, &line)) {
        if (ini->at(line.start) == '[' || line.equals < 0)
            continue;
        QVector<int> starts;
        const QStringList items = ValueItems(*ini, line.equals + 1, line.end, codec, &starts);
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
