// 4G / SIM test, cloud binding and authorization codes: the bodies of the jobs
// 1127, 1128 and 1130 and their back-end requests. They run on the auxiliary
// thread and read only their record and the job's context; what they find goes
// into run.Result(), which the GUI thread applies to the job's own camera.
#include "LeftTopWidget.h"

#include "DevChecks.h"
#include "HttpClient.h"
#include "JobRequest.h"
#include "JsonReply.h"
#include "Log.h"

#include <cmath>
#include <cstring>

namespace {

// QueryDevInfo: the card is not one of ours (the back-end's own "ret").
constexpr int kNotVrlCard = -3;
// A request that failed: no JSON reply, a member of the wrong kind, cards not named.
constexpr int kRequestFailed = -2;

// One card of a two-card "iccid_info".
struct CardState {
    QString iccid;
    int is_vrl = 0;
    int card_status = 0;
    int is_locked = 0;
};

bool ReadCard(const Json::Value& entry, CardState* card)
{
    return entry.isObject() && JsonReply::ReadInt(entry, "is_vrl", &card->is_vrl)
        && JsonReply::ReadInt(entry, "card_status", &card->card_status)
        && JsonReply::ReadInt(entry, "is_locked", &card->is_locked);
}

// The two cards of "iccid_info" in the order of the query's ICCIDs. The back-end
// names them either as an object of two members named by the ICCIDs or as an
// array of two objects, each with its "iccid". False unless both ICCIDs are
// named, so one card's state is never taken for the other's.
bool ReadIccidInfo(const Json::Value& root, const QString& iccid1, const QString& iccid2, CardState cards[2])
{
    const char key[] = "iccid_info";
    const Json::Value* info = root.isObject() ? root.find(key, key + strlen(key)) : nullptr;
    if (!info || info->size() != 2)
        return false;
    CardState entries[2];
    if (info->isObject()) {
        int i = 0;
        for (auto it = info->begin(); it != info->end(); ++it, ++i) {
            entries[i].iccid = QString::fromStdString(it.name());
            if (!ReadCard(*it, &entries[i]))
                return false;
        }
    } else if (info->isArray()) {
        for (Json::ArrayIndex i = 0; i < 2; ++i) {
            const Json::Value& entry = (*info)[i];
            std::string iccid;
            if (!entry.isObject() || !JsonReply::ReadString(entry, "iccid", &iccid) || !ReadCard(entry, &entries[i]))
                return false;
            entries[i].iccid = QString::fromStdString(iccid);
        }
    } else {
        return false;
    }
    if (entries[0].iccid == iccid1 && entries[1].iccid == iccid2) {
        cards[0] = entries[0];
        cards[1] = entries[1];
        return true;
    }
    if (entries[1].iccid == iccid1 && entries[0].iccid == iccid2) {
        cards[0] = entries[1];
        cards[1] = entries[0];
        return true;
    }
    return false;
}

// A back-end's "msg" as a result line: a normal one only when it says something,
// a failed one always (with fallback when it is empty), so a failure never goes unseen.
void AddMsgLine(AuxJobRun& run, const QString& msg, bool normal, const QString& fallback)
{
    if (normal) {
        if (!msg.isEmpty())
            run.AddLine(msg, true);
        return;
    }
    run.AddLine(msg.isEmpty() ? fallback : msg, false);
}

// The zero-price package lines of a VRL card; code 7 when it is already active.
void CheckZeroPricePackage(AuxJobRun& run, int preferentialCheck)
{
    if (preferentialCheck == 1) {
        run.Result().SetWord(&DevTestResult::result_4g, 7);
        run.AddLine(LeftTopWidget::tr("0 yuan package has been activated"), false);
    } else if (preferentialCheck == 0) {
        run.AddLine(LeftTopWidget::tr("0 yuan package is not actived"), true);
    }
}

// A card out of service: code 13 when it is locked, else 8 (no data plan).
void CheckCardInService(AuxJobRun& run, int cardStatus, int locked, const char* lockedText, const char* disabledText,
                        const QString& iccid)
{
    if (cardStatus != 0)
        return;
    const bool isLocked = locked == 1;
    run.Result().SetWord(&DevTestResult::result_4g, isLocked ? 13 : 8);
    run.AddLine(LeftTopWidget::tr(isLocked ? lockedText : disabledText).arg(iccid), false);
}

}  // namespace

