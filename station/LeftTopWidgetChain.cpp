// The automatic step machine, the item commands and the chain's nested wait.
// A chain belongs to one camera and one run (ChainToken): every tick, single
// shot, job end and return from a nested loop asks IsChainCurrent first, and a
// chain that lost its camera stops without sending anything more.
#include "LeftTopWidget.h"
#include "EntryField.h"

#include "AppGlobals.h"
#include "Clock.h"
#include "ControllerHost.h"
#include "DevChecks.h"
#include "DevCommand.h"
#include "EnumClass.h"
#include "FuncLib.h"
#include "BackendEndpoint.h"
#include "HttpClient.h"
#include "ItemJudges.h"
#include "JTimer.h"
#include "JsonReply.h"
#include "Log.h"
#include "RightBottomWidget.h"
#include "VantrelEvent.h"
#include "VideoForm.h"

#include <QEventLoop>
#include <QFile>
#include <QTimer>
#include <QTimerEvent>

#include <cstring>

namespace {

constexpr int kPollMs = 100;
constexpr int k4GPollMs = 1000;
constexpr uint32_t kWifiConnectSettleMs = 8000;
constexpr int kTFCardQueryPauseMs = 300;
constexpr int kUploadPathMax = 259;      // bytes the SDK's path buffer holds before its NUL
constexpr int kSwitchSettleMs = 2000;

}  // namespace

// ---------------------------------------------------------------------------
// Chain identity

void LeftTopWidget::BeginChain()
{
    ++m_uChainGeneration;
    m_chain = CurrentChainToken();
    for (AutoStepSlot& slot : m_AutoSteps)
        slot.token = m_chain;
    // Nothing of the previous camera may reach this one's label or jobs.
    m_strCustomMac.clear();
    m_iAuthorizeReplyStatus = 0;
    m_iAuthorizationStatus = 0;
    m_strAuthorizeUUID.clear();
    m_strAuthorizeKey.clear();
    DevTypeInfo cached;
    if (m_lists.LookupDevType(m_chain.login, &cached))
        m_lists.SetCurrentDevType(cached);
    else
        m_lists.ResetCurrentDevType();
    LogPrint(LOG_INFO, "LeftTopWidget::BeginChain() chain %llu, lUserID=%lld, SN=%s",
             (unsigned long long)m_chain.chain, (long long)m_chain.login, m_chain.sn.constData());
    // A nested wait of the previous chain ends now.
    emit generationChanged();
}

ChainToken LeftTopWidget::CurrentChainToken() const
{
    ChainToken token;
    token.chain = m_uChainGeneration;
    token.device = m_lists.Generation();
    m_lists.ReadCurrentDevice([&](const DevInfo& dev) {
        token.login = dev.lUserID;
        token.sn = Field(dev.ipcEntry.ipc_sn);
    });
    return token;
}

bool LeftTopWidget::IsChainCurrent(const ChainToken& token) const
{
    return token.login > 0 && token == CurrentChainToken();
}

bool LeftTopWidget::IsCurrentDevStopped() const
{
    int64_t stop = 0;
    m_lists.ReadCurrentDevice([&](const DevInfo& dev) { stop = DevLoad(dev.lStopFlag); });
    return stop != 0;
}

// ---------------------------------------------------------------------------
// Steps and the poll rule

int LeftTopWidget::StepTimeoutMs(AutoStep step)
{
    switch (step) {
    case STEP_TF_CARD: return 5000;
    case STEP_4G: return 90000;
    case STEP_FORMAT: return 18000;
    case STEP_LOGO: return 6000;
    default: return 3000;
    }
}

