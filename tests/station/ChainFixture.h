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
#include <QRegularExpression>
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
    int code = 0;                        // message code
    int status = 0;                      // signed status byte
    QByteArray text;
};

// Stands in for the reply parsers: takes the simulated cameras' replies from
// the SDK's message callback and stores what they say where the parsers do,
// for the current camera only, on the GUI thread (every event loop of it).
class FakeReplies : public QObject {
public:
    using Answer = std::function<void(LeftTopWidget& w, const SimCam& cam, const CamReply& reply)>;

    FakeReplies(LeftTopWidget* widget, SdkEventRecorder* recorder) : m_w(widget), m_recorder(recorder)
    {
        connect(&m_timer, &QTimer::timeout, this, &FakeReplies::Pump);
        m_timer.start(2);
    }

    void AddCamera(const SimCam& cam) { m_cams[cam.login] = cam; }
    // Replies to code are dropped (every camera), as a parser drops a malformed one.
    void Silence(int code) { m_silent.insert(code); }
    void Speak(int code) { m_silent.erase(code); }
    // The reply to code goes to answer instead.
    void SetAnswer(int code, Answer answer) { m_custom[code] = std::move(answer); }

    static void Flag(LeftTopWidget& w, AutoStep step, int value = 1) { w.m_AutoSteps[step].iReplyFlag = value; }

    static QByteArray Attr(const QByteArray& text, const char* name)
    {
        const QRegularExpression re(QStringLiteral("(?:^|\\s)%1=\"([^\"]*)\"").arg(QLatin1String(name)));
        return re.match(QString::fromLatin1(text)).captured(1).toLatin1();
    }

    // What the parsers store for a reply of the current camera.
    static void Parse(LeftTopWidget& w, const SimCam& cam, const CamReply& r)
    {
        auto update = [&](const std::function<void(DevInfo&)>& change) { w.UpdateCurrentDevice(cam.login, change); };
        switch (r.code) {
        case 1019:
            update([&](DevInfo& d) { SetResultText(d.TestRuslut.dev_sn, Attr(r.text, "SerialNumber").constData()); });
            Flag(w, STEP_SN);
            break;
        case 1598:
            update([&](DevInfo& d) { d.TestRuslut.factory_test_code = r.status == 0 ? 1 : r.status; });
            Flag(w, STEP_FACTORY_STATE);
            break;
        case 1020:
            Flag(w, STEP_CAPABILITY);
            break;
        case 1012:
            update([&](DevInfo& d) {
                SetResultText(d.szFirmwareVersion, Attr(r.text, "FileSystemVersion").constData());
                SetResultText(d.szFileSystemIdentify, Attr(r.text, "FileSystemIdentify").constData());
                SetResultText(d.szDeviceIdentify, Attr(r.text, "DeviceIdentify").constData());
            });
            w.IsSpecialModel();
            Flag(w, STEP_VERSION);
            break;
        case 1117:
            update([&](DevInfo& d) { d.TestRuslut.custom_country_result = r.status == 0 ? 1 : -1; });
            Flag(w, STEP_COUNTRY_CITY);
            break;
        case 337:
            update([&](DevInfo& d) { d.TestRuslut.custom_mac_result = r.status == 0 ? 1 : -1; });
            Flag(w, STEP_CUSTOM_MAC);
            break;
        case 1001:
            if (Attr(r.text, "Type") == "4") {
                update([](DevInfo& d) { d.TestRuslut.custom_logo_result = 1; });
                Flag(w, STEP_LOGO);
            }
            break;
        case 1030: {
            DevTypeInfo type;
            type.strIpcType = QString::fromLatin1(Attr(r.text, "IPC_Type"));
            type.eTypeDevMainType = Attr(r.text, "DevMType").toInt();
            type.eType = Attr(r.text, "DevType").toInt();
            type.iSDKType = Attr(r.text, "SDKType").toInt();
            type.Feature = Attr(r.text, "Feature").toLongLong();
            type.strResponse = QString::fromLatin1(r.text);
            w.InsertDevType(cam.login, type);
            Flag(w, STEP_DEV_TYPE);
            break;
        }
        case 1201: {
            // The lamp boards of a device without the IoT capability.
            static const int kModes[] = {0, 2, 1, 3, 6, 5};
            const int mode = Attr(r.text, "LightMode").toInt();
            update([&](DevInfo& d) { d.iLightMode = kModes[qBound(0, mode, 5)]; });
            Flag(w, STEP_LIGHT_MODE);
            break;
        }
        case 1750:
            w.m_iAuthorizeReplyStatus = 1;
            w.m_iAutorizationStatus = Attr(r.text, "AutorizationStatus").toInt();
            w.m_strAuthorizeUUID = QString::fromLatin1(Attr(r.text, "UUID"));
            w.m_strAuthorizeKey = QString::fromLatin1(Attr(r.text, "Key"));
            Flag(w, STEP_AUTHORIZE);
            break;
        case 1700:
            update([&](DevInfo& d) {
                d.iRetCode = Attr(r.text, "RetCode").toInt();
                SetResultText(d.szFuncCode, Attr(r.text, "FuncCode").constData());
                SetResultText(d.szSupportFuncCode, Attr(r.text, "SupportFuncCode").constData());
            });
            Flag(w, STEP_FUNCTION_CODE);
            break;
        case 1204:
            update([](DevInfo& d) { d.TestRuslut.rtc_result = 1; });
            Flag(w, STEP_RTC);
            break;
        case 1105:
            update([&](DevInfo& d) {
                d.TestRuslut.tf_card_result = Attr(r.text, "SDCardState").toInt() == 0 ? 1 : -1;
                d.TestRuslut.card_info = Attr(r.text, "CardInfo").toInt();
                d.TestRuslut.card_remain_space = Attr(r.text, "SDCardRemainSpace").toInt();
            });
            Flag(w, STEP_TF_CARD);
            break;
        case 1526:
            update([&](DevInfo& d) {
                SetResultText(d.szSignalLevel, Attr(r.text, "SignalLevel").constData());
                SetResultText(d.szQuality, Attr(r.text, "Quality").constData());
            });
            Flag(w, STEP_WIFI_SIGNAL);
            break;
        case 1532:
            if (r.status == 1) {
                Flag(w, STEP_4G, 2);
                break;
            }
            w.m_Dev4GInfo.ICCID = QString::fromLatin1(Attr(r.text, "ICCID"));
            w.m_Dev4GInfo.ICCID2 = QString::fromLatin1(Attr(r.text, "ICCID2"));
            w.m_Dev4GInfo.Operator = QString::fromLatin1(Attr(r.text, "Operator"));
            w.m_Dev4GInfo.SignalStrength = Attr(r.text, "SignalStrength").toInt();
            w.m_Dev4GInfo.ConnectInternet = Attr(r.text, "ConnectInternet").toInt();
            Flag(w, STEP_4G);
            break;
        default:
            break;
        }
    }