// ---------------------------------------------------------------------------
// Job 1127: the 4G / SIM judgement

void LeftTopWidget::do4GDevInfoTest(const Dev4GInfo& info, AuxJobRun& run)
{
    const AuxJobContext& c = run.Context();
    AuxJobResult& result = run.Result();
    // Each failure overwrites the code; the last one counts.
    auto fail = [&](int code, const QString& line) {
        result.SetWord(&DevTestResult::result_4g, code);
        if (!line.isEmpty())
            run.AddLine(line, false);
    };
    result.SetWord(&DevTestResult::result_4g, 1);
    if (!c.bLoggedIn) {
        fail(13, tr("4G Test:abnormal"));
        return;
    }
    const int eType = c.devType.eType;
    const bool present = (eType == 3 && !info.ICCID.isEmpty())
        || (eType == 6 && !info.ICCID.isEmpty() && !info.ICCID2.isEmpty());
    if (!present) {
        fail(12, eType == 3 && info.SoftVersion.isEmpty() ? tr("4G serial communication is abnormal")
                                                           : tr("SIM card abnormal (ICCID get failed)"));
        return;
    }

    // Card 1: a telecom card; card 2: a mobile card.
    if (!info.Err.isEmpty()) {
        bool isNumber = false;
        const int err = info.Err.trimmed().toInt(&isNumber);
        if (!isNumber || err != 0)
            fail(21, tr("card1 return error code(%1)").arg(isNumber ? QString::number(err) : info.Err));
    }
    if (GetOperatorByICCID(info.ICCID) != 0)
        fail(22, tr("card1 iccid test failed(%1)").arg(info.ICCID));
    if (!info.Operator.isEmpty() && !c.telecomOperators.contains(info.Operator))
        fail(23, tr("card1 operator test failed(%1)").arg(info.Operator));
    if (eType == 6) {
        if (GetOperatorByICCID(info.ICCID2) != 1)
            fail(24, tr("card2 iccid test failed(%1)").arg(info.ICCID2));
        if (!info.Operator2.isEmpty() && !c.mobileOperators.contains(info.Operator2))
            fail(25, tr("card2 operator test failed(%1)").arg(info.Operator2));
    }

    // A minimum that is set but no finite number fails rather than passing everything.
    const QString minText = c.config.m_Config4G.Signal4G.trimmed();
    bool minOk = true;
    const float minSignal = minText.isEmpty() ? 0.0f : minText.toFloat(&minOk);
    if (!minOk || !std::isfinite(minSignal))
        LogPrint(LOG_GENERAL, "LeftTopWidget::do4GDevInfoTest() 4GSignal '%s' is no number", minText.toUtf8().constData());
    if (info.SignalStrength == 0 || !minOk || !std::isfinite(minSignal) || minSignal > float(info.SignalStrength))
        fail(2, tr("4G signal test fail(%1)").arg(info.SignalStrength));
    else
        run.AddLine(tr("4G signal test pass(%1)").arg(info.SignalStrength), true);
    if (info.ConnectInternet != 0)
        run.AddLine(tr("4G is connect internet"), true);
    else
        fail(3, tr("4G isn't connect internet"));

    const QString& sn = c.strSN;
    if (!IsValidSN(sn)) {
        fail(4, tr("SN is invalid, 4G dev test failed"));
        return;
    }
    const QString iccid = eType == 3 ? info.ICCID : info.ICCID + "," + info.ICCID2;
    if (BindSNAndICCID(run, sn, iccid, eType) != 0)
        fail(5, QString());
    SimState state;
    const int query = QueryDevInfo(run, sn, iccid, state, eType);
    if (query != 0) {
        if (query != kNotVrlCard)
            fail(6, QString());
        return;
    }
    bool bound = false;
    QString customerName;
    QString customerId;
    // A failed query says nothing about the owner: binding now could take a camera another customer owns.
    if (QueryDevIsBindShareBenefit(run, sn, bound, customerName, customerId) != 0) {
        fail(9, tr("query dev is bind share benifit failed"));
        return;
    }
    if (!bound) {
        if (DevBindOrUnbind(run, c.devType.strIpcType, eType, sn, c.strStationMac, c.strModel) != 0)
            fail(10, QString());
        return;
    }
    // An empty customer id is nobody's, the station's company included.
    if (!customerId.isEmpty() && customerId == c.strCompanyId)
        return;
    if (customerId.isEmpty() && customerName.isEmpty()) {
        fail(13, tr("Failed to obtain the information of the 4G distribution bound company, please re-test the 4G "
                    "test item"));
        return;
    }
    if (customerName.isEmpty() || customerName != c.strCustomerName)
        fail(11, tr("dev has ben bound by another customer"));
}

