#pragma once

// The automatic chain against simulated cameras. The cameras take the
// commands (SimLan logs them); FakeReplies stands in for the reply parsers and
// stores what a passing camera answers, as the parsers would on the GUI thread.
// Time-outs run on a fake tick; jobs run bodies that record them.
#include "ControllerFixture.h"

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
};

template <size_t N>
QByteArray TextOf(const char (&field)[N])
{
    return QByteArray(field, int(strnlen(field, N)));
}

// A simulated camera the chain tests, and what it answers.
struct SimCam {
    QByteArray sn;
    QByteArray ip;
    int64_t login = 0;
    DevTypeInfo type;
    QByteArray version = "V5.2.0.20261120";
};

// Command code standing for the logo upload (answered by the upload-finished reply).
constexpr int kLogoUpload = -1;

// Answers the current camera's commands the way a passing camera's replies,
// once parsed, would fill the controller; runs in every event loop of the GUI thread.
class FakeReplies : public QObject {
public:
    using Answer = std::function<void(LeftTopWidget& w, const SimCam& cam)>;

    explicit FakeReplies(LeftTopWidget* widget) : m_w(widget)
    {
        connect(&m_timer, &QTimer::timeout, this, &FakeReplies::Pump);
        m_timer.start(2);
    }

    void AddCamera(const SimCam& cam) { m_cams[cam.sn] = cam; }
    // code stays unanswered (every camera).
    void Silence(int code) { m_silent.insert(code); }
    void Speak(int code) { m_silent.erase(code); }
    void SetAnswer(int code, Answer answer) { m_custom[code] = std::move(answer); }
    int Answered(int code) const { return m_answered.count(code) ? m_answered.at(code) : 0; }

    static void Flag(LeftTopWidget& w, AutoStep step, int value = 1) { w.m_AutoSteps[step].iReplyFlag = value; }
    static void Update(LeftTopWidget& w, const SimCam& cam, const std::function<void(DevInfo&)>& change)
    {
        w.UpdateCurrentDevice(cam.login, change);
    }

    // The default answer of a passing camera.
    static void Pass(LeftTopWidget& w, const SimCam& cam, int code)
    {
        switch (code) {
        case 1019:
            Update(w, cam, [&](DevInfo& d) { SetResultText(d.TestRuslut.dev_sn, cam.sn.constData()); });
            Flag(w, STEP_SN);
            break;
        case 1598:
            Update(w, cam, [](DevInfo& d) { d.TestRuslut.factory_test_code = 1; });
            Flag(w, STEP_FACTORY_STATE);
            break;
        case 1020:
            Flag(w, STEP_CAPABILITY);
            break;
        case 1012:
            Update(w, cam, [&](DevInfo& d) {
                SetResultText(d.szFirmwareVersion, cam.version.constData());
                SetResultText(d.szDeviceIdentify, "VT-IPC-A1");
                SetResultText(d.szModel, "A1");
            });
            Flag(w, STEP_VERSION);
            break;
        case 1117:
            Update(w, cam, [](DevInfo& d) { d.TestRuslut.custom_country_result = 1; });
            Flag(w, STEP_COUNTRY_CITY);
            break;
        case 337:
            Update(w, cam, [](DevInfo& d) { d.TestRuslut.custom_mac_result = 1; });
            Flag(w, STEP_CUSTOM_MAC);
            break;
        case kLogoUpload:
            Update(w, cam, [](DevInfo& d) { d.TestRuslut.custom_logo_result = 1; });
            Flag(w, STEP_LOGO);
            break;
        case 1030:
            w.InsertDevType(cam.login, cam.type);
            Flag(w, STEP_DEV_TYPE);
            break;
        case 1201:
            Update(w, cam, [&](DevInfo& d) { d.iLightMode = w.ConfigSnapshot().m_LightMode.iLightMode; });
            Flag(w, STEP_LIGHT_MODE);
            break;
        case 1750:
            w.m_iAuthorizeReplyStatus = 1;
            w.m_iAutorizationStatus = 1;
            w.m_strAuthorizeUUID = "uuid-" + cam.sn;
            w.m_strAuthorizeKey = "key-" + cam.sn;
            Flag(w, STEP_AUTHORIZE);
            break;
        case 1700:
            Update(w, cam, [](DevInfo& d) {
                d.iRetCode = 0;
                SetResultText(d.szFuncCode, "1,2");
                SetResultText(d.szSupportFuncCode, "1,2,3");
            });
            Flag(w, STEP_FUNCTION_CODE);
            break;
        case 1204:
            Update(w, cam, [](DevInfo& d) { d.TestRuslut.rtc_result = 1; });
            Flag(w, STEP_RTC);
            break;
        case 1105:
            Update(w, cam, [](DevInfo& d) {
                d.TestRuslut.tf_card_result = 1;
                d.TestRuslut.card_info = 32;
                d.TestRuslut.card_remain_space = 30;
            });
            Flag(w, STEP_TF_CARD);
            break;
        case 1526:
            Update(w, cam, [](DevInfo& d) {
                SetResultText(d.szSignalLevel, "-45");
                SetResultText(d.szQuality, "80");
            });
            Flag(w, STEP_WIFI_SIGNAL);
            break;
        case 1532:
            w.m_Dev4GInfo.ICCID = "89860312345678901234";
            w.m_Dev4GInfo.Operator = "46011";
            w.m_Dev4GInfo.SoftVersion = "EC200A_01";
            w.m_Dev4GInfo.SignalStrength = 25;
            w.m_Dev4GInfo.ConnectInternet = 1;
            Flag(w, STEP_4G);
            break;
        default:
            break;   // 1505, 1518, 1525: not answered
        }
    }