void LeftTopWidget::StartStep(AutoStep step, int pollMs)
{
    AutoStepSlot& slot = m_AutoSteps[step];
    // A manual item that starts the chain's running step again must not strand the chain.
    const bool chainWaits = slot.iTimerId != 0 && slot.bChainWaits;
    if (slot.iTimerId != 0)
        killTimer(slot.iTimerId);
    slot.iReplyFlag = 0;
    slot.token = CurrentChainToken();
    slot.dwStartTick = uint32_t(Clock::TickMs());
    slot.bJudged = false;
    slot.bChainWaits = chainWaits;
    if (pollMs <= 0)
        pollMs = step == STEP_4G ? k4GPollMs : kPollMs;
    slot.iTimerId = startTimer(pollMs, Qt::CoarseTimer);
}

void LeftTopWidget::StartChainStep(AutoStep step)
{
    StartStep(step);
    m_AutoSteps[step].bChainWaits = true;
}

bool LeftTopWidget::IsLateReply(AutoStep step, int msgCode) const
{
    if (!m_AutoSteps[step].bJudged)
        return false;
    LogPrint(LOG_INFO, "LeftTopWidget::onAuxResponse() reply %d of lUserID=%lld came after its step was judged, dropped",
             msgCode, (long long)m_lists.CurrentLoginHandle());
    return true;
}

void LeftTopWidget::KillAllStepTimers()
{
    for (AutoStepSlot& slot : m_AutoSteps) {
        if (slot.iTimerId != 0)
            killTimer(slot.iTimerId);
        slot.iTimerId = 0;
        slot.bJudged = false;
        slot.bChainWaits = false;
    }
}

void LeftTopWidget::timerEvent(QTimerEvent* event)
{
    for (int i = 0; i < AUTO_STEP_COUNT; ++i) {
        if (m_AutoSteps[i].iTimerId == event->timerId()) {
            HandleStepTick(AutoStep(i));
            return;
        }
    }
    QWidget::timerEvent(event);
}

void LeftTopWidget::HandleStepTick(AutoStep step)
{
    AutoStepSlot& slot = m_AutoSteps[step];
    const bool chainWaits = slot.bChainWaits;
    auto endStep = [&] {
        killTimer(slot.iTimerId);
        slot.iTimerId = 0;
        slot.dwStartTick = 0;
        slot.iReplyFlag = 0;
        slot.bChainWaits = false;
    };
    if (!IsChainCurrent(slot.token)) {
        endStep();
        LogPrint(LOG_INFO, "LeftTopWidget::timerEvent() step %d of SN=%s lost its camera, no judge, nothing sent",
                 int(step), slot.token.sn.constData());
        return;
    }
    const int flag = slot.iReplyFlag.load();
    const uint32_t elapsed = uint32_t(Clock::TickMs()) - slot.dwStartTick;
    if (flag != 1 && elapsed < uint32_t(StepTimeoutMs(step))) {
        // The module said "not ready": ask again on every tick.
        if (step == STEP_4G && flag == 2 && !IsCurrentDevStopped())
            SendStepCommand(CMD_GET_4G_INFO, CommandBody::None());
        return;
    }
    endStep();
    slot.bJudged = true;
    FinishStep(step, flag == 1, chainWaits);
}

