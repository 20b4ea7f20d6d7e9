#include "StationStartup.h"

#include "AppGlobals.h"
#include "Dravonix.h"
#include "MainviewVideoWidget.h"

#include <QApplication>

#include <memory>

namespace {

// The work that the login's rights open: false when the operator refused the
// work-order dialog (the program ends).
bool EnterGrantedMode(Dravonix& window)
{
    if (WholeMachineTestMode) {
        window.StartUploadCacheData();
        return window.ChooseTestOrderNumber() == 1;
    }
    if (AfterSalesRight)
        window.EnterAfterSalesMode();
    return true;
}

}  // namespace

int RunStation(QApplication& app)
{
    // The window closes itself through its close sequence; hidden windows (the
    // station hides while its dialogs are up) must not end the loop on their own.
    QApplication::setQuitOnLastWindowClosed(false);
    auto window = std::make_unique<Dravonix>(nullptr);
    if (MainviewVideoWidget* video = window->VideoWindow())
        video->hide();

    int exitCode = 0;
    if (window->AutoLogin() == 0 && !window->IsClosing() && EnterGrantedMode(*window) && !window->IsClosing()) {
        // Only a loop that runs may be told to quit: a quit asked for before it
        // would end every later event loop of the thread at once.
        QObject::connect(window.get(), &Dravonix::closed, &app, &QCoreApplication::quit, Qt::QueuedConnection);
        window->ShowStation();
        exitCode = app.exec();
    }
    window.reset();
    return exitCode;
}
