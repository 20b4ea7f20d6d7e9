#pragma once

// The automatic chain against simulated cameras. The cameras take the
// commands (SimLan logs them) and their replies reach the controller's reply
// parsers (ReplyRouter). Time-outs run on a fake tick; jobs run bodies that
// record them.
#include "ControllerFixture.h"
#include "LeftTopWidgetTestPeer.h"

#include "AuxResponseInfo.h"
#include "Clock.h"
#include "FuncLib.h"
#include "ModalHook.h"
#include "RightBottomWidget.h"
#include "SdkTestSupport.h"
#include "VideoForm.h"
#include "sim/SimLan.h"

#include <QAbstractItemModel>
#include <QBrush>
#include <QListView>
#include <QThread>
#include <QTimer>

#include <condition_variable>
#include <cstring>
#include <map>
#include <mutex>
#include <ostream>
#include <set>

// Texts in failure messages.
inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}

inline std::atomic<uint64_t> g_chainTick{1000000};
inline uint64_t ChainTick()
{
    return g_chainTick.load();
}

// The main window's result panel and video pane, which the chain writes into.
class PanelHost : public FakeHost {
public:
    PanelHost() : pane(new VideoForm(this)), panel(new RightBottomWidget(this, this, 1920)) {}
    VideoForm* GetCurVideoForm() const override { return pane; }
    RightBottomWidget* GetManualPanel() const override { return panel; }

    // The automatic-result list, each failed line with "!" in front.
    QStringList Lines() const
    {
        QStringList lines;
        const auto* view = panel->findChild<QListView*>(QStringLiteral("m_AutoTestLstView"));
        const QAbstractItemModel* model = view ? view->model() : nullptr;
        for (int row = 0; model && row < model->rowCount(); ++row) {
            const QModelIndex index = model->index(row, 0);
            const bool failed = model->data(index, Qt::ForegroundRole).value<QBrush>().color() == Qt::red;
            lines << (failed ? "!" : "") + model->data(index).toString();
        }
        return lines;
    }

    VideoForm* pane;
    RightBottomWidget* panel;
    // Hands WM_MANUAL_TEST to the panel's routing, as the main window does.
    bool routeManualTests = false;

protected:
    void customEvent(QEvent* event) override
    {
        FakeHost::customEvent(event);
        if (routeManualTests)
            panel->RouteManualTest(event);
    }
};

template <size_t N>
QByteArray TextOf(const char (&field)[N])
{
    return QByteArray(field, int(strnlen(field, N)));
}

// A simulated camera the chain tests: its profile entry and its login.
struct SimCam {
    SimCameraConfig config;
    QByteArray sn;
    QByteArray ip;
    int64_t login = 0;
    DevTypeInfo type;                    // what its reply to 1030 says
};

// One reply as the SDK's message callback delivered it.
struct CamReply {
    int64_t login = 0;
    int code = 0;                        // message code
    int status = 0;                      // signed status byte
    QByteArray text;
};

// Hands the simulated cameras' replies, as the SDK's message callback
// delivered them, to the controller's reply dispatcher on the GUI thread, as
// the main window does with event 1010; runs in every event loop of that thread.
class ReplyRouter : public QObject {
public:
    using Watch = std::function<void(const CamReply& reply)>;

    ReplyRouter(LeftTopWidget* widget, SdkEventRecorder* recorder) : m_w(widget), m_recorder(recorder)
    {
        connect(&m_timer, &QTimer::timeout, this, &ReplyRouter::Pump);
        m_timer.start(2);
    }

    // Replies to code are lost on the way (every camera).
    void Silence(int code) { m_silent.insert(code); }
    void Speak(int code) { m_silent.erase(code); }
    // Sees every reply to code just before the controller does.
    void SetWatch(int code, Watch watch) { m_watch[code] = std::move(watch); }

    static void Deliver(LeftTopWidget& w, int64_t login, int64_t state, const QByteArray& text)
    {
        auto* info = new AuxResponseInfo;
        info->lLoginID = login;
        info->lStateCode = state;
        info->pResponse = new char[text.size() + 1];
        std::memcpy(info->pResponse, text.constData(), size_t(text.size()) + 1);
        w.onAuxResponse(info);
        FreeAuxResponseInfo(info);
    }

