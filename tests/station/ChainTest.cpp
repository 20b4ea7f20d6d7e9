// The automatic step machine against simulated cameras: the commands each
// camera took and the jobs posted, by test type, options and device type;
// replies and time-outs; the item commands that do more than send.
#include "ChainFixture.h"
#include "LeftTopWidgetTestPeer.h"

#include "BackendSimulator.h"
#include "DevCommand.h"

#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QSignalSpy>

namespace {

using Codes = std::vector<int>;
using Messages = std::vector<uint32_t>;

class ChainTest : public ChainTestBase {
protected:
    // Runs the chain of cam until it ends; the commands it took and the jobs posted for it.
    void RunToEnd(const SimCam& cam, Codes* codes, Messages* messages, bool typeKnown = true)
    {
        const size_t before = CommandsOf(cam).size();
        const size_t jobsBefore = jobs.MessagesOf(cam.sn).size();
        host.panel->ClearAutoTestResults();
        StartChain(cam, true, typeKnown);
        ASSERT_TRUE(WaitFor([&] { return Finished(); }, 20000)) << host.Lines().join(" | ").toStdString();
        const Codes all = CommandsOf(cam);
        codes->assign(all.begin() + before, all.end());
        const Messages allJobs = jobs.MessagesOf(cam.sn);
        messages->assign(allJobs.begin() + jobsBefore, allJobs.end());
    }

