// The auxiliary thread and its job mechanism (AuxJobs.h): jobs carry a copy of
// what they read, run on the thread, and hand their results back to the GUI
// thread, which applies them only for the chain they were posted for.
#include "LeftTopWidget.h"

#include "AppGlobals.h"
#include "Log.h"
#include "Login_Dlg.h"

#include <QTimer>

#include <cstring>
#include <memory>

namespace {

constexpr int kAuxJoinWarnMs = 1000;

QString FieldString(const char* field, size_t size)
{
    return QString::fromLatin1(field, int(strnlen(field, size)));
}

}  // namespace

AuxJobContext LeftTopWidget::MakeAuxJobContext(int source) const
{
    AuxJobContext c;
    c.token = CurrentChainToken();
    c.source = source;
    c.devType = m_lists.m_SvrRetDevTypeInfo;
    m_lists.ReadCurrentDevice([&](const DevInfo& dev) {
        c.strSN = FieldString(dev.ipcEntry.ipc_sn, sizeof dev.ipcEntry.ipc_sn);
        c.strModel = FieldString(dev.szModel, sizeof dev.szModel);
        c.result = dev.TestRuslut;
    });
    c.strStationMac = FieldString(m_szLocalMac, sizeof m_szLocalMac);
    c.strCustomMac = m_strCustomMac;
    c.bTestNormal = m_bTestNormal;
    c.config = ConfigSnapshot();
    c.testType = CurrentTestType.load();
    c.bLoggedIn = LoggedIn.load();
    c.bWholeMachineTestMode = WholeMachineTestMode.load();
    c.strServerHost = ServerHost;
    c.strOrderNumber = m_strOrderNumber;
    c.strCompanyId = m_strCurrentCompanyId;
    c.strCustomerName = m_strCurrentCustomerName;
    c.mobileOperators = m_lstMobileOperators;
    c.telecomOperators = m_lstTelecomOperators;
    return c;
}

bool LeftTopWidget::PostAuxJob(std::unique_ptr<AuxJobEnvelope> job, int source)
{
    if (!job || !job->HasRecord()) {
        LogPrint(LOG_MAJOR, "LeftTopWidget::PostAuxJob() message %u comes without a record, dropped",
                 job ? job->message : 0u);
        return false;
    }
    const uint32_t message = job->message;
    job->context = MakeAuxJobContext(source);
    // The hand-off queue outlives the auxiliary thread's join.
    job->context.restartHeartbeat = [queue = &m_handOffs] {
        queue->Post([] {
            if (HeartbeatTimer)
                HeartbeatTimer->start(Login_Dlg::HEARTBEAT_INTERVAL_MS);
        });
    };
    ThreadMessageQueue* queue = m_workers.Queue(StationWorkers::Aux);
    if (!queue || !queue->Post(message, std::move(job))) {
        LogPrint(LOG_GENERAL, "LeftTopWidget::PostAuxJob() the auxiliary thread takes no job, message %u freed",
                 message);
        return false;
    }
    return true;
}

bool LeftTopWidget::PostTalkJob(AuxResponsePtr status)
{
    const int64_t login = status ? status->lLoginID : 0;
    auto job = MakeAuxJob(AUX_MSG_START_AUDIO_OK, std::move(status),
                          [this](AuxResponseInfo& info, AuxJobRun& run) { dealStartAduioOk(&info, run); });
    // Its channel is closed now: the device may be pressed again. No end signal.
    job->end = [this, login](const AuxJobEnvelope&, AuxJobRun&) { m_talkClaims.Release(login); };
    return PostAuxJob(std::move(job), AUX_SOURCE_AUTO);
}

void LeftTopWidget::SetAuxJobBody(uint32_t message, AuxJobBody body)
{
    std::lock_guard<std::mutex> guard(m_auxBodiesLock);
    if (body)
        m_auxBodies[message] = std::move(body);
    else
        m_auxBodies.erase(message);
}

void LeftTopWidget::ExecuteAuxFuncThread()
{
    ThreadMessageQueue* queue = m_workers.Queue(StationWorkers::Aux);
    while (queue && !m_workers.StopRequested(StationWorkers::Aux)) {
        ThreadMessage msg;
        if (!queue->Wait(&msg, 50))
            continue;
        // Only PostAuxJob puts jobs here, each in an envelope.
        std::unique_ptr<AuxJobEnvelope> job = msg.Take<AuxJobEnvelope>();
        if (!job) {
            LogPrint(LOG_GENERAL, "LeftTopWidget::ExecuteAuxFuncThread() message %u dropped", msg.message);
            continue;
        }
        RunAuxJob(*job);
    }
    // Jobs still queued at the stop are freed, not run.
    if (queue)
        queue->TakePending();
}

