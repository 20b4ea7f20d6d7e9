// Manual items against simulated cameras: the command or PTZ text each item
// sends, its caption, the items that run on the step slots, the manual jobs,
// and the manual script run on the test's clock. WM_MANUAL_TEST goes from the
// stand-in main window through the manual panel's routing, as in the station.
#include "ChainFixture.h"
#include "LeftTopWidgetTestPeer.h"

#include "CConfigFile.h"
#include "DevCommand.h"
#include "EnumClass.h"
#include "Log.h"
#include "ManualTestAutomation.h"
#include "PresetCallParam.h"
#include "SdkCallLog.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>

#include <thread>

namespace {

constexpr const char* kGeneric = "FC_Loc_IoTSystemControl";
constexpr const char* kChannel = "FC_Loc_IoTChannelControl";
constexpr const char* kQuery = "FC_Loc_IoTQuery";

// A command as the camera took it.
struct Sent {
    int code;
    QByteArray body;
    QString via;
    int channel;

    bool operator==(const Sent& o) const
    {
        return code == o.code && body == o.body && via == o.via && channel == o.channel;
    }
};

void PrintTo(const Sent& s, std::ostream* os)
{
    *os << "{" << s.code << ", \"" << s.body.toStdString() << "\", " << s.via.toStdString() << ", " << s.channel << "}";
}

using SentList = std::vector<Sent>;
using Events = std::vector<std::pair<int, qint64>>;

WallTime FixedWall()
{
    return WallTime{2026, 3, 4, 5, 6, 7, 0};
}

class ManualTest : public ChainTestBase {
protected:
    void SetUp() override
    {
        ChainTestBase::SetUp();
        Clock::SetWallSource(&FixedWall);
        SimLan::Instance().SetThroughputRunner([](const SimThroughputRequest&, const std::atomic<bool>&) {});
        host.panel->SetController(widget.get());
        host.routeManualTests = true;
        ShowEveryControl();
        SdkCallLog::Instance().Clear();
    }

    void TearDown() override
    {
        host.panel->SetController(nullptr);
        host.routeManualTests = false;
        SimLan::Instance().SetThroughputRunner(nullptr);
        Clock::SetWallSource(nullptr);
        ChainTestBase::TearDown();
    }

    // Every control of the manual panel offered, whatever the test type hides.
    void ShowEveryControl()
    {
        for (QWidget* w : host.panel->findChildren<QWidget*>())
            w->setHidden(false);
    }

    // The camera becomes the current one with a chain of its own, none of it run.
    void MakeCurrent(const SimCam& cam, bool withModel = true)
    {
        DevInfo dev = MakeDevice(cam.sn.constData(), cam.ip.constData(), cam.login, 1);
        DevStore(dev.lPlayID, int64_t(1));
        DevStore(dev.lRealHandle, int64_t(1));
        if (withModel)
            SetResultText(dev.szModel, "VT21");
        widget->Lists().SetCurrentDevice(dev);
        widget->Lists().RemoveDevType(cam.login);
        widget->Lists().InsertDevType(cam.login, cam.type);
        // As the stream-test thread does when it moves to another camera.
        Peer(*widget).StopManualAutomation();
        Peer(*widget).KillAllStepTimers();
        Peer(*widget).BeginChain();
        host.panel->ClearAutoTestResults();
        ClearEvents();
    }

    // A camera of the kind with two lenses.
    SimCam TwoLenses(TypedCamera kind, int n)
    {
        SimCam base;
        base.config = profile.cameras.value(kind);
        base.config.feature = 1;
        return Twin(base, n);
    }

    SentList SentSince(const SimCam& cam, int from) const
    {
        SentList sent;
        const QVector<SimCommand> all = SimLan::Instance().CommandsOf(QString::fromLatin1(cam.sn));
        for (int i = from; i < all.size(); ++i)
            sent.push_back(Sent{all[i].code, all[i].body, all[i].via, all[i].channel});
        return sent;
    }
    int CommandCount(const SimCam& cam) const { return SimLan::Instance().CommandsOf(QString::fromLatin1(cam.sn)).size(); }
    QVector<QByteArray> Ptz(const SimCam& cam) const { return SimLan::Instance().PtzOf(QString::fromLatin1(cam.sn)); }
    int Count(const SimCam& cam, int code) const
    {
        int n = 0;
        for (const SimCommand& c : SimLan::Instance().CommandsOf(QString::fromLatin1(cam.sn)))
            n += c.code == code ? 1 : 0;
        return n;
    }

    // The pane's manual line as plain text.
    QString Caption() const
    {
        const auto* label = host.pane->findChild<QLabel*>("m_lbManualTestResult");
        return label ? QString(label->text()).remove(QRegularExpression("<[^>]*>")) : QString("?");
    }
    QString PanelLabel(const char* name) const
    {
        const auto* label = host.panel->findChild<QLabel*>(name);
        return label ? label->text() : QString("?");
    }

    void SetFaults(const SimCam& cam, const QSet<int>& sendFails, const QSet<int>& noReply = {})
    {
        SimFaults faults = cam.config.faults;
        faults.sendFails = sendFails;
        faults.noReply = noReply;
        ASSERT_TRUE(SimLan::Instance().SetFaults(QString::fromLatin1(cam.sn), faults));
    }

    void SetWifiReply(const SimCam& cam, const QByteArray& level, const QByteArray& quality)
    {
        SimReply reply;
        reply.text = "<RESPONSE_PARAM\r\nSignalLevel=\"" + level + "\"\r\nQuality=\"" + quality + "\"\r\n/>";
        ASSERT_TRUE(SimLan::Instance().SetReply(QString::fromLatin1(cam.sn), CMD_GET_WIFI_SIGNAL, reply));
    }

    // Runs the event loop a while: what must not happen has had its chance.
    static void Settle(int ms = 300)
    {
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < ms)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }

    // The items posted to the main window, without the MANUAL_AUTO presses that start runs.
    Events ManualEvents() const
    {
        Events out;
        for (size_t i = 0; i < host.events.size(); ++i) {
            if (host.events[i].first == WM_MANUAL_TEST && host.events[i].second != EnumClass::MANUAL_AUTO)
                out.emplace_back(int(host.events[i].second), host.secondWords[i]);
        }
        return out;
    }

    void SetAlarmPath(const QString& path)
    {
        auto* edit = widget->findChild<QLineEdit*>("le_SelectAudioWarnFile");
        ASSERT_NE(edit, nullptr);
        edit->setText(path);
    }
};

// ---------------------------------------------------------------------------
// The item table

