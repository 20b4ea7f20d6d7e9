#include "AppGlobals.h"

#include <QCoreApplication>
#include <QTimer>

std::atomic<QObject*> MainWindowInstance{nullptr};
QString AppDir;
QString CurrentPrintConfigPath;

std::atomic<bool> LoggedIn{false};
std::atomic<bool> WholeMachineTestMode{false};
std::atomic<bool> AfterSalesRight{false};
std::atomic<bool> ApplyingOrderConfig{false};
std::atomic<int> CurrentTestType{0};

QString ServerHost;
QString NoticeText;
QTimer* HeartbeatTimer = nullptr;

double ScreenMmScaleX = 0.0;
double ScreenMmScaleY = 0.0;
double ScreenPxScaleX = 0.0;
double ScreenPxScaleY = 0.0;

QString AppDirPath()
{
    if (!AppDir.isEmpty())
        return AppDir;
    return QCoreApplication::applicationDirPath();
}