    void Pump()
    {
        const DevInfo current = m_w->CurrentDevice();
        const QByteArray currentSn = TextOf(current.ipcEntry.ipc_sn);
        for (const auto& entry : m_cams) {
            const SimCam& cam = entry.second;
            const bool isCurrent = cam.sn == currentSn && cam.login == current.lUserID;
            const QVector<SimCommand> commands = SimLan::Instance().CommandsOf(QString::fromLatin1(cam.sn));
            int& seen = m_seen[cam.sn];
            for (; seen < commands.size(); ++seen) {
                // The parsers drop the replies of a camera that is not current.
                if (isCurrent)
                    Reply(cam, commands[seen].code);
            }
            int logos = 0;
            for (const SimUpload& upload : SimLan::Instance().UploadsOf(QString::fromLatin1(cam.sn)))
                logos += upload.kind == QLatin1String("logo") ? 1 : 0;
            int& seenLogos = m_seenLogos[cam.sn];
            for (; seenLogos < logos; ++seenLogos) {
                if (isCurrent)
                    Reply(cam, kLogoUpload);
            }
        }
    }

private:
    void Reply(const SimCam& cam, int code)
    {
        if (m_silent.count(code))
            return;
        ++m_answered[code];
        auto custom = m_custom.find(code);
        if (custom != m_custom.end())
            custom->second(*m_w, cam);
        else
            Pass(*m_w, cam, code);
    }

    LeftTopWidget* m_w;
    QTimer m_timer;
    std::map<QByteArray, SimCam> m_cams;
    std::map<QByteArray, int> m_seen;
    std::map<QByteArray, int> m_seenLogos;
    std::set<int> m_silent;
    std::map<int, Answer> m_custom;
    std::map<int, int> m_answered;
};

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
            w->SetAuxJobBody(message, [this](const AuxJobEnvelope& job, AuxJobRun& run) { Run(job, run); });
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

