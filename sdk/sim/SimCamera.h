#pragma once

#include "FuncLibTypes.h"
#include "SimProfile.h"

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QVector>

#include <cstdint>

// A command as a simulated camera received it.
struct SimCommand {
    int64_t loginHandle = 0;
    int code = 0;
    QByteArray body;
    QString via;                 // the SDK function that carried it
    int channel = 0;             // the call's channel argument (0 for calls without one)
};

// A file a simulated camera took.
struct SimUpload {
    QString kind;                // "package", "alarmAudio", "logo"
    QString path;
    qint64 size = 0;
};

// A talk-back frame as a simulated camera received it.
struct SimTalkFrame {
    int64_t loginHandle = 0;
    int length = 0;              // nLength of the frame record
    uint32_t timeStamp = 0;      // dwTimeStamp
    uint16_t sequence = 0;       // wSequence
    uint32_t sequence2 = 0;      // dwSequence
    uint64_t arrivalTick = 0;    // Clock::TickMs() when it arrived
    QByteArray payload;          // the nLength bytes at pData
};

// The Wi-Fi network a camera was told to join.
struct SimWifiNetwork {
    QString ssid;
    QString password;
};

// One simulated camera: its profile and what has happened to it. Not locked
// itself: the simulated LAN guards every camera with its own lock. Its logs
// keep the newest kMaxLogEntries entries each, so a long run stays flat.
class SimCamera {
public:
    static constexpr int kMaxLogEntries = 1000;

    // Appends to a log that keeps the newest kMaxLogEntries entries.
    template <typename T>
    static void AppendBounded(QVector<T>& log, const T& entry)
    {
        if (log.size() >= kMaxLogEntries)
            log.removeFirst();
        log.push_back(entry);
    }

    explicit SimCamera(const SimCameraConfig& config);

    const SimCameraConfig& Config() const { return m_config; }
    SimCameraConfig& MutableConfig() { return m_config; }

    QString Address() const { return m_address; }
    QString Netmask() const { return m_netmask; }
    void SetAddress(const QString& address, const QString& netmask, const QString& gateway);

    // Whether the camera is on the LAN (it answers searches, logins and commands).
    bool Plugged() const { return m_plugged; }
    void SetPlugged(bool plugged) { m_plugged = plugged; }
    // Set once the camera is on its way off the LAN for good.
    bool Leaving() const { return m_leaving; }
    void SetLeaving() { m_leaving = true; }
    // True the first time only: the camera's first live stream, the first
    // arrival of its leaveOnCommand.
    bool FirstStream();
    bool FirstLeaveCommand(int code);

    // The search entry this camera answers with.
    void FillEntry(IPCEntry* entry) const;
    // The reply to a command: the next scripted one, else the built-in answer
    // that passes (builtIn, when given, in its place); false when the camera
    // leaves the command unanswered.
    bool ReplyFor(int code, SimReply* reply, const QByteArray& builtIn = QByteArray());
    // Scripts the replies to a command; the list starts again from its first entry.
    void SetReplies(int code, const QVector<SimReply>& replies);
    bool CredentialsMatch(const QString& user, const QString& password) const;

    void AddCommand(const SimCommand& command);
    const QVector<SimCommand>& Commands() const { return m_commands; }
    void AddUpload(const SimUpload& upload);
    const QVector<SimUpload>& Uploads() const { return m_uploads; }
    void AddTalkFrame(const SimTalkFrame& frame);
    int TalkFrames() const { return m_talkFrames; }   // all frames, also those no longer kept
    qint64 TalkBytes() const { return m_talkBytes; }
    const QVector<SimTalkFrame>& TalkFrameLog() const { return m_talkLog; }
    void AddPtz(const QByteArray& xml);
    const QVector<QByteArray>& Ptz() const { return m_ptz; }
    void SetWifiNetwork(const SimWifiNetwork& network) { m_wifi = network; }
    const SimWifiNetwork& WifiNetwork() const { return m_wifi; }
    QString HwCfgMd5() const { return m_hwCfgMd5; }
    QString SysCfgMd5() const { return m_sysCfgMd5; }

    // The answer that passes, for this camera's identity and current digests.
    QByteArray BuiltInReply(int code) const;

private:
    SimCameraConfig m_config;
    QString m_address;
    QString m_netmask;
    QString m_gateway;
    QString m_hwCfgMd5;
    QString m_sysCfgMd5;
    bool m_plugged = true;
    bool m_leaving = false;
    bool m_streamed = false;
    bool m_leaveCommandSeen = false;
    QMap<int, int> m_replyUses;           // scripted replies used, per command
    QVector<SimCommand> m_commands;
    QVector<SimUpload> m_uploads;
    QVector<QByteArray> m_ptz;
    QVector<SimTalkFrame> m_talkLog;
    SimWifiNetwork m_wifi;
    int m_talkFrames = 0;
    qint64 m_talkBytes = 0;
};
