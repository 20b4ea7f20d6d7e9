#include "IniLines.h"

#include <QTextCodec>

namespace {

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

}  // namespace

bool IniLines::Next(const QByteArray& d, int* pos, Line* line, Quotes quotes)
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

QString IniLines::UnescapeName(const QByteArray& d, int from, int to)
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

QString IniLines::SectionPrefix(const QByteArray& d, const Line& line)
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

QStringList IniLines::ValueItems(const QByteArray& d, int from, int to, int openQuote, QTextCodec* codec,
                                 QVector<int>* starts)
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

QString IniLines::NormalKey(const QString& key)
{
    return key.split(QLatin1Char('/'), Qt::SkipEmptyParts).join(QLatin1Char('/'));
}

QString IniLines::KeyName(const QByteArray& ini, const QString& section, const Line& line)
{
    int keyEnd = line.equals;
    while (keyEnd > line.start && (ini[keyEnd - 1] == ' ' || ini[keyEnd - 1] == '\t'))
        --keyEnd;
    return NormalKey(section + QLatin1Char('/') + UnescapeName(ini, line.start, keyEnd));
}

QString IniLines::Text(const QByteArray& ini, const Line& line, QTextCodec* codec)
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

int IniLines::LineNumber(const QByteArray& d, int at)
{
    int line = 1;
    for (int i = 0; i < at; ++i) {
        if (d[i] == '\n' || (d[i] == '\r' && (i + 1 >= d.size() || d[i + 1] != '\n')))
            ++line;
    }
    return line;
}
