#pragma once

#include "AuxResponseInfo.h"
#include "ConfigInfo.h"
#include "DevTestResult.h"
#include "DevTypeInfo.h"
#include "ThreadJob.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <type_traits>
#include <variant>
#include <vector>

class HttpClient;

// Thread messages of the controller's auxiliary thread and the job records they
// carry (AuxJobRecord). Nothing posts 1129.
enum AuxMessage : uint32_t {
    AUX_MSG_START_AUDIO_OK = 1124,       // AuxResponseInfo (devicelink/AuxResponseInfo.h)
    AUX_MSG_PRINT_QRCODE = 1125,         // AuxPrintQRCodeMsg
    AUX_MSG_CHECK_QRCODE = 1126,         // AuxPrintQRCodeMsg
    AUX_MSG_4G_INFO_TEST = 1127,         // Dev4GInfo
    AUX_MSG_BIND_DEV = 1128,             // DevBindJob
    AUX_MSG_AUTHORIZE_CHECK = 1130,      // AuxAuthorizeCheckMsg
};

// Thread message of the ID-service thread; its job holds the device's IP text.
constexpr uint32_t WM_ID_SERVICE_REQUEST = 1025;

enum AuxJobSource : int {
    AUX_SOURCE_AUTO = 0,
    AUX_SOURCE_MANUAL = 1,
};

// QR label print (1125) and check (1126) preparation.
struct AuxPrintQRCodeMsg {
    int eType = 0;
    QString strDevSN;
    QString strMac;                      // not read by the check
    int iSDKType = 0;                    // 1: Tuya device
    QString strUUID;
};

// The device's reply to the 4G command (1532); also the controller's stored reply.
struct Dev4GInfo {
    QString IMEI;
    QString ModuleSN;
    QString SoftVersion;                 // with "_" and SubVersion when both are present
    QString SubVersion;
    QString Err;                         // card 1 return code text
    QString ICCID;
    int SignalStrength = 0;
    int RSRQ = 0;
    int RSSI = 0;
    int SNR = 0;
    QString Operator;
    int ConnectInternet = 0;
    QString Err2;
    QString ICCID2;
    int SignalStrength2 = 0;
    int RSRQ2 = 0;
    int RSSI2 = 0;
    int SNR2 = 0;
    QString Operator2;
    int ConnectInternet2 = 0;

    // Forgets what a new query replaces: card, operator, version, signal, connection.
    void ClearQueried()
    {
        ICCID.clear();
        Operator.clear();
        SoftVersion.clear();
        SignalStrength = 0;
        ConnectInternet = 0;
    }
};

// Device binding at the back-end (1128).
struct DevBindJob {
    DevTypeInfo devType;
    QString strSN;
    QString strMacAddr;
    QString szModel;
};

// Authorization code check (1130).
struct AuxAuthorizeCheckMsg {
    int iReplyStatus = 0;                // 1: a reply to 1750 was parsed
    int iAutorizationStatus = 0;         // as the device reported it
    QString strUUID;
    QString strKey;
    QString strSN;
    QString strModel;
    int iType = 1;
};

// The record of a job, owned: one alternative per record type.
using AuxJobRecord = std::variant<AuxResponsePtr, std::unique_ptr<AuxPrintQRCodeMsg>, std::unique_ptr<Dev4GInfo>,
                                  std::unique_ptr<DevBindJob>, std::unique_ptr<AuxAuthorizeCheckMsg>>;

// ===========================================================================
// How a job runs
//
// A poster on the GUI thread builds the record of its message and hands it to
// LeftTopWidget::PostAuxJob, which moves it into an AuxJobEnvelope together with
// an AuxJobContext: a copy, made at the post, of everything a job may read
// (whose job it is, the device type, serial number, MACs, model, the device's
// result record, the settings, the login state). The thread runs the body of
// the message on that envelope and nothing else: a body never touches the
// controller, m_PlayInfo or any other GUI-owned member.
//
// A body writes what it found into its AuxJobResult: result words and texts for
// the device's DevTestResult, result lines, the label to print or check. The
// thread hands the result back to the GUI thread with the end of the job; there
// LeftTopWidget applies it to m_PlayInfo.TestRuslut, shows its lines and sends
// sig_ThreadItemProcEnd, all only while the job's ChainToken is still current.
// The result of a job whose camera, chain or run has gone is logged, never
// shown, and clears nothing (m_bTestNormal included).
//
// Back-end requests of a body are cut short when the thread stops: the body
// puts each HttpClient it uses under an AuxJobRun::Watch for the request.
//
// The bodies of 1125-1130 (LeftTopWidgetProvision.cpp) have the form
//     static void Body(const Record& job, AuxJobRun& run);
// and end with run.Result() filled. 1124 runs LeftTopWidget::dealStartAduioOk
// and has no end signal.
// ===========================================================================

// Whose a step, a wait or a job is: one chain (a new one at every event 1020)
// of one camera in one run.
struct ChainToken {
    uint64_t chain = 0;                  // the controller's chain generation
    uint64_t device = 0;                 // DevInfoLists::Generation(): current device and run
    int64_t login = 0;                   // the camera's login handle
    QByteArray sn;                       // its search-entry serial number

    bool operator==(const ChainToken& other) const
    {
        return chain == other.chain && device == other.device && login == other.login && sn == other.sn;
    }
    bool operator!=(const ChainToken& other) const { return !(*this == other); }
};

