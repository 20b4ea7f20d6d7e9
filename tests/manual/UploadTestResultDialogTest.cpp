// The manual result panel: Ctrl keys to boxes, the order's display list, ball
// mode, customised items, the record a commit hands back, and placement.
#include "UploadTestResultDialog.h"

#include "TempAppDir.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QCoreApplication>
#include <QGroupBox>
#include <QKeyEvent>
#include <QPushButton>
#include <QSignalSpy>

#include <cstring>
#include <memory>
#include <set>
#include <string>

namespace {

// Every fixed box: its Ctrl key (0: none), panel item number (0: second lens)
// and the byte offset of the record field it sets.
struct BoxCase {
    const char* name;
    int key;
    int item;
    size_t offset;
};

const BoxCase kBoxes[] = {
    {"chk_Video", Qt::Key_1, 1, 528},         {"chk_Video2", 0, 0, 984},
    {"chk_Trumpet", Qt::Key_2, 2, 900},       {"chk_Mic", Qt::Key_3, 3, 904},
    {"chk_AudioAlarmFile", Qt::Key_4, 4, 908}, {"chk_FillLight", Qt::Key_5, 5, 912},
    {"chk_FillLight2", 0, 0, 988},            {"chk_HumanAlarmIO", Qt::Key_6, 6, 916},
    {"chk_IRCutDay", Qt::Key_7, 7, 920},      {"chk_IRCutDay2", 0, 0, 992},
    {"chk_IRCutNight", Qt::Key_8, 8, 924},    {"chk_IRCutNight2", 0, 0, 996},
    {"chk_SyncTime", Qt::Key_A, 21, 948},     {"chk_RestoreFactory", Qt::Key_S, 22, 952},
    {"chk_FormatSDCard", Qt::Key_D, 23, 956}, {"chk_FocusAdd", Qt::Key_Q, 16, 960},
    {"chk_FocusSub", Qt::Key_W, 17, 964},     {"chk_ZoomAdd", Qt::Key_E, 18, 968},
    {"chk_ZoomSub", Qt::Key_R, 19, 972},      {"chk_AperAdd", Qt::Key_T, 14, 976},
    {"chk_AperSub", Qt::Key_Y, 15, 980},      {"chk_PresetCall", Qt::Key_U, 20, 1000},
    {"chk_PtzUp", Qt::Key_Up, 9, 928},        {"chk_PtzDown", Qt::Key_Down, 10, 932},
    {"chk_PtzLeft", Qt::Key_Left, 11, 936},   {"chk_PtzRight", Qt::Key_Right, 12, 940},
    {"chk_PtzReset", Qt::Key_0, 13, 944},
};

const char kAllItems[] = "1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17,18,19,20,21,22,23";

int32_t IntAt(const QByteArray& bytes, size_t offset)
{
    int32_t value = 0;
    std::memcpy(&value, bytes.constData() + offset, sizeof value);
    return value;
}

class ResultPanelTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        qRegisterMetaType<DevTestResult>();
        qRegisterMetaType<QVector<CustomizeItem>>();
        mainWindow.setGeometry(100, 100, 1200, 800);
        panel = std::make_unique<UploadTestResultDialog>(&mainWindow);
        QObject::connect(panel.get(), &UploadTestResultDialog::sig_SaveManualTestResult, panel.get(),
                         [this](const DevTestResult& record, const QVector<CustomizeItem>& items) {
                             committed = QByteArray(reinterpret_cast<const char*>(&record), sizeof record);
                             committedItems = items;
                             ++commits;
                         });
    }

    QCheckBox* Box(const char* name) const
    {
        auto* box = panel->findChild<QCheckBox*>(QString::fromLatin1(name));
        EXPECT_NE(box, nullptr) << name;
        return box;
    }

    void Press(int key, Qt::KeyboardModifiers mods, bool autoRepeat = false)
    {
        QKeyEvent press(QEvent::KeyPress, key, mods, QString(), autoRepeat);
        panel->keyPressEvent(&press);
    }

    void Show(const char* list, const QVector<CustomizeItem>& custom = {})
    {
        TestConfig config;
        config.upload_test_result_display = QString::fromLatin1(list);
        config.customize_test_items = custom;
        panel->SetManualTestItems(config);
    }

    QCheckBox* ByCaption(const QString& caption) const
    {
        for (QCheckBox* box : panel->findChildren<QCheckBox*>())
            if (box->text() == caption)
                return box;
        return nullptr;
    }

    QByteArray Commit()
    {
        panel->CommitManualTestResult();
        return committed;
    }

    TempAppDir appDir;
    QWidget mainWindow;
    std::unique_ptr<UploadTestResultDialog> panel;
    QByteArray committed;
    QVector<CustomizeItem> committedItems;
    int commits = 0;
};

