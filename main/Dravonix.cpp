// Construction, layout, configuration hand-out and the services the panels use.
#include "Dravonix.h"
#include "ui_Dravonix.h"

#include "AppGlobals.h"
#include "CConfigFile.h"
#include "CDeviceManagement.h"
#include "DevTestResult.h"
#include "DeviceEventBridge.h"
#include "FuncLib.h"
#include "LeftBottomWidget.h"
#include "LeftTopWidget.h"
#include "Login_Dlg.h"
#include "MainLayout.h"
#include "MainviewVideoWidget.h"
#include "OrderChooseDialog.h"
#include "RightBottomWidget.h"
#include "ScreenArea.h"
#include "SysConfigWidget.h"
#include "TestConfig.h"
#include "TestDataManageDialog.h"
#include "TextFit.h"
#include "UploadTestResultDialog.h"
#include "VideoForm.h"
#include "WIFITestWidget.h"
#include "WidgetHelpers.h"
#include "sim/SimLan.h"

#include <QAction>
#include <QApplication>
#include <QGuiApplication>
#include <QIcon>
#include <QMenu>
#include <QPixmap>
#include <QTimer>
#include <QTranslator>

namespace {

constexpr int kWorkMode = 6;                // the device SDK's mode for the station
constexpr Qt::WindowFlags kVideoWindowFlags = Qt::Dialog | Qt::FramelessWindowHint;   // 0x803

QString SkinDir()
{
    return AppDirPath() + "/Skin/";
}

}  // namespace

Dravonix::Dravonix(QWidget* parent)
    : QMainWindow(parent)
    , m_pTranslator(new QTranslator)
{
    m_vecOrderList.clear();
    // Tests point AppDir at a folder of their own before the window is made.
    if (AppDir.isEmpty())
        AppDir = QCoreApplication::applicationDirPath();
    SimLan::SetProfileFolder(AppDir);   // the SDK stand-in's cameras live beside the program
    LoadTranslator(0);
    ui = new Ui::DravonixClass;
    ui->setupUi(this);

    MainWindowInstance = this;
    m_iScreenWidth = 0;
    m_iScreenHeight = 0;
    LoggedIn = false;
    m_iMarqueeIndex = 0;
    InitUI();
    FC_Loc_SetWorkMode(kWorkMode);

    const QRect available = ScreenArea::Available();
    m_iScreenWidth = available.width();
    m_iScreenHeight = available.height();
    move(available.topLeft());
    const ScreenFactors factors = ScreenFactors::FromDpi(physicalDpiX(), physicalDpiY());
    ScreenMmScaleX = factors.mmScaleX;
    ScreenPxScaleX = factors.pxScaleX;
    ScreenMmScaleY = factors.mmScaleY;
    ScreenPxScaleY = factors.pxScaleY;
    InitData();
    connect(qApp, &QGuiApplication::applicationStateChanged, this,
            [this](Qt::ApplicationState state) { OnApplicationActivation(state == Qt::ApplicationActive); });
}

Dravonix::~Dravonix()
{
    // Every way out runs the close sequence once; leaving without a close
    // (a refused login at start-up) runs it here.
    RunCloseSequence();
    m_vecOrderList.clear();
    QCoreApplication::removeTranslator(m_pTranslator);
    delete m_pTranslator;
    m_pTranslator = nullptr;
    delete m_pNoticeFont;
    delete ui;
}

void Dravonix::LoadTranslator(int language)
{
    m_iLanguage = language;
    if (language == 0)
        m_pTranslator->load(AppDirPath() + "/dravonix_zh.qm");
    else if (language == 1)
        m_pTranslator->load(QString());
    else
        return;
    QCoreApplication::installTranslator(m_pTranslator);
}