void LeftTopWidget::FinishStep(AutoStep step, bool replied, bool chainWaits)
{
    switch (step) {
    case STEP_SN:
        onTimerSerialNumber();
        AutoGetFactoryTestState();
        break;
    case STEP_FACTORY_STATE:
        AutoGetCapability();
        break;
    case STEP_CAPABILITY:
        PostToMainWindow(WM_SENSOR_SWITCH_SUPPORT, m_bSupportSensorSwitch ? 1 : 0, 0);
        AutoGetSysVersion();
        break;
    case STEP_VERSION: {
        const ChainToken token = m_chain;
        onTimerCheckVersion();
        if (IsChainCurrent(token))
            NextCustomizationStep(STEP_VERSION);
        break;
    }
    case STEP_COUNTRY_CITY:
    case STEP_CUSTOM_MAC:
    case STEP_LOGO:
        JudgeCustomizationStep(step);
        NextCustomizationStep(step);
        break;
    case STEP_DEV_TYPE:
        JudgeDevTypeStep();
        break;
    case STEP_LIGHT_MODE:
        JudgeLightModeStep(replied);
        PostBindJob();
        break;
    case STEP_AUTHORIZE:
        PostAuthorizeJob();
        break;
    case STEP_FUNCTION_CODE:
        onTimerCheckFunctionCode();
        if (chainWaits)
            AutoTestFinalSteps();
        break;
    case STEP_RTC: {
        int rtc = 0;
        m_lists.ReadCurrentDevice([&](const DevInfo& dev) { rtc = dev.TestRuslut.rtc_result; });
        ApplyVerdict(JudgeRtc(rtc), &DevTestResult::rtc_result);
        AutoTestTFCard();
        break;
    }
    case STEP_TF_CARD:
        JudgeTFCardStep(chainWaits);
        if (chainWaits)
            ChoiceAfterTFCard();
        break;
    case STEP_WIFI_SIGNAL:
        if (m_iManualWifiSignal != 0)
            JudgeManualWifiSignal();
        else
            JudgeAutoWifiSignal();
        if (!chainWaits)
            break;
        if (LoggedIn.load())
            PostQRCodeJob(AUX_MSG_PRINT_QRCODE);
        else
            AutoTestFinish();
        break;
    case STEP_4G:
        Post4GJob(chainWaits);
        break;
    case STEP_FORMAT:
        FinishFormatStep();
        break;
    default:
        break;
    }
}

void LeftTopWidget::SendStepCommand(int code, const CommandBody& body)
{
    const int64_t login = m_lists.CurrentLoginHandle();
    const int ret = SendDevCommand(login, code, body);
    if (ret < 0)
        LogPrint(LOG_DEBUG0, "LeftTopWidget: command %d to lUserID=%lld not sent, ret=%d", code, (long long)login, ret);
}

// ---------------------------------------------------------------------------
// What follows a step

void LeftTopWidget::NextCustomizationStep(AutoStep after)
{
    // Country/city, custom MAC, logo, then the device type; each only when the order asks for it.
    const AutoStep order[] = {STEP_COUNTRY_CITY, STEP_CUSTOM_MAC, STEP_LOGO, STEP_DEV_TYPE};
    bool past = after == STEP_VERSION;
    for (AutoStep step : order) {
        if (!past) {
            past = step == after;
            continue;
        }
        switch (step) {
        case STEP_COUNTRY_CITY:
            if (m_strCountryCity.isEmpty())
                continue;
            AutoModifyCountryCity();
            return;
        case STEP_CUSTOM_MAC:
            if (m_iCustomMac != 1)
                continue;
            AutoModifyMac();
            return;
        case STEP_LOGO:
            if (m_strLogoFileSavePath.isEmpty())
                continue;
            AutoUploadLogoFile();
            return;
        default:
            AutoGetDevType();
            return;
        }
    }
}

void LeftTopWidget::JudgeDevTypeStep()
{
    static const char* const kLoginFirst[] = {
        QT_TR_NOOP("wifi device test need login first"),
        QT_TR_NOOP("wire wifi device test need login first"),
        QT_TR_NOOP("4G device test need login first"),
    };
    // The camera's own reply, whichever way it came.
    DevTypeInfo reply;
    if (m_lists.LookupDevType(m_chain.login, &reply))
        m_lists.SetCurrentDevType(reply);
    const int testType = CurrentTestType.load();
    if (testType >= 0 && testType <= 2 && !LoggedIn.load())
        AddAutoTestItem(tr(kLoginFirst[testType]), false);
    JudgeTestModel(m_lists.CurrentDevType());
    if (ConfigSnapshot().m_LightMode.bUseLightModeTest)
        AutoGetLightMode();
    else
        PostBindJob();
}

void LeftTopWidget::AfterAuthorization()
{
    if (ConfigSnapshot().m_AutoTest.bFunctionCode)
        AutoTestFunctionCode();
    else
        AutoTestFinalSteps();
}