TEST_F(ManualTest, EachItemSendsItsCommandOrPtzTextAndShowsItsCaption)
{
    struct Case {
        const char* name;
        int item;
        qint64 param;
        const char* caption;             // "-": none shown
        SentList sent;
        QByteArray ptz;                  // empty: none
    };
    const QByteArray stop = PtzStopText(false);
    const Case cases[] = {
        {"microphone", EnumClass::MANUAL_MIC_TEST, 0, "Mic Test", {{1512, "", kGeneric, 0}}, {}},
        {"audio alarm", EnumClass::MANUAL_AUDIO_ALARM_TEST, 0, "Audio Alarm Test", {{1512, "", kGeneric, 1}}, {}},
        {"focus+ press", EnumClass::MANUAL_FOCUS_ADD, 0, "Focus+", {}, PtzFocusText(true)},
        {"focus+ release", EnumClass::MANUAL_FOCUS_ADD, 1, "Focus+", {}, stop},
        {"focus+ other", EnumClass::MANUAL_FOCUS_ADD, 2, "Focus+", {}, {}},
        {"focus- press", EnumClass::MANUAL_FOCUS_SUB, 0, "Focus-", {}, PtzFocusText(false)},
        {"focus- release", EnumClass::MANUAL_FOCUS_SUB, 1, "Focus-", {}, stop},
        {"sync time", EnumClass::MANUAL_RTC, 0, "Sync Time", {{1503, SetTimeBody(FixedWall()).Bytes(), kGeneric, 0}}, {}},
        {"white light", EnumClass::MANUAL_OPEN_WHITE_LIGHT, 0, "Open White light",
         {{1501, "<REQUEST_PARAM\r\nLightStatus=\"0\"\r\n/>", kGeneric, 0}}, {}},
        {"aper+ press", EnumClass::MANUAL_APER_ADD, 0, "Aper+", {}, PtzIrisText(true)},
        {"aper+ release", EnumClass::MANUAL_APER_ADD, 1, "Aper+", {}, stop},
        {"aper- press", EnumClass::MANUAL_APER_SUB, 0, "Aper-", {}, PtzIrisText(false)},
        {"aper- release", EnumClass::MANUAL_APER_SUB, 1, "Aper-", {}, stop},
        {"restore", EnumClass::MANUAL_RESTORE_FACTORY, 0, "Restore Factory", {{1002, "", kQuery, 0}}, {}},
        {"alarm IO", EnumClass::MANUAL_HUMAN_ALARM_IO, 0, "Warn Light Test", {{1517, "", kGeneric, 0}}, {}},
        {"day", EnumClass::MANUAL_DAY_MODE, 0, "Day", {{1504, "<REQUEST_PARAM IrcutStatus=\"1\"\r\n/>", kGeneric, 0}}, {}},
        {"night", EnumClass::MANUAL_NIGHT_MODE, 0, "Night", {{1504, "<REQUEST_PARAM IrcutStatus=\"0\"\r\n/>", kGeneric, 0}},
         {}},
        {"zoom+ press", EnumClass::MANUAL_ZOOM_ADD, 0, "Zoom+", {}, PtzZoomText(true)},
        {"zoom+ release", EnumClass::MANUAL_ZOOM_ADD, 1, "Zoom+", {}, PtzStopText(true)},
        {"zoom- press", EnumClass::MANUAL_ZOOM_SUB, 0, "Zoom-", {}, PtzZoomText(false)},
        {"zoom- release", EnumClass::MANUAL_ZOOM_SUB, 1, "Zoom-", {}, stop},
        {"up", EnumClass::MANUAL_UP, 0, "Up", {}, PtzMoveText(PtzMove::Up, 5)},
        {"up release", EnumClass::MANUAL_UP, 1, "Up", {}, stop},
        {"down", EnumClass::MANUAL_DOWN, 0, "Down", {}, PtzMoveText(PtzMove::Down, 5)},
        {"left", EnumClass::MANUAL_LEFT, 0, "Left", {}, PtzMoveText(PtzMove::Left, 5)},
        {"right", EnumClass::MANUAL_RIGHT, 0, "Right", {}, PtzMoveText(PtzMove::Right, 5)},
        {"speed 7", EnumClass::MANUAL_SPEED_CHANGE, 7, "-", {}, {}},
        {"up at 7", EnumClass::MANUAL_UP, 0, "Up", {}, PtzMoveText(PtzMove::Up, 7)},
        {"speed 11 refused", EnumClass::MANUAL_SPEED_CHANGE, 11, "-", {}, {}},
        {"down still at 7", EnumClass::MANUAL_DOWN, 0, "Down", {}, PtzMoveText(PtzMove::Down, 7)},
        {"ptz reset", EnumClass::MANUAL_PTZ_RESET, 0, "PTZ Reset", {}, PtzResetText()},
        {"preset without its record", EnumClass::MANUAL_CALL_PRESET, 12345, "-", {}, {}},
        {"channel switch", EnumClass::MANUAL_SWITCH_CHANNEL, 0, "-", {}, {}},
        {"no item", EnumClass::MANUAL_TEST_MAX, 0, "-", {}, {}},
        {"out of range", EnumClass::MANUAL_AUTO + 1, 0, "-", {}, {}},
        {"negative", -1, 0, "-", {}, {}},
    };
    CurrentTestType = 1;
    const SimCam cam = Camera(WIRED);
    MakeCurrent(cam);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        host.pane->SetTestResultText(VideoForm::RESULT_MANUAL, "-", true);
        const int commands = CommandCount(cam);
        const int ptz = Ptz(cam).size();
        widget->dealManualTest(c.item, c.param);
        EXPECT_EQ(SentSince(cam, commands), c.sent);
        const QVector<QByteArray> texts = Ptz(cam).mid(ptz);
        EXPECT_EQ(texts, c.ptz.isEmpty() ? QVector<QByteArray>() : QVector<QByteArray>{c.ptz});
        EXPECT_EQ(Caption(), QString(c.caption));
    }

    // The trumpet starts the talk-back; its sound follows on the camera's event.
    widget->dealManualTest(EnumClass::MANUAL_TRUMPET, 0);
    EXPECT_EQ(Caption(), "Trumpet");
    const QVector<SdkCall> speak = SdkCallLog::Instance().CallsOf("FC_Loc_StartSpeak");
    ASSERT_EQ(speak.size(), 1);
    EXPECT_EQ(speak[0].arguments, QString("%1,0").arg(cam.login));
}

TEST_F(ManualTest, LampIrCutAndAlarmCommandsGoToTheLensOnScreenOfATwoLensCamera)
{
    struct Case {
        const char* name;
        int testType;
        int item;
        int64_t lens;                    // m_lCurrentChannel; -1 none chosen
        const char* caption;
        Sent sent;
    };
    const Case cases[] = {
        {"white light, ball lens", 1, EnumClass::MANUAL_OPEN_WHITE_LIGHT, 1, "Open White light",
         {1501, "<REQUEST_PARAM\r\nLightStatus=\"0\"\r\n/>", kChannel, 1}},
        {"white light, gun lens", 1, EnumClass::MANUAL_OPEN_WHITE_LIGHT, 0, "Open White light",
         {1501, "<REQUEST_PARAM\r\nLightStatus=\"0\"\r\n/>", kChannel, 0}},
        {"day, ball lens", 1, EnumClass::MANUAL_DAY_MODE, 1, "Day",
         {1504, "<REQUEST_PARAM IrcutStatus=\"1\"\r\n/>", kChannel, 1}},
        {"night, no lens chosen", 1, EnumClass::MANUAL_NIGHT_MODE, -1, "Night",
         {1504, "<REQUEST_PARAM IrcutStatus=\"0\"\r\n/>", kChannel, 0}},
        {"alarm IO, intelligent", 3, EnumClass::MANUAL_HUMAN_ALARM_IO, 1, "Alram IO Test", {1517, "", kChannel, 1}},
        {"alarm IO, extreme", 4, EnumClass::MANUAL_HUMAN_ALARM_IO, 0, "Human Alarm IO", {1517, "", kChannel, 0}},
        {"microphone stays generic", 1, EnumClass::MANUAL_MIC_TEST, 1, "Mic Test", {1512, "", kGeneric, 0}},
        {"audio alarm stays generic", 1, EnumClass::MANUAL_AUDIO_ALARM_TEST, 1, "Audio Alarm Test",
         {1512, "", kGeneric, 1}},
    };
    const SimCam cam = TwoLenses(WIRED, 1);
    MakeCurrent(cam);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CurrentTestType = c.testType;
        Peer(*widget).m_lCurrentChannel = c.lens;
        const int commands = CommandCount(cam);
        widget->dealManualTest(c.item, 0);
        EXPECT_EQ(SentSince(cam, commands), SentList{c.sent});
        EXPECT_EQ(Caption(), QString(c.caption));
    }
}