    SimCam cam;
};

struct TypeCase {
    const char* name;
    ChainTestBase::TypedCamera camera;
    int testType;
    int eType;                           // -1: as the camera reports it
    std::function<void()> options;
    Codes codes;
    Messages jobs;
};

TEST_F(ChainTest, EachTestTypeSendsItsCommandsAndPostsItsJobsUpToTheEnd)
{
    const auto none = [] {};
    const Codes head{1019, 1598, 1020, 1012};
    const Codes card{1204, 1505, 1105};
    const Codes lte{1532, 1532, 1532};   // twice "not ready", then the reply
    auto join = [](std::initializer_list<Codes> parts) {
        Codes all;
        for (const Codes& part : parts)
            all.insert(all.end(), part.begin(), part.end());
        return all;
    };
    const TypeCase cases[] = {
        {"wifi plug-in card", WIFI, 0, -1, none, join({head, {1700}, card, {1526}}), {1128, 1125, 1126}},
        {"wired plug-in card", WIRED, 1, -1, none, join({head, {1700}, card}), {1128, 1125, 1126}},
        {"4G plug-in card", LTE, 2, -1, none, join({head, {1700}, card, lte}), {1128, 1127, 1125, 1126}},
        {"dual 4G plug-in card", DUAL_LTE, 2, -1, none, join({head, {1700}, card, lte}), {1128, 1127, 1125, 1126}},
        {"intelligent IPC", INTELLIGENT, 3, -1, none, join({head, {1700}}), {1128, 1125, 1126}},
        {"intelligent IPC of another type: no label", INTELLIGENT, 3, 0, none, join({head, {1700}}), {1128}},
        {"extreme IPC: no label", WIRED, 4, 0, none, join({head, {1700}}), {1128}},
        {"Tuya camera: the authorization step", TUYA, 0, -1, none, join({head, {1750, 1700}, card, {1526}}),
         {1128, 1130, 1125, 1126}},
        {"lamp board check", WIRED, 1, -1,
         [this] { SetConfig([](ConfigInfo& c) { c.m_LightMode.bUseLightModeTest = true; }); },
         join({head, {1201, 1700}, card}), {1128, 1125, 1126}},
        {"RTC and TF card off: from the final steps to the label", WIRED, 1, -1,
         [this] {
             SetConfig([](ConfigInfo& c) {
                 c.m_AutoTest.bRTC = false;
                 c.m_AutoTest.bTFCard = false;
             });
         },
         join({head, {1700}}), {1128, 1125, 1126}},
        {"no function codes", WIRED, 1, -1,
         [this] { SetConfig([](ConfigInfo& c) { c.m_AutoTest.bFunctionCode = false; }); }, join({head, card}),
         {1128, 1125, 1126}},
        {"Wi-Fi signal off", WIFI, 0, -1,
         [this] { SetConfig([](ConfigInfo& c) { c.m_AutoTest.bWifiSignal = false; }); },
         join({head, {1700}, card}), {1128, 1125, 1126}},
        {"parameter lock", WIRED, 1, -1, [this] { Peer(*widget).m_bLockParameter = true; },
         join({head, {1700, 1518}, card}), {1128, 1125, 1126}},
        {"logged out, wired: no label", WIRED, 1, -1, [] { LoggedIn = false; }, join({head, {1700}, card}), {1128}},
        {"logged out, Wi-Fi: no label", WIFI, 0, -1, [] { LoggedIn = false; }, join({head, {1700}, card, {1526}}),
         {1128}},
        {"logged out, intelligent: no label", INTELLIGENT, 3, -1, [] { LoggedIn = false; }, join({head, {1700}}),
         {1128}},
    };
    const ConfigInfo base = widget->ConfigSnapshot();
    std::map<int, SimCam> cams;
    for (const TypeCase& c : cases) {
        SCOPED_TRACE(c.name);
        widget->SetConfig(base);
        Peer(*widget).m_bLockParameter = false;
        LoggedIn = true;
        CurrentTestType = c.testType;
        if (!cams.count(c.camera))
            cams[c.camera] = Camera(c.camera);
        SimCam typed = cams[c.camera];
        SetType(typed, c.eType >= 0 ? c.eType : typed.config.devType, typed.config.sdkType);
        c.options();
        Codes codes;
        Messages messages;
        RunToEnd(typed, &codes, &messages);
        EXPECT_EQ(codes, c.codes);
        EXPECT_EQ(messages, c.jobs);
    }
}

TEST_F(ChainTest, ACameraWithoutAKnownTypeIsAskedAndTakesItsOwnType)
{
    CurrentTestType = 1;
    const SimCam wired = Camera(WIRED);
    const SimCam wifi = Camera(WIFI);
    Codes codes;
    Messages messages;
    RunToEnd(wired, &codes, &messages, false);
    EXPECT_EQ(codes, (Codes{1019, 1598, 1020, 1012, 1030, 1700, 1204, 1505, 1105}));
    EXPECT_FALSE(host.Lines().join("|").contains("no match the selected test type"));

    // The next camera's type is known from the search: no 1030, and its own type
    // counts, not the one the previous camera left.
    RunToEnd(wifi, &codes, &messages, true);
    EXPECT_EQ(codes, (Codes{1019, 1598, 1020, 1012, 1700, 1204, 1505, 1105}));
    EXPECT_TRUE(host.Lines().contains("!current dev type wifi plug in card, no match the selected test type"));
    EXPECT_EQ(widget->Lists().CurrentDevType().eType, 1);
}

TEST_F(ChainTest, APassingCameraShowsItsLinesAndResultsInOrder)
{
    CurrentTestType = 0;
    const SimCam cam = Camera(WIFI);
    Codes codes;
    Messages messages;
    RunToEnd(cam, &codes, &messages);
    EXPECT_EQ(host.Lines(), (QStringList{"SN information:normal", "Version information:normal",
                                         "function code check succeed", "RTC Test:normal", "TFCard Test:normal(32GB)",
                                         "Wifi test pass(-45,SNR:80)", "Please Begin Manual Test"}));
    const DevTestResult r = widget->Lists().CurrentDevice().TestRuslut;
    EXPECT_EQ(TextOf(r.dev_sn), cam.sn);
    EXPECT_EQ(r.sn_result, 1);
    EXPECT_EQ(r.m_iTestVersion, 1);
    EXPECT_EQ(TextOf(r.m_szVersion), kVersion);
    EXPECT_EQ(TextOf(r.m_szDeviceIdentify), "VT-IPC-A1");
    EXPECT_EQ(TextOf(r.m_szModel), "VT");
    EXPECT_EQ(r.func_code_result, 1);
    EXPECT_EQ(TextOf(r.authorized_func_code), "");
    EXPECT_EQ(TextOf(r.support_func_code), "");
    EXPECT_EQ(r.rtc_result, 1);
    EXPECT_EQ(r.tf_card_result, 1);
    EXPECT_EQ(r.wifi_signal_result, 1);
    EXPECT_EQ(r.bind_result, 1);
    EXPECT_EQ(r.qr_code_print_result, 1);
    EXPECT_EQ(r.qr_code_check_result, 1);
    EXPECT_TRUE(Peer(*widget).m_bTestNormal);
    EXPECT_TRUE(Peer(*widget).IsTestResultPass());
    // The capability step tells the main window about the sensor switch.
    QCoreApplication::sendPostedEvents(&host);
    bool sensorEvent = false;
    for (const auto& e : host.events)
        sensorEvent = sensorEvent || e == std::make_pair(int(WM_SENSOR_SWITCH_SUPPORT), qint64(0));
    EXPECT_TRUE(sensorEvent);
}

TEST_F(ChainTest, AReplyBeforeTheFirstTickEndsTheStepOnThatTick)
{
    const SimCam cam = Camera(WIRED);
    CurrentTestType = 1;
    replies->Silence(1019);
    StartChain(cam);
    const int timer = Peer(*widget).m_AutoSteps[STEP_SN].iTimerId;
    ASSERT_NE(timer, 0);
    // Answered before the event loop runs again: the first tick finds it.
    ReplyRouter::Pass(*widget, cam, 1019);
    ASSERT_TRUE(WaitFor([&] { return CommandsOf(cam).size() >= 2; }));
    EXPECT_EQ(CommandsOf(cam), (Codes{1019, 1598}));
    EXPECT_EQ(ticks.Of(timer), 1);
}

// A step whose command the camera leaves unanswered.
struct SilentCase {
    const char* name;
    AutoStep step;
    int code;                            // the unanswered command
    ChainTestBase::TypedCamera camera;
    int testType;
    std::function<void()> options;
    QStringList lines;                   // what the time-out shows
    int nextCode;                        // the command that follows (0: none)
    uint32_t nextJob;                    // the job that follows (0: none)
};

TEST_F(ChainTest, EveryStepTimesOutOnItsOwnTimeAndALateReplyFindsNoTimer)
{
    const auto none = [] {};
    const SilentCase cases[] = {
        {"serial number", STEP_SN, 1019, WIRED, 1, none,
         {"!SN information:abnormal", "!Failed to obtain serial number"}, 1598, 0},
        {"factory-test state", STEP_FACTORY_STATE, 1598, WIRED, 1, none, {}, 1020, 0},
        {"capability", STEP_CAPABILITY, 1020, WIRED, 1, none, {}, 1012, 0},
        {"version", STEP_VERSION, 1012, WIRED, 1, none, {"!Version information:empty"}, 0, 1128},
        {"device type", STEP_DEV_TYPE, 1030, WIRED, 1, [this] { widget->Lists().RemoveDevType(cam.login); },
         {"!current dev type default wired, no match the selected test type"}, 0, 1128},
        // A zeroed record already holds the expected lamp mode 0: only a reply may pass it.
        {"lamp board", STEP_LIGHT_MODE, 1201, WIRED, 1,
         [this] { SetConfig([](ConfigInfo& c) { c.m_LightMode.bUseLightModeTest = true; }); },
         {"!Lamp panel mode mismatch"}, 0, 1128},
        {"authorization", STEP_AUTHORIZE, 1750, TUYA, 0, none, {}, 0, 1130},
        {"function codes", STEP_FUNCTION_CODE, 1700, WIRED, 1, none,
         {"!Authorization code information achieve failed"}, 1204, 0},
        {"clock", STEP_RTC, 1204, WIRED, 1, none, {"!RTC Test:abnormal"}, 1505, 0},
        {"TF card", STEP_TF_CARD, 1105, WIRED, 1, none, {"!TFCard Test:abnormal"}, 0, 1125},
        {"Wi-Fi signal", STEP_WIFI_SIGNAL, 1526, WIFI, 0, none, {"!Wifi test fail(,SNR:)"}, 0, 1125},
        {"4G", STEP_4G, 1532, LTE, 2, none, {}, 0, 1127},
        {"country and city", STEP_COUNTRY_CITY, 1117, WIRED, 1, [this] { Peer(*widget).m_strCountryCity = "CN;Shenzhen"; },
         {"!Custom Country-City Test:abnormal"}, 0, 1128},
    };
    const ConfigInfo base = widget->ConfigSnapshot();
    std::map<int, SimCam> cams;
    for (const SilentCase& c : cases) {
        SCOPED_TRACE(c.name);
        widget->SetConfig(base);
        Peer(*widget).m_strCountryCity.clear();
        CurrentTestType = c.testType;
        if (!cams.count(c.camera))
            cams[c.camera] = Camera(c.camera);
        cam = cams[c.camera];
        SetType(cam, cam.config.devType, cam.config.sdkType);
        c.options();
        replies->Silence(c.code);
        host.panel->ClearAutoTestResults();
        const size_t before = CommandsOf(cam).size();
        const size_t jobsBefore = jobs.MessagesOf(cam.sn).size();
        auto sent = [&](int code) {
            const Codes all = CommandsOf(cam);
            return std::find(all.begin() + before, all.end(), code) != all.end();
        };
        auto posted = [&](uint32_t message) {
            const Messages all = jobs.MessagesOf(cam.sn);
            return std::find(all.begin() + jobsBefore, all.end(), message) != all.end();
        };
        StartChain(cam, true, widget->Lists().LookupDevType(cam.login, nullptr));
        ASSERT_TRUE(WaitFor([&] { return sent(c.code) && Peer(*widget).m_AutoSteps[c.step].iTimerId != 0; }));
        const int timer = Peer(*widget).m_AutoSteps[c.step].iTimerId;
        const int linesBefore = host.Lines().size();
        const size_t jobsAtStep = jobs.MessagesOf(cam.sn).size();
        Advance(uint64_t(LeftTopWidgetTestPeer::StepTimeoutMs(c.step)) - 1);
        const int ticksNow = ticks.Of(timer);
        ASSERT_TRUE(WaitFor([&] { return ticks.Of(timer) >= ticksNow + 2; }));
        EXPECT_EQ(Peer(*widget).m_AutoSteps[c.step].iTimerId, timer) << "still waiting 1 ms before its time-out";
        EXPECT_EQ(jobs.MessagesOf(cam.sn).size(), jobsAtStep);
        Advance(1);
        ASSERT_TRUE(WaitFor([&] { return Peer(*widget).m_AutoSteps[c.step].iTimerId == 0; }));
        EXPECT_EQ(host.Lines().mid(linesBefore, c.lines.size()), c.lines);
        if (c.nextCode != 0) {
            EXPECT_TRUE(WaitFor([&] { return sent(c.nextCode); })) << "the chain went on";
        }
        if (c.nextJob != 0) {
            EXPECT_TRUE(WaitFor([&] { return posted(c.nextJob); })) << "the chain went on";
        }
        ASSERT_TRUE(WaitFor([&] { return Finished(); }, 20000)) << host.Lines().join(" | ").toStdString();
        // The reply that comes now finds no timer: nothing is judged twice,
        // and the record keeps what the judge wrote and the screen shows.
        replies->Speak(c.code);
        const QStringList atEnd = host.Lines();
        const DevTestResult recordAtEnd = widget->Lists().CurrentDevice().TestRuslut;
        ReplyRouter::Pass(*widget, cam, c.code);
        for (int i = 0; i < 3; ++i)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        EXPECT_EQ(host.Lines(), atEnd);
        const DevTestResult recordNow = widget->Lists().CurrentDevice().TestRuslut;
        EXPECT_EQ(std::memcmp(&recordNow, &recordAtEnd, sizeof recordNow), 0) << "the late reply changed the record";
    }
}

// ---------------------------------------------------------------------------
// A chain belongs to one camera

struct CameraKind {
    const char* name;
    ChainTestBase::TypedCamera camera;
    int testType;
    QStringList lines;                   // a passing camera's lines
};

enum class Phase { VersionPrompt, RunningJob, PictureWait };

const char* PhaseName(Phase phase)
{
    switch (phase) {
    case Phase::VersionPrompt: return "during the version prompt";
    case Phase::RunningJob: return "during the bind job";
    case Phase::PictureWait: return "during the final steps' picture wait";
    }
    return "";
}

TEST_F(ChainTest, ASecondBeginLeavesNothingOfTheOldChainOnTheNewCamera)
{
    const QStringList head{"SN information:normal", "Version information:normal", "function code check succeed"};
    const QStringList card{"RTC Test:normal", "TFCard Test:normal(32GB)"};
    const QString end = "Please Begin Manual Test";
    const CameraKind kinds[] = {
        {"Wi-Fi (DevType 1)", WIFI, 0, head + card + QStringList{"Wifi test pass(-45,SNR:80)", end}},
        {"wired (DevType 4)", WIRED, 1, head + card + QStringList{end}},
        {"4G (DevType 3)", LTE, 2, head + card + QStringList{end}},
        {"dual 4G (DevType 6)", DUAL_LTE, 2,
         head + card + QStringList{"Obtaining dual 4G card information, please wait...", end}},
        {"intelligent (DevType 5)", INTELLIGENT, 3, head + QStringList{end}},
        {"Tuya (DevType 1, SDK type 1)", TUYA, 0, head + card + QStringList{"Wifi test pass(-45,SNR:80)", end}},
    };
    int twins = 0;
    for (const CameraKind& kind : kinds) {
        const SimCam a = Camera(kind.camera);
        const SimCam b = Twin(a, ++twins);
        CurrentTestType = kind.testType;
        for (Phase phase : {Phase::VersionPrompt, Phase::RunningJob, Phase::PictureWait}) {
            SCOPED_TRACE(std::string(kind.name) + ", " + PhaseName(phase));
            SetConfig([&](ConfigInfo& c) { c.m_Tips.bVesionInfo = phase == Phase::VersionPrompt; });
            // The old camera's version fails where the prompt is wanted.
            SetVersion(a, phase == Phase::VersionPrompt ? "V9.9.9" : kVersion);
            host.panel->ClearAutoTestResults();

            int linesAtSwap = -1;
            size_t commandsOfA = 0;
            size_t jobsOfA = 0;
            auto swap = [&] {
                linesAtSwap = host.Lines().size();
                commandsOfA = CommandsOf(a).size();
                jobsOfA = jobs.MessagesOf(a.sn).size();
                StartChain(b);
            };
            jobs.Hold(0, QByteArray(), {});
            bool prompted = false;
            ModalHook::Set([&](QDialog* dialog) {
                prompted = dialog->inherits("VersionInfoTips");
                swap();
                return int(QDialog::Rejected);
            });
            QTimer swapper;
            if (phase == Phase::RunningJob) {
                jobs.Hold(AUX_MSG_BIND_DEV, a.sn, [](AuxJobRun& run) {
                    run.Result().SetWord(&DevTestResult::bind_result, -1);
                    run.Result().SetText(&DevTestResult::tuya_uuid, "uuid-of-A");
                    run.AddLine("A: bound to another customer", false);
                    run.AddLine("A: the job's line", true);
                });
            } else if (phase == Phase::PictureWait) {
                QObject::connect(&swapper, &QTimer::timeout, [&] {
                    if (linesAtSwap < 0 && QThread::currentThread()->loopLevel() > 0 &&
                        widget->Lists().CurrentLoginHandle() == a.login)
                        swap();
                });
                swapper.start(5);
            }

            StartChain(a, phase != Phase::PictureWait);
            if (phase == Phase::RunningJob) {
                ASSERT_TRUE(WaitFor([&] { return jobs.IsHeld(); }));
                swap();
                // B's own bind job waits behind A's; then A's job ends, stale.
                ASSERT_TRUE(WaitFor([&] { return Peer(*widget).Workers().Queue(StationWorkers::Aux)->Size() > 0; }));
                jobs.Release();
            }
            ASSERT_TRUE(WaitFor([&] { return linesAtSwap >= 0 && Finished(); }, 20000))
                << host.Lines().join(" | ").toStdString();
            swapper.stop();
            ModalHook::Clear();

            EXPECT_EQ(host.Lines().mid(linesAtSwap), kind.lines);
            EXPECT_EQ(CommandsOf(a).size(), commandsOfA) << "nothing more went to the old camera";
            EXPECT_EQ(jobs.MessagesOf(a.sn).size(), jobsOfA) << "no job was posted for the old camera";
            EXPECT_EQ(prompted, phase == Phase::VersionPrompt);
            EXPECT_TRUE(Peer(*widget).m_bTestNormal);
            const DevInfo now = widget->Lists().CurrentDevice();
            EXPECT_EQ(now.lUserID, b.login);
            EXPECT_EQ(TextOf(now.TestRuslut.dev_sn), b.sn);
            EXPECT_EQ(now.TestRuslut.sn_result, 1);
            EXPECT_EQ(now.TestRuslut.m_iTestVersion, 1);
            EXPECT_EQ(now.TestRuslut.bind_result, 1);
            EXPECT_EQ(TextOf(now.TestRuslut.tuya_uuid), b.config.authUuid.toLatin1());
            EXPECT_EQ(widget->Lists().CurrentDevType().eType, b.config.devType);
            EXPECT_EQ(widget->Lists().CurrentDevType().iSDKType, b.config.sdkType);
        }
    }
}

// ---------------------------------------------------------------------------
// Steps that do more than send

TEST_F(ChainTest, The4GStepAsksAgainOnEveryTickUntilTheModuleIsReady)
{
    // The camera answers twice "not ready" (status 1), then in full.
    CurrentTestType = 2;
    const SimCam cam = Camera(LTE);
    QString iccidOfTheJob;
    Peer(*widget).SetAuxJobBody(AUX_MSG_4G_INFO_TEST, [&](const AuxJobEnvelope& job, AuxJobRun& run) {
        iccidOfTheJob = job.Get<Dev4GInfo>()->ICCID;
        run.Result().SetWord(&DevTestResult::result_4g, 1);
    });
    Codes codes;
    Messages messages;
    RunToEnd(cam, &codes, &messages);
    EXPECT_EQ(codes, (Codes{1019, 1598, 1020, 1012, 1700, 1204, 1505, 1105, 1532, 1532, 1532}));
    EXPECT_EQ(iccidOfTheJob, cam.config.iccid);
    EXPECT_EQ(widget->Lists().CurrentDevice().TestRuslut.result_4g, 1);
}

TEST_F(ChainTest, TheWifiSignalWaitsForTheConnectToSettleAndNotForAnotherCamera)
{
    CurrentTestType = 0;
    const SimCam a = Camera(WIFI);
    const SimCam b = Camera(WIRED);
    QElapsedTimer sinceCard;
    replies->SetWatch(1105, [&](const CamReply&) { sinceCard.start(); });
    auto sent1526 = [&](const SimCam& cam) {
        const Codes codes = CommandsOf(cam);
        return std::count(codes.begin(), codes.end(), 1526);
    };
    StartChain(a);
    Peer(*widget).m_dwWifiStartTick = uint32_t(ChainTick() - 7700);   // 300 ms to go
    ASSERT_TRUE(WaitFor([&] { return sent1526(a) == 1; }));
    EXPECT_GE(sinceCard.elapsed(), 300);
    ASSERT_TRUE(WaitFor([&] { return Finished(); }));

    // The next camera comes while the wait runs: the first one's reading never starts.
    StartChain(a);
    Peer(*widget).m_dwWifiStartTick = uint32_t(ChainTick() - 6500);   // 1500 ms to go
    ASSERT_TRUE(WaitFor([&] { return sinceCard.isValid() && Peer(*widget).m_AutoSteps[STEP_TF_CARD].iTimerId == 0 &&
                                     CommandsOf(a).back() == 1105; }));
    QElapsedTimer sinceWait;
    sinceWait.start();
    CurrentTestType = 1;
    host.panel->ClearAutoTestResults();
    StartChain(b);
    ASSERT_TRUE(WaitFor([&] { return Finished() && sinceWait.elapsed() > 2500; }));
    EXPECT_EQ(sent1526(a), 1);
    EXPECT_EQ(sent1526(b), 0);
}

TEST_F(ChainTest, CountryAndCityGoOutOnlyAsOneSafePair)
{
    struct Case {
        const char* text;
        const char* body;                // null: nothing is sent
    };
    const Case cases[] = {
        {"CN;Shenzhen", "<REQUEST_PARAM\r\nCountry=\"CN\" City=\"Shenzhen\"\r\n/>"},
        {"CN;", "<REQUEST_PARAM\r\nCountry=\"CN\" City=\"\"\r\n/>"},
        {"CN;Shenzhen;Nanshan", nullptr},
        {"CN", nullptr},
        {"CN\" Evil=\"1;Shenzhen", nullptr},
        {"CN;Shen<zhen", nullptr},
    };
    CurrentTestType = 1;
    cam = Camera(WIRED);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        Peer(*widget).m_strCountryCity = QString::fromUtf8(c.text);
        host.panel->ClearAutoTestResults();
        const int before = SimLan::Instance().CommandsOf(QString::fromLatin1(cam.sn)).size();
        StartChain(cam);
        ASSERT_TRUE(WaitStepRunning(STEP_COUNTRY_CITY));
        QVector<SimCommand> sent = SimLan::Instance().CommandsOf(QString::fromLatin1(cam.sn)).mid(before);
        const auto isCountry = [](const SimCommand& cmd) { return cmd.code == 1117; };
        if (c.body) {
            ASSERT_EQ(std::count_if(sent.begin(), sent.end(), isCountry), 1);
            const SimCommand cmd = *std::find_if(sent.begin(), sent.end(), isCountry);
            EXPECT_EQ(cmd.body, QByteArray(c.body));
            EXPECT_EQ(cmd.via, "FC_Loc_IoTTextControl");
        } else {
            EXPECT_EQ(std::count_if(sent.begin(), sent.end(), isCountry), 0);
            Advance(3000);
        }
        ASSERT_TRUE(WaitFor([&] { return Finished(); }));
        EXPECT_TRUE(host.Lines().contains(c.body ? "Custom Country-City Test:normal" : "!Custom Country-City Test:abnormal"));
    }
}

