// The manual item display dialog: an order's display list to the 24 stored
// flags, Save and its failure, the close button, and refresh() to the owner.
#include "ManualTestItemDisplayDlg.h"

#include "ManualStoreFixture.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <set>

namespace {

const char* const kKeys[MANUAL_ITEM_DISPLAY_COUNT] = {
    "bTrumpet",  "bHumanAlarmIO", "bMicTest", "bAudioAlarm", "bDay",     "bNight",     "bWifiSignalTest",
    "bWifiTest", "bOpenWhiteLight", "bFunctionCodeTest", "bDevQRCodeCheck", "b4GTest", "bAperAdd", "bAperReduce",
    "bFocusAdd", "bFocusReduce", "bZoomAdd", "bZoomReduce", "bUp", "bDown", "bLeft", "bRight", "bPTZReset",
    "bPresetCall"};

const char* const kBoxes[MANUAL_ITEM_DISPLAY_COUNT] = {
    "cbk_Trumpet",   "cbk_HumanAlarm",  "cbk_Mic",       "cbk_AudioAlarm",     "cbk_Day",        "cbk_Night",
    "cbk_WIFISignalTest", "cbk_WIFITest", "cbk_OpenWhiteLight", "cbk_FuntionCode", "cbk_QRCodeCheck", "cbk_4GTestItem",
    "cbk_AperAdd",   "cbk_AperReduce",  "cbk_FocusAdd",  "cbk_FocusReduce",    "cbk_ZoomAdd",    "cbk_ZoomReduce",
    "cbk_Up",        "cbk_Down",        "cbk_Left",      "cbk_Right",          "cbk_PTZReset",   "cbk_PreserCall"};

// The settings file's display group with flags n (1..24) set, as the store writes it.
QByteArray DisplayGroupBytes(const std::set<int>& set)
{
    QMap<QString, QString> sorted;   // QSettings writes the keys of a group sorted
    for (int i = 0; i < MANUAL_ITEM_DISPLAY_COUNT; ++i)
        sorted.insert(kKeys[i], set.count(i + 1) ? "true" : "false");
    QByteArray bytes = "[MANUAL_TEST_ITEM_DISAPLAY]\n";
    for (auto it = sorted.cbegin(); it != sorted.cend(); ++it)
        bytes += it.key().toLatin1() + "=" + it.value().toLatin1() + "\n";
    return bytes;
}

// Stands in for the settings form: the dialog reaches its slot by name.
class SettingsForm : public QWidget {
    Q_OBJECT
public:
    int refreshes = 0;
public slots:
    void onRefreshManualTestItemUIEimtShot() { ++refreshes; }
};

class DisplayDialogTest : public ManualStoreTest {
protected:
    void SetUp() override
    {
        ManualStoreTest::SetUp();
        dialog = new ManualTestItemDisplayDlg(&form);
    }

    QCheckBox* Box(int i) const { return dialog->findChild<QCheckBox*>(kBoxes[i]); }
    QString Tips() const { return dialog->findChild<QLabel*>("lb_Tips")->text(); }
    QTimer* CloseTimer() const { return dialog->findChild<QTimer*>(); }

