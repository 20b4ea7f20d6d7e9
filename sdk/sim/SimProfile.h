#pragma once

#include "HostAdapters.h"

#include <QByteArray>
#include <QMap>
#include <QSet>
#include <QString>
#include <QVector>

// The simulated LAN's JSON profile (sdk/sim/SimProfile.json is the sample,
// sdk/sim/SimTypedProfile.json has one camera of each device type,
// sdk/sim/SimLineProfile.json plays a production line):
// {
//   "adapter": {"name", "address" (127.0.0.0/8 only), "netmask", "mac" "02:..:.."},
//   "cameras": [{
//     "serial" (<= 31; the station takes exactly 16 as valid), "type" ("IPC"; the search
//     entry's type text and IPC_Type of the 1030 reply), "address", "netmask", "gateway" (x.y.z.1),
//     "port" (3000), "addressLock" (0), "cloudId", "cloudIdValid" (true),
//     "user" ("admin"), "password" ("580347"),
//     "hwCfgMd5", "sysCfgMd5"               digests the camera reports for 1514,
//     "uploadedHwCfgMd5", "uploadedSysCfgMd5" digests after a package upload,
//     "restartAfterUploadMs" (0)            link drop after a package upload,
//     "searchDelayMs" (50), "loginDelayMs" (50), "replyDelayMs" (20),
//     "devMType" (1), "devType" (0), "sdkType" (0), "feature" (0)
//                                           what the built-in 1030 reply says; feature bit 0
//                                           makes a two-lens camera (channels 0 and 1);
//                                           devType 6 gives a dual-card 1532 reply,
//     "authUuid", "authKey" ("")            UUID and Key of the built-in 1750 reply,
//     "iccid" ("89860312345678901234"), "iccid2" ("89860012345678905678")
//                                           the cards of the built-in 1532 reply,
//     "linkLossDelayMs" (0)                 how long after an unplug the SDK reports the
//                                           camera's logins and streams lost,
//     "headerBeforeReturn" (false)          the media header reaches the stream callback
//                                           before FC_Loc_RealPlayEx returns its handle,
//     "joinAfterMs" (0)                     > 0: the camera is plugged in this long after the
//                                           profile is loaded (unplugged until then),
//     "leaveAfterStreamMs" (0)              > 0: the camera leaves the LAN this long after its
//                                           first live stream started,
//     "leaveOnCommand" (0), "leaveAfterCommandMs" (0)
//                                           a command code: the camera leaves this long after
//                                           it first receives that command,
//     "media": {"video", "width", "height" (multiples of 8), "fps", "audio",
//               "sampleRate", "bits" (8|16), "channels", "toneHz"},
//     "talk": {"audioType", "sampleRate", "bits", "channels"},
//     "replies": {"<command>": {"text", "status" (-128..255), "delayMs"}
//                          or [{...}, {...}, ...]   a list: answers in order, the last repeated},
//     "faults": {"noReply": [commands], "wrongValue": {"<command>": text},
//                "sendFails": [commands]  the SDK call for these fails (FC_ERR_SEND),
//                "refuseLogin", "lostConnectionAfterMs", "dropStreamAfterMs", "refuseTalk"}
//   }],
//   "line": {                               a production line of cameras that come and go:
//     "count" (1..1000000)                  cameras in all,
//     "slots" (1)                           cameras on the line at once,
//     "joinAfterMs" (1000)                  a slot takes its next camera this long after the
//                                           profile is loaded or its last camera left,
//     "serialPrefix" ("VT21LN")             serial = prefix + number, zero-padded to 16 characters,
//     "firstNumber" (1),
//     "camera": {...}                       every camera field but "serial" and "joinAfterMs";
//                                           "address" defaults to the factory one, 192.168.0.123;
//                                           "leaveAfterStreamMs" or "leaveOnCommand" is required
//   }
// }
// Cameras may share a serial; the second of one is named "<serial>#2" on the
// LAN (SimCameraConfig::name), the third "<serial>#3", and so on.
// Values in brackets are the defaults; a command without a scripted reply
// gets a built-in answer that passes. A scripted reply without "text" carries
// the built-in text with its own status and delay ("replies": {"1532":
// [{"status": 1}, {"status": 1}, {}]} answers 1532 twice with status 1, then
// in full). A camera may sit at any address (the factory one, say), but takes
// a login only on 127.0.0.0/8. Addresses are plain dotted decimal: blanks,
// leading zeros and hexadecimal or octal forms are refused.
//
// Qt 5.15's JSON reader itself leaks a few bytes when a key repeats with an
// array or object as its value; such a profile is read, and the leak is Qt's.

// A scripted answer of a simulated camera to one device command.
struct SimReply {
    QByteArray text;             // the reply text (Latin-1); a null text: the built-in one
    int status = 0;              // signed status byte
    int delayMs = -1;            // -1: the camera's replyDelayMs
};

