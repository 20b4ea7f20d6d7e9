// Construction, run state, events and destruction of the controller.
#include "LeftTopWidget.h"

#include "AppGlobals.h"
#include "CConfigFile.h"
#include "CheckQRCodeDlg.h"
#include "DeviceEventBridge.h"
#include "ControllerHost.h"
#include "EnumClass.h"
#include "FuncLib.h"
#include "HostAdapters.h"
#include "JTimer.h"
#include "LivePlayPath.h"
#include "Log.h"
#include "QRCodePrintSetting.h"
#include "SearchCycleWorker.h"
#include "StreamTestWorker.h"
#include "TestIpRange.h"
#include "VantrelEvent.h"
#include "VideoForm.h"
#include "ui_LeftTopWidget.h"

#include <QMessageBox>
#include <QShowEvent>
#include <QTimer>

namespace {

constexpr int kTalkBufferBytes = 5120;
constexpr int kSearchJoinWarnMs = 3000;
constexpr int kStreamJoinWarnMs = 1000;
constexpr int kServiceJoinWarnMs = 1000;
constexpr int kStopRetryMs = 50;

QString MacText(const QByteArray& mac, const char* separator)
{
    QStringList bytes;
    for (char b : mac)
        bytes << QString::asprintf("%02X", unsigned(uchar(b)));
    return bytes.join(QLatin1String(separator));
}

}  // namespace

LeftTopWidget::LeftTopWidget(QWidget* parent, ControllerHost* host)
    : QWidget(parent),
      ui(std::make_unique<Ui::LeftTopWidget>()),
      m_host(host ? host : dynamic_cast<ControllerHost*>(parent))
{
    ui->setupUi(this);
    m_pHintBox = new QMessageBox(this);
    DeviceEventBridge::SetPlayIdReader(&PlayIdOfDevice);
    m_pVideoTimer = new JTimer(5000, this);
    // Each worker sees the controller only through its own narrow interface.
    SearchCycleWorker::Controller& searchSide = *this;
    m_searchCycle = std::make_unique<SearchCycleWorker>(searchSide, m_lists, m_workers, m_handOffs, m_bCurDevAlive,
                                                        m_bAutoUpgradeConfig);
    m_streamTest = NewStreamTest(*this);

    CConfigFile::GetInstance()->GetConfigInfo(m_IniCfgFile);
    InitManualAutomation();
    LogStart(AppDirPath(), m_IniCfgFile.m_SystemConfig.iLogSwitch);
    if (m_IniCfgFile.m_SystemConfig.iSingleFixedIPTestMode == 1)
        FC_Loc_SetSingleFixedIp(1);

    m_bManalAutoTesting = false;
    m_bManualAutoStopRequest = false;
    m_pManualAutoTimer = new QTimer(this);
    m_pWaitTimer = new QTimer(this);
    m_pWaitTimer->setInterval(500);
    connect(m_pWaitTimer, &QTimer::timeout, this, &LeftTopWidget::onTimerWaitLastStop);
    connect(m_pManualAutoTimer, &QTimer::timeout, this, &LeftTopWidget::onTimerManualAutoSignal);

    InitHostIdentity();
    InitNetworkCardBox();
    ui->le_SelectConfigFile->setReadOnly(true);
    ui->le_SelectAudioWarnFile->setReadOnly(true);
    InitDevTypeBox();
    ConnectSignals();

    ui->check_AutoPlayVideo->setChecked(true);
    ui->check_AutoUpgradeConfigFile->setChecked(true);
    onAutoUpgradeConfigFilestateChanged(ui->check_AutoUpgradeConfigFile->checkState());
    m_bAutoPlay = true;
    onAutoUploadAudioWarnFilestateChanged(ui->check_AutoUploadAudioWarnFile->checkState());
    m_bWifiThroughputBegun = false;

    m_iPtzSpeed = 5;
    m_talkInput.assign(kTalkBufferBytes, 0);
    m_talkOutput.assign(kTalkBufferBytes, 0);
    m_strToolVersion = QStringLiteral("V1.0.6.4").mid(1);
    m_pQRCodePrintSetting = new QRCodePrintSetting(this); // hidden; never shown by the controller

    StartServiceThreads();

    m_metaManualEnum = QMetaEnum::fromType<EnumClass::Manual_Enum>();
    m_bTestNormal = true;
    m_bManualObservationTestNormal = true;
    m_lstMobileOperators = QStringList{"46000", "46002", "46004", "46007", "46008", "CHN-CM", "CHINA MOBILE", "CMCC"};
    m_lstTelecomOperators = QStringList{"46003", "46005", "46011", "CHN-CT", "CT", "CHINA TELECOM"};
}

