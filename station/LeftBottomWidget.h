#pragma once

#include "ConfigInfo.h"

#include <QString>
#include <QWidget>

#include <memory>

class QNvrWebMessageBox;

namespace Ui {
class LeftBottomWidget;
}

// The station information panel at the bottom of the left column: the current
// device's firmware version, SD-card capacity and serial number, and the work
// order's progress text.
class LeftBottomWidget : public QWidget {
    Q_OBJECT
public:
    explicit LeftBottomWidget(QWidget* owner = nullptr);
    ~LeftBottomWidget() override;

    void SetVersionInfo(const QString& text);
    void SetSDInfo(const QString& text);
    void SetSN(const QString& text);
    // Empties the three device fields; the order text stays.
    void ClearDevInfo();
    void SetOrderDataDisplay(const QString& text);
    void SetConfig(const ConfigInfo& config);
    // Places the controls for the panel's current width.
    void UpdateLayout();

private slots:
    void OnCopySnBtnClicked();
    void OnReFreshSnBtnClicked();

private:
    std::unique_ptr<Ui::LeftBottomWidget> ui;
    QWidget* m_owner;
    ConfigInfo m_config;
    QNvrWebMessageBox* m_pMessageBox = nullptr;
};
