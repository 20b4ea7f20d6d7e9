// The close sequence: the one way the station ends, whichever way out was taken.
#include "Dravonix.h"

#include "AppGlobals.h"
#include "CDeviceManagement.h"
#include "DeviceEventBridge.h"
#include "LeftBottomWidget.h"
#include "LeftTopWidget.h"
#include "Log.h"
#include "Login_Dlg.h"
#include "MainviewVideoWidget.h"
#include "OrderChooseDialog.h"
#include "RightBottomWidget.h"
#include "SysConfigWidget.h"
#include "TestDataManageDialog.h"
#include "UploadTestResultDialog.h"
#include "WIFITestWidget.h"

#include <QCloseEvent>
#include <QThread>
#include <QTimer>

namespace {

// Nulls the pointer before the object goes, so that whatever the deletion
// calls back finds the panel gone.
template <typename T>
void DeleteChild(T*& child)
{
    T* doomed = child;
    child = nullptr;
    delete doomed;
}

}  // namespace

void Dravonix::CloseMainWindow()
{
    close();
}

void Dravonix::closeEvent(QCloseEvent* event)
{
    // The sequence deletes this window's dialogs and the controller: it waits
    // while one of them is inside a handler or modal loop of its own (a nested
    // event loop, or a dialog this window runs).
    const bool nested = m_iModalDepth > 0 || QThread::currentThread()->loopLevel() > 1;
    if (!m_bClosed && nested) {
        m_bCloseRequested = true;
        event->ignore();
        QTimer::singleShot(CLOSE_RETRY_MS, this, [this] { close(); });
        return;
    }
    RunCloseSequence();
    event->accept();
}

void Dravonix::RunCloseSequence()
{
    if (m_bClosed)
        return;
    m_bClosed = true;
    LogPrint(LOG_INFO, "Enter Dravonix::closeEvent()");
    if (HeartbeatTimer) {
        HeartbeatTimer->stop();
        HeartbeatTimer = nullptr;   // a restart queued from a worker finds nothing to start
    }
    if (m_pTestDataManageDialog)
        m_pTestDataManageDialog->StopUploadCacheData();
    // The streams end before the panes and the controller's record they feed go.
    if (m_pLeftTopWidget)
        m_pLeftTopWidget->CloseStreams();
    if (m_pMainviewVideoWidget)
        m_pMainviewVideoWidget->StopPlay();
    DeleteChildWidgets();
    StopDeviceEventBridge();
    LogPrint(LOG_INFO, "Leave Dravonix::closeEvent()");
    QObject* self = this;
    MainWindowInstance.compare_exchange_strong(self, nullptr);
    emit closed();
}

void Dravonix::DeleteChildWidgets()
{
    DeleteChild(m_pMainviewVideoWidget);
    DeleteChild(m_pDeviceManagement);
    DeleteChild(m_pWIFITestWidget);
    DeleteChild(m_pRightBottomWidget);
    DeleteChild(m_pLeftBottomWidget);
    if (m_pLeftTopWidget) {
        m_pLeftTopWidget->SetHost(nullptr);
        if (m_pSysConfigWidget)
            m_pSysConfigWidget->SetController(nullptr);
    }
    DeleteChild(m_pLeftTopWidget);
    DeleteChild(m_pSysConfigWidget);
    DeleteChild(m_pLoginDlg);
    DeleteChild(m_pTestDataManageDialog);
    DeleteChild(m_pOrderChooseDialog);
    DeleteChild(m_pUploadTestResultDialog);
}

void Dravonix::StopDeviceEventBridge()
{
    if (!m_pBridge)
        return;
    m_pBridge->Stop();
    DeviceEventBridge::SetInstance(nullptr);
    DeleteChild(m_pBridge);
}
