#include "BarcodeGenerator.h"
#include "BoxRecorder.h"
#include "ZbarReader.h"

#include <QPainter>

#include <gtest/gtest.h>

#include <set>

namespace {

// Bars of `moduleWidth` pixels on white, with a light margin around them.
QImage DrawModules(const QString& modules, QChar dark, int moduleWidth = 3, int height = 120)
{
    QImage image(modules.size() * moduleWidth + 40, height + 40, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    for (int i = 0; i < modules.size(); ++i) {
        if (modules.at(i) == dark)
            p.fillRect(20 + i * moduleWidth, 20, moduleWidth, height, Qt::black);
    }
    return image;
}

QString Code128Pattern(const BarcodeGenerator& g, int value)
{
    return g.Code128Patterns().at(value);
}

}  // namespace

TEST(Code128Test, TablesHoldEveryValueOnce)
{
    BarcodeGenerator g;
    ASSERT_EQ(g.Code128Names().size(), 107);
    ASSERT_EQ(g.Code128Patterns().size(), 107);
    EXPECT_EQ(g.Code128Names().at(0), "SP");
    EXPECT_EQ(g.Code128Names().at(1), "!");
    EXPECT_EQ(g.Code128Names().at(33), "A");
    EXPECT_EQ(g.Code128Names().at(94), "~");
    EXPECT_EQ(g.Code128Names().at(95), "DEL");
    EXPECT_EQ(g.Code128Names().at(106), "Stop");
    EXPECT_EQ(Code128Pattern(g, 104), "bbsbssbssss");
    EXPECT_EQ(Code128Pattern(g, 106), "bbsssbbbsbsbb");
    std::set<QString> distinct;
    for (int v = 0; v < 107; ++v) {
        const QString p = Code128Pattern(g, v);
        EXPECT_EQ(p.size(), v == 106 ? 13 : 11) << v;
        EXPECT_EQ(p.count('b') % 2, 0) << v;   // every Code 128 symbol has an even bar module count
        distinct.insert(p);
    }
    EXPECT_EQ(distinct.size(), 107u);
}

TEST(Code128Test, ModuleStringOfOneCharacter)
{
    BarcodeGenerator g;
    const QString quiet(11, 's');
    // A: value 33; check (104 + 33) mod 103 = 34.
    EXPECT_EQ(g.EncodeCode128("A"), quiet + "bbsbssbssss" + Code128Pattern(g, 33) + Code128Pattern(g, 34)
                                         + "bbsssbbbsbsbb" + quiet);
    EXPECT_EQ(g.EncodeCode128("A").size(), 68);
}

TEST(Code128Test, LengthAndCheckValue)
{
    BarcodeGenerator g;
    const QString ab12 = g.EncodeCode128("AB12");
    EXPECT_EQ(ab12.size(), 101);
    EXPECT_TRUE(ab12.startsWith(QString(11, 's')));
    EXPECT_TRUE(ab12.endsWith(QString(11, 's')));
    // AAAA: (104 + 33 * (1 + 2 + 3 + 4)) mod 103 = 22, just before Stop.
    const QString aaaa = g.EncodeCode128("AAAA");
    EXPECT_EQ(aaaa.mid(11 + 11 + 4 * 11, 11), Code128Pattern(g, 22));
}

// zbar reads our bars independently: every printable character and a long serial number.
TEST(Code128Test, ScannerReadsTheEncodedText)
{
    BarcodeGenerator g;
    QString all;
    for (char c = '!'; c <= '~'; ++c)
        all += QLatin1Char(c);
    const QStringList texts{"VT0123456789ABC", "027c41af0a3f", all.left(47), all.mid(47)};
    for (const QString& text : texts) {
        const QString modules = g.EncodeCode128(text);
        ASSERT_EQ(modules.size(), 57 + 11 * text.size()) << qPrintable(text);
        EXPECT_EQ(DecodeImage(DrawModules(modules, 'b'), "CODE-128"), QStringList{text}) << qPrintable(text);
    }
}

TEST(Code128Test, RefusedTextsShowTheirBoxAndGiveNothing)
{
    const struct { QString text; QString box; } cases[] = {
        {"", "barcode|Barcode content cannot be empty"},
        {"AB 12", QString::fromUtf8("barcode|输入的内容含不可\n编码字符。。。")},
        {QString::fromUtf8("AB型"), QString::fromUtf8("barcode|输入的内容含不可\n编码字符。。。")},
        {"A\tB", QString::fromUtf8("barcode|输入的内容含不可\n编码字符。。。")},
    };
    BarcodeGenerator g;
    for (const auto& c : cases) {
        BoxRecorder boxes;
        const QString result = g.EncodeCode128(c.text);
        EXPECT_TRUE(result.isNull()) << qPrintable(c.text);
        EXPECT_EQ(boxes.texts, QStringList{c.box}) << qPrintable(c.text);
    }
}

TEST(Ean13Test, ModulesAndCheckDigit)
{
    BarcodeGenerator g;
    const struct { const char* digits; const char* full; } cases[] = {
        {"400638133393", "4006381333931"},
        {"590123412345", "5901234123457"},
        {"871125300120", "8711253001202"},
    };
    for (const auto& c : cases) {
        const QString modules = g.EncodeEan13(c.digits);
        ASSERT_EQ(modules.size(), 113) << c.digits;
        EXPECT_TRUE(modules.startsWith(QString(11, '0') + "101")) << c.digits;
        EXPECT_TRUE(modules.endsWith("101" + QString(7, '0'))) << c.digits;
        EXPECT_EQ(modules.mid(14 + 42, 5), "01010") << c.digits;
        EXPECT_EQ(DecodeImage(DrawModules(modules, '1'), "EAN-13"), QStringList{c.full}) << c.digits;
    }
    // First digit 4: parity ABAABB; digit 0 in set A, then 0 in set B.
    const QString m = g.EncodeEan13("400638133393");
    EXPECT_EQ(m.mid(14, 7), "0001101");
    EXPECT_EQ(m.mid(21, 7), "0100111");
}

TEST(Ean13Test, RefusedTextsShowTheirBoxAndGiveNothing)
{
    const QString length = QString::fromUtf8("barcode|请输入12位数字编号：");
    const QString nonDigit = QString::fromUtf8("barcode|输入的字符不应含有\n非数字符号。。。");
    const QString leadingZero = QString::fromUtf8("barcode|前置码不能为0。");
    const struct { QString text; QString box; } cases[] = {
        {"", length}, {"12345678901", length}, {"1234567890123", length},
        {"A23456789012", nonDigit}, {"12345A789012", nonDigit}, {"12345678901x", nonDigit},
        {QString::fromUtf8("١23456789012"), nonDigit},   // Arabic-Indic digit
        {"012345678901", leadingZero},
    };
    BarcodeGenerator g;
    for (const auto& c : cases) {
        BoxRecorder boxes;
        EXPECT_TRUE(g.EncodeEan13(c.text).isNull()) << qPrintable(c.text);
        EXPECT_EQ(boxes.texts, QStringList{c.box}) << qPrintable(c.text);
    }
}
