// Manual items: what the keyboard surface, the manual panel and the scripts
// ask of the current camera. Each item is gated by its control on the manual
// panel, shows its caption on the video pane and sends its command; the items
// whose result comes back from the camera run on the step machine's slots
// with their manual-origin marker set.
#include "LeftTopWidget.h"
#include "EntryField.h"

#include "AppGlobals.h"
#include "Clock.h"
#include "ControllerHost.h"
#include "DevCommand.h"
#include "EnumClass.h"
#include "FuncLib.h"
#include "ItemJudges.h"
#include "Log.h"
#include "PlayCtrl.h"
#include "PresetCallParam.h"
#include "RightBottomWidget.h"
#include "VantrelEvent.h"
#include "VideoForm.h"

#include <QFile>
#include <QTimer>

#include <cstring>
#include <functional>
#include <limits>

namespace {

constexpr int kAlarmPathMax = 259;       // bytes the SDK's path buffer holds before its NUL
constexpr int kAlarmPathTooLong = -3;
constexpr uint64_t kWifiConnectSettleMs = 8000;
constexpr int kTickPollMs = 100;
constexpr int kThroughputPort = 3600;
constexpr int kThroughputSeconds = 10;
constexpr int kThroughputMaxMbps = 18;
constexpr int kPtzSpeedMin = 1;
constexpr int kPtzSpeedMax = 10;
constexpr int kFunctionCodeNoReply = 300;

// The caption each item shows on the video pane; null: none (or its own).
const char* const kCaptions[EnumClass::MANUAL_AUTO + 1] = {
    QT_TRANSLATE_NOOP("LeftTopWidget", "Trumpet"),
    QT_TRANSLATE_NOOP("LeftTopWidget", "Mic Test"),
    QT_TRANSLATE_NOOP("LeftTopWidget", "Audio Alarm Test"),
    QT_TRANSLATE_NOOP("LeftTopWidget", "Upload Alarm File"),
    QT_TRANSLATE_NOOP("LeftTopWidget", "Focus+"),
    QT_TRANSLATE_NOOP("LeftTopWidget", "Focus-"),
    QT_TRANSLATE_NOOP("LeftTopWidget", "Sync Time"),
    QT_TRANSLATE_NOOP("LeftTopWidget", "Open White light"),
    QT_TRANSLATE_NOOP("LeftTopWidget", "Aper+"),
    QT_TRANSLATE_NOOP("LeftTopWidget", "Aper-"),
    QT_TRANSLATE_NOOP("LeftTopWidget", "Restore Factory"),
    nullptr,                                                   // human alarm IO: by test type
    QT_TRANSLATE_NOOP("LeftTopWidget", "Day"),
    QT_TRANSLATE_NOOP("LeftTopWidget", "Night"),
    QT_TRANSLATE_NOOP("LeftTopWidget", "Wifi Test"),
    QT_TRANSLATE_NOOP("LeftTopWidget", "Zoom+"),
    QT_TRANSLATE_NOOP("LeftTopWidget", "Zoom-"),
    QT_TRANSLATE_NOOP("LeftTopWidget", "Wifi Signal test"),
    QT_TRANSLATE_NOOP("LeftTopWidget", "Up"),
    QT_TRANSLATE_NOOP("LeftTopWidget", "Down"),
    QT_TRANSLATE_NOOP("LeftTopWidget", "Left"),
    QT_TRANSLATE_NOOP("LeftTopWidget", "Right"),
    nullptr,                                                   // speed change
    QT_TRANSLATE_NOOP("LeftTopWidget", "PTZ Reset"),
    QT_TRANSLATE_NOOP("LeftTopWidget", "Function Code Check"),
    QT_TRANSLATE_NOOP("LeftTopWidget", "QRCode Check"),
    QT_TRANSLATE_NOOP("LeftTopWidget", "formating, please reclicke......"),
    nullptr,                                                   // print QR code
    QT_TRANSLATE_NOOP("LeftTopWidget", "4G test item test"),
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,      // bind .. MANUAL_AUTO
};

const char* const kPresetCaptions[] = {
    QT_TRANSLATE_NOOP("LeftTopWidget", "preset call"),
    QT_TRANSLATE_NOOP("LeftTopWidget", "preset increase"),
    QT_TRANSLATE_NOOP("LeftTopWidget", "preset delete"),
};

const char* HumanAlarmCaption(int testType)
{
    if (testType <= 2)
        return QT_TRANSLATE_NOOP("LeftTopWidget", "Warn Light Test");
    if (testType == 3)
        return QT_TRANSLATE_NOOP("LeftTopWidget", "Alram IO Test");
    return QT_TRANSLATE_NOOP("LeftTopWidget", "Human Alarm IO");
}

// The reminder a QR label item gives while the operator is not logged in; null: none.
const char* LoginMissingText(int testType, int eType)
{
    switch (testType) {
    case 0: return QT_TRANSLATE_NOOP("LeftTopWidget", "wifi device please login");
    case 1: return QT_TRANSLATE_NOOP("LeftTopWidget", "wire wifi device please login");
    case 2: return QT_TRANSLATE_NOOP("LeftTopWidget", "4G device please login");
    case 3: return eType == 5 ? QT_TRANSLATE_NOOP("LeftTopWidget", "The current device needs to be logged in first")
                              : nullptr;
    default: return nullptr;
    }
}

// Runs action once, ms after now on the replaceable tick (polled, so tests
// drive it with their clock); the poll timer belongs to owner.
void AfterTicks(QObject* owner, uint64_t ms, const std::function<void()>& action)
{
    const uint64_t start = Clock::TickMs();
    auto* poll = new QTimer(owner);
    QObject::connect(poll, &QTimer::timeout, owner, [poll, start, ms, action] {
        if (Clock::TickMs() - start < ms)
            return;
        poll->stop();
        poll->deleteLater();
        action();
    });
    poll->start(kTickPollMs);
}

// Items that set the station waiting on the camera's answer: the speaker's
// talk-back, the throughput panel, the signal reading 8 s on. Without a camera
// they would wait for nothing, so the operator is told instead.
bool NeedsCameraFirst(int item)
{
    return item == EnumClass::MANUAL_TRUMPET || item == EnumClass::MANUAL_WIFI_TEST
        || item == EnumClass::MANUAL_WIFI_SIGNAL_TEST;
}

}  // namespace