TEST_F(ManualTest, AHiddenControlOrAMissingPanelSendsNothing)
{
    const SimCam cam = Camera(WIRED);
    MakeCurrent(cam);
    const int commands = CommandCount(cam);
    host.panel->findChild<QWidget*>("m_MicTestBtn")->setHidden(true);
    widget->dealManualTest(EnumClass::MANUAL_MIC_TEST, 0);
    QCoreApplication::postEvent(&host, new VantrelEvent(WM_MANUAL_TEST, EnumClass::MANUAL_MIC_TEST, 0));
    // A hidden PTZ group also holds back the presets; the record is freed all the same.
    host.panel->findChild<QWidget*>("m_ptzWidget")->setHidden(true);
    QCoreApplication::postEvent(&host, new VantrelEvent(WM_MANUAL_TEST, EnumClass::MANUAL_CALL_PRESET, 0,
                                                        std::make_unique<PresetCallParam>(PresetCallParam{3, 0})));
    widget->dealManualTest(EnumClass::MANUAL_UP, 0);
    widget->SetHost(nullptr);
    widget->dealManualTest(EnumClass::MANUAL_DAY_MODE, 0);
    widget->SetHost(&host);
    Settle(100);
    EXPECT_EQ(CommandCount(cam), commands);
    EXPECT_TRUE(Ptz(cam).isEmpty());
}

TEST_F(ManualTest, PresetsSendTheirTextAndFreeTheirRecord)
{
    struct Case {
        int action;
        const char* caption;
        QByteArray ptz;
    };
    const Case cases[] = {
        {0, "preset call", PtzPresetText(PresetAction::Call, 7)},
        {1, "preset increase", PtzPresetText(PresetAction::Set, 7)},
        {2, "preset delete", PtzPresetText(PresetAction::Clear, 7)},
        {5, "-", {}},
        {-1, "-", {}},
    };
    const SimCam cam = Camera(WIRED);
    MakeCurrent(cam);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.action);
        host.pane->SetTestResultText(VideoForm::RESULT_MANUAL, "-", true);
        const int before = Ptz(cam).size();
        QCoreApplication::postEvent(&host,
                                    new VantrelEvent(WM_MANUAL_TEST, EnumClass::MANUAL_CALL_PRESET, 0,
                                                     std::make_unique<PresetCallParam>(PresetCallParam{7, c.action})));
        QCoreApplication::sendPostedEvents(&host);
        EXPECT_EQ(Ptz(cam).mid(before), c.ptz.isEmpty() ? QVector<QByteArray>() : QVector<QByteArray>{c.ptz});
        EXPECT_EQ(Caption(), QString(c.caption));
    }
}

// The camera's own refusal (the SDK call fails) is not reported as done.
TEST_F(ManualTest, SensorSwitchAndRestoreReportOnlyWhatTheCallTook)
{
    const SimCam cam = Camera(WIRED);
    MakeCurrent(cam);
    auto enableEvents = [&] {
        QCoreApplication::sendPostedEvents(&host);
        std::vector<std::pair<int, qint64>> out;
        // The disables only: the enables follow 2000 ms later.
        for (size_t i = 0; i < host.events.size(); ++i) {
            if (host.events[i].first == WM_MANUAL_ITEM_ENABLE && host.secondWords[i] == 0)
                out.emplace_back(int(host.events[i].second), host.secondWords[i]);
        }
        return out;
    };

    // Without the capability the camera is not asked.
    Peer(*widget).m_bSupportSensorSwitch = false;
    int commands = CommandCount(cam);
    widget->dealManualTest(EnumClass::MANUAL_SWITCH_SENSOR, 2);
    EXPECT_EQ(CommandCount(cam), commands);

    Peer(*widget).m_bSupportSensorSwitch = true;
    widget->dealManualTest(EnumClass::MANUAL_SWITCH_SENSOR, 2);
    EXPECT_EQ(SentSince(cam, commands), (SentList{{1596, SensorSwitchBody(2).Bytes(), kGeneric, 0}}));
    EXPECT_EQ(enableEvents(), (std::vector<std::pair<int, qint64>>{{EnumClass::MANUAL_SWITCH_SENSOR, 0}}));

    SetFaults(cam, {CMD_SWITCH_SENSOR, CMD_RESTORE_FACTORY});
    ClearEvents();
    const int logLevel = LogLevel();
    const QString logPath = LogPath();
    LogInit(LOG_INFO, s_dir->file("manual.log"));
    widget->dealManualTest(EnumClass::MANUAL_SWITCH_SENSOR, 1);
    EXPECT_TRUE(enableEvents().empty()) << "a failed switch leaves the control alone";

    widget->dealManualTest(EnumClass::MANUAL_RESTORE_FACTORY, 0);
    EXPECT_EQ(PanelLabel("m_lbRestoryFactory"), "");
    LogInit(logLevel, logPath);
    const QByteArray log = s_dir->readFile("manual.log");
    for (const char* item : {"MANUAL_SWITCH_SENSOR", "MANUAL_RESTORE_FACTORY"}) {
        const QByteArray line = QByteArray("dealManualTest() loginID = ") + QByteArray::number(qlonglong(cam.login)) +
                                ", Test=" + item + ", ret=-";
        EXPECT_TRUE(log.contains(line)) << item << " failure logged";
    }
    SetFaults(cam, {});
    widget->dealManualTest(EnumClass::MANUAL_RESTORE_FACTORY, 0);
    EXPECT_EQ(PanelLabel("m_lbRestoryFactory"), "restory succeed ,will take effect after reboot");
}

// ---------------------------------------------------------------------------
// Items on the step slots

TEST_F(ManualTest, AFormatRunsOnceWithinThePanelsLockThenTheCardIsReadAgain)
{
    CurrentTestType = 1;
    const SimCam cam = Camera(WIRED);
    MakeCurrent(cam);
    const int commands = CommandCount(cam);
    widget->dealManualTest(EnumClass::MANUAL_FORMAT_SDCARD, 0);
    EXPECT_EQ(Caption(), "formating, please reclicke......");
    EXPECT_EQ(PanelLabel("m_lbFormat"), "formating,please reclicke......");
    EXPECT_EQ(widget->Lists().CurrentDevice().iFormatResult, -1);
    EXPECT_NE(Peer(*widget).m_AutoSteps[STEP_FORMAT].iTimerId, 0);
    host.pane->SetTestResultText(VideoForm::RESULT_MANUAL, "-", true);
    widget->dealManualTest(EnumClass::MANUAL_FORMAT_SDCARD, 0);
    EXPECT_EQ(Caption(), "-") << "a refused press shows nothing";
    EXPECT_EQ(SentSince(cam, commands), (SentList{{1106, "", kGeneric, 0}}));

    ASSERT_TRUE(WaitFor([&] { return PanelLabel("m_lbSDCardInfo") == "card capacity:32GB"; }));
    EXPECT_EQ(PanelLabel("m_lbFormat"), "format succeed");
    EXPECT_EQ(host.Lines(), QStringList{"format succeed"});
    const SentList sent = SentSince(cam, commands);
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[1].code, 1105);
}

