// The throughput panel on its own: reports handed in as the library's
// reporter hands them, the tick, starts, layout, the local address choice and
// the one server per process.
#include "WIFITestWidget.h"
#include "WifiTestFixture.h"

#include "TputTestSupport.h"

#include "CConfigFile.h"
#include "Clock.h"
#include "DeviceEntry.h"
#include "HostAdapters.h"
#include "Log.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QFontMetrics>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimerEvent>

#include <arpa/inet.h>
#include <atomic>
#include <cstring>
#include <memory>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace {

using namespace std::chrono_literals;

const QByteArray kConfig = "[WIFINet]\r\niDurationTime=10\r\niAveSpeed=10\r\n";
const char kCamera[] = "127.0.0.21";
constexpr int kDuration = 10;   // seconds the camera is told to send

// The station's tick, moved by the test: reports arrive when the test says.
std::atomic<uint64_t> g_tick{1000000};
uint64_t FakeTick()
{
    return g_tick.load();
}

class WifiPanelTest : public WifiSettingsSuite {
protected:
    static void SetUpTestSuite() { MakeSettingsStore(kConfig); }

    void SetUp() override
    {
        Clock::SetTickSource(&FakeTick);
        panel = std::make_unique<WIFITestWidget>(&owner);
    }
    void TearDown() override
    {
        panel.reset();
        Clock::SetTickSource(nullptr);
    }

    // A test of the camera, begun now.
    void Begin(WIFITestWidget* target = nullptr)
    {
        g_tick += 100000;
        beginTick = g_tick.load();
        (target ? target : panel.get())->BeginTest(QString::fromLatin1(kCamera), kDuration);
    }

    void SetAveSpeed(int megabits)
    {
        ConfigInfo config;
        CConfigFile::GetInstance()->GetConfigInfo(config);
        config.m_WifiNet.iAveSpeed = megabits;
        panel->SetConfig(config);
    }

    // What the library's reporter hands over for one report of the camera's
    // run: an interval report for [0, 2] s, a final one over the whole test.
    void Report(WIFITestWidget* target, double bits, double bitsPerSecond, bool finalReport)
    {
        const double end = finalReport ? kDuration : 2.0;
        Deliver(target, kCamera, bits, bitsPerSecond, finalReport, end, end, end);
    }

    // A report of a connection from peer over [end - length, end] seconds of
    // its own, handed over `arrival` seconds after the test began.
    void Deliver(WIFITestWidget* target, const char* peer, double bits, double bitsPerSecond, bool finalReport,
                 double end, double length, double arrival)
    {
        TputResult r{};
        std::strcpy(r.peerAddress, peer);
        r.intervalEnd = end;
        r.intervalLength = length;
        r.bits = bits;
        r.bitsPerSecond = bitsPerSecond;
        r.finalReport = finalReport ? 1 : 0;
        r.context = target;
        g_tick = beginTick + uint64_t(arrival * 1000) + 50;
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
    uint64_t beginTick = 0;
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
        Begin();
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

// The server reports every connection of every peer: only the camera's own
// run, over the whole time it was told to send, is judged for it; every other
// report is logged and left alone, also when it comes between two ticks.
TEST_F(WifiPanelTest, OnlyTheCamerasRunOverTheWholeTestIsJudged)
{
    struct Report {
        const char* peer;
        double bits;
        bool finalReport;
        double end;       // the span's end and length, seconds of its connection
        double length;
        double arrival;   // seconds after the test began
    };
    struct Case {
        const char* name;
        std::vector<Report> reports;   // all handed over before one tick
        QStringList row;
        QVector<PostedEvent> events;
        const char* logged;            // the reason in the log line, or null
    };
    const Report own{kCamera, 20 * kMiB, true, 10.3, 10.3, 10.4};
    const std::vector<Case> cases = {
        {"the camera's run over the whole test", {own}, {"20.00 MB", kNoItem, "16.29 Mb/sec", "OK"}, {kData, kOk},
         nullptr},
        {"a connection the server ended after 10 s of silence", {{kCamera, 0, true, 10.0, 10.0, 10.1}}, {}, {},
         "it carries no data"},
        {"a 2 ms burst", {{kCamera, 1368000, true, 0.002, 0.002, 1.0}}, {}, {},
         "its span does not cover the test's duration"},
        {"a run cut off halfway", {{kCamera, 5 * kMiB, true, 5.0, 5.0, 5.1}}, {}, {},
         "its span does not cover the test's duration"},
        {"a late final report of the previous camera", {{"127.0.0.22", 20 * kMiB, true, 10.0, 10.0, 0.5}}, {}, {},
         "not from the camera under test"},
        {"the camera's connection from before this test", {{kCamera, 20 * kMiB, true, 10.0, 10.0, 3.0}}, {}, {},
         "its connection began before this test"},
        {"a neighbour's interval report", {{"127.0.0.22", kMiB, false, 2.0, 2.0, 2.1}}, {}, {},
         "not from the camera under test"},
        {"a stray report does not replace the camera's", {own, {"127.0.0.22", kMiB, false, 4.0, 2.0, 10.5}},
         {"20.00 MB", kNoItem, "16.29 Mb/sec", "OK"}, {kData, kOk}, "not from the camera under test"},
    };
    const QString logFile = s_appDir->file("Log_Dir/wifipanel.log");
    const int level = LogLevel();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(logFile);
        LogInit(LOG_ALLLOG, logFile);
        owner.events.clear();
        SetAveSpeed(10);
        Begin();
        for (const Report& r : c.reports)
            Deliver(panel.get(), r.peer, r.bits, r.bits / r.length, r.finalReport, r.end, r.length, r.arrival);
        Tick();
        EXPECT_EQ(ResultRow(panel.get()), c.row);
        EXPECT_EQ(owner.events, c.events);
        EXPECT_EQ(PanelTimers(panel.get()).size(), c.events.contains(kOk) ? 0 : 1) << "waits on for the camera's run";
        LogInit(level, QString());
        QFile file(logFile);
        const QByteArray log = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        if (c.logged)
            EXPECT_TRUE(log.contains(QByteArray("ignored: ") + c.logged)) << log.constData();
        else
            EXPECT_FALSE(log.contains("ignored")) << log.constData();
    }
}

// Holds port 3600 the way another program would; -1 when it cannot.
int HoldPort3600()
{
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(3600);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) < 0 || listen(fd, 1) < 0) {
        if (fd >= 0)
            close(fd);
        return -1;
    }
    return fd;
}

