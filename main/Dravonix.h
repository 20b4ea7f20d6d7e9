#pragma once

#include "BackendDialogOwner.h"
#include "ControllerHost.h"
#include "OrderRow.h"
#include "WIFITestOwner.h"

#include <QFont>
#include <QMainWindow>
#include <QString>
#include <QVector>

class CDeviceManagement;
class DeviceEventBridge;
class LeftBottomWidget;
class LeftTopWidget;
class Login_Dlg;
class MainviewVideoWidget;
class OrderChooseDialog;
class QAction;
class QDialog;
class QMenu;
class QTimer;
class QTranslator;
class RightBottomWidget;
class SysConfigWidget;
class TestDataManageDialog;
class UploadTestResultDialog;
class VantrelEvent;
class WIFITestWidget;
struct CustomizeItem;
struct LeftColumnNeeds;
struct MainLayout;
struct DevTestResult;

namespace Ui {
class DravonixClass;
}

// The station's main window: a frameless window over the primary screen's
// available area. It creates, lays out and feeds every panel, routes the
// station's own events (customEvent), carries the operator from login through
// the work-order choice, and ends the program through one close sequence.
//
// Member definitions, one file per concern:
//   Dravonix.cpp          construction, layout, configuration hand-out, panel services
//   DravonixEvents.cpp    event routing, show, hide and activation
//   DravonixSession.cpp   login, work orders, after-sales mode, marquee, heartbeat, log-out
//   DravonixClose.cpp     the close sequence and the child panels' deletion
class Dravonix : public QMainWindow, public BackendDialogOwner, public ControllerHost, public WIFITestOwner {
    Q_OBJECT

public:
    static constexpr int MARQUEE_INTERVAL_MS = 500;
    static constexpr int CLOSE_RETRY_MS = 50;
    static constexpr int LOGOUT_FAILURE_LIMIT = 5;   // consecutive failed uploads that skip the logout request

    explicit Dravonix(QWidget* parent = nullptr);
    ~Dravonix() override;

    // ----- start-up (main) -----
    // 0 logged in (or the login dialog accepted), -1 otherwise.
    int AutoLogin();
    // The work-order dialog's result (1 accepted), -1 without the dialog.
    int ChooseTestOrderNumber();
    int StartUploadCacheData();
    // Shows the main window and the main video window, which takes the keyboard.
    void ShowStation();
    // True once the close sequence ran or was asked for: nothing more is shown.
    bool IsClosing() const { return m_bCloseRequested || m_bClosed; }

    // ----- operations of other panels -----
    void EnterAfterSalesMode() override;
    void SetOrderDetail(const QString& orderSn, const QString& moduleModel, const QString& cloudModuleAlias) override;
    void ApplyTestConfig(const TestConfig& config, const QString& packagePath, const QString& alarmPath) override;
    void SetOrderCustomization(const QString& regions, const QString& logoPath, int customMac) override;
    void SetOrderDataDisplay(const QString& orderText) override;
    void CloseMainWindow() override;
    void SaveManualTestResult(const DevTestResult& result, const QVector<CustomizeItem>& items);
    int UploadCurrentDevTestResult();
    void AddCacheTestData(const DevTestResult& record) override;
    uint64_t HoldCacheTestData(const DevTestResult& record) override;
    void ReleaseCacheTestData(uint64_t id, bool upload) override;
    void GrabVideoKeyboard() override;
    void ReleaseVideoKeyboard() override;
    void ResetChildWidgets();
    void LoadTranslator(int language);
    void ResizeLayout();
    void RefreshWidgetsConfig();

    // ----- ControllerHost -----
    VideoForm* GetCurVideoForm() const override;
    RightBottomWidget* GetManualPanel() const override { return m_pRightBottomWidget; }
    LeftBottomWidget* GetInfoPanel() const override { return m_pLeftBottomWidget; }
    LeftTopWidget* GetController() const override { return m_pLeftTopWidget; }
    void BeginWifiTest(const QString& cameraAddress, int durationSeconds) override;
    void ClearWifiTestResult() override;
    void SetHardwareDecode(int mode) override;
    void SaveManualTestResult() override { slot_SaveManualTestResult(); }
    void LogOut() override { onLogOut(); }

    // ----- WIFITestOwner -----
    VideoForm* MainVideoForm() const override { return GetCurVideoForm(); }

