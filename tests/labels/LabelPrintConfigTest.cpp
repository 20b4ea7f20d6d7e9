#include "AppGlobals.h"
#include "BoxRecorder.h"
#include "LabelLine.h"
#include "LabelPrintConfig.h"
#include "TempAppDir.h"

#include <QTextCodec>

#include <gtest/gtest.h>

#include <cmath>
#include <iterator>
#include <limits>

namespace {

QByteArray Gb2312(const QString& text)
{
    return QTextCodec::codecForName("GB2312")->fromUnicode(text);
}

class TemplateFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_previousPath = CurrentPrintConfigPath;
        CurrentPrintConfigPath = m_dir.file("PrintConfig/label.ini");
        m_dir.writeFile("PrintConfig/.keep", QByteArray());
    }
    void TearDown() override { CurrentPrintConfigPath = m_previousPath; }

    void WriteTemplate(const QByteArray& bytes) { ASSERT_TRUE(m_dir.writeFile("PrintConfig/label.ini", bytes)); }
    QByteArray ReadTemplate() const { return m_dir.readFile("PrintConfig/label.ini"); }

    TempAppDir m_dir;
    LabelPrintConfig m_store;
    QString m_previousPath;
};

PrintTemplate SampleTemplate()
{
    PrintTemplate t;
    t.width = 40.7f;
    t.height = 30;
    t.bShowSn = true;
    t.bShowIndentify = false;
    t.bShowTimeDate = true;
    t.bShowMac = true;
    t.bShowEnglish = false;
    t.fontSize = 2.5f;
    t.fPrintPaperSpace = 2;
    t.iPrintMode = 1;
    t.iPrintTimes = 1;
    t.bSupportJumpDownloadApp = true;
    t.labels << "5,3.00000000,0.00000000,20.00000000,20.00000000,0.00000000,,,0"
             << QString::fromUtf8("0,1.50000000,22.00000000,30.00000000,3.00000000,2.00000000,型号 IPC-1,,7");
    return t;
}

}  // namespace

// Runs first: the process-wide store is created here.
TEST(LabelPrintConfigInstance, FirstLoadReportsALegacyErrorAsAStatusWithoutABox)
{
    TempAppDir dir;
    dir.writeFile("PrintConfig/old.ini", "[BASE_SIZE]\nwidth=50\n[LABELS]\niSize=1\n0=\"0,1,2\"\n");
    CurrentPrintConfigPath = dir.file("PrintConfig/old.ini");
    BoxRecorder boxes;
    LabelPrintConfig* store = LabelPrintConfig::Instance();
    ASSERT_NE(store, nullptr);
    EXPECT_TRUE(boxes.texts.isEmpty());
    EXPECT_EQ(store->LastLoadStatus(), LabelPrintConfig::LoadLegacyFieldCount);
    EXPECT_EQ(store->Template().width, 50.0f);   // what was read before the bad line
    EXPECT_EQ(LabelPrintConfig::Instance(), store);
    CurrentPrintConfigPath.clear();
}

TEST_F(TemplateFileTest, SaveWritesTheFileByteForByte)
{
    ASSERT_TRUE(m_store.Save(SampleTemplate()));
    const QString expected = QString::fromUtf8(
        "[BASE_SIZE]\n"
        "height=30\n"
        "width=40.7\n"
        "\n"
        "[LABELS]\n"
        "0=\"5,3.00000000,0.00000000,20.00000000,20.00000000,0.00000000,,,0\"\n"
        "1=\"0,1.50000000,22.00000000,30.00000000,3.00000000,2.00000000,型号 IPC-1,,7\"\n"
        "iSize=2\n"
        "\n"
        "[OTHER]\n"
        "bSupportJumpDownloadApp=true\n"
        "fPrintPaperSpace=2\n"
        "iPrintMode=1\n"
        "iPrintTimes=1\n"
        "\n"
        "[SN_INDENTIFY]\n"
        "bShowEnglish=false\n"
        "bShowIndentify=false\n"
        "bShowMac=true\n"
        "bShowSn=true\n"
        "bShowTimeDate=true\n"
        "fontSize=2.5\n"
        "\n"
        "[VERINFO]\n"
        "buildTime=%1\n"
        "ver=V1.0.6.4\n").arg(LabelPrintConfig::BuildTime());
    const QByteArray bytes = ReadTemplate();
    EXPECT_EQ(bytes, Gb2312(expected));
    EXPECT_FALSE(bytes.contains("@Variant"));
    EXPECT_TRUE(bytes.contains("\xd0\xcd\xba\xc5"));   // the model text in GB2312
}

