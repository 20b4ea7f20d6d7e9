// Device reply dispatch, reply parsers, status events and the chain's start.
#include "LeftTopWidget.h"

#include "AppGlobals.h"
#include "AuxResponseInfo.h"
#include "Clock.h"
#include "ControllerHost.h"
#include "DevCommand.h"
#include "FuncLib.h"
#include "LeftBottomWidget.h"
#include "Log.h"
#include "ReplyDocument.h"
#include "ReplyFields.h"

#include <QCoreApplication>

#include <algorithm>
#include <cstring>
#include <mutex>

namespace {

constexpr int kLogoUploadType = 4;

// A reply text for a log line: at most this many bytes of it.
constexpr int kLoggedReply = 1024;

const char* ReplyText(const AuxResponseInfo* info)
{
    return info->pResponse ? info->pResponse : "";
}

template <size_t N>
void SetField(char (&field)[N], const QString& text)
{
    SetResultText(field, text.toLatin1().constData());
}

bool IsCurrent(LeftTopWidget& w, const AuxResponseInfo* info)
{
    return info->lLoginID > 0 && info->lLoginID == w.Lists().CurrentLoginHandle();
}

// The step a reply answers, for the replies that write what a judge reads;
// AUTO_STEP_COUNT for the others (the serial number and the logo upload are
// sorted out by their parsers).
AutoStep StepOfReply(int msgCode)
{
    switch (msgCode) {
    case CMD_SET_CUSTOM_MAC: return STEP_CUSTOM_MAC;
    case CMD_SET_COUNTRY_CITY: return STEP_COUNTRY_CITY;
    case CMD_GET_FACTORY_TEST_STATE: return STEP_FACTORY_STATE;
    case CMD_GET_SYS_VERSION: return STEP_VERSION;
    case CMD_GET_TF_CARD_INFO: return STEP_TF_CARD;
    case CMD_FORMAT_SD_CARD: return STEP_FORMAT;
    case CMD_HARDWARE_CONFIG_GET: return STEP_LIGHT_MODE;
    case CMD_GET_RTC: return STEP_RTC;
    case CMD_GET_WIFI_SIGNAL: return STEP_WIFI_SIGNAL;
    case CMD_GET_4G_INFO: return STEP_4G;
    case CMD_FUNCTION_CODE_CHECK: return STEP_FUNCTION_CODE;
    case CMD_GET_AUTHORIZE_CODE_INFO: return STEP_AUTHORIZE;
    default: return AUTO_STEP_COUNT;
    }
}

}  // namespace

// ---------------------------------------------------------------------------
// Dispatch

