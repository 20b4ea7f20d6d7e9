// What one simulated camera keeps: bounded logs and throughput runs.
#include "SdkTestSupport.h"

#include "sim/SimLan.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstring>

namespace {

// A camera at 127.0.0.21 on the adapter's subnet.
QByteArray OneCamera(const QByteArray& extra = QByteArray())
{
    return R"({"adapter": {"address": "127.0.0.5", "netmask": "255.255.255.0"},
               "cameras": [{"serial": "VT21A00000000021", "address": "127.0.0.21", "searchDelayMs": 5,
                            "loginDelayMs": 5, "replyDelayMs": 5)" +
           extra + "}]}";
}

class SimCameraTest : public SimLanTest {
protected:
    const QString serial = "VT21A00000000021";
};

// A long run keeps only the newest entries of each of a camera's logs.
TEST_F(SimCameraTest, LogsKeepTheNewestEntries)
{
    Load(OneCamera(R"(, "faults": {"noReply": [1512, 1001]})"));
    const int64_t h = LoggedIn("127.0.0.21");
    ASSERT_GT(h, 0);
    QTemporaryDir dir;
    const QString path = dir.filePath("logo.bmp");
    ASSERT_TRUE(WriteFile(path, "BM"));

    const int total = SimCamera::kMaxLogEntries + 25;
    for (int i = 0; i < total; ++i) {
        const QByteArray n = QByteArray::number(i);
        ASSERT_EQ(FC_Loc_IoTSystemControl(h, 1512, 0, n.constData()), 0);
        ASSERT_EQ(FC_Loc_PTZControl(h, n.constData()), 0);
        ASSERT_EQ(FC_Loc_UploadLogo(h, QFile::encodeName(path).constData()), 0);
    }
    SimLan& lan = SimLan::Instance();
    const QVector<SimCommand> commands = lan.CommandsOf(serial);
    const QVector<QByteArray> ptz = lan.PtzOf(serial);
    ASSERT_EQ(commands.size(), SimCamera::kMaxLogEntries);
    ASSERT_EQ(ptz.size(), SimCamera::kMaxLogEntries);
    EXPECT_EQ(lan.UploadsOf(serial).size(), SimCamera::kMaxLogEntries);
    EXPECT_EQ(commands.first().body, "25");
    EXPECT_EQ(commands.last().body, QByteArray::number(total - 1));
    EXPECT_EQ(ptz.first(), "25");
}

// Reads the process's virtual size from /proc, in kB.
long VirtualKb()
{
    QFile f("/proc/self/status");
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : f.readAll().split('\n')) {
        if (line.startsWith("VmSize:"))
            return line.mid(7).trimmed().split(' ').value(0).toLong();
    }
    return -1;
}

// Each throughput command runs on a thread of its own; a finished one is joined
// as it ends, not at clean-up, so 300 commands leave the process's size flat.
TEST_F(SimCameraTest, FinishedThroughputRunsAreJoinedAsTheyEnd)
{
    Load(OneCamera());
    std::atomic<int> runs{0};
    SimLan::Instance().SetThroughputRunner([&](const SimThroughputRequest&, const std::atomic<bool>&) { ++runs; });
    const int64_t h = LoggedIn("127.0.0.21");
    ASSERT_GT(h, 0);
    const char* body = "<REQUEST_PARAM\r\nIP=\"127.0.0.5\"\r\nPort=\"5001\"\r\nDuration=\"1\"\r\nMaxThroughput=\"1\"/>";
    auto send = [&](int count) {
        for (int i = 0; i < count; ++i)
            ASSERT_EQ(FC_Loc_IoTSystemControl(h, 1519, 0, body), 0);
    };
    send(20);
    ASSERT_TRUE(WaitUntil([] { return SimLan::Instance().ThroughputThreads() == 0; }, 20000));
    const long before = VirtualKb();
    send(300);
    ASSERT_TRUE(WaitUntil([] { return SimLan::Instance().ThroughputThreads() == 0; }, 30000))
        << SimLan::Instance().ThroughputThreads() << " threads not joined";
    const long after = VirtualKb();
    EXPECT_EQ(runs.load(), 320);
    ASSERT_GT(before, 0);
    // Unjoined, 300 threads keep about 2.4 GB of stacks; joined, the size stays put.
    EXPECT_LT(after - before, 256 * 1024) << before << " kB -> " << after << " kB";
    SimLan::Instance().SetThroughputRunner(nullptr);
}

TEST_F(SimCameraTest, ReaddressingTakesOnlyPlainAddresses)
{
    Load(OneCamera());
    ASSERT_EQ(FC_Loc_StartSearchIPC("127.0.0.5"), 0);
    ASSERT_TRUE(WaitUntil([] { return FC_Loc_GetSearchIPCCount() == 1; }, 2000));
    IPCEntry e;
    ASSERT_EQ(FC_Loc_GetSearchIPCInfo(0, &e), 0);
    for (const char* bad : {" 127.0.0.30", "0x7f.0.0.30", "127.0.0.030", "127.30"}) {
        strcpy(e.szIP, bad);
        EXPECT_EQ(FC_Loc_ModifyIPCEx(0, &e, 1), FC_ERR_PARAM) << bad;
    }
    EXPECT_EQ(SimLan::Instance().CameraAddress(serial), "127.0.0.21");
    strcpy(e.szIP, "127.0.0.30");
    EXPECT_EQ(FC_Loc_ModifyIPCEx(0, &e, 1), 0);
    EXPECT_EQ(SimLan::Instance().CameraAddress(serial), "127.0.0.30");
}

}  // namespace
