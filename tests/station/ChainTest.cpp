// The automatic step machine against simulated cameras: the commands each
// camera took and the jobs posted, by test type, options and device type;
// replies and time-outs; the item commands that do more than send.
#include "ChainFixture.h"

#include "BackendSimulator.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
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
    int testType;
    int eType;
    int sdkType;
    std::function<void()> options;
    Codes codes;
    Messages jobs;
};

TEST_F(ChainTest, EachTestTypeSendsItsCommandsAndPostsItsJobsUpToTheEnd)
{
    const auto none = [] {};
    const TypeCase cases[] = {
        {"wifi plug-in card", 0, 1, 0, none, {1019, 1598, 1020, 1012, 1700, 1204, 1505, 1105, 1526}, {1128, 1125, 1126}},
        {"wired plug-in card", 1, 4, 0, none, {1019, 1598, 1020, 1012, 1700, 1204, 1505, 1105}, {1128, 1125, 1126}},
        {"4G plug-in card", 2, 3, 0, none, {1019, 1598, 1020, 1012, 1700, 1204, 1505, 1105, 1532},
         {1128, 1127, 1125, 1126}},
        {"dual 4G plug-in card", 2, 6, 0, none, {1019, 1598, 1020, 1012, 1700, 1204, 1505, 1105, 1532},
         {1128, 1127, 1125, 1126}},
        {"intelligent IPC", 3, 5, 0, none, {1019, 1598, 1020, 1012, 1700}, {1128, 1125, 1126}},
        {"intelligent IPC of another type: no label", 3, 0, 0, none, {1019, 1598, 1020, 1012, 1700}, {1128}},
        {"extreme IPC: no label", 4, 0, 0, none, {1019, 1598, 1020, 1012, 1700}, {1128}},
        {"Tuya camera: the authorization step", 3, 5, 1, none, {1019, 1598, 1020, 1012, 1750, 1700},
         {1128, 1130, 1125, 1126}},
        {"lamp board check", 1, 4, 0,
         [this] { SetConfig([](ConfigInfo& c) { c.m_LightMode.bUseLightModeTest = true; }); },
         {1019, 1598, 1020, 1012, 1201, 1700, 1204, 1505, 1105}, {1128, 1125, 1126}},
        {"RTC and TF card off: from the final steps to the label", 1, 4, 0,
         [this] {
             SetConfig([](ConfigInfo& c) {
                 c.m_AutoTest.bRTC = false;
                 c.m_AutoTest.bTFCard = false;
             });
         },
         {1019, 1598, 1020, 1012, 1700}, {1128, 1125, 1126}},
        {"no function codes", 1, 4, 0,
         [this] { SetConfig([](ConfigInfo& c) { c.m_AutoTest.bFunctionCode = false; }); },
         {1019, 1598, 1020, 1012, 1204, 1505, 1105}, {1128, 1125, 1126}},
        {"Wi-Fi signal off", 0, 1, 0,
         [this] { SetConfig([](ConfigInfo& c) { c.m_AutoTest.bWifiSignal = false; }); },
         {1019, 1598, 1020, 1012, 1700, 1204, 1505, 1105}, {1128, 1125, 1126}},
        {"parameter lock", 1, 4, 0, [this] { widget->m_bLockParameter = true; },
         {1019, 1598, 1020, 1012, 1700, 1518, 1204, 1505, 1105}, {1128, 1125, 1126}},
        {"logged out, wired: no label", 1, 4, 0, [] { LoggedIn = false; },
         {1019, 1598, 1020, 1012, 1700, 1204, 1505, 1105}, {1128}},
        {"logged out, Wi-Fi: no label", 0, 1, 0, [] { LoggedIn = false; },
         {1019, 1598, 1020, 1012, 1700, 1204, 1505, 1105, 1526}, {1128}},
        {"logged out, intelligent: no label", 3, 5, 0, [] { LoggedIn = false; },
         {1019, 1598, 1020, 1012, 1700}, {1128}},
    };
    const ConfigInfo base = widget->ConfigSnapshot();
    const SimCam cam = Camera(1, 0);
    for (const TypeCase& c : cases) {
        SCOPED_TRACE(c.name);
        widget->SetConfig(base);
        widget->m_bLockParameter = false;
        LoggedIn = true;
        CurrentTestType = c.testType;
        SimCam typed = cam;
        typed.type.eType = c.eType;
        typed.type.iSDKType = c.sdkType;
        replies->AddCamera(typed);
        widget->RemoveDevType(cam.login);
        widget->InsertDevType(cam.login, typed.type);
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
    const SimCam wired = Camera(1, 4);
    const SimCam wifi = Camera(2, 1);
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
    EXPECT_EQ(widget->CurrentDevType().eType, 1);
}

TEST_F(ChainTest, APassingCameraShowsItsLinesAndResultsInOrder)
{
    CurrentTestType = 0;
    const SimCam cam = Camera(1, 1);
    Codes codes;
    Messages messages;
    RunToEnd(cam, &codes, &messages);
    EXPECT_EQ(host.Lines(), (QStringList{"SN information:normal", "Version information:normal",
                                         "function code check succeed", "RTC Test:normal", "TFCard Test:normal(32GB)",
                                         "Wifi test pass(-45,SNR:80)", "Please Begin Manual Test"}));
    const DevTestResult r = widget->CurrentDevice().TestRuslut;
    EXPECT_EQ(TextOf(r.dev_sn), cam.sn);
    EXPECT_EQ(r.sn_result, 1);
    EXPECT_EQ(r.m_iTestVersion, 1);
    EXPECT_EQ(TextOf(r.m_szVersion), cam.version);
    EXPECT_EQ(TextOf(r.m_szModel), "A1");
    EXPECT_EQ(r.func_code_result, 1);
    EXPECT_EQ(TextOf(r.authorized_func_code), "1,2");
    EXPECT_EQ(TextOf(r.support_func_code), "1,2,3");
    EXPECT_EQ(r.rtc_result, 1);
    EXPECT_EQ(r.tf_card_result, 1);
    EXPECT_EQ(r.wifi_signal_result, 1);
    EXPECT_EQ(r.bind_result, 1);
    EXPECT_EQ(r.qr_code_print_result, 1);
    EXPECT_EQ(r.qr_code_check_result, 1);
    EXPECT_TRUE(widget->m_bTestNormal);
    EXPECT_TRUE(widget->IsTestResultPass());
    // The capability step tells the main window about the sensor switch.
    QCoreApplication::sendPostedEvents(&host);
    bool sensorEvent = false;
    for (const auto& e : host.events)
        sensorEvent = sensorEvent || e == std::make_pair(int(WM_SENSOR_SWITCH_SUPPORT), qint64(0));
    EXPECT_TRUE(sensorEvent);
}

TEST_F(ChainTest, AReplyBeforeTheFirstTickEndsTheStepOnThatTick)
{
    const SimCam cam = Camera(1, 4);
    CurrentTestType = 1;
    replies->Silence(1019);
    StartChain(cam);
    const int timer = widget->m_AutoSteps[STEP_SN].iTimerId;
    ASSERT_NE(timer, 0);
    // Answered before the event loop runs again: the first tick finds it.
    FakeReplies::Pass(*widget, cam, 1019);
    ASSERT_TRUE(WaitFor([&] { return CommandsOf(cam).size() >= 2; }));
    EXPECT_EQ(CommandsOf(cam), (Codes{1019, 1598}));
    EXPECT_EQ(ticks.Of(timer), 1);
}

// A step whose command the camera leaves unanswered.
struct SilentCase {
    const char* name;
    AutoStep step;
    int code;                            // the unanswered command
    int testType;
    int eType;
    int sdkType;
    std::function<void()> options;
    QStringList lines;                   // what the time-out shows
    int nextCode;                        // the command that follows (0: none)
    uint32_t nextJob;                    // the job that follows (0: none)
};

TEST_F(ChainTest, EveryStepTimesOutOnItsOwnTimeAndALateReplyFindsNoTimer)
{
    const auto none = [] {};
    const SilentCase cases[] = {
        {"serial number", STEP_SN, 1019, 1, 4, 0, none,
         {"!SN information:abnormal", "!Failed to obtain serial number"}, 1598, 0},
        {"factory-test state", STEP_FACTORY_STATE, 1598, 1, 4, 0, none, {}, 1020, 0},
        {"capability", STEP_CAPABILITY, 1020, 1, 4, 0, none, {}, 1012, 0},
        {"version", STEP_VERSION, 1012, 1, 4, 0, none, {"!Version information:empty"}, 0, 1128},
        {"device type", STEP_DEV_TYPE, 1030, 1, 4, 0, [this] { widget->RemoveDevType(cam.login); },
         {"!current dev type default wired, no match the selected test type"}, 0, 1128},
        // A zeroed record already holds the expected lamp mode 0: only a reply may pass it.
        {"lamp board", STEP_LIGHT_MODE, 1201, 1, 4, 0,
         [this] { SetConfig([](ConfigInfo& c) { c.m_LightMode.bUseLightModeTest = true; }); },
         {"!Lamp panel mode mismatch"}, 0, 1128},
        {"authorization", STEP_AUTHORIZE, 1750, 3, 5, 1, none, {}, 0, 1130},
        {"function codes", STEP_FUNCTION_CODE, 1700, 1, 4, 0, none,
         {"!Authorization code information achieve failed"}, 1204, 0},
        {"clock", STEP_RTC, 1204, 1, 4, 0, none, {"!RTC Test:abnormal"}, 1505, 0},
        {"TF card", STEP_TF_CARD, 1105, 1, 4, 0, none, {"!TFCard Test:abnormal"}, 0, 1125},
        {"Wi-Fi signal", STEP_WIFI_SIGNAL, 1526, 0, 1, 0, none, {"!Wifi test fail(,SNR:)"}, 0, 1125},
        {"4G", STEP_4G, 1532, 2, 3, 0, none, {}, 0, 1127},
        {"country and city", STEP_COUNTRY_CITY, 1117, 1, 4, 0,
         [this] { widget->m_strCountryCity = "CN;Shenzhen"; }, {"!Custom Country-City Test:abnormal"},
         0, 1128},
    };
    const ConfigInfo base = widget->ConfigSnapshot();
    cam = Camera(1, 4);
    for (const SilentCase& c : cases) {
        SCOPED_TRACE(c.name);
        widget->SetConfig(base);
        widget->m_strCountryCity.clear();
        CurrentTestType = c.testType;
        cam.type.eType = c.eType;
        cam.type.iSDKType = c.sdkType;
        replies->AddCamera(cam);
        widget->RemoveDevType(cam.login);
        widget->InsertDevType(cam.login, cam.type);
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
        StartChain(cam, true, widget->LookupDevType(cam.login, nullptr));
        ASSERT_TRUE(WaitFor([&] { return sent(c.code) && widget->m_AutoSteps[c.step].iTimerId != 0; }));
        const int timer = widget->m_AutoSteps[c.step].iTimerId;
        const int linesBefore = host.Lines().size();
        const size_t jobsAtStep = jobs.MessagesOf(cam.sn).size();
        Advance(uint64_t(LeftTopWidget::StepTimeoutMs(c.step)) - 1);
        const int ticksNow = ticks.Of(timer);
        ASSERT_TRUE(WaitFor([&] { return ticks.Of(timer) >= ticksNow + 2; }));
        EXPECT_EQ(widget->m_AutoSteps[c.step].iTimerId, timer) << "still waiting 1 ms before its time-out";
        EXPECT_EQ(jobs.MessagesOf(cam.sn).size(), jobsAtStep);
        Advance(1);
        ASSERT_TRUE(WaitFor([&] { return widget->m_AutoSteps[c.step].iTimerId == 0; }));
        EXPECT_EQ(host.Lines().mid(linesBefore, c.lines.size()), c.lines);
        if (c.nextCode != 0)
            EXPECT_TRUE(WaitFor([&] { return sent(c.nextCode); })) << "the chain went on";
        if (c.nextJob != 0)
            EXPECT_TRUE(WaitFor([&] { return posted(c.nextJob); })) << "the chain went on";
        ASSERT_TRUE(WaitFor([&] { return Finished(); }, 20000)) << host.Lines().join(" | ").toStdString();
        // The reply that comes now finds no timer: nothing is judged twice.
        replies->Speak(c.code);
        const QStringList atEnd = host.Lines();
        FakeReplies::Pass(*widget, cam, c.code);
        for (int i = 0; i < 3; ++i)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        EXPECT_EQ(host.Lines(), atEnd);
    }
}

}  // namespace
