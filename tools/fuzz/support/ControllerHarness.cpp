#include "ControllerHarness.h"

#include "AppGlobals.h"
#include "ControllerHost.h"
#include "HostAdapters.h"
#include "LeftTopWidget.h"
#include "LeftTopWidgetTestPeer.h"
#include "SdkCallLog.h"

#include <QCoreApplication>
#include <QWidget>

#include <cstdlib>

namespace {

// Takes every call of the controller and does nothing with it.
class QuietHost : public QWidget, public ControllerHost {
public:
    VideoForm* GetCurVideoForm() const override { return nullptr; }
    RightBottomWidget* GetManualPanel() const override { return nullptr; }
    LeftBottomWidget* GetInfoPanel() const override { return nullptr; }
    LeftTopWidget* GetController() const override { return controller; }
    void GrabVideoKeyboard() override {}
    void ReleaseVideoKeyboard() override {}
    void BeginWifiTest(const QString&, int) override {}
    void ClearWifiTestResult() override {}
    void SetHardwareDecode(int) override {}
    void SaveManualTestResult() override {}
    void AddCacheTestData(const DevTestResult&) override {}
    uint64_t HoldCacheTestData(const DevTestResult&) override { return 0; }
    void ReleaseCacheTestData(uint64_t, bool) override {}
    void LogOut() override {}

    LeftTopWidget* controller = nullptr;
};

QuietHost* g_host = nullptr;

// The controller's threads end before the program's static objects do: a job
// still running at exit (a talk-back closing its channel) would log its SDK
// call into a log already destroyed.
void EndController()
{
    if (!g_host)
        return;
    delete g_host->controller;
    delete g_host;
    g_host = nullptr;
    MainWindowInstance = nullptr;
}

}  // namespace

LeftTopWidget& ControllerHarness::Controller()
{
    if (!g_host) {
        HostAdapters::SetOverride({{"eth0", "127.0.0.5", "255.255.255.0", QByteArray("\x02\x11\x22\x33\x44\x55", 6)}});
        g_host = new QuietHost;
        MainWindowInstance = g_host;
        g_host->controller = new LeftTopWidget(nullptr, g_host);
        // Registered after the SDK's call log exists, so that it runs before the
        // log is destroyed.
        SdkCallLog::Instance();
        atexit(EndController);
    }
    return *g_host->controller;
}

void ControllerHarness::ResetCurrentDevice()
{
    LeftTopWidget& w = Controller();
    DevInfo dev;
    ZeroDevInfo(dev);
    SetResultText(dev.ipcEntry.ipc_sn, "VT21A00000000001");
    SetResultText(dev.ipcEntry.szIP, "127.0.0.21");
    dev.lUserID = CurrentLogin;
    dev.lLoginStatus = 1;
    w.Lists().SetCurrentDevice(dev);
    for (AutoStepSlot& slot : Peer(w).m_AutoSteps)
        slot.iReplyFlag = 0;
}

void ControllerHarness::Settle()
{
    QCoreApplication::sendPostedEvents();
}
