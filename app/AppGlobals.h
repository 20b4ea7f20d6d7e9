#pragma once

#include <QString>

#include <atomic>

class QObject;
class QTimer;

// Process-wide values of the station shell. The main window sets them once at
// construction; panels read them. Values read from worker threads are atomic.

// The main window; null until its constructor has run. Events are posted to it,
// also from library callback threads, hence atomic.
extern std::atomic<QObject*> MainWindowInstance;
// The program folder, no trailing separator. Tests point it at a temporary folder.
extern QString AppDir;
// The current label template file (full path, empty when none was chosen).
extern QString CurrentPrintConfigPath;

extern std::atomic<bool> LoggedIn;
extern std::atomic<bool> WholeMachineTestMode;
extern std::atomic<bool> AfterSalesRight;
extern std::atomic<bool> ApplyingOrderConfig;
// Index 0..4 of the controller's test-type box (event 1018).
extern std::atomic<int> CurrentTestType;

// Back-end host of every request (LOGIN_CNF_INFO/ServiceIp); set on the GUI thread before requests start.
extern QString ServerHost;
extern QString NoticeText;
// The back-end heartbeat: the main window owns it (GUI thread); null outside its life.
extern QTimer* HeartbeatTimer;
constexpr int HEARTBEAT_INTERVAL_MS = 1200000;

// Screen factors for the label designer: 10.16 / physical DPI and physical DPI * 2.5 / 25.4.
extern double ScreenMmScaleX;
extern double ScreenMmScaleY;
extern double ScreenPxScaleX;
extern double ScreenPxScaleY;

// AppDir when set, else the executable's folder.
QString AppDirPath();