void Dravonix::InitUI()
{
    setWindowFlags(Qt::FramelessWindowHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint
                   | Qt::WindowMaximizeButtonHint);
    setWindowIcon(QIcon(SkinDir() + "mv_logo"));
    ui->m_lblTitleLogo->setGeometry(0, 0, 132, 55);
    const QPixmap logo(SkinDir() + "Logo2.png");
    if (!logo.isNull())
        ui->m_lblTitleLogo->setPixmap(
            logo.scaled(ui->m_lblTitleLogo->size(), Qt::KeepAspectRatioByExpanding, Qt::SmoothTransformation));
    setWindowTitle(tr("Tolvane"));
    ui->m_lblTitle->setText(tr("Tolvane") + "V1.0.6.4" + "_X64");
    ui->m_lblTitle->setWordWrap(true);

    // (normal, pressed, hover) in SetButtonSkin's order.
    SetButtonSkin(ui->m_btnQuit, "mw_loginOut.png", "mw_loginOutA.png", "mw_loginOutA.png");
    SetButtonSkin(ui->m_btnClose, "mw_close.png", "mw_closA.png", "mw_closeA.png");
    SetButtonSkin(ui->m_btnMin, "mw_minsize.png", "mw_minsizeA.png", "mw_minsizeA.png");
    SetButtonSkin(ui->m_btnSystemConfig, "mw_config.png", "mw_configA.png", "mw_configA.png");

    connect(ui->m_btnQuit, &QPushButton::clicked, this, &Dravonix::onQuitBtnClicked);
    connect(ui->m_btnSystemConfig, &QPushButton::clicked, this, &Dravonix::onSystemConfigBtnClicked);
    connect(ui->m_btnClose, &QPushButton::clicked, this, &Dravonix::onBtnCloseClicked);
    connect(ui->m_btnMin, &QPushButton::clicked, this, &Dravonix::onBtnMinClicked);
    ui->m_btnQuit->hide();

    m_pQuitMenu = new QMenu(this);
    m_pLogOutAction = m_pQuitMenu->addAction(tr("Log Out"));
    m_pQuitOrderAction = m_pQuitMenu->addAction(tr("quit current order"));
    // Queued: both run modal dialogs, which should not nest inside the menu's own loop.
    connect(m_pLogOutAction, &QAction::triggered, this, &Dravonix::onLogOut, Qt::QueuedConnection);
    connect(m_pQuitOrderAction, &QAction::triggered, this, &Dravonix::onQuitCurrentOrder, Qt::QueuedConnection);
}

void Dravonix::InitData()
{
    setFixedSize(m_iScreenWidth, m_iScreenHeight);
    HeartbeatTimer = new QTimer(this);
    connect(HeartbeatTimer, &QTimer::timeout, this, &Dravonix::OnHeartbeatTimer);

    ui->m_lbSystemUpgradeTips->setAlignment(Qt::AlignVCenter);
    ui->m_lbSystemUpgradeTips->hide();
    QPalette palette = ui->m_lbSystemUpgradeTips->palette();
    palette.setColor(QPalette::WindowText, QColor(255, 0, 0));
    ui->m_lbSystemUpgradeTips->setPalette(palette);
    if (!m_pNoticeFont) {
        m_pNoticeFont = new QFont(QStringLiteral("Microsoft YaHei"));
        m_pNoticeFont->setPixelSize(18);
        m_pNoticeFont->setWeight(QFont::Bold);
        ui->m_lbSystemUpgradeTips->setFont(*m_pNoticeFont);
    }
    if (!m_pMarqueeTimer) {
        m_pMarqueeTimer = new QTimer(this);
        connect(m_pMarqueeTimer, &QTimer::timeout, this, &Dravonix::onTimerSystemUpgradeTips);
    }

    CreateChildWidgets();
    ResizeLayout();
    StartDeviceEventBridge();
    if (m_pMainviewVideoWidget)
        m_pMainviewVideoWidget->SetKeyboardGrab(false);
}