void LeftTopWidget::onAuxResponse(AuxResponseInfo* info)
{
    if (!info)
        return;
    const bool current = IsCurrent(*this, info);
    if (current)
        m_bCurDevAlive = true;
    const int msgCode = AuxMessageCode(info->lStateCode);
    const int status = AuxStatusByte(info->lStateCode);
    LogPrint(LOG_INFO, "LeftTopWidget::onAuxResponse(), msg_code=%d", msgCode);
    // A step is judged once: what its reply would write after that is dropped,
    // so the record keeps what the screen shows.
    const AutoStep step = StepOfReply(msgCode);
    if (current && step != AUTO_STEP_COUNT && IsLateReply(step, msgCode))
        return;
    switch (msgCode) {
    case CMD_SET_CUSTOM_MAC:
    case CMD_SET_COUNTRY_CITY: {
        if (!current)
            break;
        const bool mac = msgCode == CMD_SET_CUSTOM_MAC;
        m_lists.UpdateCurrentDevice(info->lLoginID, [&](DevInfo& dev) {
            int32_t& result = mac ? dev.TestRuslut.custom_mac_result : dev.TestRuslut.custom_country_result;
            result = status == 0 ? 1 : -1;
            if (status != 0)
                AppendCustomizedCode(dev.TestRuslut.customized_items_result,
                                     mac ? CUSTOM_MAC_FAILURE : CUSTOM_COUNTRY_CITY_FAILURE);
        });
        m_AutoSteps[mac ? STEP_CUSTOM_MAC : STEP_COUNTRY_CITY].iReplyFlag = 1;
        break;
    }
    case CMD_UPLOAD_FILE_FINISH:
        dealUploadFileFinish(msgCode, info);
        break;
    case CMD_GET_SYS_VERSION:
        dealGetSysVersion(msgCode, info);
        break;
    case CMD_GET_IPC_SERIALNUMBER:
        dealGetSnInfo(msgCode, info);
        break;
    case CMD_GET_CAPABILITY: {
        if (!current)
            break;
        const char* text = ReplyText(info);
        m_bSupportSensorSwitch = std::strstr(text, "SupportSensorSwitch") != nullptr;
        m_bSupportRestore = std::strstr(text, "support_maintian_restore") != nullptr;
        m_bHwCfgInfoIot = std::strstr(text, "HWCFG_INFO_IOT") != nullptr;
        m_AutoSteps[STEP_CAPABILITY].iReplyFlag = 1;
        break;
    }
    case CMD_GET_DEV_TYPE:
        dealGetDevType(msgCode, info);
        break;
    case CMD_GET_TF_CARD_INFO:
        dealGetTFCard(msgCode, info);
        break;
    case CMD_FORMAT_SD_CARD:
        dealFormatSDCard(msgCode, info);
        break;
    case CMD_HARDWARE_CONFIG_GET:
        dealGetLightMode(msgCode, info);
        break;
    case CMD_GET_RTC:
        dealGetRTC(msgCode, info);
        break;
    case CMD_IOT_CAMERA_GET_CONFIG_FILE_CHECK_NUM:
        dealGetConfigFileCheckNum(msgCode, info);
        break;
    case CMD_GET_WIFI_SIGNAL:
        dealGetWifiSignal(msgCode, info);
        break;
    case CMD_GET_4G_INFO:
        if (status == 1) {
            // Not ready yet: the step asks again on its next tick.
            if (current)
                m_AutoSteps[STEP_4G].iReplyFlag = 2;
            break;
        }
        dealGet4GDevInfo(msgCode, info);
        break;
    case CMD_GET_FACTORY_TEST_STATE:
        if (!current)
            break;
        m_lists.UpdateCurrentDevice(info->lLoginID,
                            [&](DevInfo& dev) { dev.TestRuslut.factory_test_code = status == 0 ? 1 : status; });
        m_AutoSteps[STEP_FACTORY_STATE].iReplyFlag = 1;
        break;
    case CMD_FUNCTION_CODE_CHECK:
        dealGetFuntionCodeCheck(msgCode, info);
        break;
    case CMD_GET_AUTHORIZE_CODE_INFO:
        dealGetAuthorizeCodeInfo(msgCode, info);
        break;
    default:
        break;
    }
}

// ---------------------------------------------------------------------------
// Status events

void LeftTopWidget::onStatusEvent(AuxResponseInfo* info)
{
    if (!info)
        return;
    const int64_t handle = info->lLoginID;
    bool current = false;
    m_lists.ReadCurrentDevice([&](const DevInfo& dev) {
        current = handle != 0 && (handle == dev.lUserID || handle == DevLoad(dev.lRealHandle));
    });
    if (current)
        m_bCurDevAlive = true;
    switch (info->lStateCode) {
    case EVENT_CONNECTFAILED:
    case EVENT_CONNECTFAILED_LOGIN:
    case EVENT_CONNECTFAILED_STREAM:
        if (current)
            m_bCurDevAlive = false;
        m_lists.MarkCurrentDeviceLeft(handle);
        m_lists.RemoveDevType(handle);
        LogPrint(LOG_INFO, "LeftTopWidget::onStatusEvent() EVENT_CONNECTFAILED lLoginID=%lld, lStateCode=%lld ============",
                 (long long)handle, (long long)info->lStateCode);
        SetDevLoginStatus(handle, -1);
        break;
    case EVENT_LOGINOK:
        LogPrint(LOG_INFO, "LeftTopWidget::onStatusEvent() EVENT_LOGINOK, lLoginID=%lld =============", (long long)handle);
        SetDevLoginStatus(handle, 1);
        FC_Loc_IoTSystemControl(handle, CMD_POST_LOGIN, 0, "");
        // The stream-test thread plays only a device whose type it knows, and
        // only the type reply fills that table: ask for it with the login (the
        // chain's type step then finds it cached and sends nothing).
        if (!m_lists.LookupDevType(handle, nullptr))
            SendDevCommand(handle, CMD_GET_DEV_TYPE, CommandBody::None());
        break;
    case EVENT_STARTAUDIOOK: {
        LogPrint(LOG_INFO, "onStatusEvent() EVENT_STARTAUDIOOK");
        // The job that plays closes the channel when it ends: a second one would stream into it closed.
        if (!m_talkClaims.Claim(handle)) {
            LogPrint(LOG_INFO, "onStatusEvent() EVENT_STARTAUDIOOK lLoginID=%lld: its sound is already playing, passed over",
                     (long long)handle);
            break;
        }
        AuxResponsePtr copy(new AuxResponseInfo(*info));
        copy->pResponse = nullptr;
        if (info->pResponse) {
            const size_t n = std::strlen(info->pResponse);
            copy->pResponse = new char[n + 1];
            std::memcpy(copy->pResponse, info->pResponse, n + 1);
        }
        if (!PostTalkJob(std::move(copy)))
            m_talkClaims.Release(handle);
        break;
    }
    case EVENT_STARTAUDIOFAILED:
        LogPrint(LOG_INFO, "onStatusEvent() EVENT_STARTAUDIOFAILED");
        break;
    case EVENT_STOPAUDIOOK:
        LogPrint(LOG_INFO, "onStatusEvent() EVENT_STOPAUDIOOK");
        break;
    case EVENT_STOPAUDIOFAILED:
        LogPrint(LOG_INFO, "onStatusEvent() EVENT_STOPAUDIOFAILED");
        break;
    default:
        break;
    }
}

