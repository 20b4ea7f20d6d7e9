#pragma once

#include "ConfigInfo.h"

#include <QHash>
#include <QPointer>
#include <QString>
#include <QVector>
#include <QWidget>

#include <memory>

class FunctionCodeSetting;
class LeftTopWidget;
class ManualTestAutomation;
class ManualTestItemDisplayDlg;
class QCloseEvent;
class QLineEdit;
class QRCodePrintSetting;
class QTimer;
struct TestConfig;

namespace Ui {
class SysConfigWidget;
}

// The station's settings form over config.ini, and the door to the four
// editors (function codes, manual test scripts, manual item display, label
// template). A Save checks the fields, writes the whole record when something
// changed and posts WM_CONFIG_SAVED (1026) to the receiver; every close posts
// WM_CONFIG_CLOSED (1028, 0, 1). A work order's test configuration is applied
// through ApplyTestConfig, which locks the order-controlled part. GUI thread only.
class SysConfigWidget : public QWidget {
    Q_OBJECT
public:
    static constexpr int CLOSE_DELAY_MS = 1000;
    static constexpr int FORM_WIDTH = 530;
    static constexpr int FORM_HEIGHT = 730;

    // receiver: the main window, the form's parent and the receiver of its events.
    explicit SysConfigWidget(QWidget* receiver);
    ~SysConfigWidget() override;

    // The main window's controller: the editors ask it whether a manual script
    // runs and hand it their choices. Not owned; while null the editors stay shut.
    void SetController(LeftTopWidget* controller);

    void ShowWidget();
    void SetEditable(bool editable);
    // Switches decoding (0 software, 1 hardware) at once: the two decode values
    // and their CONFIG keys; the operator's other edits stay unsaved.
    void SetHardwareDecode(int mode);
    int ApplyTestConfig(const TestConfig& config);

private slots:
    void onCloseWidget();
    void onSaveBtnClicked();
    void onUserVersionCheck_StateChanged(int state);
    void onIPSectionStateChanged(int state);
    void onBrowseBtnClicked();
    void onPrintConfigClose();
    void onRefreshManualTestItemUIEimtShot();
    void onHardwareAccel_currentIndexChanged(int index);
    void onSetManualTestAutomation();
    void onFunctionCodeSetBtnClicked();
    void onQRCodeBtnClicked();
    void onManualTestItemDisplayBtnClicked();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void InitForm();
    void PlaceWindow();
    void FitToArea();
    // The window's size with the frame the window system puts around it.
    QSize FrameSize() const;
    void CreateEditors();
    void ConnectSignals();
    void LoadWidgets();
    void StoreWidgets(ConfigInfo& config) const;
    void ApplyDecodeRule(int hardwareIndex);
    void ApplyOrderLists(const TestConfig& config);
    void ApplyOrderAutoBeginRun(bool autoBeginRun);
    // The edits whose text a validator limits.
    QVector<QLineEdit*> LimitEdits() const;
    // Remembers the text of each limited edit as one that needs no new check.
    void TrustCurrentTexts();
    void LogStoredLimitsRefused() const;
    // The first failed check's message; empty when every check passes.
    QString FirstFailedCheck() const;
    // What is wrong with the address range while it is in use; empty when nothing.
    QString RangeProblem() const;
    // Ends a Save that wrote nothing, with why on the form and in the log.
    void RefuseSave(const QString& why);
    // Empty, or holding a text its validator does not accept. An order's own
    // text, or one just saved, is taken as it is; one from config.ini is not,
    // so a limit outside the form's range is asked for again.
    bool IsMissing(const QLineEdit* edit) const;
    void RunSaveSequence();
    bool MayOpenEditor(QWidget* editor);
    void PostToReceiver(int code, qint64 word1, qint64 word2);

    std::unique_ptr<Ui::SysConfigWidget> ui;
    QPointer<QWidget> m_receiver;
    QPointer<LeftTopWidget> m_controller;
    ConfigInfo m_config;
    ManualTestAutomation* m_pManualTestAutomation = nullptr;
    FunctionCodeSetting* m_pFunctionCodeSetting = nullptr;
    QRCodePrintSetting* m_pQRCodePrintSetting = nullptr;
    ManualTestItemDisplayDlg* m_pManualTestItemDisplayDlg = nullptr;
    QTimer* m_closeTimer = nullptr;
    QHash<const QLineEdit*, QString> m_trustedTexts;
    // The last write failed: the store holds what the file lacks, so the next
    // Save writes even when the widgets match the store.
    bool m_bWritePending = false;
};