TEST_F(ResultPanelTest, CtrlKeysToggleTheirBoxOnceEvenWhenHeld)
{
    for (const BoxCase& c : kBoxes) {
        if (!c.key)
            continue;
        QCheckBox* box = Box(c.name);
        Press(c.key, Qt::ControlModifier);
        EXPECT_TRUE(box->isChecked()) << c.name;
        // A held key repeats its press: the verdict stays as the first press left it.
        Press(c.key, Qt::ControlModifier, true);
        Press(c.key, Qt::ControlModifier, true);
        EXPECT_TRUE(box->isChecked()) << c.name;
        Press(c.key, Qt::ControlModifier | Qt::KeypadModifier);
        EXPECT_FALSE(box->isChecked()) << c.name;
        Press(c.key, Qt::NoModifier);
        EXPECT_FALSE(box->isChecked()) << c.name << " without Ctrl";
    }
    for (int key : {int(Qt::Key_9), int(Qt::Key_J), int(Qt::Key_K), int(Qt::Key_L), int(Qt::Key_M), int(Qt::Key_Z)})
        Press(key, Qt::ControlModifier);
    for (const BoxCase& c : kBoxes)
        EXPECT_FALSE(Box(c.name)->isChecked()) << c.name;
}

TEST_F(ResultPanelTest, CommitWritesEachShownBoxAtItsRecordOffset)
{
    Show(kAllItems);
    panel->SetBallCameraMode(true);   // all 27 boxes shown
    const std::set<std::string> ticked = {"chk_Video2", "chk_Mic", "chk_IRCutNight", "chk_PtzReset", "chk_PresetCall"};
    for (const BoxCase& c : kBoxes)
        Box(c.name)->setChecked(ticked.count(c.name) > 0);

    QByteArray record = Commit();
    ASSERT_EQ(record.size(), 1584);
    QByteArray rest = record;
    for (const BoxCase& c : kBoxes) {
        EXPECT_EQ(IntAt(record, c.offset), ticked.count(c.name) ? -1 : 1) << c.name;
        std::memset(rest.data() + c.offset, 0, 4);
    }
    EXPECT_EQ(rest, QByteArray(1584, '\0')) << "no other byte of the record is written";

    // Folding the group hides nothing of its own: the boxes still count as shown.
    panel->findChild<QPushButton*>("m_btn_ShowHide")->click();
    EXPECT_TRUE(panel->findChild<QGroupBox*>("m_group_ManualTestResult")->isHidden());
    EXPECT_EQ(Commit(), record);

    // Hidden boxes, ticked or not, leave their field 0; a tick made while hidden too.
    Show("2,9");
    Press(Qt::Key_1, Qt::ControlModifier);
    EXPECT_TRUE(Box("chk_Video")->isChecked());
    record = Commit();
    for (const BoxCase& c : kBoxes) {
        const bool shown = c.item == 2 || c.item == 9 || c.item == 0;   // second-lens boxes stay as they were
        EXPECT_EQ(IntAt(record, c.offset), shown ? 1 : 0) << c.name;
    }
}

TEST_F(ResultPanelTest, ABoxThatWasNeverOnScreenStillCommits)
{
    // The panel itself has not been shown: every numbered box is shown by its own state.
    const QByteArray record = Commit();
    for (const BoxCase& c : kBoxes)
        EXPECT_EQ(IntAt(record, c.offset), c.item ? 1 : 0) << c.name;
}

TEST_F(ResultPanelTest, TheOrdersListChoosesTheNumberedBoxes)
{
    struct ListCase {
        const char* list;
        std::set<int> shown;
    };
    const ListCase cases[] = {
        {"1,2,,24,x,9", {1, 2, 9}},
        {"", {}},
        {"0,23,23,-1", {23}},
        {kAllItems, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23}},
    };
    for (const ListCase& lc : cases) {
        Box("chk_Trumpet")->setChecked(true);
        Show(lc.list);
        EXPECT_FALSE(Box("chk_Trumpet")->isChecked()) << "an update clears the ticks";
        for (const BoxCase& c : kBoxes) {
            if (c.item) {
                EXPECT_EQ(!Box(c.name)->isHidden(), lc.shown.count(c.item) > 0) << lc.list << " " << c.name;
            }
        }
    }
    Show("");
    const QByteArray record = Commit();
    for (const BoxCase& c : kBoxes)
        EXPECT_EQ(IntAt(record, c.offset), 0) << c.name;
}

