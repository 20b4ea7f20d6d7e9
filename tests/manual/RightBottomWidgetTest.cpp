#include "ManualPanelFixture.h"

#include "AppGlobals.h"
#include "EnumClass.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QSignalSpy>
#include <QSlider>
#include <QStandardItemModel>
#include <QTimer>

#include <climits>

namespace {

ConfigInfo AllItemsShown()
{
    ConfigInfo config;
    for (int i = 0; i < MANUAL_ITEM_DISPLAY_COUNT; ++i)
        config.m_ManualItemDisplay.at(i) = true;
    return config;
}

QColor TextColor(const QLabel* label)
{
    return label->palette().color(QPalette::Active, QPalette::WindowText);
}

using Panel = ManualPanelTest;

TEST_F(Panel, ConstructionPostsTheStartingSpeedOnce)
{
    const auto events = TakeEvents();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].item, EnumClass::MANUAL_SPEED_CHANGE);
    EXPECT_EQ(events[0].param, 5);
    EXPECT_EQ(Child<QLineEdit>("m_leSpeed")->text(), "5");

    auto* slider = Child<QSlider>("m_sldSpeed");
    slider->setValue(0);
    EXPECT_EQ(slider->value(), 1);
    slider->setValue(10);
    const auto moved = TakeEvents();
    ASSERT_EQ(moved.size(), 2u);
    EXPECT_EQ(moved[0].param, 1);
    EXPECT_EQ(moved[1].param, 10);
    EXPECT_EQ(Child<QLineEdit>("m_leSpeed")->text(), "10");
}

struct ClickCase {
    const char* button;
    std::vector<std::pair<int, qint64>> posted;   // (item, parameter) in posting order
};

TEST_F(Panel, EachButtonPostsItsItemAndParameter)
{
    // click() emits pressed, released and clicked: press-and-hold buttons post
    // 0 on the press and 1 on the release.
    const ClickCase cases[] = {
        {"m_TrumpetBtn", {{0, 0}}},
        {"m_MicTestBtn", {{1, 0}}},
        {"m_AudioAlarmTestBtn", {{2, 0}}},
        {"m_WhiteLightBtn", {{7, 0}}},
        {"m_HumanAlarmIOBtn", {{11, 0}}},
        {"m_DayModelBtn", {{12, 0}}},
        {"m_NightModelBtn", {{13, 0}}},
        {"m_WifiTestBtn", {{14, 0}}},
        {"m_WifiSignalTestBtn", {{17, 1}}},
        {"m_FunctionCodeTestBtn", {{24, 0}}},
        {"m_QRCodeCheck", {{25, 0}}},
        {"m_4GTest", {{28, 0}}},
        {"m_FocusAddBtn", {{4, 0}, {4, 1}}},
        {"m_FocusSubBtn", {{5, 0}, {5, 1}}},
        {"m_AperAddBtn", {{8, 0}, {8, 1}}},
        {"m_AperSubBtn", {{9, 0}, {9, 1}}},
        {"m_ZoomAddBtn", {{15, 0}, {15, 1}}},
        {"m_ZoomSubBtn", {{16, 0}, {16, 1}}},
        {"m_btnUp", {{18, 0}, {18, 1}}},
        {"m_btnDown", {{19, 0}, {19, 1}}},
        {"m_btnLeft", {{20, 0}, {20, 1}}},
        {"m_btnRight", {{21, 0}, {21, 1}}},
        {"m_btnPtzReset", {{23, 1}}},
        {"m_UploadAlarmFileBtn", {{3, 0}}},
        {"m_SyncTimeBtn", {{6, 0}}},
        {"m_RestoreFactoryBtn", {{10, 0}}},
        {"m_FormatBtn", {{26, 0}}},
        {"m_PrintQRCodeBtn", {{27, 0}}},
        {"m_btnBindDev", {{29, 0}}},
        {"m_btnSwitchSensor", {{30, 1}}},
        {"m_btnSwitchChannel", {}},
    };
    TakeEvents();
    for (const ClickCase& c : cases) {
        SCOPED_TRACE(c.button);
        Child<QPushButton>(c.button)->click();
        std::vector<std::pair<int, qint64>> posted;
        for (const PostedManualTest& e : TakeEvents())
            posted.emplace_back(e.item, e.param);
        EXPECT_EQ(posted, c.posted);
    }
}