void LeftTopWidget::ChoiceAfterTFCard()
{
    switch (CurrentTestType.load()) {
    case 0:
        if (ConfigSnapshot().m_AutoTest.bWifiSignal) {
            StartWifiSignalAfterConnect();
            return;
        }
        [[fallthrough]];
    case 1:
        if (LoggedIn.load())
            PostQRCodeJob(AUX_MSG_PRINT_QRCODE);
        else
            AutoTestFinish();
        return;
    case 2:
        Auto4GTestItem();
        return;
    default:
        AutoTestFinish();
        return;
    }
}

void LeftTopWidget::StartWifiSignalAfterConnect()
{
    // The camera needs time to join the network the chain's start told it.
    const uint32_t elapsed = uint32_t(Clock::TickMs()) - m_dwWifiStartTick;
    const int delay = elapsed < kWifiConnectSettleMs ? int(kWifiConnectSettleMs - elapsed) : 0;
    const ChainToken token = m_chain;
    QTimer::singleShot(delay, this, [this, token] {
        if (!IsChainCurrent(token)) {
            LogPrint(LOG_INFO, "LeftTopWidget::onTimerAutoTestWifiSignal() the chain of SN=%s ended, nothing sent",
                     token.sn.constData());
            return;
        }
        onTimerAutoTestWifiSignal();
    });
}

void LeftTopWidget::onTimerAutoTestWifiSignal()
{
    AutoTestWifiSignal();
}

void LeftTopWidget::FinishFormatStep()
{
    VideoForm* pane = GetCurVideoForm();
    if (!pane)
        return;
    int formatResult = -1;
    m_lists.ReadCurrentDevice([&](const DevInfo& dev) { formatResult = dev.iFormatResult; });
    const JudgeVerdict verdict = JudgeFormat(formatResult);
    const QString text = verdict.lines.value(0).text;
    const bool ok = verdict.result == 1;
    if (RightBottomWidget* panel = m_host ? m_host->GetManualPanel() : nullptr)
        panel->SetFormatResult(text, ok);
    pane->SetTestResultText(VideoForm::RESULT_MANUAL, text, ok);
    AddAutoTestItem(text, ok);
    if (!ok || IsCurrentDevStopped())
        return;
    m_iManualTFCard = 1;
    SendStepCommand(CMD_GET_TF_CARD_INFO, CommandBody::None());
    StartStep(STEP_TF_CARD);
}

void LeftTopWidget::ChannelSwitchDoneLater()
{
    QTimer::singleShot(kSwitchSettleMs, this, [this] {
        if (!m_bManalAutoTesting.load())
            PostToMainWindow(WM_MANUAL_ITEM_ENABLE, EnumClass::MANUAL_SWITCH_CHANNEL, 1);
    });
}

void LeftTopWidget::SensorSwitchDoneLater(int item)
{
    QTimer::singleShot(kSwitchSettleMs, this, [this, item] { PostToMainWindow(WM_MANUAL_ITEM_ENABLE, item, 1); });
}

// ---------------------------------------------------------------------------
// Jobs the chain posts

void LeftTopWidget::PostBindJob()
{
    PostAuxJob(MakeAuxJob(AUX_MSG_BIND_DEV, NewBindJob(), &LeftTopWidget::DoBindDevJob), AUX_SOURCE_AUTO);
}

std::unique_ptr<DevBindJob> LeftTopWidget::NewBindJob() const
{
    auto job = std::make_unique<DevBindJob>();
    job->devType = m_lists.CurrentDevType();
    m_lists.ReadCurrentDevice([&](const DevInfo& dev) {
        job->strSN = QString::fromLatin1(Field(dev.ipcEntry.ipc_sn));
        job->szModel = QString::fromLatin1(Field(dev.szModel));
    });
    job->strMacAddr = QString::fromLatin1(Field(m_szLocalMac));
    return job;
}

