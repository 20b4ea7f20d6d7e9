// The stream-test thread against simulated cameras on a tick the test moves:
// when a device is finished, what happens to its record, the hand-offs under
// a stop, and the manual results that come back for the record.
#include "PlayFixture.h"
#include "LeftTopWidgetTestPeer.h"

#include "BoxRecorder.h"
#include "CustomItemsText.h"
#include "TestConfig.h"

#include <QSignalSpy>

namespace {

// The controller as the stream-test thread sees it, but for the record's
// upload: the thread's side of the submission is under test here, not the
// request, so the upload ends at once and leaves the failure count as the test
// set it. Each of the thread's waits on the GUI thread is noted once the GUI
// thread has done its work.
class HandOverRecorder final : public StreamTestWorker::Controller {
public:
    explicit HandOverRecorder(LeftTopWidget& widget) : m_widget(widget), m_real(Peer(widget).StreamTestSide()) {}

    ConfigInfo ConfigSnapshot() const override { return m_real.ConfigSnapshot(); }
    int playVideo(DevInfo* dev) override { return m_real.playVideo(dev); }
    int stopPlay(DevInfo* dev) override { return m_real.stopPlay(dev); }
    void RetirePlay(DevInfo& previous) override { m_real.RetirePlay(previous); }
    void CollectManualTestResult() override
    {
        m_real.CollectManualTestResult();
        Note("save");
    }
    void slot_UploadCurrentDevTestResult() override
    {
        Peer(m_widget).m_iUploadDone = 1;
        Note("upload");
    }
    void slot_RefreshOrderInfo() override
    {
        m_real.slot_RefreshOrderInfo();
        Note("refresh");
    }
    void onUploadDataNetworkAnomalies() override
    {
        m_real.onUploadDataNetworkAnomalies();
        Note("network");
    }
    void AddAutoTestItem(const QString& strText, bool bNormal) override { m_real.AddAutoTestItem(strText, bNormal); }
    void LeaveGunBallView() override { m_real.LeaveGunBallView(); }
    void LeaveManualTest() override { m_real.LeaveManualTest(); }
    void BeginAutoTest() override { m_real.BeginAutoTest(); }

    QStringList Handed() const
    {
        std::lock_guard<std::mutex> guard(m_lock);
        return m_handed;
    }

private:
    void Note(const QString& step)
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_handed << step;
    }

    LeftTopWidget& m_widget;
    StreamTestWorker::Controller& m_real;
    mutable std::mutex m_lock;
    QStringList m_handed;
};

class StreamThreadTest : public PlayTestBase {
protected:
    // Camera A streams, B is next; both logged in, typed and in the stream list.
    void StartTwoCameras(const QByteArray& extraOfA = QByteArray())
    {
        Start({Camera("VT21ST0000000001", "127.0.0.31", extraOfA), Camera("VT21ST0000000002", "127.0.0.32")});
        loginA = LogIn("127.0.0.31");
        loginB = LogIn("127.0.0.32");
        KnowType(loginA);
        KnowType(loginB);
        SetStreamList({Record("VT21ST0000000001", "127.0.0.31", loginA), Record("VT21ST0000000002", "127.0.0.32", loginB)});
        StartStreamThread();
    }

    // A current device that is already finished (no port, no frame), with its
    // chain at the manual part, in work-order mode.
    void StartFinishedDevice()
    {
        Start({});
        WholeMachineTestMode = true;
        widget->Lists().SetCurrentDevice(MakeDevice("VT21ST0000000009", "127.0.0.39", 39, 1));
        Peer(*widget).m_bManualTipShown = true;
        TakeHandOvers();
        StartStreamThread();
    }

    // Counts the records handed over (saves) and the thread's waits on the GUI
    // thread (Handed). Before the stream-test thread starts.
    void TakeHandOvers()
    {
        host.onSave = [this] { ++saves; };
        handOverRecorder = std::make_unique<HandOverRecorder>(*widget);
        Peer(*widget).UseStreamTestController(*handOverRecorder);
    }

    // The device under test, whose chain has started, reaches its end: its
    // chain at the manual part, then unplugged (its link not reported lost)
    // and judged until its record is handed over; false when the count of
    // records handed over is not handOvers.
    bool EndCurrentDevice(const char* sn, int handOvers)
    {
        Peer(*widget).m_bManualTipShown = true;
        if (!SimLan::Instance().Unplug(sn, 600000))
            return false;
        // Packets on their way when it was unplugged may count as progress once more.
        for (int pass = 0; pass < 4 && saves < handOvers; ++pass) {
            Advance(kJudgeMs + 1);
            WaitFor([&] { return saves >= handOvers; }, 2000);
        }
        return WaitFor([&] { return saves >= handOvers; }) && saves == handOvers;
    }

