#pragma once

#include "ConfigInfo.h"

#include <QPointer>
#include <QString>
#include <QVector>
#include <QWidget>

#include <memory>

class LeftTopWidget;
class QCheckBox;
class QTimer;

namespace Ui {
class FunctionCodeSetting;
}

// Chooses which of the 20 device function codes a device must report: the
// FUNCODE group of config.ini (FUNCODE/n = 1 when code n is chosen). Every
// choice is stored and handed to the controller, whose function-code item
// judges by it. Made once by the settings form, which reloads it at each opening.
class FunctionCodeSetting : public QWidget {
    Q_OBJECT
public:
    static constexpr int CLOSE_DELAY_MS = 1000;

    explicit FunctionCodeSetting(QWidget* parent = nullptr);
    ~FunctionCodeSetting() override;

    // The controller that takes the choice; not owned, null to detach.
    void SetController(LeftTopWidget* controller);
    // Reads FUNCODE into the boxes.
    void LoadFunctionCodes();

    // The choice of an order's list ("3,20"): codes 1..20 only, others dropped.
    static void ParseCodes(const QString& list, int codes[FUNCODE_COUNT]);

private slots:
    void onSaveBtnClicked();
    void onCloseFunctionCodeWidget();

private:
    friend int ParseFunctionCodeList(FunctionCodeSetting* dialog, QString list);

    // Stores the dialog's choice and hands it to the controller: 0, or -1 when
    // the settings file could not be written (the controller still takes the
    // choice, which the store holds for this run).
    int StoreAndHandOver();

    std::unique_ptr<Ui::FunctionCodeSetting> ui;
    int m_codes[FUNCODE_COUNT] = {};
    QVector<QCheckBox*> m_boxes;   // code n is entry n - 1
    QPointer<LeftTopWidget> m_controller;
    QTimer* m_closeTimer = nullptr;
};

// Sets the dialog's choice from an order's code list, stores it and hands it to
// the controller; the boxes follow at the next LoadFunctionCodes. 0, or -1 for
// no dialog or a failed write.
int ParseFunctionCodeList(FunctionCodeSetting* dialog, QString list);
