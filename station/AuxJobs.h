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
#include <typeinfo>
#include <vector>

class HttpClient;

// Thread messages of the controller's auxiliary thread, with the record each
// job carries. A job's number names its end to the chain
// (sig_ThreadItemProcEnd); its body comes with the job. Nothing posts 1129.
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
    int AutorizationStatus = 0;          // as the device reported it
    QString strUUID;
    QString strKey;
    QString strSN;
    QString strModel;
    int iType = 1;
};

// ===========================================================================
// How a job runs
//
// A poster on the GUI thread builds a job (MakeAuxJob): its message, its record
// and the body that runs on it. LeftTopWidget::PostAuxJob adds an
// AuxJobContext: a copy, made at the post, of everything a job may read
// (whose job it is, the device type, serial number, MACs, model, the device's
// result record, the settings, the login state). The thread runs the job's
// body on its record and that context and nothing else: a body never touches
// the controller, m_PlayInfo or any other GUI-owned member.
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
// and ends on the thread: it has no end signal.
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

// A posted job: its message, the context copied at the post, and its record
// with the body that runs on it (AuxJobOf). It frees itself wherever it ends:
// run, dropped at the stop, or refused by the queue.
class AuxJobEnvelope : public ThreadJob {
public:
    // Auxiliary thread, once the body has returned: what the job does with its
    // result. Empty: the result goes back to the GUI thread (PostAuxJob).
    using End = std::function<void(const AuxJobEnvelope& job, AuxJobRun& run)>;

    explicit AuxJobEnvelope(uint32_t msg) : message(msg) {}

    // Runs the job's body on its record (auxiliary thread).
    virtual void Run(AuxJobRun& run) const = 0;
    // False for a job made without a record: PostAuxJob refuses it.
    virtual bool HasRecord() const = 0;

    // The record when it is a Record; null otherwise.
    template <typename Record>
    Record* Get() const
    {
        return static_cast<Record*>(Find(typeid(Record)));
    }

    const uint32_t message;
    AuxJobContext context;
    End end;

private:
    virtual void* Find(const std::type_info& type) const = 0;
};

// A job on a record held by Owner (a std::unique_ptr or AuxResponsePtr).
template <typename Owner>
class AuxJobOf final : public AuxJobEnvelope {
public:
    using Record = typename Owner::element_type;
    using Body = std::function<void(Record& record, AuxJobRun& run)>;

    AuxJobOf(uint32_t message, Owner record, Body body)
        : AuxJobEnvelope(message), m_record(std::move(record)), m_body(std::move(body))
    {
    }

    void Run(AuxJobRun& run) const override
    {
        if (m_record && m_body)
            m_body(*m_record, run);
    }
    bool HasRecord() const override { return m_record != nullptr; }

private:
    void* Find(const std::type_info& type) const override
    {
        return type == typeid(Record) ? m_record.get() : nullptr;
    }

    Owner m_record;
    Body m_body;
};

// The job of message that runs body on record.
template <typename Owner>
std::unique_ptr<AuxJobEnvelope> MakeAuxJob(uint32_t message, Owner record, typename AuxJobOf<Owner>::Body body)
{
    return std::make_unique<AuxJobOf<Owner>>(message, std::move(record), std::move(body));
}

// A body put in place of a message's own (tests).
using AuxJobBody = std::function<void(const AuxJobEnvelope& job, AuxJobRun& run)>;