class ChainTestBase : public ControllerTestBase<PanelHost> {
protected:
    static QByteArray Profile()
    {
        QByteArray cameras;
        for (int i = 1; i <= 4; ++i) {
            if (i > 1)
                cameras += ",";
            cameras += QStringLiteral(R"({"serial": "VTS00000000000%1", "address": "127.0.0.%2", "port": 3001,
                 "searchDelayMs": 5, "loginDelayMs": 5, "replyDelayMs": 5})")
                           .arg(i + 10)
                           .arg(i + 30)
                           .toLatin1();
        }
        return R"({"adapter": {"address": "127.0.0.5", "netmask": "255.255.255.0", "mac": "02:00:00:00:00:05"},
                   "cameras": [)" +
               cameras + "]}";
    }

    void SetUp() override
    {
        ControllerTestBase<PanelHost>::SetUp();
        g_chainTick = 1000000;
        Clock::SetTickSource(&ChainTick);
        ASSERT_EQ(LoadSimLan(Profile()), QString());
        recorder.Attach();
        LoggedIn = true;
        Make();
        replies = std::make_unique<FakeReplies>(widget.get());
        jobs.Install(widget.get());
        widget->installEventFilter(&ticks);
        SetConfig([](ConfigInfo& c) {
            c.m_UIVerion.bUseVersion = true;
            c.m_UIVerion.strVersion = "V5.2.0.20261120";
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
            c.m_FunCode[0] = 1;
            c.m_FunCode[1] = 1;
        });
    }

    void TearDown() override
    {
        jobs.Release();
        ModalHook::Clear();
        replies.reset();
        ControllerTestBase<PanelHost>::TearDown();
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

    // Camera i (1..4) logged in, of the given type.
    SimCam Camera(int i, int eType, int sdkType = 0)
    {
        SimCam cam;
        cam.sn = QStringLiteral("VTS00000000000%1").arg(i + 10).toLatin1();
        cam.ip = QStringLiteral("127.0.0.%1").arg(i + 30).toLatin1();
        cam.login = FC_Loc_Login(cam.ip.constData(), 3001, "admin", "580347", 0);
        EXPECT_GT(cam.login, 0);
        const int64_t h = cam.login;
        EXPECT_TRUE(recorder.WaitFor([h](const SdkEvent& e) { return !e.reply && e.handle == h && e.code == EVENT_LOGINOK; },
                                     5000));
        cam.type.strIpcType = "IPC";
        cam.type.eTypeDevMainType = DevTypeInfo::kPrintableMainType;
        cam.type.eType = eType;
        cam.type.iSDKType = sdkType;
        cam.type.strResponse = "<RESPONSE_PARAM/>";
        replies->AddCamera(cam);
        return cam;
    }

    // Makes cam a camera of that type, known from the search.
    void SetType(SimCam& cam, int eType, int sdkType)
    {
        cam.type.eType = eType;
        cam.type.iSDKType = sdkType;
        replies->AddCamera(cam);
        widget->RemoveDevType(cam.login);
        widget->InsertDevType(cam.login, cam.type);
    }

    // The camera becomes the current one (as the stream-test thread makes it)
    // and event 1020 starts its chain. pictureSeen: its first frame already came.
    void StartChain(const SimCam& cam, bool pictureSeen = true, bool typeKnown = true)
    {
        DevInfo dev = MakeDevice(cam.sn.constData(), cam.ip.constData(), cam.login, 1);
        dev.TestRuslut.m_iTestVideo = pictureSeen ? 1 : 0;
        DevStore(dev.lPlayID, int64_t(1));
        DevStore(dev.lRealHandle, int64_t(1));
        widget->SetCurrentDevice(dev);
        if (typeKnown)
            widget->InsertDevType(cam.login, cam.type);
        widget->m_bManualTipShown = false;
        QCoreApplication::postEvent(widget.get(), new VantrelEvent(WM_BEGIN_AUTO_TEST, 0, 0));
        QCoreApplication::sendPostedEvents(widget.get(), WM_BEGIN_AUTO_TEST);
        // The chain's start sends 1019 unless it is not built yet.
        if (widget->m_AutoSteps[STEP_SN].iTimerId == 0)
            widget->AutoTestSN();
        // The Wi-Fi connect was long ago.
        widget->m_dwWifiStartTick = uint32_t(ChainTick() - 8000);
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

    // Runs the event loop until the step's timer runs, or ends.
    bool WaitStepRunning(AutoStep step)
    {
        return WaitFor([&] { return widget->m_AutoSteps[step].iTimerId != 0; });
    }

    static void Advance(uint64_t ms) { g_chainTick += ms; }

    SdkEventRecorder recorder;
    std::unique_ptr<FakeReplies> replies;
    JobRecorder jobs;
    TickCounter ticks;
};