LeftTopWidget::~LeftTopWidget()
{
    CloseStreams();
    KillAllStepTimers();
    if (m_workers.IsAlive(StationWorkers::IdService)) {
        m_workers.RequestStop(StationWorkers::IdService);
        m_workers.Join(StationWorkers::IdService, kServiceJoinWarnMs);
    }
    StopAuxThread();
    // No thread is left to hand anything over: what the last ones handed over
    // after their joins runs now, while every member it may touch is whole.
    m_handOffs.Close();
    m_handOffs.RunPending();
    if (m_pCheckQRCodeDlg)
        m_pCheckQRCodeDlg->removeEventFilter(this);
}

void LeftTopWidget::SetHost(ControllerHost* host)
{
    m_host = host;
}

std::unique_ptr<StreamTestWorker> LeftTopWidget::NewStreamTest(StreamTestWorker::Controller& controller)
{
    return std::make_unique<StreamTestWorker>(
        controller, m_lists, m_workers, m_handOffs,
        StreamTestWorker::SharedWords{m_lLastCount, m_lCurrentCount, m_lCurrentChannel, m_bCurDevAlive,
                                      m_bWifiThroughputBegun, m_bManualTipShown, m_iUploadDone, UploadFailureCount,
                                      m_AutoSteps[STEP_DEV_TYPE].iReplyFlag});
}

// ---------------------------------------------------------------------------
// Construction steps

void LeftTopWidget::InitManualAutomation()
{
    const ManualAutoTestConfig& manual = m_IniCfgFile.m_ManualAutoTest;
    const QString script = manual.mapConfig.value(manual.CurChoiseKey);
    const int hash = script.indexOf(QLatin1Char('#'));
    const QString steps = hash >= 0 ? script.mid(hash + 1) : QString();
    m_qstrlManualAutomation = steps.isEmpty() ? QStringList() : steps.split(QLatin1Char(','));
}

void LeftTopWidget::InitHostIdentity()
{
    QByteArray firstMac;
    QByteArray lastMac;
    for (const HostAdapter& adapter : HostAdapters::List()) {
        if (adapter.mac.size() != 6)
            continue;
        if (firstMac.isEmpty())
            firstMac = adapter.mac;
        lastMac = adapter.mac;
    }
    m_strHostMac = lastMac.isEmpty() ? QString() : MacText(lastMac, "") + QLatin1Char(' ');
    const QByteArray local = MacText(firstMac, "-").toLatin1();
    SetResultText(m_szLocalMac, local.constData());
}

void LeftTopWidget::StartServiceThreads()
{
    if (!m_workers.IsAlive(StationWorkers::IdService) && m_IniCfgFile.m_SystemConfig.iTestMode == 1)
        m_workers.Start(StationWorkers::IdService, [this] { ExecuteGetIDServiceThread(); });
    if (!m_workers.IsAlive(StationWorkers::Aux))
        m_workers.Start(StationWorkers::Aux, [this] { ExecuteAuxFuncThread(); });
}