TEST_F(TemplateFileTest, SavedTemplateLoadsBackUnchangedAndUpdatesOnlyOnSave)
{
    const PrintTemplate saved = SampleTemplate();
    ASSERT_TRUE(m_store.Save(saved));
    EXPECT_EQ(m_store.Template(), saved);

    PrintTemplate loaded;
    ASSERT_TRUE(m_store.Load(loaded));
    EXPECT_EQ(loaded, saved);

    // A Load into the caller's record leaves the store's own record alone.
    WriteTemplate("[BASE_SIZE]\nwidth=10\n[SN_INDENTIFY]\nbShowMac=false\n");
    PrintTemplate other;
    ASSERT_TRUE(m_store.Load(other));
    EXPECT_EQ(other.width, 10.0f);
    EXPECT_EQ(m_store.Template(), saved);
    m_store.Reload();
    EXPECT_EQ(m_store.Template(), other);
}

TEST_F(TemplateFileTest, SaveReplacesEveryEarlierKey)
{
    WriteTemplate("[LABELS]\niSize=5\n0=a\n3=b\n4=c\n[FOREIGN]\nkey=1\n");
    PrintTemplate t = SampleTemplate();
    t.labels = QStringList{"1,0,0,10,1,0,,,7", "2,0,0,1,10,0,,,8", "0,0,0,10,3,2,x,,9"};
    ASSERT_TRUE(m_store.Save(t));
    const QByteArray bytes = ReadTemplate();
    EXPECT_TRUE(bytes.contains("iSize=3\n"));
    EXPECT_TRUE(bytes.contains("2=\"0,0,0,10,3,2,x,,9\"\n"));
    EXPECT_FALSE(bytes.contains("3=")) << bytes.constData();
    EXPECT_FALSE(bytes.contains("FOREIGN"));
}

// Qt would write such a character as "?" and the label would print it so.
TEST_F(TemplateFileTest, SaveRefusesALineGb2312CannotHoldAndLeavesTheFileAsItWas)
{
    const PrintTemplate saved = SampleTemplate();
    ASSERT_TRUE(m_store.Save(saved));
    const QByteArray before = ReadTemplate();
    for (const char* text : {"p\xC3\xA4ss", "home\xF0\x9F\x98\x80"}) {
        SCOPED_TRACE(text);
        PrintTemplate t = SampleTemplate();
        t.labels << QString("0,1,30,20,3,2,%1,,8").arg(QString::fromUtf8(text));
        EXPECT_EQ(LabelPrintConfig::UnstorableLine(t), 2);
        EXPECT_FALSE(m_store.Save(t));
        EXPECT_EQ(ReadTemplate(), before);
        EXPECT_EQ(m_store.Template(), saved);
    }
    EXPECT_EQ(LabelPrintConfig::UnstorableLine(saved), -1);
}

TEST(LabelPrintConfigText, FloatsAreWrittenAsTheirShortestText)
{
    const struct { float value; const char* text; } cases[] = {
        {90.0f, "90"}, {2.5f, "2.5"}, {40.7f, "40.7"}, {0.1f, "0.1"}, {0.0f, "0"}, {-3.25f, "-3.25"},
        {123456.7f, "123456.7"}, {1e-7f, "1e-07"},
    };
    for (const auto& c : cases) {
        const QString text = LabelPrintConfig::FloatText(c.value);
        EXPECT_EQ(text, QString(c.text)) << c.text;
        EXPECT_EQ(text.toFloat(), c.value) << c.text;
    }
}

TEST_F(TemplateFileTest, SaveReportsAFileThatCannotBeWritten)
{
    m_dir.writeFile("plainfile", "x");
    for (const QString& path : {m_dir.file("plainfile/label.ini"), QString()}) {
        CurrentPrintConfigPath = path;
        EXPECT_FALSE(m_store.Save(SampleTemplate())) << qPrintable(path);
    }
}