// The scripted replies to one command, used in order with the last one
// repeated; a single reply converts to a list of one.
struct SimReplyList : QVector<SimReply> {
    SimReplyList() = default;
    SimReplyList(const SimReply& reply) { push_back(reply); }
    SimReplyList(const QVector<SimReply>& replies) : QVector<SimReply>(replies) {}
};

// Failure modes of one simulated camera.
struct SimFaults {
    QSet<int> noReply;                   // commands left unanswered
    QMap<int, QByteArray> wrongValue;    // commands answered with this text instead
    QSet<int> sendFails;                 // commands whose SDK call fails; the camera never sees them
    bool refuseLogin = false;            // every login ends with a connection failure
    int lostConnectionAfterMs = 0;       // > 0: the link drops this long after a login
    int dropStreamAfterMs = 0;           // > 0: live streams go silent this long after they start
    bool refuseTalk = false;             // talk-back start is answered with a failure
};

struct SimMedia {
    bool video = true;
    int width = 640;
    int height = 360;
    int fps = 25;
    bool audio = true;
    int sampleRate = 8000;
    int bits = 16;
    int channels = 1;
    int toneHz = 1000;
};

// Audio parameters the camera asks for when talk-back starts.
struct SimTalk {
    int audioType = 0;
    int sampleRate = 8000;
    int bits = 16;
    int channels = 1;
};

struct SimCameraConfig {
    QString serial;
    // The camera's name on the simulated LAN, by which tests and the LAN's
    // own calls address it: empty for its serial. Cameras may share a serial
    // (factory-default serials happen); a profile names the second one of a
    // serial "<serial>#2", the third "<serial>#3" and so on.
    QString name;
    QString type = QStringLiteral("IPC");
    QString address;
    QString netmask = QStringLiteral("255.255.255.0");
    QString gateway;
    int port = 3000;
    int addressLock = 0;
    QString cloudId;
    bool cloudIdValid = true;
    QString user = QStringLiteral("admin");
    QString password = QStringLiteral("580347");
    QString hwCfgMd5;
    QString sysCfgMd5;
    QString uploadedHwCfgMd5;    // digests after a configuration package upload (empty: unchanged)
    QString uploadedSysCfgMd5;
    int restartAfterUploadMs = 0;// > 0: the link drops this long after a package upload
    int searchDelayMs = 50;
    int loginDelayMs = 50;
    int replyDelayMs = 20;
    // The built-in 1030 reply: DevMType, DevType, SDKType, Feature (bit 0: two lenses).
    int devMType = 1;
    int devType = 0;
    int sdkType = 0;
    qint64 feature = 0;
    QString authUuid;            // UUID and Key of the built-in 1750 reply
    QString authKey;
    QString iccid = QStringLiteral("89860312345678901234");    // a telecom card
    QString iccid2 = QStringLiteral("89860012345678905678");   // a mobile card (devType 6 only)
    int linkLossDelayMs = 0;     // unplug to the connection-failed events
    bool headerBeforeReturn = false;
    int joinAfterMs = 0;         // > 0: plugged in this long after the profile is loaded
    int leaveAfterStreamMs = 0;  // > 0: leaves this long after its first live stream started
    int leaveOnCommand = 0;      // > 0: leaves leaveAfterCommandMs after first receiving this command
    int leaveAfterCommandMs = 0;
    SimMedia media;
    SimTalk talk;
    QMap<int, SimReplyList> replies;   // scripted replies per command
    SimFaults faults;

    bool TwoLenses() const { return (feature & 1) != 0; }
};

// A production line: `count` cameras made from one template, at most `slots`
// of them on the LAN at once, each leaving as its template says.
struct SimLine {
    int count = 0;               // 0: no line
    int slotCount = 1;       // "slots"
    int joinAfterMs = 1000;
    QString serialPrefix = QStringLiteral("VT21LN");
    int firstNumber = 1;
    SimCameraConfig camera;      // the template; serial and joinAfterMs are set per camera

    // The serial number of the line's index-th camera (from 0).
    QString SerialAt(int index) const;
    // True when serial is one of the line's.
    bool Holds(const QString& serial) const;
};

struct SimProfile {
    static constexpr const char* kFactoryAddress = "192.168.0.123";

    bool hasAdapter = false;
    HostAdapter adapter;
    QVector<SimCameraConfig> cameras;
    SimLine line;

    // Parses the JSON profile; false with a message naming the bad field.
    static bool Parse(const QByteArray& json, SimProfile* out, QString* error);
    static bool Load(const QString& path, SimProfile* out, QString* error);
    // True for an IPv4 address in plain dotted decimal: four numbers 0..255 without
    // leading zeros, signs or blanks.
    static bool IsPlainIpv4(const QString& text);
};