int LeftTopWidget::BindSNAndICCID(AuxJobRun& run, const QString& sn, const QString& iccid, int subType)
{
    const QByteArray snText = sn.toUtf8();
    const QByteArray iccidText = iccid.toUtf8();
    const JobReply reply = SendJobRequest(run, "LeftTopWidget::BindSNAndICCID()",
                                          [&](HttpClient& client, const BackendEndpoint& backend) {
                                              return client.HttpBindSnIccid(backend, snText.constData(),
                                                                            iccidText.constData(), subType);
                                          });
    int ret = 0;
    QString msg;
    if (!reply.ReadRetMsg(&ret, &msg)) {
        run.AddLine(tr("bind sn and iccid request failed"), false);
        return kRequestFailed;
    }
    AddMsgLine(run, msg, ret == 0, tr("sn and iccid bind failed"));
    return ret;
}

int LeftTopWidget::QueryDevInfo(AuxJobRun& run, const QString& sn, const QString& iccid, SimState& state, int subType)
{
    const QByteArray snText = sn.toUtf8();
    const QByteArray iccidText = iccid.toUtf8();
    const JobReply reply = SendJobRequest(run, "LeftTopWidget::QueryDevInfo()",
                                          [&](HttpClient& client, const BackendEndpoint& backend) {
                                              return client.HttpQueryDeviceInfo(backend, snText.constData(),
                                                                                iccidText.constData(), subType);
                                          });
    const QString failedText = tr("query 4g dev info request failed");
    auto failed = [&] {
        run.AddLine(failedText, false);
        return kRequestFailed;
    };
    AuxJobResult& result = run.Result();
    int ret = 0;
    QString msg;
    if (!reply.ReadRetMsg(&ret, &msg))
        return failed();
    if (ret != 0) {
        if (ret == kNotVrlCard)
            result.SetWord(&DevTestResult::vrl_result, 0);
        AddMsgLine(run, msg, ret == kNotVrlCard, failedText);
        return ret;
    }
    if (!reply.ReadInt("bind", &state.bind))
        return failed();

    if (subType == 3) {
        if (!reply.ReadInt("is_vrl", &state.is_vrl) || !reply.ReadInt("card_status", &state.card_status)
            || !reply.ReadInt("is_locked", &state.is_locked) || !reply.ReadText("combo_name", &state.combo_name)
            || !reply.ReadInt("preferentialCheck", &state.preferentialCheck))
            return failed();
        if (state.is_vrl == 1) {
            result.SetWord(&DevTestResult::vrl_result, 1);
            run.AddLine(tr("SIM card Is VRL card"), true);
            CheckZeroPricePackage(run, state.preferentialCheck);
            CheckCardInService(run, state.card_status, state.is_locked, QT_TR_NOOP("SIM card is locked, ICCID=%1"),
                               QT_TR_NOOP("SIM card has been disabled, please recharge data plan, ICCID=%1"), iccid);
            run.AddLine(tr("Data Package:") + state.combo_name, true);
        } else if (state.is_vrl == 0) {
            result.SetWord(&DevTestResult::vrl_result, 0);
            run.AddLine(tr("SIM card is not VRL card (External card)"), true);
        }
        return 0;
    }

    const QStringList iccids = iccid.split(QLatin1Char(','));
    CardState cards[2];
    if (iccids.size() != 2 || !ReadIccidInfo(reply.root, iccids[0], iccids[1], cards)) {
        LogPrint(LOG_GENERAL, "LeftTopWidget::QueryDevInfo() iccid_info names not both cards of %s",
                 iccidText.constData());
        return failed();
    }
    if (!reply.ReadText("combo_name", &state.combo_name)
        || !reply.ReadInt("preferentialCheck", &state.preferentialCheck))
        return failed();
    state.is_vrl = cards[0].is_vrl;
    state.card_status = cards[0].card_status;
    state.is_locked = cards[0].is_locked;
    state.is_vrl2 = cards[1].is_vrl;
    state.card_status2 = cards[1].card_status;
    state.is_locked2 = cards[1].is_locked;
    if (state.is_vrl == 1 && state.is_vrl2 == 1) {
        result.SetWord(&DevTestResult::vrl_result, 1);
        result.SetWord(&DevTestResult::vrl_result2, 1);
        run.AddLine(tr("SIM card Is VRL card"), true);
        CheckCardInService(run, state.card_status, state.is_locked, QT_TR_NOOP("SIM card1 is locked, ICCID=%1"),
                           QT_TR_NOOP("SIM card1 has been disabled, please recharge data plan, ICCID=%1"), iccids[0]);
        CheckZeroPricePackage(run, state.preferentialCheck);
        run.AddLine(tr("Data Package:") + state.combo_name, true);
    } else if (state.is_vrl == 1 && state.is_vrl2 == 0) {
        result.SetWord(&DevTestResult::vrl_result2, -1);
        run.AddLine(tr("SIM card2 is not VRL card"), true);
    } else if (state.is_vrl == 0) {
        result.SetWord(&DevTestResult::vrl_result, -1);
        run.AddLine(tr("SIM card1 is not VRL card"), true);
    }
    return 0;
}

