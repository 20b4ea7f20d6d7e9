#include "IniText.h"

#include "IniLines.h"
#include "Log.h"

#include <QFile>
#include <QSet>
#include <QSettings>
#include <QTemporaryDir>
#include <QTextCodec>
#include <QVariant>
#include <QVector>

#include <algorithm>
#include <atomic>

namespace {

using IniLine = IniLines::Line;
using Quotes = IniLines::Quotes;

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
    IniLines::ForEach(ini, Quotes::EndWithLine, [&](const QString& section, const QString& key, const IniLine& line) {
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
        if (LastKeyLine(qt, IniLines::NormalKey(v.first)) < 0)
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
        gone.insert(IniLines::NormalKey(key));
    Edits edits;
    for (const Layout::Key& key : LayoutOf(*ini).keys) {
        if (gone.contains(key.name))
            edits.Replace(TextLineStart(*ini, key.line.start), PastTextLine(*ini, key.line.end), QByteArray());
    }
    edits.ApplyTo(ini);
}