// ---------------------------------------------------------------------------
// Entry

void LeftTopWidget::dealManualTest(int item, qint64 param)
{
    RightBottomWidget* panel = m_host ? m_host->GetManualPanel() : nullptr;
    if (!panel || !GetCurVideoForm() || item < EnumClass::MANUAL_TRUMPET || item > EnumClass::MANUAL_AUTO)
        return;
    const char* name = m_metaManualEnum.valueToKey(item);
    if (item == EnumClass::MANUAL_WIFI_TEST)
        LogPrint(LOG_INFO, "### LeftTopWidget::MANUAL_WIFI_TEST Start");
    const bool shown = item == EnumClass::MANUAL_SWITCH_SENSOR ? m_bSupportSensorSwitch : panel->IsItemVisible(item);
    if (!shown) {
        LogPrint(LOG_INFO, "LeftTopWidget::dealManualTest() %s is not offered, not run", name);
        return;
    }
    if (item == EnumClass::MANUAL_CALL_PRESET) {
        // Only dealCallPreset carries the record: a bare word is never read as an address.
        LogPrint(LOG_GENERAL, "LeftTopWidget::dealManualTest() MANUAL_CALL_PRESET without its record, dropped");
        return;
    }
    if (NeedsCameraFirst(item) && m_lists.CurrentLoginHandle() <= 0) {
        TellNoCamera(item);
        return;
    }
    const int ret = RunManualItem(item, param, panel);
    if (ret < 0)
        LogPrint(LOG_INFO, "######### dealManualTest() loginID = %lld, Test=%s, ret=%d ##########",
                 (long long)m_lists.CurrentLoginHandle(), name, ret);
    // The camera on screen has left or logged out since it played.
    if (ret == FC_ERR_HANDLE && NeedsCameraFirst(item))
        TellNoCamera(item);
}