int LeftTopWidget::QueryDevIsBindShareBenefit(AuxJobRun& run, const QString& sn, bool& bound, QString& customerName,
                                              QString& customerId)
{
    const QByteArray snText = sn.toUtf8();
    const JobReply reply = SendJobRequest(run, "LeftTopWidget::QueryDevIsBindShareBenefit()",
                                          [&](HttpClient& client, const BackendEndpoint& backend) {
                                              return client.HttpGetDeviceBindInfo(backend, snText.constData());
                                          });
    int ret = 0;
    QString msg;
    int bind = 0;
    QString name;
    QString id;
    // A reply that does not say whether the camera is bound is no "not bound".
    if (!reply.ReadRetMsg(&ret, &msg) || ret != 0 || !reply.Has("bind")
        || !reply.ReadInt("bind", &bind) || !reply.ReadText("customer_name", &name)
        || !reply.ReadText("customer_id", &id)) {
        LogPrint(LOG_GENERAL, "LeftTopWidget::QueryDevIsBindShareBenefit() no binding for SN=%s (ret=%d)",
                 snText.constData(), reply.json ? ret : CodeValue(reply.code));
        return -1;
    }
    bound = bind == 1;
    customerName = bound ? name : QString();
    customerId = bound ? id : QString();
    return 0;
}

int LeftTopWidget::DevBindOrUnbind(AuxJobRun& run, const QString& mainType, int subType, const QString& sn,
                                   const QString& mac, const QString& model)
{
    if (!IsValidSN(sn)) {
        run.AddLine(tr("SN is invalid, bind dev failed"), false);
        return -1;
    }
    const QByteArray mainText = mainType.toUtf8();
    const QByteArray snText = sn.toUtf8();
    const QByteArray macText = mac.toUtf8();
    const QByteArray modelText = model.toUtf8();
    auto send = [&] {
        return SendJobRequest(run, "LeftTopWidget::DevBindOrUnbind()",
                              [&](HttpClient& client, const BackendEndpoint& backend) {
                                  return client.HttpBindOrUnbindDevice(backend, mainText.constData(), subType,
                                                                       snText.constData(), macText.constData(),
                                                                       modelText.constData(), false);
                              });
    };
    JobReply reply = send();
    // The client has already sent a request again that did not go out whole, and
    // sends none again that did: the back-end may have bound the camera and only
    // its reply was lost. An HTTP error status is an answer, the one left to us.
    if (reply.code == HttpCode::HttpStatus && !run.IsStopped()) {
        LogPrint(LOG_GENERAL, "LeftTopWidget::DevBindOrUnbind() SN=%s answered with an error status, asking once more",
                 snText.constData());
        reply = send();
    }
    int ret = 0;
    QString msg;
    if (!reply.ReadRetMsg(&ret, &msg)) {
        run.AddLine(tr("bind dev request failed"), false);
        return kRequestFailed;
    }
    AddMsgLine(run, msg, ret == 0, tr("bind dev request failed"));
    return ret;
}