void LeftTopWidget::RunAuxJob(const AuxJobEnvelope& job)
{
    AuxJobRun run(job.context, m_auxCancel);
    AuxJobBody replacement;
    {
        std::lock_guard<std::mutex> guard(m_auxBodiesLock);
        auto it = m_auxBodies.find(job.message);
        if (it != m_auxBodies.end())
            replacement = it->second;
    }
    if (replacement)
        replacement(job, run);
    else
        job.Run(run);
    if (job.end) {
        job.end(job, run);
        return;
    }
    // The end goes to the GUI thread with its own copies; the envelope dies here.
    const uint32_t message = job.message;
    auto context = std::make_shared<AuxJobContext>(job.context);
    auto result = std::make_shared<AuxJobResult>(std::move(run.Result()));
    if (!m_handOffs.Post([this, message, context, result] { ApplyAuxJobEnd(message, *context, *result); }))
        LogPrint(LOG_GENERAL, "LeftTopWidget::ExecuteAuxFuncThread() end of job %u dropped, the controller closes",
                 message);
}

void LeftTopWidget::ApplyAuxJobEnd(uint32_t message, const AuxJobContext& context, const AuxJobResult& result)
{
    const ChainToken& token = context.token;
    if (!IsChainCurrent(token)) {
        LogPrint(LOG_INFO,
                 "LeftTopWidget::onThreadItemProcEnd() job %u of an ended chain (SN=%s, lUserID=%lld) left alone",
                 message, token.sn.constData(), (long long)token.login);
        for (const AuxJobLine& line : result.lines)
            LogPrint(LOG_INFO, "LeftTopWidget::onThreadItemProcEnd() not shown: %s (%s)",
                     line.text.toUtf8().constData(), line.normal ? "normal" : "abnormal");
        return;
    }
    if (!result.done)
        LogPrint(LOG_GENERAL, "LeftTopWidget::onThreadItemProcEnd() job %u did nothing", message);
    if (result.HasChanges())
        m_lists.UpdateCurrentDevice(token.login, [&](DevInfo& dev) { result.ApplyTo(dev.TestRuslut); });
    if (result.identifyCode)
        m_strIndentifyCode = *result.identifyCode;
    for (const AuxJobLine& line : result.lines)
        AddAutoTestItem(line.text, line.normal);
    // Printing and the scan dialog may run event loops (boxes): ask again after each.
    if (result.print) {
        const QRCodePrintRequest& p = *result.print;
        emit QRCodePrint(p.strQRCode, p.strIndentityPart, p.strDevSN, p.strMac, p.strIndentifyCode);
        if (!IsChainCurrent(token))
            return;
    }
    if (result.check) {
        emit QRCodeCheckSignal(result.check->strQRCode, result.check->strIndentityPart);
        if (!IsChainCurrent(token))
            return;
    }
    emit sig_ThreadItemProcEnd(int(message), context.source);
}

void LeftTopWidget::StopAuxThread()
{
    if (!m_workers.IsAlive(StationWorkers::Aux))
        return;
    // No chain goes on without the thread: ends that arrive from here on are only logged.
    ++m_uChainGeneration;
    m_auxCancel.Cancel();
    m_workers.RequestStop(StationWorkers::Aux);
    m_workers.Join(StationWorkers::Aux, kAuxJoinWarnMs);
}

void LeftTopWidget::onThreadItemProcEnd(int iMsgItem, int iMsgSrcType)
{
    LogPrint(LOG_INFO, "LeftTopWidget::onThreadItemProcEnd() iMsgItem=%d, iMsgSrcType=%d", iMsgItem, iMsgSrcType);
    if (iMsgSrcType != AUX_SOURCE_AUTO)
        return;
    if (!IsChainCurrent(m_chain)) {
        LogPrint(LOG_INFO, "LeftTopWidget::onThreadItemProcEnd() the chain lost its camera, it stops here");
        return;
    }
    switch (iMsgItem) {
    case AUX_MSG_PRINT_QRCODE:
        if (!m_bTestNormal)
            AddAutoTestItem(tr("there is abnormal test item,please check"), false);
        PostQRCodeJob(AUX_MSG_CHECK_QRCODE);
        break;
    case AUX_MSG_CHECK_QRCODE:
        AutoTestFinish();
        break;
    case AUX_MSG_4G_INFO_TEST:
        PostQRCodeJob(AUX_MSG_PRINT_QRCODE);
        break;
    case AUX_MSG_BIND_DEV:
        if (m_lists.m_SvrRetDevTypeInfo.iSDKType == 1) {
            if (!IsCurrentDevStopped())
                AutoGetAuthorizeCodeInfo();
        } else {
            AfterAuthorization();
        }
        break;
    case AUX_MSG_AUTHORIZE_CHECK:
        AfterAuthorization();
        break;
    default:
        break;
    }
}
