// The QR label at the end of the chain: the print and check jobs (1125, 1126)
// ask the back-end for the identify code on the auxiliary thread; printing and
// the scan dialog run on the GUI thread.
#include "LeftTopWidget.h"

#include "AppGlobals.h"
#include "CConfigFile.h"
#include "CheckQRCodeDlg.h"
#include "DevChecks.h"
#include "HttpClient.h"
#include "JobRequest.h"
#include "LabelPrintConfig.h"
#include "LabelPrinter.h"
#include "Log.h"

#include <QFileInfo>

#include <cstring>
#include <optional>

namespace {

// What the label needs of the payload: SDK type 1 prints the bare code, type 0
// the bind text with the identify code; any other type has no label.
bool IsUsablePayload(int sdkType, const QString& qrCode, const QString& identityPart, const QString& identifyCode)
{
    if (sdkType == 1)
        return !qrCode.isEmpty() && !identityPart.isEmpty();
    if (sdkType == 0)
        return !identifyCode.isEmpty();
    return false;
}

struct LabelPayload {
    QString qrCode;
    QString identityPart;
    QString identifyCode;
};

// What the back-end gave for job (GetIndentifyCode); none when it is not usable for a label.
std::optional<LabelPayload> UsablePayload(const AuxPrintQRCodeMsg& job, const LabelPayload& fetched)
{
    if (!IsUsablePayload(job.iSDKType, fetched.qrCode, fetched.identityPart, fetched.identifyCode))
        return std::nullopt;
    return fetched;
}

// The same camera as when the token was taken (a new chain of it included).
bool IsSameCamera(const ChainToken& then, const ChainToken& now)
{
    return then.login > 0 && then.device == now.device && then.login == now.login && then.sn == now.sn;
}

QString CurrentSerial(const DevInfoLists& lists)
{
    QString sn;
    lists.ReadCurrentDevice([&](const DevInfo& dev) {
        sn = QString::fromLatin1(dev.ipcEntry.ipc_sn, int(strnlen(dev.ipcEntry.ipc_sn, sizeof dev.ipcEntry.ipc_sn)));
    });
    return sn;
}

}  // namespace

// ---------------------------------------------------------------------------
// Auxiliary thread

QString LeftTopWidget::AppDownloadHost(const AuxJobContext& context)
{
    const QString host = context.config.m_PrintQrCode.szAppDownloadHost.trimmed();
    return host.isEmpty() ? context.strServerHost : host;
}

void LeftTopWidget::GetIndentifyCode(AuxJobRun& run, int subType, const QString& sn, int sdkType, const QString& uuid,
                                     QString& strQRCode, QString& strQRCodeIndentifyPart, QString& strIndentifyCode)
{
    // Nothing of an earlier camera may survive a failed request.
    strQRCode.clear();
    strQRCodeIndentifyPart.clear();
    strIndentifyCode.clear();
    const QByteArray snText = sn.toUtf8();
    const QByteArray uuidText = uuid.toUtf8();
    const JobReply reply = SendJobRequest(run, "LeftTopWidget::GetIndentifyCode()",
                                          [&](HttpClient& client, const BackendEndpoint& backend) {
                                              return client.HttpGetRandomCode(backend, snText.constData(), subType,
                                                                              sdkType == 1 ? 1 : 0,
                                                                              uuidText.constData());
                                          });
    int ret = 0;
    QString msg;
    QString code;
    if (!reply.ReadRetMsg(&ret, &msg) || ret != 0 || !reply.ReadText("code", &code)) {
        run.Result().identifyCode = QString();
        run.AddLine(tr("Get Indentify Code failed"), false);
        return;
    }
    if (sdkType == 1) {
        strQRCode = code;
        strQRCodeIndentifyPart = code;
    } else if (sdkType == 0) {
        strIndentifyCode = code;
        strQRCodeIndentifyPart = QStringLiteral("bind://v1@t%1:").arg(subType) + sn + QLatin1Char(':') + code;
        strQRCode = QStringLiteral("http://") + AppDownloadHost(run.Context()) + QStringLiteral("/api/url.php?v=0&s=")
            + strQRCodeIndentifyPart;
    }
    run.Result().identifyCode = strIndentifyCode;
}

