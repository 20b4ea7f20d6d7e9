// The simulated LAN's profile: what it accepts, what it refuses, and that the
// loader holds up on any input.
#include "SdkTestSupport.h"

#include "sim/SimLan.h"

#include <gtest/gtest.h>

namespace {

// Parses the profile and returns the error ("" when it parsed).
QString ParseError(const QByteArray& json)
{
    SimProfile p;
    QString error;
    if (SimProfile::Parse(json, &p, &error))
        return QString();
    EXPECT_FALSE(error.isEmpty()) << json.constData();
    return error;
}

TEST(SimProfileAddressTest, OnlyPlainDottedDecimalIsAnAddress)
{
    struct Case {
        const char* text;
        bool plain;
    };
    const Case cases[] = {
        {"127.0.0.1", true},     {"0.0.0.0", true},     {"255.255.255.255", true}, {"10.20.30.40", true},
        {" 1.2.3.4", false},     {"1.2.3.4 ", false},   {"1.2. 3.4", false},       {"0x7f.0.0.1", false},
        {"0177.0.0.1", false},   {"127.0.0.01", false}, {"127.1", false},          {"1.2.3.4.5", false},
        {"+1.2.3.4", false},     {"1.2.3.-4", false},   {"256.0.0.1", false},      {"1..2.3", false},
        {"1.2.3.4\n", false},    {"", false},           {"\xef\xbc\x91.2.3.4", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(SimProfile::IsPlainIpv4(QString::fromUtf8(c.text)), c.plain) << '"' << c.text << '"';
}

// Every address field refuses other notations and names itself.
TEST(SimProfileAddressTest, AddressFieldsRefuseOtherNotationsWithTheFieldNamed)
{
    const char* notations[] = {" 1.2.3.4", "0x7f.0.0.1", "0177.0.0.1", "127.1", "1.2.3.4\\t"};
    struct Field {
        const char* json;        // %1 is replaced by the address text
        const char* name;
    };
    const Field fields[] = {
        {R"({"adapter": {"address": "%1", "netmask": "255.255.255.0"}})", "adapter.address"},
        {R"({"adapter": {"address": "127.0.0.5", "netmask": "%1"}})", "adapter.netmask"},
        {R"({"cameras": [{"serial": "A", "address": "%1"}]})", "cameras[0].address"},
        {R"({"cameras": [{"serial": "A", "address": "1.2.3.4", "netmask": "%1"}]})", "cameras[0].netmask"},
        {R"({"cameras": [{"serial": "A", "address": "1.2.3.4", "gateway": "%1"}]})", "cameras[0].gateway"},
        {R"({"line": {"count": 1, "camera": {"leaveOnCommand": 1019, "address": "%1"}}})", "line.camera.address"},
    };
    for (const Field& f : fields) {
        for (const char* n : notations) {
            const QString error = ParseError(QString::fromLatin1(f.json).arg(QLatin1String(n)).toUtf8());
            EXPECT_TRUE(error.startsWith(QLatin1String(f.name) + ":")) << f.name << " " << n << ": " << qPrintable(error);
        }
    }
}

TEST(SimProfileTest, NewCameraFieldsAndReplyListsAreRead)
{
    SimProfile p;
    QString error;
    ASSERT_TRUE(SimProfile::Parse(R"({"cameras": [{"serial": "VT21G60000000004", "address": "127.0.0.34",
        "devMType": 101, "devType": 6, "sdkType": 1, "feature": 5, "authUuid": "u", "authKey": "k",
        "iccid": "8986031", "iccid2": "8986001", "linkLossDelayMs": 250, "headerBeforeReturn": true,
        "joinAfterMs": 40, "leaveAfterStreamMs": 700, "leaveOnCommand": 1598, "leaveAfterCommandMs": 30,
        "faults": {"sendFails": [1596, 1002]},
        "replies": {"1532": [{"status": 1}, {"status": 1, "delayMs": 5}, {}],
                    "1019": {"text": ""}, "1012": {"text": "<RESPONSE_PARAM\r\n/>"}}}]})",
                                  &p, &error)) << qPrintable(error);
    ASSERT_EQ(p.cameras.size(), 1);
    const SimCameraConfig& c = p.cameras.at(0);
    EXPECT_EQ(c.devMType, 101);
    EXPECT_EQ(c.devType, 6);
    EXPECT_EQ(c.sdkType, 1);
    EXPECT_EQ(c.authUuid, "u");
    EXPECT_EQ(c.authKey, "k");
    EXPECT_EQ(c.iccid, "8986031");
    EXPECT_EQ(c.iccid2, "8986001");
    EXPECT_EQ(c.linkLossDelayMs, 250);
    EXPECT_TRUE(c.headerBeforeReturn);
    EXPECT_EQ(c.joinAfterMs, 40);
    EXPECT_EQ(c.leaveAfterStreamMs, 700);
    EXPECT_EQ(c.leaveOnCommand, 1598);
    EXPECT_EQ(c.leaveAfterCommandMs, 30);
    EXPECT_EQ(c.faults.sendFails, QSet<int>({1596, 1002}));
    ASSERT_EQ(c.replies.value(1532).size(), 3);
    EXPECT_EQ(c.replies.value(1532).at(0).status, 1);
    EXPECT_TRUE(c.replies.value(1532).at(0).text.isNull());   // the built-in text
    EXPECT_EQ(c.replies.value(1532).at(1).delayMs, 5);
    EXPECT_EQ(c.replies.value(1532).at(2).status, 0);
    ASSERT_EQ(c.replies.value(1019).size(), 1);
    EXPECT_FALSE(c.replies.value(1019).at(0).text.isNull());  // scripted empty
    EXPECT_TRUE(c.replies.value(1019).at(0).text.isEmpty());
    EXPECT_EQ(c.replies.value(1012).at(0).text, QByteArray("<RESPONSE_PARAM\r\n/>"));
    SimCameraConfig scripted = c;
    scripted.replies.insert(1012, SimReply());   // one reply is a list of one, as before lists
    EXPECT_EQ(scripted.replies.value(1012).size(), 1);
    EXPECT_EQ(c.feature, 5);
    EXPECT_TRUE(c.TwoLenses());
}