    // The SDK's report that a login's link is lost, handed over as the main window does.
    void LinkLost(int64_t login)
    {
        AuxResponseInfo info;
        info.lLoginID = login;
        info.lStateCode = EVENT_CONNECTFAILED;
        widget->onStatusEvent(&info);
    }

    // The next case of a table on a fresh LAN and controller.
    void ResetForNextCase()
    {
        recorder.Detach();
        widget.reset();
        FC_Loc_Cleanup();
        SimLan::Instance().Reset();
        SdkCallLog::Instance().Clear();
        g_streamThreadKnown = false;
        chainStarts.starts = 0;
        saves = 0;
        handOverRecorder.reset();
    }

    QStringList Handed() const { return handOverRecorder ? handOverRecorder->Handed() : QStringList(); }

    int64_t loginA = 0;
    int64_t loginB = 0;
    int saves = 0;
    std::unique_ptr<HandOverRecorder> handOverRecorder;   // the controller goes first (TearDown)
};

// The passes after a device started, each a tick step and whether the device
// is finished (the next one plays) once the thread saw it.
struct QuietCase {
    const char* name;
    const char* extraOfA;
    bool unplug;
    std::vector<std::pair<uint64_t, bool>> steps;
};

TEST_F(StreamThreadTest, AQuietDeviceIsFinishedAfterTheJudgeTimeAndOneWithoutAFrameAfter500ms)
{
    const uint64_t j = kJudgeMs + 1;
    const std::vector<QuietCase> cases = {
        // Frames until the unplug: they count as progress once, then nothing moves.
        {"unplugged", "", true, {{j, false}, {j, true}}},
        // A port but never a frame: the start's sign of life counts once, then 500 ms more.
        {"no frame", ", \"media\": {\"video\": false}", false, {{j, false}, {j, false}, {499, false}, {1, true}}},
    };
    for (const QuietCase& c : cases) {
        SCOPED_TRACE(c.name);
        StartTwoCameras(c.extraOfA);
        Advance(j);   // the first device starts once the thread's own judge time passed
        ASSERT_TRUE(WaitFor([&] { return CurrentSerial() == "VT21ST0000000001"; }));
        EXPECT_TRUE(WaitFor([&] { return chainStarts.starts == 1; }));
        const int64_t handleA = DevLoad(widget->Lists().m_PlayInfo.lRealHandle);
        ASSERT_GT(handleA, 0);
        ASSERT_TRUE(WaitFor([&] { return DevLoad(widget->Lists().m_PlayInfo.lPlayID) > 0; }));
        if (c.unplug) {
            ASSERT_TRUE(WaitFor([&] { return DevLoad(widget->Lists().m_PlayInfo.lFrameCount) > 0; }));
            ASSERT_TRUE(SimLan::Instance().Unplug("VT21ST0000000001", 600000));
            Observe(100);   // a packet on its way still lands
        }
        // A's manual script runs: the device's end stops its GUI-thread timer there.
        Peer(*widget).m_pManualAutoTimer->start(600000);
        Peer(*widget).m_bManalAutoTesting = true;
        QSignalSpy beginManual(widget.get(), &LeftTopWidget::siganlBeginManulTest);
        for (size_t i = 0; i < c.steps.size(); ++i) {
            SCOPED_TRACE(i);
            Advance(c.steps[i].first);
            if (c.steps[i].second) {
                EXPECT_TRUE(WaitFor([&] { return CurrentSerial() == "VT21ST0000000002"; }));
            } else {
                EXPECT_EQ(CurrentSerial(), QByteArray("VT21ST0000000001"));
            }
        }
        EXPECT_TRUE(WaitFor([&] { return !Peer(*widget).m_pManualAutoTimer->isActive(); }));
        EXPECT_FALSE(Peer(*widget).m_bManalAutoTesting.load());
        ASSERT_EQ(beginManual.count(), 1);
        EXPECT_FALSE(beginManual.first().at(0).toBool());
        EXPECT_EQ(CallsOf("FC_Loc_StopRealPlay"), QStringList{QString::number(handleA)});
        {
            std::lock_guard<ListLock> guard(Lists(*widget).m_lockStream);
            EXPECT_EQ(Lists(*widget).m_lDelReadyDev, std::vector<int64_t>{loginA});
        }
        EXPECT_TRUE(WaitFor([&] { return chainStarts.starts == 2; }));
        widget->StopRun();
        EXPECT_EQ(DevLoad(widget->Lists().m_PlayInfo.lRealHandle), 0) << "the run's end stops the last device";
        ResetForNextCase();
    }
}