    SettingsForm form;
    ManualTestItemDisplayDlg* dialog = nullptr;   // owned by form
};

TEST_F(DisplayDialogTest, AnOrdersListStoresExactlyItsFlags)
{
    struct ListCase {
        const char* list;
        std::set<int> flags;
    };
    const ListCase cases[] = {
        {"1,3,24", {1, 3, 24}},
        {"", {}},
        {"0,25,text", {}},
        {"24,3,3,1", {1, 3, 24}},
        {"-1,12,,23", {12, 23}},
    };
    for (const ListCase& lc : cases) {
        QSignalSpy refresh(dialog, &ManualTestItemDisplayDlg::refresh);
        EXPECT_EQ(dialog->ApplyServerItemDisplay(lc.list), 0) << lc.list;
        EXPECT_EQ(refresh.count(), 1) << lc.list;
        EXPECT_TRUE(ConfigBytes().contains(DisplayGroupBytes(lc.flags))) << lc.list << "\n" << ConfigBytes().constData();
        ManualItemDisplayFlags stored;
        ASSERT_EQ(CConfigFile::GetInstance()->ReadManualTestItemDisplay(stored), 0);
        for (int i = 0; i < MANUAL_ITEM_DISPLAY_COUNT; ++i)
            EXPECT_EQ(stored.at(i), lc.flags.count(i + 1) > 0) << lc.list << " flag " << i + 1;
    }
    EXPECT_EQ(form.refreshes, 5);
}

TEST_F(DisplayDialogTest, BoxesFollowTheStoredFlagsAtTheNextOpening)
{
    Box(0)->setChecked(true);
    dialog->ApplyServerItemDisplay("2,19");
    EXPECT_TRUE(Box(0)->isChecked()) << "an order's list leaves the boxes alone";
    dialog->LoadFlags();
    for (int i = 0; i < MANUAL_ITEM_DISPLAY_COUNT; ++i)
        EXPECT_EQ(Box(i)->isChecked(), i == 1 || i == 18) << kBoxes[i];
}

TEST_F(DisplayDialogTest, SaveStoresTheBoxesAndClosesASecondLater)
{
    dialog->show();
    dialog->LoadFlags();
    Box(2)->setChecked(true);
    Box(23)->setChecked(true);
    QSignalSpy refresh(dialog, &ManualTestItemDisplayDlg::refresh);
    dialog->findChild<QPushButton*>("btn_Save")->click();
    EXPECT_TRUE(ConfigBytes().contains(DisplayGroupBytes({3, 24})));
    EXPECT_EQ(Tips(), QString("save succeed"));
    EXPECT_EQ(dialog->findChild<QLabel*>("lb_Tips")->palette().color(QPalette::Inactive, QPalette::WindowText),
              QColor(Qt::red));
    EXPECT_EQ(refresh.count(), 0) << "refresh() waits for the close";
    ASSERT_TRUE(CloseTimer()->isActive());
    EXPECT_EQ(CloseTimer()->interval(), 1000);
    EXPECT_TRUE(QTest::qWaitFor([this] { return !dialog->isVisible(); }, 10000));
    EXPECT_EQ(refresh.count(), 1);
    EXPECT_EQ(form.refreshes, 1);
    EXPECT_TRUE(Tips().isEmpty());
}

TEST_F(DisplayDialogTest, ASaveThatCannotBeWrittenSaysSoAndStaysOpen)
{
    dialog->show();
    dialog->LoadFlags();
    Box(5)->setChecked(true);
    BreakConfigFile();
    QSignalSpy refresh(dialog, &ManualTestItemDisplayDlg::refresh);
    dialog->findChild<QPushButton*>("btn_Save")->click();
    EXPECT_EQ(Tips(), QString("save failed"));
    EXPECT_FALSE(CloseTimer()->isActive());
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(refresh.count(), 0);
    EXPECT_EQ(dialog->ApplyServerItemDisplay("1"), -1) << "an order's list that was not stored is no success either";
}

TEST_F(DisplayDialogTest, TheCloseButtonStoresNothingAndTellsNobody)
{
    dialog->ApplyServerItemDisplay("4");
    const QByteArray before = ConfigBytes();
    dialog->show();
    dialog->LoadFlags();
    Box(10)->setChecked(true);
    QSignalSpy refresh(dialog, &ManualTestItemDisplayDlg::refresh);
    dialog->close();
    EXPECT_EQ(ConfigBytes(), before);
    EXPECT_EQ(refresh.count(), 0);
    dialog->show();
    dialog->LoadFlags();
    EXPECT_FALSE(Box(10)->isChecked());
    EXPECT_TRUE(Box(3)->isChecked());
}

TEST_F(DisplayDialogTest, FormAndWindow)
{
    EXPECT_EQ(dialog->windowTitle(), QString("Manual test item display settings"));
    // Fixed, 350 high and at least 500 wide: wider when the font needs it.
    EXPECT_EQ(dialog->minimumSize(), dialog->maximumSize());
    EXPECT_EQ(dialog->height(), 350);
    EXPECT_GE(dialog->width(), 500);
    EXPECT_FALSE(dialog->windowFlags() & Qt::WindowContextHelpButtonHint);
    const char* const captions[MANUAL_ITEM_DISPLAY_COUNT] = {
        "Trumpet", "Human Alarm IO", "Mic Test", "Audio Alarm Test", "Day", "Night", "Wifi Signal Test", "Wifi Test",
        "Open White light", "Function Code", "设备二维码校验", "4G测试项", "Aper+", "Aper-", "Focus+", "Focus-",
        "Zoom+", "Zoom-", "Up", "Down", "Left", "Right", "PTZ Reset", "PresetCall"};
    for (int i = 0; i < MANUAL_ITEM_DISPLAY_COUNT; ++i)
        EXPECT_EQ(Box(i)->text(), QString::fromUtf8(captions[i])) << kBoxes[i];
}

}  // namespace

#include "ManualTestItemDisplayDlgTest.moc"
