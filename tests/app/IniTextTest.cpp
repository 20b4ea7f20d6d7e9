// Reading text settings as they were written, also where QSettings sees a typed value.
#include "IniText.h"

#include "TempAppDir.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QTextCodec>

#include <gtest/gtest.h>

namespace {

QTextCodec* Gb2312() { return QTextCodec::codecForName("GB2312"); }

// What QSettings itself reads for key, as one text, or "<typed>" when it reads no text.
QString QtText(const TempAppDir& dir, const QByteArray& ini, const QString& key)
{
    dir.writeFile("t.ini", ini);
    QSettings s(dir.file("t.ini"), QSettings::IniFormat);
    s.setIniCodec(Gb2312());
    const QVariant v = s.value(key);
    if (v.type() == QVariant::String)
        return v.toString();
    if (v.type() == QVariant::StringList)
        return v.toStringList().join(',');
    return "<typed>";
}

}  // namespace

TEST(IniText, RawValueReadsLinesAsQSettingsDoes)
{
    // Wherever QSettings reads a text, the raw reading must give the same text.
    const QByteArray lines[] = {
        "k=plain",
        "k =  spaced out  ",
        "k=a,b , c",
        "k=\"quoted, with comma\"",
        "k=\"  kept blanks  \"  ",
        "k=x\\ty\\\\z\\\"q\\x41\\101\\?",
        "k=trailing\\x20",
        "k=semi;colon comment",
        "k=\"semi;inside\";after",
        "k=\"line\nbreak\"",
        "k=continued\\\nline",
        "k=\xB2\xE2\xCA\xD4,\xB9\xA4",
        "k=@@doubled",
        "k=@@a,@@b",
        "k=",
        "k=a=b=c",
        "k=\\q unknown escape",
        "k=end\\",
    };
    TempAppDir dir;
    for (const QByteArray& line : lines) {
        SCOPED_TRACE(line.constData());
        const QByteArray ini = "[G]\nother=1\n" + line + "\n[H]\nk=wrong group\n";
        const QString qt = QtText(dir, ini, "G/k");
        ASSERT_NE(qt, "<typed>");
        QString raw;
        ASSERT_TRUE(IniText::RawValue(ini, "G/k", Gb2312(), &raw));
        EXPECT_EQ(raw, qt);
        // Where no quote runs over a line break, reading line by line is the same.
        if (IniText::OpenQuoteLines(ini).isEmpty()) {
            ASSERT_TRUE(IniText::LineValue(ini, "G/k", Gb2312(), &raw));
            EXPECT_EQ(raw, qt);
        }
    }
}

