// The chain's checks that need no controller: serial numbers, the test-type
// match, the authorization sign, the model from the version texts.
#include "DevChecks.h"
#include "DevInfo.h"
#include "DevTypeInfo.h"

#include <QCryptographicHash>

#include <gtest/gtest.h>

#include <cstring>
#include <set>

namespace {

TEST(ChecksTest, ValidSerialNumbers)
{
    struct Case {
        const char* sn;
        bool valid;
    };
    const Case cases[] = {
        {"VT21A00000000001", true},
        {"FFFFFFFF00000001", false},
        {"ffffffff00000001", false},
        {"FfFfFfFf00000001", true},    // only the all-upper and all-lower forms are blanks
        {"0000000012345678", false},
        {"1000000000000000", true},
        {"VT21A0000001", false},       // 12 characters
        {"VT21A000000000012", false},  // 17 characters
        {"", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(IsValidSN(QString::fromLatin1(c.sn)), c.valid) << c.sn;
}

TEST(ChecksTest, DeviceTypeAgainstTestType)
{
    // device type -> the test types it may be tested under; others always pass.
    const std::set<std::pair<int, int>> allowed = {
        {1, 0}, {2, 0}, {3, 2}, {4, 1}, {5, 3}, {0, 3}, {0, 4},
    };
    for (int devType = -1; devType <= 7; ++devType) {
        for (int testType = 0; testType <= 4; ++testType) {
            const bool judged = devType >= 0 && devType <= 5;
            const bool pass = !judged || allowed.count({devType, testType}) > 0;
            EXPECT_EQ(TestModelMismatchText(devType, testType) == nullptr, pass) << devType << " under " << testType;
        }
    }
    EXPECT_STREQ(TestModelMismatchText(3, 0), "current dev type 4G, no match the selected test type");
    EXPECT_STREQ(TestModelMismatchText(0, 1), "current dev type default wired, no match the selected test type");
}

QString Md5Upper(const QByteArray& text)
{
    return QString::fromLatin1(QCryptographicHash::hash(text, QCryptographicHash::Md5).toHex().toUpper());
}

TEST(ChecksTest, AuthorizationSignTakesTheSerialNumberThenTheUuid)
{
    struct Case {
        const char* sn;
        const char* uuid;
        const char* signedText;
    };
    const Case cases[] = {
        // A 10-character serial number and a 14-character UUID: characters 2-9, then 5-12, then the salt.
        {"ABCDEFGHIJ", "0123456789abcd", "BCDEFGHI456789abQUARLN"},
        {"ABCDEFGHIJ", "", "BCDEFGHIQUARLN"},
        {"A", "0123", "QUARLN"},
        {"VT21A00000000001", "uuid-\xc3\xa4\xc3\xb6\xc3\xbc-9", "T21A0000-\xc3\xa4\xc3\xb6\xc3\xbc-9QUARLN"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.sn);
        QString sign = "untouched";
        ASSERT_EQ(GetAuthorizeSign(QString::fromUtf8(c.sn), QString::fromUtf8(c.uuid), sign), 0);
        EXPECT_EQ(sign.toStdString(), Md5Upper(c.signedText).toStdString());
        EXPECT_EQ(sign.size(), 32);
    }
    QString sign = "untouched";
    EXPECT_EQ(GetAuthorizeSign(QString(), "0123456789abcd", sign), -1);
    EXPECT_EQ(sign, "untouched");
}

TEST(ChecksTest, LabelsPrintForMainType101WithTypes1To6)
{
    DevTypeInfo info;
    EXPECT_EQ(info.eTypeDevMainType, 100);
    for (int mainType : {100, 101, 102}) {
        for (int type = -1; type <= 7; ++type) {
            info.eTypeDevMainType = mainType;
            info.eType = type;
            EXPECT_EQ(DevTypeSupportsPrint(info), mainType == 101 && type >= 1 && type <= 6) << mainType << "/" << type;
        }
    }
}

TEST(ChecksTest, ModelFromTheVersionTexts)
{
    struct Case {
        const char* name;
        const char* fsIdentify;
        const char* devIdentify;
        const char* firmware;
        int result;
        const char* model;
    };
    const std::string longModel(80, 'M');
    const std::string longIdentify = "x_" + longModel + "_y";
    const Case cases[] = {
        {"between the first two underscores", "IPC_T31X_V2_2024", "ID-1", "FW-1", 0, "T31X"},
        {"placeholder: device identify", "IPC_QV207L_V2", "G7-PRO-2", "FW-1", 0, "G7"},
        {"empty part: device identify", "IPC__V2", "G8-A", "FW-1", 0, "G8"},
        {"one underscore: device identify", "IPC_T31", "G9", "FW-1", 0, "G9"},
        {"device identify placeholder too: firmware", "IPC_QV207L_V2", "QV207L-X", "H3-1.2.3", 0, "H3"},
        {"no firmware left", "IPC_QV207L_V2", "", "", -2, "kept"},
        {"no file-system identify", "", "G7-PRO", "FW-1", -1, "kept"},
        {"cut to 63 bytes", longIdentify.c_str(), "", "", 0, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DevInfo dev;
        ZeroDevInfo(dev);
        SetResultText(dev.szFileSystemIdentify, c.fsIdentify);
        SetResultText(dev.szDeviceIdentify, c.devIdentify);
        SetResultText(dev.szFirmwareVersion, c.firmware);
        QByteArray model = "kept";
        EXPECT_EQ(DeriveSpecialModel(dev, &model), c.result);
        EXPECT_EQ(model, c.model ? QByteArray(c.model) : QByteArray(63, 'M'));
    }
}

TEST(ChecksTest, ARecordCopyKeepsEveryByteAndReadsOnlyWithinItsFields)
{
    DevInfo a;
    unsigned char* raw = reinterpret_cast<unsigned char*>(&a);
    for (size_t i = 0; i < sizeof(DevInfo); ++i)
        raw[i] = static_cast<unsigned char>(i * 7 + 3);
    DevStore(a.lFrameCount, int64_t(41));
    DevAdd(a.lFrameCount, int64_t(1));
    DevInfo b;
    ZeroDevInfo(b);
    CopyDevInfo(b, a);
    EXPECT_EQ(std::memcmp(&a, &b, sizeof(DevInfo)), 0);
    EXPECT_EQ(DevLoad(b.lFrameCount), 42);

    // Serial numbers and addresses without a terminator compare within their fields.
    DevInfo c;
    CopyDevInfo(c, a);
    EXPECT_TRUE(SameSerial(a, c));
    EXPECT_TRUE(SameIP(a, c));
    c.ipcEntry.ipc_sn[31] ^= 1;
    EXPECT_FALSE(SameSerial(a, c));
}

}  // namespace