    // A passing camera's reply to code, delivered now.
    static void Pass(LeftTopWidget& w, const SimCam& cam, int code)
    {
        Deliver(w, cam.login, code, SimCamera(cam.config).BuiltInReply(code));
    }

    void Pump()
    {
        const QVector<SdkEvent> events = m_recorder->Events();
        for (; m_seen < events.size(); ++m_seen) {
            const SdkEvent& e = events[m_seen];
            if (!e.reply)
                continue;
            const CamReply reply{e.handle, e.code & 0xFFFFFF, int(int8_t(uint8_t(uint32_t(e.code) >> 24))), e.data};
            if (m_silent.count(reply.code))
                continue;
            auto watch = m_watch.find(reply.code);
            if (watch != m_watch.end())
                watch->second(reply);
            Deliver(*m_w, e.handle, e.code, e.data);
        }
    }

private:
    LeftTopWidget* m_w;
    SdkEventRecorder* m_recorder;
    QTimer m_timer;
    int m_seen = 0;
    std::set<int> m_silent;
    std::map<int, Watch> m_watch;
};

// A job of message on record for a test that stands in for the body of
// message (JobRecorder, SetAuxJobBody): its own body does nothing.
template <typename Owner>
std::unique_ptr<AuxJobEnvelope> StandInJob(uint32_t message, Owner record)
{
    return MakeAuxJob(message, std::move(record), [](auto&, AuxJobRun&) {});
}

// Bodies of the jobs 1125-1130 that record each job and return a passing
// result; one job of one camera can be held until the test lets it go.
class JobRecorder {
public:
    struct Record {
        uint32_t message;
        int source;
        QByteArray sn;
    };
    using ResultOf = std::function<void(AuxJobRun& run)>;

    void Install(LeftTopWidget* w)
    {
        for (uint32_t message : {AUX_MSG_PRINT_QRCODE, AUX_MSG_CHECK_QRCODE, AUX_MSG_4G_INFO_TEST, AUX_MSG_BIND_DEV,
                                 AUX_MSG_AUTHORIZE_CHECK})
            Peer(*w).SetAuxJobBody(message, [this](const AuxJobEnvelope& job, AuxJobRun& run) { Run(job, run); });
    }

    // The job message of camera sn waits for Release, then gives result.
    void Hold(uint32_t message, const QByteArray& sn, ResultOf result)
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_holdMessage = message;
        m_holdSn = sn;
        m_holdResult = std::move(result);
        m_held = false;
        m_released = false;
    }
    bool IsHeld() const
    {
        std::lock_guard<std::mutex> guard(m_lock);
        return m_held;
    }
    void Release()
    {
        {
            std::lock_guard<std::mutex> guard(m_lock);
            m_released = true;
        }
        m_changed.notify_all();
    }

    std::vector<Record> Records() const
    {
        std::lock_guard<std::mutex> guard(m_lock);
        return m_records;
    }
    std::vector<uint32_t> MessagesOf(const QByteArray& sn) const
    {
        std::vector<uint32_t> messages;
        for (const Record& r : Records()) {
            if (r.sn == sn)
                messages.push_back(r.message);
        }
        return messages;
    }

private:
    void Run(const AuxJobEnvelope& job, AuxJobRun& run)
    {
        const QByteArray sn = job.context.token.sn;
        {
            std::unique_lock<std::mutex> lock(m_lock);
            m_records.push_back(Record{job.message, job.context.source, sn});
            if (job.message == m_holdMessage && sn == m_holdSn) {
                m_held = true;
                m_changed.wait(lock, [this] { return m_released; });
                m_holdResult(run);
                return;
            }
        }
        AuxJobResult& result = run.Result();
        switch (job.message) {
        case AUX_MSG_BIND_DEV: result.SetWord(&DevTestResult::bind_result, 1); break;
        case AUX_MSG_PRINT_QRCODE: result.SetWord(&DevTestResult::qr_code_print_result, 1); break;
        case AUX_MSG_CHECK_QRCODE: result.SetWord(&DevTestResult::qr_code_check_result, 1); break;
        case AUX_MSG_4G_INFO_TEST: result.SetWord(&DevTestResult::result_4g, 1); break;
        case AUX_MSG_AUTHORIZE_CHECK: result.SetWord(&DevTestResult::tuya_authorize_result, 1); break;
        default: break;
        }
    }

    mutable std::mutex m_lock;
    std::condition_variable m_changed;
    std::vector<Record> m_records;
    uint32_t m_holdMessage = 0;
    QByteArray m_holdSn;
    ResultOf m_holdResult;
    bool m_held = false;
    bool m_released = false;
};

