#include "TputClient.h"
#include "TputLib.h"
#include "TputTestSupport.h"

#include <gtest/gtest.h>

using namespace std::chrono_literals;

// The station's own arguments: port 3600 on every local address, 2 s reports.
TEST(TputStationPort, FiveSecondTransferOnPort3600)
{
    if (!TputPortFree(3600))
        GTEST_SKIP() << "port 3600 is busy on this machine";
    TputResultCollector collector;
    tputlib_init();
    tputlib_start_server(2, 3600, &TputResultCollector::Callback, &collector);
    ASSERT_TRUE(TputWaitUntil([] { return tputlib_running(); }, 10s));

    TputClientOptions o;
    o.port = 3600;
    o.durationSeconds = 5.0;
    o.rateBitsPerSecond = 18e6;
    const TputClientResult sent = TputClient(o).Run();
    ASSERT_EQ(sent.error, 0);
    ASSERT_TRUE(collector.WaitForFinals(1, 10s));
    tputlib_cleanup();

    const std::vector<TputResult> results = collector.Results();
    // The server's clock starts after the client's, so its last packet
    // comes before 6 s of its own time: two spans, then the final.
    ASSERT_EQ(results.size(), 3u);
    // Whole multiples of the interval are exact; the final's length and rate
    // are measured.
    EXPECT_EQ(results[0].intervalEnd, 2.0);
    EXPECT_EQ(results[1].intervalEnd, 4.0);
    EXPECT_EQ(results[0].intervalLength, 2.0);
    EXPECT_EQ(results[1].intervalLength, 2.0);
    EXPECT_EQ(results[2].finalReport, 1);
    EXPECT_EQ(results[2].bits, static_cast<double>(sent.payloadBytes * 8));
    EXPECT_EQ(results[2].bitsPerSecond, results[2].bits / results[2].intervalLength);
    EXPECT_NEAR(results[2].intervalLength, sent.seconds, 1.0);
}