TEST_F(ManualTest, TheCardReadAfterAFormatLeavesTheChainsCardVerdict)
{
    CurrentTestType = 1;
    const SimCam cam = Camera(WIRED);
    MakeCurrent(cam);
    // The chain judged the card good; after the format the card reads bad.
    widget->Lists().UpdateCurrentDevice(cam.login, [](DevInfo& d) { d.TestRuslut.tf_card_result = 1; });
    SimReply bad;
    bad.text = "<RESPONSE_PARAM SDCardState=\"3\" CardInfo=\"32\" SDCardRemainSpace=\"30\"/>";
    SimLan::Instance().SetReply(QString::fromLatin1(cam.sn), CMD_GET_TF_CARD_INFO, bad);
    const int commands = CommandCount(cam);
    widget->dealManualTest(EnumClass::MANUAL_FORMAT_SDCARD, 0);
    ASSERT_TRUE(WaitFor([&] { return Count(cam, CMD_GET_TF_CARD_INFO) > 0 && SentSince(cam, commands).size() == 2u; }));
    Advance(5000);
    ASSERT_TRUE(WaitFor([&] { return Peer(*widget).m_AutoSteps[STEP_TF_CARD].iTimerId == 0; }));
    EXPECT_EQ(widget->Lists().CurrentDevice().TestRuslut.tf_card_result, 1) << "no failed line, so no failed record";
    EXPECT_EQ(PanelLabel("m_lbSDCardInfo"), "") << "a bad card shows no sizes";
    EXPECT_EQ(host.Lines(), QStringList{"format succeed"});
}

TEST_F(ManualTest, AFunctionCodeCheckIsJudgedForThePanelAndTheChainStaysWhereItWas)
{
    CurrentTestType = 1;
    const SimCam cam = Camera(WIRED);
    MakeCurrent(cam);
    Peer(*widget).SetFunctionCodeResultText("earlier", false);
    const int commands = CommandCount(cam);
    widget->dealManualTest(EnumClass::MANUAL_FUNCTION_CODE, 0);
    EXPECT_EQ(PanelLabel("m_FunctionCodeTestLb"), "");
    EXPECT_EQ(Caption(), "Function Code Check");
    EXPECT_EQ(Peer(*widget).m_iManualFunctionCode, 1);
    EXPECT_EQ(widget->Lists().CurrentDevice().iRetCode, 300);
    ASSERT_TRUE(WaitFor([&] { return PanelLabel("m_FunctionCodeTestLb") == "function code check succeed"; }));
    EXPECT_EQ(widget->Lists().CurrentDevice().TestRuslut.func_code_result, 1);
    Settle();
    EXPECT_EQ(SentSince(cam, commands), (SentList{{1700, "", kQuery, 0}})) << "the final steps are the chain's";
}

// A manual item that runs on the slot of the chain's step in progress.
struct SharedSlotCase {
    const char* name;
    ChainTestBase::TypedCamera camera;
    int testType;
    AutoStep step;
    int code;                            // the step's command, left unanswered
    // Presses the item while the chain's step waits, then lets the step time out.
    std::function<void(const SimCam& cam)> manualRun;
};

TEST_F(ManualTest, AManualRunOnTheChainsStepLetsTheChainFinish)
{
    const auto pressDuring = [this](AutoStep step, int item, int code, uint64_t timeoutMs) {
        return [=](const SimCam& cam) {
            ASSERT_TRUE(
                WaitFor([&] { return Peer(*widget).m_AutoSteps[step].iTimerId != 0 && Count(cam, code) == 1; }));
            widget->dealManualTest(item, 0);
            ASSERT_EQ(Count(cam, code), 2) << "the manual run sent its own command";
            Advance(timeoutMs);
        };
    };
    const SharedSlotCase cases[] = {
        {"function code", WIRED, 1, STEP_FUNCTION_CODE, CMD_FUNCTION_CODE_CHECK,
         pressDuring(STEP_FUNCTION_CODE, EnumClass::MANUAL_FUNCTION_CODE, CMD_FUNCTION_CODE_CHECK, 3000)},
        {"4G", LTE, 2, STEP_4G, CMD_GET_4G_INFO,
         pressDuring(STEP_4G, EnumClass::MANUAL_4GTEST, CMD_GET_4G_INFO, 90000)},
        {"the card read after a format", WIRED, 1, STEP_TF_CARD, CMD_GET_TF_CARD_INFO,
         [this](const SimCam& cam) {
             ASSERT_TRUE(WaitFor([&] { return Peer(*widget).m_AutoSteps[STEP_TF_CARD].iTimerId != 0; }));
             widget->dealManualTest(EnumClass::MANUAL_FORMAT_SDCARD, 0);
             ASSERT_TRUE(WaitFor([&] { return Count(cam, CMD_GET_TF_CARD_INFO) == 2; }));
             Advance(5000);
         }},
        {"Wi-Fi signal", WIFI, 0, STEP_WIFI_SIGNAL, CMD_GET_WIFI_SIGNAL,
         [this](const SimCam& cam) {
             // The reading comes 8000 ms after the press: the chain reaches its
             // step 6000 ms after the press and waits there 3000 ms.
             ASSERT_TRUE(WaitFor([&] { return jobs.IsHeld(); }));
             widget->dealManualTest(EnumClass::MANUAL_WIFI_SIGNAL_TEST, 0);
             Advance(6000);
             jobs.Release();
             ASSERT_TRUE(WaitFor([&] {
                 return Peer(*widget).m_AutoSteps[STEP_WIFI_SIGNAL].iTimerId != 0 &&
                        Count(cam, CMD_GET_WIFI_SIGNAL) == 1;
             }));
             Advance(2000);
             ASSERT_TRUE(WaitFor([&] { return Count(cam, CMD_GET_WIFI_SIGNAL) == 2; }));
             Advance(3000);
         }},
    };
    for (const SharedSlotCase& c : cases) {
        SCOPED_TRACE(c.name);
        CurrentTestType = c.testType;
        SimCam kind;
        kind.config = profile.cameras.value(c.camera);
        const SimCam cam = Twin(kind, int(&c - cases) + 1);
        replies->Silence(c.code);
        if (c.step == STEP_WIFI_SIGNAL)
            jobs.Hold(AUX_MSG_BIND_DEV, cam.sn,
                      [](AuxJobRun& run) { run.Result().SetWord(&DevTestResult::bind_result, 1); });
        host.panel->ClearAutoTestResults();
        StartChain(cam);
        c.manualRun(cam);
        ASSERT_TRUE(WaitFor([&] { return Finished(); }, 20000)) << host.Lines().join(" | ").toStdString();
        const std::vector<uint32_t> posted = jobs.MessagesOf(cam.sn);
        EXPECT_GE(std::count(posted.begin(), posted.end(), AUX_MSG_CHECK_QRCODE), 1) << "the label was printed and checked";
        replies->Speak(c.code);
    }
}

TEST_F(ManualTest, The4GItemAsksUntilTheModuleIsReadyAndPostsAManualJob)
{
    CurrentTestType = 2;
    const SimCam cam = Camera(LTE);
    MakeCurrent(cam);
    LoggedIn = false;
    int commands = CommandCount(cam);
    widget->dealManualTest(EnumClass::MANUAL_4GTEST, 0);
    EXPECT_EQ(host.Lines(), QStringList{"!4G device please login"});
    EXPECT_EQ(CommandCount(cam), commands);

    LoggedIn = true;
    host.panel->ClearAutoTestResults();
    widget->dealManualTest(EnumClass::MANUAL_4GTEST, 0);
    EXPECT_EQ(Caption(), "4G test item test");
    ASSERT_TRUE(WaitFor([&] { return !jobs.Records().empty(); }));
    EXPECT_EQ(Count(cam, CMD_GET_4G_INFO), 3) << "twice not ready, then the full reply";
    Settle();
    const auto records = jobs.Records();
    ASSERT_EQ(records.size(), 1u) << "a manual 4G job is not followed by the label";
    EXPECT_EQ(records[0].message, AUX_MSG_4G_INFO_TEST);
    EXPECT_EQ(records[0].source, AUX_SOURCE_MANUAL);
    EXPECT_TRUE(host.Lines().isEmpty());

    // A stopped camera is left alone; a dual-card one gets the waiting line.
    widget->Lists().UpdateCurrentDevice(cam.login, [](DevInfo& d) { DevStore(d.lStopFlag, int64_t(1)); });
    commands = CommandCount(cam);
    widget->dealManualTest(EnumClass::MANUAL_4GTEST, 0);
    EXPECT_EQ(CommandCount(cam), commands);
    const SimCam dual = Camera(DUAL_LTE);
    MakeCurrent(dual);
    widget->dealManualTest(EnumClass::MANUAL_4GTEST, 0);
    EXPECT_EQ(host.Lines(), QStringList{"Obtaining dual 4G card information, please wait..."});
}

