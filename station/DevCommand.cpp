#include "DevCommand.h"

#include "FuncLib.h"
#include "Log.h"

#include <initializer_list>

namespace {

// Long runs of tabs and blanks are what the devices' PTZ parsers were built
// against; they are part of the texts.
constexpr const char kPtzMove[] = "<xml>\t<cmd>%s</cmd>\t<panspeed>%d</panspeed>\r\n\t<tiltspeed>%d</tiltspeed>\r\n</xml>";
constexpr const char kPtzStop[] = "<xml><cmd>stop</cmd></xml>";
constexpr const char kPtzStopTabbed[] = "<xml>\t\t\t\t\t\t\t<cmd>stop</cmd>\t\t\t\t\t\t\t</xml>";
constexpr const char kPtzFocusFar[] = "<xml>\t\t\t\t\t\t                <cmd>FocusFarAutoOff</cmd>\t\t\t\t\t\t\t\t\t\t</xml>";
constexpr const char kPtzFocusNear[] = "<xml>\t\t\t\t\t\t                <cmd>FocusNearAutoOff</cmd>\t\t\t\t\t\t\t\t\t\t</xml>";
constexpr const char kPtzIrisOpen[] = "<xml>\t\t\t\t\t\t                 <cmd>IrisOpenAutoOff</cmd>\t\t\t\t\t\t\t\t\t\t </xml>";
constexpr const char kPtzIrisClose[] = "<xml>\t\t\t\t\t\t                <cmd>IrisCloseAutoOff</cmd>\t\t\t\t\t\t\t\t\t\t</xml>";
constexpr const char kPtzZoomTele[] = "<xml>\t\t\t\t\t\t\t<cmd>zoomtele</cmd>\t\t\t\t\t\t\t</xml>";
constexpr const char kPtzZoomWide[] = "<xml>\t\t\t\t\t\t\t<cmd>zoomwide</cmd>\t\t\t\t\t\t\t</xml>";
constexpr const char kPtzReset[] = "<xml><cmd>ptz_reset</cmd></xml>";
constexpr const char kPtzCallPreset[] = "<xml><cmd>callpreset</cmd>\n\t                    <preset>%s</preset>\n\t                    <flag>1</flag></xml>";
constexpr const char kPtzSetPreset[] = "<xml><cmd>setpreset</cmd>\n\t\t\t\t\t   \t<preset>%s</preset>\n\t\t\t\t\t\t<flag>1</flag></xml>";
constexpr const char kPtzClearPreset[] = "<xml><cmd>clearpreset</cmd>\n\t\t\t\t\t   \t<preset>%s</preset>\n\t\t\t\t\t\t<flag>1</flag></xml>";

// The finished text when every value is safe and the text fits its buffer with
// its NUL; else logged and refused.
CommandBody Finish(int code, const QByteArray& text, int buffer, std::initializer_list<const QByteArray*> values)
{
    for (const QByteArray* value : values) {
        if (!IsSafeAttributeValue(*value)) {
            LogPrint(LOG_GENERAL, "DevCommand: body of command %d refused, a value holds a quote, '<', CR, LF or NUL",
                     code);
            return CommandBody::Refused();
        }
    }
    if (text.size() >= buffer) {
        LogPrint(LOG_GENERAL, "DevCommand: body of command %d refused, %d bytes do not fit %d", code, int(text.size()),
                 buffer);
        return CommandBody::Refused();
    }
    return CommandBody::Text(text);
}

QByteArray Number(int value)
{
    return QByteArray::number(value);
}

// False (logged) when the Wi-Fi name or key holds a character no attribute can carry.
bool WifiValuesSendable(int code, const QByteArray& ssid, const QByteArray& password)
{
    if (!HasControlCharacter(ssid) && !HasControlCharacter(password))
        return true;
    LogPrint(LOG_GENERAL, "DevCommand: body of command %d refused, the Wi-Fi SSID or password holds a control character",
             code);
    return false;
}

}  // namespace

bool IsSafeAttributeValue(const QByteArray& value)
{
    for (char c : value) {
        if (c == '"' || c == '<' || c == '\r' || c == '\n' || c == '\0')
            return false;
    }
    return true;
}

QByteArray EscapedAttributeValue(const QByteArray& utf8)
{
    QByteArray out;
    out.reserve(utf8.size());
    for (char c : utf8) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '"': out += "&quot;"; break;
        case '<': out += "&lt;"; break;
        default: out += c; break;
        }
    }
    return out;
}

