#pragma once

#include "Clock.h"

#include <QByteArray>

#include <cstdint>

// The device command protocol: command codes, request bodies, PTZ texts and
// the SDK call that carries each command.

enum DevCommandCode : int {
    CMD_SET_CUSTOM_MAC = 337,
    CMD_UPLOAD_FILE_FINISH = 1001,
    CMD_RESTORE_FACTORY = 1002,
    CMD_REBOOT = 1007,
    CMD_GET_SYS_VERSION = 1012,
    CMD_GET_IPC_SERIALNUMBER = 1019,
    CMD_GET_CAPABILITY = 1020,
    CMD_GET_DEV_TYPE = 1030,
    CMD_GET_TF_CARD_INFO = 1105,
    CMD_FORMAT_SD_CARD = 1106,
    CMD_SET_COUNTRY_CITY = 1117,
    CMD_HARDWARE_CONFIG_GET = 1201,
    CMD_GET_RTC = 1204,
    CMD_SET_WHITE_LIGHT = 1501,
    CMD_SET_TIME = 1503,
    CMD_SET_IRCUT = 1504,
    CMD_PRE_TF_CARD_QUERY = 1505,
    CMD_IOT_AUDIO_TEST = 1512,
    CMD_IOT_CAMERA_GET_CONFIG_FILE_CHECK_NUM = 1514,
    CMD_IOT_ALARM_IO_TEST = 1517,
    CMD_IOT_CAMERA_LOCK_PARAMETER = 1518,
    CMD_WIFI_THROUGHPUT_TEST = 1519,
    CMD_WIFI_CONNECT = 1525,
    CMD_GET_WIFI_SIGNAL = 1526,
    CMD_GET_4G_INFO = 1532,
    CMD_POST_LOGIN = 1538,
    CMD_SWITCH_SENSOR = 1596,
    CMD_GET_FACTORY_TEST_STATE = 1598,
    CMD_FUNCTION_CODE_CHECK = 1700,
    CMD_GET_AUTHORIZE_CODE_INFO = 1750,
};

// A request body: none (the SDK gets a null pointer), empty, a text, or refused
// because a value would have broken out of its attribute. A refused body is
// never sent.
class CommandBody {
public:
    static CommandBody None() { return CommandBody(Kind::None, QByteArray()); }
    static CommandBody Empty() { return CommandBody(Kind::Text, QByteArray("")); }
    static CommandBody Text(const QByteArray& text) { return CommandBody(Kind::Text, text); }
    static CommandBody Refused() { return CommandBody(Kind::Refused, QByteArray()); }

    bool IsNone() const { return m_kind == Kind::None; }
    bool IsRefused() const { return m_kind == Kind::Refused; }
    const QByteArray& Bytes() const { return m_text; }
    // The pointer the SDK receives: null for None.
    const char* Data() const { return m_kind == Kind::Text ? m_text.constData() : nullptr; }

private:
    enum class Kind { None, Text, Refused };
    CommandBody(Kind kind, const QByteArray& text) : m_kind(kind), m_text(text) {}
    Kind m_kind;
    QByteArray m_text;
};

// Buffer sizes of the bodies; a body must fit with its terminating NUL.
constexpr int BODY_BUFFER = 1024;
constexpr int SMALL_BODY_BUFFER = 128;    // white light, parameter lock, sensor switch
constexpr int TIME_BODY_BUFFER = 256;

// True when value may stand inside an attribute: no '"', '<', CR, LF or NUL.
bool IsSafeAttributeValue(const QByteArray& value);

// The Wi-Fi network's name and key go to the camera exactly: UTF-8, with the
// characters a quoted XML attribute can't hold as they are ('&', '"', '<')
// written as entities. A control character (below 0x20) has no place in an
// XML attribute and can't be carried.
QByteArray EscapedAttributeValue(const QByteArray& utf8);
bool HasControlCharacter(const QByteArray& value);
// The longest station address the throughput body carries.
constexpr int THROUGHPUT_IP_MAX = 63;
// True when a name and key without control characters fit both bodies that
// carry them (1525, and 1519 with the longest station address).
bool WifiValuesFit(const QByteArray& ssid, const QByteArray& password);

// Attribute-form bodies. Each refuses (logged) a value that is not safe or a
// body that would not fit its buffer. The Wi-Fi bodies (1519, 1525) take the
// name and key as UTF-8 and escape them; only a control character or the
// length refuses those.
CommandBody CustomMacBody(const QByteArray& mac1, const QByteArray& mac2);          // 337
CommandBody CountryCityBody(const QByteArray& country, const QByteArray& city);     // 1117
CommandBody WhiteLightBody(int lightStatus);                                        // 1501
CommandBody SetTimeBody(const WallTime& time);                                      // 1503
CommandBody IrcutBody(bool day);                                                    // 1504
CommandBody LockParameterBody(int enable);                                          // 1518
CommandBody ThroughputBody(const QByteArray& ip, int port, int duration, int maxThroughput,
                           const QByteArray& ssid, const QByteArray& password);     // 1519
CommandBody WifiConnectBody(const QByteArray& essid, const QByteArray& psk);        // 1525
CommandBody SensorSwitchBody(int sensorId);                                         // 1596

// PTZ texts, byte for byte.
enum class PtzMove { Up, Down, Left, Right };
enum class PresetAction { Call = 0, Set = 1, Clear = 2 };
QByteArray PtzMoveText(PtzMove move, int speed);
// The release of a move, focus, iris or zoom-out key; tabbed: the zoom-in release.
QByteArray PtzStopText(bool tabbed);
QByteArray PtzFocusText(bool far);
QByteArray PtzIrisText(bool open);
QByteArray PtzZoomText(bool tele);
QByteArray PtzResetText();
QByteArray PtzPresetText(PresetAction action, int preset);

// The SDK call that carries a command.
enum class CommandCall { Generic, Channel, Query, HardwareConfig, Text };
// multiChannel: bit 0 of the current device's Feature (lamp, IR-cut and alarm IO go per channel).
CommandCall CallOfCommand(int code, bool multiChannel);
const char* CommandCallName(CommandCall call);

// Result of a send whose body was refused: nothing left the station.
constexpr int SEND_REFUSED = -100;

struct CommandTarget {
    int64_t loginHandle = 0;
    int64_t feature = 0;         // the current device's Feature bits
    int channelIndex = 0;        // current channel of the live view (channel call)
    int genericChannel = 0;      // channel argument of the generic call (1: audio-alarm test)
};

// Sends one command through its SDK call; the SDK's result, or SEND_REFUSED.
int SendDevCommand(const CommandTarget& target, int code, const CommandBody& body);
int SendDevCommand(int64_t loginHandle, int code, const CommandBody& body);
// Sends a PTZ text through the PTZ call.
int SendPtzCommand(int64_t loginHandle, const QByteArray& xml);
