#pragma once

#include "ConfigInfo.h"

#include <QPointer>
#include <QString>
#include <QWidget>

#include <memory>

class ManualTestController;
class QComboBox;
class QEvent;
class QGridLayout;
class QLabel;
class QStandardItemModel;
class QTimer;
class Ui_RightBottomWidget;

// The manual control panel: the automatic result list, the manual item and PTZ
// buttons and the device-setting items. It never talks to a device: every button
// posts WM_MANUAL_TEST (item, parameter) to its receiver, and RouteManualTest()
// hands those events on to the controller. RightBottomWidgetLayout.cpp holds
// which items show and how they are laid out.
class RightBottomWidget : public QWidget {
    Q_OBJECT
public:
    // Receiver := parent; rows per column from the primary screen's width.
    explicit RightBottomWidget(QWidget* parent = nullptr);
    // Tests choose the receiver and the desktop width (pixels).
    RightBottomWidget(QWidget* parent, QObject* receiver, int desktopWidth);
    ~RightBottomWidget() override;

    // The controller that runs manual items; not owned, null to detach.
    void SetController(ManualTestController* controller);
    // The receiver's handling of WM_MANUAL_TEST: channel and sensor steps stay on
    // this panel, other items go to the controller while their control is shown.
    // Returns false for any other event. A preset record that no handler takes
    // goes with its event.
    bool RouteManualTest(QEvent* event);

    // Results from the controller.
    void AddAutoTestResult(QString text, int ok);
    void SetFormatResult(QString text, bool ok);
    void SetFormatInfo(QString text);
    void SetFunctionCodeResult(QString text, bool ok);
    void SetRestoreFactoryInfo(QString text);
    void SetSDCardInfo(QString info, QString space);
    void SetWifiSignalResult(QString text, bool ok);
    void ClearAutoTestResults();

    // Starts the 10 s SD-card format lock; false while it holds.
    bool TryStartFormat();

    void SetChannelInfo(int current, int count, bool gunBallMode);
    void SetCurrentChannel(int index);
    bool IsMultiChannel() const;
    bool IsSwitchChannelEnabled() const;

    void ShowSensorSwitch(bool show);
    void SetItemEnabled(int item, bool enable);
    void ShowBindDevButton(bool show);

    void SetConfig(const ConfigInfo& config);
    void ReloadDisplayFlags();
    void UpdateItemVisibility();
    // Lays the panel's three areas out across this width and returns the height
    // that holds every shown item and result whole.
    int LayOutAcross(int width);

    bool IsTrumpetVisible() const;
    bool IsMicTestVisible() const;
    bool IsAudioAlarmTestVisible() const;
    bool IsUploadAlarmFileVisible() const;
    bool IsFocusAddVisible() const;
    bool IsFocusSubVisible() const;
    bool IsSyncTimeVisible() const;
    bool IsWhiteLightVisible() const;
    bool IsAperAddVisible() const;
    bool IsAperSubVisible() const;
    bool IsRestoreFactoryVisible() const;
    bool IsHumanAlarmIOVisible() const;
    bool IsDayModelVisible() const;
    bool IsNightModelVisible() const;
    bool IsWifiTestVisible() const;
    bool IsZoomAddVisible() const;
    bool IsZoomSubVisible() const;
    bool IsWifiSignalVisible() const;
    bool IsPtzVisible() const;
    bool IsFunctionCodeTestVisible() const;
    bool IsQRCodeCheckVisible() const;
    bool IsFormatVisible() const;
    bool IsPrintQRCodeVisible() const;
    bool Is4GTestVisible() const;
    bool IsBindDevVisible() const;
    bool IsSwitchSensorVisible() const;
    // The query above that gates item (a Manual_Enum value); true for an item
    // without one. MANUAL_SWITCH_SENSOR is gated by the device's capability instead.
    bool IsItemVisible(int item) const;

signals:
    void signalSwitchChannel(int channelIdx);
    // A result text now needs a taller panel; the main window lays out again.
    void heightNeedChanged();

public slots:
    void onSwitchSensor();

private slots:
    void onTrumpetBtnClicked();
    void onMicTestlBtnClicked();
    void onAudioAlarmTestBtnClicked();
    void onWhiteLightBtnClicked();
    void onHumanAlarmIOBtnClicked();
    void onDayModelBtnClicked();
    void onNightModelBtnClicked();
    void onWifiTestBtnClicked();
    void onWifiSignalBtnClicked();
    void onFunctionCodeCheckBtnClicked();
    void onQRCodeCheckBtnClicked();
    void on4GTestBtnClicked();
    void onSwitchChannelClicked();

    void onFocusAddBtnPressed();
    void onFocusAddBtnReleased();
    void onFocusSubBtnPressed();
    void onFocusSubBtnReleased();
    void onAperAddBtnPressed();
    void onAperAddBtnReleased();
    void onAperSubBtnPressed();
    void onAperSubBtnReleased();
    void onZoomAddBtnPressed();
    void onZoomAddBtnReleased();
    void onZoomSubBtnPressed();
    void onZoomSubBtnReleased();
    void onUpBtnPressed();
    void onUpBtnReleased();
    void onDownBtnPressed();
    void onDownBtnReleased();
    void onLeftBtnPressed();
    void onLeftBtnReleased();
    void onRightBtnPressed();
    void onRightBtnReleased();

    void onBtnPtzResetClicked();
    void onSldSpeedValueChanged(int value);
    void on_m_BtnCall1_clicked();
    void on_m_BtnCall2_clicked();
    void on_m_BtnCall3_clicked();

    void onUploadAlarmFileBtnClicked();
    void onSyncTimeBtnClicked();
    void onRestoreFactoryBtnClicked();
    void onFormatBtnClicked();
    void onPrintQRCodeBtnClicked();
    void onBindDevBtnClicked();
    void onFormatSDCardTimerTimeout();

private:
    static constexpr int kPresetCount = 256;   // presets 0..255

    void ClaimShownPageRoom();
    void KeepWordsWhole(const QString& line);
    void ConnectSignals();
    void InitSpeedSlider();
    void PostManualTest(int item, qint64 param);
    void PostPresetCall(QComboBox* presetCombo, QComboBox* actionCombo);
    void StepChannel();
    void RefreshChannelLabel();
    void SetSensorLabel();

    void ApplyDisplayFlags();
    void ApplyTestTypeProfile(int testType);
    void LayoutManualTestItems();
    void LayoutManualTestGrid();
    void LayoutManualSetItems();
    void FillPresetCombos();
    void LayoutPanel();

    static void SetTextColor(QLabel* label, const QColor& color);
    void ShowText(QLabel* label, const QString& text, const QColor& color);

    QPointer<QObject> m_pReceiver;
    ManualTestController* m_pController = nullptr;
    QTimer* m_pFormatTimer = nullptr;
    QStandardItemModel* m_pResultModel = nullptr;
    int m_iRowsPerColumn = 5;
    int m_iDesktopWidth = 0;
    int m_iSensorIndex = 0;
    // ShowSensorSwitch's last word: a layout pass keeps the device's capability.
    bool m_bSensorSwitchShown = false;
    bool m_bLaidOut = false;
    ConfigInfo m_ConfigInfo;
    ManualItemDisplayFlags m_DisplayFlags;
    int m_iChannelCount = 1;
    int m_iCurChannel = 0;
    bool m_bGunBallMode = false;
    std::unique_ptr<Ui_RightBottomWidget> ui;
};