void LeftTopWidget::TellNoCamera(int item)
{
    LogPrint(LOG_INFO, "LeftTopWidget::dealManualTest() %s: no camera is logged in", m_metaManualEnum.valueToKey(item));
    AddAutoTestItem(tr("%1: no camera is logged in. Wait until a camera plays, then press the key again")
                        .arg(tr(kCaptions[item])),
                    false);
}

int LeftTopWidget::RunManualItem(int item, qint64 param, RightBottomWidget* panel)
{
    // Labels first: they share the pane's manual line with the caption.
    if (item == EnumClass::MANUAL_WIFI_SIGNAL_TEST)
        SetWifiSignalResultText(QString(), true);
    else if (item == EnumClass::MANUAL_FUNCTION_CODE || item == EnumClass::MANUAL_QRCODE_CHECK ||
             item == EnumClass::MANUAL_4GTEST)
        SetFunctionCodeResultText(QString(), true);
    const char* caption =
        item == EnumClass::MANUAL_HUMAN_ALARM_IO ? HumanAlarmCaption(CurrentTestType.load()) : kCaptions[item];
    // The format's caption waits for the panel's lock.
    if (caption && item != EnumClass::MANUAL_FORMAT_SDCARD)
        GetCurVideoForm()->SetTestResultText(VideoForm::RESULT_MANUAL, tr(caption), true);

    switch (item) {
    case EnumClass::MANUAL_TRUMPET:
        if (m_talkClaims.IsClaimed(m_lists.CurrentLoginHandle())) {
            LogPrint(LOG_INFO, "LeftTopWidget::dealManualTest() MANUAL_TRUMPET: the sound still plays, press passed over");
            return 0;
        }
        LogPrint(LOG_INFO, "###Begin ManualTestTrumpet(), FC_Loc_StartSpeak()###");
        return FC_Loc_StartSpeak(m_lists.CurrentLoginHandle(), 0);
    case EnumClass::MANUAL_MIC_TEST:
        return SendManualCommand(CMD_IOT_AUDIO_TEST, CommandBody::Empty(), 0);
    case EnumClass::MANUAL_AUDIO_ALARM_TEST:
        return SendManualCommand(CMD_IOT_AUDIO_TEST, CommandBody::Empty(), 1);
    case EnumClass::MANUAL_UPLOAD_ALARM_FILE:
        return ManualTestUploadAlarmFile();
    case EnumClass::MANUAL_RTC:
        return SendManualCommand(CMD_SET_TIME, SetTimeBody(Clock::Now()));
    case EnumClass::MANUAL_OPEN_WHITE_LIGHT:
        return SendManualCommand(CMD_SET_WHITE_LIGHT, WhiteLightBody(0));
    case EnumClass::MANUAL_RESTORE_FACTORY:
        return ManualRestoreFactory(panel);
    case EnumClass::MANUAL_HUMAN_ALARM_IO:
        return SendManualCommand(CMD_IOT_ALARM_IO_TEST, CommandBody::Empty());
    case EnumClass::MANUAL_DAY_MODE:
        return SendManualCommand(CMD_SET_IRCUT, IrcutBody(true));
    case EnumClass::MANUAL_NIGHT_MODE:
        return SendManualCommand(CMD_SET_IRCUT, IrcutBody(false));
    case EnumClass::MANUAL_WIFI_TEST:
        return ManualTestWIFI();
    case EnumClass::MANUAL_FOCUS_ADD:
    case EnumClass::MANUAL_FOCUS_SUB:
    case EnumClass::MANUAL_APER_ADD:
    case EnumClass::MANUAL_APER_SUB:
    case EnumClass::MANUAL_ZOOM_ADD:
    case EnumClass::MANUAL_ZOOM_SUB:
    case EnumClass::MANUAL_UP:
    case EnumClass::MANUAL_DOWN:
    case EnumClass::MANUAL_LEFT:
    case EnumClass::MANUAL_RIGHT:
    case EnumClass::MANUAL_PTZ_RESET:
        return SendManualPtz(item, param);
    case EnumClass::MANUAL_SPEED_CHANGE:
        if (param < kPtzSpeedMin || param > kPtzSpeedMax) {
            LogPrint(LOG_GENERAL, "LeftTopWidget::dealManualTest() PTZ speed %lld refused, it stays %d",
                     (long long)param, m_iPtzSpeed);
            return 0;
        }
        m_iPtzSpeed = int(param);
        return 0;
    case EnumClass::MANUAL_WIFI_SIGNAL_TEST:
        return ManualTestWIFISignal();
    case EnumClass::MANUAL_FUNCTION_CODE:
        return ManualFunctionCode();
    case EnumClass::MANUAL_QRCODE_CHECK:
        return ManualQRCodeCheck();
    case EnumClass::MANUAL_FORMAT_SDCARD:
        return ManualFormatSDCard(panel);
    case EnumClass::MANUAL_PRINT_QRCODE:
        return ManualPrintQRCode();
    case EnumClass::MANUAL_4GTEST:
        return Manual4GTest();
    case EnumClass::MANUAL_BIND_DEV:
        return ManualBindDev();
    case EnumClass::MANUAL_SWITCH_SENSOR:
        return ManualSwitchSensor(param);
    case EnumClass::MANUAL_AUTO:
        if (m_bManalAutoTesting.load())
            RequestManualAutoRestart();
        else
            dealWithManualAuto();
        return 0;
    default:
        // The channel switch is the main window's; MANUAL_TEST_MAX is no item.
        return 0;
    }
}