TEST(SimProfileTest, LineOfCamerasIsRead)
{
    SimProfile p;
    QString error;
    ASSERT_TRUE(SimProfile::Parse(R"({"line": {"count": 12, "slots": 2, "joinAfterMs": 10, "serialPrefix": "VTLINE",
        "firstNumber": 7, "camera": {"leaveAfterStreamMs": 500, "devMType": 101, "devType": 1}}})", &p, &error))
        << qPrintable(error);
    EXPECT_EQ(p.line.count, 12);
    EXPECT_EQ(p.line.slotCount, 2);
    EXPECT_EQ(p.line.joinAfterMs, 10);
    EXPECT_EQ(p.line.camera.address, QString(SimProfile::kFactoryAddress));
    EXPECT_EQ(p.line.camera.devType, 1);
    EXPECT_EQ(p.line.SerialAt(0), "VTLINE0000000007");
    EXPECT_EQ(p.line.SerialAt(11), "VTLINE0000000018");
    EXPECT_TRUE(p.line.Holds("VTLINE0000000018"));
    EXPECT_FALSE(p.line.Holds("VTLINE0000000019"));
    EXPECT_FALSE(p.line.Holds("VTLINE0000000006"));
    EXPECT_FALSE(p.line.Holds("VTLINEX000000007"));
}

TEST(SimProfileTest, BadNewFieldsAreRefusedWithTheFieldNamed)
{
    struct Case {
        const char* json;
        const char* field;
    };
    const Case cases[] = {
        {R"({"cameras": {"serial": "A"}})", "cameras: not a list"},
        {R"({"cameras": [7]})", "cameras[0]: not an object"},
        {R"({"cameras": [{"serial": "A", "address": "1.2.3.4", "media": [1]}]})", "cameras[0].media"},
        {R"({"cameras": [{"serial": "A", "address": "1.2.3.4", "replies": {"1532": []}}]})", "cameras[0].replies.1532"},
        {R"({"cameras": [{"serial": "A", "address": "1.2.3.4", "replies": {"1532": [{}, 5]}}]})",
         "cameras[0].replies.1532[1]"},
        {R"({"cameras": [{"serial": "A", "address": "1.2.3.4", "replies": {"1532": [{"status": 300}]}}]})",
         "cameras[0].replies.1532[0].status"},
        {R"({"cameras": [{"serial": "A", "address": "1.2.3.4", "faults": {"sendFails": [1.5]}}]})", "sendFails"},
        {R"({"cameras": [{"serial": "A", "address": "1.2.3.4", "feature": -1}]})", "cameras[0].feature"},
        {R"({"cameras": [{"serial": "A", "address": "1.2.3.4", "feature": 0.5}]})", "cameras[0].feature"},
        {R"({"cameras": [{"serial": "A", "address": "1.2.3.4", "headerBeforeReturn": 1}]})",
         "cameras[0].headerBeforeReturn"},
        {R"({"cameras": [{"serial": "A", "address": "1.2.3.4", "iccid": "012345678901234567890123456789012"}]})",
         "cameras[0].iccid"},
        {R"({"line": {"camera": {"leaveOnCommand": 1019}}})", "line.count"},
        {R"({"line": {"count": 3, "camera": {}}})", "line.camera: leaveAfterStreamMs or leaveOnCommand"},
        {R"({"line": {"count": 3, "camera": {"serial": "X", "leaveOnCommand": 1}}})", "line.camera: a line sets"},
        {R"({"line": {"count": 3, "slots": 0, "camera": {"leaveOnCommand": 1}}})", "line.slots"},
        {R"({"line": {"count": 100, "serialPrefix": "VT21LINE000000", "camera": {"leaveOnCommand": 1}}})",
         "line.count: numbers up to 100"},
        {R"({"line": {"count": 3, "serialPrefix": "", "camera": {"leaveOnCommand": 1}}})", "line.serialPrefix"},
        {R"({"line": 5})", "profile.line"},
        {R"({"cameras": [{"serial": "VT21LN0000000002", "address": "1.2.3.4"}],
             "line": {"count": 3, "camera": {"leaveOnCommand": 1}}})", "line: serial VT21LN0000000002"},
    };
    for (const Case& c : cases) {
        const QString error = ParseError(c.json);
        EXPECT_TRUE(error.contains(QLatin1String(c.field))) << c.json << "\n  gave: " << qPrintable(error);
    }
}

