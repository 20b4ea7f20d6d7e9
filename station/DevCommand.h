#pragma once

#include "Clock.h"
#include "DevCommandCode.h"

#include <QByteArray>

#include <cstdint>

// The device command protocol: request bodies, PTZ texts and the SDK call
// that carries each command (the codes are the SDK layer's, DevCommandCode.h).

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