TEST_F(StreamThreadTest, WithoutANextDeviceTheThreadRestsBetweenPasses)
{
    Start({});
    StartStreamThread();
    Advance(kJudgeMs + 1);
    // Every pass now finds the device finished and no next one.
    const uint64_t before = g_streamThreadReads.load();
    Observe(1000);
    EXPECT_LT(g_streamThreadReads.load() - before, 60u) << "about ten passes a second, not a spin";
}

TEST_F(StreamThreadTest, TheScanDropsLoggedOutRecordsWaitsForATypeAndSkipsTheDeviceItJustLeft)
{
    Start({Camera("VT21ST0000000001", "127.0.0.31"), Camera("VT21ST0000000002", "127.0.0.32")});
    loginA = LogIn("127.0.0.31");
    loginB = LogIn("127.0.0.32");
    DevInfo gone = Record("VT21ST0000000007", "127.0.0.37", 77);
    gone.lLoginStatus = -1;
    SetStreamList({gone, Record("VT21ST0000000001", "127.0.0.31", loginA), Record("VT21ST0000000002", "127.0.0.32", loginB)});
    StartStreamThread();
    Advance(kJudgeMs + 1);
    // A's type reply has not come: nothing starts, the logged-out record is gone.
    EXPECT_EQ(CurrentSerial(), QByteArray());
    {
        std::lock_guard<ListLock> guard(Lists(*widget).m_lockStream);
        ASSERT_EQ(Lists(*widget).m_vecImageStreamTestDevsInfo.size(), 2u);
    }
    KnowType(loginA);
    KnowType(loginB);
    ASSERT_TRUE(WaitFor([&] { return CurrentSerial() == "VT21ST0000000001"; }));

    // The search hands the list over again with A first: A is skipped as the
    // device played last, B follows once A is finished.
    SetStreamList({Record("VT21ST0000000001", "127.0.0.31", loginA), Record("VT21ST0000000002", "127.0.0.32", loginB)});
    ASSERT_TRUE(SimLan::Instance().Unplug("VT21ST0000000001", 600000));
    // Packets on their way when A was unplugged may count as progress once more.
    for (int pass = 0; pass < 4 && CurrentSerial() != "VT21ST0000000002"; ++pass) {
        Advance(kJudgeMs + 1);
        WaitFor([&] { return CurrentSerial() == "VT21ST0000000002"; }, 2000);
    }
    EXPECT_EQ(CurrentSerial(), QByteArray("VT21ST0000000002"));
}

// A camera put back on the line after it left is a new device under test,
// though it bears the serial of the device still current: it starts, and its
// record is handed over again at its end. Until the current device has left,
// a record of its serial is that device itself and is skipped.
TEST_F(StreamThreadTest, ACameraPutBackAfterItLeftIsTestedAndHandedOverAgain)
{
    const char* sn = "VT21ST0000000001";
    for (const bool left : {true, false}) {
        SCOPED_TRACE(left ? "left" : "still on the line");
        Start({Camera(sn, "127.0.0.31")});
        WholeMachineTestMode = true;
        TakeHandOvers();
        const int64_t first = LogIn("127.0.0.31");
        KnowType(first);
        SetStreamList({Record(sn, "127.0.0.31", first)});
        StartStreamThread();
        Advance(kJudgeMs + 1);
        ASSERT_TRUE(WaitFor([&] { return widget->Lists().CurrentLoginHandle() == first; }));
        ASSERT_TRUE(WaitFor([&] { return chainStarts.starts == 1; }));
        ASSERT_TRUE(EndCurrentDevice(sn, 1));

        // Its link is reported lost, or not yet; it is put back and logged in again.
        if (left)
            LinkLost(first);
        ASSERT_TRUE(SimLan::Instance().Replug(sn));
        const int64_t second = LogIn("127.0.0.31");
        KnowType(second);
        SetStreamList({Record(sn, "127.0.0.31", second)});
        if (left) {
            Advance(kJudgeMs + 1);
            ASSERT_TRUE(WaitFor([&] { return widget->Lists().CurrentLoginHandle() == second; }));
            ASSERT_TRUE(WaitFor([&] { return chainStarts.starts == 2; })) << "its chain starts anew";
            EXPECT_TRUE(EndCurrentDevice(sn, 2)) << "the retest's record is handed over too";
        } else {
            for (int pass = 0; pass < 3; ++pass)
                Advance(kJudgeMs + 1);
            EXPECT_EQ(widget->Lists().CurrentLoginHandle(), first) << "skipped as the device itself";
            EXPECT_EQ(saves, 1);
        }
        widget->StopRun();
        ResetForNextCase();
    }
}

