#pragma once

#include "ConfigInfo.h"

#include <QString>
#include <QWidget>

#include <QRect>

#include <memory>
#include <utility>
#include <vector>

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
    // Places the controls for the panel's current size: the form's rows, or,
    // in a panel too low for them, each caption beside its field.
    void UpdateLayout();
    // The height the panel needs at this width to show every row and the whole
    // order text, with the form's rows or with the captions beside the fields.
    int NeededHeight(int width, bool compact) const;

signals:
    // The order text now needs another height; the main window lays out again.
    void heightNeedChanged();

private slots:
    void OnCopySnBtnClicked();
    void OnReFreshSnBtnClicked();

private:
    // Where the device rows go, and the top of the last of them.
    struct RowPlan {
        std::vector<std::pair<QWidget*, QRect>> places;
        int lastRowTop = 0;
    };
    RowPlan Plan(int width, bool compact) const;
    RowPlan PlanRows(int width) const;
    RowPlan PlanCompactRows(int width) const;
    int OrderTextHeight(int width) const;
    static int CaptionWidth(const QWidget* caption, int panelWidth);
    int SnFieldWidth(int formWidth, int room) const;

    std::unique_ptr<Ui::LeftBottomWidget> ui;
    QWidget* m_owner;
    ConfigInfo m_config;
    QNvrWebMessageBox* m_pMessageBox = nullptr;
};
