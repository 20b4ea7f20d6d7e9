// The searched-device table on the simulated LAN: the search and its logins,
// the address range, an invalid cloud ID, a double click making the row's
// device the one under test, rows whose device the controller dropped,
// disabling, and searches abandoned while they run.
#include "CDeviceManagement.h"
#include "LeftTopWidgetTestPeer.h"

#include "ControllerFixture.h"
#include "LanProfiles.h"
#include "SdkEventRouter.h"
#include "SdkTestSupport.h"

#include "BoxRecorder.h"
#include "LeftBottomWidget.h"
#include "SdkCallLog.h"
#include "sim/SimLan.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTableView>

#include <cstring>
#include <mutex>

TempAppDir* ControllerTest::s_dir = nullptr;

namespace {

// A camera with the cloud ID "C-" + serial; extra: more JSON members, with a leading comma.
QByteArray CloudCamera(const char* serial, const char* address, const QByteArray& extra = QByteArray())
{
    return Camera(serial, address, ", \"cloudId\": \"C-" + QByteArray(serial) + "\"" + extra);
}

int CallCount(const char* function)
{
    return SdkCallLog::Instance().CallsOf(QString::fromLatin1(function)).size();
}

// Counts the events of one code that reach a watched object.
class EventCounter : public QObject {
public:
    EventCounter(QObject* watched, int code)
        : m_code(code)
    {
        watched->installEventFilter(this);
    }
    int count = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Type(m_code))
            ++count;
        return false;
    }

private:
    int m_code;
};

class DevTableTest : public ControllerTest {
protected:
    void SetUp() override
    {
        ControllerTest::SetUp();
        HostAdapters::ClearOverride();
        WriteSettings([](ConfigInfo&) {});
    }

    void TearDown() override
    {
        panel.reset();
        router.Detach();
        host.controller = nullptr;
        host.infoPanel = nullptr;
        ControllerTest::TearDown();
        FC_Loc_Cleanup();
        SimLan::Instance().Reset();
    }

    // The settings the controller and the panel copy when they are made.
    static void WriteSettings(const std::function<void(ConfigInfo&)>& change)
    {
        ConfigInfo info;
        CConfigFile::GetInstance()->GetConfigInfo(info);
        info.m_IpSection = {false, "", ""};
        info.m_SystemConfig.iSingleFixedIPTestMode = 0;
        change(info);
        ASSERT_EQ(CConfigFile::GetInstance()->SaveAll(info), 0);
    }

    // Loads the LAN, makes the controller on it, routes the SDK's events to it
    // and makes the panel with the fake main window as owner.
    void Start(const QByteArray& profile)
    {
        ASSERT_EQ(LoadSimLan(profile), QString());
        Make();
        router.Attach(widget.get());
        panel = std::make_unique<CDeviceManagement>(&host);
        panel->resize(532, 427);
        panel->ResizeLayout();
        SdkCallLog::Instance().Clear();
    }

    QStandardItemModel* Model() const
    {
        return qobject_cast<QStandardItemModel*>(panel->findChild<QTableView*>("m_SearchDevTableView")->model());
    }

    // Each row as "IP|SN|Cloud ID".
    QStringList Rows() const
    {
        QStringList rows;
        QStandardItemModel* model = Model();
        for (int row = 0; row < model->rowCount(); ++row)
            rows << model->item(row, 0)->text() + "|" + model->item(row, 1)->text() + "|" + model->item(row, 2)->text();
        return rows;
    }

    void ClickSearch() { panel->findChild<QPushButton*>("m_SearchDevBtn")->click(); }

    // A click and the two steps after it, 3000 ms on the panel's timers.
    void Search()
    {
        ClickSearch();
        ASSERT_TRUE(panel->IsBusy());
        ASSERT_TRUE(WaitFor([this] { return !panel->IsBusy(); }, 20000));
    }

    // Waits until every listed device's login has been answered.
    bool LoginsAnswered()
    {
        return WaitFor([this] {
            std::lock_guard<ListLock> guard(Lists(*widget).m_lockSearch);
            for (const DevInfo& dev : Lists(*widget).m_vecSearchDevsInfo) {
                if (dev.lUserID > 0 && dev.lLoginStatus == 0)
                    return false;
            }
            return true;
        });
    }

    void DoubleClick(int row)
    {
        QTableView* view = panel->findChild<QTableView*>("m_SearchDevTableView");
        emit view->doubleClicked(Model()->index(row, 0));
    }

    QString CurrentSerial() const
    {
        const DevInfo current = widget->Lists().CurrentDevice();
        return QString::fromLatin1(current.ipcEntry.ipc_sn, int(strnlen(current.ipcEntry.ipc_sn, 32)));
    }

    SdkEventRouter router;
    std::unique_ptr<CDeviceManagement> panel;
};