// ---------------------------------------------------------------------------
// Start of the automatic chain

void LeftTopWidget::dealBeginTestAutoItem()
{
    LogPrint(LOG_INFO, "##LeftTopWidget::dealBeginTestAutoItem() start auto test dev---->>");
    const ConfigInfo config = ConfigSnapshot();
    const int64_t login = m_lists.CurrentLoginHandle();
    if (config.m_AutoTest.bWifiSignal) {
        m_dwWifiStartTick = uint32_t(Clock::TickMs());
        if (CurrentTestType.load() == 0) {
            m_lists.UpdateCurrentDevice(login, [](DevInfo& dev) { dev.lWifiTesFinish = 1; });
            SendDevCommand(login, CMD_WIFI_CONNECT,
                           WifiConnectBody(config.m_SystemConfig.SSID.toUtf8(), config.m_SystemConfig.Password.toUtf8()));
        }
    }
    // The form reads the order number as UTF-8: whole characters only.
    const QByteArray orderNumber = Utf8Within(m_strOrderNumber, int(sizeof(DevTestResult::order_sn)) - 1);
    const QByteArray toolVersion = m_strToolVersion.toLatin1();
    bool stopped = false;
    m_lists.UpdateCurrentDevice(login, [&](DevInfo& dev) {
        SetResultText(dev.TestRuslut.check_machine_id, m_szLocalMac);
        SetResultText(dev.TestRuslut.order_sn, orderNumber.constData());
        SetResultText(dev.TestRuslut.software_version, toolVersion.constData());
        dev.TestRuslut.software_type = 1;
        stopped = DevLoad(dev.lStopFlag) != 0;
    });
    if (m_host)
        m_host->ClearWifiTestResult();
    m_bTestNormal = true;
    m_bManualObservationTestNormal = true;
    if (stopped)
        return;
    AutoStepSlot& slot = m_AutoSteps[STEP_SN];
    slot.iReplyFlag = 0;
    slot.bJudged = false;
    LogPrint(LOG_INFO, "LeftTopWidget::AutoTestSN(), begin Send CMD_GET_IPC_SERIALNUMBER");
    SendDevCommand(login, CMD_GET_IPC_SERIALNUMBER, CommandBody::Empty());
    slot.dwStartTick = uint32_t(Clock::TickMs());
    if (slot.iTimerId != 0)
        killTimer(slot.iTimerId);
    slot.iTimerId = startTimer(100, Qt::CoarseTimer);
}

int LeftTopWidget::GetOperatorByICCID(const QString& iccid)
{
    if (iccid.size() <= 5)
        return -1;
    const QString code = iccid.mid(4, 2);
    const struct {
        int operatorClass;
        QStringList codes;
    } classes[] = {{0, {"03", "11"}}, {1, {"00", "02", "04", "07"}}, {2, {"01", "06", "09"}}};
    for (const auto& c : classes) {
        if (c.codes.contains(code))
            return c.operatorClass;
    }
    return -1;
}