// A camera leaves the line while its pictures still flow to the pane: its
// play is torn down (stream stopped, port freed) before the next camera's
// record takes the slot the library callbacks read, and a controller that
// goes while that one delivers ends its stream first.
TEST_F(StreamThreadTest, ACameraLeavingWhileItStreamsIsTornDownBeforeItsRecordIsReplaced)
{
    StartTwoCameras();
    Advance(kJudgeMs + 1);
    ASSERT_TRUE(WaitFor([&] { return CurrentSerial() == "VT21ST0000000001"; }));
    const int64_t handleA = DevLoad(widget->Lists().m_PlayInfo.lRealHandle);
    ASSERT_TRUE(WaitFor([&] { return DevLoad(widget->Lists().m_PlayInfo.lPlayID) > 0; }));
    const int64_t portA = DevLoad(widget->Lists().m_PlayInfo.lPlayID);
    ASSERT_TRUE(WaitFor([] { return SdkCallLog::Instance().VideoInputs() >= 10; }));

    ASSERT_TRUE(SimLan::Instance().Leave("VT21ST0000000001"));
    ASSERT_TRUE(recorder.WaitFor(
        [&](const SdkEvent& e) { return !e.reply && e.handle == loginA && e.code == EVENT_CONNECTFAILED; }, 10000));
    LinkLost(loginA);
    for (int pass = 0; pass < 4 && CurrentSerial() != "VT21ST0000000002"; ++pass) {
        Advance(kJudgeMs + 1);
        WaitFor([&] { return CurrentSerial() == "VT21ST0000000002"; }, 2000);
    }
    ASSERT_EQ(CurrentSerial(), QByteArray("VT21ST0000000002"));
    const int64_t inputsBeforeB = SdkCallLog::Instance().VideoInputs();
    ASSERT_TRUE(WaitFor([&] { return SdkCallLog::Instance().VideoInputs() >= inputsBeforeB + 10; }));

    const QVector<SdkCall> calls = SdkCallLog::Instance().Calls();
    auto first = [&](const char* function, const QString& arguments) {
        for (int i = 0; i < calls.size(); ++i) {
            if (calls[i].function == QLatin1String(function) && calls[i].arguments.startsWith(arguments))
                return i;
        }
        return -1;
    };
    const int playB = first("FC_Loc_RealPlayEx", QString::number(loginB) + ",");
    ASSERT_GE(playB, 0);
    for (const auto& [function, arguments] :
         {std::pair<const char*, QString>{"FC_Loc_StopRealPlay", QString::number(handleA)},
          {"PC_FreePort", QString::number(portA)}}) {
        SCOPED_TRACE(function);
        const int at = first(function, arguments);
        EXPECT_GE(at, 0);
        EXPECT_LT(at, playB);
    }
    EXPECT_EQ(SimLan::Instance().LiveStreams(), 1);

    widget.reset();
    EXPECT_EQ(SimLan::Instance().LiveStreams(), 0);
}