void LeftTopWidget::DoPrintQRCodeJob(const AuxPrintQRCodeMsg& job, AuxJobRun& run)
{
    const AuxJobContext& c = run.Context();
    auto refuse = [&](const QString& line) {
        run.Result().SetWord(&DevTestResult::qr_code_print_result, -1);
        run.AddLine(line, false);
    };
    if (!DevTypeSupportsPrint(c.devType)) {
        refuse(tr("The current device does not support printing QR codes"));
        return;
    }
    if ((!c.config.m_PrintQrCode.bAutoPrint && run.Source() != AUX_SOURCE_MANUAL) || !c.bLoggedIn) {
        LogPrint(LOG_INFO, "LeftTopWidget::DoPrintQRCodeJob() no label for SN=%s (auto print %d, logged in %d)",
                 job.strDevSN.toUtf8().constData(), int(c.config.m_PrintQrCode.bAutoPrint), int(c.bLoggedIn));
        return;
    }
    if (run.Source() == AUX_SOURCE_AUTO && !c.bTestNormal) {
        refuse(tr("There is a failed test item, and the printing of the QR code fails"));
        return;
    }
    if (!IsValidSN(job.strDevSN)) {
        refuse(tr("SN is invalid, print qrcode failed"));
        return;
    }
    if (c.result.bind_result != 1) {
        refuse(tr("user was not successfully bound, print qrcode failed"));
        return;
    }
    LabelPayload fetched;
    GetIndentifyCode(run, job.eType, job.strDevSN, job.iSDKType, job.strUUID, fetched.qrCode, fetched.identityPart,
                     fetched.identifyCode);
    const std::optional<LabelPayload> payload = UsablePayload(job, fetched);
    if (!payload) {
        refuse(tr("print qrcode failed"));
        return;
    }
    run.Result().print =
        QRCodePrintRequest{payload->qrCode, payload->identityPart, job.strDevSN, job.strMac, payload->identifyCode};
}

void LeftTopWidget::DoCheckQRCodeJob(const AuxPrintQRCodeMsg& job, AuxJobRun& run)
{
    const AuxJobContext& c = run.Context();
    auto refuse = [&](const QString& line) {
        run.Result().SetWord(&DevTestResult::qr_code_check_result, -1);
        run.AddLine(line, false);
    };
    if (!DevTypeSupportsPrint(c.devType))
        return;
    if ((!c.config.m_PrintQrCode.bCheckQRCode && run.Source() != AUX_SOURCE_MANUAL) || !c.bLoggedIn) {
        LogPrint(LOG_INFO, "LeftTopWidget::DoCheckQRCodeJob() no check for SN=%s (check %d, logged in %d)",
                 job.strDevSN.toUtf8().constData(), int(c.config.m_PrintQrCode.bCheckQRCode), int(c.bLoggedIn));
        return;
    }
    if (!IsValidSN(job.strDevSN)) {
        refuse(tr("SN is invalid, check qrcode failed"));
        return;
    }
    LabelPayload fetched;
    GetIndentifyCode(run, job.eType, job.strDevSN, job.iSDKType, job.strUUID, fetched.qrCode, fetched.identityPart,
                     fetched.identifyCode);
    const std::optional<LabelPayload> payload = UsablePayload(job, fetched);
    if (!payload) {
        refuse(tr("check qrcode failed"));
        return;
    }
    run.AddLine(tr("please scan dev QRCode"), true);
    run.Result().check = QRCodeCheckRequest{payload->qrCode, payload->identityPart};
}

// ---------------------------------------------------------------------------
// GUI thread