TEST_F(Panel, PresetClickPostsAHeapRecordOfItsRow)
{
    panel->UpdateItemVisibility();
    TakeEvents();
    Child<QComboBox>("m_CmbPreset3")->setCurrentText("255");
    Child<QPushButton>("m_BtnCall2")->click();
    Child<QPushButton>("m_BtnCall3")->click();
    Child<QPushButton>("m_BtnCall1")->click();

    const auto events = TakeEvents();
    ASSERT_EQ(events.size(), 3u);
    const std::pair<int, int> expected[] = {{104, 1}, {255, 2}, {104, 0}};
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(events[i].item, EnumClass::MANUAL_CALL_PRESET);
        ASSERT_TRUE(events[i].hasPreset);
        EXPECT_EQ(events[i].preset.preset, expected[i].first);
        EXPECT_EQ(events[i].preset.action, expected[i].second);
    }
}

TEST_F(Panel, PresetClickBeforeTheCombosAreFilledSendsNothing)
{
    // Until the first layout pass the combos are empty: no preset 0 with action -1.
    TakeEvents();
    Child<QPushButton>("m_BtnCall1")->click();
    EXPECT_TRUE(TakeEvents().empty());
}

TEST(PanelWithoutReceiver, PostsAndAllocatesNothing)
{
    TempAppDir dir;
    RightBottomWidget panel(nullptr, nullptr, 1920);
    panel.UpdateItemVisibility();
    panel.ShowSensorSwitch(true);
    auto* label = panel.findChild<QLabel*>("m_lbSwitchSensor");
    const QString before = label->text();

    panel.findChild<QPushButton*>("m_BtnCall1")->click();   // would leak a record under ASan
    panel.findChild<QPushButton*>("m_TrumpetBtn")->click();
    panel.findChild<QSlider*>("m_sldSpeed")->setValue(8);
    panel.onSwitchSensor();

    EXPECT_EQ(panel.findChild<QLineEdit*>("m_leSpeed")->text(), "8");
    EXPECT_EQ(label->text(), before);
}

TEST_F(Panel, ResultRowsAreBlackOnlyForOk1AndTheNewestIsCurrent)
{
    auto* view = Child<QListView>("m_AutoTestLstView");
    auto* model = qobject_cast<QStandardItemModel*>(view->model());
    ASSERT_NE(model, nullptr);
    const std::pair<int, QColor> cases[] = {{1, Qt::black}, {0, Qt::red}, {-1, Qt::red}, {2, Qt::red}};
    int rows = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.first);
        panel->AddAutoTestResult(QString("RTC Test:%1").arg(c.first), c.first);
        ++rows;
        ASSERT_EQ(model->rowCount(), rows);
        EXPECT_EQ(model->item(rows - 1)->foreground().color(), c.second);
        EXPECT_EQ(view->currentIndex().row(), rows - 1);
    }
    panel->AddAutoTestResult(QString(), 1);
    EXPECT_EQ(model->rowCount(), rows);

    panel->SetWifiSignalResult("signal ok", true);
    panel->SetFormatInfo("formating,please reclicke......");
    panel->ClearAutoTestResults();
    EXPECT_EQ(model->rowCount(), 0);
    for (const char* name : {"m_WifiSignalTestLb", "m_FunctionCodeTestLb", "m_lbRestoryFactory", "m_lbFormat",
                             "m_lbSDCardInfo", "m_lbSDCardSpace"})
        EXPECT_TRUE(Child<QLabel>(name)->text().isEmpty()) << name;
}

