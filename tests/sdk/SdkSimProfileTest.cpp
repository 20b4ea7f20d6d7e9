// The simulated LAN's profile: what it accepts and what it refuses.
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

}  // namespace