// Templates made on the earlier station: CR LF lines, GB2312 text, a float stored as a variant.
TEST_F(TemplateFileTest, ExistingWindowsFileLoads)
{
    const QByteArray bytes = "[BASE_SIZE]\r\nwidth=@Variant(\\0\\0\\0\\x87\\x42\\xb4\\0\\0)\r\nheight=40\r\n\r\n"
                             "[SN_INDENTIFY]\r\nbShowMac=true\r\nbShowSn=true\r\n\r\n"
                             "[OTHER]\r\niPrintMode=1\r\nfPrintPaperSpace=2.5\r\n\r\n"
                             "[LABELS]\r\niSize=1\r\n0=\"0,1,2,3,4,5,"
                             + Gb2312(QString::fromUtf8("型号")) + ",,7\"\r\n";
    WriteTemplate(bytes);
    PrintTemplate t;
    ASSERT_TRUE(m_store.Load(t));
    EXPECT_EQ(t.width, 90.0f);
    EXPECT_EQ(t.height, 40.0f);
    EXPECT_EQ(t.fPrintPaperSpace, 2.5f);
    EXPECT_EQ(t.iPrintMode, 1);
    EXPECT_TRUE(t.bShowSn);
    EXPECT_EQ(t.labels, QStringList{QString::fromUtf8("0,1,2,3,4,5,型号,,7")});
}

TEST_F(TemplateFileTest, MissingFileLoadsAsAnEmptyTemplate)
{
    PrintTemplate t = SampleTemplate();
    EXPECT_TRUE(m_store.Load(t));
    EXPECT_EQ(t, PrintTemplate());
    EXPECT_EQ(m_store.LastLoadStatus(), LabelPrintConfig::LoadOk);
}

// The same lines in a legacy file (no SN_INDENTIFY/bShowMac) and a current one.
TEST_F(TemplateFileTest, LegacyIndexesMoveToTheCurrentNumbering)
{
    const struct { const char* index; const char* converted; } cases[] = {
        {"0", "0"}, {"1", "1"}, {"2", "3"}, {"3", "4"}, {"4", "7"}, {"9", "12"}, {"-1", "-1"}, {"x", "0"},
        {"2147483646", "2147483649"}, {"2147483647", "2147483650"},   // no wrap to a negative number
    };
    QByteArray body = "[LABELS]\niSize=" + QByteArray::number(int(std::size(cases))) + "\n";
    QStringList current;
    QStringList converted;
    for (int i = 0; i < int(std::size(cases)); ++i) {
        const QString line = QString("0,1,2,3,4,5,t%1,,%2").arg(i).arg(cases[i].index);
        body += QByteArray::number(i) + "=\"" + line.toLatin1() + "\"\n";
        current << line;
        converted << QString("0,1,2,3,4,5,t%1,,%2").arg(i).arg(cases[i].converted);
    }
    WriteTemplate(body);
    PrintTemplate legacy;
    ASSERT_TRUE(m_store.Load(legacy));
    EXPECT_EQ(legacy.labels, converted);

    WriteTemplate(body + "[SN_INDENTIFY]\nbShowMac=false\n");
    PrintTemplate fresh;
    ASSERT_TRUE(m_store.Load(fresh));
    EXPECT_EQ(fresh.labels, current);
}

TEST_F(TemplateFileTest, LegacyConversionKeepsATextThatHoldsCommas)
{
    WriteTemplate("[LABELS]\niSize=1\n0=\"0,1,2,3,4,5,a,b,pic.png,4\"\n");
    PrintTemplate t;
    ASSERT_TRUE(m_store.Load(t));
    EXPECT_EQ(t.labels, QStringList{"0,1,2,3,4,5,a,b,pic.png,7"});
}

TEST_F(TemplateFileTest, ShortLegacyLineStopsTheLoadWithAStatusNotABox)
{
    WriteTemplate("[LABELS]\niSize=3\n0=\"0,1,2,3,4,5,a,,1\"\n1=\"0,1,2\"\n2=\"0,1,2,3,4,5,c,,1\"\n");
    BoxRecorder boxes;
    PrintTemplate t;
    EXPECT_FALSE(m_store.Load(t));
    EXPECT_EQ(m_store.LastLoadStatus(), LabelPrintConfig::LoadLegacyFieldCount);
    EXPECT_EQ(t.labels, QStringList{"0,1,2,3,4,5,a,,1"});
    EXPECT_TRUE(boxes.texts.isEmpty());

    LabelPrintConfig::ShowLoadError(m_store.LastLoadStatus());
    EXPECT_EQ(boxes.texts, QStringList{"error|moudle file's label field number is error"});
}