// Counts the ticks of each Qt timer of the controller.
class TickCounter : public QObject {
public:
    int Of(int timerId) const { return m_ticks.count(timerId) ? m_ticks.at(timerId) : 0; }

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Timer)
            ++m_ticks[static_cast<QTimerEvent*>(event)->timerId()];
        return false;
    }

private:
    std::map<int, int> m_ticks;
};

// The simulated LAN of one camera of each device type (sdk/sim/SimTypedProfile.json).
class ChainTestBase : public ControllerTestBase<PanelHost, ChainTestBase> {
public:
    enum TypedCamera { WIFI = 0, WIRED = 1, LTE = 2, DUAL_LTE = 3, INTELLIGENT = 4, TUYA = 5 };

    // One folder for every suite of the program: the configuration store,
    // made once, keeps writing into it.
    static void SetUpTestSuite()
    {
        static TempAppDir folder(QByteArray("[CONFIG]\niLogSwitch=1\n"));
        s_dir = &folder;
    }
    static void TearDownTestSuite() {}
    inline static TempAppDir* s_dir = nullptr;

protected:
    void SetUp() override
    {
        ControllerTestBase<PanelHost, ChainTestBase>::SetUp();
        g_chainTick = 1000000;
        Clock::SetTickSource(&ChainTick);
        QString error;
        ASSERT_TRUE(SimProfile::Load(SampleProfilePath("SimTypedProfile.json"), &profile, &error)) << error.toStdString();
        ASSERT_TRUE(SimLan::Instance().LoadProfile(profile));
        recorder.Attach();
        LoggedIn = true;
        Make();
        replies = std::make_unique<ReplyRouter>(widget.get(), &recorder);
        jobs.Install(widget.get());
        widget->installEventFilter(&ticks);
        SetConfig([](ConfigInfo& c) {
            c.m_UIVerion.bUseVersion = true;
            c.m_UIVerion.strVersion = kVersion;
            c.m_Tips.bVesionInfo = false;
            c.m_AutoTest = AutoTestConfig{true, false, true, true, true};   // RTC, -, Wi-Fi, function code, TF
            c.m_SystemConfig.WifiSignal = "-50";
            c.m_SystemConfig.WifiQuality = "30";
            c.m_SystemConfig.iTestMode = 0;
            c.m_LightMode = LightModeConfig{};
            c.m_ManualAutoTest.bAutoBeginRun = false;
            c.m_PrintQrCode = PrintQrCodeConfig{};
            for (int& code : c.m_FunCode)
                code = 0;
        });
    }

    void TearDown() override
    {
        jobs.Release();
        ModalHook::Clear();
        replies.reset();
        ControllerTestBase<PanelHost, ChainTestBase>::TearDown();
        FC_Loc_Cleanup();
        recorder.Detach();
        SimLan::Instance().Reset();
        Clock::SetTickSource(nullptr);
        LoggedIn = false;
        ServerHost.clear();
    }

    void SetConfig(const std::function<void(ConfigInfo&)>& change)
    {
        ConfigInfo config = widget->ConfigSnapshot();
        change(config);
        widget->SetConfig(config);
    }

    SimCam LogIn(const SimCameraConfig& config)
    {
        SimCam cam;
        cam.config = config;
        cam.sn = config.serial.toLatin1();
        cam.ip = config.address.toLatin1();
        cam.login = FC_Loc_Login(cam.ip.constData(), config.port, "admin", "580347", 0);
        EXPECT_GT(cam.login, 0);
        const int64_t h = cam.login;
        EXPECT_TRUE(recorder.WaitFor([h](const SdkEvent& e) { return !e.reply && e.handle == h && e.code == EVENT_LOGINOK; },
                                     10000));
        cam.type.strIpcType = config.type;
        cam.type.eTypeDevMainType = config.devMType;
        cam.type.eType = config.devType;
        cam.type.iSDKType = config.sdkType;
        cam.type.Feature = config.feature;
        cam.type.strResponse = QString::fromLatin1(SimCamera(config).BuiltInReply(1030));
        return cam;
    }