TEST_F(ResultPanelTest, BallModeShowsTheSecondLensOfListedPairsOnly)
{
    Show("1,7");
    panel->SetBallCameraMode(true);
    EXPECT_FALSE(Box("chk_Video2")->isHidden());
    EXPECT_FALSE(Box("chk_IRCutDay2")->isHidden());
    EXPECT_TRUE(Box("chk_FillLight2")->isHidden());
    EXPECT_TRUE(Box("chk_IRCutNight2")->isHidden());
    EXPECT_EQ(Box("chk_Video")->text(), QString("(Ball Video|[Ctrl+1])"));
    EXPECT_EQ(Box("chk_IRCutDay")->text(), QString("(Ball IRCutDay|[Ctrl+7])"));
    EXPECT_EQ(Box("chk_FillLight")->text(), QString("(FillLight|[Ctrl+5])"));

    panel->SetBallCameraMode(false);
    for (const char* second : {"chk_Video2", "chk_FillLight2", "chk_IRCutDay2", "chk_IRCutNight2"})
        EXPECT_TRUE(Box(second)->isHidden()) << second;
    EXPECT_EQ(Box("chk_Video")->text(), QString("(Video|[Ctrl+1])"));
    EXPECT_EQ(Box("chk_IRCutDay")->text(), QString("(IRCutDay|[Ctrl+7])"));
}

TEST_F(ResultPanelTest, EachCustomisedItemReadsItsOwnBox)
{
    // Marks name a fixed box and repeat: neither may make an entry read or
    // delete another entry's box.
    const QVector<CustomizeItem> items = {
        {1, "Logo", "chk_Video", 0}, {2, "Lamp A", "lamp", 0}, {3, "Lamp B", "lamp", 0}};
    Show("1", items);
    ASSERT_NE(ByCaption("Logo"), nullptr);
    ASSERT_NE(ByCaption("Lamp A"), nullptr);
    ASSERT_NE(ByCaption("Lamp B"), nullptr);
    EXPECT_EQ(ByCaption("Logo")->objectName(), QString("chk_Video"));
    EXPECT_EQ(ByCaption("Lamp B")->font().family(), QStringLiteral("宋体"));
    EXPECT_EQ(ByCaption("Lamp B")->font().pointSize(), 12);
    ByCaption("Lamp B")->setChecked(true);
    Box("chk_Video")->setChecked(true);   // the fixed one, found first by name

    QByteArray record = Commit();
    ASSERT_EQ(committedItems.size(), 3);
    EXPECT_EQ(committedItems[0].result, 1) << "Logo reads its own box, not chk_Video";
    EXPECT_EQ(committedItems[1].result, 1);
    EXPECT_EQ(committedItems[2].result, -1);
    EXPECT_EQ(IntAt(record, 528), -1);

    // A new list replaces the customised boxes only: the fixed box of the same name stays.
    QCheckBox* fixedVideo = Box("chk_Video");
    Show("1", {{4, "Strap", "strap", 0}});
    EXPECT_EQ(Box("chk_Video"), fixedVideo);
    EXPECT_EQ(panel->findChildren<QCheckBox*>().size(), 27 + 1);
    record = Commit();
    EXPECT_EQ(IntAt(record, 528), 1);
    ASSERT_EQ(committedItems.size(), 1);
    EXPECT_EQ(committedItems[0].result, 1);

    panel->findChild<QCheckBox*>("strap")->setChecked(true);
    panel->ClearAll();
    EXPECT_FALSE(panel->findChild<QCheckBox*>("strap")->isChecked());
}

TEST_F(ResultPanelTest, FirstPlacementLinesUpWithTheVideoWindowLaterOnesStayInside)
{
    QWidget video;
    video.setGeometry(400, 300, 640, 480);
    panel->SetVideoWindow(&video);
    panel->ShowOnTop(true);
    EXPECT_TRUE(panel->isVisible());
    EXPECT_TRUE(panel->windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_EQ(panel->pos(), QPoint(400, 300 - 27));
    const QSize size = panel->size();

    struct MoveCase {
        QPoint from;
        QPoint to;
    };
    const QRect main = mainWindow.geometry();
    const MoveCase cases[] = {
        {{main.right() - 10, 200}, {main.x() + main.width() - size.width(), 200}},
        {{main.x() - 50, 200}, {main.x(), 200}},
        {{300, main.bottom()}, {300, main.y() + main.height() - size.height()}},
        {{300, main.y() - 60}, {300, main.y() - 60}},   // the top edge is never corrected
    };
    for (const MoveCase& mc : cases) {
        panel->move(mc.from);
        panel->ShowOnTop(true);
        EXPECT_EQ(panel->pos(), mc.to) << mc.from.x() << "," << mc.from.y();
        EXPECT_EQ(panel->size(), size);
    }
    panel->move(5000, 5000);
    panel->ShowOnTop(false);
    EXPECT_EQ(panel->pos(), QPoint(5000, 5000));

    panel->SetFirstShow();
    panel->ShowOnTop(true);
    EXPECT_EQ(panel->pos(), QPoint(400, 300 - 27));
}

}  // namespace