void LeftTopWidget::AppendCustomizedItemsResult(int code)
{
    m_lists.UpdateCurrentDevice(m_lists.CurrentLoginHandle(),
                        [&](DevInfo& dev) { AppendCustomizedCode(dev.TestRuslut.customized_items_result, code); });
}

// ---------------------------------------------------------------------------
// Parsers

void LeftTopWidget::dealUploadFileFinish(int, AuxResponseInfo* info)
{
    const ReplyDocument reply(ReplyText(info));
    if (!reply.IsElement("RESPONSE_PARAM")) {
        LogPrint(LOG_INFO, "LeftTopWidget::dealUploadFileFinish() not a RESPONSE_PARAM reply, lLoginID=%lld",
                 (long long)info->lLoginID);
        return;
    }
    if (reply.Int("Type") == kLogoUploadType) {
        if (IsCurrent(*this, info) && IsLateReply(STEP_LOGO, CMD_UPLOAD_FILE_FINISH))
            return;
        if (m_lists.UpdateCurrentDevice(info->lLoginID, [](DevInfo& dev) { dev.TestRuslut.custom_logo_result = 1; }))
            m_AutoSteps[STEP_LOGO].iReplyFlag = 1;
        return;
    }
    // The package was taken: whichever device it is, it sits out the next searches.
    const int64_t now = WallClockMs(Clock::Now());
    DevInfo pending;
    bool loggedInAlone = false;
    m_lists.WithSearchLists([&](std::vector<DevInfo>& search, std::vector<DevInfo>& finished,
                                std::vector<DevInfo>& uploading) {
        bool booked = false;
        for (DevInfo& dev : search) {
            if (dev.lUserID != info->lLoginID)
                continue;
            dev.lConfigCheck = -1;
            dev.iConfigUploadFinishFlag = 1;
            dev.lConfigUploadFinishTime = now;
            finished.push_back(CopyOfDevInfo(dev));
            LogPrint(LOG_INFO, "#######dealUploadFileFinish() pDev->iConfigUploadFinishFlag=%lld ",
                     (long long)dev.iConfigUploadFinishFlag);
            booked = true;
            break;
        }
        for (auto it = uploading.begin(); it != uploading.end(); ++it) {
            if (it->lUserID != info->lLoginID)
                continue;
            it->iConfigUploadFinishFlag = 1;
            it->lConfigUploadFinishTime = now;
            if (!booked)
                finished.push_back(CopyOfDevInfo(*it));
            // Once the search list has moved on, nothing else holds this login.
            loggedInAlone = !booked;
            CopyDevInfo(pending, *it);
            uploading.erase(it);
            break;
        }
    });
    if (loggedInAlone)
        m_lists.LogOutDev(&pending);
}

void LeftTopWidget::dealGetSysVersion(int, AuxResponseInfo* info)
{
    if (!IsCurrent(*this, info))
        return;
    const ReplyDocument reply(ReplyText(info));
    if (!reply.IsElement("RESPONSE_PARAM"))
        return;
    if (!reply.Has("KernelVersion") || !reply.Has("FileSystemVersion")) {
        LogPrint(LOG_INFO, "LeftTopWidget::dealGetSysVersion() KernelVersion or FileSystemVersion missing");
        m_AutoSteps[STEP_VERSION].iReplyFlag = 1;
        return;
    }
    const QString version = reply.Text("FileSystemVersion");
    const QString hardVersion = reply.Text("HardVersion");
    m_lists.UpdateCurrentDevice(info->lLoginID, [&](DevInfo& dev) {
        SetField(dev.szFirmwareVersion, version);
        SetField(dev.szFileSystemIdentify, reply.Text("FileSystemIdentify"));
        SetField(dev.szDeviceIdentify, reply.Text("DeviceIdentify"));
        if (!hardVersion.isEmpty())
            SetField(dev.szModel, hardVersion);
    });
    if (hardVersion.isEmpty())
        IsSpecialModel();
    if (LeftBottomWidget* panel = m_host ? m_host->GetInfoPanel() : nullptr)
        panel->SetVersionInfo(version);
    m_AutoSteps[STEP_VERSION].iReplyFlag = 1;
}