void Dravonix::CreateChildWidgets()
{
    if (!m_pDeviceManagement)
        m_pDeviceManagement = new CDeviceManagement(this, this);
    if (!m_pWIFITestWidget) {
        m_pWIFITestWidget = new WIFITestWidget(this);
        connect(m_pWIFITestWidget, &WIFITestWidget::neededHeightChanged, this, &Dravonix::LayoutLeftColumn);
    }
    if (!m_pLeftBottomWidget)
        m_pLeftBottomWidget = new LeftBottomWidget(this);
    if (!m_pMainviewVideoWidget) {
        m_pMainviewVideoWidget = new MainviewVideoWidget(this);
        m_pMainviewVideoWidget->setWindowFlags(kVideoWindowFlags);
    }
    if (!m_pRightBottomWidget) {
        m_pRightBottomWidget = new RightBottomWidget(this);
        connect(m_pRightBottomWidget, &RightBottomWidget::signalSwitchChannel, this, &Dravonix::slotSwitchChannel);
    }
    if (!m_pLeftTopWidget) {
        m_pLeftTopWidget = new LeftTopWidget(this, this);
        connect(m_pLeftTopWidget, &LeftTopWidget::signalGunBallDevice, this, &Dravonix::slotGunBallDevice);
        connect(m_pLeftTopWidget, &LeftTopWidget::siganlBeginManulTest, this, &Dravonix::slotBeginManulTest);
    }
    if (!m_pSysConfigWidget)
        m_pSysConfigWidget = new SysConfigWidget(this);
    if (!m_pLoginDlg)
        m_pLoginDlg = new Login_Dlg(this, this);
    if (!m_pTestDataManageDialog)
        m_pTestDataManageDialog = new TestDataManageDialog(this);
    if (!m_pOrderChooseDialog)
        m_pOrderChooseDialog = new OrderChooseDialog(this);
    if (!m_pUploadTestResultDialog)
        m_pUploadTestResultDialog = new UploadTestResultDialog(this);
    ConnectChildren();
}

// What the panels reach of each other, each through its own small seam.
void Dravonix::ConnectChildren()
{
    m_pRightBottomWidget->SetController(m_pLeftTopWidget);
    m_pSysConfigWidget->SetController(m_pLeftTopWidget);
    m_pMainviewVideoWidget->SetResultPanel(m_pUploadTestResultDialog);
    m_pUploadTestResultDialog->SetVideoWindow(m_pMainviewVideoWidget);
    connect(m_pLoginDlg, &Login_Dlg::login, this, &Dravonix::onLoginSignalEimt, Qt::UniqueConnection);
    connect(m_pUploadTestResultDialog, &UploadTestResultDialog::sig_SaveManualTestResult, this,
            [this](const DevTestResult& result, const QVector<CustomizeItem>& items) {
                SaveManualTestResult(result, items);
            });
    connect(m_pUploadTestResultDialog, &UploadTestResultDialog::sig_UploadTestResult, this,
            &Dravonix::UploadCurrentDevTestResult);
    // A longer result or order text may need a taller panel.
    connect(m_pRightBottomWidget, &RightBottomWidget::heightNeedChanged, this, &Dravonix::LayoutRightArea,
            Qt::ConnectionType(Qt::UniqueConnection | Qt::QueuedConnection));
    connect(m_pLeftBottomWidget, &LeftBottomWidget::heightNeedChanged, this, &Dravonix::LayoutLeftColumn,
            Qt::ConnectionType(Qt::UniqueConnection | Qt::QueuedConnection));
}

void Dravonix::StartDeviceEventBridge()
{
    m_pBridge = new DeviceEventBridge(this);
    DeviceEventBridge::SetInstance(m_pBridge);
    m_pBridge->Start();
}

void Dravonix::ResizeLayout()
{
    MainLayout l = MainLayout::Compute(m_iScreenWidth, m_iScreenHeight, width(), height());
    l.FitLeftColumn(LeftColumnNeedsAt(l.controller.width()));
    ui->m_btnClose->setGeometry(l.close);
    ui->m_btnMin->setGeometry(l.minimize);
    ui->m_btnSystemConfig->setGeometry(l.systemConfig);
    ui->m_btnQuit->setGeometry(l.quit);
    ui->m_lbLogin->setGeometry(l.login);
    ui->m_lbSystemUpgradeTips->setGeometry(l.upgradeTips);
    ui->m_lblTitleLogo->move(l.titleLogo);
    FitCompanyName();
    ui->m_lblTitle->setGeometry(l.title);
    ui->m_lblTitle->setAlignment(Qt::AlignBottom);
    QFont titleFont = ui->m_lblTitle->font();
    titleFont.setPixelSize(20);
    ui->m_lblTitle->setFont(titleFont);
    QPalette titlePalette = ui->m_lblTitle->palette();
    titlePalette.setColor(QPalette::WindowText, QColor(29, 168, 56));
    ui->m_lblTitle->setPalette(titlePalette);

    PlaceLeftColumn(l);
    if (m_pRightBottomWidget)
        m_pRightBottomWidget->UpdateItemVisibility();
    PlaceRightArea(l, true);
    // The floating result panel first comes up below the title bar's texts.
    if (m_pUploadTestResultDialog)
        m_pUploadTestResultDialog->KeepFirstPlacementBelow(mapToGlobal(QPoint(0, l.titleBarBottom)).y());
}