    // ----- children (null before creation and after the close sequence) -----
    MainviewVideoWidget* VideoWindow() const { return m_pMainviewVideoWidget; }
    CDeviceManagement* DeviceTable() const { return m_pDeviceManagement; }
    WIFITestWidget* WifiPanel() const { return m_pWIFITestWidget; }
    SysConfigWidget* SettingsForm() const { return m_pSysConfigWidget; }
    Login_Dlg* LoginDialog() const { return m_pLoginDlg; }
    TestDataManageDialog* CacheDialog() const { return m_pTestDataManageDialog; }
    OrderChooseDialog* OrderDialog() const { return m_pOrderChooseDialog; }
    UploadTestResultDialog* ResultPanel() const { return m_pUploadTestResultDialog; }
    QMenu* QuitMenu() const { return m_pQuitMenu; }
    QAction* LogOutAction() const { return m_pLogOutAction; }
    QAction* QuitOrderAction() const { return m_pQuitOrderAction; }
    const QVector<OrderRow>& OrderList() const { return m_vecOrderList; }
    int Language() const { return m_iLanguage; }
    QTimer* MarqueeTimer() const { return m_pMarqueeTimer; }

signals:
    // The close sequence has run; the program's event loop may end.
    void closed();

public slots:
    void onBtnCloseClicked();
    void onBtnMinClicked();
    void OnHeartbeatTimer();
    void onSystemConfigBtnClicked();
    void onQuitBtnClicked();
    void onLogOut();
    void onQuitCurrentOrder();
    void onTimerSystemUpgradeTips();
    void onLoginSignalEimt(QString userName, QString companyName, QString strCompanyId) override;
    void slot_SaveManualTestResult();

protected slots:
    void slotBeginManulTest(bool begin);
    void slotGunBallDevice(bool isGunBallDev, int channelIdx);
    void slotSwitchChannel(int curChannelIdx);

protected:
    void customEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    bool event(QEvent* event) override;

private:
    // Construction steps.
    void InitUI();
    void InitData();
    void CreateChildWidgets();
    void ConnectChildren();
    void StartDeviceEventBridge();
    // Lay out only the left column, or only the video window and the manual
    // panel, again (a panel's need changed); a full-screen video window stays.
    void LayoutLeftColumn();
    void LayoutRightArea();
    void PlaceRightArea(MainLayout& l, bool placeVideo);
    void PlaceLeftColumn(const MainLayout& l);
    LeftColumnNeeds LeftColumnNeedsAt(int width) const;
    // The company name keeps the form's right edge and grows to the left.
    void FitCompanyName();

    // Event routing (DravonixEvents.cpp).
    void RouteDeviceRecord(const VantrelEvent& event);
    void RouteManualTest(QEvent* event);
    void ShowVideoFullScreen(bool fullScreen);
    void ApplyRunState(bool idle);
    void OnWindowActivation();
    void OnApplicationActivation(bool active);

    // Session (DravonixSession.cpp).
    int RunModal(QDialog* dialog);
    void ShowNotice();
    void HideForDialogs();
    void StopCurrentPlay();
    void ClearLoginState();
    bool SendLogout();
    void ReadOrderList();

    // Close (DravonixClose.cpp).
    void RunCloseSequence();
    void DeleteChildWidgets();
    void StopDeviceEventBridge();

    Ui::DravonixClass* ui = nullptr;

    MainviewVideoWidget* m_pMainviewVideoWidget = nullptr;
    CDeviceManagement* m_pDeviceManagement = nullptr;
    WIFITestWidget* m_pWIFITestWidget = nullptr;
    RightBottomWidget* m_pRightBottomWidget = nullptr;
    LeftBottomWidget* m_pLeftBottomWidget = nullptr;
    LeftTopWidget* m_pLeftTopWidget = nullptr;
    SysConfigWidget* m_pSysConfigWidget = nullptr;
    Login_Dlg* m_pLoginDlg = nullptr;
    TestDataManageDialog* m_pTestDataManageDialog = nullptr;
    OrderChooseDialog* m_pOrderChooseDialog = nullptr;
    UploadTestResultDialog* m_pUploadTestResultDialog = nullptr;
    DeviceEventBridge* m_pBridge = nullptr;

    QTranslator* m_pTranslator = nullptr;
    int m_iLanguage = 0;
    int m_iScreenWidth = 0;
    int m_iScreenHeight = 0;
    QVector<OrderRow> m_vecOrderList;

    QMenu* m_pQuitMenu = nullptr;
    QAction* m_pLogOutAction = nullptr;
    QAction* m_pQuitOrderAction = nullptr;
    QFont* m_pNoticeFont = nullptr;
    QTimer* m_pMarqueeTimer = nullptr;
    int m_iMarqueeIndex = 0;

    // Modal dialogs of this window that are running; the close sequence waits
    // for them to return, since it deletes those dialogs.
    int m_iModalDepth = 0;
    bool m_bCloseRequested = false;
    bool m_bClosed = false;
};