void LeftTopWidget::dealGetSnInfo(int, AuxResponseInfo* info)
{
    LogPrint(LOG_INFO, "LeftTopWidget::dealGetSnInfo()pInfo->pResponse = %.*s", kLoggedReply, ReplyText(info));
    if (!IsCurrent(*this, info)) {
        LogPrint(LOG_INFO, "LeftTopWidget::dealGetSnInfo() pInfo->lLoginID = %lld, m_PlayInfo.lUserID = %lld",
                 (long long)info->lLoginID, (long long)m_lists.CurrentLoginHandle());
        return;
    }
    const ReplyDocument reply(ReplyText(info));
    if (!reply.IsElement("RESPONSE_PARAM"))
        return;
    // The panel's refresh may ask after the step was judged: the panel takes
    // that answer, the record keeps the judged one.
    const bool late = IsLateReply(STEP_SN, CMD_GET_IPC_SERIALNUMBER);
    if (reply.Has("SerialNumber")) {
        const QString sn = reply.Text("SerialNumber");
        if (!late)
            m_lists.UpdateCurrentDevice(info->lLoginID, [&](DevInfo& dev) { SetField(dev.TestRuslut.dev_sn, sn); });
        if (LeftBottomWidget* panel = m_host ? m_host->GetInfoPanel() : nullptr)
            panel->SetSN(sn.left(int(sizeof(DevTestResult::dev_sn)) - 1));
    }
    if (!late)
        m_AutoSteps[STEP_SN].iReplyFlag = 1;
}

void LeftTopWidget::dealGetDevType(int, AuxResponseInfo* info)
{
    if (m_lists.LookupDevType(info->lLoginID, nullptr))
        return;
    const ReplyDocument reply(ReplyText(info));
    if (!reply.IsElement("RESPONSE_PARAM"))
        return;
    DevTypeInfo type;
    type.strResponse = QString::fromLatin1(ReplyText(info));
    type.bFieldsMissing = !reply.Has("IPC_Type") || !reply.Has("DevMType") || !reply.Has("DevType");
    if (reply.Has("IPC_Type"))
        type.strIpcType = reply.Text("IPC_Type");
    if (reply.Has("DevMType"))
        type.eTypeDevMainType = reply.Int("DevMType");
    if (reply.Has("DevType"))
        type.eType = reply.Int("DevType");
    if (reply.Has("SDKType"))
        type.iSDKType = reply.Int("SDKType");
    if (reply.Has("Feature"))
        type.Feature = reply.Int64("Feature");
    if (type.eTypeDevMainType == DevTypeInfo::kDefaultMainType && type.eType == 4)
        type.eType = 0;
    if (!m_lists.InsertDevType(info->lLoginID, type) || !IsCurrent(*this, info))
        return;
    m_AutoSteps[STEP_DEV_TYPE].iReplyFlag = 1;
    if (!m_bAutoPlay) {
        m_lists.SetCurrentDevType(type);
        SwitchToSecondChannel();
    }
}

void LeftTopWidget::dealGetTFCard(int, AuxResponseInfo* info)
{
    if (!IsCurrent(*this, info))
        return;
    LogPrint(LOG_INFO, "dealGetTFCard(), pInfo->pResponse=%.*s", kLoggedReply, ReplyText(info));
    const ReplyDocument reply(ReplyText(info));
    if (!reply.IsElement("RESPONSE_PARAM"))
        return;
    int cardInfo = 0;
    // The reading a format asked for fills the manual panel only: the card's
    // verdict stays as the chain's TF step judged it, or judges it now when
    // that step runs on the same slot.
    const bool formatReadingOnly = m_iManualTFCard == 1 && !m_AutoSteps[STEP_TF_CARD].bChainWaits;
    m_iTFCardReading = reply.Int("SDCardState") != 0 ? -1 : 1;
    m_lists.UpdateCurrentDevice(info->lLoginID, [&](DevInfo& dev) {
        DevTestResult& r = dev.TestRuslut;
        if (!formatReadingOnly)
            r.tf_card_result = m_iTFCardReading;
        if (reply.Has("CardInfo")) {
            r.card_info = std::max(reply.Int("CardInfo"), 0);
            r.card_remain_space = std::max(reply.Int("SDCardRemainSpace"), 0);
            cardInfo = r.card_info;
        }
    });
    if (cardInfo > 0) {
        if (LeftBottomWidget* panel = m_host ? m_host->GetInfoPanel() : nullptr)
            panel->SetSDInfo(QString::number(cardInfo) + "GB");
    }
    m_AutoSteps[STEP_TF_CARD].iReplyFlag = 1;
}

