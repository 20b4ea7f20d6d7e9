// The operator's session: login, work orders, after-sales mode, the notice
// marquee, the heartbeat, the title-bar buttons and the log-out.
#include "Dravonix.h"
#include "ui_Dravonix.h"

#include "AppGlobals.h"
#include "BackendEndpoint.h"
#include "CDeviceManagement.h"
#include "HttpClient.h"
#include "JsonReply.h"
#include "LeftBottomWidget.h"
#include "LeftTopWidget.h"
#include "LivePlayPath.h"
#include "Log.h"
#include "Login_Dlg.h"
#include "MainviewVideoWidget.h"
#include "ModalHook.h"
#include "OrderChooseDialog.h"
#include "OrderListReply.h"
#include "RightBottomWidget.h"
#include "SysConfigWidget.h"
#include "TestConfig.h"
#include "TestDataManageDialog.h"
#include "UploadTestResultDialog.h"
#include "VideoForm.h"
#include "WIFITestWidget.h"

#include <QAction>
#include <QCursor>
#include <QFontMetrics>
#include <QMessageBox>
#include <QTimer>

#include <json/value.h>

#include <cstring>
#include <new>

// Every modal dialog of this window runs here, so that a close asked for
// meanwhile waits until the dialog has returned.
int Dravonix::RunModal(QDialog* dialog)
{
    ++m_iModalDepth;
    const int result = ModalHook::Exec(dialog);
    --m_iModalDepth;
    if (m_iModalDepth == 0 && m_bCloseRequested && !m_bClosed)
        QTimer::singleShot(0, this, [this] { close(); });
    return result;
}

// ---------------------------------------------------------------------------
// Login and work orders

int Dravonix::AutoLogin()
{
    if (!m_pLoginDlg)
        return -1;
    if (m_pLoginDlg->IsAutoLogin()) {
        m_pLoginDlg->AutoLogin();
        if (LoggedIn)
            return 0;
    }
    if (IsClosing())
        return -1;
    return RunModal(m_pLoginDlg) == QDialog::Accepted ? 0 : -1;
}

int Dravonix::ChooseTestOrderNumber()
{
    if (!m_pOrderChooseDialog)
        return -1;
    m_vecOrderList.clear();
    ReadOrderList();
    m_pOrderChooseDialog->SetOrderList(m_vecOrderList);
    return RunModal(m_pOrderChooseDialog);
}

void Dravonix::ReadOrderList()
{
    HttpClient client;
    const HttpResult reply = client.HttpGetOrderInitializeInfo(BackendEndpoint::Station());
    if (!reply.Accepted()) {
        LogPrint(LOG_INFO, "#Dravonix::ChooseTestOrderNumber() HttpGetOrderInitializeInfo return error, ret=%d, "
                           "szRecvBuf=%s", reply.Value(), reply.body.c_str());
        return;
    }
    if (!ReadOrderListReply(reply.body.data(), reply.body.size(), &m_vecOrderList))
        LogPrint(LOG_INFO, "#Dravonix::ChooseTestOrderNumber() reader parase error,  szRecvBuf=%s", reply.body.c_str());
}

void Dravonix::onLoginSignalEimt(QString userName, QString companyName, QString strCompanyId)
{
    QPalette palette = ui->m_lbLogin->palette();
    palette.setColor(QPalette::WindowText, QColor(0, 0, 255));
    ui->m_lbLogin->setPalette(palette);
    ui->m_lbLogin->setText(userName);
    ui->m_lbCompanyName->setText(companyName);
    FitCompanyName();
    ui->m_lbLogin->show();
    ui->m_lbCompanyName->show();
    if (!LoggedIn)
        return;
    ui->m_btnQuit->show();
    m_pQuitOrderAction->setVisible(WholeMachineTestMode);
    if (m_pRightBottomWidget)
        m_pRightBottomWidget->ShowBindDevButton(LoggedIn);
    if (m_pLeftTopWidget)
        m_pLeftTopWidget->SetCurrentCompany(strCompanyId, companyName);
}

