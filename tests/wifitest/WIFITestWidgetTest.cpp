// The throughput panel on its own: reports handed in as the library's
// reporter hands them, the tick, starts, layout, the local address choice and
// the one server per process.
#include "WIFITestWidget.h"
#include "WifiTestFixture.h"

#include "TputTestSupport.h"

#include "CConfigFile.h"
#include "DeviceEntry.h"
#include "HostAdapters.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFontMetrics>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimerEvent>

#include <cstring>
#include <memory>
#include <vector>

namespace {

using namespace std::chrono_literals;

const QByteArray kConfig = "[WIFINet]\r\niDurationTime=10\r\niAveSpeed=10\r\n";

class WifiPanelTest : public WifiSettingsSuite {
protected:
    static void SetUpTestSuite() { MakeSettingsStore(kConfig); }

    void SetUp() override { panel = std::make_unique<WIFITestWidget>(&owner); }
    void TearDown() override { panel.reset(); }

    void SetAveSpeed(int megabits)
    {
        ConfigInfo config;
        CConfigFile::GetInstance()->GetConfigInfo(config);
        config.m_WifiNet.iAveSpeed = megabits;
        panel->SetConfig(config);
    }

    // What the library's reporter hands over for one report.
    static void Report(WIFITestWidget* target, double bits, double bitsPerSecond, bool finalReport)
    {
        TputResult r{};
        std::strcpy(r.peerAddress, "127.0.0.21");
        r.intervalLength = bitsPerSecond > 0 ? bits / bitsPerSecond : 0;
        r.bits = bits;
        r.bitsPerSecond = bitsPerSecond;
        r.finalReport = finalReport ? 1 : 0;
        r.context = target;
        WIFITestWidget::OnTputResult(&r, r.intervalLength);
    }

    // Delivers a tick of the panel's running timer (or of the last one it ran).
    void Tick(int otherId = 0)
    {
        const QList<QAbstractEventDispatcher::TimerInfo> timers = PanelTimers(panel.get());
        if (!timers.isEmpty())
            lastTimerId = timers.first().timerId;
        QTimerEvent tick(otherId ? otherId : lastTimerId);
        QCoreApplication::sendEvent(panel.get(), &tick);
        QCoreApplication::sendPostedEvents(&owner);
    }