void LeftTopWidget::dealFormatSDCard(int, AuxResponseInfo* info)
{
    if (!IsCurrent(*this, info))
        return;
    const ReplyDocument reply(ReplyText(info));
    if (!reply.IsElement("RESPONSE_PARAM"))
        return;
    if (reply.Has("Result"))
        m_lists.UpdateCurrentDevice(info->lLoginID, [&](DevInfo& dev) { dev.iFormatResult = reply.Int("Result"); });
    m_AutoSteps[STEP_FORMAT].iReplyFlag = 1;
}

void LeftTopWidget::dealGetLightMode(int msgCode, AuxResponseInfo* info)
{
    if (!IsCurrent(*this, info))
        return;
    LogPrint(LOG_INFO, "#LeftTopWidget::dealGetLightMode() msg_code=%d, pInfo->pResponse=%.*s", msgCode, kLoggedReply,
             ReplyText(info));
    const ReplyDocument reply(ReplyText(info));
    if (!reply.IsXml())
        return;
    int code = 0;
    const char* name = nullptr;
    if (reply.Has("LightMode") && LightModeOf(reply.Int("LightMode"), m_bHwCfgInfoIot, &code, &name)) {
        m_lists.UpdateCurrentDevice(info->lLoginID, [&](DevInfo& dev) { dev.iLightMode = code; });
        m_strLightModeName = QCoreApplication::translate("LeftTopWidget", name);
    }
    m_AutoSteps[STEP_LIGHT_MODE].iReplyFlag = 1;
}

void LeftTopWidget::dealGetRTC(int, AuxResponseInfo* info)
{
    if (!IsCurrent(*this, info))
        return;
    LogPrint(LOG_INFO, "#######dealGetRTC(), response=%.*s", kLoggedReply, ReplyText(info));
    const ReplyDocument reply(ReplyText(info));
    if (!reply.IsElement("REQUEST_PARAM"))
        return;
    if (reply.Has("Time")) {
        const bool sinceEpoch = ConfigSnapshot().m_SystemConfig.iTestMode == 1;
        const int result = RtcResultOf(reply.Text("Time"), sinceEpoch, Clock::Now());
        m_lists.UpdateCurrentDevice(info->lLoginID, [&](DevInfo& dev) { dev.TestRuslut.rtc_result = result; });
    }
    m_AutoSteps[STEP_RTC].iReplyFlag = 1;
}

void LeftTopWidget::dealGetConfigFileCheckNum(int, AuxResponseInfo* info)
{
    const ReplyDocument reply(ReplyText(info));
    if (!reply.IsElement("REQUEST_PARAM"))
        return;
    if (!reply.Has("HW_CFG_MD5") || !reply.Has("SYS_CFG_MD5")) {
        LogPrint(LOG_INFO, "#######dealGetConfigFileCheckNum() 33333333 not find 'HW_CFG_MD5' or 'SYS_CFG_MD5' return;");
        return;
    }
    const bool same = reply.Text("HW_CFG_MD5") == m_strHW_CFG_MD5 && reply.Text("SYS_CFG_MD5") == m_strSYS_CFG_MD5;
    m_lists.WithSearchList([&](std::vector<DevInfo>& search) {
        for (DevInfo& dev : search) {
            if (dev.lUserID != info->lLoginID)
                continue;
            dev.lConfigCheck = same ? 1 : -1;
            LogPrint(LOG_INFO, "#######dealGetConfigFileCheckNum() 44444444 pDev->lConfigCheck=%lld ",
                     (long long)dev.lConfigCheck);
            break;
        }
    });
}

void LeftTopWidget::dealGetWifiSignal(int, AuxResponseInfo* info)
{
    if (!IsCurrent(*this, info))
        return;
    LogPrint(LOG_INFO, "#######dealGetWifiSignal(), response=%.*s", kLoggedReply, ReplyText(info));
    const ReplyDocument reply(ReplyText(info));
    if (!reply.IsElement("RESPONSE_PARAM"))
        return;
    if (reply.Has("SignalLevel") && reply.Has("Quality")) {
        const QString level = reply.Text("SignalLevel");
        const QString quality = reply.Text("Quality");
        m_lists.UpdateCurrentDevice(info->lLoginID, [&](DevInfo& dev) {
            SetField(dev.szSignalLevel, level);
            SetField(dev.TestRuslut.wifi_signal_level, level);
            SetField(dev.szQuality, quality);
            SetField(dev.TestRuslut.wifi_snr, quality);
        });
    }
    m_AutoSteps[STEP_WIFI_SIGNAL].iReplyFlag = 1;
}