TEST_F(ChainTest, TheBackEndsMacGoesOutOnlyAsASafeValueAndOnlyToItsCamera)
{
    BackendSimulator backend;
    ASSERT_TRUE(backend.Start());
    ServerHost = QString::fromStdString(backend.HostText());
    Peer(*widget).m_strOrderNumber = "ORD-0001";
    CurrentTestType = 1;
    const SimCam a = Camera(WIRED);
    const SimCam b = Twin(a, 1);
    QString macOfTheLabel = "-";
    Peer(*widget).SetAuxJobBody(AUX_MSG_PRINT_QRCODE, [&](const AuxJobEnvelope& job, AuxJobRun&) {
        macOfTheLabel = job.Get<AuxPrintQRCodeMsg>()->strMac;
    });
    struct Case {
        const char* name;
        const char* reply;               // null: the simulator's own
        const char* body;                // null: nothing sent
        const char* macKept;
    };
    const Case cases[] = {
        {"a MAC", nullptr, "<REQUEST_PARAM\r\nMACAddress1=\"00:1A:2B:3C:4D:5E\"\r\nMACAddress2=\"\"\r\n/>",
         "00:1A:2B:3C:4D:5E"},
        {"an empty MAC", R"({"ret":0,"data":{"mac":""}})", nullptr, ""},
        {"a MAC that would break its attribute", R"({"ret":0,"data":{"mac":"00:1A\" MACAddress2=\"x"}})", nullptr, ""},
        {"a refusal", R"({"ret":3,"msg":"no mac"})", nullptr, ""},
    };
    Peer(*widget).m_iCustomMac = 1;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        backend.SetReply("download/mac", c.reply ? c.reply : R"({"ret":0,"data":{"mac":"00:1A:2B:3C:4D:5E"}})");
        backend.ClearRequests();
        host.panel->ClearAutoTestResults();
        const int before = SimLan::Instance().CommandsOf(QString::fromLatin1(a.sn)).size();
        StartChain(a);
        ASSERT_TRUE(WaitStepRunning(STEP_CUSTOM_MAC));
        const QVector<SimCommand> sent = SimLan::Instance().CommandsOf(QString::fromLatin1(a.sn)).mid(before);
        const auto isMac = [](const SimCommand& cmd) { return cmd.code == 337; };
        if (c.body) {
            ASSERT_EQ(std::count_if(sent.begin(), sent.end(), isMac), 1);
            EXPECT_EQ(std::find_if(sent.begin(), sent.end(), isMac)->body, QByteArray(c.body));
        } else {
            EXPECT_EQ(std::count_if(sent.begin(), sent.end(), isMac), 0);
            Advance(3000);
        }
        ASSERT_TRUE(WaitFor([&] { return Finished(); }));
        EXPECT_EQ(Peer(*widget).m_strCustomMac, c.macKept);
        EXPECT_EQ(macOfTheLabel, c.macKept);
        EXPECT_TRUE(host.Lines().contains(c.body ? "Custom Mac Test:normal" : "!Custom Mac Test:abnormal"));
        const auto requests = backend.Requests();
        ASSERT_EQ(requests.size(), 1u);
        EXPECT_EQ(requests[0].operation, "download/mac");
        EXPECT_NE(requests[0].query.find(a.sn.toStdString()), std::string::npos);
        EXPECT_NE(requests[0].query.find("ORD-0001"), std::string::npos);
    }

    // The MAC of one camera never reaches the next camera's label.
    backend.SetReply("download/mac", R"({"ret":0,"data":{"mac":"00:1A:2B:3C:4D:5E"}})");
    host.panel->ClearAutoTestResults();
    StartChain(a);
    ASSERT_TRUE(WaitFor([&] { return Finished(); }));
    EXPECT_EQ(macOfTheLabel, "00:1A:2B:3C:4D:5E");
    Peer(*widget).m_iCustomMac = 0;
    host.panel->ClearAutoTestResults();
    Peer(*widget).m_iAuthorizeReplyStatus = 1;
    Peer(*widget).m_iAuthorizationStatus = 1;
    Peer(*widget).m_strAuthorizeUUID = "uuid-of-a";
    Peer(*widget).m_strAuthorizeKey = "key-of-a";
    StartChain(b);
    EXPECT_EQ(Peer(*widget).m_strCustomMac, "") << "emptied when the chain starts";
    EXPECT_EQ(Peer(*widget).m_strAuthorizeUUID, "");
    EXPECT_EQ(Peer(*widget).m_strAuthorizeKey, "");
    EXPECT_EQ(Peer(*widget).m_iAuthorizeReplyStatus, 0);
    EXPECT_EQ(Peer(*widget).m_iAuthorizationStatus, 0);
    ASSERT_TRUE(WaitFor([&] { return Finished(); }));
    EXPECT_EQ(macOfTheLabel, "");
}