TEST_F(Panel, ResultLabelsTakeTextAndColour)
{
    struct Case {
        std::function<void()> set;
        const char* label;
        const char* text;
        QColor colour;
    };
    const Case cases[] = {
        {[&] { panel->SetFormatResult("format failed", false); }, "m_lbFormat", "format failed", Qt::red},
        {[&] { panel->SetFormatResult("format succeed", true); }, "m_lbFormat", "format succeed", Qt::black},
        {[&] { panel->SetFunctionCodeResult("code bad", false); }, "m_FunctionCodeTestLb", "code bad", Qt::red},
        {[&] { panel->SetFunctionCodeResult("code ok", true); }, "m_FunctionCodeTestLb", "code ok", Qt::black},
        {[&] { panel->SetWifiSignalResult("weak", false); }, "m_WifiSignalTestLb", "weak", Qt::red},
        {[&] { panel->SetWifiSignalResult("good", true); }, "m_WifiSignalTestLb", "good", Qt::black},
        {[&] { panel->SetRestoreFactoryInfo("restory succeed ,will take effect after reboot"); },
         "m_lbRestoryFactory", "restory succeed ,will take effect after reboot", Qt::red},
        {[&] { panel->SetFormatResult("x", false); panel->SetFormatInfo("formating,please reclicke......"); },
         "m_lbFormat", "formating,please reclicke......", Qt::black},
        {[&] { panel->SetSDCardInfo("card capacity:32GB", "card space:30GB"); }, "m_lbSDCardSpace",
         "card space:30GB", Qt::black},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        c.set();
        auto* label = Child<QLabel>(c.label);
        EXPECT_EQ(label->text(), QString::fromLatin1(c.text));
        EXPECT_EQ(TextColor(label), c.colour);
        EXPECT_EQ(label->palette().color(QPalette::Inactive, QPalette::WindowText), c.colour);
        EXPECT_EQ(label->palette().color(QPalette::Disabled, QPalette::WindowText), c.colour);
    }
    EXPECT_EQ(Child<QLabel>("m_lbSDCardInfo")->text(), "card capacity:32GB");
}

TEST_F(Panel, FormatLocksForTenSeconds)
{
    auto* button = Child<QPushButton>("m_FormatBtn");
    EXPECT_TRUE(panel->TryStartFormat());
    EXPECT_FALSE(button->isEnabled());
    EXPECT_FALSE(panel->TryStartFormat());

    QTimer* lock = nullptr;
    for (QTimer* timer : panel->findChildren<QTimer*>(QString(), Qt::FindDirectChildrenOnly))
        if (timer->isActive() && timer->interval() == 10000)
            lock = timer;
    ASSERT_NE(lock, nullptr);
    EXPECT_TRUE(lock->isSingleShot());

    ASSERT_TRUE(QMetaObject::invokeMethod(lock, "timeout", Qt::DirectConnection));
    EXPECT_TRUE(button->isEnabled());
    EXPECT_TRUE(panel->TryStartFormat());
}

// ---- channels ------------------------------------------------------------

struct ChannelStep {
    int index;        // argument of SetCurrentChannel
    int emitted;      // -1: no signal
    const char* label;
};

void RunChannelSteps(RightBottomWidget* panel, const std::vector<ChannelStep>& steps)
{
    QSignalSpy spy(panel, &RightBottomWidget::signalSwitchChannel);
    auto* label = panel->findChild<QLabel*>("m_lbCurChannelInfo");
    for (const ChannelStep& s : steps) {
        SCOPED_TRACE(s.index);
        spy.clear();
        panel->SetCurrentChannel(s.index);
        if (s.emitted < 0) {
            EXPECT_EQ(spy.count(), 0);
        } else {
            ASSERT_EQ(spy.count(), 1);
            EXPECT_EQ(spy.at(0).at(0).toInt(), s.emitted);
        }
        EXPECT_EQ(label->text(), QString::fromLatin1(s.label));
    }
}

TEST_F(Panel, TwoChannelDeviceSwitchesAndWraps)
{
    panel->SetChannelInfo(0, 2, false);
    EXPECT_TRUE(panel->IsMultiChannel());
    RunChannelSteps(panel.get(), {{1, 1, "[Current:Channel1]"},
                                  {2, 0, "[Current:Channel0]"},
                                  {0, -1, "[Current:Channel0]"},
                                  {-1, 1, "[Current:Channel1]"},
                                  {7, 0, "[Current:Channel0]"}});
}

TEST_F(Panel, GunBallDeviceSwapsTheFirstIndex)
{
    panel->SetChannelInfo(0, 2, true);
    EXPECT_EQ(Child<QLabel>("m_lbCurChannelInfo")->text(), "[Current:Gun Channel]");
    RunChannelSteps(panel.get(), {{0, 1, "[Current:Ball Channel]"},
                                  {1, 0, "[Current:Gun Channel]"},
                                  {2, -1, "[Current:Gun Channel]"},
                                  {0, 1, "[Current:Ball Channel]"},
                                  {2, 0, "[Current:Gun Channel]"}});
}

