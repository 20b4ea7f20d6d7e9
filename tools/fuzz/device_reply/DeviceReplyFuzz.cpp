// The controller's device replies and status events, as the event bridge hands
// them over: every reply text of the device command protocol (a C text) with
// its status byte, for the current device or another login, and every status
// event type (a text, or for type 23 the 168-byte binary record).
//
// Input: a kind byte (a reply code of the table, else a status type), the
// status byte, a flags byte (1: another login; 2: no text at all), then the text.
#include "ControllerHarness.h"
#include "EntryField.h"
#include "FuzzEnv.h"
#include "FuzzInput.h"

#include "AuxResponseInfo.h"
#include "DevCommand.h"
#include "FuncLibTypes.h"
#include "ItemJudges.h"
#include "LeftTopWidget.h"
#include "LeftTopWidgetTestPeer.h"
#include "TalkAudioParams.h"

#include <cstring>
#include <iterator>
#include <string>

namespace {

const int kReplyCodes[] = {
    CMD_SET_CUSTOM_MAC,      CMD_SET_COUNTRY_CITY,   CMD_UPLOAD_FILE_FINISH,
    CMD_GET_SYS_VERSION,     CMD_GET_IPC_SERIALNUMBER, CMD_GET_CAPABILITY,
    CMD_GET_DEV_TYPE,        CMD_GET_TF_CARD_INFO,   CMD_FORMAT_SD_CARD,
    CMD_HARDWARE_CONFIG_GET, CMD_GET_RTC,            CMD_IOT_CAMERA_GET_CONFIG_FILE_CHECK_NUM,
    CMD_GET_WIFI_SIGNAL,     CMD_GET_4G_INFO,        CMD_GET_FACTORY_TEST_STATE,
    CMD_FUNCTION_CODE_CHECK, CMD_GET_AUTHORIZE_CODE_INFO, CMD_REBOOT,
};
const int kStatusTypes[] = {
    EVENT_CONNECTFAILED, EVENT_LOGINOK,        EVENT_CONNECTFAILED_LOGIN, EVENT_STARTAUDIOOK,        EVENT_STARTAUDIOFAILED,
    EVENT_STOPAUDIOOK,   EVENT_STOPAUDIOFAILED, EVENT_LINK_STATE,         EVENT_CONNECTFAILED_STREAM,
};
constexpr size_t kReplyCount = std::size(kReplyCodes);
constexpr size_t kKinds = kReplyCount + std::size(kStatusTypes);
constexpr size_t kLinkStateRecord = 168;

// A record of the given login in each list a reply may look through.
void FillLists(LeftTopWidget& w)
{
    DevInfo dev;
    ZeroDevInfo(dev);
    SetResultText(dev.ipcEntry.ipc_sn, "VT21A00000000002");
    SetResultText(dev.ipcEntry.szIP, "127.0.0.22");
    dev.lUserID = ControllerHarness::OtherLogin;
    dev.lLoginStatus = 1;
    w.Lists().WithSearchLists([&](DevInfoLists::DevList& search, DevInfoLists::DevList& finished,
                          DevInfoLists::DevList& uploading) {
        search.assign(1, dev);
        uploading.assign(1, dev);
        finished.clear();
    });
}

// Every judge that reads a stored reply field is on, with limits to compare against.
void TurnJudgesOn(LeftTopWidget& w)
{
    ConfigInfo config = w.ConfigSnapshot();
    config.m_AutoTest.bWifiSignal = true;
    config.m_SystemConfig.WifiSignal = "-70";
    config.m_SystemConfig.WifiQuality = "20";
    config.m_UIVerion.bUseVersion = true;
    config.m_UIVerion.strVersion = "V1.2.3";
    for (int i = 0; i < FUNCODE_COUNT; ++i)
        config.m_FunCode[i] = i % 3 == 0;
    w.SetConfig(config);
}

void CheckVerdict(const char* judge, int result, int lines)
{
    if ((result != 1 && result != -1) || lines == 0)
        FuzzEnv::Fail("the %s judge gave result %d with %d lines", judge, result, lines);
}

// The judges of the chain's steps over what the parsers stored.
void JudgeStored(LeftTopWidget& w)
{
    Peer(w).onTimerSerialNumber();
    Peer(w).onTimerCheckFunctionCode();
    Peer(w).JudgeAutoWifiSignal();
    const DevInfo dev = w.Lists().CurrentDevice();
    const DevTestResult& r = dev.TestRuslut;
    CheckVerdict("serial number", r.sn_result, 1);
    CheckVerdict("function code", r.func_code_result, 1);
    CheckVerdict("Wi-Fi signal", r.wifi_signal_result, 1);
    const ConfigInfo config = w.ConfigSnapshot();
    const VersionVerdict version =
        JudgeVersion(QString::fromLatin1(Field(dev.szFirmwareVersion)), config.m_UIVerion, true, false);
    CheckVerdict("version", version.result, version.lines.size());
    const JudgeVerdict signal = JudgeWifiSignal(Field(dev.szSignalLevel), Field(dev.szQuality), config.m_SystemConfig);
    if (signal.result != r.wifi_signal_result)
        FuzzEnv::Fail("the Wi-Fi signal judge gave %d, then %d", r.wifi_signal_result, signal.result);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    FuzzEnv::Init(argc, argv, FuzzEnv::AppKind::Widgets);
    TurnJudgesOn(ControllerHarness::Controller());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput in(data, size);
    const size_t kind = in.Byte() % kKinds;
    const int status = int8_t(in.Byte());
    const uint8_t flags = in.Byte();

    LeftTopWidget& w = ControllerHarness::Controller();
    ControllerHarness::ResetCurrentDevice();
    FillLists(w);

    auto* info = new AuxResponseInfo;
    info->lLoginID = (flags & 1) ? ControllerHarness::OtherLogin : ControllerHarness::CurrentLogin;
    const bool reply = kind < kReplyCount;
    info->lStateCode = reply ? FcMakeStateCode(kReplyCodes[kind], status) : kStatusTypes[kind - kReplyCount];
    if (!(flags & 2)) {
        // Exactly the bytes the bridge copies, so that a read past them is seen.
        if (!reply && info->lStateCode == EVENT_LINK_STATE) {
            info->pResponse = new char[kLinkStateRecord]();
            memcpy(info->pResponse, in.Here(), std::min(in.Left(), kLinkStateRecord));
        } else {
            const std::string text = in.Until(0);
            info->pResponse = new char[text.size() + 1];
            memcpy(info->pResponse, text.c_str(), text.size() + 1);
        }
    }
    if (reply) {
        w.onAuxResponse(info);
    } else {
        if (info->lStateCode == EVENT_STARTAUDIOOK) {
            TalkAudioParams params;
            TalkAudioParams::Parse(info->pResponse, &params);
        }
        w.onStatusEvent(info);
    }
    FreeAuxResponseInfo(info);
    ControllerHarness::Settle();
    JudgeStored(w);
    ControllerHarness::Settle();
    return 0;
}