void LeftTopWidget::PostAuthorizeJob()
{
    auto job = std::make_unique<AuxAuthorizeCheckMsg>();
    job->iReplyStatus = m_iAuthorizeReplyStatus;
    job->AutorizationStatus = m_iAuthorizationStatus;
    job->strUUID = m_strAuthorizeUUID;
    job->strKey = m_strAuthorizeKey;
    m_lists.ReadCurrentDevice([&](const DevInfo& dev) {
        job->strSN = QString::fromLatin1(Field(dev.ipcEntry.ipc_sn));
        job->strModel = QString::fromLatin1(Field(dev.szModel));
    });
    job->iType = 1;
    const QByteArray uuid = m_strAuthorizeUUID.toUtf8();
    m_lists.UpdateCurrentDevice(m_chain.login, [&](DevInfo& dev) { SetResultText(dev.TestRuslut.tuya_uuid, uuid.constData()); });
    PostAuxJob(MakeAuxJob(AUX_MSG_AUTHORIZE_CHECK, std::move(job), &LeftTopWidget::DoAuthorizeCheckJob),
               AUX_SOURCE_AUTO);
}

void LeftTopWidget::Post4GJob(bool chainWaits)
{
    // The job's source decides whether its end goes on with the chain.
    auto job = std::make_unique<Dev4GInfo>(m_Dev4GInfo);
    PostAuxJob(MakeAuxJob(AUX_MSG_4G_INFO_TEST, std::move(job), &LeftTopWidget::do4GDevInfoTest),
               chainWaits ? AUX_SOURCE_AUTO : m_iManual4G);
}

bool LeftTopWidget::PostQRCodeJob(uint32_t message, int source)
{
    const DevTypeInfo type = m_lists.CurrentDevType();
    auto job = std::make_unique<AuxPrintQRCodeMsg>();
    job->eType = type.eType;
    job->iSDKType = type.iSDKType;
    m_lists.ReadCurrentDevice(
        [&](const DevInfo& dev) { job->strDevSN = QString::fromLatin1(Field(dev.ipcEntry.ipc_sn)); });
    if (message == AUX_MSG_PRINT_QRCODE)
        job->strMac = m_strCustomMac;
    job->strUUID = m_strAuthorizeUUID;
    auto body = message == AUX_MSG_PRINT_QRCODE ? &LeftTopWidget::DoPrintQRCodeJob : &LeftTopWidget::DoCheckQRCodeJob;
    return PostAuxJob(MakeAuxJob(message, std::move(job), body), source);
}

// ---------------------------------------------------------------------------
// Senders. Each does nothing while the current device is stopped.

void LeftTopWidget::AutoTestSN()
{
    if (IsCurrentDevStopped())
        return;
    m_bTestNormal = true;
    LogPrint(LOG_INFO, "LeftTopWidget::AutoTestSN(), begin Send CMD_GET_IPC_SERIALNUMBER");
    SendStepCommand(CMD_GET_IPC_SERIALNUMBER, CommandBody::Empty());
    StartStep(STEP_SN);
}

void LeftTopWidget::AutoGetFactoryTestState()
{
    if (IsCurrentDevStopped())
        return;
    SendStepCommand(CMD_GET_FACTORY_TEST_STATE, CommandBody::Empty());
    StartStep(STEP_FACTORY_STATE);
}

void LeftTopWidget::AutoGetCapability()
{
    if (IsCurrentDevStopped())
        return;
    // The sensor-switch byte keeps its value until a reply sets it.
    m_bHwCfgInfoIot = false;
    m_bSupportRestore = false;
    SendStepCommand(CMD_GET_CAPABILITY, CommandBody::None());
    StartStep(STEP_CAPABILITY);
}

void LeftTopWidget::AutoGetSysVersion()
{
    if (IsCurrentDevStopped())
        return;
    SendStepCommand(CMD_GET_SYS_VERSION, CommandBody::Empty());
    StartStep(STEP_VERSION);
}

