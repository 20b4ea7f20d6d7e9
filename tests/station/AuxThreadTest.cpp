// The auxiliary thread and its job mechanism: posting order, sources, what a
// job may read, where its results go, and the stop.
#include "ChainFixture.h"
#include "LeftTopWidgetTestPeer.h"

#include "AuxResponseInfo.h"
#include "HttpClient.h"
#include "SdkCallLog.h"
#include "StalledListener.h"

#include <QSignalSpy>

namespace {

using Ends = std::vector<std::pair<int, int>>;

class AuxThreadTest : public ControllerTestBase<PanelHost, AuxThreadTest> {
public:
    inline static TempAppDir* s_dir = nullptr;

protected:
    void SetUp() override
    {
        ControllerTestBase<PanelHost, AuxThreadTest>::SetUp();
        Make();
        jobs.Install(widget.get());
        DevInfo dev = MakeDevice("VTS0000000000071", "127.0.2.71", 71, 1);
        DevStore(dev.lPlayID, int64_t(1));
        DevStore(dev.lRealHandle, int64_t(1));
        widget->Lists().SetCurrentDevice(dev);
        Peer(*widget).BeginChain();
    }

    void TearDown() override
    {
        jobs.Release();
        ControllerTestBase<PanelHost, AuxThreadTest>::TearDown();
        LoggedIn = false;
    }

    // Camera 71 current, a new chain, nothing shown yet.
    void FreshChain()
    {
        widget->Lists().SetCurrentDevice(MakeDevice("VTS0000000000071", "127.0.2.71", 71, 1));
        Peer(*widget).BeginChain();
        host.panel->ClearAutoTestResults();
        Peer(*widget).m_bTestNormal = true;
    }

    // Posts a job of message whose body the recorder stands in for.
    template <typename Owner>
    bool Post(uint32_t message, Owner record, int source)
    {
        return Peer(*widget).PostAuxJob(StandInJob(message, std::move(record)), source);
    }

    Ends EndsOf(const QSignalSpy& spy) const
    {
        Ends ends;
        for (const QList<QVariant>& args : spy)
            ends.emplace_back(args.at(0).toInt(), args.at(1).toInt());
        return ends;
    }

