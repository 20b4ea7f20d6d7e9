#pragma once

// The controller playing simulated cameras: its live-play path, the
// stream-test thread and the talk-back, on a tick the test moves. The SDK's
// events are recorded (SdkEventRecorder); a test hands the ones it wants to
// the controller as the main window would.
#include "ChainFixture.h"
#include "LeftTopWidgetTestPeer.h"

#include "JTimer.h"

#include "LanProfiles.h"
#include "PlayerStatusInfo.h"
#include "SdkCallLog.h"

#include <QSet>

#include <memory>

// The main window as the play path sees it: panels, the settings form's
// decode choice, the manual panel's save, and the player status events (1029)
// it receives, kept for the test.
class PlayHost : public PanelHost {
public:
    void SetHardwareDecode(int mode) override { decodeModes.push_back(mode); }
    void SaveManualTestResult() override
    {
        ++manualSaves;
        if (onSave)
            onSave();
    }

    std::vector<int> decodeModes;
    std::function<void()> onSave;
    std::vector<std::unique_ptr<PlayerStatusInfo>> playerEvents;

protected:
    void customEvent(QEvent* event) override
    {
        PanelHost::customEvent(event);
        auto* e = dynamic_cast<VantrelEvent*>(event);
        if (e && e->code == WM_PLAYER_STATUS)
            playerEvents.push_back(e->TakeRecord<std::unique_ptr<PlayerStatusInfo>>());
    }
};

// Swallows the chain's start (event 1020), counting it: these tests play and
// judge cameras without running their chains.
class ChainStartCounter : public QObject {
public:
    int starts = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() != static_cast<QEvent::Type>(WM_BEGIN_AUTO_TEST))
            return false;
        ++starts;
        return true;
    }
};

inline std::atomic<uint64_t> g_playTick{5000000};
// Ticks read by the stream-test thread: each of its passes reads one or more.
inline std::atomic<uint64_t> g_streamThreadReads{0};
inline std::atomic<bool> g_streamThreadKnown{false};
inline std::thread::id g_streamThread;   // written before g_streamThreadKnown

inline uint64_t PlayTick()
{
    if (g_streamThreadKnown.load() && std::this_thread::get_id() == g_streamThread)
        ++g_streamThreadReads;
    return g_playTick.load();
}

class PlayTestBase : public ControllerTestBase<PlayHost, PlayTestBase> {
public:
    static void SetUpTestSuite()
    {
        static TempAppDir folder(QByteArray("[CONFIG]\niLogSwitch=1\nStreamJudgeTime=3000\n"));
        s_dir = &folder;
    }
    static void TearDownTestSuite() {}
    inline static TempAppDir* s_dir = nullptr;

    static constexpr int kJudgeMs = 3000;

protected:
    void SetUp() override
    {
        ControllerTestBase<PlayHost, PlayTestBase>::SetUp();
        g_playTick = 5000000;
        g_streamThreadKnown = false;
        Clock::SetTickSource(&PlayTick);
        SdkCallLog::Instance().Clear();
    }

    void TearDown() override
    {
        ModalHook::Clear();
        if (widget) {
            widget->StopRun();
            widget->stopPlay(&widget->Lists().m_PlayInfo);
        }
        recorder.Detach();
        ControllerTestBase<PlayHost, PlayTestBase>::TearDown();
        FC_Loc_Cleanup();
        PC_Cleanup();
        SimLan::Instance().Reset();
        Clock::SetTickSource(nullptr);
        g_streamThreadKnown = false;
        WholeMachineTestMode = false;
    }

    // Loads the LAN of these cameras and makes the controller on it.
    void Start(const QList<QByteArray>& cameras)
    {
        ASSERT_EQ(LoadSimLan(Profile(cameras)), QString());
        recorder.Attach();
        Make();
        widget->installEventFilter(&chainStarts);
        SetConfig([](ConfigInfo& c) { c.m_SystemConfig.StreamJudgeTime = kJudgeMs; });
    }