    // The camera of the profile, logged in.
    SimCam Camera(TypedCamera which) { return LogIn(profile.cameras.value(which)); }

    // Another camera just like it (serial and address of its own), on the LAN and logged in.
    SimCam Twin(const SimCam& of, int n)
    {
        SimCameraConfig config = of.config;
        config.serial = QStringLiteral("VT21X%1").arg(n, 11, 10, QLatin1Char('0'));
        config.address = QStringLiteral("127.0.0.%1").arg(40 + n);
        config.cloudId = "VTC" + config.serial;
        EXPECT_TRUE(SimLan::Instance().AddCamera(config));
        return LogIn(config);
    }

    // The firmware version the camera reports from now on.
    static void SetVersion(const SimCam& cam, const QByteArray& version)
    {
        SimReply reply;
        reply.text = SimCamera(cam.config).BuiltInReply(1012).replace(kVersion, version);
        SimLan::Instance().SetReply(QString::fromLatin1(cam.sn), 1012, reply);
    }

    // Makes the search know the camera as one of that type.
    void SetType(SimCam& cam, int eType, int sdkType)
    {
        cam.type.eType = eType;
        cam.type.iSDKType = sdkType;
        widget->Lists().RemoveDevType(cam.login);
        widget->Lists().InsertDevType(cam.login, cam.type);
    }

    // The camera becomes the current one (as the stream-test thread makes it)
    // and event 1020 starts its chain. pictureSeen: its first frame already came.
    void StartChain(const SimCam& cam, bool pictureSeen = true, bool typeKnown = true)
    {
        DevInfo dev = MakeDevice(cam.sn.constData(), cam.ip.constData(), cam.login, 1);
        dev.TestRuslut.m_iTestVideo = pictureSeen ? 1 : 0;
        DevStore(dev.lPlayID, int64_t(1));
        DevStore(dev.lRealHandle, int64_t(1));
        widget->Lists().SetCurrentDevice(dev);
        if (typeKnown)
            widget->Lists().InsertDevType(cam.login, cam.type);
        Peer(*widget).m_bManualTipShown = false;
        QCoreApplication::postEvent(widget.get(), new VantrelEvent(WM_BEGIN_AUTO_TEST, 0, 0));
        QCoreApplication::sendPostedEvents(widget.get(), WM_BEGIN_AUTO_TEST);
        // The chain's start sends 1019 unless it is not built yet.
        if (Peer(*widget).m_AutoSteps[STEP_SN].iTimerId == 0)
            Peer(*widget).AutoTestSN();
        // The Wi-Fi connect was long ago.
        Peer(*widget).m_dwWifiStartTick = uint32_t(ChainTick() - 8000);
    }

    // The commands the camera took, without the Wi-Fi connect of the chain's start.
    std::vector<int> CommandsOf(const SimCam& cam) const
    {
        std::vector<int> codes;
        for (const SimCommand& c : SimLan::Instance().CommandsOf(QString::fromLatin1(cam.sn))) {
            if (c.code != 1525)
                codes.push_back(c.code);
        }
        return codes;
    }

    bool Finished() const { return host.Lines().contains("Please Begin Manual Test"); }

    // Runs the event loop until the step's timer runs.
    bool WaitStepRunning(AutoStep step)
    {
        return WaitFor([&] { return Peer(*widget).m_AutoSteps[step].iTimerId != 0; });
    }

    static void Advance(uint64_t ms) { g_chainTick += ms; }

    static constexpr const char* kVersion = "V5.2.0.20261120";   // the simulated cameras' own

    SimProfile profile;
    SdkEventRecorder recorder;
    std::unique_ptr<ReplyRouter> replies;
    JobRecorder jobs;
    TickCounter ticks;
};