TEST_F(ManualTest, TheThroughputItemStartsThePanelAndTheCamera)
{
    CurrentTestType = 0;
    const SimCam cam = Camera(WIFI);
    MakeCurrent(cam);
    // A network name and key that are neither ASCII nor free of XML's own characters.
    const QString ssid = QString::fromUtf8("\xe5\xb7\xa5\xe5\x8e\x82-ap");
    const QString password = QString::fromUtf8("pa<5\"5\xc3\xa9");
    SetConfig([&](ConfigInfo& c) {
        c.m_SystemConfig.SSID = ssid;
        c.m_SystemConfig.Password = password;
    });
    const int commands = CommandCount(cam);
    widget->dealManualTest(EnumClass::MANUAL_WIFI_TEST, 0);
    EXPECT_EQ(host.wifiTestsBegun, 1);
    // The panel judges only this camera's run, over the 10 s it is told.
    EXPECT_EQ(host.wifiTestCamera, QString::fromLatin1(cam.ip));
    EXPECT_EQ(host.wifiTestSeconds, 10);
    EXPECT_TRUE(Peer(*widget).m_bWifiThroughputBegun.load());
    EXPECT_EQ(widget->Lists().CurrentDevice().lWifiTesFinish, 1);
    const QByteArray body =
        ThroughputBody(Peer(*widget).CurrentIP().toLatin1(), 3600, 10, 18, ssid.toUtf8(), password.toUtf8()).Bytes();
    EXPECT_EQ(SentSince(cam, commands), (SentList{{1519, body, kGeneric, 0}}));
    EXPECT_EQ(host.Lines(), QStringList{"Begin WIFI Test 10s"});
    EXPECT_EQ(Caption(), "Wifi Test");
    const QVector<SimThroughputRequest> asked = SimLan::Instance().ThroughputRequests();
    ASSERT_FALSE(asked.isEmpty());
    EXPECT_EQ(asked.last().ssid, ssid);
    EXPECT_EQ(asked.last().password, password);

    widget->Lists().UpdateCurrentDevice(cam.login, [](DevInfo& d) { DevStore(d.lStopFlag, int64_t(1)); });
    widget->dealManualTest(EnumClass::MANUAL_WIFI_TEST, 0);
    EXPECT_EQ(host.wifiTestsBegun, 1);
    EXPECT_EQ(CommandCount(cam), commands + 1);

    // The signal item's connect carries them as exactly.
    widget->dealManualTest(EnumClass::MANUAL_WIFI_SIGNAL_TEST, 0);
    EXPECT_EQ(SimLan::Instance().WifiNetworkOf(QString::fromLatin1(cam.sn)).ssid, ssid);
    EXPECT_EQ(SimLan::Instance().WifiNetworkOf(QString::fromLatin1(cam.sn)).password, password);
}

TEST_F(ManualTest, SpeakerAndWifiKeysWithoutACameraSaySoAndStartNothing)
{
    CurrentTestType = 0;
    struct Case {
        int item;
        const char* line;
    } cases[] = {
        {EnumClass::MANUAL_TRUMPET, "!Trumpet: no camera is logged in. Wait until a camera plays, then press the key again"},
        {EnumClass::MANUAL_WIFI_TEST,
         "!Wifi Test: no camera is logged in. Wait until a camera plays, then press the key again"},
        {EnumClass::MANUAL_WIFI_SIGNAL_TEST,
         "!Wifi Signal test: no camera is logged in. Wait until a camera plays, then press the key again"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        // None on screen: nothing reaches the library, the panel does not start.
        widget->Lists().ClearCurrentDevice();
        host.panel->ClearAutoTestResults();
        SdkCallLog::Instance().Clear();
        const int begun = host.wifiTestsBegun;
        widget->dealManualTest(c.item, 0);
        EXPECT_EQ(host.Lines(), QStringList{c.line});
        EXPECT_TRUE(SdkCallLog::Instance().CallsOf("FC_Loc_StartSpeak").isEmpty());
        EXPECT_TRUE(SdkCallLog::Instance().CallsOf("FC_Loc_IoTSystemControl").isEmpty());
        EXPECT_EQ(host.wifiTestsBegun, begun);

        // One that has logged out since it played: the library refuses its handle.
        widget->Lists().SetCurrentDevice(MakeDevice("GONE0001", "127.0.0.99", 987654, 1));
        host.panel->ClearAutoTestResults();
        widget->dealManualTest(c.item, 0);
        EXPECT_EQ(host.Lines().filter("no camera is logged in"), QStringList{c.line});
    }
}

TEST_F(ManualTest, TheWifiSignalReadingWaitsForTheConnectAndJudgesOnlyItsOwnReply)
{
    struct Case {
        const char* name;
        QByteArray level;                // empty: the camera does not answer
        QByteArray quality;
        const char* caption;
        const char* line;
        int result;
    };
    const Case cases[] = {
        {"passing", "-45", "80", "Signal:-45\nQuality:80", "Wifi test pass(-45,SNR:80)", 1},
        {"level above 0", "40", "30", "Signal:-60\nQuality:30", "!Wifi test fail(-60[-100],SNR:30)", -1},
        {"not a number", "nan", "80", "Signal:nan\nQuality:80", "!Wifi test fail(nan,SNR:80)", -1},
        // Silent after a passing reading: the earlier values are not judged again.
        {"silent", "", "", "Signal:\nQuality:", "!Wifi test fail(,SNR:)", -1},
    };
    CurrentTestType = 0;
    const SimCam cam = Camera(WIFI);
    MakeCurrent(cam);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.level.isEmpty())
            SetFaults(cam, {}, {CMD_GET_WIFI_SIGNAL});
        else
            SetWifiReply(cam, c.level, c.quality);
        host.panel->ClearAutoTestResults();
        const int commands = CommandCount(cam);
        widget->dealManualTest(EnumClass::MANUAL_WIFI_SIGNAL_TEST, 1);
        EXPECT_EQ(Caption(), "Wifi Signal test");
        EXPECT_EQ(SentSince(cam, commands), (SentList{{1525, WifiConnectBody("", "").Bytes(), kGeneric, 0}}));
        Advance(7900);
        Settle(250);
        EXPECT_EQ(CommandCount(cam), commands + 1) << "no reading before 8000 ms";
        Advance(100);
        ASSERT_TRUE(WaitFor([&] { return CommandCount(cam) == commands + 2; }));
        EXPECT_EQ(SentSince(cam, commands).back(), (Sent{1526, "", kGeneric, 0}));
        if (c.level.isEmpty())
            Advance(3000);
        ASSERT_TRUE(WaitFor([&] { return !host.Lines().isEmpty(); }));
        EXPECT_EQ(host.Lines(), QStringList{c.line});
        EXPECT_EQ(PanelLabel("m_WifiSignalTestLb"), c.caption);
        EXPECT_EQ(widget->Lists().CurrentDevice().TestRuslut.wifi_signal_result, c.result);
    }
}

