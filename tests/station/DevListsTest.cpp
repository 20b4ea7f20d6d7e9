// The device lists on their own: membership by serial number, log-outs, the
// current device under the stream-list lock, the device-type table.
#include "DevInfoLists.h"
#include "DevInfoListsTestPeer.h"

#include "DeviceRecords.h"

#include "FuncLib.h"
#include "SdkCallLog.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

QStringList LogoutHandles()
{
    QStringList handles;
    for (const SdkCall& call : SdkCallLog::Instance().CallsOf("FC_Loc_Logout"))
        handles << call.arguments;
    return handles;
}

class DevListsTest : public ::testing::Test {
protected:
    void SetUp() override { SdkCallLog::Instance().Clear(); }
    DevInfoLists lists;
};

TEST_F(DevListsTest, MembershipComparesWholeSerialNumbers)
{
    Lists(lists).m_vecSearchReadyDevsInfo.push_back(MakeDevice("VT0000000000001", "127.0.0.21"));
    Lists(lists).m_vecImageStreamTestDevsInfo.push_back(MakeDevice("VT00000000000010", "127.0.0.22"));
    EXPECT_TRUE(lists.IsDevInSearchReadyDevsInfo(MakeDevice("VT0000000000001", "10.0.0.1")));
    EXPECT_FALSE(lists.IsDevInSearchReadyDevsInfo(MakeDevice("VT00000000000010", "127.0.0.21")));
    EXPECT_TRUE(lists.IsDevInImageStreamTestDevsInfo(MakeDevice("VT00000000000010", "1.2.3.4")));
    EXPECT_FALSE(lists.IsDevInImageStreamTestDevsInfo(MakeDevice("VT0000000000001", "127.0.0.22")));

    Lists(lists).m_vecSearchDevsInfo.push_back(MakeDevice("SN-A", "127.0.0.30"));
    Lists(lists).m_vecSearchDevsInfo.push_back(MakeDevice("SN-B", "127.0.0.31"));
    EXPECT_TRUE(lists.IsExitDevByIP(MakeDevice("SN-C", "127.0.0.30"))) << "another device holds the address";
    EXPECT_FALSE(lists.IsExitDevByIP(MakeDevice("SN-A", "127.0.0.30"))) << "its own record does not count";
    EXPECT_FALSE(lists.IsExitDevByIP(MakeDevice("SN-C", "127.0.0.3")));
}

// The device table logs a record in while it walks the search list: a visit
// from inside another must neither lock again (a hang) nor miss the list.
TEST_F(DevListsTest, ASearchListVisitFromInsideAnotherSeesTheSameList)
{
    Lists(lists).m_vecSearchDevsInfo = {MakeDevice("SN-A", "127.0.0.30", 11, 1),
                                        MakeDevice("SN-B", "127.0.0.31", 12, 1)};
    QStringList seen;
    lists.ForEachSearchDev([&](DevInfo& dev) {
        lists.ReadSearchList([&](const std::vector<DevInfo>& search) {
            EXPECT_EQ(search.size(), 2u);
            EXPECT_TRUE(lists.SearchListHeldByThisThread());
        });
        seen << QString::fromLatin1(dev.ipcEntry.ipc_sn);
    });
    EXPECT_EQ(seen, (QStringList{"SN-A", "SN-B"}));
    EXPECT_FALSE(lists.SearchListHeldByThisThread()) << "the lock goes with the outer visit";

    auto login = [](int64_t handle) { return [handle](const DevInfo& dev) { return dev.lUserID == handle; }; };
    EXPECT_TRUE(lists.UpdateSearchDev(login(12), [](DevInfo& dev) { dev.lLoginStatus = -1; }));
    EXPECT_FALSE(lists.UpdateSearchDev(login(13), [](DevInfo&) { ADD_FAILURE() << "no record has login 13"; }));
    EXPECT_EQ(Lists(lists).m_vecSearchDevsInfo[0].lLoginStatus, 1);
    EXPECT_EQ(Lists(lists).m_vecSearchDevsInfo[1].lLoginStatus, -1);
}