TEST_F(DevTableTest, ASearchListsTheCamerasInRangeWithTheirCloudIds)
{
    WriteSettings([](ConfigInfo& c) { c.m_IpSection = {true, "127.0.0.20", "127.0.0.30"}; });
    Start(Profile({CloudCamera("VTT0000000000001", "127.0.0.21"),
                   CloudCamera("VTT0000000000002", "127.0.0.30", ", \"cloudIdValid\": false"),
                   CloudCamera("VTT0000000000003", "127.0.0.31"), CloudCamera("VTT0000000000004", "127.0.0.19")}));
    LeftBottomWidget info;
    info.SetSN("VTOLD");
    host.infoPanel = &info;

    Search();
    EXPECT_EQ(Rows(), (QStringList{"127.0.0.21|VTT0000000000001|C-VTT0000000000001",
                                   "127.0.0.30|VTT0000000000002|"}));
    EXPECT_EQ(CallCount("FC_Loc_StartSearchIPC"), 1);
    EXPECT_EQ(CallCount("FC_Loc_StopSearchIPC"), 1);
    EXPECT_EQ(CallCount("FC_Loc_Login"), 2) << "devices out of range are not logged in";
    ASSERT_TRUE(LoginsAnswered());
    EXPECT_EQ(SimLan::Instance().LiveSessions(), 2);
    EXPECT_EQ(info.findChild<QLineEdit*>("m_SNlineEdit")->text(), "") << "the information panel's device fields are cleared";
    const QString shots = qEnvironmentVariable("STATION_SCREENSHOT_DIR");
    if (!shots.isEmpty()) {
        panel->show();
        QCoreApplication::processEvents();
        EXPECT_TRUE(panel->grab().save(shots + "/device_table.png"));
    }

    // A second click while busy is ignored; a new search logs the old rows out first.
    ClickSearch();
    ClickSearch();
    EXPECT_EQ(CallCount("FC_Loc_StartSearchIPC"), 2);
    EXPECT_EQ(SimLan::Instance().LiveSessions(), 0);
    EXPECT_TRUE(Rows().isEmpty());
    ASSERT_TRUE(WaitFor([this] { return !panel->IsBusy(); }, 20000));
    EXPECT_EQ(Rows().size(), 2);
}

TEST_F(DevTableTest, WithoutARangeEveryCameraIsListedAndAnEmptyLanLeavesThePanelIdle)
{
    Start(Profile({CloudCamera("VTT0000000000011", "127.0.0.21"), CloudCamera("VTT0000000000012", "127.0.0.99")}));
    Search();
    EXPECT_EQ(Rows().size(), 2);

    SimLan::Instance().Reset();
    ASSERT_EQ(LoadSimLan(Profile({})), QString());
    Search();
    EXPECT_TRUE(Rows().isEmpty());
    EXPECT_FALSE(panel->IsBusy());
}

TEST_F(DevTableTest, ADoubleClickMakesTheRowsDeviceTheOneUnderTest)
{
    Start(Profile({CloudCamera("VTT0000000000021", "127.0.0.21"),
                   CloudCamera("VTT0000000000022", "127.0.0.22", ", \"faults\": {\"refuseLogin\": true}")}));
    EventCounter begins(widget.get(), WM_BEGIN_AUTO_TEST);
    Search();
    ASSERT_TRUE(LoginsAnswered());
    ASSERT_EQ(Rows().size(), 2);
    const int logged = Rows()[0].contains("VTT0000000000021") ? 0 : 1;

    // Not logged in: nothing happens.
    DoubleClick(1 - logged);
    QCoreApplication::sendPostedEvents(widget.get());
    EXPECT_EQ(begins.count, 0);
    EXPECT_EQ(CurrentSerial(), "");

    // The alarm file the run needs is missing: the controller's box, nothing more.
    {
        BoxRecorder boxes;
        auto* alarm = widget->findChild<QCheckBox*>("check_AutoUploadAudioWarnFile");
        alarm->setChecked(true);
        DoubleClick(logged);
        alarm->setChecked(false);
        EXPECT_EQ(boxes.texts, QStringList{"Error|please select audio alarm file"});
    }
    QCoreApplication::sendPostedEvents(widget.get());
    EXPECT_EQ(begins.count, 0);
    EXPECT_EQ(CurrentSerial(), "");

    ClearEvents();
    DoubleClick(logged);
    QCoreApplication::sendPostedEvents(widget.get());
    EXPECT_EQ(begins.count, 1);
    EXPECT_EQ(CurrentSerial(), "VTT0000000000021");
    EXPECT_EQ(widget->Lists().CurrentDevice().lLoginStatus, 1);
    EXPECT_GT(widget->Lists().CurrentLoginHandle(), 0);
    QCoreApplication::sendPostedEvents(&host);
    EXPECT_NE(std::find(EventCodes().begin(), EventCodes().end(), int(WM_RESET_UI)), EventCodes().end());

    // The controller rebuilt its list meanwhile: the row's device is gone.
    widget->Lists().ClearCurrentDevice();
    {
        std::lock_guard<ListLock> guard(Lists(*widget).m_lockSearch);
        Lists(*widget).m_vecSearchDevsInfo.clear();
    }
    DoubleClick(logged);
    QCoreApplication::sendPostedEvents(widget.get());
    EXPECT_EQ(begins.count, 1);
    EXPECT_EQ(CurrentSerial(), "");
}