int LeftTopWidget::SendManualCommand(int code, const CommandBody& body, int genericChannel)
{
    CommandTarget target;
    target.loginHandle = m_lists.CurrentLoginHandle();
    target.feature = m_lists.CurrentDevType().Feature;
    // The lens on screen; none chosen yet is the first.
    target.channelIndex = int(qMax<int64_t>(0, m_lCurrentChannel.load()));
    target.genericChannel = genericChannel;
    LogPrint(LOG_INFO, "###Begin dealManualTest() command %d, %s()###", code,
             CommandCallName(CallOfCommand(code, (target.feature & 1) != 0)));
    return SendDevCommand(target, code, body);
}

int LeftTopWidget::SendManualPtz(int item, qint64 param)
{
    const bool press = param == 0;
    QByteArray xml;
    switch (item) {
    case EnumClass::MANUAL_FOCUS_ADD:
        if (param != 0 && param != 1)
            return -1;
        xml = press ? PtzFocusText(true) : PtzStopText(false);
        break;
    case EnumClass::MANUAL_FOCUS_SUB: xml = press ? PtzFocusText(false) : PtzStopText(false); break;
    case EnumClass::MANUAL_APER_ADD: xml = press ? PtzIrisText(true) : PtzStopText(false); break;
    case EnumClass::MANUAL_APER_SUB: xml = press ? PtzIrisText(false) : PtzStopText(false); break;
    case EnumClass::MANUAL_ZOOM_ADD: xml = press ? PtzZoomText(true) : PtzStopText(true); break;
    case EnumClass::MANUAL_ZOOM_SUB: xml = press ? PtzZoomText(false) : PtzStopText(false); break;
    case EnumClass::MANUAL_UP: xml = press ? PtzMoveText(PtzMove::Up, m_iPtzSpeed) : PtzStopText(false); break;
    case EnumClass::MANUAL_DOWN: xml = press ? PtzMoveText(PtzMove::Down, m_iPtzSpeed) : PtzStopText(false); break;
    case EnumClass::MANUAL_LEFT: xml = press ? PtzMoveText(PtzMove::Left, m_iPtzSpeed) : PtzStopText(false); break;
    case EnumClass::MANUAL_RIGHT: xml = press ? PtzMoveText(PtzMove::Right, m_iPtzSpeed) : PtzStopText(false); break;
    default: xml = PtzResetText(); break;
    }
    LogPrint(LOG_INFO, "###Begin dealManualTest() %s, FC_Loc_PTZControl()###", m_metaManualEnum.valueToKey(item));
    return SendPtzCommand(m_lists.CurrentLoginHandle(), xml);
}