void LeftTopWidget::AutoGetDevType()
{
    if (IsCurrentDevStopped())
        return;
    LogPrint(LOG_INFO, "LeftTopWidget::AutoGetDevType() Enter");
    DevTypeInfo cached;
    if (m_lists.LookupDevType(m_lists.CurrentLoginHandle(), &cached)) {
        // The type this camera reported earlier; never the previous camera's.
        m_lists.SetCurrentDevType(cached);
        StartStep(STEP_DEV_TYPE);
        m_AutoSteps[STEP_DEV_TYPE].iReplyFlag = 1;
        return;
    }
    m_lists.ResetCurrentDevType();
    SendStepCommand(CMD_GET_DEV_TYPE, CommandBody::None());
    StartStep(STEP_DEV_TYPE);
}

void LeftTopWidget::AutoGetLightMode()
{
    if (IsCurrentDevStopped())
        return;
    m_strLightModeName.clear();
    SendStepCommand(CMD_HARDWARE_CONFIG_GET, CommandBody::None());
    StartStep(STEP_LIGHT_MODE);
}

void LeftTopWidget::AutoModifyCountryCity()
{
    if (IsCurrentDevStopped())
        return;
    const QStringList parts = m_strCountryCity.split(QLatin1Char(';'));
    if (parts.size() == 2)
        SendStepCommand(CMD_SET_COUNTRY_CITY, CountryCityBody(parts[0].toUtf8(), parts[1].toUtf8()));
    else
        LogPrint(LOG_GENERAL, "LeftTopWidget::AutoModifyCountryCity() '%s' is no country;city pair, nothing sent",
                 m_strCountryCity.toUtf8().constData());
    StartStep(STEP_COUNTRY_CITY);
}

void LeftTopWidget::AutoModifyMac()
{
    if (IsCurrentDevStopped())
        return;
    m_strCustomMac.clear();
    const QByteArray sn = m_chain.sn;
    HttpClient client;
    const QByteArray order = m_strOrderNumber.toUtf8();
    const HttpResult reply = client.HttpGetCustomMacAddress(BackendEndpoint::Station(), order.constData(), sn.constData());
    const int ret = reply.Value();
    Json::Value root;
    std::string mac;
    bool macOk = false;
    if (reply.Accepted() && JsonReply::ParseObject(reply.body.data(), reply.body.size(), &root)) {
        const Json::Value& data = JsonReply::Member(root, "data", Json::objectValue, &macOk);
        macOk = macOk && JsonReply::ReadString(data, "mac", &mac);
    }
    if (!macOk || mac.empty()) {
        LogPrint(LOG_GENERAL, "LeftTopWidget::AutoModifyMac() no MAC from the back-end for SN=%s, ret=%d",
                 sn.constData(), ret);
    } else {
        const QByteArray macText = QByteArray::fromStdString(mac);
        const CommandBody body = CustomMacBody(macText, QByteArray());
        if (body.IsRefused()) {
            LogPrint(LOG_GENERAL, "LeftTopWidget::AutoModifyMac() the back-end's MAC for SN=%s is refused", sn.constData());
        } else {
            m_strCustomMac = QString::fromUtf8(macText);
            SendStepCommand(CMD_SET_CUSTOM_MAC, body);
        }
    }
    StartStep(STEP_CUSTOM_MAC);
}

void LeftTopWidget::AutoUploadLogoFile()
{
    if (IsCurrentDevStopped())
        return;
    if (m_strLogoFileSavePath.isEmpty()) {
        LogPrint(LOG_GENERAL, "LeftTopWidget::AutoUploadLogoFile() no logo file");
        return;
    }
    // A cut path would name another file: a path the call cannot hold is refused.
    const QByteArray path = QFile::encodeName(m_strLogoFileSavePath);
    if (path.size() > kUploadPathMax) {
        LogPrint(LOG_GENERAL, "LeftTopWidget::AutoUploadLogoFile() the logo path has %d bytes, more than %d; not sent",
                 int(path.size()), kUploadPathMax);
    } else {
        const int ret = FC_Loc_UploadLogo(m_lists.CurrentLoginHandle(), path.constData());
        LogPrint(LOG_INFO, "LeftTopWidget::AutoUploadLogoFile() FC_Loc_UploadLogo ret=%d", ret);
    }
    StartStep(STEP_LOGO);
}