void LeftTopWidget::ConnectSignals()
{
    connect(ui->btn_BeginRun, &QPushButton::clicked, this, &LeftTopWidget::onBeginRunBtnClicked);
    connect(ui->check_AutoPlayVideo, &QCheckBox::stateChanged, this, &LeftTopWidget::onAutoPlayVideostateChanged);
    connect(ui->check_AutoUpgradeConfigFile, &QCheckBox::stateChanged, this,
            &LeftTopWidget::onAutoUpgradeConfigFilestateChanged);
    connect(ui->check_AutoUploadAudioWarnFile, &QCheckBox::stateChanged, this,
            &LeftTopWidget::onAutoUploadAudioWarnFilestateChanged);
    connect(ui->check_LockParameter, &QCheckBox::stateChanged, this, &LeftTopWidget::onLockParameterstateChanged);
    connect(ui->btn_SelectConfigFile, &QPushButton::clicked, this, &LeftTopWidget::onSelectConfigFileBtnClicked);
    connect(ui->btn_SelectAudioWarnFile, &QPushButton::clicked, this, &LeftTopWidget::onSelectAudioWarnFileBtnClicked);

    connect(this, &LeftTopWidget::addItemText, this, &LeftTopWidget::onAddItemSignalEimt);
    connect(this, &LeftTopWidget::QRCodeCheckSignal, this, &LeftTopWidget::onQRCodeCheckSignalEmit);
    connect(this, &LeftTopWidget::QRCodePrint, this, &LeftTopWidget::onQRCodePrintEmit);
    connect(this, &LeftTopWidget::sig_ThreadItemProcEnd, this, &LeftTopWidget::onThreadItemProcEnd);

    if (VideoForm* pane = GetCurVideoForm())
        connect(pane, &OpenglRender::signalUpdateView, this, &LeftTopWidget::slotUpdateView);
    connect(m_pVideoTimer, &JTimer::signalTimeout, this, &LeftTopWidget::slotVideoTestTimeout);
}

// ---------------------------------------------------------------------------
// Run state

void LeftTopWidget::onBeginRunBtnClicked()
{
    LogPrint(LOG_INFO, "#PelloxDebug Enter LeftTopWidget::onBeginRunBtnClicked()");
    if (m_bStopping)
        return;
    const bool starting = !IsRunning();
    if (starting) {
        if (!IsTestIpRangeUsable())
            return;
        if (m_bAutoPlay && ui->check_AutoUpgradeConfigFile->isChecked()) {
            const QString path = ConfigFilePathText();
            if (path.isEmpty()) {
                ShowInformationBox(tr("Error"), tr("please select config file"));
                return;
            }
            m_strConfigFilePath = path;
        }
        if (IsAlarmFileMissing()) {
            ShowInformationBox(tr("Error"), tr("please select audio alarm file"));
            return;
        }
    }
    m_workers.SetRunFlag(starting);
    if (Run() == -1) {
        m_workers.SetRunFlag(false);
        ShowInformationBox(QString(), tr("config file uncompress failed!"));
        return;
    }
    ApplyRunButtonState();
    if (!starting)
        emit signalGunBallDevice(false, -1);
    if (!WholeMachineTestMode.load())
        SetControlsEnabled(!IsRunning());
    PostToMainWindow(WM_RUN_STATE, IsRunning() ? 0 : 1, 0);
}

// A range the search cannot judge by would skip every camera in silence.
bool LeftTopWidget::IsTestIpRangeUsable()
{
    const IpSectionConfig range = ConfigSnapshot().m_IpSection;
    if (!range.bUseIpSection)
        return true;
    const QString problem = TestIpRange::Problem(range.StartIp, range.EndIP);
    if (problem.isEmpty())
        return true;
    LogPrint(LOG_GENERAL, "LeftTopWidget::onBeginRunBtnClicked() test ip section %s - %s refused: %s",
             qPrintable(range.StartIp), qPrintable(range.EndIP), qPrintable(problem));
    ShowInformationBox(tr("Error"), tr("The test IP range of the settings cannot be used: %1. Correct it in the "
                                       "settings, then press Begin Run again.")
                                        .arg(problem));
    return false;
}

void LeftTopWidget::StopRun()
{
    if (!IsRunning())
        return;
    m_workers.SetRunFlag(false);
    Run();
}