TEST_F(ManualTest, TheWifiSignalReadingOfACameraThatLeftIsNeverTaken)
{
    CurrentTestType = 0;
    const SimCam a = Camera(WIFI);
    const SimCam b = Twin(a, 2);
    MakeCurrent(a);
    widget->dealManualTest(EnumClass::MANUAL_WIFI_SIGNAL_TEST, 1);
    MakeCurrent(b);
    Advance(8000);
    Settle(500);
    EXPECT_EQ(Count(a, CMD_GET_WIFI_SIGNAL), 0);
    EXPECT_EQ(Count(b, CMD_GET_WIFI_SIGNAL), 0);
    EXPECT_EQ(Peer(*widget).m_AutoSteps[STEP_WIFI_SIGNAL].iTimerId, 0);

    // The same camera tested again (a new chain) takes none of the old reading either.
    widget->dealManualTest(EnumClass::MANUAL_WIFI_SIGNAL_TEST, 1);
    MakeCurrent(b);
    Advance(8000);
    Settle(500);
    EXPECT_EQ(Count(b, CMD_GET_WIFI_SIGNAL), 0);
}

// ---------------------------------------------------------------------------
// The alarm file

TEST_F(ManualTest, TheAlarmFileGoesUpAsPcmAndAPathTheCallCannotHoldIsRefused)
{
    const SimCam cam = Camera(WIRED);
    MakeCurrent(cam);
    QDir dir(s_dir->path());
    ASSERT_TRUE(dir.mkpath("alarm"));
    const QString pcm = s_dir->file("alarm/ring.pcm");
    ASSERT_TRUE(s_dir->writeFile("alarm/ring.pcm", QByteArray(1600, '\0')));
    const QString mp3 = s_dir->file("alarm/tone.mp3");
    QFile::remove(mp3);
    QFile::remove(s_dir->file("alarm/tone.pcm"));
    ASSERT_TRUE(QFile::copy(qEnvironmentVariable("STATION_SOURCE_DIR") + "/tests/sdk/data/tone1k_16k_stereo.mp3", mp3));
    // A real file whose path is longer than the SDK's buffer.
    QString deep = "alarm";
    while (s_dir->file(deep).toUtf8().size() < 250)
        deep += "/" + QString(40, QChar('d'));
    ASSERT_TRUE(dir.mkpath(deep));
    ASSERT_TRUE(s_dir->writeFile(deep + "/ring.pcm", QByteArray(1600, '\0')));
    const QString longPath = s_dir->file(deep + "/ring.pcm");
    ASSERT_GT(QFile::encodeName(longPath).size(), 259);

    struct Case {
        const char* name;
        QString path;
        int result;
        QString uploaded;                // empty: nothing went up
    };
    const Case cases[] = {
        {"none chosen", "", -1, ""},
        {"not audio", s_dir->file("alarm/ring.wav"), -2, ""},
        {"pcm", pcm, 0, pcm},
        {"mp3, converted next to it", mp3, 0, s_dir->file("alarm/tone.pcm")},
        {"mp3 again, the pcm is kept", mp3, 0, s_dir->file("alarm/tone.pcm")},
        {"too long for the call", longPath, -3, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetAlarmPath(c.path);
        const int uploads = SimLan::Instance().UploadsOf(QString::fromLatin1(cam.sn)).size();
        EXPECT_EQ(Peer(*widget).ManualTestUploadAlarmFile(), c.result);
        const QVector<SimUpload> after = SimLan::Instance().UploadsOf(QString::fromLatin1(cam.sn)).mid(uploads);
        if (c.uploaded.isEmpty()) {
            EXPECT_TRUE(after.isEmpty());
            continue;
        }
        ASSERT_EQ(after.size(), 1);
        EXPECT_EQ(after[0].kind, "alarmAudio");
        EXPECT_EQ(after[0].path, QFileInfo(c.uploaded).absoluteFilePath());
    }
    EXPECT_EQ(SdkCallLog::Instance().CallsOf("PC_Mp3ToPcm").size(), 1);
    EXPECT_GT(QFileInfo(s_dir->file("alarm/tone.pcm")).size(), 0);

    // The item itself: its caption, the same upload.
    SetAlarmPath(pcm);
    widget->dealManualTest(EnumClass::MANUAL_UPLOAD_ALARM_FILE, 0);
    EXPECT_EQ(Caption(), "Upload Alarm File");
    EXPECT_EQ(SimLan::Instance().UploadsOf(QString::fromLatin1(cam.sn)).size(), 4);
}

// ---------------------------------------------------------------------------
// Manual jobs

TEST_F(ManualTest, BindPrintAndCheckPostManualJobsOrSayWhatIsMissing)
{
    SimCam cam = Camera(WIRED);
    MakeCurrent(cam);
    auto messages = [&] {
        std::vector<std::pair<uint32_t, int>> out;
        for (const JobRecorder::Record& r : jobs.Records())
            out.emplace_back(r.message, r.source);
        return out;
    };

    CurrentTestType = 1;
    EXPECT_EQ(Peer(*widget).ManualBindDev(), 0);
    EXPECT_EQ(Peer(*widget).ManualPrintQRCode(), 0);
    EXPECT_EQ(Peer(*widget).ManualQRCodeCheck(), 0);
    ASSERT_TRUE(WaitFor([&] { return jobs.Records().size() == 3; }));
    Settle();
    EXPECT_EQ(messages(), (std::vector<std::pair<uint32_t, int>>{{AUX_MSG_BIND_DEV, AUX_SOURCE_MANUAL},
                                                                  {AUX_MSG_PRINT_QRCODE, AUX_SOURCE_MANUAL},
                                                                  {AUX_MSG_CHECK_QRCODE, AUX_SOURCE_MANUAL}}))
        << "manual jobs end there";

    // Binding needs the type, serial number, MAC and model.
    MakeCurrent(cam, false);
    EXPECT_EQ(Peer(*widget).ManualBindDev(), -1);

    struct Case {
        const char* name;
        bool loggedIn;
        int testType;
        int eType;
        QStringList printLines;
        QStringList checkLines;
        size_t jobs;                     // posted by the two
    };
    const Case cases[] = {
        {"wifi", false, 0, 1, {"!wifi device please login"}, {"!wifi device please login"}, 0},
        {"wired", false, 1, 4, {"!wire wifi device please login"}, {"!wire wifi device please login"}, 0},
        {"4G", false, 2, 3, {"!4G device please login"}, {"!4G device please login"}, 0},
        {"intelligent, type 5", false, 3, 5, {"!The current device needs to be logged in first"},
         {"!The current device needs to be logged in first"}, 0},
        {"intelligent, type 1", false, 3, 1, {}, {}, 0},
        {"extreme", false, 4, 0, {}, {}, 0},
        {"intelligent, type 1, logged in", true, 3, 1, {}, {"!The current device does not support checking the QR code"},
         1},
        {"intelligent, type 5, logged in", true, 3, 5, {}, {}, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LoggedIn = c.loggedIn;
        CurrentTestType = c.testType;
        SetType(cam, c.eType, 0);
        MakeCurrent(cam);
        const size_t before = jobs.Records().size();
        Peer(*widget).ManualPrintQRCode();
        EXPECT_EQ(host.Lines(), c.printLines);
        host.panel->ClearAutoTestResults();
        Peer(*widget).ManualQRCodeCheck();
        EXPECT_EQ(host.Lines(), c.checkLines);
        ASSERT_TRUE(WaitFor([&] { return jobs.Records().size() == before + c.jobs; }));
    }
}

// ---------------------------------------------------------------------------
// The manual script run

class ManualRunTest : public ManualTest {
protected:
    void SetUp() override
    {
        ManualTest::SetUp();
        spy = std::make_unique<QSignalSpy>(widget.get(), &LeftTopWidget::siganlBeginManulTest);
    }
    void TearDown() override
    {
        spy.reset();
        ManualTest::TearDown();
    }

    std::vector<bool> Signals() const
    {
        std::vector<bool> out;
        for (const QList<QVariant>& args : *spy)
            out.push_back(args.at(0).toBool());
        return out;
    }

    // Starts the run as the keyboard's Space does.
    void Run(const QStringList& steps)
    {
        widget->SetManualAutomationList(steps);
        QCoreApplication::postEvent(&host, new VantrelEvent(WM_MANUAL_TEST, EnumClass::MANUAL_AUTO, 0));
        QCoreApplication::sendPostedEvents(&host);
    }

    // Lets the clock run ms and the run take its next steps: waits until the
    // step timer has looked at the new time, then hands its posts to the host.
    void Pass(uint64_t ms)
    {
        Advance(ms);
        QSignalSpy polled(Peer(*widget).m_pManualAutoTimer, &QTimer::timeout);
        ASSERT_TRUE(WaitFor([&] { return !polled.isEmpty() || !Peer(*widget).m_pManualAutoTimer->isActive(); }));
        QCoreApplication::sendPostedEvents(&host);
        Settle(50);
    }

    std::unique_ptr<QSignalSpy> spy;
};

TEST_F(ManualRunTest, EachStepPressesHoldsReleasesAndTheRunEndsWithTheTip)
{
    CurrentTestType = 1;
    const SimCam cam = Camera(WIRED);
    MakeCurrent(cam);
    Run({"R:3", "Q:2"});
    Settle();
    EXPECT_EQ(ManualEvents(), (Events{{EnumClass::MANUAL_FOCUS_ADD, 0}}));
    EXPECT_EQ(Ptz(cam), QVector<QByteArray>{PtzFocusText(true)});
    EXPECT_EQ(Signals(), std::vector<bool>{true});
    EXPECT_TRUE(widget->IsManualAutoTesting());

    Pass(2900);
    EXPECT_EQ(ManualEvents().size(), 1u) << "R holds for 3 s";
    Pass(100);
    EXPECT_EQ(ManualEvents(), (Events{{EnumClass::MANUAL_FOCUS_ADD, 0},
                                      {EnumClass::MANUAL_FOCUS_ADD, 1},
                                      {EnumClass::MANUAL_TRUMPET, 0}}));
    EXPECT_EQ(Ptz(cam), (QVector<QByteArray>{PtzFocusText(true), PtzStopText(false)}));
    EXPECT_EQ(SdkCallLog::Instance().CallsOf("FC_Loc_StartSpeak").size(), 1);
    EXPECT_TRUE(widget->IsManualAutoTesting());

    Pass(2000);
    EXPECT_EQ(Signals(), (std::vector<bool>{true, false}));
    EXPECT_FALSE(widget->IsManualAutoTesting());
    EXPECT_EQ(host.Lines(), (QStringList{"Focus Add", "Trumpet Test", "Please Begin Manual Test"}));
    EXPECT_EQ(ManualEvents().size(), 3u);
}

// Seconds must be whole from 0 to 3600: anything else ended the run never
// (a negative interval) or at a wrong time (an overflow).
TEST_F(ManualRunTest, AMalformedStepEndsTheRunWhenItIsReached)
{
    struct Case {
        QStringList steps;
        bool started;
    };
    const Case cases[] = {
        {{"Q:1", "R"}, true},       {{"Q:1", "R:-5"}, true},         {{"Q:1", "R:4000"}, true},
        {{"Q:1", "R:1.5"}, true},   {{"Q:1", "R:99999999999"}, true}, {{"Q:1", ""}, true},
        {{"Q:1", "R:2:1"}, true},   {{"Q"}, false},                   {{"Q:-1"}, false},
        {{}, false},
    };
    const SimCam cam = Camera(WIRED);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.steps.join(",").toStdString());
        MakeCurrent(cam);
        spy->clear();
        Run(c.steps);
        Settle(100);
        if (!c.started) {
            EXPECT_TRUE(Signals().empty());
            EXPECT_FALSE(widget->IsManualAutoTesting());
            EXPECT_EQ(host.Lines(), QStringList{"Please Begin Manual Test"});
            continue;
        }
        Pass(1000);
        EXPECT_EQ(Signals(), (std::vector<bool>{true, false}));
        EXPECT_FALSE(widget->IsManualAutoTesting());
        EXPECT_EQ(ManualEvents(), (Events{{EnumClass::MANUAL_TRUMPET, 0}}));
        EXPECT_FALSE(Peer(*widget).m_pManualAutoTimer->isActive());
    }
}

