#include "TputReporter.h"
#include "TputSettings.h"
#include "TputTestSupport.h"
#include "TputThread.h"
#include "TputTimer.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

// The reporter's arithmetic on packet records with chosen times: the running
// server provides the reporter thread and the callback; the records come from
// the test instead of a connection.

namespace {

TputTime g_fakeNow{};
TputTime FakeNow()
{
    return g_fakeNow;
}

TputTime At(TputTime start, int64_t microseconds)
{
    const int64_t us = static_cast<int64_t>(start.sec) * 1000000 + start.usec + microseconds;
    return TputTime{static_cast<int32_t>(us / 1000000), static_cast<int32_t>(us % 1000000)};
}

class TputReporterArithmetic : public TputServerFixture {
protected:
    void SetUp() override
    {
        TputServerFixture::SetUp();
        Start(2); // the reporter thread; its own interval plays no part here
    }
    void TearDown() override
    {
        tputlib_set_time_source(nullptr);
        tputlib_settings_destroy(m_settings);
        TputServerFixture::TearDown();
    }

    // A connection report whose start is `start`.
    TputReportHeader* Open(const char* interval, TputTime start)
    {
        m_settings = new TputSettings;
        tputlib_settings_init(m_settings);
        tputlib_apply_option('s', "", m_settings);
        tputlib_apply_option('i', interval, m_settings);
        tputlib_apply_option('x', "CS", m_settings);
        m_settings->threadMode = kTputModeServer;
        g_fakeNow = start;
        tputlib_set_time_source(&FakeNow);
        TputReportHeader* h = tputlib_init_report(m_settings);
        tputlib_set_time_source(nullptr);
        return h;
    }
    static void Receive(TputReportHeader* h, TputTime at, uint64_t bytes)
    {
        TputPacket p{};
        p.length = bytes;
        p.packetTime = at;
        tputlib_report_packet(h, &p);
    }
    // The close as a server sees it: an empty receive, then the end record.
    // Returns once the reporter has handed on the final report.
    static void Close(TputReportHeader* h, TputTime at)
    {
        TputPacket p{};
        p.packetTime = at;
        tputlib_report_packet(h, &p);
        tputlib_close_report(h, &p);
        tputlib_end_report(h);
    }

    TputSettings* m_settings = nullptr;
};

// Starts just under a power of two of the clock, where the seconds as a
// double lose their last bits: the ends must still be whole multiples.
struct EndsCase {
    const char* name;
    TputTime start;
    const char* interval;
    std::vector<double> receivesAt; // seconds after the start, 1000 bytes each
    double closeAt;
    std::vector<double> intervalEnds;
};

void PrintTo(const EndsCase& c, std::ostream* os)
{
    *os << c.name;
}

class TputReporterEnds : public TputReporterArithmetic, public ::testing::WithParamInterface<EndsCase> {};

TEST_P(TputReporterEnds, AreExactMultiplesOfTheInterval)
{
    const EndsCase& c = GetParam();
    TputReportHeader* h = Open(c.interval, c.start);
    ASSERT_NE(h, nullptr);
    for (double at : c.receivesAt)
        Receive(h, At(c.start, static_cast<int64_t>(at * 1e6)), 1000);
    Close(h, At(c.start, static_cast<int64_t>(c.closeAt * 1e6)));

    const std::vector<TputResult> results = collector.Results();
    ASSERT_EQ(results.size(), c.intervalEnds.size() + 1);
    const double interval = atof(c.interval);
    for (size_t i = 0; i < c.intervalEnds.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(results[i].finalReport, 0);
        EXPECT_EQ(results[i].intervalEnd, c.intervalEnds[i]);
        EXPECT_EQ(results[i].intervalLength, interval);
        EXPECT_EQ(results[i].bitsPerSecond, results[i].bits / interval);
    }
    const TputResult& final = results.back();
    EXPECT_EQ(final.finalReport, 1);
    EXPECT_EQ(final.intervalEnd, c.closeAt);
    EXPECT_EQ(final.intervalLength, c.closeAt);
    EXPECT_EQ(final.bits, 8000.0 * c.receivesAt.size());
}

const EndsCase kEndsCases[] = {
    {"just_under_128_s", {127, 700001}, "1", {0.5, 1.5, 2.5}, 2.75, {1, 2}},
    {"just_under_2_to_the_20_s", {1048575, 600000}, "2", {1, 3, 5}, 5.5, {2, 4}},
    {"half_second_interval_under_8_s", {7, 999000}, "0.5", {0.25, 0.75, 1.25}, 1.3, {0.5, 1}},
};

INSTANTIATE_TEST_SUITE_P(Starts, TputReporterEnds, ::testing::ValuesIn(kEndsCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(TputReporterArithmetic, PauseLongerThanAnIntervalGivesEmptyIntervals)
{
    const TputTime start{5000, 250000};
    TputReportHeader* h = Open("1", start);
    Receive(h, At(start, 200000), 1000);
    Receive(h, At(start, 2500000), 1000); // reports [0,1] and the empty [1,2] together
    Close(h, At(start, 2600000));

    const std::vector<TputResult> results = collector.Results();
    ASSERT_EQ(results.size(), 3u);
    EXPECT_EQ(results[0].intervalEnd, 1.0);
    EXPECT_EQ(results[0].bits, 8000.0);
    EXPECT_EQ(results[1].intervalEnd, 2.0);
    EXPECT_EQ(results[1].bits, 0.0);
    EXPECT_EQ(results[2].finalReport, 1);
    EXPECT_EQ(results[2].bits, 16000.0);
    EXPECT_EQ(results[2].intervalLength, 2.6);
}

// The longest interval the option allows never overflows the boundary
// arithmetic, wherever the clock stands.
TEST_F(TputReporterArithmetic, LongestIntervalGivesOnlyTheFinalReport)
{
    for (const TputTime start : {TputTime{1000, 0}, TputTime{INT32_MAX - 100, 999999}}) {
        SCOPED_TRACE(start.sec);
        const size_t before = collector.Results().size();
        TputReportHeader* h = Open("1e12", start); // clamped to INT32_MAX seconds
        Receive(h, At(start, 1000000), 1000);
        Close(h, At(start, 5000000));
        tputlib_settings_destroy(m_settings);
        m_settings = nullptr;
        const std::vector<TputResult> results = collector.Results();
        ASSERT_EQ(results.size(), before + 1);
        EXPECT_EQ(results.back().finalReport, 1);
        EXPECT_EQ(results.back().intervalLength, 5.0);
        EXPECT_EQ(results.back().bits, 8000.0);
    }
}

} // namespace
