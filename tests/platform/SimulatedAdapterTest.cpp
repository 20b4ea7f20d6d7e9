#include "HostAdapters.h"

#include <gtest/gtest.h>

namespace {

TEST(SimulatedAdapterTest, TestOverrideBeatsTheSimulatedAdapterWhichBeatsTheHost)
{
    HostAdapters::ClearOverride();
    HostAdapters::ClearSimulated();
    const QVector<HostAdapter> host = HostAdapters::List();
    for (const HostAdapter& a : host)
        EXPECT_FALSE(a.address.startsWith(QLatin1String("127.")));   // loopback is left out

    HostAdapter sim;
    sim.name = QStringLiteral("Simulated LAN");
    sim.address = QStringLiteral("127.0.0.5");
    sim.netmask = QStringLiteral("255.255.255.0");
    sim.mac = QByteArray("\x02\x00\x00\x00\x00\x05", 6);
    HostAdapters::SetSimulated(sim);
    ASSERT_EQ(HostAdapters::List().size(), 1);
    EXPECT_EQ(HostAdapters::List().at(0).address, QStringLiteral("127.0.0.5"));
    EXPECT_EQ(HostAdapters::List().at(0).mac.size(), 6);

    HostAdapter injected = sim;
    injected.address = QStringLiteral("127.0.0.9");
    HostAdapters::SetOverride({injected, sim});
    EXPECT_EQ(HostAdapters::List().size(), 2);
    EXPECT_EQ(HostAdapters::List().at(0).address, QStringLiteral("127.0.0.9"));
    HostAdapters::ClearOverride();
    EXPECT_EQ(HostAdapters::List().at(0).address, QStringLiteral("127.0.0.5"));
    HostAdapters::ClearSimulated();
    EXPECT_FALSE(HostAdapters::HasSimulated());
    EXPECT_EQ(HostAdapters::List().size(), host.size());
}

}  // namespace