void LeftTopWidget::dealCallPreset(std::unique_ptr<PresetCallParam> param)
{
    // The record is freed on every return.
    RightBottomWidget* panel = m_host ? m_host->GetManualPanel() : nullptr;
    VideoForm* pane = GetCurVideoForm();
    if (!param || !panel || !pane || !panel->IsPtzVisible())
        return;
    if (param->action < int(PresetAction::Call) || param->action > int(PresetAction::Clear)) {
        LogPrint(LOG_GENERAL, "LeftTopWidget::dealCallPreset() preset %d, action %d: nothing sent", param->preset,
                 param->action);
        return;
    }
    pane->SetTestResultText(VideoForm::RESULT_MANUAL, tr(kPresetCaptions[param->action]), true);
    LogPrint(LOG_INFO, "###Begin dealCallPreset() preset %d, action %d, FC_Loc_PTZControl()###", param->preset,
             param->action);
    const int64_t login = m_lists.CurrentLoginHandle();
    const int ret = SendPtzCommand(login, PtzPresetText(PresetAction(param->action), param->preset));
    if (ret < 0)
        LogPrint(LOG_INFO, "######### dealManualTest() loginID = %lld, Test=%s, ret=%d ##########",
                 (long long)login, m_metaManualEnum.valueToKey(EnumClass::MANUAL_CALL_PRESET), ret);
}

// ---------------------------------------------------------------------------
// Items that do more than send

int LeftTopWidget::ManualRestoreFactory(RightBottomWidget* panel)
{
    const int ret = SendManualCommand(CMD_RESTORE_FACTORY, CommandBody::Empty());
    if (ret == 0)
        panel->SetRestoreFactoryInfo(tr("restory succeed ,will take effect after reboot"));
    return ret;
}

int LeftTopWidget::ManualFunctionCode()
{
    m_lists.UpdateCurrentDevice(m_lists.CurrentLoginHandle(), [](DevInfo& dev) {
        dev.iRetCode = kFunctionCodeNoReply;
        SetResultText(dev.szFuncCode, "");
        SetResultText(dev.szSupportFuncCode, "");
    });
    m_iManualFunctionCode = 1;
    const int ret = SendManualCommand(CMD_FUNCTION_CODE_CHECK, CommandBody::Empty());
    StartStep(STEP_FUNCTION_CODE);
    return ret;
}

int LeftTopWidget::ManualFormatSDCard(RightBottomWidget* panel)
{
    // The panel locks the button for a while after each format.
    if (!panel->TryStartFormat()) {
        LogPrint(LOG_INFO, "LeftTopWidget::dealManualTest() a format runs already, the press is dropped");
        return 0;
    }
    GetCurVideoForm()->SetTestResultText(VideoForm::RESULT_MANUAL, tr(kCaptions[EnumClass::MANUAL_FORMAT_SDCARD]),
                                         true);
    m_lists.UpdateCurrentDevice(m_lists.CurrentLoginHandle(), [](DevInfo& dev) { dev.iFormatResult = -1; });
    const int ret = SendManualCommand(CMD_FORMAT_SD_CARD, CommandBody::Empty());
    StartStep(STEP_FORMAT);
    panel->SetFormatInfo(tr("formating,please reclicke......"));
    return ret;
}

int LeftTopWidget::Manual4GTest()
{
    if (!LoggedIn.load()) {
        AddAutoTestItem(tr("4G device please login"), false);
        return 0;
    }
    if (IsCurrentDevStopped())
        return 0;
    m_iManual4G = 1;
    m_Dev4GInfo.ClearQueried();
    const int ret = SendManualCommand(CMD_GET_4G_INFO, CommandBody::None());
    if (m_lists.CurrentDevType().eType == 6)
        AddAutoTestItem(tr("Obtaining dual 4G card information, please wait..."), true);
    StartStep(STEP_4G, kTickPollMs);
    return ret;
}

