#include "BarcodeGenerator.h"

#include "ModalHook.h"

#include <QCoreApplication>
#include <QMessageBox>

namespace {

// Bar and space widths of each Code 128 value, bar first (ISO/IEC 15417).
const char* const kCode128Widths[BarcodeGenerator::Code128ValueCount] = {
    "212222", "222122", "222221", "121223", "121322", "131222", "122213", "122312", "132212", "221213",
    "221312", "231212", "112232", "122132", "122231", "113222", "123122", "123221", "223211", "221132",
    "221231", "213212", "223112", "312131", "311222", "321122", "321221", "312212", "322112", "322211",
    "212123", "212321", "232121", "111323", "131123", "131321", "112313", "132113", "132311", "211313",
    "231113", "231311", "112133", "112331", "132131", "113123", "113321", "133121", "313121", "211331",
    "231131", "213113", "213311", "213131", "311123", "311321", "331121", "312113", "312311", "332111",
    "314111", "221411", "431111", "111224", "111422", "121124", "121421", "141122", "141221", "112214",
    "112412", "122114", "122411", "142112", "142211", "241211", "221114", "413111", "241112", "134111",
    "111242", "121142", "121241", "114212", "124112", "124211", "411212", "421112", "421211", "212141",
    "214121", "412121", "111143", "111341", "131141", "114113", "114311", "411113", "411311", "113141",
    "114131", "311141", "411131", "211412", "211214", "211232", "2331112",
};

const char* const kCode128Specials[] = {
    "DEL", "FNC3", "FNC2", "SHIFT", "CODEC", "FNC4", "CODEA", "FNC1", "StartA", "StartB", "StartC", "Stop",
};

QString WidthsToModules(const char* widths)
{
    QString modules;
    bool bar = true;
    for (const char* w = widths; *w; ++w, bar = !bar)
        modules += QString(*w - '0', bar ? 'b' : 's');
    return modules;
}

bool IsDecimalDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

const QString kQuiet128(11, 's');

}  // namespace

BarcodeGenerator::BarcodeGenerator()
{
    InitCode128Table();
    InitEan13Table();
}

void BarcodeGenerator::InitCode128Table()
{
    m_code128Names << "SP";
    for (char c = '!'; c <= '~'; ++c)
        m_code128Names << QString(QLatin1Char(c));
    for (const char* name : kCode128Specials)
        m_code128Names << name;
    for (const char* widths : kCode128Widths)
        m_code128Patterns << WidthsToModules(widths);
}

void BarcodeGenerator::InitEan13Table()
{
    m_ean13Parity = QStringList{"AABABB", "AABBAB", "AABBBA", "ABAABB", "ABBAAB",
                                "ABBBAA", "ABABAB", "ABABBA", "ABBABA"};
    m_ean13SetA = QStringList{"0001101", "0011001", "0010011", "0111101", "0100011",
                              "0110001", "0101111", "0111011", "0110111", "0001011"};
    m_ean13SetB = QStringList{"0100111", "0110011", "0011011", "0100001", "0011101",
                              "0111001", "0000101", "0010001", "0001001", "0010111"};
    m_ean13SetC = QStringList{"1110010", "1100110", "1101100", "1000010", "1011100",
                              "1001110", "1010000", "1000100", "1001000", "1110100"};
}

void BarcodeGenerator::ShowError(const QString& text)
{
    QMessageBox box(QMessageBox::Information, "barcode", text, QMessageBox::Ok);
    ModalHook::Exec(&box);
}

QString BarcodeGenerator::EncodeCode128(const QString& text) const
{
    if (text.isEmpty()) {
        ShowError(QCoreApplication::translate("BarcodeGenerator", "Barcode content cannot be empty"));
        return QString();
    }
    QString modules = m_code128Patterns.at(Code128StartB);
    int sum = Code128StartB;
    for (int p = 1; p <= text.size(); ++p) {
        const int value = m_code128Names.indexOf(QString(text.at(p - 1)));
        if (value < 0) {
            ShowError(QString::fromUtf8("输入的内容含不可\n编码字符。。。"));
            return QString();
        }
        modules += m_code128Patterns.at(value);
        sum = (sum + value * p) % 103;   // kept reduced: long texts never overflow
    }
    modules += m_code128Patterns.at(sum % 103);
    modules += m_code128Patterns.at(Code128Stop);
    return kQuiet128 + modules + kQuiet128;
}

QString BarcodeGenerator::EncodeEan13(const QString& text) const
{
    const QString nonDigit = QString::fromUtf8("输入的字符不应含有\n非数字符号。。。");
    if (text.size() != 12) {
        ShowError(QString::fromUtf8("请输入12位数字编号："));
        return QString();
    }
    if (!IsDecimalDigit(text.at(0))) {
        ShowError(nonDigit);
        return QString();
    }
    const int first = text.at(0).digitValue();
    if (first == 0) {
        ShowError(QString::fromUtf8("前置码不能为0。"));
        return QString();
    }
    for (QChar c : text) {
        if (!IsDecimalDigit(c)) {
            ShowError(nonDigit);
            return QString();
        }
    }
    const QString& parity = m_ean13Parity.at(first - 1);
    QString modules = QString(11, '0') + "101";
    for (int i = 1; i <= 6; ++i) {
        const int digit = text.at(i).digitValue();
        modules += parity.at(i - 1) == 'A' ? m_ean13SetA.at(digit) : m_ean13SetB.at(digit);
    }
    modules += "01010";
    int sum = 0;
    for (int i = 0; i < 12; ++i)
        sum += text.at(i).digitValue() * (i % 2 == 0 ? 1 : 3);
    for (int i = 7; i <= 11; ++i)
        modules += m_ean13SetC.at(text.at(i).digitValue());
    modules += m_ean13SetC.at((10 - sum % 10) % 10);
    modules += "101" + QString(7, '0');
    return modules;
}