    FakeOwner owner;
    std::unique_ptr<WIFITestWidget> panel;
    int lastTimerId = 0;
};

constexpr double kMiB = 8388608.0;   // bits in 1,048,576 bytes

struct Step {
    enum Kind { Interval, Final, Tick, OtherTick, Clear, Threshold, NoContext } kind;
    double bits = 0;
    double bitsPerSecond = 0;
};

Step IntervalOf(double bits, double bps) { return {Step::Interval, bits, bps}; }
Step FinalOf(double bits, double bps) { return {Step::Final, bits, bps}; }
Step ThresholdOf(int megabits) { return {Step::Threshold, double(megabits), 0}; }
const Step kTick{Step::Tick};
const Step kOtherTick{Step::OtherTick};
const Step kClear{Step::Clear};
const Step kNoContext{Step::NoContext};

struct TickCase {
    const char* name;
    int aveSpeed;
    std::vector<Step> steps;
    QStringList row;                 // empty: no row
    QVector<PostedEvent> events;
    bool timerRunning;
};

const PostedEvent kData{WM_WIFI_TEST_DATA, 0, 0};
const PostedEvent kOk{WM_WIFI_TEST_FINISH, 0, 1};
const PostedEvent kNg{WM_WIFI_TEST_FINISH, 0, -1};

TEST_F(WifiPanelTest, TickShowsTheLatestReportAndJudgesTheFinalOne)
{
    const std::vector<TickCase> cases = {
        {"an interval report builds row 0", 10, {IntervalOf(kMiB, 18.5e6), kTick},
         {"1.00 MB", "18.50 Mb/sec", "", ""}, {kData}, true},
        {"a final report as the first report", 10, {FinalOf(3 * kMiB, 12.5e6), kTick},
         {"3.00 MB", kNoItem, "12.50 Mb/sec", "OK"}, {kData, kOk}, false},
        {"an average of exactly the threshold fails", 18,
         {IntervalOf(kMiB, 17.25e6), kTick, FinalOf(8 * kMiB, 18e6), kTick},
         {"8.00 MB", "17.25 Mb/sec", "18.00 Mb/sec", "NG"}, {kData, kData, kNg}, false},
        {"a zero threshold passes any positive rate", 0, {FinalOf(8, 1), kTick},
         {"0.00 MB", kNoItem, "0.00 Mb/sec", "OK"}, {kData, kOk}, false},
        {"a zero rate fails a zero threshold", 0, {FinalOf(0, 0), kTick},
         {"0.00 MB", kNoItem, "0.00 Mb/sec", "NG"}, {kData, kNg}, false},
        {"cleared mid-test, an interval report builds row 0 again", 10,
         {IntervalOf(kMiB, 5e6), kTick, kClear, IntervalOf(2 * kMiB, 6e6), kTick},
         {"2.00 MB", "6.00 Mb/sec", "", ""}, {kData, kData}, true},
        {"cleared mid-test, a final report builds row 0 again", 10,
         {IntervalOf(kMiB, 5e6), kTick, kClear, FinalOf(4 * kMiB, 20e6), kTick},
         {"4.00 MB", kNoItem, "20.00 Mb/sec", "OK"}, {kData, kData, kOk}, false},
        {"only the latest report shows, and only once", 10,
         {IntervalOf(kMiB, 1e6), IntervalOf(2 * kMiB, 2e6), kTick, kTick},
         {"2.00 MB", "2.00 Mb/sec", "", ""}, {kData}, true},
        {"a tick of another timer does nothing", 10, {IntervalOf(kMiB, 1e6), kOtherTick}, {}, {}, true},
        {"a threshold change applies to the running test", 30,
         {IntervalOf(kMiB, 9e6), kTick, ThresholdOf(5), FinalOf(5 * kMiB, 10e6), kTick},
         {"5.00 MB", "9.00 Mb/sec", "10.00 Mb/sec", "OK"}, {kData, kData, kOk}, false},
        {"reports after the verdict are not shown", 10,
         {FinalOf(kMiB, 11e6), kTick, IntervalOf(9 * kMiB, 1e6), kTick},
         {"1.00 MB", kNoItem, "11.00 Mb/sec", "OK"}, {kData, kOk}, false},
        {"a record without a context is dropped", 10, {kNoContext, kTick}, {}, {}, true},
    };
    for (const TickCase& c : cases) {
        SCOPED_TRACE(c.name);
        owner.events.clear();
        SetAveSpeed(c.aveSpeed);
        panel->BeginTest();
        for (const Step& s : c.steps) {
            switch (s.kind) {
            case Step::Interval: Report(panel.get(), s.bits, s.bitsPerSecond, false); break;
            case Step::Final: Report(panel.get(), s.bits, s.bitsPerSecond, true); break;
            case Step::Tick: Tick(); break;
            case Step::OtherTick: Tick(lastTimerId + 7919); break;
            case Step::Clear: panel->ClearResult(); break;
            case Step::Threshold: SetAveSpeed(int(s.bits)); break;
            case Step::NoContext:
                Report(nullptr, kMiB, 1e6, true);
                WIFITestWidget::OnTputResult(nullptr, 2.0);
                break;
            }
        }
        EXPECT_EQ(ResultRow(panel.get()), c.row);
        EXPECT_EQ(owner.events, c.events);
        EXPECT_EQ(PanelTimers(panel.get()).size(), c.timerRunning ? 1 : 0);
    }
}

TEST_F(WifiPanelTest, StartClearsTheTableAndTheLatestReportAndKeepsOneTimer)
{
    panel->BeginTest();
    Report(panel.get(), kMiB, 4e6, false);
    Tick();
    ASSERT_EQ(ResultRow(panel.get()).size(), 4);

    Report(panel.get(), 2 * kMiB, 4e6, false);   // not shown yet
    panel->BeginTest();
    EXPECT_TRUE(ResultRow(panel.get()).isEmpty());
    const QList<QAbstractEventDispatcher::TimerInfo> timers = PanelTimers(panel.get());
    ASSERT_EQ(timers.size(), 1);
    EXPECT_EQ(timers.first().interval, 1000);
    EXPECT_EQ(timers.first().timerType, Qt::CoarseTimer);

    owner.events.clear();
    Tick();
    EXPECT_TRUE(ResultRow(panel.get()).isEmpty());
    EXPECT_TRUE(owner.events.isEmpty());

    // The panel's own start with nothing in the main video pane: no command,
    // but the test runs all the same.
    panel->findChild<QPushButton*>("m_WIFITestBtn")->click();
    EXPECT_EQ(PanelTimers(panel.get()).size(), 1);
    Report(panel.get(), kMiB, 4e6, true);
    Tick();
    EXPECT_EQ(ResultRow(panel.get()), QStringList({"1.00 MB", kNoItem, "4.00 Mb/sec", "NG"}));
}

TEST_F(WifiPanelTest, WithoutOwnerTheTableStillWorks)
{
    panel.reset();   // the library's one panel goes first
    panel = std::make_unique<WIFITestWidget>(nullptr);
    DeviceEntry* device = reinterpret_cast<DeviceEntry*>(1);
    EXPECT_EQ(panel->GetCurDevice(device), -1);
    EXPECT_EQ(device, nullptr);
    panel->findChild<QPushButton*>("m_WIFITestBtn")->click();
    Report(panel.get(), 2 * kMiB, 25e6, true);
    Tick();
    EXPECT_EQ(ResultRow(panel.get()), QStringList({"2.00 MB", kNoItem, "25.00 Mb/sec", "OK"}));
    EXPECT_TRUE(owner.events.isEmpty());
}

TEST_F(WifiPanelTest, FormAndLayout)
{
    auto* button = panel->findChild<QPushButton*>("m_WIFITestBtn");
    auto* label = panel->findChild<QLabel*>("m_lb_WIFITest");
    auto* view = panel->findChild<QTableView*>("m_WIFITableView");
    ASSERT_TRUE(button && label && view);
    EXPECT_EQ(panel->objectName(), QStringLiteral("WIFITestWidget"));
    EXPECT_TRUE(button->isHidden());
    EXPECT_EQ(button->text(), QStringLiteral("WIFI Test "));
    EXPECT_EQ(label->text(), QStringLiteral("WIFI Test"));
    QStandardItemModel* model = ResultModel(panel.get());
    ASSERT_NE(model, nullptr);
    QStringList headers;
    for (int c = 0; c < model->columnCount(); ++c)
        headers << model->headerData(c, Qt::Horizontal).toString();
    EXPECT_EQ(headers, QStringList({"Total bytes", "Real Rate", "Average rate", "Result"}));
    EXPECT_EQ(model->rowCount(), 0);
    EXPECT_TRUE(view->verticalHeader()->isHidden());
    EXPECT_EQ(view->editTriggers(), QAbstractItemView::NoEditTriggers);
    EXPECT_EQ(view->selectionBehavior(), QAbstractItemView::SelectRows);
    EXPECT_EQ(view->selectionMode(), QAbstractItemView::SingleSelection);
    EXPECT_TRUE(PanelTimers(panel.get()).isEmpty());

    panel->setGeometry(2, 300, 480, 330);
    panel->UpdateLayout();
    EXPECT_EQ(label->geometry(), QRect(0, 0, 120, 22));
    EXPECT_EQ(view->geometry(), QRect(0, 24, 478, 304));
    // The form's widths, or wider where a header's text needs it.
    const QFontMetrics fm(view->horizontalHeader()->font());
    const int formWidths[] = {80, 100, 100};
    for (int c = 0; c < 3; ++c) {
        EXPECT_GE(view->columnWidth(c), formWidths[c]) << c;
        EXPECT_GT(view->columnWidth(c), fm.horizontalAdvance(headers[c])) << c;
    }
    EXPECT_TRUE(view->horizontalHeader()->stretchLastSection());
}

// The library is process-wide: a second panel neither takes nor stops the
// first one's server, and once the first is gone a new panel runs it again.
TEST_F(WifiPanelTest, OnePanelRunsTheServer)
{
    panel.reset();
    EXPECT_FALSE(tputlib_running());
    // Another program may hold the port on this machine; the panels' own
    // sharing is checked all the same.
    const bool portFree = TputPortFree(3600);
    const auto listening = [portFree] { return !portFree || QTest::qWaitFor([] { return tputlib_running(); }, 15000); };
    panel = std::make_unique<WIFITestWidget>(&owner);
    ASSERT_TRUE(listening());

    FakeOwner secondOwner;
    auto second = std::make_unique<WIFITestWidget>(&secondOwner);
    second->BeginTest();
    Report(second.get(), kMiB, 4e6, false);
    ASSERT_EQ(PanelTimers(second.get()).size(), 1);
    QTimerEvent tick(PanelTimers(second.get()).first().timerId);
    QCoreApplication::sendEvent(second.get(), &tick);
    EXPECT_TRUE(ResultRow(second.get()).isEmpty());
    second.reset();

    EXPECT_TRUE(listening());
    if (portFree) {
        EXPECT_TRUE(TputWaitListening(3600, 5s));   // on the socket too
    }
    panel->BeginTest();
    Report(panel.get(), kMiB, 4e6, false);
    Tick();
    EXPECT_EQ(ResultRow(panel.get()).value(0), QStringLiteral("1.00 MB"));

    panel.reset();
    EXPECT_FALSE(tputlib_running());
    panel = std::make_unique<WIFITestWidget>(&owner);
    EXPECT_TRUE(listening());
}

class LocalAddressChoiceTest : public ::testing::Test {
protected:
    void TearDown() override { HostAdapters::ClearOverride(); }
    static void SetLocalAddresses(const QStringList& addresses)
    {
        QVector<HostAdapter> adapters;
        for (const QString& a : addresses)
            adapters.append(HostAdapter{"eth", a, "255.255.255.0", QByteArray()});
        HostAdapters::SetOverride(adapters);
    }
};

TEST_F(LocalAddressChoiceTest, FirstAddressOnTheDeviceSubnetElseTheLast)
{
    struct Case {
        const char* name;
        QStringList local;
        QByteArray deviceAddress;   // the field's bytes; fewer than 64 are NUL-padded
        int result;
        const char* chosen;
    };
    const QByteArray unterminated = QByteArray("127.0.0.") + QByteArray(56, '1');
    const std::vector<Case> cases = {
        {"the second address is on the device's subnet", {"10.1.2.3", "127.0.0.5"}, "127.0.0.21", 0, "127.0.0.5"},
        {"the first match wins", {"127.0.0.5", "127.0.0.9"}, "127.0.0.21", 0, "127.0.0.5"},
        {"no address on the subnet: the last", {"10.1.2.3", "172.16.0.4"}, "127.0.0.21", 0, "172.16.0.4"},
        {"the whole prefix must match", {"127.0.0.5", "27.0.0.9", "10.0.0.1"}, "27.0.0.21", 0, "27.0.0.9"},
        {"a device address without a dot", {"127.0.0.5", "10.1.2.3"}, "camera", 0, "10.1.2.3"},
        {"a device address too long for a slot", {"127.0.0.5", "10.1.2.3"},
         "127.0.0." + QByteArray(30, '7'), 0, "10.1.2.3"},
        {"a device address with no terminator in its field", {"127.0.0.5", "10.1.2.3"}, unterminated, 0, "10.1.2.3"},
        {"no local address", {}, "127.0.0.21", -1, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetLocalAddresses(c.local);
        auto device = std::make_unique<DeviceEntry>();
        ASSERT_LE(c.deviceAddress.size(), int(sizeof device->szAddress));
        std::memcpy(device->szAddress, c.deviceAddress.constData(), size_t(c.deviceAddress.size()));
        char chosen[32];
        std::memset(chosen, 'x', sizeof chosen);
        EXPECT_EQ(GetLocalIpInSameSubnet(chosen, device.get()), c.result);
        EXPECT_STREQ(chosen, c.chosen);
    }
    char chosen[32];
    EXPECT_EQ(GetLocalIpInSameSubnet(chosen, nullptr), -1);
    EXPECT_STREQ(chosen, "");
}

}  // namespace