TEST(IniText, LineValueReadsAQuoteLeftOpenAsACharacter)
{
    const struct {
        const char* name;
        QByteArray ini;
        const char* key;
        const char* text;   // nullptr: not found
    } cases[] = {
        {"inside a value", "[G]\nk=ab\"cd\nj=2\n", "G/k", "ab\"cd"},
        {"the key after it", "[G]\nk=ab\"cd\nj=2\n", "G/j", "2"},
        {"the section after it", "[G]\nk=ab\"cd\n[H]\nk=3\n", "H/k", "3"},
        {"a paired quote after it", "[G]\nk=ab\"cd\nj=\"x,y\"\n", "G/j", "x,y"},
        {"at the start of a value", "[G]\nk=\"abcd\nj=2\n", "G/k", "\"abcd"},
        {"a comment after it", "[G]\nk=ab\"c;d\n", "G/k", "ab\"c"},
        {"after a paired one", "[G]\nk=\"a\"b\"c\n", "G/k", "ab\"c"},
        {"in a list", "[G]\nk=a, \"b\n", "G/k", "a,\"b"},
        {"a quoted part over two lines", "[G]\nk=\"line\nbreak\"\nj=1\n", "G/k", "\"line"},
        {"the line after that part", "[G]\nk=\"line\nbreak\"\nj=1\n", "G/j", "1"},
        {"in a key", "[G]\nk\"ey=v\nj=2\n", "G/k\"ey", "v"},
        {"in a section name", "[G\"H]\nk=1\n[H]\nk=2\n", "G\"H/k", "1"},
        {"at the end of the file", "[G]\nk=ab\"cd", "G/k", "ab\"cd"},
        {"CR LF lines", "[G]\r\nk=ab\"cd\r\nj=2\r\n", "G/j", "2"},
        {"escaped, not open", "[G]\nk=ab\\\"cd\nj=2\n", "G/k", "ab\"cd"},
        {"a continued line keeps its quote open", "[G]\nk=\"a\\\nb\"\nj=2\n", "G/k", "ab"},
        {"not a key line", "[G]\n\"k=1\n", "G/k", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QString text = "untouched";
        EXPECT_EQ(IniText::LineValue(c.ini, QString::fromUtf8(c.key), Gb2312(), &text), c.text != nullptr);
        EXPECT_EQ(text, c.text ? QString::fromUtf8(c.text) : QString("untouched"));
        // All keys in one pass read the same.
        EXPECT_EQ(IniText::LineValues(c.ini, Gb2312()).value(QString::fromUtf8(c.key), "untouched"), text);
    }
    EXPECT_EQ(IniText::OpenQuoteLines("[G]\nk=ab\"cd\nj=\"ok\"\n\n\"x=1\n"), (QVector<int>{2, 5}));
    EXPECT_EQ(IniText::OpenQuoteLines("[G]\r\nk=\"ok\"\r\nj=a\"\r\n"), (QVector<int>{3}));
    EXPECT_EQ(IniText::LineKeys("[G]\nk=ab\"cd\nj=1\n[H]\nk=2\n[G]\nk=3\n"), (QStringList{"G/k", "G/j", "H/k"}));
}

// Values written into a file's bytes: only the lines of the keys written
// change, and each holds what Qt's INI writer writes for its value.
TEST(IniText, SetValuesWritesEachValueInPlace)
{
    using Values = QVector<QPair<QString, QVariant>>;
    const struct {
        const char* name;
        QByteArray before;
        Values values;
        QStringList removed;
        QByteArray after;
    } cases[] = {
        {"a value, its blanks and comment kept", "[G]\nk = old ; note\nj=1\n", {{"G/k", "new, text"}}, {},
         "[G]\nk = \"new, text\" ; note\nj=1\n"},
        {"the line read, an earlier one of the key kept", "[G]\nk=1\nk=2\n", {{"G/k", 3}}, {}, "[G]\nk=1\nk=3\n"},
        {"a line with a quote left open", "[G]\nk=ab\"cd\n[H]\nj=1\n", {{"G/k", "x\"y"}}, {},
         "[G]\nk=x\\\"y\n[H]\nj=1\n"},
        {"a continued line", "[G]\nk=a\\\nb\nj=1\n", {{"G/k", "c"}}, {}, "[G]\nk=c\nj=1\n"},
        {"new keys in Qt's order", "[G]\nb=1\nd=1\n", {{"G/c", 1}, {"G/a", 1}, {"G/e", 1}}, {},
         "[G]\na=1\nb=1\nc=1\nd=1\ne=1\n"},
        {"new sections in Qt's order", "[B]\nb=1\n\n[D]\nd=1\n", {{"E/e", 1}, {"C/c", 1}, {"A/a", 1}}, {},
         "[A]\na=1\n\n[B]\nb=1\n\n[C]\nc=1\n\n[D]\nd=1\n\n[E]\ne=1\n"},
        {"a new key after its section's last key", "[G]\na=1\n; note\n\n[H]\nb=2\n", {{"G/c", true}}, {},
         "[G]\na=1\nc=true\n; note\n\n[H]\nb=2\n"},
        {"a section written twice", "[G]\na=1\n[H]\nb=1\n[G]\nc=1\n", {{"G/d", 1}, {"G/a", 2}}, {},
         "[G]\na=2\n[H]\nb=1\n[G]\nc=1\nd=1\n"},
        {"an empty section", "[G]\n[H]\n", {{"G/a", 1}}, {}, "[G]\na=1\n[H]\n"},
        {"new sections at the end", "[G]\na=1", {{"K/b", 2}, {"H/a", "x"}}, {}, "[G]\na=1\n\n[H]\na=x\n\n[K]\nb=2\n"},
        {"CR LF lines", "[G]\r\na=1\r\n", {{"G/b", false}, {"K/c", 5}}, {},
         "[G]\r\na=1\r\nb=false\r\n\r\n[K]\r\nc=5\r\n"},
        {"a section with a trailing slash", "[G/]\na=1\n", {{"G/a", 2}}, {}, "[G/]\na=2\n"},
        {"GB2312 text", "[G]\na=1\n", {{"G/a", QString::fromUtf8("测试")}}, {}, "[G]\na=\xB2\xE2\xCA\xD4\n"},
        {"a text beginning with @", "[G]\na=1\n", {{"G/a", "@x"}}, {}, "[G]\na=@@x\n"},
        {"an empty file gets what Qt writes", "", {{"G/b", 1}, {"A/a", "@x"}}, {}, "[A]\na=@@x\n\n[G]\nb=1\n"},
        {"after a line continued at the end of the file", "[G]\nk=a\\\n", {{"G/n", 1}}, {}, "[G]\nk=a\\\n\nn=1\n"},
        {"after a line ending in a backslash", "[G]\r\nk=a\\", {{"G/n", 1}}, {}, "[G]\r\nk=a\\\r\n\r\nn=1\r\n"},
        {"after an escaped backslash", "[G]\nk=a\\\\\n", {{"G/n", 1}}, {}, "[G]\nk=a\\\\\nn=1\n"},
        {"every line of a removed key", "[G]\nk=1\n  k=2 ; c\nj=1\n", {}, {"G/k"}, "[G]\nj=1\n"},
        {"removed, then written", "[G]\nk=1\nj=1\n", {{"G/k", 2}}, {"G/k"}, "[G]\nj=1\nk=2\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QByteArray ini = c.before;
        IniText::RemoveKeys(&ini, c.removed);
        ASSERT_TRUE(IniText::SetValues(&ini, c.values, Gb2312()));
        EXPECT_EQ(ini, c.after);
        QStringList written = c.removed;
        for (const auto& v : c.values) {
            QString text;
            EXPECT_TRUE(IniText::LineValue(ini, v.first, Gb2312(), &text));
            EXPECT_EQ(text, v.second.toString());
            written << v.first;
        }
        for (const QString& key : IniText::LineKeys(c.before)) {
            QString was;
            QString is;
            IniText::LineValue(c.before, key, Gb2312(), &was);
            EXPECT_TRUE(written.contains(key) || (IniText::LineValue(ini, key, Gb2312(), &is) && is == was)) << qPrintable(key);
        }
    }
}

TEST(IniText, RawValueFindsTheKeyLikeQSettings)
{
    struct Case {
        const char* name;
        QByteArray ini;
        const char* key;
        const char* text;   // nullptr: not found
    } cases[] = {
        {"later line wins", "[G]\nk=1\n[G]\nk=2\n", "G/k", "2"},
        {"escaped section and key", "[%U00E4G]\nk%41=v\n", "\xC3\xA4G/kA", "v"},
        {"backslash in a key is a slash", "[G]\na\\b=v\n", "G/a/b", "v"},
        {"comment line", "[G]\n;k=no\n  ; k=no\nk=yes\n", "G/k", "yes"},
        {"CR LF lines", "[G]\r\nk=v\r\nj=w\r\n", "G/k", "v"},
        {"general section", "[General]\nk=root\n[G]\nj=1\n", "k", "root"},
        {"missing key", "[G]\nj=1\n", "G/k", nullptr},
        {"key of another group", "[H]\nk=1\n", "G/k", nullptr},
        {"no equals sign", "[G]\nk\n", "G/k", nullptr},
        {"vertical tab before a key is part of it", "[G]\nk=1\n\vk=2\n", "G/k", "1"},
        {"form feed before a key is part of it", "[G]\nk=1\n\fk=2\n", "G/k", "1"},
        {"tab before a key is not", "[G]\nk=1\n\tk=2\n", "G/k", "2"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QString text = "untouched";
        const bool found = IniText::RawValue(c.ini, QString::fromUtf8(c.key), Gb2312(), &text);
        EXPECT_EQ(found, c.text != nullptr);
        EXPECT_EQ(text, c.text ? QString::fromUtf8(c.text) : QString("untouched"));
    }
}

TEST(IniText, ReadGivesTypedLookingValuesAsWritten)
{
    const struct {
        QByteArray line;
        const char* text;
    } cases[] = {
        {"k=@home,5G", "@home,5G"},
        {"k=@Rect(1 2 3 4)", "@Rect(1 2 3 4)"},
        {"k=@Invalid()", "@Invalid()"},
        {"k=@ByteArray(abc)", "@ByteArray(abc)"},
        {"k=@Variant(not a stream)", "@Variant(not a stream)"},
        {"k=@DateTime(x)", "@DateTime(x)"},
        {"k=@a, @@b ,\"@c\"", "@a,@b,@c"},
        {"k=@home", "@home"},
        {"k=@@home", "@home"},
    };
    TempAppDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line.constData());
        dir.writeFile("t.ini", "[G]\n" + c.line + "\n");
        QSettings s(dir.file("t.ini"), QSettings::IniFormat);
        s.setIniCodec(Gb2312());
        EXPECT_EQ(IniText::Read(s, "G/k"), QString::fromUtf8(c.text));
        EXPECT_EQ(IniText::Read(s, "G/missing"), QString());
    }
}

TEST(IniText, AListItemHoldingANulReadsTheSameAfterQSettingsRewritesTheFile)
{
    // QSettings writes such an item back as "@String(...)", which it then
    // takes for a typed value: the list is read from the file's text.
    TempAppDir dir;
    dir.writeFile("list.ini", "[G]\nk=a\\0b, c\n");
    const QString written = QString("a") + QChar(0) + "b,c";
    {
        QSettings s(dir.file("list.ini"), QSettings::IniFormat);
        EXPECT_EQ(IniText::Read(s, "G/k"), written);
        s.setValue("G/other", 1);
    }
    ASSERT_TRUE(dir.readFile("list.ini").contains("k=@String(a\\0\\x62), c"));
    QFile::copy(dir.file("list.ini"), dir.file("fresh.ini"));   // Qt keeps what it parsed by name
    const QSettings fresh(dir.file("fresh.ini"), QSettings::IniFormat);
    EXPECT_EQ(IniText::Read(fresh, "G/k"), written);
}

// QSettings decodes "@Variant(...)" items from binary data as it reads the
// file; a "@" put before one whose type could make it allocate without bound
// makes it read the text written there instead.
TEST(IniText, VariantItemsOfUnboundedTypesGetAnAtBeforeThem)
{
    const struct {
        const char* name;
        QByteArray line;
        QByteArray escaped;   // empty: left as it is
    } cases[] = {
        {"not a stream", "k=@Variant(abc)", "k=@@Variant(abc)"},
        {"a list", "k=@Variant(\\0\\0\\0\\t\\0\\0\\0\\0)", "k=@@Variant(\\0\\0\\0\\t\\0\\0\\0\\0)"},
        {"quoted", "k=\"@Variant(abc)\"", "k=@\"@Variant(abc)\""},
        {"escaped at sign", "k=\\x40Variant(abc)", "k=@\\x40Variant(abc)"},
        {"items of a list", "k=a,  @Variant(abc) ,@Variant(xyz)", "k=a,  @@Variant(abc) ,@@Variant(xyz)"},
        {"blanks before", "k =   @Variant(abc)", "k =   @@Variant(abc)"},
        {"a float, as earlier stations wrote", "k=@Variant(\\0\\0\\0\\x87\\x42\\xb4\\0\\0)", ""},
        {"an int", "k=@Variant(\\0\\0\\0\\x2\\0\\0\\0\\x5)", ""},
        {"too short for a type", "k=@Variant(\\0)", ""},
        {"no closing parenthesis", "k=@Variant(abc", ""},
        {"already doubled", "k=@@Variant(abc)", ""},
        {"inside a text", "k=x@Variant(abc)", ""},
        {"comma inside quotes", "k=\"a,@Variant(abc)\"", ""},
        {"other typed value", "k=@Rect(1 2 3 4)", ""},
        {"key", "@Variant(abc)=v", ""},
        {"comment", ";k=@Variant(abc)", ""},
    };
    TempAppDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QByteArray ini = "[G]\n" + c.line + "\n[H]\nk=@Variant(wxyz)\n";
        const QByteArray expected = "[G]\n" + (c.escaped.isEmpty() ? c.line : c.escaped) + "\n[H]\nk=@@Variant(wxyz)\n";
        QByteArray bytes = ini;
        EXPECT_TRUE(IniText::EscapeBinaryValues(&bytes, Gb2312()));
        EXPECT_EQ(bytes, expected);
        EXPECT_FALSE(IniText::EscapeBinaryValues(&bytes, Gb2312())) << "a second pass changes nothing";

        // The same text before and after (the payloads here decode harmlessly). Qt
        // keeps what it parsed by file name: each case has names of its own.
        const QString before = QString("before-%1.ini").arg(&c - cases);
        const QString after = QString("after-%1.ini").arg(&c - cases);
        dir.writeFile(before, ini);
        dir.writeFile(after, bytes);
        const QSettings original(dir.file(before), QSettings::IniFormat);
        const QSettings escaped(dir.file(after), QSettings::IniFormat);
        EXPECT_EQ(IniText::Read(escaped, "G/k"), IniText::Read(original, "G/k"));
        EXPECT_EQ(IniText::Read(escaped, "H/k"), "@Variant(wxyz)");
    }
}