void Dravonix::EnterAfterSalesMode()
{
    ui->m_lbSystemUpgradeTips->setText(tr("After-sales maintenance test"));
    ui->m_lbSystemUpgradeTips->show();
    m_pQuitOrderAction->setVisible(false);
    if (m_pUploadTestResultDialog)
        m_pUploadTestResultDialog->hide();
    if (m_pLeftBottomWidget)
        m_pLeftBottomWidget->SetOrderDataDisplay(QString());
    if (m_pLeftTopWidget)
        m_pLeftTopWidget->SetControlsEnabled(true);
    if (m_pSysConfigWidget)
        m_pSysConfigWidget->SetEditable(true);
}

void Dravonix::ApplyTestConfig(const TestConfig& config, const QString& packagePath, const QString& alarmPath)
{
    ApplyingOrderConfig = true;
    ShowNotice();
    if (m_pLeftTopWidget)
        m_pLeftTopWidget->ApplyTestConfig(config, packagePath, alarmPath);
    if (m_pSysConfigWidget)
        m_pSysConfigWidget->ApplyTestConfig(config);
    if (m_pUploadTestResultDialog)
        m_pUploadTestResultDialog->SetManualTestItems(config);
    ApplyingOrderConfig = false;
}

// ---------------------------------------------------------------------------
// Notice marquee and heartbeat

void Dravonix::ShowNotice()
{
    ui->m_lbSystemUpgradeTips->setText(NoticeText);
    ui->m_lbSystemUpgradeTips->show();
    m_iMarqueeIndex = 0;
    const int textWidth = QFontMetrics(*m_pNoticeFont).horizontalAdvance(NoticeText);
    if (ui->m_lbSystemUpgradeTips->width() < textWidth)
        m_pMarqueeTimer->start(MARQUEE_INTERVAL_MS);
    else
        m_pMarqueeTimer->stop();
}

void Dravonix::onTimerSystemUpgradeTips()
{
    ++m_iMarqueeIndex;
    if (m_iMarqueeIndex >= NoticeText.length())
        m_iMarqueeIndex = 0;
    ui->m_lbSystemUpgradeTips->setText(NoticeText.mid(m_iMarqueeIndex));
}

void Dravonix::OnHeartbeatTimer()
{
    HttpClient client;
    client.HttpHeartbeat(BackendEndpoint::Station());
    if (HeartbeatTimer)
        HeartbeatTimer->start(HEARTBEAT_INTERVAL_MS);
}

// ---------------------------------------------------------------------------
// Title bar

void Dravonix::onBtnCloseClicked()
{
    LogPrint(LOG_INFO, "#Dravonix::onBtnCloseClicked() xxxxxxxxxx");
    close();
}

void Dravonix::onBtnMinClicked()
{
    showMinimized();
}

void Dravonix::onQuitBtnClicked()
{
    ModalHook::ExecMenu(m_pQuitMenu, QCursor::pos());
}

void Dravonix::onSystemConfigBtnClicked()
{
    if (!m_pSysConfigWidget)
        return;
    ReleaseVideoKeyboard();
    m_pSysConfigWidget->ShowWidget();
}

void Dravonix::ShowStation()
{
    show();
    if (m_pMainviewVideoWidget) {
        m_pMainviewVideoWidget->show();
        m_pMainviewVideoWidget->SetKeyboardGrab(true);
    }
}

// ---------------------------------------------------------------------------
// Log-out and order change

void Dravonix::ResetChildWidgets()
{
    if (m_pLeftBottomWidget)
        m_pLeftBottomWidget->ClearDevInfo();
    if (m_pRightBottomWidget)
        m_pRightBottomWidget->ClearAutoTestResults();
    if (m_pMainviewVideoWidget)
        m_pMainviewVideoWidget->VideoRefresh();
    if (m_pUploadTestResultDialog)
        m_pUploadTestResultDialog->ClearAll();
    if (m_pWIFITestWidget)
        m_pWIFITestWidget->ClearResult();
}

// The station is put away while the login or order dialog is up.
void Dravonix::HideForDialogs()
{
    if (m_pUploadTestResultDialog)
        m_pUploadTestResultDialog->hide();
    if (m_pMainviewVideoWidget) {
        m_pMainviewVideoWidget->SetKeyboardGrab(false);
        m_pMainviewVideoWidget->hide();
    }
    hide();
}