TEST_F(DevListsTest, LogOutTouchesOnlyLoggedInDevicesAndKeepsTheirStatus)
{
    EXPECT_EQ(lists.LogOutDev(nullptr), -1);

    DevInfo idle = MakeDevice("SN-A", "127.0.0.30", 0, 1);
    EXPECT_EQ(lists.LogOutDev(&idle), 0);
    EXPECT_EQ(idle.lLoginStatus, 1);
    EXPECT_TRUE(LogoutHandles().isEmpty());

    DevTypeInfo type;
    type.eType = 3;
    ASSERT_TRUE(lists.InsertDevType(77, type));
    DevInfo logged = MakeDevice("SN-B", "127.0.0.31", 77, 1);
    EXPECT_EQ(lists.LogOutDev(&logged), 0);
    EXPECT_EQ(logged.lUserID, 0);
    EXPECT_EQ(logged.lLoginStatus, 1);
    EXPECT_FALSE(lists.LookupDevType(77, nullptr));
    EXPECT_EQ(LogoutHandles(), QStringList{"77"});
}

TEST_F(DevListsTest, LogOutAllEmptiesSearchAndReadyListsOnly)
{
    Lists(lists).m_vecSearchDevsInfo = {MakeDevice("A", "127.0.0.30", 11, 1), MakeDevice("B", "127.0.0.31", 0, -2)};
    Lists(lists).m_vecSearchReadyDevsInfo = {MakeDevice("C", "127.0.0.32", 12, 1)};
    Lists(lists).m_vecImageStreamTestDevsInfo = {MakeDevice("C", "127.0.0.32", 12, 1)};
    lists.SetCurrentDevice(MakeDevice("C", "127.0.0.32", 12, 1));
    EXPECT_EQ(lists.LogOutAllDevs(), 0);
    EXPECT_TRUE(Lists(lists).m_vecSearchDevsInfo.empty());
    EXPECT_TRUE(Lists(lists).m_vecSearchReadyDevsInfo.empty());
    EXPECT_EQ(Lists(lists).m_vecImageStreamTestDevsInfo.size(), 1u);
    EXPECT_EQ(lists.CurrentLoginHandle(), 12);
    EXPECT_EQ(LogoutHandles(), (QStringList{"11", "12"}));
}

TEST_F(DevListsTest, TheCurrentDeviceChangesOnlyWhenItIsTheOneAskedFor)
{
    const uint64_t before = lists.Generation();
    lists.SetCurrentDevice(MakeDevice("SN-A", "127.0.0.30", 21, 1));
    EXPECT_EQ(lists.Generation(), before + 1);

    EXPECT_FALSE(lists.UpdateCurrentDevice(22, [](DevInfo& dev) { dev.TestRuslut.sn_result = 1; }));
    EXPECT_FALSE(lists.UpdateCurrentDevice(0, [](DevInfo& dev) { dev.TestRuslut.sn_result = 1; }));
    EXPECT_EQ(lists.CurrentDevice().TestRuslut.sn_result, 0);
    EXPECT_TRUE(lists.UpdateCurrentDevice(21, [](DevInfo& dev) { dev.TestRuslut.sn_result = -1; }));
    EXPECT_EQ(lists.CurrentDevice().TestRuslut.sn_result, -1);

    lists.ClearCurrentDevice();
    EXPECT_EQ(lists.CurrentLoginHandle(), 0);
    EXPECT_EQ(lists.Generation(), before + 2);
    EXPECT_FALSE(lists.UpdateCurrentDevice(21, [](DevInfo&) {}));
}