bool HasControlCharacter(const QByteArray& value)
{
    for (char c : value) {
        if (uchar(c) < 0x20)
            return true;
    }
    return false;
}

bool WifiValuesFit(const QByteArray& ssid, const QByteArray& password)
{
    const QByteArray longestIp(THROUGHPUT_IP_MAX, '0');
    return !WifiConnectBody(ssid, password).IsRefused() &&
           !ThroughputBody(longestIp, 65535, 10, 18, ssid, password).IsRefused();
}

CommandBody CustomMacBody(const QByteArray& mac1, const QByteArray& mac2)
{
    const QByteArray text = "<REQUEST_PARAM\r\nMACAddress1=\"" + mac1 + "\"\r\nMACAddress2=\"" + mac2 + "\"\r\n/>";
    return Finish(CMD_SET_CUSTOM_MAC, text, BODY_BUFFER, {&mac1, &mac2});
}

CommandBody CountryCityBody(const QByteArray& country, const QByteArray& city)
{
    const QByteArray text = "<REQUEST_PARAM\r\nCountry=\"" + country + "\" City=\"" + city + "\"\r\n/>";
    return Finish(CMD_SET_COUNTRY_CITY, text, BODY_BUFFER, {&country, &city});
}

CommandBody WhiteLightBody(int lightStatus)
{
    const QByteArray text = "<REQUEST_PARAM\r\nLightStatus=\"" + Number(lightStatus) + "\"\r\n/>";
    return Finish(CMD_SET_WHITE_LIGHT, text, SMALL_BODY_BUFFER, {});
}

CommandBody SetTimeBody(const WallTime& t)
{
    const QByteArray text = QByteArray("<REQUEST_PARAM\r\nTime=\"") +
                            QString::asprintf("%04d%02d%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour,
                                              t.minute, t.second)
                                .toLatin1() +
                            "\"\r\n/>";
    return Finish(CMD_SET_TIME, text, TIME_BODY_BUFFER, {});
}

CommandBody IrcutBody(bool day)
{
    // A blank, not CR LF, after the opening word: the form the devices expect here.
    return CommandBody::Text(day ? "<REQUEST_PARAM IrcutStatus=\"1\"\r\n/>" : "<REQUEST_PARAM IrcutStatus=\"0\"\r\n/>");
}

CommandBody LockParameterBody(int enable)
{
    const QByteArray text = "<DIYCFG_LOCK\r\nEnable=\"" + Number(enable) + "\"\r\n/>";
    return Finish(CMD_IOT_CAMERA_LOCK_PARAMETER, text, SMALL_BODY_BUFFER, {});
}

CommandBody ThroughputBody(const QByteArray& ip, int port, int duration, int maxThroughput, const QByteArray& ssid,
                           const QByteArray& password)
{
    if (!WifiValuesSendable(CMD_WIFI_THROUGHPUT_TEST, ssid, password))
        return CommandBody::Refused();
    const QByteArray escapedSsid = EscapedAttributeValue(ssid);
    const QByteArray escapedPassword = EscapedAttributeValue(password);
    const QByteArray text = "<REQUEST_PARAM\r\nIP=\"" + ip + "\"\r\nPort=\"" + Number(port) + "\"\r\nDuration=\"" +
                            Number(duration) + "\"\r\nMaxThroughput=\"" + Number(maxThroughput) + "\"\r\nSSID=\"" +
                            escapedSsid + "\"\r\nPassword=\"" + escapedPassword + "\"/>";
    return Finish(CMD_WIFI_THROUGHPUT_TEST, text, BODY_BUFFER, {&ip, &escapedSsid, &escapedPassword});
}

CommandBody WifiConnectBody(const QByteArray& essid, const QByteArray& psk)
{
    if (!WifiValuesSendable(CMD_WIFI_CONNECT, essid, psk))
        return CommandBody::Refused();
    const QByteArray escapedEssid = EscapedAttributeValue(essid);
    const QByteArray escapedPsk = EscapedAttributeValue(psk);
    const QByteArray text = "<REQUEST_PARAM\r\nESSID=\"" + escapedEssid + "\"\r\nPSK=\"" + escapedPsk + "\"\r\n/>";
    return Finish(CMD_WIFI_CONNECT, text, BODY_BUFFER, {&escapedEssid, &escapedPsk});
}

CommandBody SensorSwitchBody(int sensorId)
{
    const QByteArray text = "<SensorSwitch \r\nSensorId=\"" + Number(sensorId) + "\"\r\nIspMode=\"0\"\r\n/>";
    return Finish(CMD_SWITCH_SENSOR, text, SMALL_BODY_BUFFER, {});
}