TEST(IniText, AFileIsRewrittenOnlyWhenItHoldsSuchItems)
{
    TempAppDir dir;
    EXPECT_TRUE(IniText::EscapeBinaryValues(dir.file("missing.ini"), Gb2312()));
    EXPECT_FALSE(QFile::exists(dir.file("missing.ini")));

    dir.writeFile("plain.ini", "[G]\nk=@home\nf=@Variant(\\0\\0\\0\\x87\\x42\\xb4\\0\\0)\n");
    const QDateTime written = QFileInfo(dir.file("plain.ini")).lastModified();
    EXPECT_TRUE(IniText::EscapeBinaryValues(dir.file("plain.ini"), Gb2312()));
    EXPECT_EQ(dir.readFile("plain.ini"), "[G]\nk=@home\nf=@Variant(\\0\\0\\0\\x87\\x42\\xb4\\0\\0)\n");
    EXPECT_EQ(QFileInfo(dir.file("plain.ini")).lastModified(), written);

    dir.writeFile("list.ini", "[G]\r\nk=@Variant(\\0\\0\\0\\t\\x10\\0\\0\\0)\r\n");
    EXPECT_TRUE(IniText::EscapeBinaryValues(dir.file("list.ini"), Gb2312()));
    EXPECT_EQ(dir.readFile("list.ini"), "[G]\r\nk=@@Variant(\\0\\0\\0\\t\\x10\\0\\0\\0)\r\n");
}