TEST_F(ManualRunTest, OnOneLensTheFirstChannelStepIsPassedOverAndTheRunGoesOn)
{
    const SimCam cam = Camera(WIRED);
    MakeCurrent(cam);
    // A skipped step hands over to the next one; the run is still running.
    Run({"Q:1", "I:1", "Up:2"});
    Pass(1000);
    EXPECT_EQ(ManualEvents(), (Events{{EnumClass::MANUAL_TRUMPET, 0}, {EnumClass::MANUAL_UP, 0}}));
    EXPECT_EQ(Signals(), std::vector<bool>{true});
    EXPECT_TRUE(widget->IsManualAutoTesting());
    Pass(2000);
    EXPECT_EQ(ManualEvents().back(), std::make_pair(int(EnumClass::MANUAL_UP), qint64(1)));
    EXPECT_EQ(Signals(), (std::vector<bool>{true, false}));
    EXPECT_TRUE(host.Lines().contains("Please Begin Manual Test"));

    // A second channel step ends the run.
    MakeCurrent(cam);
    spy->clear();
    Run({"I:1", "Q:1", "I:1", "Up:1"});
    Settle();
    EXPECT_EQ(ManualEvents(), (Events{{EnumClass::MANUAL_TRUMPET, 0}}));
    Pass(1000);
    EXPECT_EQ(ManualEvents().size(), 1u);
    EXPECT_EQ(Signals(), (std::vector<bool>{true, false}));
    EXPECT_EQ(host.Lines(), (QStringList{"Trumpet Test", "Please Begin Manual Test"}));
}

TEST_F(ManualRunTest, OnTwoLensesEachChannelStepShowsTheNextLens)
{
    const SimCam cam = TwoLenses(WIRED, 3);
    MakeCurrent(cam);
    Run({"I:5", "Q:3"});
    Settle();
    EXPECT_EQ(ManualEvents(), (Events{{EnumClass::MANUAL_SWITCH_CHANNEL, 0}}));
    Pass(5000);
    EXPECT_EQ(ManualEvents().back(), std::make_pair(int(EnumClass::MANUAL_TRUMPET), qint64(0)));
    Pass(3000);
    EXPECT_EQ(Signals(), (std::vector<bool>{true, false}));

    // Two channel steps in a row: the first is passed over, the second shows lens 1.
    MakeCurrent(cam);
    Run({"I:1", "I:1", "Q:1"});
    Settle();
    EXPECT_EQ(ManualEvents(), (Events{{EnumClass::MANUAL_SWITCH_CHANNEL, 1}}));

    // A channel step that is the last one ends the run instead.
    MakeCurrent(cam);
    spy->clear();
    Run({"Q:1", "I:1"});
    Pass(1000);
    EXPECT_EQ(ManualEvents(), (Events{{EnumClass::MANUAL_TRUMPET, 0}}));
    EXPECT_EQ(Signals(), (std::vector<bool>{true, false}));
}

