#pragma once

#include <cstdint>

class QString;
struct DevTestResult;
class LeftBottomWidget;
class LeftTopWidget;
class RightBottomWidget;
class VideoForm;

// What the test station controller needs of the main window that owns it. The
// main window implements it (tests fake it); the controller finds it through
// its parent unless it is handed one. Every call is made on the GUI thread.
// Pointers are null for panels that do not exist (any more); the owner
// detaches itself (LeftTopWidget::SetHost(nullptr)) before it goes.
class ControllerHost {
public:
    virtual ~ControllerHost() = default;

    // The panels the controller writes into.
    virtual VideoForm* GetCurVideoForm() const = 0;
    virtual RightBottomWidget* GetManualPanel() const = 0;
    virtual LeftBottomWidget* GetInfoPanel() const = 0;
    // The main window's controller (the information panel's serial-number refresh).
    virtual LeftTopWidget* GetController() const = 0;

    // The main video window's keyboard, released while the QR scan dialog is active.
    virtual void GrabVideoKeyboard() = 0;
    virtual void ReleaseVideoKeyboard() = 0;

    // The Wi-Fi throughput panel: a test of the camera at cameraAddress,
    // told to send for durationSeconds.
    virtual void BeginWifiTest(const QString& cameraAddress, int durationSeconds) = 0;
    virtual void ClearWifiTestResult() = 0;
    // The settings form's hardware-decoding choice (0 software, 1 hardware), saved.
    virtual void SetHardwareDecode(int mode) = 0;

    // Has the manual result panel commit its results into the current device's
    // record (they come back through LeftTopWidget::SaveManualTestResult).
    virtual void SaveManualTestResult() = 0;
    // Hands a copy of a passed record that could not be submitted to the offline cache.
    virtual void AddCacheTestData(const DevTestResult& record) = 0;
    // While the operator decides on a retry: a copy goes to the offline cache, on
    // disk when this returns, but is not uploaded until it is released. Returns its
    // id; 0 when there is no cache.
    virtual uint64_t HoldCacheTestData(const DevTestResult& record) = 0;
    // upload true: the cache uploads the held record; false: it is dropped (the
    // submission settled it with the back-end).
    virtual void ReleaseCacheTestData(uint64_t id, bool upload) = 0;
    // The operator is logged out (the main window's log-out).
    virtual void LogOut() = 0;
};
