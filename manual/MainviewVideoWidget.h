#pragma once

#include "ConfigInfo.h"
#include "VideoPaneHost.h"

#include <QBasicTimer>
#include <QPointer>
#include <QSet>
#include <QWidget>

class QKeyEvent;
class UploadTestResultDialog;
class VideoForm;
struct DeviceEntry;

// The station's large video window: a frameless window of its own holding the
// one video pane of the device under test. While the station runs it holds the
// keyboard: manual item keys become WM_MANUAL_TEST to the owner, Esc asks to
// leave full screen and Ctrl keys go to the manual result panel. It never talks
// to a device itself.
class MainviewVideoWidget : public QWidget, public VideoPaneHost {
public:
    // The pane's refresh while a stream feeds it; without one it is repainted
    // only when something on it changes.
    static constexpr int REPAINT_INTERVAL_MS = 40;

    // owner: the main window, parent of this window and receiver of its events.
    explicit MainviewVideoWidget(QWidget* owner);
    ~MainviewVideoWidget() override;

    // The pane fills the window but for a 1-pixel margin; after every placement.
    void LayoutVideo();
    // Clears the overlay's three result texts.
    void VideoRefresh();
    // Keeps a copy of the configuration and applies its FULL_OSD switches.
    void SetDeviceInfo(const ConfigInfo& config);
    bool IsFullScreen() const override;
    void SetFullScreen(bool fullScreen);
    // Shows device on channel 0; 0, or -1 for a null device. A device already
    // shown there keeps its stream.
    int PlayDevice(DeviceEntry* device);
    void StopPlay();

    // The pane that shows the controller's current device.
    VideoForm* GetVideoForm() const;
    // The manual result panel that Ctrl keys and pane clicks reach; not owned.
    void SetResultPanel(UploadTestResultDialog* panel);
    void ShowResultPanelOnTop() override;

    // Holds (true) or gives up the keyboard grab. A modal box or dialog takes
    // the keyboard while it is shown, and the grab comes back when the last one
    // has gone, as long as it is still wanted.
    void SetKeyboardGrab(bool grab);

protected:
    bool event(QEvent* event) override;
    void timerEvent(QTimerEvent* event) override;
    void customEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;

private:
    void PostManualTest(int item, qint64 param);
    bool StreamFeedsPane() const;
    // Runs the refresh timer exactly while a stream feeds the pane.
    void FollowStream();

    QPointer<QWidget> m_pOwner;
    VideoForm* m_pVideoForm = nullptr;
    bool m_bFullScreen = false;
    ConfigInfo m_ConfigInfo;
    QPointer<UploadTestResultDialog> m_pResultPanel;
    QSet<int> m_heldItems;   // press-and-hold items whose press was posted
    QBasicTimer m_refreshTimer;
    bool m_bGrabWanted = false;
    bool m_bBlockedByModal = false;
};