int LeftTopWidget::ManualSwitchSensor(qint64 sensorId)
{
    if (sensorId < 0 || sensorId > std::numeric_limits<int>::max()) {
        LogPrint(LOG_GENERAL, "LeftTopWidget::dealManualTest() sensor %lld refused", (long long)sensorId);
        return -1;
    }
    const int ret = SendManualCommand(CMD_SWITCH_SENSOR, SensorSwitchBody(int(sensorId)));
    if (ret != 0)
        return ret;
    PostToMainWindow(WM_MANUAL_ITEM_ENABLE, EnumClass::MANUAL_SWITCH_SENSOR, 0);
    SensorSwitchDoneLater(EnumClass::MANUAL_SWITCH_SENSOR);
    return 0;
}

int LeftTopWidget::ManualTestUploadAlarmFile()
{
    LogPrint(LOG_INFO, "###Begin ManualTestUploadAlarmFile()");
    QString path = AlarmFilePathText();
    if (path.isEmpty())
        return -1;
    const QString suffix = path.right(4);
    const bool mp3 = suffix == QLatin1String(".mp3") || suffix == QLatin1String(".MP3");
    if (!mp3 && suffix != QLatin1String(".pcm") && suffix != QLatin1String(".PCM"))
        return -2;
    if (mp3) {
        const QString pcm = path.left(path.size() - 4) + QLatin1String(".pcm");
        if (!QFile::exists(pcm)) {
            const int ret = PC_Mp3ToPcm(QFile::encodeName(path).constData(), QFile::encodeName(pcm).constData(), 1, 16,
                                        8000);
            if (ret != 0) {
                LogPrint(LOG_GENERAL, "LeftTopWidget::ManualTestUploadAlarmFile() %s not converted, ret=%d",
                         path.toUtf8().constData(), ret);
                return ret;
            }
        }
        path = pcm;
    }
    // A cut path would name another file: a path the call cannot hold is refused.
    const QByteArray local = QFile::encodeName(path);
    if (local.size() > kAlarmPathMax) {
        LogPrint(LOG_GENERAL, "LeftTopWidget::ManualTestUploadAlarmFile() the path has %d bytes, more than %d; not sent",
                 int(local.size()), kAlarmPathMax);
        return kAlarmPathTooLong;
    }
    const int ret = FC_Loc_UploadAlarmAudio(m_lists.CurrentLoginHandle(), local.constData());
    LogPrint(LOG_INFO, "LeftTopWidget::ManualTestUploadAlarmFile() FC_Loc_UploadAlarmAudio ret=%d", ret);
    return ret;
}

int LeftTopWidget::ManualTestWIFI()
{
    if (IsCurrentDevStopped())
        return -1;
    LogPrint(LOG_INFO, "###Begin ManualTestWIFI()");
    m_bWifiThroughputBegun = true;
    if (m_host) {
        QByteArray camera;
        m_lists.ReadCurrentDevice([&](const DevInfo& dev) { camera = Field(dev.ipcEntry.szIP); });
        m_host->BeginWifiTest(QString::fromLatin1(camera), kThroughputSeconds);
    }
    const SystemConfig config = ConfigSnapshot().m_SystemConfig;
    m_lists.UpdateCurrentDevice(m_lists.CurrentLoginHandle(), [](DevInfo& dev) { dev.lWifiTesFinish = 1; });
    const int ret = SendManualCommand(
        CMD_WIFI_THROUGHPUT_TEST, ThroughputBody(CurrentIP().left(THROUGHPUT_IP_MAX).toLatin1(), kThroughputPort,
                                                 kThroughputSeconds, kThroughputMaxMbps, config.SSID.toUtf8(),
                                                 config.Password.toUtf8()));
    AddAutoTestItem(tr("Begin WIFI Test 10s"), true);
    return ret;
}