// Another program on the throughput port: the panel says that its server is
// not listening and why, and says nothing more once the port is its own.
TEST_F(WifiPanelTest, ThePanelSaysWhileItsServerCannotTakeItsPort)
{
    panel.reset();   // frees the port
    const int held = HoldPort3600();
    if (held < 0)
        GTEST_SKIP() << "port 3600 is held by another program on this machine; this test needs to hold it itself";
    panel = std::make_unique<WIFITestWidget>(&owner);
    panel->setGeometry(0, 0, 480, 330);
    panel->UpdateLayout();
    auto* state = panel->findChild<QLabel*>("m_lb_ServerState");
    auto* view = panel->findChild<QTableView*>("m_WIFITableView");
    ASSERT_TRUE(state && view);
    const bool shown = QTest::qWaitFor([state] { return !state->isHidden(); }, 10000);
    close(held);
    ASSERT_TRUE(shown) << "nothing said while the port is busy";
    EXPECT_TRUE(state->text().contains("not listening on port 3600")) << qPrintable(state->text());
    EXPECT_TRUE(state->text().contains("Address already in use")) << qPrintable(state->text());
    EXPECT_GE(view->geometry().top(), state->geometry().bottom()) << "the table makes room for it";

    ASSERT_TRUE(QTest::qWaitFor([state] { return state->isHidden(); }, 15000)) << "still shown once it listens";
    EXPECT_TRUE(tputlib_running());
    EXPECT_EQ(view->geometry(), QRect(0, 24, 478, 304));
}

TEST_F(WifiPanelTest, StartClearsTheTableAndTheLatestReportAndKeepsOneTimer)
{
    Begin();
    Report(panel.get(), kMiB, 4e6, false);
    Tick();
    ASSERT_EQ(ResultRow(panel.get()).size(), 4);

    Report(panel.get(), 2 * kMiB, 4e6, false);   // not shown yet
    Begin();
    EXPECT_TRUE(ResultRow(panel.get()).isEmpty());
    const QList<QAbstractEventDispatcher::TimerInfo> timers = PanelTimers(panel.get());
    ASSERT_EQ(timers.size(), 1);
    EXPECT_EQ(timers.first().interval, 1000);
    EXPECT_EQ(timers.first().timerType, Qt::CoarseTimer);

    owner.events.clear();
    Tick();
    EXPECT_TRUE(ResultRow(panel.get()).isEmpty());
    EXPECT_TRUE(owner.events.isEmpty());

    // The panel's own start with nothing in the main video pane: no command
    // and no camera, so the test runs but judges nothing.
    panel->findChild<QPushButton*>("m_WIFITestBtn")->click();
    beginTick = g_tick.load();
    EXPECT_EQ(PanelTimers(panel.get()).size(), 1);
    Report(panel.get(), kMiB, 4e6, true);
    Tick();
    EXPECT_TRUE(ResultRow(panel.get()).isEmpty());
    EXPECT_TRUE(owner.events.isEmpty());
}

TEST_F(WifiPanelTest, WithoutOwnerTheTableStillWorks)
{
    panel.reset();   // the library's one panel goes first
    panel = std::make_unique<WIFITestWidget>(nullptr);
    DeviceEntry* device = reinterpret_cast<DeviceEntry*>(1);
    EXPECT_EQ(panel->GetCurDevice(device), -1);
    EXPECT_EQ(device, nullptr);
    Begin();
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
    Begin(second.get());
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
    Begin();
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