TEST_F(StreamThreadTest, TheWifiWaitEndsWithThePanelsReportsOrItsTimeOuts)
{
    struct WifiCase {
        const char* name;
        bool data;           // event 1024 comes
        bool end;            // event 1023 comes
        uint64_t waitMs;     // how long the thread waits without them
    };
    const std::vector<WifiCase> cases = {
        {"data and end", true, true, 0},
        {"no data", false, false, 10000},
        {"data, no end", true, false, 14000},
    };
    for (const WifiCase& c : cases) {
        SCOPED_TRACE(c.name);
        StartFinishedDevice();
        widget->Lists().UpdateCurrentDevice(39, [](DevInfo& dev) { dev.lWifiTesFinish = 1; });
        Peer(*widget).m_bWifiThroughputBegun = true;
        Advance(kJudgeMs + 1);
        Advance(1000);
        EXPECT_EQ(saves, 0) << "the record waits for the throughput test";
        if (c.data) {
            widget->SetWifiTestRunning();
            SettlePasses();
            EXPECT_EQ(DevLoad(widget->Lists().m_PlayInfo.lWifiTesFinish), 2);
        }
        if (c.end)
            widget->SetWifiTestFinished(0, 1);
        if (c.waitMs > 0) {
            Advance(c.waitMs - 1001);
            EXPECT_EQ(saves, 0);
            g_playTick += 1001;
        }
        EXPECT_TRUE(WaitFor([&] { return saves == 1; }));
        EXPECT_FALSE(Peer(*widget).m_bWifiThroughputBegun.load());
        widget->StopRun();
        widget.reset();
        g_streamThreadKnown = false;
        saves = 0;
        handOverRecorder.reset();
    }
}

TEST_F(StreamThreadTest, AStopInTheWifiWaitEndsItAtOnce)
{
    StartFinishedDevice();
    widget->Lists().UpdateCurrentDevice(39, [](DevInfo& dev) { dev.lWifiTesFinish = 1; });
    Peer(*widget).m_bWifiThroughputBegun = true;
    Advance(kJudgeMs + 1);
    widget->StopRun();
    EXPECT_FALSE(Peer(*widget).Workers().IsAlive(StationWorkers::StreamTest));
}

TEST_F(StreamThreadTest, TheRecordGoesToTheGuiInOrderAndFiveFailuresReportTheNetwork)
{
    struct UploadCase {
        int failures;
        bool tipShown;
        bool anomaly;
    };
    for (const UploadCase& c : {UploadCase{4, true, false}, UploadCase{5, true, true}, UploadCase{0, false, false}}) {
        SCOPED_TRACE(c.failures);
        BoxRecorder boxes;
        StartFinishedDevice();
        Peer(*widget).m_bManualTipShown = c.tipShown;
        Peer(*widget).UploadFailureCount = c.failures;
        g_playTick += kJudgeMs + 1;   // the network report ends the thread: the waits below see to the rest
        if (c.tipShown) {
            QStringList expected{"save", "upload", "refresh"};
            if (c.anomaly)
                expected << "network";
            EXPECT_TRUE(WaitFor([&] { return Handed().size() == expected.size(); }));
            EXPECT_TRUE(Handed() == expected);
            EXPECT_EQ(Peer(*widget).m_iUploadDone.load(), 0) << "taken back for the next device";
        } else {
            EXPECT_TRUE(WaitFor([&] {
                return host.Lines().contains("!The automatic test item has not been completed and will not be uploaded");
            }));
            EXPECT_TRUE(Handed().empty());
        }
        if (c.anomaly) {
            EXPECT_TRUE(WaitFor([&] { return host.logOuts == 1; }));
            EXPECT_EQ(boxes.texts, QStringList{"Error|there is a problem with network connection. Please log in again"});
            EXPECT_FALSE(Peer(*widget).IsRunning());
        } else {
            Observe(100);
            EXPECT_EQ(host.logOuts, 0);
            EXPECT_TRUE(boxes.texts.isEmpty());
        }
        // The same device judged again is not handed over twice (the
        // network report has stopped the run and with it the thread).
        if (!c.anomaly)
            Advance(kJudgeMs + 1);
        EXPECT_EQ(saves, c.tipShown ? 1 : 0);
        widget->StopRun();
        widget.reset();
        g_streamThreadKnown = false;
        saves = 0;
        handOverRecorder.reset();
        host.logOuts = 0;
    }
}