int LeftTopWidget::ManualTestWIFISignal()
{
    LogPrint(LOG_INFO, "###Begin ManualTestWIFISignal()");
    const SystemConfig config = ConfigSnapshot().m_SystemConfig;
    m_lists.UpdateCurrentDevice(m_lists.CurrentLoginHandle(), [](DevInfo& dev) { dev.lWifiTesFinish = 1; });
    const int ret =
        SendManualCommand(CMD_WIFI_CONNECT, WifiConnectBody(config.SSID.toUtf8(), config.Password.toUtf8()));
    // The reading is this camera's: another one, or this one's next test, takes none of it.
    const ChainToken token = CurrentChainToken();
    AfterTicks(this, kWifiConnectSettleMs, [this, token] {
        if (!IsChainCurrent(token)) {
            LogPrint(LOG_INFO, "LeftTopWidget::onTimerManualTestWifiSignal() SN=%s is no longer under test, no reading",
                     token.sn.constData());
            return;
        }
        onTimerManualTestWifiSignal();
    });
    return ret;
}

void LeftTopWidget::onTimerManualTestWifiSignal()
{
    if (IsCurrentDevStopped())
        return;
    m_iManualWifiSignal = 1;
    // A camera that stays silent must not be judged on an earlier reading.
    m_lists.UpdateCurrentDevice(m_lists.CurrentLoginHandle(), [](DevInfo& dev) {
        SetResultText(dev.szSignalLevel, "");
        SetResultText(dev.szQuality, "");
    });
    SendManualCommand(CMD_GET_WIFI_SIGNAL, CommandBody::None());
    StartStep(STEP_WIFI_SIGNAL);
}

void LeftTopWidget::JudgeManualWifiSignal()
{
    if (!GetCurVideoForm())
        return;
    const DevInfo dev = m_lists.CurrentDevice();
    const QByteArray level = Field(dev.szSignalLevel);
    const QByteArray quality = Field(dev.szQuality);
    const JudgeVerdict verdict = JudgeWifiSignal(level, quality, ConfigSnapshot().m_SystemConfig);
    SetWifiSignalResultText(WifiSignalCaption(level, quality), verdict.result == 1);
    ApplyVerdict(verdict, &DevTestResult::wifi_signal_result);
}

// ---------------------------------------------------------------------------
// Manual jobs of the auxiliary thread

int LeftTopWidget::ManualBindDev()
{
    LogPrint(LOG_INFO, "###Begin ManualBindDev()");
    std::unique_ptr<DevBindJob> job = NewBindJob();
    if (job->devType.strIpcType.isEmpty() || job->strSN.isEmpty() || job->strMacAddr.isEmpty() ||
        job->szModel.isEmpty()) {
        LogPrint(LOG_GENERAL, "#ManualBindDev() param error, strIpcType=%s, eType=%d, ipc_sn=%s, strMacAddr=%s, szModel=%s",
                 job->devType.strIpcType.toUtf8().constData(), job->devType.eType, job->strSN.toUtf8().constData(),
                 job->strMacAddr.toUtf8().constData(), job->szModel.toUtf8().constData());
        return -1;
    }
    return PostAuxJob(MakeAuxJob(AUX_MSG_BIND_DEV, std::move(job), &LeftTopWidget::DoBindDevJob), AUX_SOURCE_MANUAL)
               ? 0
               : -1;
}

int LeftTopWidget::ManualPrintQRCode()
{
    if (!LoggedIn.load()) {
        if (const char* text = LoginMissingText(CurrentTestType.load(), m_lists.CurrentDevType().eType))
            AddAutoTestItem(tr(text), false);
        return -1;
    }
    return PostQRCodeJob(AUX_MSG_PRINT_QRCODE, AUX_SOURCE_MANUAL) ? 0 : -1;
}

int LeftTopWidget::ManualQRCodeCheck()
{
    const int testType = CurrentTestType.load();
    const int eType = m_lists.CurrentDevType().eType;
    if (!LoggedIn.load()) {
        if (const char* text = LoginMissingText(testType, eType))
            AddAutoTestItem(tr(text), false);
        return -1;
    }
    if (testType == 3 && eType != 5) {
        AddAutoTestItem(tr("The current device does not support checking the QR code"), false);
        return -1;
    }
    return PostQRCodeJob(AUX_MSG_CHECK_QRCODE, AUX_SOURCE_MANUAL) ? 0 : -1;
}