TEST_F(ChainTest, AFailedCustomisationFailsTheRecordAsItFailsTheScreen)
{
    BackendSimulator backend;
    ASSERT_TRUE(backend.Start());
    ServerHost = QString::fromStdString(backend.HostText());
    Peer(*widget).m_strOrderNumber = "ORD-0001";
    CurrentTestType = 1;
    cam = Camera(WIRED);
    const SimReply refused{"<RESPONSE_PARAM\r\n/>", 1, -1};
    struct Case {
        const char* name;
        const char* countryCity;         // empty: no country step
        bool customMac;
        std::function<void()> camera;    // how the camera and the back-end behave
        std::vector<AutoStep> timeOuts;  // steps left to their time-out, in order
        int countryResult;
        int macResult;
        const char* failedCodes;
        QStringList lines;
    };
    const auto asBuilt = [this, &backend] {
        backend.SetReply("download/mac", R"({"ret":0,"data":{"mac":"00:1A:2B:3C:4D:5E"}})");
        SimLan::Instance().SetReplies(QString::fromLatin1(cam.sn), 1117, {});
        SimLan::Instance().SetReplies(QString::fromLatin1(cam.sn), 337, {});
    };
    const Case cases[] = {
        {"both taken", "CN;Shenzhen", true, asBuilt, {}, 1, 1, "",
         {"Custom Country-City Test:normal", "Custom Mac Test:normal"}},
        {"no country;city pair: nothing sent", "CN", false, asBuilt, {STEP_COUNTRY_CITY}, -1, 0, "4",
         {"!Custom Country-City Test:abnormal"}},
        {"the country is not answered", "CN;Shenzhen", false, [&] { asBuilt(); replies->Silence(1117); },
         {STEP_COUNTRY_CITY}, -1, 0, "4", {"!Custom Country-City Test:abnormal"}},
        {"the camera refuses the country", "CN;Shenzhen", false,
         [&] {
             asBuilt();
             SimLan::Instance().SetReply(QString::fromLatin1(cam.sn), 1117, refused);
         },
         {}, -1, 0, "4", {"!Custom Country-City Test:abnormal"}},
        {"no MAC from the back-end", "", true,
         [&] {
             asBuilt();
             backend.SetReply("download/mac", R"({"ret":0,"data":{"mac":""}})");
         },
         {STEP_CUSTOM_MAC}, 0, -1, "3", {"!Custom Mac Test:abnormal"}},
        {"both fail", "CN", true,
         [&] {
             asBuilt();
             SimLan::Instance().SetReply(QString::fromLatin1(cam.sn), 337, refused);
         },
         {STEP_COUNTRY_CITY}, -1, -1, "4,3", {"!Custom Country-City Test:abnormal", "!Custom Mac Test:abnormal"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        replies->Speak(1117);
        c.camera();
        Peer(*widget).m_strCountryCity = QString::fromLatin1(c.countryCity);
        Peer(*widget).m_iCustomMac = c.customMac ? 1 : 0;
        host.panel->ClearAutoTestResults();
        StartChain(cam);
        for (AutoStep step : c.timeOuts) {
            ASSERT_TRUE(WaitStepRunning(step));
            Advance(3000);
        }
        ASSERT_TRUE(WaitFor([&] { return Finished(); })) << host.Lines().join(" | ").toStdString();
        QStringList customLines;
        for (const QString& line : host.Lines()) {
            if (line.contains("Custom"))
                customLines << line;
        }
        EXPECT_EQ(customLines, c.lines);
        const DevTestResult r = widget->Lists().CurrentDevice().TestRuslut;
        EXPECT_EQ(r.custom_country_result, c.countryResult);
        EXPECT_EQ(r.custom_mac_result, c.macResult);
        EXPECT_EQ(TextOf(r.customized_items_result), c.failedCodes);
        EXPECT_EQ(Peer(*widget).IsTestResultPass(), c.lines.filter("!").isEmpty());
    }
    replies->Speak(1117);
}

TEST_F(ChainTest, ALogoPathTheUploadCannotHoldIsRefusedNotCut)
{
    CurrentTestType = 1;
    cam = Camera(WIRED);
    s_dir->writeFile("logo.png", "png");
    struct Case {
        QString path;
        bool uploaded;
    };
    const QString longName = QString(260 - s_dir->path().toUtf8().size(), QLatin1Char('L')) + ".png";
    const Case cases[] = {{s_dir->file("logo.png"), true}, {s_dir->file(longName), false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path.size());
        Peer(*widget).m_strLogoFileSavePath = c.path;
        host.panel->ClearAutoTestResults();
        const int before = SimLan::Instance().UploadsOf(QString::fromLatin1(cam.sn)).size();
        StartChain(cam);
        ASSERT_TRUE(WaitStepRunning(STEP_LOGO));
        const QVector<SimUpload> uploads = SimLan::Instance().UploadsOf(QString::fromLatin1(cam.sn)).mid(before);
        if (c.uploaded) {
            ASSERT_EQ(uploads.size(), 1);
            EXPECT_EQ(uploads[0].kind, "logo");
            EXPECT_EQ(uploads[0].path, c.path);
        } else {
            EXPECT_TRUE(uploads.isEmpty());
            Advance(6000);
        }
        ASSERT_TRUE(WaitFor([&] { return Finished(); }));
        EXPECT_TRUE(host.Lines().contains(c.uploaded ? "Custom Logo File Test:normal" : "!Custom Logo File Test:abnormal"));
        const DevTestResult r = widget->Lists().CurrentDevice().TestRuslut;
        EXPECT_EQ(r.custom_logo_result, c.uploaded ? 1 : -1);
        EXPECT_EQ(TextOf(r.customized_items_result), c.uploaded ? "" : "2") << "the failed customisation's code";
    }
}

TEST_F(ChainTest, AStoppedCameraIsJudgedButSentNothingMore)
{
    CurrentTestType = 1;
    const SimCam cam1 = Camera(WIRED);
    replies->Silence(1012);
    StartChain(cam1);
    ASSERT_TRUE(WaitStepRunning(STEP_VERSION));
    widget->Lists().UpdateCurrentDevice(cam1.login, [](DevInfo& d) { DevStore(d.lStopFlag, int64_t(1)); });
    const Codes before = CommandsOf(cam1);
    Advance(3000);
    ASSERT_TRUE(WaitFor([&] { return host.Lines().contains("!Version information:empty"); }));
    const int tick = Peer(*widget).m_AutoSteps[STEP_SN].iTimerId;
    for (int i = 0; i < 5; ++i)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    EXPECT_EQ(CommandsOf(cam1), before);
    EXPECT_TRUE(jobs.Records().empty());
    EXPECT_EQ(tick, 0);
}

// ---------------------------------------------------------------------------
// Manual items on the step slots

TEST_F(ChainTest, AFormatResultLeadsToTheCardOfTheManualPanel)
{
    CurrentTestType = 1;
    cam = Camera(WIRED);
    StartChain(cam);
    ASSERT_TRUE(WaitFor([&] { return Finished(); }));
    const auto* formatLabel = host.panel->findChild<QLabel*>("m_lbFormat");
    const auto* cardLabel = host.panel->findChild<QLabel*>("m_lbSDCardInfo");
    const auto* spaceLabel = host.panel->findChild<QLabel*>("m_lbSDCardSpace");
    ASSERT_TRUE(formatLabel && cardLabel && spaceLabel);

    // A format that succeeded: the card is read again, for the panel only.
    host.panel->ClearAutoTestResults();
    const size_t before = CommandsOf(cam).size();
    widget->Lists().UpdateCurrentDevice(cam.login, [](DevInfo& d) {
        d.iFormatResult = 0;
        d.TestRuslut.tf_card_result = 0;
    });
    Peer(*widget).StartStep(STEP_FORMAT);
    Peer(*widget).m_AutoSteps[STEP_FORMAT].iReplyFlag = 1;
    ASSERT_TRUE(WaitFor([&] { return cardLabel->text() == "card capacity:32GB"; }));
    EXPECT_EQ(spaceLabel->text(), "card space:30GB");
    EXPECT_EQ(formatLabel->text(), "format succeed");
    EXPECT_EQ(host.Lines(), QStringList{"format succeed"});
    const Codes after = CommandsOf(cam);
    EXPECT_EQ(Codes(after.begin() + before, after.end()), Codes{1105}) << "no 1505";
    EXPECT_EQ(Peer(*widget).m_iManualTFCard, 1);

    // No answer in 18 s: failed.
    widget->Lists().UpdateCurrentDevice(cam.login, [](DevInfo& d) { d.iFormatResult = -1; });
    Peer(*widget).StartStep(STEP_FORMAT);
    Advance(18000);
    ASSERT_TRUE(WaitFor([&] { return host.Lines().contains("!format failed"); }));
    EXPECT_EQ(formatLabel->text(), "format failed");
}

TEST_F(ChainTest, AManualFunctionCodeCheckShowsOnThePanelAndEndsThere)
{
    CurrentTestType = 1;
    cam = Camera(WIRED);
    StartChain(cam);
    ASSERT_TRUE(WaitFor([&] { return Finished(); }));
    host.panel->ClearAutoTestResults();
    const size_t before = CommandsOf(cam).size();
    const size_t jobsBefore = jobs.Records().size();
    // What the manual item does: marker 1, 300, the command, the step.
    Peer(*widget).m_iManualFunctionCode = 1;
    widget->Lists().UpdateCurrentDevice(cam.login, [](DevInfo& d) { d.iRetCode = 300; });
    SendDevCommand(cam.login, CMD_FUNCTION_CODE_CHECK, CommandBody::Empty());
    Peer(*widget).StartStep(STEP_FUNCTION_CODE);
    ASSERT_TRUE(WaitFor([&] { return Peer(*widget).m_AutoSteps[STEP_FUNCTION_CODE].iTimerId == 0; }));
    EXPECT_EQ(host.Lines(), QStringList{"function code check succeed"});
    const auto* label = host.panel->findChild<QLabel*>("m_FunctionCodeTestLb");
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->text(), "function code check succeed");
    for (int i = 0; i < 5; ++i)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    EXPECT_EQ(CommandsOf(cam).size(), before + 1) << "the final steps belong to the chain";
    EXPECT_EQ(jobs.Records().size(), jobsBefore);
}

// ---------------------------------------------------------------------------
// Video, the chain's end and the pass rule

TEST_F(ChainTest, TheVideoJudgesFollowTheLensOnScreen)
{
    struct Case {
        const char* name;
        bool twoLenses;
        int64_t lens;
        QStringList lines;               // time-out, then the first frame
        int32_t DevTestResult::*field;
    };
    const Case cases[] = {
        {"one lens", false, -1, {"!Video information:abnormal", "Video information:normal"}, &DevTestResult::m_iTestVideo},
        {"ball lens", true, 1, {"!Ball Video information:abnormal", "Ball Video information:normal"},
         &DevTestResult::m_iTestVideo},
        {"gun lens", true, 0, {"!Gun Video information:abnormal", "Gun Video information:normal"},
         &DevTestResult::video_result2},
        {"no lens chosen", true, -1, {"Gun Video information:normal"}, &DevTestResult::video_result2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        widget->Lists().SetCurrentDevice(MakeDevice("VT21W10000000001", "127.0.0.31", 41, 1));
        DevTypeInfo type;
        type.Feature = c.twoLenses ? 1 : 0;
        widget->Lists().SetCurrentDevType(type);
        Peer(*widget).m_lCurrentChannel = c.lens;
        host.panel->ClearAutoTestResults();
        Peer(*widget).slotVideoTestTimeout();
        const int32_t afterTimeout = widget->Lists().CurrentDevice().TestRuslut.*(c.field);
        Peer(*widget).slotUpdateView();
        Peer(*widget).slotUpdateView();
        EXPECT_EQ(host.Lines(), c.lines);
        EXPECT_EQ(afterTimeout, c.lines.size() == 2 ? -1 : 0);
        EXPECT_EQ(widget->Lists().CurrentDevice().TestRuslut.*(c.field), 1);
    }
}

TEST_F(ChainTest, TheEndStartsTheManualScriptOrAsksForTheManualTest)
{
    CurrentTestType = 4;
    cam = Camera(WIRED);
    SetType(cam, 0, 0);
    QSignalSpy begun(widget.get(), &LeftTopWidget::siganlBeginManulTest);
    SetConfig([](ConfigInfo& c) { c.m_ManualAutoTest.bAutoBeginRun = true; });
    struct Case {
        QStringList script;
        bool started;
    };
    const Case cases[] = {{{"Q:2", "R:3"}, true}, {{"Q"}, false}, {{"Q:2:1"}, false}, {{"Q:5000"}, false},
                          {{"Q:abc"}, false},     {{}, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.script.join(",").toStdString());
        widget->SetManualAutomationList(c.script);
        Peer(*widget).m_bManalAutoTesting = false;
        begun.clear();
        host.panel->ClearAutoTestResults();
        StartChain(cam);
        if (c.started) {
            ASSERT_TRUE(WaitFor([&] { return begun.count() == 1; }));
            EXPECT_TRUE(begun.at(0).at(0).toBool());
            EXPECT_TRUE(Peer(*widget).m_bManalAutoTesting.load());
            EXPECT_FALSE(host.Lines().contains("Please Begin Manual Test"));
        } else {
            ASSERT_TRUE(WaitFor([&] { return Finished(); }));
            EXPECT_EQ(begun.count(), 0);
            EXPECT_FALSE(Peer(*widget).m_bManalAutoTesting.load());
        }
    }
    // A script still running is asked to stop and a new one waits for it.
    Peer(*widget).m_bManalAutoTesting = true;
    Peer(*widget).m_bManualAutoStopRequest = false;
    Peer(*widget).AutoTestFinish();
    EXPECT_TRUE(Peer(*widget).m_bManualAutoStopRequest);
    EXPECT_TRUE(Peer(*widget).m_pWaitTimer->isActive());
    Peer(*widget).m_pWaitTimer->stop();
}

TEST_F(ChainTest, ASwitchedChannelOrSensorIsEnabledAgainTwoSecondsLater)
{
    ClearEvents();
    QElapsedTimer since;
    since.start();
    Peer(*widget).SensorSwitchDoneLater(30);
    Peer(*widget).ChannelSwitchDoneLater();
    ASSERT_TRUE(WaitFor([&] { return host.events.size() == 2; }));
    EXPECT_GE(since.elapsed(), 1900) << "a coarse timer of 2000 ms fires at most 5% early";
    EXPECT_EQ(host.events, (std::vector<std::pair<int, qint64>>{{WM_MANUAL_ITEM_ENABLE, 30}, {WM_MANUAL_ITEM_ENABLE, 32}}));
    EXPECT_EQ(host.secondWords, (std::vector<qint64>{1, 1}));

    // A manual script run keeps the channel control to itself.
    ClearEvents();
    Peer(*widget).m_bManalAutoTesting = true;
    Peer(*widget).ChannelSwitchDoneLater();
    Peer(*widget).SensorSwitchDoneLater(30);
    ASSERT_TRUE(WaitFor([&] { return host.events.size() == 1; }));
    ASSERT_FALSE(WaitFor([&] { return host.events.size() > 1; }, 300));
    EXPECT_EQ(host.events.front(), std::make_pair(int(WM_MANUAL_ITEM_ENABLE), qint64(30)));
    Peer(*widget).m_bManalAutoTesting = false;
}

TEST_F(ChainTest, TheWifiSignalTextGoesToThePanelAndThePane)
{
    Peer(*widget).SetWifiSignalResultText("Signal:-45\nQuality:80", false);
    const auto* label = host.panel->findChild<QLabel*>("m_WifiSignalTestLb");
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->text(), "Signal:-45\nQuality:80");
    EXPECT_TRUE(host.Lines().isEmpty()) << "a label, not a result line";
}

}  // namespace