    JobRecorder jobs;
};

TEST_F(AuxThreadTest, JobsRunInPostingOrderAndOnlyAutomaticEndsMoveTheChain)
{
    ConfigInfo config = widget->ConfigSnapshot();
    config.m_AutoTest.bFunctionCode = true;
    widget->SetConfig(config);
    QSignalSpy ends(widget.get(), &LeftTopWidget::sig_ThreadItemProcEnd);
    SdkCallLog::Instance().Clear();

    // Posted in one GUI step: they run one after the other, in this order.
    Post(AUX_MSG_BIND_DEV, std::make_unique<DevBindJob>(), AUX_SOURCE_MANUAL);
    Post(AUX_MSG_4G_INFO_TEST, std::make_unique<Dev4GInfo>(), AUX_SOURCE_MANUAL);
    Post(AUX_MSG_PRINT_QRCODE, std::make_unique<AuxPrintQRCodeMsg>(), AUX_SOURCE_MANUAL);
    Post(AUX_MSG_AUTHORIZE_CHECK, std::make_unique<AuxAuthorizeCheckMsg>(), AUX_SOURCE_MANUAL);
    Post(AUX_MSG_CHECK_QRCODE, std::make_unique<AuxPrintQRCodeMsg>(), AUX_SOURCE_MANUAL);
    ASSERT_TRUE(WaitFor([&] { return ends.count() == 5; }));
    const Ends manual{{1128, 1}, {1127, 1}, {1125, 1}, {1130, 1}, {1126, 1}};
    EXPECT_EQ(EndsOf(ends), manual);
    std::vector<uint32_t> order;
    for (const JobRecorder::Record& r : jobs.Records())
        order.push_back(r.message);
    EXPECT_EQ(order, (std::vector<uint32_t>{1128, 1127, 1125, 1130, 1126}));
    // Manual ends leave the chain where it is: no command, no further job, no end line.
    EXPECT_TRUE(SdkCallLog::Instance().CallsOf("FC_Loc_IoTQuery").isEmpty());
    EXPECT_EQ(jobs.Records().size(), 5u);
    EXPECT_TRUE(host.Lines().isEmpty());

    // The same jobs from the chain go on with it.
    Post(AUX_MSG_BIND_DEV, std::make_unique<DevBindJob>(), AUX_SOURCE_AUTO);
    ASSERT_TRUE(WaitFor([&] { return !SdkCallLog::Instance().CallsOf("FC_Loc_IoTQuery").isEmpty(); }));
    EXPECT_TRUE(SdkCallLog::Instance().CallsOf("FC_Loc_IoTQuery").value(0).arguments.startsWith("71,1700,"))
        << "after the bind job of an SDK type 0 camera: the function codes";
    Post(AUX_MSG_CHECK_QRCODE, std::make_unique<AuxPrintQRCodeMsg>(), AUX_SOURCE_AUTO);
    ASSERT_TRUE(WaitFor([&] { return host.Lines().contains("Please Begin Manual Test"); }))
        << "after the check job: the end of the chain";
}

TEST_F(AuxThreadTest, AMessageWithoutAJobIsDroppedAndTheNextJobRuns)
{
    QSignalSpy ends(widget.get(), &LeftTopWidget::sig_ThreadItemProcEnd);
    ThreadMessageQueue* queue = Peer(*widget).Workers().Queue(StationWorkers::Aux);
    ASSERT_NE(queue, nullptr);
    ASSERT_TRUE(queue->Post(2000, nullptr));
    ASSERT_TRUE(queue->Post(1129, nullptr));
    ASSERT_TRUE(queue->Post(AUX_MSG_BIND_DEV, nullptr));
    // Each refused and freed.
    EXPECT_FALSE(Peer(*widget).PostAuxJob(nullptr, AUX_SOURCE_AUTO)) << "no job";
    EXPECT_FALSE(Post(AUX_MSG_BIND_DEV, std::unique_ptr<DevBindJob>(), AUX_SOURCE_MANUAL)) << "no record";
    Post(AUX_MSG_PRINT_QRCODE, std::make_unique<AuxPrintQRCodeMsg>(), AUX_SOURCE_MANUAL);
    ASSERT_TRUE(WaitFor([&] { return ends.count() == 1; }));
    EXPECT_EQ(EndsOf(ends), (Ends{{1125, 1}}));
    EXPECT_EQ(jobs.Records().size(), 1u);
}

TEST_F(AuxThreadTest, TheTalkBackJobHasNoEnd)
{
    QSignalSpy ends(widget.get(), &LeftTopWidget::sig_ThreadItemProcEnd);
    AuxResponsePtr status(new AuxResponseInfo);
    status->lLoginID = 71;
    status->pResponse = new char[8]();
    ASSERT_TRUE(Peer(*widget).PostTalkJob(std::move(status)));
    Post(AUX_MSG_CHECK_QRCODE, std::make_unique<AuxPrintQRCodeMsg>(), AUX_SOURCE_MANUAL);
    ASSERT_TRUE(WaitFor([&] { return ends.count() == 1; }));
    EXPECT_EQ(EndsOf(ends), (Ends{{1126, 1}})) << "1124 ran first and sent nothing";
}

TEST_F(AuxThreadTest, AJobReadsTheValuesOfItsPost)
{
    jobs.Hold(AUX_MSG_BIND_DEV, "VTS0000000000071", [](AuxJobRun&) {});
    Post(AUX_MSG_BIND_DEV, std::make_unique<DevBindJob>(), AUX_SOURCE_MANUAL);
    ASSERT_TRUE(WaitFor([&] { return jobs.IsHeld(); }));

    // Seen by the print job, which waits behind the bind job.
    QString macSeen;
    QString snSeen;
    QString minLevelSeen;
    int bindSeen = 0;
    bool normalSeen = false;
    std::mutex seenLock;
    Peer(*widget).SetAuxJobBody(AUX_MSG_PRINT_QRCODE, [&](const AuxJobEnvelope& job, AuxJobRun& run) {
        std::lock_guard<std::mutex> guard(seenLock);
        macSeen = run.Context().strCustomMac;
        minLevelSeen = run.Context().config.m_SystemConfig.WifiSignal;
        bindSeen = run.Context().result.bind_result;
        normalSeen = run.Context().bTestNormal;
        snSeen = job.Get<AuxPrintQRCodeMsg>()->strDevSN;
    });
    ConfigInfo config = widget->ConfigSnapshot();
    config.m_SystemConfig.WifiSignal = "-50";
    widget->SetConfig(config);
    Peer(*widget).m_strCustomMac = "00:1A:2B:3C:4D:5E";
    widget->Lists().UpdateCurrentDevice(71, [](DevInfo& d) { d.TestRuslut.bind_result = 1; });
    auto print = std::make_unique<AuxPrintQRCodeMsg>();
    print->strDevSN = "VTS0000000000071";
    Post(AUX_MSG_PRINT_QRCODE, std::move(print), AUX_SOURCE_MANUAL);

    // The GUI thread goes on changing what the job read.
    config.m_SystemConfig.WifiSignal = "-70";
    widget->SetConfig(config);
    Peer(*widget).m_strCustomMac.clear();
    widget->Lists().UpdateCurrentDevice(71, [](DevInfo& d) { d.TestRuslut.bind_result = -1; });
    Peer(*widget).AddAutoTestItem("a failed line", false);
    QSignalSpy ends(widget.get(), &LeftTopWidget::sig_ThreadItemProcEnd);
    jobs.Release();
    ASSERT_TRUE(WaitFor([&] { return ends.count() == 2; }));
    std::lock_guard<std::mutex> guard(seenLock);
    EXPECT_EQ(snSeen, "VTS0000000000071");
    EXPECT_EQ(macSeen, "00:1A:2B:3C:4D:5E");
    EXPECT_EQ(minLevelSeen, "-50");
    EXPECT_EQ(bindSeen, 1);
    EXPECT_TRUE(normalSeen);
}

// How a chain loses its camera while one of its jobs runs.
struct LossCase {
    const char* name;
    std::function<void(LeftTopWidget*)> lose;
};

TEST_F(AuxThreadTest, AJobOfAnEndedChainIsLoggedNotShown)
{
    const LossCase cases[] = {
        {"a new event 1020 for the same camera", [](LeftTopWidget* w) { Peer(*w).BeginChain(); }},
        {"the next camera", [](LeftTopWidget* w) { w->Lists().SetCurrentDevice(MakeDevice("VTS0000000000072", "127.0.2.72", 72, 1)); }},
        {"the run stopped", [](LeftTopWidget* w) { w->Lists().BumpGeneration(); }},
    };
    auto result = [](AuxJobRun& run) {
        run.Result().SetWord(&DevTestResult::bind_result, 1);
        run.Result().SetText(&DevTestResult::tuya_uuid, "uuid-of-the-job");
        run.AddLine("bound by the job", true);
        run.AddLine("refused by the job", false);
    };
    for (const LossCase& c : cases) {
        SCOPED_TRACE(c.name);
        FreshChain();
        QSignalSpy ends(widget.get(), &LeftTopWidget::sig_ThreadItemProcEnd);
        jobs.Hold(AUX_MSG_BIND_DEV, "VTS0000000000071", result);
        Post(AUX_MSG_BIND_DEV, std::make_unique<DevBindJob>(), AUX_SOURCE_AUTO);
        ASSERT_TRUE(WaitFor([&] { return jobs.IsHeld(); }));
        c.lose(widget.get());
        jobs.Release();
        // A later job of the current chain ends after it: the first one's end was handled by then.
        Post(AUX_MSG_PRINT_QRCODE, std::make_unique<AuxPrintQRCodeMsg>(), AUX_SOURCE_MANUAL);
        ASSERT_TRUE(WaitFor([&] { return ends.count() == 1; }));
        EXPECT_EQ(EndsOf(ends), (Ends{{1125, 1}})) << "the bind job's end did not reach the chain";
        const DevTestResult now = widget->Lists().CurrentDevice().TestRuslut;
        EXPECT_EQ(now.bind_result, 0);
        EXPECT_EQ(TextOf(now.tuya_uuid), "");
        EXPECT_TRUE(host.Lines().isEmpty());
        EXPECT_TRUE(Peer(*widget).m_bTestNormal) << "a stale failed line clears nothing";
    }

    // The same job for the chain in progress.
    FreshChain();
    QSignalSpy ends(widget.get(), &LeftTopWidget::sig_ThreadItemProcEnd);
    jobs.Hold(AUX_MSG_BIND_DEV, "VTS0000000000071", result);
    Post(AUX_MSG_BIND_DEV, std::make_unique<DevBindJob>(), AUX_SOURCE_MANUAL);
    jobs.Release();
    ASSERT_TRUE(WaitFor([&] { return ends.count() == 1; }));
    const DevTestResult now = widget->Lists().CurrentDevice().TestRuslut;
    EXPECT_EQ(now.bind_result, 1);
    EXPECT_EQ(TextOf(now.tuya_uuid), "uuid-of-the-job");
    EXPECT_EQ(host.Lines(), (QStringList{"bound by the job", "!refused by the job"}));
    EXPECT_FALSE(Peer(*widget).m_bTestNormal);
}

TEST_F(AuxThreadTest, TheStopCutsTheRunningRequestShortAndFreesTheQueuedJobs)
{
    StalledListener stalled;
    if (!stalled.Stalled())
        GTEST_SKIP() << "the listener's queue could not be filled: a connect would not wait";
    std::mutex lock;
    std::condition_variable changed;
    bool entered = false;
    int code = -1;
    bool exitFlag = false;
    Peer(*widget).SetAuxJobBody(AUX_MSG_BIND_DEV, [&](const AuxJobEnvelope&, AuxJobRun& run) {
        HttpClient client;
        AuxJobRun::Watch watch(run, &client);
        {
            std::lock_guard<std::mutex> guard(lock);
            entered = true;
        }
        changed.notify_all();
        const int ret = client.Get(BackendEndpoint{"127.0.0.1", stalled.Port()}, HttpClient::Query::Heartbeat).Value();
        std::lock_guard<std::mutex> guard(lock);
        code = ret;
        exitFlag = client.ExitFlag();
    });
    Post(AUX_MSG_BIND_DEV, std::make_unique<DevBindJob>(), AUX_SOURCE_AUTO);
    Post(AUX_MSG_PRINT_QRCODE, std::make_unique<AuxPrintQRCodeMsg>(), AUX_SOURCE_AUTO);
    Post(AUX_MSG_4G_INFO_TEST, std::make_unique<Dev4GInfo>(), AUX_SOURCE_AUTO);
    {
        std::unique_lock<std::mutex> guard(lock);
        ASSERT_TRUE(changed.wait_for(guard, std::chrono::seconds(10), [&] { return entered; }));
    }
    Peer(*widget).StopAuxThread();
    EXPECT_FALSE(Peer(*widget).Workers().IsAlive(StationWorkers::Aux));
    // The bind job's end came during the join: no chain goes on without the thread.
    EXPECT_FALSE(Peer(*widget).IsChainCurrent(Peer(*widget).Chain()));
    EXPECT_TRUE(host.Lines().isEmpty());
    {
        std::lock_guard<std::mutex> guard(lock);
        EXPECT_EQ(code, 3) << "stopped in its connect wait, not timed out (5)";
        EXPECT_TRUE(exitFlag);
    }
    EXPECT_TRUE(jobs.Records().empty()) << "the queued jobs did not run";
    EXPECT_FALSE(Post(AUX_MSG_PRINT_QRCODE, std::make_unique<AuxPrintQRCodeMsg>(), AUX_SOURCE_AUTO));
    // The leak check of the test build proves the queued and refused jobs were freed.
}

TEST_F(AuxThreadTest, AHandOffLeftAfterTheThreadsStoppedRunsWhileTheControllerIsWhole)
{
    // A job's end can reach the GUI thread after the thread's join returned;
    // here one waits when the controller goes. It reads the thread's queue,
    // which lives as long as the controller's worker owner.
    Peer(*widget).StopAuxThread();
    LeftTopWidget* w = widget.get();
    bool ran = false;
    size_t queued = 1;
    ASSERT_TRUE(Peer(*w).HandOffs().Post([&ran, &queued, w] {
        ran = true;
        queued = Peer(*w).Workers().Queue(StationWorkers::Aux)->Size();
    }));
    widget.reset();
    EXPECT_TRUE(ran);
    EXPECT_EQ(queued, 0u);
}

}  // namespace