void LeftTopWidget::AutoGetAuthorizeCodeInfo()
{
    if (IsCurrentDevStopped())
        return;
    m_iAuthorizeReplyStatus = 0;
    m_iAuthorizationStatus = 0;
    m_strAuthorizeUUID.clear();
    m_strAuthorizeKey.clear();
    SendStepCommand(CMD_GET_AUTHORIZE_CODE_INFO, CommandBody::None());
    StartStep(STEP_AUTHORIZE);
}

void LeftTopWidget::AutoTestFunctionCode()
{
    if (IsCurrentDevStopped())
        return;
    m_lists.UpdateCurrentDevice(m_lists.CurrentLoginHandle(), [](DevInfo& dev) {
        dev.iRetCode = 300;
        SetResultText(dev.szFuncCode, "");
        SetResultText(dev.szSupportFuncCode, "");
    });
    // A manual check still in flight keeps its marker: its result goes to the panel too.
    if (m_AutoSteps[STEP_FUNCTION_CODE].iTimerId == 0)
        m_iManualFunctionCode = 0;
    SendStepCommand(CMD_FUNCTION_CODE_CHECK, CommandBody::Empty());
    StartChainStep(STEP_FUNCTION_CODE);
}

void LeftTopWidget::AutoTestRTC()
{
    if (IsCurrentDevStopped())
        return;
    if (!ConfigSnapshot().m_AutoTest.bRTC) {
        AutoTestTFCard();
        return;
    }
    SendStepCommand(CMD_GET_RTC, CommandBody::None());
    StartStep(STEP_RTC);
}

void LeftTopWidget::AutoTestTFCard()
{
    if (IsCurrentDevStopped())
        return;
    if (!ConfigSnapshot().m_AutoTest.bTFCard) {
        ChoiceAfterTFCard();
        return;
    }
    if (m_AutoSteps[STEP_TF_CARD].iTimerId == 0)
        m_iManualTFCard = 0;
    SendStepCommand(CMD_PRE_TF_CARD_QUERY, CommandBody::None());
    m_AutoSteps[STEP_TF_CARD].iReplyFlag = 0;
    // The card answers 1105 only once 1505 has woken it.
    const ChainToken token = m_chain;
    QTimer::singleShot(kTFCardQueryPauseMs, this, [this, token] {
        if (!IsChainCurrent(token) || IsCurrentDevStopped()) {
            LogPrint(LOG_INFO, "LeftTopWidget::AutoTestTFCard() the chain of SN=%s ended, 1105 not sent",
                     token.sn.constData());
            return;
        }
        SendStepCommand(CMD_GET_TF_CARD_INFO, CommandBody::None());
        StartChainStep(STEP_TF_CARD);
    });
}

void LeftTopWidget::AutoTestWifiSignal()
{
    if (IsCurrentDevStopped())
        return;
    if (m_AutoSteps[STEP_WIFI_SIGNAL].iTimerId == 0)
        m_iManualWifiSignal = 0;
    SendStepCommand(CMD_GET_WIFI_SIGNAL, CommandBody::None());
    StartChainStep(STEP_WIFI_SIGNAL);
}

void LeftTopWidget::Auto4GTestItem()
{
    if (IsCurrentDevStopped())
        return;
    if (m_AutoSteps[STEP_4G].iTimerId == 0)
        m_iManual4G = 0;
    m_Dev4GInfo.ClearQueried();
    if (m_lists.CurrentDevType().eType == 6)
        AddAutoTestItem(tr("Obtaining dual 4G card information, please wait..."), true);
    SendStepCommand(CMD_GET_4G_INFO, CommandBody::None());
    StartChainStep(STEP_4G);
}

// ---------------------------------------------------------------------------
// The tail of the chain

