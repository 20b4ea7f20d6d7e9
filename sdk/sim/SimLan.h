#pragma once

#include "CallbackGate.h"
#include "FuncLib.h"
#include "SimCamera.h"
#include "SimDispatcher.h"
#include "SimProfile.h"
#include "SimStream.h"
#include "SimThroughputRuns.h"

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QVector>

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

// The simulated LAN behind the device SDK stand-in: the station-side adapter,
// the cameras, the sessions and live streams, and the SDK's message thread.
// The first SDK call loads the profile named by STATION_SIM_PROFILE, else
// "SimProfile.json" in the folder the program handed in (SetProfileFolder);
// without one the LAN is empty.
// Tests drive it directly: load a profile, add cameras, script replies and
// faults, unplug cameras, read what the cameras received.
//
// Every camera is addressed by its name (SimCameraConfig::name: its serial,
// or "<serial>#2" for a second camera with that serial); the serial
// parameters below take it.
//
// Cameras come and go: an unplugged camera leaves the search, takes no login,
// receives nothing (the SDK calls on its sessions still return 0; a live play
// is refused) and its streams go silent at once; its logins and streams are
// reported lost (EVENT_CONNECTFAILED, EVENT_CONNECTFAILED_STREAM) after its
// linkLossDelayMs. A camera that leaves is unplugged the same way and, once
// the loss is reported, forgotten with its logs. FC_Loc_Cleanup ends the
// pending joins and leaves of the profile with the SDK's message thread.
//
// Its members are defined by concern: SimLan.cpp (set-up, inspection, shared
// helpers, callbacks and clean-up), SimLanSearch.cpp (discovery),
// SimLanSessions.cpp (log-in, commands, uploads), SimLanStreams.cpp (live
// streams), SimLanTalk.cpp (talk-back), SimLanWifi.cpp (the Wi-Fi commands)
// and SimLanPresence.cpp (comings and goings).
class SimLan {
public:
    static SimLan& Instance();
    static constexpr const char* kProfileEnv = "STATION_SIM_PROFILE";
    static constexpr const char* kDefaultProfileName = "SimProfile.json";
    static constexpr int kMaxDeparted = 1000;   // DepartedSerials() keeps the newest

    // The folder of the default profile, given before the first SDK call; a
    // later call finds the LAN made. Until given: the executable's folder.
    static void SetProfileFolder(const QString& folder);

    // --- set-up (tests, demo) ---
    // Replaces the LAN: cameras with joinAfterMs join later, a line starts.
    bool LoadProfile(const SimProfile& profile);
    bool LoadProfileFile(const QString& path, QString* error);
    // Ends sessions and streams, forgets the cameras, the line, the adapter and the call log.
    void Reset();
    // A camera with joinAfterMs is plugged in that long after it is added.
    bool AddCamera(const SimCameraConfig& config);
    // Scripts one reply (SetReply) or a list used in order with the last one
    // repeated (SetReplies) for a command; the count of replies used restarts.
    bool SetReply(const QString& serial, int command, const SimReply& reply);
    bool SetReplies(const QString& serial, int command, const QVector<SimReply>& replies);
    bool SetFaults(const QString& serial, const SimFaults& faults);
    // Replaces what a camera runs for the throughput-test command; null restores
    // the camera's own throughput client.
    void SetThroughputRunner(SimThroughputRunner runner);
    // Takes a camera off the LAN, and puts it back; linkLossDelayMs -1: the
    // camera's own. False for an unknown camera or one already in that state.
    // An unplug also stops the camera's throughput runs.
    bool Unplug(const QString& serial, int linkLossDelayMs = -1);
    bool Replug(const QString& serial);
    // Unplugs the camera for good: it is forgotten once its loss is reported.
    bool Leave(const QString& serial);

    // --- inspection (tests) ---
    QStringList Serials() const;         // the names of every camera the LAN holds, plugged or not
    bool IsPlugged(const QString& serial) const;
    QStringList DepartedSerials() const; // cameras forgotten after leaving, oldest first
    QString CameraAddress(const QString& serial) const;
    QVector<SimCommand> CommandsOf(const QString& serial) const;
    QVector<SimUpload> UploadsOf(const QString& serial) const;
    int TalkFramesOf(const QString& serial) const;                  // frames received in all
    QVector<SimTalkFrame> TalkFrameLogOf(const QString& serial) const;   // the newest, whole
    QVector<QByteArray> PtzOf(const QString& serial) const;
    int LiveSessions() const;
    int LiveStreams() const;
    QVector<SimThroughputRequest> ThroughputRequests() const;   // the newest kMaxLogEntries
    // The network the camera was last told to join (1525), as it read the body.
    SimWifiNetwork WifiNetworkOf(const QString& serial) const;
    int ThroughputThreads() const;       // runs started and not yet joined

