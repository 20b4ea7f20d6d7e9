#include "IniText.h"

#include "IniLines.h"
#include "Log.h"

#include <QFile>
#include <QSaveFile>
#include <QSet>
#include <QSettings>
#include <QStringList>
#include <QTextCodec>
#include <QVariant>
#include <QVector>

namespace {

using IniLine = IniLines::Line;
using Quotes = IniLines::Quotes;

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

bool FindValue(const QByteArray& ini, Quotes quotes, const QString& key, QTextCodec* codec, QString* text)
{
    const QString wanted = IniLines::NormalKey(key);
    bool found = false;
    IniLines::ForEachKey(ini, quotes, [&](const QString& name, const IniLine& line) {
        if (name != wanted)
            return;
        *text = IniLines::Text(ini, line, codec);
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

QHash<QString, QString> IniText::LineValues(const QByteArray& ini, QTextCodec* codec)
{
    QHash<QString, QString> values;
    IniLines::ForEachKey(ini, Quotes::EndWithLine, [&](const QString& key, const IniLine& line) {
        values.insert(key, IniLines::Text(ini, line, codec));   // a later line of the same key wins
    });
    return values;
}

QStringList IniText::LineKeys(const QByteArray& ini)
{
    QStringList keys;
    QSet<QString> seen;
    IniLines::ForEachKey(ini, Quotes::EndWithLine, [&](const QString& key, const IniLine&) {
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

QVector<int> IniText::OpenQuoteLines(const QByteArray& ini)
{
    QVector<int> lines;
    int pos = 0;
    IniLine line;
    while (IniLines::Next(ini, &pos, &line, Quotes::EndWithLine)) {
        if (line.openQuote >= 0)
            lines << IniLines::LineNumber(ini, line.openQuote);
    }
    return lines;
}

bool IniText::EscapeBinaryValues(QByteArray* ini, QTextCodec* codec)
{
    QVector<int> inserts;
    int pos = 0;
    IniLine line;
    while (IniLines::Next(*ini, &pos, &line, Quotes::SpanLines)) {
        if (ini->at(line.start) == '[' || line.equals < 0)
            continue;
        QVector<int> starts;
        const QStringList items = IniLines::ValueItems(*ini, line.equals + 1, line.end, line.openQuote, codec, &starts);
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