void Dravonix::StopCurrentPlay()
{
    if (!m_pLeftTopWidget)
        return;
    if (VideoForm* pane = m_pLeftTopWidget->GetCurVideoForm()) {
        LivePlayPath::StopAudioPlay();
        pane->SetStopRender(true);
    }
    m_pLeftTopWidget->stopPlay(&m_pLeftTopWidget->Lists().m_PlayInfo);
}

void Dravonix::ClearLoginState()
{
    LoggedIn = false;
    WholeMachineTestMode = false;
    AfterSalesRight = false;
    ui->m_lbLogin->setText(QString());
    ui->m_lbCompanyName->setText(QString());
    ui->m_lbSystemUpgradeTips->setText(QString());
    ui->m_btnQuit->hide();
    if (m_pRightBottomWidget)
        m_pRightBottomWidget->ShowBindDevButton(false);
}

// False when the logout failed and the window is closing.
bool Dravonix::SendLogout()
{
    if (m_pLeftTopWidget && m_pLeftTopWidget->UploadFailures() >= LOGOUT_FAILURE_LIMIT)
        return true;   // the back-end is out of reach: no request
    HttpClient client;
    const HttpResult reply = client.HttpLogout(BackendEndpoint::Station());
    if (reply.Accepted())
        return true;
    Json::Value root;
    std::string msg;
    if (JsonReply::ParseObject(reply.body.data(), reply.body.size(), &root)
        && JsonReply::ReadString(root, "msg", &msg) && !msg.empty()) {
        QMessageBox box(QMessageBox::Information, tr("Error"), QString::fromStdString(msg), QMessageBox::Ok, this);
        box.setTextFormat(Qt::PlainText);   // the back-end's text, never markup
        RunModal(&box);
    }
    close();
    return false;
}

void Dravonix::onLogOut()
{
    if (IsClosing())
        return;
    if (m_pLeftTopWidget) {
        m_pLeftTopWidget->StopRun();
        m_pLeftTopWidget->SetOrderDetail(QString(), QString(), QString());
    }
    if (m_pWIFITestWidget)
        m_pWIFITestWidget->ClearResult();
    if (!LoggedIn || !SendLogout())
        return;

    ClearLoginState();
    HideForDialogs();
    m_pLoginDlg->ReadLoginConfig();
    if (RunModal(m_pLoginDlg) != QDialog::Accepted || IsClosing()) {
        close();
        return;
    }
    if (WholeMachineTestMode) {
        StartUploadCacheData();
        if (ChooseTestOrderNumber() != 1 || IsClosing()) {
            close();
            return;
        }
        if (WholeMachineTestMode && m_pUploadTestResultDialog) {
            m_pUploadTestResultDialog->SetFirstShow();
            m_pUploadTestResultDialog->ShowOnTop(true);
        }
    } else if (AfterSalesRight) {
        EnterAfterSalesMode();
    }
    ShowStation();
    if (!WholeMachineTestMode) {
        if (m_pLeftTopWidget)
            m_pLeftTopWidget->SetRunControlsEnabled(true);
        if (m_pSysConfigWidget)
            m_pSysConfigWidget->SetEditable(true);
        if (m_pLeftBottomWidget)
            m_pLeftBottomWidget->SetOrderDataDisplay(QString());
    }
    ResetChildWidgets();
    StopCurrentPlay();
    if (m_pDeviceManagement)
        m_pDeviceManagement->ClearDevList();
}

void Dravonix::onQuitCurrentOrder()
{
    if (!WholeMachineTestMode || IsClosing())
        return;
    if (m_pLeftTopWidget)
        m_pLeftTopWidget->SetOrderDetail(QString(), QString(), QString());
    HideForDialogs();
    if (ChooseTestOrderNumber() != 1 || IsClosing()) {
        close();
        return;
    }
    if (m_pUploadTestResultDialog) {
        m_pUploadTestResultDialog->ShowOnTop(false);
        if (!WholeMachineTestMode)
            m_pUploadTestResultDialog->hide();
    }
    ShowStation();
    ResetChildWidgets();
    StopCurrentPlay();
    if (m_pDeviceManagement)
        m_pDeviceManagement->ClearDevList();
    if (m_pWIFITestWidget)
        m_pWIFITestWidget->ClearResult();
}