    void SetConfig(const std::function<void(ConfigInfo&)>& change)
    {
        ConfigInfo config = widget->ConfigSnapshot();
        change(config);
        widget->SetConfig(config);
    }

    // Logs the camera in and waits for its login event; the handle.
    int64_t LogIn(const char* address)
    {
        const int64_t login = FC_Loc_Login(address, 3000, "admin", "580347", 0);
        EXPECT_GT(login, 0);
        EXPECT_TRUE(recorder.WaitFor(
            [login](const SdkEvent& e) { return !e.reply && e.handle == login && e.code == EVENT_LOGINOK; }, 10000));
        return login;
    }

    // A logged-in camera's record as the search hands it over, shown in the main pane.
    DevInfo Record(const char* sn, const char* ip, int64_t login)
    {
        DevInfo dev = MakeDevice(sn, ip, login, 1);
        dev.ipcEntry.nLoginPort = 3000;
        dev.widget = host.pane;
        return dev;
    }

    // Its type reply as the controller keeps it; two lenses when twoLenses.
    void KnowType(int64_t login, bool twoLenses = false)
    {
        DevTypeInfo type;
        type.strIpcType = QStringLiteral("IPC");
        type.eTypeDevMainType = 1;
        type.Feature = twoLenses ? 1 : 0;
        widget->Lists().InsertDevType(login, type);
    }

    // The stream list the search thread would have handed over.
    void SetStreamList(const std::vector<DevInfo>& devices)
    {
        std::lock_guard<ListLock> guard(Lists(*widget).m_lockStream);
        Lists(*widget).m_vecImageStreamTestDevsInfo = devices;
        Lists(*widget).m_bImageStreamTestDevsInfoUpdate = true;
    }

    // Starts the run with only the stream-test thread (the test is the search).
    void StartStreamThread()
    {
        const uint64_t before = g_streamThreadReads.load();
        Peer(*widget).Workers().SetRunFlag(true);
        ASSERT_TRUE(Peer(*widget).Workers().Start(StationWorkers::StreamTest, [this] {
            g_streamThread = std::this_thread::get_id();
            g_streamThreadKnown = true;
            Peer(*widget).ExecuteImageStreamTestThread();
        }));
        // The thread's start tick is read before the test moves the tick on.
        ASSERT_TRUE(WaitFor([&] { return g_streamThreadReads.load() > before; }));
    }

    // Moves the tick on and lets the stream-test thread make at least one
    // whole pass that saw it (GUI events served meanwhile).
    void Advance(uint64_t ms)
    {
        g_playTick += ms;
        SettlePasses();
    }

    void SettlePasses()
    {
        const uint64_t seen = g_streamThreadReads.load();
        EXPECT_TRUE(WaitFor([&] { return g_streamThreadReads.load() >= seen + 2; }));
        QCoreApplication::processEvents();
    }

    // Serves GUI events for ms: the window in which something that must not
    // happen (a late packet, a second hand-over) would show. Never needed for
    // a test to pass, only for it to see such a fault.
    static void Observe(int ms)
    {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (std::chrono::steady_clock::now() < end) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }

    QByteArray CurrentSerial() const { return TextOf(widget->Lists().CurrentDevice().ipcEntry.ipc_sn); }

    static QStringList CallsOf(const char* function)
    {
        QStringList args;
        for (const SdkCall& call : SdkCallLog::Instance().CallsOf(QString::fromLatin1(function)))
            args << call.arguments;
        return args;
    }

    static int64_t ResultOf(const char* function)
    {
        const QVector<SdkCall> calls = SdkCallLog::Instance().CallsOf(QString::fromLatin1(function));
        return calls.isEmpty() ? 0 : calls.last().result;
    }

    SdkEventRecorder recorder;
    ChainStartCounter chainStarts;
};
