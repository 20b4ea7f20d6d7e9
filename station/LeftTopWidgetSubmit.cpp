// Result submission and order refresh, on the GUI thread. The stream-test
// thread waits in its hand-off until a submission is over (m_iUploadDone) and
// reads UploadFailureCount afterwards.
#include "LeftTopWidget.h"

#include "AppGlobals.h"
#include "BackendEndpoint.h"
#include "CommonHelpers.h"
#include "ControllerHost.h"
#include "HttpClient.h"
#include "JsonReply.h"
#include "LeftBottomWidget.h"
#include "Log.h"
#include "ModalHook.h"
#include "OrderDetail.h"

#include <QMessageBox>
#include <QPushButton>

#include <cstring>
#include <string>

namespace {

// From this many transport failures in a row the station stops asking.
constexpr int kSilentFailures = 5;

// Failures the operator may retry and the cache posts again later. Callers tell
// them from the back-end's refusals by the value alone: a positive value is one
// even when the back-end sent it as its "ret".
bool IsTransportFailure(int value)
{
    return value > 0 || value == -98 || value == -1;
}

}  // namespace

void LeftTopWidget::slot_UploadCurrentDevTestResult()
{
    LogPrint(LOG_INFO, "LeftTopWidget::UploadCurrentDevTestResult() Enter");
    // The retry box runs an event loop that may bring a second request: the
    // running submission is the one that ends m_iUploadDone's wait.
    if (m_bUploading) {
        LogPrint(LOG_GENERAL, "LeftTopWidget::UploadCurrentDevTestResult() a submission runs, this one is refused");
        return;
    }
    m_bUploading = true;
    m_iUploadDone = 0;

    const bool pass = m_bManualObservationTestNormal && IsTestResultPass();
    DevTestResult record{};
    int64_t login = 0;
    m_lists.ReadCurrentDevice([&](const DevInfo& dev) {
        record = dev.TestRuslut;
        login = dev.lUserID;
    });
    record.total_result = pass ? 1 : -1;
    m_lists.UpdateCurrentDevice(login, [&](DevInfo& dev) { dev.TestRuslut.total_result = record.total_result; });
    const QString resultText = (pass ? tr("Test result: passed") : tr("Test result: failed")) + "\n";

    // While the operator decides on a retry a passed record waits in the cache,
    // held: on disk, so a crash meanwhile loses nothing, but posted from there only
    // once this submission gives it up, so it never reaches the back-end twice.
    uint64_t held = 0;
    auto cache = [&] {
        if (pass && m_host) {
            if (held != 0)
                m_host->ReleaseCacheTestData(held, true);
            else
                m_host->AddCacheTestData(record);
        }
        held = 0;
    };
    auto settled = [&] {   // the back-end has answered for the record: the held copy goes
        if (held != 0 && m_host)
            m_host->ReleaseCacheTestData(held, false);
        held = 0;
    };

    const BackendEndpoint backend = BackendEndpoint::Station();
    HttpClient client;
    for (;;) {
        const HttpResult reply = client.HttpUploadDevTestResult(backend, record);
        const int value = reply.Value();
        Json::Value root;
        const bool json = JsonReply::ParseObject(reply.body.data(), reply.body.size(), &root);
        std::string msg;
        if (json)
            JsonReply::ReadString(root, "msg", &msg);
        if (!IsTransportFailure(value)) {
            settled();
            LogPrint(LOG_INFO,
                     "#LeftTopWidget::UploadCurrentDevTestResult() HttpUploadDevTestResult failed, ret=%d, szRecvBuf=%s",
                     value, reply.body.c_str());
            UploadFailureCount = 0;
            ShowBackendAnswer(value, QString::fromStdString(msg), resultText);
            break;
        }
        const int failures = ++UploadFailureCount;
        LogPrint(LOG_GENERAL, "LeftTopWidget::UploadCurrentDevTestResult() transport failure %d, %d in a row", value,
                 failures);
        if (failures >= kSilentFailures) {
            cache();
            break;
        }
        // A back-end that refused with a positive "ret" says why in its "msg".
        const QString cause = msg.empty() ? GetSocketErrorMessage(value) : QString::fromStdString(msg);
        const QString error = tr("Upload result:failed, %1").arg(cause);
        if (reply.code == HttpCode::HttpStatus) {
            emit addItemText(error, false);
            cache();
            ShowInformationBox(tr("Hint"), resultText + error);
            break;
        }
        if (pass && m_host && held == 0)
            held = m_host->HoldCacheTestData(record);
        if (AskToUploadAgain(resultText + error))
            continue;
        cache();
        emit addItemText(error, false);
        break;
    }
    m_iUploadDone = 1;
    m_bUploading = false;
}

void LeftTopWidget::ShowBackendAnswer(int ret, const QString& msg, const QString& resultText)
{
    if (ret == 0) {
        emit addItemText(msg, true);
        return;
    }
    const QString error = tr("Upload result:failed, %1").arg(msg);
    emit addItemText(error, false);
    ShowInformationBox(tr("Hint"), resultText + error);
}

bool LeftTopWidget::AskToUploadAgain(const QString& failure)
{
    QMessageBox box(QMessageBox::Information, tr("Hint"),
                    failure + "\n"
                        + tr("Data upload failed, do you want to upload again? (Select No, the data that passed "
                             "the test will be uploaded to the background, and the data that failed the test "
                             "will be discarded)"),
                    QMessageBox::Yes | QMessageBox::No, this, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint);
    box.button(QMessageBox::Yes)->setText(tr("Yes"));
    box.button(QMessageBox::No)->setText(tr("No"));
    return ModalHook::Exec(&box) != QMessageBox::No;
}

void LeftTopWidget::slot_RefreshOrderInfo()
{
    const QByteArray order = m_strOrderNumber.toUtf8();
    HttpClient client;
    const HttpResult reply = client.HttpGetCurrentOrderInfo(BackendEndpoint::Station(), order.constData());
    LogPrint(LOG_INFO, "LeftTopWidget::getCurrentOrderInfo(), ret = %d, nRevBufLen = %d, szRecvBuf = %s", reply.Value(),
             reply.replySize, reply.body.c_str());
    if (!reply.Accepted())
        return;
    OrderDetail detail;
    QString error;
    if (!ParseOrderDetail(reply.body.c_str(), &detail, &error)) {
        LogPrint(LOG_GENERAL, "LeftTopWidget::getCurrentOrderInfo() the reply's %s is unusable",
                 error.toUtf8().constData());
        return;
    }
    if (LeftBottomWidget* panel = m_host ? m_host->GetInfoPanel() : nullptr)
        panel->SetOrderDataDisplay(OrderDataText(detail));
}