TEST_F(ManualRunTest, ANewRunAfterTheWaitCapReleasesTheHeldItemAndRunsItsWholeScript)
{
    const SimCam cam = Camera(WIRED);
    MakeCurrent(cam);
    Run({"Up:3600", "Q:1"});
    Settle();
    ASSERT_EQ(ManualEvents(), (Events{{EnumClass::MANUAL_UP, 0}}));
    // Space again: the run is asked to stop; its step still holds.
    Run({"Up:3600", "Q:1"});
    EXPECT_TRUE(Peer(*widget).m_pWaitTimer->isActive());
    Pass(4000);
    Settle(600);
    EXPECT_EQ(ManualEvents().size(), 1u) << "waiting up to 5000 ms";
    Pass(1100);
    ASSERT_TRUE(WaitFor([&] { return ManualEvents().size() == 3; }));
    EXPECT_EQ(ManualEvents(), (Events{{EnumClass::MANUAL_UP, 0}, {EnumClass::MANUAL_UP, 1}, {EnumClass::MANUAL_UP, 0}}));
    EXPECT_EQ(Signals(), (std::vector<bool>{true, false, true}));
    EXPECT_FALSE(Peer(*widget).m_bManualAutoStopRequest) << "the new run is not stopped by the old request";
    EXPECT_FALSE(Peer(*widget).m_pWaitTimer->isActive());

    Pass(3600 * 1000);
    EXPECT_EQ(ManualEvents().back(), std::make_pair(int(EnumClass::MANUAL_TRUMPET), qint64(0)));
    EXPECT_TRUE(widget->IsManualAutoTesting());
    Pass(1000);
    EXPECT_EQ(Signals(), (std::vector<bool>{true, false, true, false}));
}

TEST_F(ManualRunTest, ARunThatStopsInTimeIsFollowedByAFreshOne)
{
    const SimCam cam = Camera(WIRED);
    MakeCurrent(cam);
    Run({"Q:1", "Up:1"});
    Settle();
    widget->dealManualTest(EnumClass::MANUAL_AUTO, 0);
    EXPECT_TRUE(Peer(*widget).m_bManualAutoStopRequest);
    Pass(1000);
    ASSERT_TRUE(WaitFor([&] { return ManualEvents().size() == 2; }));
    EXPECT_EQ(Signals(), (std::vector<bool>{true, false, true}));
    EXPECT_EQ(ManualEvents(), (Events{{EnumClass::MANUAL_TRUMPET, 0}, {EnumClass::MANUAL_TRUMPET, 0}}))
        << "the stopped run takes no further step";
    EXPECT_FALSE(host.Lines().contains("Please Begin Manual Test")) << "a stopped run shows no tip";
}

TEST_F(ManualRunTest, StopManualAutomationEndsTheRunAndItsPendingRestart)
{
    const SimCam cam = Camera(WIRED);
    MakeCurrent(cam);
    Run({"Q:1", "Up:1"});
    widget->dealManualTest(EnumClass::MANUAL_AUTO, 0);
    Peer(*widget).ShowBeginManualTestTip();
    // The stream-test thread moves on to the next camera.
    std::thread stream([w = widget.get()] {
        QMetaObject::invokeMethod(w, [w] { Peer(*w).StopManualAutomation(); }, Qt::QueuedConnection);
    });
    stream.join();
    Settle();
    EXPECT_FALSE(widget->IsManualAutoTesting());
    EXPECT_FALSE(Peer(*widget).m_bManualTipShown) << "the next camera gets its own tip";
    EXPECT_EQ(Signals(), (std::vector<bool>{true, false}));
    Pass(6000);
    EXPECT_EQ(ManualEvents(), (Events{{EnumClass::MANUAL_TRUMPET, 0}}));
    EXPECT_EQ(Signals().size(), 2u);
    Peer(*widget).StopManualAutomation();
    EXPECT_EQ(Signals().size(), 2u) << "nothing running, nothing reported";
}

// A script written to config.ini and read back from it runs as stored.
TEST_F(ManualRunTest, AScriptReadBackFromTheSettingsFileRuns)
{
    CurrentTestType = 0;
    ManualAutoTestConfig stored;
    stored.bAutoBeginRun = false;
    stored.iNum = 1;
    stored.CurChoiseKey = "1";
    stored.AllKeyName = "1";
    stored.mapConfig.insert("1", "Line A#R:3,Q:2");
    ASSERT_EQ(CConfigFile::GetInstance()->WriteManualAutoTest(stored), 0);
    // An order's script of two channels, as the order applies it.
    ManualTestAutomation window;
    window.SetController(widget.get());
    ASSERT_EQ(window.ApplyServerConfig(1, "Line B", {{ConfigItem{0, "Trumpet", 2}}, {ConfigItem{18, "Up", 1}}}), 0);
    window.SetController(nullptr);
    EXPECT_TRUE(s_dir->readFile("config.ini").contains("Line A#R:3,Q:2"));

    ManualAutoTestConfig readBack;
    ASSERT_EQ(CConfigFile::GetInstance()->ReadManualAutoTest(readBack), 0);
    EXPECT_TRUE(readBack.bAutoBeginRun);
    ASSERT_EQ(readBack.AllKeyName, "1,2");
    const QStringList lineA = ManualTestAutomation::StepListOf(readBack.mapConfig.value("1"));
    const QStringList lineB = ManualTestAutomation::StepListOf(readBack.mapConfig.value(readBack.CurChoiseKey));
    EXPECT_EQ(lineA, (QStringList{"R:3", "Q:2"}));
    EXPECT_EQ(lineB, (QStringList{"I:1", "Q:2", "I:1", "Up:1"}));

    const SimCam cam = Camera(WIRED);
    MakeCurrent(cam);
    Run(lineA);
    Pass(3000);
    Pass(2000);
    EXPECT_EQ(ManualEvents(), (Events{{EnumClass::MANUAL_FOCUS_ADD, 0},
                                      {EnumClass::MANUAL_FOCUS_ADD, 1},
                                      {EnumClass::MANUAL_TRUMPET, 0}}));
    EXPECT_EQ(Signals(), (std::vector<bool>{true, false}));

    // Two lenses: each channel's steps follow its switch.
    const SimCam twoLenses = TwoLenses(WIRED, 4);
    MakeCurrent(twoLenses);
    spy->clear();
    Run(lineB);
    for (int i = 0; i < 4; ++i)
        Pass(2000);
    EXPECT_EQ(ManualEvents(), (Events{{EnumClass::MANUAL_SWITCH_CHANNEL, 0},
                                      {EnumClass::MANUAL_TRUMPET, 0},
                                      {EnumClass::MANUAL_SWITCH_CHANNEL, 1},
                                      {EnumClass::MANUAL_UP, 0},
                                      {EnumClass::MANUAL_UP, 1}}));
    EXPECT_EQ(Signals(), (std::vector<bool>{true, false}));

    // One lens: the first switch is passed over, the second ends the run.
    MakeCurrent(cam);
    spy->clear();
    Run(lineB);
    for (int i = 0; i < 3; ++i)
        Pass(2000);
    EXPECT_EQ(ManualEvents(), (Events{{EnumClass::MANUAL_TRUMPET, 0}}));
    EXPECT_EQ(Signals(), (std::vector<bool>{true, false}));
}

}  // namespace
