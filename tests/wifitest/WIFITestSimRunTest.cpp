// The throughput panel against a simulated camera: the panel's own start
// sends command 1519 to the device of the main video pane, the camera runs
// its throughput client against the station's server on port 3600, and the
// server's reports reach the panel's table and its owner.
#include "WIFITestWidget.h"
#include "WifiTestFixture.h"

#include "SdkTestSupport.h"
#include "TputTestSupport.h"

#include "DeviceEntry.h"
#include "PlayCtrl.h"
#include "VideoForm.h"
#include "sim/SimLan.h"

#include <gtest/gtest.h>

#include <QPushButton>
#include <QRegularExpression>
#include <QTest>

#include <cstring>
#include <memory>
#include <vector>

namespace {

using namespace std::chrono_literals;

const QByteArray kConfig = "[WIFINet]\r\niDurationTime=2\r\niAveSpeed=5\r\n";

class WifiSimRunTest : public WifiSettingsSuite {
protected:
    static void SetUpTestSuite() { MakeSettingsStore(kConfig); }

    void SetUp() override
    {
        ASSERT_EQ(LoadSimLan(ThreeCameraProfile()), QString());
        recorder.Attach();
        const int64_t handle = FC_Loc_Login("127.0.0.21", 3001, "admin", "580347", 0);
        ASSERT_GT(handle, 0);
        ASSERT_TRUE(recorder.WaitFor([handle](const SdkEvent& e) {
            return !e.reply && e.handle == handle && e.code == EVENT_LOGINOK;
        }, 5000));
        // The panel reads the address and the login handle; no live stream is
        // needed, so the entry carries no stream credentials.
        std::strcpy(device.szAddress, "127.0.0.21");
        device.lLoginHandle = handle;
        form = new VideoForm(&owner);
        portFree = TputPortFree(3600);
    }

    void TearDown() override
    {
        FC_Loc_Cleanup();   // ends the cameras' clients first
        panel.reset();
        delete form;
        recorder.Detach();
        PC_Cleanup();
        SimLan::Instance().Reset();
    }

    QVector<QByteArray> ThroughputCommands() const
    {
        QVector<QByteArray> bodies;
        for (const SimCommand& c : SimLan::Instance().CommandsOf("VTC0003"))
            if (c.code == 1519)
                bodies.append(c.body);
        return bodies;
    }

    static double Number(const QString& cell, const char* unit)
    {
        const QRegularExpression re(QStringLiteral("^(\\d+\\.\\d\\d) %1$").arg(QLatin1String(unit)));
        const QRegularExpressionMatch m = re.match(cell);
        return m.hasMatch() ? m.captured(1).toDouble() : -1;
    }

    SdkEventRecorder recorder;
    FakeOwner owner;
    DeviceEntry device;
    VideoForm* form = nullptr;
    std::unique_ptr<WIFITestWidget> panel;
    bool portFree = false;
};

TEST_F(WifiSimRunTest, CameraRunReachesThePanelAndPasses)
{
    if (!portFree)
        GTEST_SKIP() << "port 3600 is busy on this machine";
    SimLan::Instance().SetThroughputRunner(nullptr);   // the camera's own client
    owner.form = form;
    ASSERT_EQ(form->BindDevice(&device, 0), 0);
    panel = std::make_unique<WIFITestWidget>(&owner);
    ASSERT_TRUE(TputWaitListening(3600, 15s));

    panel->findChild<QPushButton*>("m_WIFITestBtn")->click();
    const auto finished = [this] {
        for (const PostedEvent& e : owner.events)
            if (e.code == WM_WIFI_TEST_FINISH)
                return true;
        return false;
    };
    ASSERT_TRUE(QTest::qWaitFor(finished, 30000));

    // The simulated adapter is the station's one local address.
    ASSERT_EQ(ThroughputCommands().size(), 1);
    EXPECT_EQ(ThroughputCommands().at(0),
              QByteArray("<REQUEST_PARAM\r\nIP=\"127.0.0.5\"\r\nPort=\"3600\"\r\nDuration=\"2\"\r\n"
                         "MaxThroughput=\"18\"\r\n/>"));
    ASSERT_EQ(SimLan::Instance().ThroughputRequests().size(), 1);

    // Data events, then one verdict right after the data event of the final report.
    const QVector<PostedEvent> events = owner.events;
    ASSERT_GE(events.size(), 2);
    EXPECT_EQ(events.last(), (PostedEvent{WM_WIFI_TEST_FINISH, 0, 1}));
    for (int i = 0; i + 1 < events.size(); ++i)
        EXPECT_EQ(events.at(i), (PostedEvent{WM_WIFI_TEST_DATA, 0, 0})) << "event " << i;

    const QStringList row = ResultRow(panel.get());
    ASSERT_EQ(row.size(), 4);
    EXPECT_EQ(row.at(3), QStringLiteral("OK"));
    // Two seconds paced to 18 Mbit/s: loose bounds for a loaded machine.
    const double average = Number(row.at(2), "Mb/sec");
    EXPECT_GT(average, 18 * 0.6);
    EXPECT_LT(average, 18 * 1.4);
    const double megabytes = Number(row.at(0), "MB");
    EXPECT_NEAR(megabytes, 18e6 * 2 / 8 / 1048576, 18e6 * 2 / 8 / 1048576 * 0.4);
    EXPECT_TRUE(PanelTimers(panel.get()).isEmpty());
}

// Where the panel's own start finds its device, and that it sends only to one.
TEST_F(WifiSimRunTest, OwnStartSendsOnlyToTheDeviceOfTheMainVideoPane)
{
    SimLan::Instance().SetThroughputRunner([](const SimThroughputRequest&, const std::atomic<bool>&) {});
    QWidget plainOwner;
    struct Case {
        const char* name;
        QWidget* owner;
        VideoForm* form;
        bool bind;
        int found;
    };
    const std::vector<Case> cases = {
        {"an owner that offers no video pane", &plainOwner, nullptr, false, -1},
        {"no video form", &owner, nullptr, false, -2},
        {"a form with no device bound", &owner, form, false, -3},
        {"a form with the device bound", &owner, form, true, 0},
    };
    int sent = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        owner.form = c.form;
        if (c.bind) {
            ASSERT_EQ(form->BindDevice(&device, 0), 0);
        }
        panel = std::make_unique<WIFITestWidget>(c.owner);
        DeviceEntry* found = nullptr;
        EXPECT_EQ(panel->GetCurDevice(found), c.found);
        EXPECT_EQ(found, c.found == 0 ? &device : nullptr);
        panel->findChild<QPushButton*>("m_WIFITestBtn")->click();
        if (c.found == 0)
            ++sent;
        EXPECT_EQ(ThroughputCommands().size(), sent);
        EXPECT_EQ(PanelTimers(panel.get()).size(), 1);
        panel.reset();
    }
}

}  // namespace
