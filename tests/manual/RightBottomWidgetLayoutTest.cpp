#include "ManualPanelFixture.h"

#include "AppGlobals.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>

#include <map>
#include <set>
#include <string>

namespace {

struct Cell {
    int row, col, rowSpan, colSpan;
    bool operator==(const Cell& o) const
    {
        return row == o.row && col == o.col && rowSpan == o.rowSpan && colSpan == o.colSpan;
    }
};

std::ostream& operator<<(std::ostream& os, const Cell& c)
{
    return os << "(" << c.row << "," << c.col << " " << c.rowSpan << "x" << c.colSpan << ")";
}

// Every control that a display flag decides, by flag index.
const std::vector<std::vector<const char*>> kFlagControls = {
    {"m_TrumpetBtn"}, {"m_HumanAlarmIOBtn"}, {"m_MicTestBtn"}, {"m_AudioAlarmTestBtn"}, {"m_DayModelBtn"},
    {"m_NightModelBtn"}, {"m_WifiSignalTestBtn", "m_WifiSignalTestLb"}, {"m_WifiTestBtn"}, {"m_WhiteLightBtn"},
    {"m_FunctionCodeTestBtn", "m_FunctionCodeTestLb"}, {"m_QRCodeCheck"}, {"m_4GTest"}, {"m_AperAddBtn"},
    {"m_AperSubBtn"}, {"m_FocusAddBtn"}, {"m_FocusSubBtn"}, {"m_ZoomAddBtn"}, {"m_ZoomSubBtn"}, {"m_btnUp"},
    {"m_btnDown"}, {"m_btnLeft"}, {"m_btnRight"}, {"m_btnPtzReset"}, {"widget_Preset"},
};

const char* const kProfileControls[] = {
    "m_UploadAlarmFileBtn", "m_AperAddBtn", "m_AperSubBtn", "m_4GTest", "m_WifiTestBtn", "m_WifiSignalTestBtn",
    "m_WifiSignalTestLb", "m_SyncTimeBtn", "m_FormatBtn", "m_AudioAlarmTestBtn", "m_ptzWidget", "m_ptzFocusWidget",
    "widget_Preset", "m_PrintQRCodeBtn", "m_QRCodeCheck", "m_TrumpetBtn", "m_RestoreFactoryBtn",
};

ConfigInfo FlagsAll(bool value)
{
    ConfigInfo config;
    for (int i = 0; i < MANUAL_ITEM_DISPLAY_COUNT; ++i)
        config.m_ManualItemDisplay.at(i) = value;
    return config;
}

// A panel of a given desktop width, test type and login state.
class LayoutTest : public ManualPanelTest {
protected:
    explicit LayoutTest(int width = 1920) : ManualPanelTest(width) {}

    void SetUp() override
    {
        CurrentTestType = 9;   // no test-type profile unless a test sets one
        LoggedIn = true;
        ManualPanelTest::SetUp();
    }
    void TearDown() override
    {
        CurrentTestType = 0;
        LoggedIn = false;
    }

    void Apply(const ConfigInfo& config, int testType)
    {
        CurrentTestType = testType;
        panel->SetConfig(config);
    }

    bool Hidden(const char* name) const { return Child<QWidget>(name)->isHidden(); }

    Cell CellOf(QWidget* container, const char* name) const
    {
        auto* grid = qobject_cast<QGridLayout*>(container->layout());
        EXPECT_NE(grid, nullptr);
        if (!grid)
            return {-1, -1, 0, 0};
        const int index = grid->indexOf(Child<QWidget>(name));
        if (index < 0)
            return {-1, -1, 0, 0};
        Cell c{};
        grid->getItemPosition(index, &c.row, &c.col, &c.rowSpan, &c.colSpan);
        return c;
    }