TEST_F(TemplateFileTest, LineCountIsBoundedByTheLinesPresent)
{
    const QByteArray twoLines = "0=\"0,1,2,3,4,5,a,,7\"\n1=\"0,1,2,3,4,5,b,,8\"\n";
    const struct { const char* size; int expected; } cases[] = {
        {"2147483647", 2}, {"99999999999", 2}, {"-5", 0}, {"", 0}, {"1", 1}, {"abc", 0},
    };
    for (const auto& c : cases) {
        QByteArray body = "[SN_INDENTIFY]\nbShowMac=true\n[LABELS]\n" + twoLines;
        if (*c.size)
            body += QByteArray("iSize=") + c.size + "\n";
        WriteTemplate(body);
        PrintTemplate t;
        EXPECT_TRUE(m_store.Load(t)) << c.size;
        EXPECT_EQ(t.labels.size(), c.expected) << c.size;
    }
}

TEST_F(TemplateFileTest, AGapInTheNumberedLinesIsSkipped)
{
    // A line removed by hand, with iSize kept or lowered: the lines after the gap are read.
    auto line = [](char text, int index) { return QString("0,1,2,3,4,5,%1,,%2").arg(text).arg(index); };
    const struct {
        const char* name;
        QByteArray labels;
        QStringList expected;
    } cases[] = {
        {"middle line gone", "iSize=3\n0=\"0,1,2,3,4,5,a,,7\"\n2=\"0,1,2,3,4,5,c,,9\"\n", {line('a', 7), line('c', 9)}},
        {"iSize lowered too", "iSize=3\n0=\"0,1,2,3,4,5,a,,7\"\n2=\"0,1,2,3,4,5,c,,9\"\n3=\"0,1,2,3,4,5,d,,10\"\n",
         {line('a', 7), line('c', 9), line('d', 10)}},
        {"first line gone", "iSize=4\n1=\"0,1,2,3,4,5,b,,8\"\n2=\"0,1,2,3,4,5,c,,9\"\n", {line('b', 8), line('c', 9)}},
        {"iSize still bounds", "iSize=2\n0=\"0,1,2,3,4,5,a,,7\"\n2=\"0,1,2,3,4,5,c,,9\"\n5=\"0,1,2,3,4,5,f,,12\"\n",
         {line('a', 7), line('c', 9)}},
        {"keys that are no line numbers", "iSize=3\n01=\"0,1,2,3,4,5,x,,7\"\n-1=\"0,1,2,3,4,5,y,,7\"\n"
                                          "2=\"0,1,2,3,4,5,c,,9\"\n",
         {line('c', 9)}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        WriteTemplate("[SN_INDENTIFY]\nbShowMac=true\n[LABELS]\n" + c.labels);
        PrintTemplate t;
        EXPECT_TRUE(m_store.Load(t));
        EXPECT_EQ(t.labels, c.expected);
        // A legacy file (no bShowMac) reads the same lines, renumbered.
        WriteTemplate("[LABELS]\n" + c.labels);
        PrintTemplate legacy;
        EXPECT_TRUE(m_store.Load(legacy));
        EXPECT_EQ(legacy.labels.size(), c.expected.size());
    }
}

TEST_F(TemplateFileTest, LineTextsBeginningWithAtLoadAsWrittenAndSurviveASave)
{
    // Hand-edited lines without quotes: QSettings alone reads them as typed values.
    const QByteArray lines = "[LABELS]\niSize=3\n"
                             "0=0,1,2,3,4,5,@home,,7\n"
                             "1=0,1,2,3,4,5,@Rect(1 2 3 4),,8\n"
                             "2=0,1,2,3,4,5,@Invalid(),@pic.png,4\n";
    const QStringList written = {"0,1,2,3,4,5,@home,,7", "0,1,2,3,4,5,@Rect(1 2 3 4),,8",
                                 "0,1,2,3,4,5,@Invalid(),@pic.png,4"};
    WriteTemplate(lines);   // legacy: the last index is renumbered, nothing else
    PrintTemplate legacy;
    ASSERT_TRUE(m_store.Load(legacy));
    EXPECT_EQ(legacy.labels, (QStringList{"0,1,2,3,4,5,@home,,10", "0,1,2,3,4,5,@Rect(1 2 3 4),,11",
                                          "0,1,2,3,4,5,@Invalid(),@pic.png,7"}));

    WriteTemplate("[SN_INDENTIFY]\nbShowMac=true\n" + lines);
    PrintTemplate t;
    ASSERT_TRUE(m_store.Load(t));
    EXPECT_EQ(t.labels, written);
    ASSERT_TRUE(m_store.Save(t));
    PrintTemplate back;
    ASSERT_TRUE(m_store.Load(back));
    EXPECT_EQ(back.labels, written);
    EXPECT_EQ(m_store.Template().labels, written);
}

TEST_F(TemplateFileTest, AFieldQtWouldDecodeAsAHugeListLoadsAsItsText)
{
    // Read by QSettings alone, the list count 0x10000000 ends the program with std::bad_alloc.
    WriteTemplate("[SN_INDENTIFY]\nbShowMac=true\n[LABELS]\niSize=1\n"
                  "0=0,1,2,3,4,5,@Variant(\\0\\0\\0\\t\\x10\\0\\0\\0),,7\n");
    PrintTemplate t;
    ASSERT_TRUE(m_store.Load(t));
    EXPECT_EQ(t.labels, QStringList{"0,1,2,3,4,5," + QString::fromLatin1("@Variant(\0\0\0\t\x10\0\0\0)", 18) + ",,7"});
    EXPECT_TRUE(ReadTemplate().contains(",@@Variant("));
}

TEST_F(TemplateFileTest, CurrentFormatSkipsShortLinesAndReadsUnquotedOnes)
{
    WriteTemplate("[SN_INDENTIFY]\nbShowMac=true\n[LABELS]\niSize=4\n"
                  "0=\"0,1,2,3,4,5,a,,7\"\n"
                  "1=\"0,1,2\"\n"
                  "2=0,1,2,3,4,5,hand edited,,8\n"
                  "3=plain\n");
    PrintTemplate t;
    EXPECT_TRUE(m_store.Load(t));
    EXPECT_EQ(t.labels, (QStringList{"0,1,2,3,4,5,a,,7", "0,1,2,3,4,5,hand edited,,8"}));
}

TEST(LabelLineTest, FieldsOfStoredLines)
{
    const struct { const char* line; bool ok; const char* text; const char* path; int index; } cases[] = {
        {"0,1.5,2,3,4,5,hello,,7", true, "hello", "", 7},
        {"3,0,0,10,10,0,,/pics/logo.png,8", true, "", "/pics/logo.png", 8},
        {"0,1,2,3,4,5,a,b,c,,9", true, "a,b,c", "", 9},       // a text with commas from an old file
        {"0,1,2,3,4,5,a,b,c,p.png,9", true, "a,b,c", "p.png", 9},
        {"0,1,2,3,4,5,a,7", false, "", "", 0},
        {"", false, "", "", 0},
        {"0,nan,2,3,4,5,a,,7", false, "", "", 0},
        {"0,1,inf,3,4,5,a,,7", false, "", "", 0},
        {"0,1,2,1e30,4,5,a,,7", false, "", "", 0},
        {"0,1,2,3,4,-20000,a,,7", false, "", "", 0},
    };
    for (const auto& c : cases) {
        LabelLine l;
        ASSERT_EQ(LabelLine::Parse(c.line, &l), c.ok) << c.line;
        if (!c.ok)
            continue;
        EXPECT_EQ(l.text, QString(c.text)) << c.line;
        EXPECT_EQ(l.picturePath, QString(c.path)) << c.line;
        EXPECT_EQ(l.index, c.index) << c.line;
    }
    LabelLine l;
    ASSERT_TRUE(LabelLine::Parse("4,1.25,2.5,30,8,0,,,2", &l));
    EXPECT_EQ(l.type, LabelLine::Barcode);
    EXPECT_DOUBLE_EQ(l.x, 1.25);
    EXPECT_DOUBLE_EQ(l.y, 2.5);
    EXPECT_DOUBLE_EQ(l.width, 30);
    EXPECT_DOUBLE_EQ(l.height, 8);
    EXPECT_TRUE(LabelLine::IsStorableField("logo 1.png"));
    EXPECT_FALSE(LabelLine::IsStorableField("a,b"));
}
