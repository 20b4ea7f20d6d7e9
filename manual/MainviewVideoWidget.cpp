#include "MainviewVideoWidget.h"

#include "CMapManualDesc.h"
#include "DeviceEntry.h"
#include "EnumClass.h"
#include "UploadTestResultDialog.h"
#include "VantrelEvent.h"
#include "VideoForm.h"

#include <QCoreApplication>
#include <QKeyEvent>

#include <cstring>

namespace {

bool SameAddress(const DeviceEntry& a, const DeviceEntry& b)
{
    // Both fields are fixed arrays: compare the whole field, never past it.
    return std::memcmp(a.szAddress, b.szAddress, sizeof a.szAddress) == 0;
}

}  // namespace

MainviewVideoWidget::MainviewVideoWidget(QWidget* owner)
    : QWidget(owner)
    , m_pOwner(owner)
{
    setObjectName(QStringLiteral("MainviewVideoWidget"));
    resize(400, 300);
    setWindowTitle(QCoreApplication::translate("MainviewVideoWidget", "Form"));
    setAcceptDrops(false);
    m_pVideoForm = new VideoForm(this);
    // The controller feeds the pane without binding it: its first picture
    // starts the refresh. Queued, as pictures come on the decode thread.
    QObject::connect(m_pVideoForm, &OpenglRender::signalUpdateView, this, [this] { FollowStream(); },
                     Qt::QueuedConnection);
}

MainviewVideoWidget::~MainviewVideoWidget()
{
    // The pane unbinds its device when it goes: no stream outlives this window.
    delete m_pVideoForm;
    m_pVideoForm = nullptr;
}

void MainviewVideoWidget::LayoutVideo()
{
    m_pVideoForm->setGeometry(1, 1, width() - 2, height() - 2);
    m_pVideoForm->show();
    m_pVideoForm->RefreshOSDStyle();
}

void MainviewVideoWidget::VideoRefresh()
{
    m_pVideoForm->VideoRefresh();
}

void MainviewVideoWidget::SetDeviceInfo(const ConfigInfo& config)
{
    m_ConfigInfo = config;
    m_pVideoForm->SetOsdSwitches(config.m_FullOsd.bAutoTest, config.m_FullOsd.bManualTest,
                                 config.m_FullOsd.bVersionInfo);
}

bool MainviewVideoWidget::IsFullScreen() const
{
    return m_bFullScreen;
}

void MainviewVideoWidget::SetFullScreen(bool fullScreen)
{
    m_bFullScreen = fullScreen;
}

int MainviewVideoWidget::PlayDevice(DeviceEntry* device)
{
    if (!device)
        return -1;
    constexpr int kChannel = 0;
    if (m_pVideoForm->IsBind()) {
        DeviceEntry* bound = nullptr;
        m_pVideoForm->GetDevice(bound);
        if (bound && SameAddress(*bound, *device) && m_pVideoForm->Channel() == kChannel)
            return 0;
        m_pVideoForm->UnbindDevice();
    }
    m_pVideoForm->BindDevice(device, kChannel);
    FollowStream();
    return 0;
}

void MainviewVideoWidget::StopPlay()
{
    if (!m_pVideoForm->IsBind())
        return;
    m_pVideoForm->UnbindDevice();
    m_pVideoForm->repaint();
    FollowStream();
}

VideoForm* MainviewVideoWidget::GetVideoForm() const
{
    return m_pVideoForm;
}

void MainviewVideoWidget::SetResultPanel(UploadTestResultDialog* panel)
{
    m_pResultPanel = panel;
}

void MainviewVideoWidget::ShowResultPanelOnTop()
{
    if (m_pResultPanel)
        m_pResultPanel->ShowOnTop(false);
}

void MainviewVideoWidget::SetKeyboardGrab(bool grab)
{
    m_bGrabWanted = grab;
    if (!grab)
        releaseKeyboard();
    else if (!m_bBlockedByModal)
        grabKeyboard();
}

bool MainviewVideoWidget::event(QEvent* event)
{
    // Qt hands every key to the grabbing widget, even one a modal window
    // blocks: while a box is up it would swallow Enter, Esc and the box's
    // letters, and turn them into manual items.
    switch (event->type()) {
    case QEvent::WindowBlocked:
        m_bBlockedByModal = true;
        releaseKeyboard();
        break;
    case QEvent::WindowUnblocked:
        m_bBlockedByModal = false;
        if (m_bGrabWanted)
            grabKeyboard();
        break;
    default:
        break;
    }
    return QWidget::event(event);
}

bool MainviewVideoWidget::StreamFeedsPane() const
{
    return m_pVideoForm->IsBind() || m_pVideoForm->IsReceiving();
}

void MainviewVideoWidget::FollowStream()
{
    if (!StreamFeedsPane())
        m_refreshTimer.stop();
    else if (!m_refreshTimer.isActive())
        m_refreshTimer.start(REPAINT_INTERVAL_MS, Qt::CoarseTimer, this);
}

void MainviewVideoWidget::timerEvent(QTimerEvent* event)
{
    if (event->timerId() != m_refreshTimer.timerId()) {
        QWidget::timerEvent(event);
        return;
    }
    // A stream that ended or stalled leaves its last paint; the renderer
    // brings up its wait image by itself.
    FollowStream();
    if (m_refreshTimer.isActive())
        m_pVideoForm->update();
}

void MainviewVideoWidget::customEvent(QEvent* event)
{
    auto* vantrel = dynamic_cast<VantrelEvent*>(event);
    if (!vantrel || vantrel->code != WM_UPDATE_VIDEO || vantrel->word1 != 0)
        return;
    m_pVideoForm->SetDisplayFlag(1);
    update();
}

void MainviewVideoWidget::PostManualTest(int item, qint64 param)
{
    PostVantrelEvent(m_pOwner.data(), WM_MANUAL_TEST, item, param);
}

void MainviewVideoWidget::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        PostVantrelEvent(m_pOwner.data(), WM_FULL_SCREEN, 0, 0);
        m_pVideoForm->ShowTestOSD(false);
    }
    if (event->modifiers() & Qt::ControlModifier) {
        if (m_pResultPanel)
            m_pResultPanel->keyPressEvent(event);
        return;
    }
    if (event->isAutoRepeat())
        return;
    ManualItemDesc desc;
    if (!CMapManualDesc::GetInstance()->GetItemIdByKey(event->key(), desc))
        return;
    // Sensor and channel keys ask the owner for the next one.
    const bool stepsOn = desc.iId == EnumClass::MANUAL_SWITCH_SENSOR || desc.iId == EnumClass::MANUAL_SWITCH_CHANNEL;
    PostManualTest(desc.iId, stepsOn ? -1 : 0);
    if (desc.bRelease)
        m_heldItems.insert(desc.iId);
}

void MainviewVideoWidget::keyReleaseEvent(QKeyEvent* event)
{
    if (event->isAutoRepeat())
        return;
    // Only a move this window started is stopped: the release of a Ctrl+key,
    // which went to the result panel, must not reach the device.
    ManualItemDesc desc;
    if (CMapManualDesc::GetInstance()->GetItemIdByKey(event->key(), desc) && m_heldItems.remove(desc.iId))
        PostManualTest(desc.iId, 1);
}