QByteArray PtzMoveText(PtzMove move, int speed)
{
    const char* name = "up";
    switch (move) {
    case PtzMove::Up: name = "up"; break;
    case PtzMove::Down: name = "down"; break;
    case PtzMove::Left: name = "left"; break;
    case PtzMove::Right: name = "right"; break;
    }
    return QString::asprintf(kPtzMove, name, speed, speed).toLatin1();
}

QByteArray PtzStopText(bool tabbed)
{
    return tabbed ? kPtzStopTabbed : kPtzStop;
}

QByteArray PtzFocusText(bool far)
{
    return far ? kPtzFocusFar : kPtzFocusNear;
}

QByteArray PtzIrisText(bool open)
{
    return open ? kPtzIrisOpen : kPtzIrisClose;
}

QByteArray PtzZoomText(bool tele)
{
    return tele ? kPtzZoomTele : kPtzZoomWide;
}

QByteArray PtzResetText()
{
    return kPtzReset;
}

QByteArray PtzPresetText(PresetAction action, int preset)
{
    const char* format = kPtzCallPreset;
    if (action == PresetAction::Set)
        format = kPtzSetPreset;
    else if (action == PresetAction::Clear)
        format = kPtzClearPreset;
    return QByteArray(format).replace("%s", QByteArray::number(preset));
}

CommandCall CallOfCommand(int code, bool multiChannel)
{
    switch (code) {
    case CMD_SET_CUSTOM_MAC:
    case CMD_SET_COUNTRY_CITY:
        return CommandCall::Text;
    case CMD_RESTORE_FACTORY:
    case CMD_REBOOT:
    case CMD_GET_SYS_VERSION:
    case CMD_GET_IPC_SERIALNUMBER:
    case CMD_GET_CAPABILITY:
    case CMD_GET_DEV_TYPE:
    case CMD_FUNCTION_CODE_CHECK:
        return CommandCall::Query;
    case CMD_HARDWARE_CONFIG_GET:
        return CommandCall::HardwareConfig;
    case CMD_SET_WHITE_LIGHT:
    case CMD_SET_IRCUT:
    case CMD_IOT_ALARM_IO_TEST:
        return multiChannel ? CommandCall::Channel : CommandCall::Generic;
    default:
        return CommandCall::Generic;
    }
}

const char* CommandCallName(CommandCall call)
{
    switch (call) {
    case CommandCall::Generic: return "FC_Loc_IoTSystemControl";
    case CommandCall::Channel: return "FC_Loc_IoTChannelControl";
    case CommandCall::Query: return "FC_Loc_IoTQuery";
    case CommandCall::HardwareConfig: return "FC_Loc_HardwareConfigGet";
    case CommandCall::Text: return "FC_Loc_IoTTextControl";
    }
    return "";
}

int SendDevCommand(const CommandTarget& target, int code, const CommandBody& body)
{
    if (body.IsRefused()) {
        LogPrint(LOG_GENERAL, "SendDevCommand() command %d not sent, its body was refused, lUserID=%lld", code,
                 (long long)target.loginHandle);
        return SEND_REFUSED;
    }
    const char* data = body.Data();
    switch (CallOfCommand(code, (target.feature & 1) != 0)) {
    case CommandCall::Generic:
        return FC_Loc_IoTSystemControl(target.loginHandle, code, target.genericChannel, data);
    case CommandCall::Channel:
        return FC_Loc_IoTChannelControl(target.loginHandle, code, 0, data, target.channelIndex);
    case CommandCall::Query:
        return FC_Loc_IoTQuery(target.loginHandle, code, 0, data);
    case CommandCall::HardwareConfig:
        // The hardware query takes no body whatever the caller passed.
        return FC_Loc_HardwareConfigGet(target.loginHandle, code, 0, nullptr);
    case CommandCall::Text:
        return FC_Loc_IoTTextControl(target.loginHandle, code, 0, data, data ? int(body.Bytes().size()) : 0);
    }
    return FC_ERR_PARAM;
}

int SendDevCommand(int64_t loginHandle, int code, const CommandBody& body)
{
    CommandTarget target;
    target.loginHandle = loginHandle;
    return SendDevCommand(target, code, body);
}

int SendPtzCommand(int64_t loginHandle, const QByteArray& xml)
{
    return FC_Loc_PTZControl(loginHandle, xml.constData());
}