    // --- the SDK's operations (FuncLib.cpp) ---
    int SetStatusCallback(FC_StatusCallback callback, void* user);
    int SetMessageCallback(FC_MessageCallback callback, void* user);
    int Cleanup();
    int StartSearch(const char* localIp);
    int StopSearch();
    int SearchCount() const;
    int SearchEntry(int index, IPCEntry* entry) const;
    int ModifyAddress(int index, const IPCEntry* entry);
    int64_t Login(const char* ip, int port, const char* user, const char* password);
    int Logout(int64_t loginHandle);
    int Command(const char* via, int64_t loginHandle, int command, const char* body, int length, int channel = 0);
    int Ptz(int64_t loginHandle, const char* xml);
    int Upload(int64_t loginHandle, const char* path, const QString& kind, int replyType);
    int64_t RealPlay(int64_t loginHandle, const char* url, const char* user, const char* password,
                     FC_RealDataCallback callback, const FC_RealPlayParam* param);
    int StopRealPlay(int64_t realHandle);
    int StartSpeak(int64_t loginHandle);
    int SendTalkFrame(int64_t loginHandle, const FC_TalkFrame* frame);
    int StopSpeak(int64_t loginHandle);

    ~SimLan();

private:
    struct Session {
        QString name;            // its camera's
        bool loggedIn = false;
        bool talking = false;
        bool dead = false;       // its camera was unplugged; the loss is not reported yet
    };

    SimLan();
    void LoadDefaultProfile();
    SimCamera* CameraByName(const QString& name);
    SimCamera* CameraByAddress(const QString& address);
    // The camera of a logged-in session, with m_lock held while this lives.
    struct SessionCamera {
        std::unique_lock<std::mutex> lock;
        SimCamera* camera = nullptr;
        int error = 0;           // without a camera: what the operation returns
        explicit operator bool() const { return camera != nullptr; }
        SimCamera* operator->() const { return camera; }
    };
    // Takes m_lock and finds the camera of a logged-in session. Without one, error
    // is FC_ERR_HANDLE for no such session and whenDead for an unplugged camera's,
    // whose calls each operation answers in its own way.
    SessionCamera LockSessionCamera(int64_t loginHandle, int whenDead);
    bool OnAdapterSubnet(const QString& address) const;
    int64_t NextHandle();

    void FinishLogin(int64_t loginHandle, const QString& ip, int port, const QString& user, const QString& password);
    void DropSessions(const QVector<int64_t>& loginHandles, int statusType);
    void DropSessionsOf(const QString& name, int delayMs);
    void PostStatus(int delayMs, int64_t handle, int type, const QByteArray& data, bool hasData);
    void PostReply(int delayMs, int64_t loginHandle, int command, const SimReply& reply);
    std::vector<std::shared_ptr<SimStream>> TakeStreams(const std::function<bool(const SimStream&)>& match);
    void StopStreams(std::vector<std::shared_ptr<SimStream>> streams);
    void JoinRetired();

    // Comings and goings (m_lock held where the name ends in Locked).
    bool AddCameraLocked(const SimCameraConfig& config);
    bool Disconnect(const QString& name, int linkLossDelayMs, bool leave);
    void ForgetLocked(const QString& name);
    void ScheduleLeave(const QString& name, int delayMs);
    void JoinLineCamera();

    // The camera takes the network of a Wi-Fi connect body (1525).
    void JoinWifi(const QString& name, const QByteArray& body);
    void StartThroughput(const QString& name, const QString& serial, const QString& cameraAddress,
                         const QByteArray& body);

    mutable std::mutex m_lock;   // guards everything below but the gates, the dispatcher and the runs
    SimProfile m_profile;
    std::map<QString, std::unique_ptr<SimCamera>> m_cameras;
    std::map<int64_t, Session> m_sessions;
    std::map<int64_t, std::shared_ptr<SimStream>> m_streams;
    std::vector<std::shared_ptr<SimStream>> m_retired;   // stopped from their own thread
    QVector<IPCEntry> m_searchTable;
    QVector<QString> m_searchNames;   // the camera of each search entry
    bool m_searching = false;
    uint64_t m_searchGeneration = 0;
    int64_t m_lastHandle = 0;
    int m_lineNext = 0;          // index of the line's next camera
    QStringList m_departed;

    CallbackGate<FC_StatusCallback> m_statusGate;
    CallbackGate<FC_MessageCallback> m_messageGate;
    SimDispatcher m_dispatcher;
    SimThroughputRuns m_throughput{m_dispatcher};   // its lock is taken after m_lock
};