    void ExpectCells(const char* containerName, const std::map<std::string, Cell>& cells) const
    {
        QWidget* container = Child<QWidget>(containerName);
        for (const auto& [name, cell] : cells)
            EXPECT_EQ(CellOf(container, name.c_str()), cell) << containerName << " " << name;
    }
};

TEST_F(LayoutTest, EachDisplayFlagHidesExactlyItsControls)
{
    for (size_t flag = 0; flag < kFlagControls.size(); ++flag) {
        SCOPED_TRACE(ManualItemDisplayFlags::KeyName(int(flag)));
        ConfigInfo config = FlagsAll(true);
        config.m_ManualItemDisplay.at(int(flag)) = false;
        Apply(config, 9);
        for (size_t other = 0; other < kFlagControls.size(); ++other)
            for (const char* name : kFlagControls[other])
                EXPECT_EQ(Hidden(name), other == flag) << name;
        EXPECT_FALSE(Hidden("m_ptzWidget"));
        EXPECT_FALSE(Hidden("m_ptzFocusWidget"));
    }
}

TEST_F(LayoutTest, PtzContainersFollowTheirOwnFlagsOnly)
{
    ConfigInfo config = FlagsAll(false);
    Apply(config, 9);
    EXPECT_TRUE(Hidden("m_ptzWidget"));
    EXPECT_TRUE(Hidden("m_ptzFocusWidget"));
    EXPECT_FALSE(panel->IsPtzVisible());
    // The always-shown device-setting items do not depend on any flag.
    for (const char* name : {"m_UploadAlarmFileBtn", "m_SyncTimeBtn", "m_RestoreFactoryBtn", "m_FormatBtn",
                             "m_PrintQRCodeBtn", "m_lbRestoryFactory", "m_lbFormat", "m_lbSDCardInfo",
                             "m_lbSDCardSpace"})
        EXPECT_FALSE(Hidden(name)) << name;

    config.m_ManualItemDisplay.bPTZReset = true;
    Apply(config, 9);
    EXPECT_TRUE(panel->IsPtzVisible());
    EXPECT_TRUE(Hidden("m_ptzFocusWidget"));

    config = FlagsAll(true);
    for (bool* f : {&config.m_ManualItemDisplay.bFocusAdd, &config.m_ManualItemDisplay.bFocusReduce,
                    &config.m_ManualItemDisplay.bZoomAdd, &config.m_ManualItemDisplay.bZoomReduce})
        *f = false;
    Apply(config, 9);
    EXPECT_TRUE(Hidden("m_ptzFocusWidget"));
    EXPECT_TRUE(panel->IsPtzVisible());

    config.m_ManualItemDisplay.bZoomReduce = true;
    Apply(config, 9);
    EXPECT_FALSE(Hidden("m_ptzFocusWidget"));
}

struct ProfileCase {
    int type;
    const char* caption;
    std::set<std::string> hidden;
};

TEST_F(LayoutTest, TestTypeProfilesHideOverTheFlags)
{
    const ProfileCase cases[] = {
        {0, "Warn Light Test", {"m_UploadAlarmFileBtn", "m_AperAddBtn", "m_AperSubBtn", "m_4GTest"}},
        {1, "Warn Light Test", {"m_UploadAlarmFileBtn", "m_AperAddBtn", "m_AperSubBtn", "m_WifiTestBtn",
                                "m_WifiSignalTestBtn", "m_WifiSignalTestLb", "m_4GTest"}},
        {2, "Warn Light Test", {"m_UploadAlarmFileBtn", "m_AperAddBtn", "m_AperSubBtn", "m_WifiTestBtn",
                                "m_WifiSignalTestBtn", "m_WifiSignalTestLb"}},
        {3, "Alram IO Test", {"m_SyncTimeBtn", "m_AperAddBtn", "m_AperSubBtn", "m_WifiTestBtn",
                              "m_WifiSignalTestBtn", "m_WifiSignalTestLb", "m_FormatBtn", "m_4GTest"}},
        {4, "Alram IO Test", {"m_WifiTestBtn", "m_SyncTimeBtn", "m_AudioAlarmTestBtn", "m_UploadAlarmFileBtn",
                              "m_AperAddBtn", "m_AperSubBtn", "m_WifiSignalTestBtn", "m_WifiSignalTestLb",
                              "m_ptzWidget", "m_ptzFocusWidget", "widget_Preset", "m_FormatBtn",
                              "m_PrintQRCodeBtn", "m_QRCodeCheck", "m_4GTest"}},
        {9, "Alram IO Test", {}},    // unknown type: caption as the previous pass left it
        {-1, "Alram IO Test", {}},
        {2, "Warn Light Test", {"m_UploadAlarmFileBtn", "m_AperAddBtn", "m_AperSubBtn", "m_WifiTestBtn",
                                "m_WifiSignalTestBtn", "m_WifiSignalTestLb"}},
    };
    // Run in order: a control hidden by one type comes back with the next.
    for (const ProfileCase& c : cases) {
        SCOPED_TRACE(c.type);
        Apply(FlagsAll(true), c.type);
        EXPECT_EQ(Child<QPushButton>("m_HumanAlarmIOBtn")->text(), QString::fromLatin1(c.caption));
        for (const char* name : kProfileControls)
            EXPECT_EQ(Hidden(name), c.hidden.count(name) == 1) << name;
    }
}

TEST_F(LayoutTest, UnknownTestTypeKeepsTheFormCaption)
{
    Apply(FlagsAll(true), 7);
    EXPECT_EQ(Child<QPushButton>("m_HumanAlarmIOBtn")->text(), "Human Alarm IO");
}

TEST_F(LayoutTest, QueriesOfTestType4)
{
    Apply(FlagsAll(true), 4);
    EXPECT_FALSE(panel->IsPtzVisible());
    EXPECT_FALSE(panel->IsFormatVisible());
    EXPECT_FALSE(panel->IsPrintQRCodeVisible());
    EXPECT_FALSE(panel->IsQRCodeCheckVisible());
    EXPECT_FALSE(panel->Is4GTestVisible());
    EXPECT_FALSE(panel->IsSyncTimeVisible());
    EXPECT_TRUE(panel->IsTrumpetVisible());
    EXPECT_TRUE(panel->IsRestoreFactoryVisible());
    EXPECT_TRUE(panel->IsFocusAddVisible());   // its container is hidden, the button is not
}

TEST_F(LayoutTest, TestType0ClearsResultLabelsOnEveryPass)
{
    Apply(FlagsAll(true), 1);
    panel->SetWifiSignalResult("good", true);
    panel->SetSDCardInfo("card capacity:32GB", "card space:30GB");
    panel->UpdateItemVisibility();
    EXPECT_EQ(Child<QLabel>("m_WifiSignalTestLb")->text(), "good");
    CurrentTestType = 0;
    panel->UpdateItemVisibility();
    for (const char* name : {"m_WifiSignalTestLb", "m_FunctionCodeTestLb", "m_lbRestoryFactory", "m_lbFormat",
                             "m_lbSDCardInfo", "m_lbSDCardSpace"})
        EXPECT_TRUE(Child<QLabel>(name)->text().isEmpty()) << name;
}

TEST_F(LayoutTest, PresetCombosAreRefilledOnEveryPass)
{
    for (int pass = 0; pass < 3; ++pass) {
        Child<QComboBox>("m_CmbPreset1")->setCurrentText("3");
        Child<QComboBox>("m_CmbPresetAction3")->setCurrentIndex(0);
        Apply(FlagsAll(true), pass);
        for (const char* name : {"m_CmbPreset1", "m_CmbPreset2", "m_CmbPreset3"}) {
            auto* combo = Child<QComboBox>(name);
            ASSERT_EQ(combo->count(), 256) << name;
            EXPECT_EQ(combo->itemText(0), "0");
            EXPECT_EQ(combo->itemText(255), "255");
            EXPECT_EQ(combo->currentText(), "104");
        }
        const char* actions[] = {"m_CmbPresetAction1", "m_CmbPresetAction2", "m_CmbPresetAction3"};
        for (int row = 0; row < 3; ++row) {
            auto* combo = Child<QComboBox>(actions[row]);
            ASSERT_EQ(combo->count(), 3);
            EXPECT_EQ(combo->currentIndex(), row);
            EXPECT_EQ(combo->itemText(1), "Increase");
        }
    }
}

TEST_F(LayoutTest, BindButtonFollowsTheLoginState)
{
    LoggedIn = false;
    Apply(FlagsAll(true), 0);
    EXPECT_FALSE(panel->IsBindDevVisible());
    // It keeps its cell, so logging in shows it in place.
    EXPECT_GE(CellOf(Child<QWidget>("m_ManualSetItemGBox"), "m_btnBindDev").row, 0);
    panel->ShowBindDevButton(true);
    EXPECT_TRUE(panel->IsBindDevVisible());
    LoggedIn = true;
    panel->UpdateItemVisibility();
    EXPECT_TRUE(panel->IsBindDevVisible());
    panel->ShowBindDevButton(false);
    EXPECT_FALSE(panel->IsBindDevVisible());
}

TEST_F(LayoutTest, ChannelControlsGetACellWhenATwoChannelDeviceArrives)
{
    Apply(FlagsAll(true), 0);
    QWidget* tab = Child<QWidget>("tab_ManualTestItem");
    // The first pass places the never-hidden channel controls, then hides them.
    EXPECT_TRUE(Hidden("m_btnSwitchChannel"));
    EXPECT_EQ(CellOf(tab, "m_btnSwitchChannel"), (Cell{0, 1, 1, 1}));
    // A single-channel device gives the empty cells back.
    panel->SetChannelInfo(0, 1, false);
    EXPECT_LT(CellOf(tab, "m_btnSwitchChannel").row, 0);
    EXPECT_EQ(CellOf(tab, "m_WifiTestBtn"), (Cell{0, 1, 1, 1}));

    panel->SetChannelInfo(0, 2, true);
    EXPECT_FALSE(Hidden("m_btnSwitchChannel"));
    EXPECT_EQ(CellOf(tab, "m_btnSwitchChannel"), (Cell{0, 1, 1, 1}));
    EXPECT_EQ(CellOf(tab, "m_lbCurChannelInfo"), (Cell{1, 1, 1, 1}));
    // The operator's preset choice survives the new cells.
    EXPECT_EQ(Child<QComboBox>("m_CmbPresetAction1")->count(), 3);

    panel->SetChannelInfo(0, 1, false);
    EXPECT_TRUE(Hidden("m_btnSwitchChannel"));
    EXPECT_LT(CellOf(tab, "m_btnSwitchChannel").row, 0);
    panel->UpdateItemVisibility();
    EXPECT_TRUE(Hidden("m_btnSwitchChannel"));
}

// ---- grids at the three desktop widths -----------------------------------

class NarrowLayout : public LayoutTest {
protected:
    NarrowLayout() : LayoutTest(1599) {}
};
class EdgeLayout : public LayoutTest {
protected:
    EdgeLayout() : LayoutTest(1600) {}
};
using WideLayout = LayoutTest;

// Every item shown, test type outside 0..4, single-channel device.
void ShowEverything(RightBottomWidget* panel)
{
    panel->SetChannelInfo(0, 1, false);
    panel->ShowSensorSwitch(true);
    CurrentTestType = 9;
    panel->SetConfig(FlagsAll(true));
}

const std::map<std::string, Cell> kWideTestCells = {
    {"m_TrumpetBtn", {0, 0, 1, 1}}, {"m_MicTestBtn", {1, 0, 1, 1}}, {"m_AudioAlarmTestBtn", {2, 0, 1, 1}},
    {"m_WhiteLightBtn", {3, 0, 1, 1}}, {"m_HumanAlarmIOBtn", {4, 0, 1, 1}}, {"m_DayModelBtn", {5, 0, 1, 1}},
    {"m_NightModelBtn", {6, 0, 1, 1}}, {"m_WifiTestBtn", {0, 1, 1, 1}}, {"m_WifiSignalTestBtn", {1, 1, 1, 1}},
    {"m_WifiSignalTestLb", {2, 1, 1, 1}}, {"m_FunctionCodeTestBtn", {3, 1, 1, 1}},
    {"m_FunctionCodeTestLb", {4, 1, 1, 1}}, {"m_QRCodeCheck", {5, 1, 1, 1}}, {"m_4GTest", {6, 1, 1, 1}},
    {"widget_Preset", {0, 2, 3, 2}}, {"m_AperAddBtn", {3, 2, 1, 1}}, {"m_AperSubBtn", {4, 2, 1, 1}},
    {"m_ptzFocusWidget", {0, 4, 2, 2}}, {"m_ptzWidget", {2, 4, 4, 2}},
};

const std::map<std::string, Cell> kWideSetCells = {
    {"m_UploadAlarmFileBtn", {0, 0, 1, 1}}, {"m_SyncTimeBtn", {1, 0, 1, 1}}, {"m_RestoreFactoryBtn", {2, 0, 1, 1}},
    {"m_lbRestoryFactory", {3, 0, 1, 1}}, {"m_FormatBtn", {4, 0, 1, 1}}, {"m_PrintQRCodeBtn", {5, 0, 1, 1}},
    {"m_lbFormat", {0, 1, 1, 1}}, {"m_lbSDCardInfo", {1, 1, 1, 1}}, {"m_lbSDCardSpace", {2, 1, 1, 1}},
    {"m_btnBindDev", {3, 1, 1, 1}}, {"m_btnSwitchSensor", {4, 1, 1, 1}}, {"m_lbSwitchSensor", {5, 1, 1, 1}},
};

void ExpectStretch(QWidget* container, int row, int col)
{
    auto* grid = qobject_cast<QGridLayout*>(container->layout());
    ASSERT_NE(grid, nullptr);
    EXPECT_EQ(grid->rowStretch(row), 1) << qPrintable(container->objectName());
    EXPECT_EQ(grid->columnStretch(col), 1) << qPrintable(container->objectName());
}

TEST_F(WideLayout, PtzItemsFollowOnTheFirstTab)
{
    EXPECT_EQ(Child<QTabWidget>("tabWidget")->count(), 1);
    ShowEverything(panel.get());
    ExpectCells("tab_ManualTestItem", kWideTestCells);
    ExpectCells("m_ManualSetItemGBox", kWideSetCells);
    ExpectStretch(Child<QWidget>("tab_ManualTestItem"), 7, 6);
    ExpectStretch(Child<QWidget>("m_ManualSetItemGBox"), 7, 2);
    EXPECT_EQ(Child<QWidget>("m_ptzWidget")->parentWidget(), Child<QWidget>("tab_ManualTestItem"));
}

// The queries answer from the rules at once, also on a panel already on screen:
// moving a shown control into the first tab must not leave it hidden until the
// event loop runs again.
TEST_F(WideLayout, QueriesHoldRightAfterAPassOnAShownPanel)
{
    panel->resize(1900, 400);
    panel->show();
    CurrentTestType = 4;   // the PTZ controls stay out of the first pass
    panel->SetConfig(FlagsAll(true));
    EXPECT_FALSE(panel->IsPtzVisible());
    for (int type : {9, 4, 9}) {
        SCOPED_TRACE(type);
        CurrentTestType = type;
        panel->UpdateItemVisibility();
        EXPECT_EQ(panel->IsPtzVisible(), type != 4);
        EXPECT_EQ(panel->IsAperAddVisible(), type != 4);
        EXPECT_EQ(panel->IsAperSubVisible(), type != 4);
        EXPECT_EQ(Hidden("m_ptzFocusWidget"), type == 4);
        EXPECT_EQ(Hidden("widget_Preset"), type == 4);
    }
}

TEST_F(EdgeLayout, ExactlySixteenHundredIsWide)
{
    EXPECT_EQ(Child<QTabWidget>("tabWidget")->count(), 1);
    ShowEverything(panel.get());
    ExpectCells("tab_ManualTestItem", kWideTestCells);
    ExpectCells("m_ManualSetItemGBox", kWideSetCells);
}

TEST_F(NarrowLayout, PtzItemsGetTheirOwnTab)
{
    auto* tabs = Child<QTabWidget>("tabWidget");
    ASSERT_EQ(tabs->count(), 2);
    EXPECT_EQ(tabs->currentIndex(), 0);
    ShowEverything(panel.get());
    ExpectCells("tab_ManualTestItem",
                {{"m_TrumpetBtn", {0, 0, 1, 1}}, {"m_HumanAlarmIOBtn", {4, 0, 1, 1}},
                 {"m_DayModelBtn", {0, 1, 1, 1}}, {"m_NightModelBtn", {1, 1, 1, 1}},
                 {"m_WifiTestBtn", {2, 1, 1, 1}}, {"m_WifiSignalTestLb", {4, 1, 1, 1}},
                 {"m_FunctionCodeTestBtn", {0, 2, 1, 1}}, {"m_4GTest", {3, 2, 1, 1}}});
    ExpectStretch(Child<QWidget>("tab_ManualTestItem"), 5, 4);
    ExpectCells("tab_ManualTestPTZItem",
                {{"widget_Preset", {0, 0, 3, 4}}, {"m_AperAddBtn", {3, 0, 1, 1}}, {"m_AperSubBtn", {4, 0, 1, 1}},
                 {"m_ptzFocusWidget", {0, 4, 2, 2}}, {"m_ptzWidget", {0, 6, 4, 3}}});
    ExpectStretch(Child<QWidget>("tab_ManualTestPTZItem"), 5, 9);
    ExpectCells("m_ManualSetItemGBox",
                {{"m_UploadAlarmFileBtn", {0, 0, 1, 1}}, {"m_SyncTimeBtn", {1, 0, 1, 1}},
                 {"m_RestoreFactoryBtn", {2, 0, 1, 1}}, {"m_lbRestoryFactory", {3, 0, 1, 1}},
                 {"m_FormatBtn", {0, 1, 1, 1}}, {"m_lbSDCardSpace", {0, 2, 1, 1}},
                 {"m_lbSwitchSensor", {3, 2, 1, 1}}});
}

TEST_F(NarrowLayout, HiddenItemsMoveNothing)
{
    // Without the presets and apertures the focus block opens the PTZ tab and the
    // direction pad fits under it.
    ConfigInfo config = FlagsAll(true);
    config.m_ManualItemDisplay.bPresetCall = false;
    config.m_ManualItemDisplay.bAperAdd = false;
    config.m_ManualItemDisplay.bAperReduce = false;
    config.m_ManualItemDisplay.bMicTest = false;
    panel->SetChannelInfo(0, 1, false);
    Apply(config, 9);
    ExpectCells("tab_ManualTestPTZItem", {{"m_ptzFocusWidget", {0, 0, 2, 2}}, {"m_ptzWidget", {0, 4, 4, 3}}});
    ExpectCells("tab_ManualTestItem", {{"m_HumanAlarmIOBtn", {3, 0, 1, 1}}, {"m_DayModelBtn", {4, 0, 1, 1}},
                                       {"m_NightModelBtn", {0, 1, 1, 1}}});
}

TEST_F(NarrowLayout, PanelAreasShareTheWidthTwoThreeTwo)
{
    ShowEverything(panel.get());
    auto* box = panel->layout();
    ASSERT_NE(box, nullptr);
    ASSERT_EQ(box->count(), 3);
    EXPECT_EQ(box->itemAt(0)->widget(), Child<QWidget>("m_AutoTestGBox"));
    EXPECT_EQ(box->itemAt(1)->widget(), Child<QWidget>("tabWidget"));
    EXPECT_EQ(box->itemAt(2)->widget(), Child<QWidget>("m_ManualSetItemGBox"));
    auto* hbox = qobject_cast<QBoxLayout*>(box);
    ASSERT_NE(hbox, nullptr);
    EXPECT_EQ(hbox->stretch(0), 2);
    EXPECT_EQ(hbox->stretch(1), 3);
    EXPECT_EQ(hbox->stretch(2), 2);
}

} // namespace