TEST_F(DevTableTest, DisablingLogsOutEveryListedDeviceAndLeavesNoRows)
{
    Start(Profile({CloudCamera("VTT0000000000031", "127.0.0.21"), CloudCamera("VTT0000000000032", "127.0.0.22")}));
    Search();
    ASSERT_TRUE(LoginsAnswered());
    ASSERT_EQ(SimLan::Instance().LiveSessions(), 2);

    panel->SetEnabled(false);
    EXPECT_TRUE(Rows().isEmpty());
    EXPECT_EQ(SimLan::Instance().LiveSessions(), 0);
    EXPECT_EQ(CallCount("FC_Loc_Logout"), 2);
    EXPECT_FALSE(panel->findChild<QPushButton*>("m_SearchDevBtn")->isEnabled());
    EXPECT_FALSE(panel->findChild<QTableView*>("m_SearchDevTableView")->isEnabled());

    panel->SetEnabled(true);
    EXPECT_TRUE(panel->findChild<QPushButton*>("m_SearchDevBtn")->isEnabled());
}

TEST_F(DevTableTest, AnAbandonedSearchNeitherLogsInNorFillsTheTable)
{
    Start(Profile({CloudCamera("VTT0000000000041", "127.0.0.21"), CloudCamera("VTT0000000000042", "127.0.0.22")}));

    // Disabled while the LAN search runs: nobody is logged in.
    ClickSearch();
    panel->SetEnabled(false);
    EXPECT_FALSE(panel->IsBusy());
    EXPECT_EQ(CallCount("FC_Loc_StopSearchIPC"), 1);
    WaitFor([] { return false; }, CDeviceManagement::SEARCH_MS + CDeviceManagement::LOGIN_WAIT_MS + 500);
    EXPECT_EQ(CallCount("FC_Loc_Login"), 0);
    EXPECT_TRUE(Rows().isEmpty());

    // Cleared while the logins are pending: they are logged out, the table stays empty.
    panel->SetEnabled(true);
    ClickSearch();
    ASSERT_TRUE(WaitFor([] { return CallCount("FC_Loc_Login") == 2; }, 20000));
    ASSERT_TRUE(LoginsAnswered());
    panel->ClearDevList();
    EXPECT_FALSE(panel->IsBusy());
    EXPECT_EQ(SimLan::Instance().LiveSessions(), 0);
    WaitFor([] { return false; }, CDeviceManagement::LOGIN_WAIT_MS + 500);
    EXPECT_TRUE(Rows().isEmpty());
}

TEST_F(DevTableTest, TheSingleFixedAddressModeNeedsAnIpcTestType)
{
    WriteSettings([](ConfigInfo& c) { c.m_SystemConfig.iSingleFixedIPTestMode = 1; });
    Start(Profile({CloudCamera("VTT0000000000051", "127.0.0.21")}));
    EXPECT_FALSE(panel->findChild<QLabel*>("lb_SingleFixedIPTestMode")->isHidden());
    BoxRecorder boxes;
    CurrentTestType = 1;
    ClickSearch();
    EXPECT_EQ(boxes.texts, QStringList{"Error|single fixed IP test mode only use test interligent_ipc or exterme_ipc, "
                                       "please select dev type again"});
    EXPECT_FALSE(panel->IsBusy());
    EXPECT_EQ(CallCount("FC_Loc_StartSearchIPC"), 0);

    CurrentTestType = 3;
    Search();
    EXPECT_EQ(Rows().size(), 1);
}

TEST_F(DevTableTest, TheFormAndTheLayout)
{
    Start(Profile({}));
    EXPECT_TRUE(panel->findChild<QLabel*>("lb_SingleFixedIPTestMode")->isHidden());
    const QStandardItemModel* model = Model();
    ASSERT_EQ(model->columnCount(), 3);
    EXPECT_EQ(model->horizontalHeaderItem(0)->text(), "IP");
    EXPECT_EQ(model->horizontalHeaderItem(1)->text(), "Device SN");
    EXPECT_EQ(model->horizontalHeaderItem(2)->text(), "Cloud ID");
    auto* view = panel->findChild<QTableView*>("m_SearchDevTableView");
    EXPECT_EQ(view->editTriggers(), QAbstractItemView::NoEditTriggers);
    EXPECT_EQ(view->selectionBehavior(), QAbstractItemView::SelectRows);
    panel->resize(600, 400);
    panel->ResizeLayout();
    EXPECT_EQ(panel->findChild<QPushButton*>("m_SearchDevBtn")->geometry(), QRect(0, 0, 120, 30));
    EXPECT_EQ(panel->findChild<QLabel*>("lb_SingleFixedIPTestMode")->geometry(), QRect(125, 0, 475, 30));
    EXPECT_EQ(view->geometry(), QRect(0, 32, 598, 366));
}

}  // namespace
