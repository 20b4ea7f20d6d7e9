#pragma once

#include "BackendDialogOwner.h"
#include "TestConfig.h"

#include <QDir>
#include <QStringList>

#include <functional>

// Stands in for the main window: keeps one line per call, in call order. Paths
// are shown relative to base, so expectations need not name the temporary folder.
class FakeDialogOwner : public BackendDialogOwner {
public:
    QStringList calls;
    QString base;
    TestConfig config;                   // the last record handed over
    std::function<void()> onClose;       // runs inside CloseMainWindow (the close sequence)

    void onLoginSignalEimt(QString userName, QString companyName, QString strCompanyId) override
    {
        calls << "login(" + userName + "|" + companyName + "|" + strCompanyId + ")";
    }
    void ApplyTestConfig(const TestConfig& c, const QString& packagePath, const QString& alarmPath) override
    {
        config = c;
        calls << "ApplyTestConfig(" + c.name + "|" + Rel(packagePath) + "|" + Rel(alarmPath) + ")";
    }
    void SetOrderCustomization(const QString& regions, const QString& logoPath, int customMac) override
    {
        calls << "SetOrderCustomization(" + regions + "|" + Rel(logoPath) + "|" + QString::number(customMac) + ")";
    }
    void SetOrderDataDisplay(const QString& orderText) override { calls << "SetOrderDataDisplay(" + orderText + ")"; }
    void SetOrderDetail(const QString& orderSn, const QString& model, const QString& alias) override
    {
        calls << "SetOrderDetail(" + orderSn + "|" + model + "|" + alias + ")";
    }
    void EnterAfterSalesMode() override { calls << "EnterAfterSalesMode()"; }
    void CloseMainWindow() override
    {
        calls << "CloseMainWindow()";
        if (onClose)
            onClose();
    }

private:
    QString Rel(const QString& path) const
    {
        return base.isEmpty() || path.isEmpty() ? path : QDir(base).relativeFilePath(path);
    }
};