void LeftTopWidget::AutoTestFinalSteps()
{
    if (IsCurrentDevStopped())
        return;
    const ChainToken token = m_chain;
    const ConfigInfo config = ConfigSnapshot();
    if (config.m_SystemConfig.iTestMode == 1) {
        QByteArray ip;
        m_lists.ReadCurrentDevice([&](const DevInfo& dev) { ip = Field(dev.ipcEntry.szIP); });
        PostIdServiceRequest(ip);
    }
    if (!WaitWithEventLoop() || !IsChainCurrent(token)) {
        LogPrint(LOG_INFO, "LeftTopWidget::AutoTestFinalSteps() the chain of SN=%s ended during the picture wait",
                 token.sn.constData());
        return;
    }
    if (m_bLockParameter && !IsCurrentDevStopped()) {
        const CommandBody body = LockParameterBody(1);
        const int ret = SendDevCommand(m_lists.CurrentLoginHandle(), CMD_IOT_CAMERA_LOCK_PARAMETER, body);
        LogPrint(LOG_INFO, "LeftTopWidget::AutoTestFinalSteps() lock parameter %s, ret=%d", body.Bytes().constData(),
                 ret);
    }
    if (m_bAutoUploadAudio) {
        ManualTestUploadAlarmFile();
        if (!IsChainCurrent(token))
            return;
    }
    const int testType = CurrentTestType.load();
    if (testType >= 0 && testType <= 2) {
        if (config.m_AutoTest.bPTZ) {
            dealManualTest(EnumClass::MANUAL_PTZ_RESET, 0);
            if (!IsChainCurrent(token))
                return;
        }
        AutoTestRTC();
        return;
    }
    if (testType == 3 && m_lists.CurrentDevType().eType == 5 && LoggedIn.load()) {
        PostQRCodeJob(AUX_MSG_PRINT_QRCODE);
        return;
    }
    AutoTestFinish();
}

void LeftTopWidget::AutoTestFinish()
{
    LogPrint(LOG_INFO, "LeftTopWidget::AutoTestFinish() SN=%s", m_chain.sn.constData());
    if (ConfigSnapshot().m_ManualAutoTest.bAutoBeginRun) {
        if (m_bManalAutoTesting.load()) {
            RequestManualAutoRestart();
            return;
        }
        if (!IsCurrentDevStopped() && StartManualAutomation())
            return;
    }
    bool streaming = false;
    m_lists.ReadCurrentDevice([&](const DevInfo& dev) { streaming = DevLoad(dev.lPlayID) > 0 && DevLoad(dev.lRealHandle) > 0; });
    if (streaming && !m_bManualTipShown.exchange(true))
        AddAutoTestItem(tr("Please Begin Manual Test"), true);
}

// ---------------------------------------------------------------------------
// The nested wait of the final steps

bool LeftTopWidget::WaitWithEventLoop()
{
    const ChainToken token = CurrentChainToken();
    const bool twoLenses = m_lists.m_SvrRetDevTypeInfo.IsMultiChannel();
    const bool gunLens = twoLenses && m_lCurrentChannel.load() == 0;
    int videoResult = 0;
    m_lists.ReadCurrentDevice([&](const DevInfo& dev) {
        videoResult = gunLens ? dev.TestRuslut.video_result2 : dev.TestRuslut.m_iTestVideo;
    });
    if (videoResult != 0)
        return true;

    QEventLoop loop;
    JTimer limit(5000);
    connect(m_pVideoTimer, &JTimer::signalTimeout, &loop, &QEventLoop::quit);
    if (VideoForm* pane = GetCurVideoForm())
        connect(pane, &OpenglRender::signalUpdateView, &loop, &QEventLoop::quit);
    connect(&limit, &JTimer::signalTimeout, &loop, &QEventLoop::quit);
    connect(this, &LeftTopWidget::generationChanged, &loop, &QEventLoop::quit);
    // A run stop, a new device or a new chain before the connections were made.
    if (CurrentChainToken() != token)
        return false;
    limit.start();
    loop.exec();
    return CurrentChainToken() == token;
}
