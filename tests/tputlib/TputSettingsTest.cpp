#include "TputClient.h"
#include "TputClientHeader.h"
#include "TputReporter.h"
#include "TputSettings.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct SettingsFixture : ::testing::Test {
    TputSettings s{};
    void SetUp() override { tputlib_settings_init(&s); }
    void TearDown() override
    {
        free(s.fileName);
        free(s.host);
        free(s.localHost);
        free(s.outputFileName);
    }
    std::string Apply(char option, const char* value)
    {
        ::testing::internal::CaptureStderr();
        tputlib_apply_option(option, value, &s);
        return ::testing::internal::GetCapturedStderr();
    }
};

TEST_F(SettingsFixture, DefaultsAreTheServerBaseline)
{
    EXPECT_EQ(s.sock, -1);
    EXPECT_EQ(s.port, 5001);
    EXPECT_EQ(s.flags, 0x1200);
    EXPECT_EQ(s.bufferLength, 131072);
    EXPECT_EQ(s.amount, 1000u);
    EXPECT_EQ(s.ttl, 1);
    EXPECT_EQ(s.format, 'a');
    EXPECT_EQ(s.threadMode, 0);
    EXPECT_EQ(s.interval, 0.0);
}

TEST_F(SettingsFixture, StationOptionsMakeATcpListenerOnItsPort)
{
    EXPECT_EQ(Apply('s', ""), "");
    EXPECT_EQ(Apply('i', "2"), "");
    EXPECT_EQ(Apply('p', "3600"), "");
    EXPECT_EQ(s.threadMode, 4);
    EXPECT_EQ(s.interval, 2.0);
    EXPECT_EQ(s.port, 3600);
    EXPECT_EQ(s.flags, 0x1200);
}

struct OptionCase {
    const char* name;
    int threadMode;       // mode before the options
    const char* options;  // letters applied in order, each with the value below
    const char* values[3];
    const char* warning;
};

const OptionCase kOptionCases[] = {
    {"interval_too_small", 4, "i", {"0.2"}, "WARNING: interval too small, increasing from 0.20 to 0.5 seconds.\n"},
    {"tcp_small_length", 4, "l", {"16"}, "WARNING: option -l has implied compatibility mode\n"},
    {"udp_tiny_length", 2, "ul", {"", "8"},
     "WARNING: the UDP buffer was increased to 12 for proper operation\nWARNING: option -l has implied compatibility mode\n"},
    {"bandwidth_implies_udp", 2, "b", {"10M"}, "WARNING: option -b implies udp testing\n"},
    {"bandwidth_on_server", 4, "b", {"10M"},
     "WARNING: option -b implies udp testing\nWARNING: option -b is not valid for server mode\n"},
    {"client_option_on_server", 4, "d", {""}, "WARNING: option -d is not valid for server mode\n"},
    {"server_option_on_client", 2, "s", {""}, "WARNING: option -s is not valid for client mode\n"},
    {"small_window", 4, "w", {"1000"},
     "WARNING: TCP window size set to 1000 bytes. A small window size\nwill give poor performance. See the tput documentation.\n"},
    {"unknown_exclude", 4, "x", {"Q"},
     "WARNING: unknown reporting type \"Q\", ignored\n valid options are:\n\t exclude: C(connection) D(data) M(multicast) S(settings) V(server) report\n\n"},
    {"unknown_style", 4, "y", {"Z"}, "WARNING: unknown reporting style \"Z\", switching to default\n"},
    {"dual_then_compat", 2, "dC", {"", ""}, "WARNING: option -d is not valid in compatibility mode\n"},
    {"suggest_window", 4, "W", {""}, "The -W option is not available in this release\n"},
    {"congestion", 4, "Z", {"cubic"}, "The -Z option is not available on this operating system\n"},
    {"port_out_of_range", 4, "p", {"70000"}, "WARNING: port 70000 is out of range, ignored\n"},
};

class OptionTable : public SettingsFixture, public ::testing::WithParamInterface<OptionCase> {};

TEST_P(OptionTable, PrintsItsWarning)
{
    const OptionCase& c = GetParam();
    s.threadMode = c.threadMode;
    std::string err;
    for (size_t i = 0; c.options[i]; ++i)
        err += Apply(c.options[i], c.values[i]);
    EXPECT_EQ(err, c.warning);
}

