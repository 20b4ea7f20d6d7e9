// Routing of the station's own events, and the window's show, hide and
// activation handling.
#include "Dravonix.h"
#include "ui_Dravonix.h"

#include "AppGlobals.h"
#include "AuxResponseInfo.h"
#include "CDeviceManagement.h"
#include "LeftTopWidget.h"
#include "MainviewVideoWidget.h"
#include "PlayerStatusInfo.h"
#include "RightBottomWidget.h"
#include "UploadTestResultDialog.h"
#include "VantrelEvent.h"

#include <QShowEvent>

namespace {

// Values and flags travel in the low 32 bits of a word.
qint32 Low32(qint64 word)
{
    return static_cast<qint32>(word);
}

}  // namespace

void Dravonix::customEvent(QEvent* event)
{
    auto* e = dynamic_cast<VantrelEvent*>(event);
    if (!e)
        return;
    switch (static_cast<int>(event->type())) {
    case WM_FULL_SCREEN:
        ShowVideoFullScreen(Low32(e->word1) != 0);
        break;
    case WM_DEV_STATUS:
    case WM_DEV_RESPONSE:
    case WM_PLAYER_STATUS:
        RouteDeviceRecord(*e);
        break;
    case WM_TEST_TYPE_CHANGED:
        CurrentTestType = Low32(e->word1);
        ResizeLayout();
        break;
    case WM_AUTO_PLAY_CHANGED:
        if (m_pDeviceManagement)
            m_pDeviceManagement->SetEnabled(e->word1 == 0);
        break;
    case WM_RESET_UI:
        ResetChildWidgets();
        break;
    case WM_MANUAL_TEST:
        RouteManualTest(event);
        break;
    case WM_WIFI_TEST_FINISH:
        if (m_pLeftTopWidget)
            m_pLeftTopWidget->SetWifiTestFinished(Low32(e->word1), Low32(e->word2));
        break;
    case WM_WIFI_TEST_DATA:
        if (m_pLeftTopWidget)
            m_pLeftTopWidget->SetWifiTestRunning();
        break;
    case WM_CONFIG_SAVED:
        RefreshWidgetsConfig();
        break;
    case WM_RUN_STATE:
        ApplyRunState(e->word1 != 0);
        break;
    case WM_CONFIG_CLOSED:
        if (Low32(e->word1) == 0 && m_pMainviewVideoWidget) {
            if (e->word2 != 0)
                m_pMainviewVideoWidget->SetKeyboardGrab(true);
            else
                m_pMainviewVideoWidget->SetKeyboardGrab(false);
        }
        break;
    case WM_SENSOR_SWITCH_SUPPORT:
        if (m_pRightBottomWidget)
            m_pRightBottomWidget->ShowSensorSwitch(Low32(e->word1) != 0);
        break;
    case WM_MANUAL_ITEM_ENABLE:
        if (m_pRightBottomWidget)
            m_pRightBottomWidget->SetItemEnabled(Low32(e->word1), Low32(e->word2) != 0);
        break;
    default:
        break;
    }
}

// The record goes with its event, whoever acts on it, and also when nobody
// does (no controller, or no bridge for a status event).
void Dravonix::RouteDeviceRecord(const VantrelEvent& event)
{
    if (event.type() == static_cast<QEvent::Type>(WM_PLAYER_STATUS)) {
        PlayerStatusInfo* status = event.Record<std::unique_ptr<PlayerStatusInfo>>();
        if (status && m_pLeftTopWidget)
            m_pLeftTopWidget->onPcStatusEvent(status);
        return;
    }
    AuxResponseInfo* info = event.Record<AuxResponsePtr>();
    if (info && m_pLeftTopWidget) {
        if (event.type() == static_cast<QEvent::Type>(WM_DEV_RESPONSE))
            m_pLeftTopWidget->onAuxResponse(info);
        else if (m_pBridge)
            m_pLeftTopWidget->onStatusEvent(info);
    }
}

// The manual control panel decides (channel and sensor steps stay with it, the
// rest goes to the controller). Without the panel nothing runs; a preset
// record belongs to its event and goes with it.
void Dravonix::RouteManualTest(QEvent* event)
{
    if (m_pRightBottomWidget)
        m_pRightBottomWidget->RouteManualTest(event);
}

void Dravonix::ShowVideoFullScreen(bool fullScreen)
{
    if (m_pMainviewVideoWidget) {
        if (fullScreen)
            m_pMainviewVideoWidget->showFullScreen();
        else
            m_pMainviewVideoWidget->showNormal();
        m_pMainviewVideoWidget->LayoutVideo();
        m_pMainviewVideoWidget->SetFullScreen(fullScreen);
    }
    if (WholeMachineTestMode && m_pUploadTestResultDialog)
        m_pUploadTestResultDialog->ShowOnTop(false);
}

void Dravonix::ApplyRunState(bool idle)
{
    const QString tip = idle ? QString() : tr("Detecting, please stop first");
    for (QPushButton* button : {ui->m_btnQuit, ui->m_btnSystemConfig}) {
        button->setEnabled(idle);
        button->setToolTip(tip);
    }
}

// ---------------------------------------------------------------------------
// Show, hide and activation

void Dravonix::showEvent(QShowEvent* event)
{
    if (WholeMachineTestMode && m_pUploadTestResultDialog && !isMinimized())
        m_pUploadTestResultDialog->show();
    QMainWindow::showEvent(event);
}

void Dravonix::hideEvent(QHideEvent* event)
{
    if (WholeMachineTestMode && m_pUploadTestResultDialog)
        m_pUploadTestResultDialog->hide();
    QMainWindow::hideEvent(event);
}

bool Dravonix::event(QEvent* event)
{
    if (event->type() == QEvent::WindowActivate || event->type() == QEvent::WindowDeactivate)
        OnWindowActivation();
    return QMainWindow::event(event);
}

// The window's own activation changed (either way): a QR scan dialog that is
// still open comes back.
void Dravonix::OnWindowActivation()
{
    if (!isHidden() && !isMinimized() && m_pLeftTopWidget)
        m_pLeftTopWidget->ShowChildWindow(true);
}

// The application as a whole became active or inactive.
void Dravonix::OnApplicationActivation(bool active)
{
    const bool showChildren = active && !isMinimized() && !isHidden();
    if (WholeMachineTestMode && m_pUploadTestResultDialog)
        m_pUploadTestResultDialog->setVisible(showChildren);
    if (m_pLeftTopWidget)
        m_pLeftTopWidget->ShowChildWindow(showChildren);
}