void Dravonix::LayoutRightArea()
{
    MainLayout l = MainLayout::Compute(m_iScreenWidth, m_iScreenHeight, width(), height());
    PlaceRightArea(l, !(m_pMainviewVideoWidget && m_pMainviewVideoWidget->IsFullScreen()));
}

void Dravonix::PlaceRightArea(MainLayout& l, bool placeVideo)
{
    // The manual panel's items decide its height, and so the video window's.
    if (m_pRightBottomWidget)
        l.FitManualPanel(m_pRightBottomWidget->LayOutAcross(l.manualPanel.width()));
    if (m_pMainviewVideoWidget && placeVideo) {
        // A window of its own: its place is on the screen, in the main window's frame.
        m_pMainviewVideoWidget->setGeometry(QRect(mapToGlobal(l.videoWindow.topLeft()), l.videoWindow.size()));
        m_pMainviewVideoWidget->LayoutVideo();
    }
    if (m_pRightBottomWidget)
        m_pRightBottomWidget->setGeometry(l.manualPanel);
}

void Dravonix::LayoutLeftColumn()
{
    MainLayout l = MainLayout::Compute(m_iScreenWidth, m_iScreenHeight, width(), height());
    l.FitLeftColumn(LeftColumnNeedsAt(l.controller.width()));
    PlaceLeftColumn(l);
}

void Dravonix::PlaceLeftColumn(const MainLayout& l)
{
    if (m_pLeftTopWidget) {
        m_pLeftTopWidget->setGeometry(l.controller);
        m_pLeftTopWidget->InitComboBoxStyle();
    }
    if (m_pDeviceManagement) {
        m_pDeviceManagement->setGeometry(l.deviceTable);
        m_pDeviceManagement->ResizeLayout();
    }
    if (m_pWIFITestWidget) {
        m_pWIFITestWidget->setGeometry(l.wifiPanel);
        m_pWIFITestWidget->UpdateLayout();
        m_pWIFITestWidget->setVisible(CurrentTestType.load() == 0);
    }
    if (m_pLeftBottomWidget) {
        m_pLeftBottomWidget->setGeometry(l.infoPanel);
        m_pLeftBottomWidget->UpdateLayout();
    }
}

LeftColumnNeeds Dravonix::LeftColumnNeedsAt(int width) const
{
    LeftColumnNeeds needs;
    if (m_pLeftTopWidget)
        needs.controller = m_pLeftTopWidget->NeededHeight();
    if (m_pDeviceManagement)
        needs.deviceTable = m_pDeviceManagement->NeededHeight(width);
    if (m_pWIFITestWidget) {
        needs.wifiPanel = m_pWIFITestWidget->NeededHeight(width);
        needs.wifiPanelCompact = m_pWIFITestWidget->NeededHeight(width, true);
    }
    if (m_pLeftBottomWidget) {
        needs.infoPanel = m_pLeftBottomWidget->NeededHeight(width, false);
        needs.infoPanelCompact = m_pLeftBottomWidget->NeededHeight(width, true);
    }
    return needs;
}

void Dravonix::FitCompanyName()
{
    // Right-aligned against the window's middle; a longer name reaches further
    // left, at most to the logo.
    const QRect formPlace = MainLayout::Compute(m_iScreenWidth, m_iScreenHeight, width(), height()).companyName;
    QLabel* name = ui->m_lbCompanyName;
    const int right = formPlace.right();
    const int logoRight = ui->m_lblTitleLogo->geometry().right();
    const int left = qMax(logoRight + 6, qMin(formPlace.left(), right + 1 - TextFit::Needed(name).width()));
    name->setGeometry(left, formPlace.y(), right + 1 - left, formPlace.height());
}

void Dravonix::RefreshWidgetsConfig()
{
    ConfigInfo config;
    CConfigFile::GetInstance()->GetConfigInfo(config);
    if (m_pLeftBottomWidget)
        m_pLeftBottomWidget->SetConfig(config);
    if (m_pLeftTopWidget)
        m_pLeftTopWidget->SetConfig(config);
    if (m_pWIFITestWidget)
        m_pWIFITestWidget->SetConfig(config);
    if (m_pMainviewVideoWidget)
        m_pMainviewVideoWidget->SetDeviceInfo(config);
    if (m_pRightBottomWidget)
        m_pRightBottomWidget->SetConfig(config);
}