    // A passing camera's reply to code, stored as the parsers would.
    static void Pass(LeftTopWidget& w, const SimCam& cam, int code)
    {
        Parse(w, cam, CamReply{code, 0, SimCamera(cam.config).BuiltInReply(code)});
    }

    void Pump()
    {
        const QVector<SdkEvent> events = m_recorder->Events();
        for (; m_seen < events.size(); ++m_seen) {
            const SdkEvent& e = events[m_seen];
            auto cam = m_cams.find(e.handle);
            // The parsers drop the replies of a camera that is not current.
            if (!e.reply || cam == m_cams.end() || e.handle != m_w->CurrentLoginHandle())
                continue;
            const CamReply reply{e.code & 0xFFFFFF, int(int8_t(uint8_t(uint32_t(e.code) >> 24))), e.data};
            if (m_silent.count(reply.code))
                continue;
            auto custom = m_custom.find(reply.code);
            if (custom != m_custom.end())
                custom->second(*m_w, cam->second, reply);
            else
                Parse(*m_w, cam->second, reply);
        }
    }

private:
    LeftTopWidget* m_w;
    SdkEventRecorder* m_recorder;
    QTimer m_timer;
    std::map<int64_t, SimCam> m_cams;
    int m_seen = 0;
    std::set<int> m_silent;
    std::map<int, Answer> m_custom;
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

// The simulated LAN of one camera of each device type (sdk/sim/SimTypedProfile.json).
class ChainTestBase : public ControllerTestBase<PanelHost> {
public:
    enum TypedCamera { WIFI = 0, WIRED = 1, LTE = 2, DUAL_LTE = 3, INTELLIGENT = 4, TUYA = 5 };

protected:
    void SetUp() override
    {
        ControllerTestBase<PanelHost>::SetUp();
        g_chainTick = 1000000;
        Clock::SetTickSource(&ChainTick);
        QString error;
        ASSERT_TRUE(SimProfile::Load(SampleProfilePath("SimTypedProfile.json"), &profile, &error)) << error.toStdString();
        ASSERT_TRUE(SimLan::Instance().LoadProfile(profile));
        recorder.Attach();
        LoggedIn = true;
        Make();
        replies = std::make_unique<FakeReplies>(widget.get(), &recorder);
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
        replies->AddCamera(cam);
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

    // Runs the event loop until the step's timer runs.
    bool WaitStepRunning(AutoStep step)
    {
        return WaitFor([&] { return widget->m_AutoSteps[step].iTimerId != 0; });
    }

    static void Advance(uint64_t ms) { g_chainTick += ms; }

    static constexpr const char* kVersion = "V5.2.0.20261120";   // the simulated cameras' own

    SimProfile profile;
    SdkEventRecorder recorder;
    std::unique_ptr<FakeReplies> replies;
    JobRecorder jobs;
    TickCounter ticks;
};