INSTANTIATE_TEST_SUITE_P(Options, OptionTable, ::testing::ValuesIn(kOptionCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(SettingsFixture, OptionValuesLandInTheirFields)
{
    Apply('i', "0.2");
    EXPECT_EQ(s.interval, 0.5);
    Apply('i', "nan");
    EXPECT_EQ(s.interval, 0.5);
    Apply('i', "1e30");
    EXPECT_LE(s.interval, static_cast<double>(INT32_MAX)) << "whole seconds of a span are 32 bits";

    Apply('l', "16");
    EXPECT_EQ(s.bufferLength, 16);
    EXPECT_TRUE(s.flags & kTputFlagCompat);
    EXPECT_TRUE(s.flags & kTputFlagBufLenSet);

    Apply('n', "10m");
    EXPECT_EQ(s.amount, 10485760u);
    EXPECT_FALSE(s.flags & kTputFlagModeTime);
    Apply('t', "2.5");
    EXPECT_EQ(s.amount, 250u);
    EXPECT_TRUE(s.flags & kTputFlagModeTime);
    Apply('n', "1K");
    EXPECT_FALSE(s.flags & kTputFlagModeTime) << "a later amount clears time mode";

    Apply('S', "0x10");
    EXPECT_EQ(s.tos, 16);
    Apply('x', "cdmsv");
    EXPECT_EQ(s.flags & 0xF8000, 0xF8000);
    Apply('y', "c");
    EXPECT_EQ(s.reportMode, kTputReportCsv);
    Apply('p', "70000");
    EXPECT_EQ(s.port, 5001) << "an out-of-range port is not truncated";
}

TEST_F(SettingsFixture, UdpOptionsForAClient)
{
    s.threadMode = 2;
    Apply('u', "");
    EXPECT_EQ(s.udpRate, 1048576u);
    EXPECT_EQ(s.bufferLength, 1470);
    Apply('l', "8");
    EXPECT_EQ(s.bufferLength, 12);
    EXPECT_TRUE(s.flags & kTputFlagCompat);
    Apply('b', "10M");
    EXPECT_EQ(s.udpRate, 10000000u);
}

TEST_F(SettingsFixture, HelpAndVersionDoNotEndTheProcess)
{
    EXPECT_NE(Apply('h', "").find("Client/Server:"), std::string::npos);
    EXPECT_EQ(Apply('v', ""), "tput version 1.0 win32 threads\n");
}

// What a command line made of a record, and what the parser said about it.
std::string ParseOutcome(std::vector<std::string> args)
{
    args.insert(args.begin(), "tput");
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    TputSettings s{};
    tputlib_settings_init(&s);
    ::testing::internal::CaptureStderr();
    tputlib_parse_command_line(static_cast<int>(argv.size()), argv.data(), &s);
    std::ostringstream out;
    out << ::testing::internal::GetCapturedStderr() << "|flags " << s.flags << " mode " << s.threadMode << " test "
        << s.testMode << " style " << s.reportMode << " format " << s.format << " interval " << s.interval
        << " port " << s.port << " listen " << s.listenPort << " amount " << s.amount << " len " << s.bufferLength
        << " window " << s.tcpWindow << " mss " << s.mss << " threads " << s.threads << " tos " << s.tos
        << " ttl " << s.ttl << " rate " << s.udpRate;
    for (char* text : {s.fileName, s.host, s.localHost, s.outputFileName})
        out << " [" << (text ? text : "") << "]";
    free(s.fileName);
    free(s.host);
    free(s.localHost);
    free(s.outputFileName);
    return out.str();
}

// The help text has one line per option of the parser, under the four
// headings; the long name on each line is the one the parser takes for
// that letter.
TEST_F(SettingsFixture, HelpTextNamesEveryOptionAsTheParserTakesIt)
{
    const std::string usage = Apply('h', "");
    size_t at = 0;
    for (const char* heading : {"Client/Server:\n", "Server specific:\n", "Client specific:\n", "Miscellaneous:\n"}) {
        at = usage.find(heading, at);
        ASSERT_NE(at, std::string::npos) << heading << usage;
    }

    const std::string optionString = "1b:c:df:hi:l:mn:o:p:rst:uvw:x:y:B:CDF:IL:M:NP:RS:T:UVWZ:";
    const std::map<char, std::string> samples = {
        {'b', "1M"}, {'c', "127.0.0.1"}, {'f', "m"}, {'i', "3"}, {'l', "64K"}, {'n', "2M"}, {'o', "out.txt"},
        {'p', "5002"}, {'t', "3"}, {'w', "64K"}, {'x', "C"}, {'y', "C"}, {'B', "127.0.0.1"}, {'F', "data.bin"},
        {'L', "5003"}, {'M', "1400"}, {'P', "2"}, {'S', "0x10"}, {'T', "4"}, {'Z', "cubic"},
    };
    std::map<char, std::string> longNames;
    std::istringstream lines(usage);
    const std::regex optionLine("^  -(.), --([^ ]+)( .*)?$");
    for (std::string line; std::getline(lines, line);) {
        std::smatch m;
        if (std::regex_match(line, m, optionLine)) {
            EXPECT_EQ(longNames.count(m[1].str()[0]), 0u) << "listed twice: " << line;
            longNames[m[1].str()[0]] = m[2].str();
        }
    }
    for (size_t i = 0; i < optionString.size(); ++i) {
        const char letter = optionString[i];
        if (letter == ':')
            continue;
        SCOPED_TRACE(std::string(1, letter));
        const auto line = longNames.find(letter);
        if (line == longNames.end()) {
            ADD_FAILURE() << "no line for -" << letter;
            continue;
        }
        const bool takesValue = i + 1 < optionString.size() && optionString[i + 1] == ':';
        ASSERT_EQ(takesValue, samples.count(letter) == 1);
        std::vector<std::string> byLetter{std::string("-") + letter};
        std::vector<std::string> byName{"--" + line->second};
        if (takesValue) {
            byLetter.push_back(samples.at(letter));
            byName.push_back(samples.at(letter));
        }
        const std::string outcome = ParseOutcome(byName);
        EXPECT_EQ(outcome.find("unrecognized"), std::string::npos) << outcome;
        EXPECT_EQ(outcome, ParseOutcome(byLetter));
    }
    EXPECT_EQ(longNames.size(), 36u);
}

TEST_F(SettingsFixture, EnvironmentClientTurnsTheServerOptionIntoAWarning)
{
    setenv("TPUT_CLIENT", "127.0.0.1", 1);
    setenv("TPUT_INTERVAL", "3", 1);
    tputlib_parse_environment(&s);
    unsetenv("TPUT_CLIENT");
    unsetenv("TPUT_INTERVAL");
    EXPECT_EQ(s.threadMode, 2);
    EXPECT_EQ(s.threads, 1);
    EXPECT_STREQ(s.host, "127.0.0.1");
    EXPECT_EQ(s.interval, 3.0);
    EXPECT_EQ(Apply('s', ""), "WARNING: option -s is not valid for client mode\n");
    EXPECT_EQ(s.threadMode, 2);
}

TEST_F(SettingsFixture, NameThatDoesNotResolveFailsOnlyItsSetting)
{
    // A label longer than 63 characters fails in the resolver itself, before
    // any name server is asked.
    const std::string name(70, 'a');
    EXPECT_EQ(Apply('c', name.c_str()), "error: Name or service not known\n");
    EXPECT_EQ(s.threadMode, 0) << "still free to become the listener";
    EXPECT_EQ(s.host, nullptr);
    EXPECT_EQ(Apply('B', name.c_str()), "error: Name or service not known\n");
    EXPECT_EQ(s.localHost, nullptr);
    EXPECT_EQ(Apply('s', ""), "");
    EXPECT_EQ(s.threadMode, 4);
}

TEST(TputParseSize, SuffixesAndBadInput)
{
    struct Case {
        const char* text;
        uint64_t value;
    } cases[] = {
        {"5", 5}, {"1K", 1024}, {"1k", 1000}, {"10M", 10485760}, {"10m", 10000000},
        {"1G", 1073741824}, {"2g", 2000000000}, {"1.5K", 1536},
        {"-5", 0}, {"abc", 0}, {"", 0}, {"1e30", UINT64_MAX},
    };
    for (const Case& c : cases)
        EXPECT_EQ(tputlib_parse_size(c.text), c.value) << c.text;
}

TEST(TputSettingsCopy, SharesNothingOwned)
{
    TputSettings* source = new TputSettings;
    tputlib_settings_init(source);
    tputlib_apply_option('B', "127.0.0.1", source);
    source->host = strdup("127.0.0.2");
    source->threadId = 7;
    TputSettings* copy = nullptr;
    tputlib_settings_copy(source, &copy);
    EXPECT_NE(copy->host, source->host);
    EXPECT_EQ(copy->threadId, 0u);
    tputlib_settings_destroy(source);
    EXPECT_STREQ(copy->host, "127.0.0.2");
    EXPECT_STREQ(copy->localHost, "127.0.0.1");
    tputlib_settings_destroy(copy);
}

TEST(TputClientHeaderWire, BytesOfADualTestHeader)
{
    TputSettings s;
    tputlib_settings_init(&s);
    s.threadMode = 2;
    s.threads = 1;
    s.testMode = kTputTestDual;
    s.port = 5001;
    TputClientHeader header;
    tputlib_make_client_header(&s, &header);
    uint8_t wire[kTputHeaderSize];
    tputlib_header_to_wire(header, wire);
    const uint8_t expected[24] = {0x80, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0x13, 0x89,
                                  0, 0, 0, 0, 0, 0, 0, 0, 0xff, 0xff, 0xfc, 0x18};
    EXPECT_EQ(memcmp(wire, expected, sizeof expected), 0);

    TputClientHeader back;
    tputlib_header_from_wire(wire, &back);
    EXPECT_EQ(back.flags, static_cast<int32_t>(0x80000001u));
    EXPECT_EQ(back.amount, -1000);

    // Our own client writes the same bytes for the same request.
    TputClientOptions o;
    o.headerFlags = 0x80000001u;
    o.headerThreads = 1;
    o.headerPort = 5001;
    o.durationSeconds = 10.0;
    uint8_t ours[24];
    TputClient::EncodeHeader(o, ours);
    EXPECT_EQ(memcmp(ours, expected, sizeof expected), 0);
}

TEST(TputClientHeaderWire, ByteModeAndGivenLengthAndSanity)
{
    TputSettings s;
    tputlib_settings_init(&s);
    s.threadMode = 2;
    tputlib_apply_option('n', "100000", &s);
    tputlib_apply_option('l', "64K", &s);
    tputlib_apply_option('L', "6000", &s);
    TputClientHeader header;
    tputlib_make_client_header(&s, &header);
    EXPECT_EQ(header.flags, 0);
    EXPECT_EQ(header.port, 6000);
    EXPECT_EQ(header.bufferLength, 65536);
    EXPECT_EQ(header.amount, 100000);

    TputClientHeader good{static_cast<int32_t>(0x80000000u), 1, 5001, 0, 0, -1000};
    EXPECT_TRUE(tputlib_header_sane(good));
    TputClientHeader bad[] = {
        {good.flags, 1000000, 5001, 0, 0, -1000}, {good.flags, -1, 5001, 0, 0, -1000},
        {good.flags, 1, 0, 0, 0, -1000},          {good.flags, 1, 70000, 0, 0, -1000},
        {good.flags, 1, 5001, -5, 0, -1000},      {good.flags, 1, 5001, 0x7fffffff, 0, -1000},
        {good.flags, 1, 5001, 0, -1, -1000},      {good.flags, 1, 5001, 0, 0, INT32_MIN},
    };
    for (const TputClientHeader& h : bad)
        EXPECT_FALSE(tputlib_header_sane(h)) << h.threads << " " << h.port << " " << h.bufferLength;
}

TEST(TputFormatBytes, UnitsAndPrecision)
{
    struct Case {
        double bytes;
        char format;
        const char* text;
    } cases[] = {
        {1250000, 'a', "10.0 Mbit"}, {1250000, 'A', "1.19 MByte"}, {1024, 'K', "1.00 KByte"},
        {100, 'b', " 800 bit"},      {131072, 'A', " 128 KByte"},  {0, 'a', "0.00 bit"},
        {2e9, 'g', "16.0 Gbit"},     {5e12, 'a', "40000 Gbit"},
    };
    for (const Case& c : cases) {
        char out[32];
        tputlib_format_bytes(out, sizeof out, c.bytes, c.format);
        EXPECT_STREQ(out, c.text) << c.bytes << " " << c.format;
    }
}

} // namespace