// ---------------------------------------------------------------------------
// Services of the panels

VideoForm* Dravonix::GetCurVideoForm() const
{
    return m_pMainviewVideoWidget ? m_pMainviewVideoWidget->GetVideoForm() : nullptr;
}

void Dravonix::GrabVideoKeyboard()
{
    if (m_pMainviewVideoWidget)
        m_pMainviewVideoWidget->SetKeyboardGrab(true);
}

void Dravonix::ReleaseVideoKeyboard()
{
    if (m_pMainviewVideoWidget)
        m_pMainviewVideoWidget->SetKeyboardGrab(false);
}

void Dravonix::BeginWifiTest(const QString& cameraAddress, int durationSeconds)
{
    if (m_pWIFITestWidget)
        m_pWIFITestWidget->BeginTest(cameraAddress, durationSeconds);
}

void Dravonix::ClearWifiTestResult()
{
    if (m_pWIFITestWidget)
        m_pWIFITestWidget->ClearResult();
}

void Dravonix::SetHardwareDecode(int mode)
{
    if (m_pSysConfigWidget)
        m_pSysConfigWidget->SetHardwareDecode(mode);
}

void Dravonix::SetOrderDetail(const QString& orderSn, const QString& moduleModel, const QString& cloudModuleAlias)
{
    if (m_pLeftTopWidget)
        m_pLeftTopWidget->SetOrderDetail(orderSn, moduleModel, cloudModuleAlias);
}

void Dravonix::SetOrderCustomization(const QString& regions, const QString& logoPath, int customMac)
{
    if (m_pLeftTopWidget)
        m_pLeftTopWidget->SetOrderCustomization(regions, logoPath, customMac);
}

void Dravonix::SetOrderDataDisplay(const QString& orderText)
{
    if (m_pLeftBottomWidget)
        m_pLeftBottomWidget->SetOrderDataDisplay(orderText);
}

void Dravonix::SaveManualTestResult(const DevTestResult& result, const QVector<CustomizeItem>& items)
{
    if (m_pLeftTopWidget)
        m_pLeftTopWidget->SaveManualTestResult(result, QVector<CustomizeItem>(items));
}

int Dravonix::UploadCurrentDevTestResult()
{
    if (m_pLeftTopWidget)
        m_pLeftTopWidget->slot_UploadCurrentDevTestResult();
    return 0;
}

void Dravonix::AddCacheTestData(const DevTestResult& record)
{
    if (m_pTestDataManageDialog)
        m_pTestDataManageDialog->AddCacheTestData(record);
}

uint64_t Dravonix::HoldCacheTestData(const DevTestResult& record)
{
    return m_pTestDataManageDialog ? m_pTestDataManageDialog->HoldCacheTestData(record) : 0;
}

void Dravonix::ReleaseCacheTestData(uint64_t id, bool upload)
{
    if (m_pTestDataManageDialog)
        m_pTestDataManageDialog->ReleaseCacheTestData(id, upload);
}

int Dravonix::StartUploadCacheData()
{
    if (m_pTestDataManageDialog)
        m_pTestDataManageDialog->StartUploadCacheData();
    return 0;
}

void Dravonix::slot_SaveManualTestResult()
{
    if (m_pUploadTestResultDialog)
        m_pUploadTestResultDialog->CommitManualTestResult();
}

void Dravonix::slotBeginManulTest(bool begin)
{
    if (m_pRightBottomWidget)
        m_pRightBottomWidget->SetItemEnabled(32, !begin);
}

void Dravonix::slotGunBallDevice(bool isGunBallDev, int channelIdx)
{
    if (m_pRightBottomWidget)
        m_pRightBottomWidget->SetChannelInfo(channelIdx, isGunBallDev ? 2 : 1, isGunBallDev);
    if (m_pUploadTestResultDialog)
        m_pUploadTestResultDialog->SetBallCameraMode(isGunBallDev);
}

void Dravonix::slotSwitchChannel(int curChannelIdx)
{
    if (m_pLeftTopWidget)
        m_pLeftTopWidget->SwitchChannel(curChannelIdx);
}