int LeftTopWidget::Run()
{
    LogPrint(LOG_INFO, "#PelloxDebug Enter LeftTopWidget::Run()");
    if (!IsRunning()) {
        StopRunThreads();
        return 0;
    }
    if (!m_bAutoPlay)
        return 0;
    return StartRun();
}

int LeftTopWidget::StartRun()
{
    ResetRunCounters();
    m_lists.ClearDevTypes();
    if (ui->check_AutoUpgradeConfigFile->isChecked()) {
        const int ret = UnCompressLocalConfigFile(ConfigFilePathText(), m_strSYS_CFG_MD5, m_strHW_CFG_MD5);
        if (ret != 0) {
            LogPrint(LOG_GENERAL, "Run() UnCompressLocalConfigFile failed, iUnCompressRet=%d", ret);
            return -1;
        }
    }
    m_lists.WithReadyList([](std::vector<DevInfo>& ready) { ready.clear(); });
    m_lists.WithStreamList([](std::vector<DevInfo>& stream, std::vector<int64_t>& finished, bool& replaced) {
        stream.clear();
        finished.clear();
        replaced = false;
    });
    FC_Loc_SetReconnect(0);
    SetResetUI();
    if (VideoForm* pane = GetCurVideoForm()) {
        pane->UnbindDevice();
        pane->SetStopRender(false);
        pane->ClearTestResultText();
    }
    LivePlayPath::StopAudioPlay();
    stopPlay(&m_lists.m_PlayInfo);
    m_streamTest->NewRun();
    m_lLastCount = 0;
    m_lists.ClearCurrentDevice();
    LogPrint(LOG_INFO, "#PelloxDebug Enter LeftTopWidget::CreateAutoPlayThread()");
    m_workers.Start(StationWorkers::Search, [this] { ExecuteAutoSearchDevThread(); });
    m_workers.Start(StationWorkers::StreamTest, [this] { ExecuteImageStreamTestThread(); });
    return 0;
}

void LeftTopWidget::StopRunThreads()
{
    FC_Loc_SetReconnect(1);
    if (VideoForm* pane = GetCurVideoForm()) {
        pane->UnbindDevice();
        pane->SetStopRender(true);
    }
    LivePlayPath::StopAudioPlay();
    SetResetUI();
    m_lists.BumpGeneration();
    m_bStopping = true;
    ApplyRunButtonState();
    FinishStop();
}

void LeftTopWidget::FinishStop()
{
    if (!m_bStopping)
        return;
    // Called from inside a hand-off (a box of the submission, say): the thread
    // that handed it off waits for it to return, so its join must come later.
    if (m_handOffs.IsRunningJob()) {
        QTimer::singleShot(kStopRetryMs, this, [this] { FinishStop(); });
        return;
    }
    m_workers.Join(StationWorkers::Search, kSearchJoinWarnMs);
    m_workers.Join(StationWorkers::StreamTest, kStreamJoinWarnMs);
    // What the workers posted just before they ended.
    m_handOffs.RunPending();
    // Only now is no thread left that could play the current device again.
    stopPlay(&m_lists.m_PlayInfo);
    ResetRunCounters();
    m_lists.ClearDevTypes();
    m_bStopping = false;
    ApplyRunButtonState();
}

void LeftTopWidget::ApplyRunButtonState()
{
    const bool running = IsRunning();
    ui->btn_BeginRun->setText(running ? tr("Stop Run") : tr("Begin Run"));
    ui->btn_BeginRun->setEnabled(!m_bStopping && (m_bAutoPlay || running));
}

void LeftTopWidget::ResetRunCounters()
{
    m_lLastCount = 0;
    m_lCurrentCount = 0;
    m_lists.ResetCurrentDevType();
}

void LeftTopWidget::StopAfterNetworkAnomalies()
{
    if (IsRunning() && !m_bStopping)
        onBeginRunBtnClicked();
    if (m_host)
        m_host->LogOut();
}