TEST_F(StreamThreadTest, ARunStoppedWhileTheThreadWaitsInAHandOffStillHandsTheWholeRecordOver)
{
    // The thread waits in each of its four hand-offs in turn while the GUI
    // thread stops the run: the stop joins it, running what it waits for.
    for (int stopAt = 0; stopAt < 4; ++stopAt) {
        SCOPED_TRACE(stopAt);
        BoxRecorder boxes;
        StartFinishedDevice();
        Peer(*widget).UploadFailureCount = 5;
        g_playTick += kJudgeMs + 1;   // no event loop from here on: hand-offs run only when the test says
        auto waitPending = [&] {
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
            while (Peer(*widget).HandOffs().Pending() != 1 && std::chrono::steady_clock::now() < deadline)
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            return Peer(*widget).HandOffs().Pending() == 1;
        };
        for (int stage = 0; stage < stopAt; ++stage) {
            ASSERT_TRUE(waitPending());
            // Only this stage's job: the next may be queued while it runs.
            Peer(*widget).HandOffs().RunOne();
        }
        ASSERT_TRUE(waitPending());
        widget->StopRun();
        EXPECT_FALSE(Peer(*widget).Workers().IsAlive(StationWorkers::StreamTest));
        EXPECT_EQ(Handed().size(), 4u) << "save, upload, refresh and the network report all ran";
        EXPECT_EQ(saves, 1);
        EXPECT_EQ(boxes.texts.size(), 1);
        EXPECT_TRUE(WaitFor([&] { return host.logOuts == 1; }));
        widget.reset();
        g_streamThreadKnown = false;
        saves = 0;
        handOverRecorder.reset();
        host.logOuts = 0;
    }
}

// ---------------------------------------------------------------------------
// Manual results

CustomizeItem Item(const QString& mark, int result)
{
    CustomizeItem item;
    item.mark = mark;
    item.result = result;
    return item;
}

TEST(CustomItemsText, WholePairsOnlyWithinTheField)
{
    const QString long250 = QString(248, QLatin1Char('a'));      // "a..a=1" is 250 bytes
    const QString wide = QString::fromUtf8("\xe6\xa0\x87\xe7\xad\xbe");   // two 3-byte characters
    struct Case {
        const char* name;
        QVector<CustomizeItem> items;
        QByteArray text;
        int leftOut;
    };
    const std::vector<Case> cases = {
        {"joined", {Item("sticker", 1), Item("box", -1)}, "sticker=1&box=-1", 0},
        {"marks that would break the form", {Item("a&b", 1), Item("c=d", 1), Item("ok", 1)}, "ok=1", 2},
        {"a pair past the field is left out, a later one that fits goes in",
         {Item(long250, 1), Item(long250, 1), Item(QString(10, 'b'), 1), Item("c", 1)},
         (long250 + "=1&" + long250 + "=1&c=1").toUtf8(), 1},
        {"characters are never cut", {Item(QString(504, 'x'), 1), Item(wide, 1)}, (QString(504, 'x') + "=1").toUtf8(), 1},
        {"empty", {}, "", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QStringList leftOut;
        const QByteArray text = JoinCustomItems(c.items, 511, &leftOut);
        EXPECT_EQ(text, c.text);
        EXPECT_LE(text.size(), 511);
        EXPECT_EQ(leftOut.size(), c.leftOut);
    }
}

TEST_F(StreamThreadTest, ManualResultsGoIntoTheCurrentRecordAndAFailureClearsTheVerdict)
{
    Start({});
    DevInfo dev = MakeDevice("VT21ST0000000009", "127.0.0.39", 39, 1);
    dev.TestRuslut.m_iTestVideo = 1;
    dev.TestRuslut.video_result2 = -1;
    widget->Lists().SetCurrentDevice(dev);
    Peer(*widget).m_bManualObservationTestNormal = true;

    DevTestResult manual{};
    manual.trumpet_result = 1;
    manual.preset_point_call_result = 1;
    manual.m_iTestVideo = 0;           // not judged by the operator: the chain's verdict stays
    manual.video_result2 = 1;
    widget->SaveManualTestResult(manual, {Item("sticker", 1), Item("a&b", 1)});
    DevTestResult r = widget->Lists().CurrentDevice().TestRuslut;
    EXPECT_EQ(r.m_iTestVideo, 1);
    EXPECT_EQ(r.video_result2, 1);
    EXPECT_EQ(r.trumpet_result, 1);
    EXPECT_EQ(r.preset_point_call_result, 1);
    EXPECT_EQ(TextOf(r.custom_manual_items), QByteArray("sticker=1"));
    EXPECT_TRUE(Peer(*widget).m_bManualObservationTestNormal);

    for (const auto& failing : std::vector<std::pair<const char*, QVector<CustomizeItem>>>{
             {"a manual item", {}}, {"a custom item", {Item("sticker", -1)}}}) {
        SCOPED_TRACE(failing.first);
        Peer(*widget).m_bManualObservationTestNormal = true;
        DevTestResult m{};
        if (failing.second.isEmpty())
            m.ptz_left_result = -1;
        widget->SaveManualTestResult(m, failing.second);
        EXPECT_FALSE(Peer(*widget).m_bManualObservationTestNormal);
    }
}

}  // namespace