TEST_F(Panel, NextChannelNeedsAnEnabledButtonAndTwoChannels)
{
    QSignalSpy spy(panel.get(), &RightBottomWidget::signalSwitchChannel);
    panel->SetChannelInfo(0, 1, false);
    panel->SetCurrentChannel(-1);
    Child<QPushButton>("m_btnSwitchChannel")->click();
    EXPECT_EQ(spy.count(), 0);

    panel->SetChannelInfo(0, 2, false);
    panel->SetItemEnabled(EnumClass::MANUAL_SWITCH_CHANNEL, false);
    EXPECT_FALSE(panel->IsSwitchChannelEnabled());
    panel->SetCurrentChannel(-1);
    EXPECT_EQ(spy.count(), 0);
    // A script's channel step still selects by index while the button is off.
    panel->SetCurrentChannel(1);
    EXPECT_EQ(spy.count(), 1);

    panel->SetItemEnabled(EnumClass::MANUAL_SWITCH_CHANNEL, true);
    Child<QPushButton>("m_btnSwitchChannel")->click();
    ASSERT_EQ(spy.count(), 2);
    EXPECT_EQ(spy.at(1).at(0).toInt(), 0);
}

TEST_F(Panel, ChannelCountZeroCountsAsOne)
{
    QSignalSpy spy(panel.get(), &RightBottomWidget::signalSwitchChannel);
    panel->SetChannelInfo(0, 0, false);
    EXPECT_FALSE(panel->IsMultiChannel());
    for (int index : {-1, 0, 1, 2})
        panel->SetCurrentChannel(index);
    panel->SetChannelInfo(0, -3, true);
    for (int index : {-1, 0, 1})
        panel->SetCurrentChannel(index);
    Child<QPushButton>("m_btnSwitchChannel")->click();
    EXPECT_EQ(spy.count(), 0);
}

TEST_F(Panel, NextChannelFromAStrayCurrentStaysInRange)
{
    // (current, count) -> the channel the next step selects
    const struct { int current, count, next; } cases[] = {
        {-2, 2, 1}, {INT_MIN, 2, 1}, {INT_MAX, 2, 0}, {INT_MAX, 3, 2}, {5, 2, 0}, {-1, INT_MAX, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.current);
        QSignalSpy spy(panel.get(), &RightBottomWidget::signalSwitchChannel);
        panel->SetChannelInfo(c.current, c.count, false);
        panel->SetCurrentChannel(-1);
        ASSERT_EQ(spy.count(), 1);
        EXPECT_EQ(spy.at(0).at(0).toInt(), c.next);
    }
}

// ---- sensors and enabling ------------------------------------------------

TEST_F(Panel, SensorSwitchAlternatesAndRestartsAtZero)
{
    auto* label = Child<QLabel>("m_lbSwitchSensor");
    panel->ShowSensorSwitch(true);
    EXPECT_EQ(label->text(), "[current: Sensor0]");
    EXPECT_TRUE(panel->IsSwitchSensorVisible());
    TakeEvents();

    panel->onSwitchSensor();
    EXPECT_EQ(label->text(), "[current: Sensor1]");
    panel->onSwitchSensor();
    EXPECT_EQ(label->text(), "[current: Sensor0]");
    panel->onSwitchSensor();
    panel->ShowSensorSwitch(true);
    EXPECT_EQ(label->text(), "[current: Sensor0]");
    panel->onSwitchSensor();

    std::vector<qint64> indexes;
    for (const PostedManualTest& e : TakeEvents()) {
        EXPECT_EQ(e.item, EnumClass::MANUAL_SWITCH_SENSOR);
        indexes.push_back(e.param);
    }
    EXPECT_EQ(indexes, (std::vector<qint64>{1, 0, 1, 1}));

    panel->SetItemEnabled(EnumClass::MANUAL_SWITCH_SENSOR, false);
    panel->onSwitchSensor();
    EXPECT_TRUE(TakeEvents().empty());
    EXPECT_EQ(label->text(), "[current: Sensor1]");

    panel->ShowSensorSwitch(false);
    EXPECT_FALSE(panel->IsSwitchSensorVisible());
    EXPECT_TRUE(Child<QLabel>("m_lbSwitchSensor")->isHidden());
}