void LeftTopWidget::onUploadDataNetworkAnomalies()
{
    ShowInformationBox(tr("Error"), tr("there is a problem with network connection. Please log in again"));
    // This runs inside the stream-test thread's hand-off; stopping the run here
    // would wait for that very thread.
    QMetaObject::invokeMethod(this, [this] { StopAfterNetworkAnomalies(); }, Qt::QueuedConnection);
}

void LeftTopWidget::OnGenerationChanged()
{
    if (m_handOffs.IsGuiThread())
        emit generationChanged();
    else
        m_handOffs.Post([this] { emit generationChanged(); });
}

// ---------------------------------------------------------------------------
// Events

void LeftTopWidget::SetResetUI()
{
    if (!MainWindowInstance.load())
        return;
    LogPrint(LOG_INFO, "LeftTopWidget::SetResetUI() start postEvent WM_RESET_UI");
    PostToMainWindow(WM_RESET_UI, 0, 0);
}

void LeftTopWidget::PostToMainWindow(int code, qint64 word1, qint64 word2)
{
    PostVantrelEvent(MainWindowInstance.load(), code, word1, word2);
}

void LeftTopWidget::customEvent(QEvent* event)
{
    if (event->type() != static_cast<QEvent::Type>(WM_BEGIN_AUTO_TEST))
        return;
    if (m_lists.CurrentLoginHandle() <= 0)
        return;
    KillAllStepTimers();
    BeginChain();
    if (m_bManalAutoTesting.load())
        m_bManualAutoStopRequest = true;
    dealBeginTestAutoItem();
}

bool LeftTopWidget::eventFilter(QObject* watched, QEvent* event)
{
    if (watched && watched == m_pCheckQRCodeDlg.data()) {
        switch (event->type()) {
        case QEvent::WindowActivate:
            if (m_host)
                m_host->ReleaseVideoKeyboard();
            break;
        case QEvent::WindowDeactivate:
            if (m_host)
                m_host->GrabVideoKeyboard();
            break;
        case QEvent::Close:
            m_bCheckQRCodeDlgOpen = false;
            break;
        default:
            break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void LeftTopWidget::showEvent(QShowEvent* event)
{
    if (m_pCheckQRCodeDlg && m_bCheckQRCodeDlgOpen && !window()->isMinimized())
        m_pCheckQRCodeDlg->show();
    QWidget::showEvent(event);
}

void LeftTopWidget::hideEvent(QHideEvent* event)
{
    if (m_pCheckQRCodeDlg)
        m_pCheckQRCodeDlg->hide();
    QWidget::hideEvent(event);
}

void LeftTopWidget::ShowChildWindow(bool show)
{
    if (!m_pCheckQRCodeDlg)
        return;
    if (!show) {
        m_pCheckQRCodeDlg->hide();
        return;
    }
    if (m_bCheckQRCodeDlgOpen && m_pCheckQRCodeDlg->isHidden()) {
        m_pCheckQRCodeDlg->show();
        m_pCheckQRCodeDlg->activateWindow();
    }
}

// ---------------------------------------------------------------------------
// Small accessors

VideoForm* LeftTopWidget::GetCurVideoForm() const
{
    return m_host ? m_host->GetCurVideoForm() : nullptr;
}

ConfigInfo LeftTopWidget::ConfigSnapshot() const
{
    std::lock_guard<ListLock> guard(m_lockConfig);
    return m_IniCfgFile;
}

void LeftTopWidget::SetConfig(const ConfigInfo& config)
{
    std::lock_guard<ListLock> guard(m_lockConfig);
    m_IniCfgFile = config;
}

QString LeftTopWidget::CurrentIP() const
{
    std::lock_guard<ListLock> guard(m_lockCurrentIP);
    return m_qstrCurrentIP;
}

QString LeftTopWidget::ConfigFilePathText() const
{
    return ui->le_SelectConfigFile->text();
}

QString LeftTopWidget::AlarmFilePathText() const
{
    return ui->le_SelectAudioWarnFile->text();
}