void LeftTopWidget::onQRCodePrintEmit(QString strQRCode, QString strIndentityPart, QString strDevSN, QString strMac,
                                      QString strIndentifyCode)
{
    LogPrint(LOG_INFO, "LeftTopWidget::onQRCodePrintEmit() SN=%s, QRCode=%s", strDevSN.toUtf8().constData(),
             strQRCode.toUtf8().constData());
    auto book = [&](int value, const QString& line) {
        m_lists.UpdateCurrentDevice(m_lists.CurrentLoginHandle(),
                                    [&](DevInfo& dev) { dev.TestRuslut.qr_code_print_result = value; });
        AddAutoTestItem(line, value == 1);
    };
    auto refuse = [&](const QString& hint) {
        book(-1, tr("print qr_code fail"));
        ShowInformationBox(tr("Hint"), hint);
    };
    // The path that is checked is the path that is printed: the store's, taken afresh.
    ConfigInfo stored;
    CConfigFile::GetInstance()->GetConfigInfo(stored);
    CurrentPrintConfigPath = stored.m_PrintConfigFilePath;
    const QString path = CurrentPrintConfigPath;
    if (path.isEmpty()) {
        refuse(tr("The print template is not loaded. Please select and load the print template on the system "
                  "configuration interface. If there is no print template, you can save and generate a print "
                  "template in the print template configuration interface"));
        return;
    }
    if (!QFileInfo(path).isFile()) {
        refuse(tr("The selected print template does not exist, please check and confirm in the system configuration "
                  "interface"));
        return;
    }
    if (strDevSN != CurrentSerial(m_lists)) {
        refuse(tr("The SN of the printing device is different from that of the playback device"));
        return;
    }
    LabelPrinter* printer = LabelPrinter::Instance();
    if (!printer) {
        LogPrint(LOG_MAJOR, "LeftTopWidget::onQRCodePrintEmit() no printer, SN=%s not printed",
                 strDevSN.toUtf8().constData());
        return;
    }
    LabelPrintJob job;
    job.strQRCode = strQRCode;
    job.strIndentityPart = strIndentityPart;
    job.strDevSN = strDevSN;
    job.strIndentifyCode = strIndentifyCode;
    job.strMac = strMac;
    if (!LabelPrintConfig::Instance()->Load(job.printTemplate))
        LogPrint(LOG_GENERAL, "LeftTopWidget::onQRCodePrintEmit() template %s read with status %d",
                 path.toUtf8().constData(), int(LabelPrintConfig::Instance()->LastLoadStatus()));
    if (printer->PrintLabel(&job) == 0)
        book(1, tr("print qr_code succeed"));
    else
        book(-1, tr("print qr_code fail"));
}

void LeftTopWidget::onQRCodeCheckSignalEmit(QString strQRCode, QString strIndentityPart)
{
    // The camera on screen now is the one the label was made for.
    const ChainToken token = CurrentChainToken();
    if (m_pCheckQRCodeDlg) {
        m_pCheckQRCodeDlg->removeEventFilter(this);
        m_pCheckQRCodeDlg->hide();
        m_pCheckQRCodeDlg->deleteLater();
    }
    auto* dialog = new CheckQRCodeDlg(strQRCode, strIndentityPart, this);
    dialog->setWindowFlags(dialog->windowFlags() | Qt::WindowStaysOnTopHint);
    dialog->installEventFilter(this);
    m_pCheckQRCodeDlg = dialog;
    m_QRCodeCheckToken = token;
    dialog->show();
    m_bCheckQRCodeDlgOpen = true;
}

void LeftTopWidget::onCheckQRCodeSignalEimt(bool bSame)
{
    QObject* from = sender();
    if (from && from != m_pCheckQRCodeDlg.data()) {
        LogPrint(LOG_INFO, "LeftTopWidget::onCheckQRCodeSignalEimt() a replaced scan dialog's result is dropped");
        return;
    }
    const ChainToken& token = m_QRCodeCheckToken;
    if (!IsSameCamera(token, CurrentChainToken())) {
        LogPrint(LOG_INFO, "LeftTopWidget::onCheckQRCodeSignalEimt() the scan of SN=%s (%s) came after its camera left",
                 token.sn.constData(), bSame ? "same" : "different");
        return;
    }
    m_lists.UpdateCurrentDevice(token.login,
                                [&](DevInfo& dev) { dev.TestRuslut.qr_code_check_result = bSame ? 1 : -1; });
    AddAutoTestItem(bSame ? tr("qrocde is same") : tr("qrocde isn't same"), bSame);
}