TEST_F(Panel, SensorSwitchSurvivesALayoutPass)
{
    // A settings save or a test-type change must not take the device's second
    // sensor away; only the next device's capability report does.
    panel->SetConfig(AllItemsShown());
    EXPECT_FALSE(panel->IsSwitchSensorVisible());
    panel->ShowSensorSwitch(true);
    panel->UpdateItemVisibility();
    EXPECT_TRUE(panel->IsSwitchSensorVisible());
    panel->ShowSensorSwitch(false);
    panel->UpdateItemVisibility();
    EXPECT_FALSE(panel->IsSwitchSensorVisible());
}

TEST_F(Panel, SetItemEnabledTouchesOnlyTheTwoSwitches)
{
    auto* sensor = Child<QPushButton>("m_btnSwitchSensor");
    auto* channel = Child<QPushButton>("m_btnSwitchChannel");
    const QList<QPushButton*> all = panel->findChildren<QPushButton*>();
    for (int item : {-1, 0, 22, 29, 31, 33, 34, 100}) {
        panel->SetItemEnabled(item, false);
        for (QPushButton* b : all)
            EXPECT_TRUE(b->isEnabled()) << item << " " << qPrintable(b->objectName());
    }
    panel->SetItemEnabled(EnumClass::MANUAL_SWITCH_SENSOR, false);
    EXPECT_FALSE(sensor->isEnabled());
    EXPECT_TRUE(channel->isEnabled());
    panel->SetItemEnabled(EnumClass::MANUAL_SWITCH_CHANNEL, false);
    EXPECT_FALSE(channel->isEnabled());
    panel->SetItemEnabled(EnumClass::MANUAL_SWITCH_SENSOR, true);
    EXPECT_TRUE(sensor->isEnabled());
}

// ---- routing to the controller -------------------------------------------

class PanelRouting : public ManualPanelTest {
protected:
    void SetUp() override
    {
        ManualPanelTest::SetUp();
        CurrentTestType = 0;
        panel->SetConfig(AllItemsShown());
        panel->SetController(&controller);
        receiver.router = panel.get();
        TakeEvents();
    }
    void TearDown() override { CurrentTestType = 0; }

    FakeController controller;
};

TEST_F(PanelRouting, ItemsReachTheControllerWithTheirParameter)
{
    Child<QPushButton>("m_TrumpetBtn")->click();
    Child<QPushButton>("m_btnUp")->click();
    Child<QSlider>("m_sldSpeed")->setValue(7);
    Child<QPushButton>("m_BtnCall2")->click();
    Deliver();

    ASSERT_EQ(controller.calls.size(), 4u);
    EXPECT_EQ(controller.calls[0].item, EnumClass::MANUAL_TRUMPET);
    EXPECT_EQ(controller.calls[1].item, EnumClass::MANUAL_UP);
    EXPECT_EQ(controller.calls[1].param, 0);
    EXPECT_EQ(controller.calls[2].param, 1);
    EXPECT_EQ(controller.calls[3].item, EnumClass::MANUAL_SPEED_CHANGE);
    EXPECT_EQ(controller.calls[3].param, 7);
    ASSERT_EQ(controller.presets.size(), 1u);
    EXPECT_EQ(controller.presets[0].preset, 104);
    EXPECT_EQ(controller.presets[0].action, 1);
}

TEST_F(PanelRouting, HiddenControlsDoNotRun)
{
    ConfigInfo config = AllItemsShown();
    config.m_ManualItemDisplay.bTrumpet = false;
    for (bool* flag : {&config.m_ManualItemDisplay.bUp, &config.m_ManualItemDisplay.bDown,
                       &config.m_ManualItemDisplay.bLeft, &config.m_ManualItemDisplay.bRight,
                       &config.m_ManualItemDisplay.bPTZReset})
        *flag = false;
    panel->SetConfig(config);

    Child<QPushButton>("m_TrumpetBtn")->click();
    Child<QPushButton>("m_BtnCall1")->click();   // gated on the PTZ pad: the record must still be freed
    Child<QSlider>("m_sldSpeed")->setValue(9);
    Child<QPushButton>("m_MicTestBtn")->click();
    Deliver();

    ASSERT_EQ(controller.calls.size(), 1u);
    EXPECT_EQ(controller.calls[0].item, EnumClass::MANUAL_MIC_TEST);
    EXPECT_TRUE(controller.presets.empty());
}

