#pragma once

#include <QString>

class QObject;

struct TestConfig;

// What the login and work-order dialogs hand on to the main window. The main
// window implements it; the dialogs keep a plain pointer, so this folder never
// includes the main window's headers. Every call arrives on the GUI thread.
class BackendDialogOwner {
public:
    virtual ~BackendDialogOwner();

    // The login dialog's `login` signal: the user and the customer of a login.
    virtual void onLoginSignalEimt(QString userName, QString companyName, QString strCompanyId) = 0;
    // The chosen order's test configuration with the files the order dialog wrote
    // (empty paths when there was nothing to fetch).
    virtual void ApplyTestConfig(const TestConfig& config, const QString& packagePath,
                                 const QString& alarmPath) = 0;
    virtual void SetOrderCustomization(const QString& regions, const QString& logoPath, int customMac) = 0;
    virtual void SetOrderDataDisplay(const QString& orderText) = 0;
    virtual void SetOrderDetail(const QString& orderSn, const QString& moduleModel,
                                const QString& cloudModuleAlias) = 0;
    // The operator chose the after-sales test in the order dialog.
    virtual void EnterAfterSalesMode() = 0;
    // Ends the program through the main window's close sequence. The dialogs
    // call it from a queued call, never from inside their own handlers, so the
    // close sequence may delete them.
    virtual void CloseMainWindow() = 0;
};

// Calls owner->CloseMainWindow() from the event loop, not from the caller's handler;
// dropped when context (the calling dialog) is gone by then. A null owner: nothing.
void CloseMainWindowLater(BackendDialogOwner* owner, QObject* context);