TEST(SimProfileTest, SampleProfilesHoldWhatTheyPromise)
{
    SimProfile sample, typed, line;
    QString error;
    ASSERT_TRUE(SimProfile::Load(SampleProfilePath("SimProfile.json"), &sample, &error)) << qPrintable(error);
    ASSERT_TRUE(SimProfile::Load(SampleProfilePath("SimTypedProfile.json"), &typed, &error)) << qPrintable(error);
    ASSERT_TRUE(SimProfile::Load(SampleProfilePath("SimLineProfile.json"), &line, &error)) << qPrintable(error);

    // Serial numbers the station takes as valid: exactly 16 characters.
    for (const SimProfile* p : {&sample, &typed}) {
        for (const SimCameraConfig& c : p->cameras)
            EXPECT_EQ(c.serial.size(), 16) << qPrintable(c.serial);
    }
    EXPECT_EQ(line.line.SerialAt(line.line.count - 1).size(), 16);

    // One camera of main type 101 per device type, and one Tuya camera with its code.
    QList<int> types;
    int tuya = 0;
    for (const SimCameraConfig& c : typed.cameras) {
        EXPECT_EQ(c.devMType, 101) << qPrintable(c.serial);
        EXPECT_TRUE(c.address.startsWith(QLatin1String("127.0.0."))) << qPrintable(c.serial);
        if (c.sdkType == 1) {
            ++tuya;
            EXPECT_FALSE(c.authUuid.isEmpty());
            EXPECT_FALSE(c.authKey.isEmpty());
        } else {
            types << c.devType;
        }
    }
    EXPECT_EQ(types, QList<int>({1, 4, 3, 6, 5}));
    EXPECT_EQ(tuya, 1);

    // The line leaves a camera some time after its first stream, and starts at the factory address.
    EXPECT_GT(line.line.count, 100);
    EXPECT_GT(line.line.camera.leaveAfterStreamMs, 0);
    EXPECT_EQ(line.line.camera.address, QString(SimProfile::kFactoryAddress));
    EXPECT_TRUE(line.hasAdapter);
}

// A deterministic stand-in for a fuzzing run: every prefix of the sample
// profiles and every one-byte change to them, plus inputs built to stress the
// reader, go through the parser and (when they parse) into the LAN. The test
// build runs with LeakSanitizer, which fails the test on any leak.
TEST(SimProfileTest, LoaderLeaksNothingOnAnyInput)
{
    QVector<QByteArray> inputs = {
        "", " ", "\xef\xbb\xbf{}", "{", "}", "null", "[]", "{\"cameras\": null}", "{\"cameras\": [null, 1, \"x\"]}",
        QByteArray(2000, '[') + QByteArray(2000, ']'), "{\"a\":" + QByteArray(3000, '{') + QByteArray(3000, '}') + "}",
        "{\"cameras\": [{\"serial\": \"\\u0000\\ud800\", \"address\": \"1.2.3.4\"}]}",
        "{\"cameras\": [{\"serial\": \"A\", \"address\": \"1.2.3.4\", \"port\": 1e999}]}",
        "{\"cameras\": [{\"serial\": \"\xff\xfe\", \"address\": \"1.2.3.4\"}]}",
        QByteArray("{\"cameras\": [{\"serial\": \"A\",\0 \"address\": \"1.2.3.4\"}]}", 46),
        // Repeated keys with plain values (a repeat holding an array or object is left out:
        // that leak is inside Qt's reader).
        "{\"cameras\": [{\"serial\": \"A\", \"serial\": \"B\", \"address\": \"1.2.3.4\", \"address\": \"1.2.3.5\"}]}",
    };
    const char swaps[] = {'"', '{', '}', '[', ']', ',', ':', '0', '9', '-', 'x', '\\', '\0'};
    for (const char* name : {"SimProfile.json", "SimTypedProfile.json", "SimLineProfile.json"}) {
        const QByteArray seed = ReadSampleProfile(name);
        for (int n = 0; n < seed.size(); ++n)
            inputs.push_back(seed.left(n));
        for (int i = 0; i < seed.size(); i += 3) {
            for (char c : swaps) {
                QByteArray changed = seed;
                changed[i] = c;
                inputs.push_back(changed);
            }
        }
    }
    int parsed = 0;
    for (const QByteArray& json : inputs) {
        SimProfile p;
        QString error;
        if (!SimProfile::Parse(json, &p, &error)) {
            ASSERT_FALSE(error.isEmpty()) << json.left(80).constData();
            continue;
        }
        if (++parsed % 16 == 0)   // loading is slower: a sample of them is enough
            SimLan::Instance().LoadProfile(p);
    }
    SimLan::Instance().Reset();
    EXPECT_GT(parsed, 100);
}

}  // namespace