// ---------------------------------------------------------------------------
// Job 1128: binding

void LeftTopWidget::DoBindDevJob(const DevBindJob& job, AuxJobRun& run)
{
    if (!run.Context().bLoggedIn) {
        LogPrint(LOG_INFO, "LeftTopWidget::DoBindDevJob() not logged in, SN=%s not bound",
                 job.strSN.toUtf8().constData());
        return;
    }
    const int ret = DevBindOrUnbind(run, job.devType.strIpcType, job.devType.eType, job.strSN, job.strMacAddr,
                                    job.szModel);
    run.Result().SetWord(&DevTestResult::bind_result, ret == 0 ? 1 : -1);
}

// ---------------------------------------------------------------------------
// Job 1130: authorization codes

void LeftTopWidget::DoAuthorizeCheckJob(const AuxAuthorizeCheckMsg& job, AuxJobRun& run)
{
    AuxJobResult& result = run.Result();
    auto fail = [&](const QString& line) {
        result.SetWord(&DevTestResult::tuya_authorize_result, -1);
        run.AddLine(line, false);
    };
    // The first step that decides ends the check.
    if (job.iReplyStatus == 0) {
        fail(tr("Get Tuya Authorize Info faied"));
        return;
    }
    if (!IsValidSN(job.strSN)) {
        fail(tr("SN is invalid, Tuya Dev Authorized check failed"));
        return;
    }
    switch (job.AutorizationStatus) {
    case 1:
        if (run.Context().bLoggedIn) {
            const int ret = CheckTuyaAuthorizeCodeInfoMatch(run, job.strSN, job.strKey, job.strUUID, job.strModel,
                                                            job.iType, 0, 1);
            result.SetWord(&DevTestResult::tuya_authorize_result, ret == 0 ? 1 : -1);
        }
        return;
    case 0:
        fail(tr("Tuya Dev is not Authorized"));
        return;
    default:
        LogPrint(LOG_GENERAL, "LeftTopWidget::DoAuthorizeCheckJob() status %d of SN=%s left unjudged",
                 job.AutorizationStatus, job.strSN.toUtf8().constData());
        return;
    }
}

int LeftTopWidget::CheckTuyaAuthorizeCodeInfoMatch(AuxJobRun& run, const QString& sn, const QString& key,
                                                   const QString& uuid, const QString& model, int type, int pid,
                                                   int userType)
{
    QString sign;
    GetAuthorizeSign(sn, uuid, sign);
    const QByteArray snText = sn.toUtf8();
    const QByteArray keyText = key.toUtf8();
    const QByteArray uuidText = uuid.toUtf8();
    const QByteArray modelText = model.toUtf8();
    const QByteArray signText = sign.toUtf8();
    const JobReply reply = SendJobRequest(
        run, "LeftTopWidget::CheckTuyaAuthorizeCodeInfoMatch()",
        [&](HttpClient& client, const BackendEndpoint& backend) {
            return client.HttpCheckCloudStorageBindRelation(backend, snText.constData(), keyText.constData(),
                                                     uuidText.constData(), modelText.constData(), type, pid,
                                                     userType, signText.constData());
        });
    int ret = 0;
    QString msg;
    QString boundUuid;
    if (!reply.ReadRetMsg(&ret, &msg) || !reply.ReadText("uuid", &boundUuid)) {
        run.AddLine(tr("Tuya Authorize Code Match Check Qequest Failed"), false);
        return kRequestFailed;
    }
    if (ret == 0)
        run.AddLine(tr("Tuya Authorize Code Match Check:normal"), true);
    else
        run.AddLine(tr("Tuya Authorize Code Match Check:abnormal(already bound uuid:%1)").arg(boundUuid), false);
    return ret;
}