void LeftTopWidget::dealGet4GDevInfo(int msgCode, AuxResponseInfo* info)
{
    if (!IsCurrent(*this, info))
        return;
    const ReplyDocument reply(ReplyText(info));
    if (!reply.IsElement("RESPONSE_PARAM"))
        return;
    Dev4GInfo g;
    g.IMEI = reply.Text("IMEI");
    g.ModuleSN = reply.Text("ModuleSN");
    g.SoftVersion = reply.Text("SoftVersion");
    g.SubVersion = reply.Text("SubVersion");
    if (!g.SoftVersion.isEmpty() && !g.SubVersion.isEmpty())
        g.SoftVersion += "_" + g.SubVersion;
    g.Err = reply.Text("Err");
    g.ICCID = reply.Text("ICCID");
    g.SignalStrength = reply.Int("SignalStrength");
    g.RSRQ = reply.Int("RSRQ");
    g.RSSI = reply.Int("RSSI");
    g.SNR = reply.Int("SNR");
    g.Operator = reply.Text("Operator");
    g.ConnectInternet = reply.Int("ConnectInternet");
    g.Err2 = reply.Text("Err2");
    g.ICCID2 = reply.Text("ICCID2");
    g.SignalStrength2 = reply.Int("SignalStrength2");
    g.RSRQ2 = reply.Int("RSRQ2");
    g.RSSI2 = reply.Int("RSSI2");
    g.SNR2 = reply.Int("SNR2");
    g.Operator2 = reply.Text("Operator2");
    g.ConnectInternet2 = reply.Int("ConnectInternet2");
    m_Dev4GInfo = g;
    m_lists.UpdateCurrentDevice(info->lLoginID, [&](DevInfo& dev) {
        SetField(dev.TestRuslut.iccid, g.ICCID);
        SetField(dev.TestRuslut.iccid2, g.ICCID2);
    });
    m_AutoSteps[STEP_4G].iReplyFlag = 1;
    LogPrint(LOG_INFO, "#LeftTopWidget::dealGet4GDevInfo() msg_code=%d, pInfo->pResponse=%.*s", msgCode, kLoggedReply,
             ReplyText(info));
}

void LeftTopWidget::dealGetFuntionCodeCheck(int, AuxResponseInfo* info)
{
    if (!IsCurrent(*this, info))
        return;
    LogPrint(LOG_INFO, "dealGetFuntionCodeCheck() response=%.*s", kLoggedReply, ReplyText(info));
    const ReplyDocument reply(ReplyText(info));
    if (!reply.IsXml()) {
        LogPrint(LOG_INFO, "dealGetFuntionCodeCheck() setContent failed, return");
        return;
    }
    if (!reply.IsElement("RESPONSE_PARAM")) {
        LogPrint(LOG_INFO, "dealGetFuntionCodeCheck() find RESPONSE_PARAM failed, return");
        return;
    }
    if (reply.Has("FuncCode") && reply.Has("RetCode")) {
        m_lists.UpdateCurrentDevice(info->lLoginID, [&](DevInfo& dev) {
            SetField(dev.szFuncCode, reply.Text("FuncCode"));
            SetField(dev.szSupportFuncCode, reply.Text("SupportFuncCode"));
            dev.iRetCode = reply.Int("RetCode");
        });
    } else {
        LogPrint(LOG_INFO, "dealGetFuntionCodeCheck() find FuncCode or RetCode failed, return");
    }
    m_AutoSteps[STEP_FUNCTION_CODE].iReplyFlag = 1;
}

void LeftTopWidget::dealGetAuthorizeCodeInfo(int, AuxResponseInfo* info)
{
    if (!IsCurrent(*this, info))
        return;
    const ReplyDocument reply(ReplyText(info));
    if (!reply.IsElement("RESPONSE_PARAM"))
        return;
    m_iAuthorizeReplyStatus = 1;
    m_iAuthorizationStatus = reply.Int("AutorizationStatus");
    m_strAuthorizeUUID = reply.Text("UUID");
    m_strAuthorizeKey = reply.Text("Key");
    m_AutoSteps[STEP_AUTHORIZE].iReplyFlag = 1;
}