// Everything a job may read, copied on the GUI thread at the post.
struct AuxJobContext {
    ChainToken token;
    int source = AUX_SOURCE_AUTO;
    DevTypeInfo devType;                 // m_SvrRetDevTypeInfo
    QString strSN;                       // the search entry's serial number
    QString strStationMac;               // the station's MAC text (check_machine_id)
    QString strCustomMac;                // the MAC the back-end gave this camera
    QString strModel;                    // the device's model text
    DevTestResult result{};              // the device's result record
    bool bTestNormal = true;             // no failed line so far
    ConfigInfo config;
    int testType = 0;                    // CurrentTestType
    bool bLoggedIn = false;
    bool bWholeMachineTestMode = false;
    QString strServerHost;
    QString strOrderNumber;
    QString strCompanyId;
    QString strCustomerName;
    QStringList mobileOperators;
    QStringList telecomOperators;
    // Any thread: has the GUI thread restart the main window's heartbeat timer
    // (a back-end call counts as activity). Empty: nothing to restart.
    std::function<void()> restartHeartbeat;
};

struct AuxJobLine {
    QString text;
    bool normal = true;
};

// The label a print job (1125) hands to the GUI thread's printer.
struct QRCodePrintRequest {
    QString strQRCode;
    QString strIndentityPart;
    QString strDevSN;
    QString strMac;
    QString strIndentifyCode;
};

// The code a check job (1126) hands to the GUI thread's scan dialog.
struct QRCodeCheckRequest {
    QString strQRCode;
    QString strIndentityPart;
};

// What a job found, applied by the GUI thread for the job's chain only.
struct AuxJobResult {
    // False: the body did nothing (not built, or refused its record). The
    // chain goes on all the same.
    bool done = true;
    QVector<AuxJobLine> lines;
    std::optional<QRCodePrintRequest> print;
    std::optional<QRCodeCheckRequest> check;
    std::optional<QString> identifyCode; // the controller's last identify code

    void AddLine(const QString& text, bool normal) { lines.append(AuxJobLine{text, normal}); }
    void SetWord(int32_t DevTestResult::*field, int32_t value)
    {
        m_changes.push_back([field, value](DevTestResult& r) { r.*field = value; });
    }
    template <size_t N>
    void SetText(char (DevTestResult::*field)[N], const QByteArray& text)
    {
        m_changes.push_back([field, text](DevTestResult& r) { SetResultText(r.*field, text.constData()); });
    }
    // Result words and texts, in the order they were set.
    void ApplyTo(DevTestResult& record) const;
    bool HasChanges() const { return !m_changes.empty(); }

    static AuxJobResult NotDone();

private:
    std::vector<std::function<void(DevTestResult&)>> m_changes;
};

// The stop of the job that runs: set by the thread's owner from the GUI
// thread, it ends every watched back-end request at once.
class AuxJobCancel {
public:
    void Cancel();
    bool IsCancelled() const { return m_cancelled.load(); }
    // A client taken after the cancel is stopped before its request starts.
    void Watch(HttpClient* client);
    void Unwatch(HttpClient* client);

private:
    std::atomic<bool> m_cancelled{false};
    std::mutex m_lock;                   // guards m_clients
    std::set<HttpClient*> m_clients;
};

// One job as its body sees it: the context, the result to fill and the stop.
class AuxJobRun {
public:
    AuxJobRun(const AuxJobContext& context, AuxJobCancel& cancel) : m_context(context), m_cancel(cancel) {}
    AuxJobRun(const AuxJobRun&) = delete;
    AuxJobRun& operator=(const AuxJobRun&) = delete;

    const AuxJobContext& Context() const { return m_context; }
    int Source() const { return m_context.source; }
    AuxJobResult& Result() { return m_result; }
    void AddLine(const QString& text, bool normal) { m_result.AddLine(text, normal); }
    bool IsStopped() const { return m_cancel.IsCancelled(); }

    // Keeps a client's request cut short by the thread's stop while it lives.
    class Watch {
    public:
        Watch(AuxJobRun& run, HttpClient* client) : m_cancel(run.m_cancel), m_client(client) { m_cancel.Watch(client); }
        ~Watch() { m_cancel.Unwatch(m_client); }
        Watch(const Watch&) = delete;
        Watch& operator=(const Watch&) = delete;

    private:
        AuxJobCancel& m_cancel;
        HttpClient* m_client;
    };

private:
    const AuxJobContext& m_context;
    AuxJobCancel& m_cancel;
    AuxJobResult m_result;
};

// A posted job: its message, its record and the context copied at the post.
// Every message on the auxiliary thread's queue carries one, with a record
// that fits its message (PostAuxJob refuses any other). It frees itself
// wherever it ends: run, dropped at the stop, or refused by the queue.
class AuxJobEnvelope final : public ThreadJob {
public:
    AuxJobEnvelope(uint32_t msg, AuxJobRecord job) : message(msg), m_record(std::move(job)) {}

    // The record when it is a Record; null otherwise.
    template <typename Record>
    Record* Get() const
    {
        Record* found = nullptr;
        std::visit(
            [&found](const auto& held) {
                using Held = typename std::decay_t<decltype(held)>::element_type;
                if constexpr (std::is_same_v<Held, Record>)
                    found = held.get();
            },
            m_record);
        return found;
    }

    const uint32_t message;
    AuxJobContext context;

private:
    AuxJobRecord m_record;
};

// A body put in place of a message's own (tests).
using AuxJobBody = std::function<void(const AuxJobEnvelope& job, AuxJobRun& run)>;

// True for the messages whose jobs the auxiliary thread runs.
bool IsAuxJobMessage(uint32_t message);
// True when record holds a record of the kind that message carries.
bool AuxRecordFits(uint32_t message, const AuxJobRecord& record);