// The stream-test thread's scan past the current device (SN-A, login 11): its
// own record is never taken again; another record of its serial is that
// device while it is on the line, and a retest once it has left. Leaving
// counts only for the device it was told of, and only until the next one.
TEST_F(DevListsTest, TheScanTakesARecordOfTheCurrentSerialOnlyOnceTheCurrentDeviceLeft)
{
    struct ScanCase {
        const char* name;
        int64_t leftLogin;   // the login the device's leaving is told for; 0: none
        bool nextCurrent;    // a new current device after that
        int64_t taken;
    };
    const ScanCase cases[] = {
        {"on the line", 0, false, 13},
        {"left", 11, false, 12},
        {"another login left", 99, false, 13},
        {"left, then another current device", 11, true, 13},
    };
    for (const ScanCase& c : cases) {
        SCOPED_TRACE(c.name);
        DevInfoLists lists;
        lists.SetCurrentDevice(MakeDevice("SN-A", "127.0.0.30", 11, 1));
        EXPECT_EQ(lists.MarkCurrentDeviceLeft(c.leftLogin), c.leftLogin == 11);
        if (c.nextCurrent)
            lists.SetCurrentDevice(MakeDevice("SN-A", "127.0.0.30", 11, 1));
        EXPECT_EQ(lists.CurrentDeviceLeft(), c.leftLogin == 11 && !c.nextCurrent);
        for (int64_t login : {11, 12, 13})
            lists.InsertDevType(login, DevTypeInfo());
        Lists(lists).m_vecImageStreamTestDevsInfo = {MakeDevice("SN-A", "127.0.0.30", 11, 1),
                                                     MakeDevice("SN-A", "127.0.0.31", 12, 1),
                                                     MakeDevice("SN-B", "127.0.0.32", 13, 1)};
        int64_t lastItem = -1;
        DevInfo next;
        ZeroDevInfo(next);
        ASSERT_TRUE(lists.TakeNextStreamTestDevice(lastItem, &next));
        EXPECT_EQ(next.lUserID, c.taken);
    }
}

TEST_F(DevListsTest, CallbackFieldsMoveWhileTheRecordIsReadAndReplaced)
{
    lists.SetCurrentDevice(MakeDevice("SN-A", "127.0.0.30", 21, 1));
    std::atomic<bool> done{false};
    // As a stream callback does: it counts frames of the record it was handed.
    std::thread callback([&] {
        for (int i = 0; i < 20000; ++i)
            DevAdd(lists.m_PlayInfo.lFrameCount, int64_t(1));
        done = true;
    });
    int64_t last = 0;
    while (!done.load()) {
        const DevInfo copy = lists.CurrentDevice();
        EXPECT_GE(DevLoad(copy.lFrameCount), last);
        last = DevLoad(copy.lFrameCount);
        lists.UpdateCurrentDevice(21, [](DevInfo& dev) { SetResultText(dev.szModel, "T31"); });
    }
    callback.join();
    EXPECT_EQ(DevLoad(lists.CurrentDevice().lFrameCount), 20000);
}

TEST_F(DevListsTest, DeviceTypeEntriesAreKeptPerLoginUntilRemoved)
{
    DevTypeInfo first;
    first.eType = 1;
    DevTypeInfo second;
    second.eType = 6;
    EXPECT_TRUE(lists.InsertDevType(5, first));
    EXPECT_FALSE(lists.InsertDevType(5, second)) << "a later reply for the same login changes nothing";
    DevTypeInfo got;
    ASSERT_TRUE(lists.LookupDevType(5, &got));
    EXPECT_EQ(got.eType, 1);
    lists.RemoveDevType(5);
    EXPECT_EQ(lists.DevTypeCount(), 0);

    lists.SetCurrentDevType(second);
    EXPECT_EQ(lists.CurrentDevType().eType, 6);
    lists.ResetCurrentDevType();
    EXPECT_EQ(lists.CurrentDevType().eTypeDevMainType, 100);
    EXPECT_EQ(lists.CurrentDevType().eType, 0);
}

}  // namespace