TEST_F(PanelRouting, ChannelAndSensorStepsStayOnThePanel)
{
    QSignalSpy spy(panel.get(), &RightBottomWidget::signalSwitchChannel);
    // Single-channel device: a channel step changes nothing and reaches nobody.
    PostVantrelEvent(&receiver, WM_MANUAL_TEST, EnumClass::MANUAL_SWITCH_CHANNEL, -1);
    // No second sensor: the sensor key does nothing.
    PostVantrelEvent(&receiver, WM_MANUAL_TEST, EnumClass::MANUAL_SWITCH_SENSOR, -1);
    Deliver();
    EXPECT_EQ(spy.count(), 0);
    EXPECT_TRUE(controller.calls.empty());

    panel->SetChannelInfo(0, 2, false);
    panel->ShowSensorSwitch(true);
    PostVantrelEvent(&receiver, WM_MANUAL_TEST, EnumClass::MANUAL_SWITCH_CHANNEL, -1);
    PostVantrelEvent(&receiver, WM_MANUAL_TEST, EnumClass::MANUAL_SWITCH_SENSOR, -1);
    Deliver();   // the sensor key posts item 30 with the new index, which goes on
    Deliver();
    ASSERT_EQ(spy.count(), 1);
    EXPECT_EQ(spy.at(0).at(0).toInt(), 1);
    ASSERT_EQ(controller.calls.size(), 1u);
    EXPECT_EQ(controller.calls[0].item, EnumClass::MANUAL_SWITCH_SENSOR);
    EXPECT_EQ(controller.calls[0].param, 1);
}

TEST_F(PanelRouting, PresetRecordHasOneOwnerOnEveryPath)
{
    // Each path below drops or delivers a preset event; the sanitizer build
    // reports a leak or a double free if any path gets the ownership wrong.
    Child<QPushButton>("m_BtnCall1")->click();
    panel->SetController(nullptr);                  // no controller: dropped
    Deliver();
    EXPECT_TRUE(controller.presets.empty());

    panel->SetController(&controller);
    Child<QPushButton>("m_BtnCall2")->click();      // taken by the controller
    Deliver();
    EXPECT_EQ(controller.presets.size(), 1u);

    receiver.router = nullptr;                      // a receiver that ignores the event
    Child<QPushButton>("m_BtnCall3")->click();
    Deliver();

    // An event that never reaches a handler: its receiver goes first.
    {
        RecordingReceiver gone;
        RightBottomWidget other(nullptr, &gone, 1920);
        other.UpdateItemVisibility();
        other.findChild<QPushButton*>("m_BtnCall1")->click();
    }

    // A second router pass over the same event finds no record to take twice.
    auto param = std::make_unique<PresetCallParam>();
    param->preset = 7;
    VantrelEvent event(WM_MANUAL_TEST, EnumClass::MANUAL_CALL_PRESET, 0, std::move(param));
    EXPECT_TRUE(panel->RouteManualTest(&event));
    EXPECT_EQ(event.Record<std::unique_ptr<PresetCallParam>>(), nullptr);
    EXPECT_TRUE(panel->RouteManualTest(&event));
    ASSERT_EQ(controller.presets.size(), 2u);
    EXPECT_EQ(controller.presets[1].preset, 7);

    // A bare 1022 for item 31 carries no record the router could trust.
    VantrelEvent bare(WM_MANUAL_TEST, EnumClass::MANUAL_CALL_PRESET, 0x1234);
    EXPECT_TRUE(panel->RouteManualTest(&bare));
    EXPECT_EQ(controller.presets.size(), 2u);
}

TEST_F(PanelRouting, OtherEventsAndUnknownItemsAreNotRouted)
{
    VantrelEvent other(WM_CONFIG_SAVED, 0, 0);
    EXPECT_FALSE(panel->RouteManualTest(&other));
    EXPECT_FALSE(panel->RouteManualTest(nullptr));
    for (qint64 item : {-1LL, 35LL, 1LL << 40}) {
        VantrelEvent unknown(WM_MANUAL_TEST, item, 0);
        EXPECT_TRUE(panel->RouteManualTest(&unknown));
    }
    EXPECT_TRUE(controller.calls.empty());
}

} // namespace
