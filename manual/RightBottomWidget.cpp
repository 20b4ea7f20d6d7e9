#include "RightBottomWidget.h"

#include "CConfigFile.h"
#include "EnumClass.h"
#include "Log.h"
#include "ManualTestController.h"
#include "PresetCallParam.h"
#include "ScreenArea.h"
#include "TextFit.h"
#include "VantrelEvent.h"
#include "ui_RightBottomWidget.h"

#include <QCoreApplication>
#include <QListView>
#include <QMetaEnum>
#include <QStandardItemModel>
#include <QTimer>

namespace {

constexpr int kWideDesktopWidth = 1600;
constexpr int kFormatLockMs = 10000;
constexpr int kDefaultSpeed = 5;

int PrimaryDesktopWidth()
{
    return ScreenArea::Available().width();
}

const char* ItemName(int item)
{
    const char* name = QMetaEnum::fromType<EnumClass::Manual_Enum>().valueToKey(item);
    return name ? name : "unknown item";
}

} // namespace

RightBottomWidget::RightBottomWidget(QWidget* parent)
    : RightBottomWidget(parent, parent, -1)
{
}

RightBottomWidget::RightBottomWidget(QWidget* parent, QObject* receiver, int desktopWidth)
    : QWidget(parent), m_pReceiver(receiver), ui(new Ui_RightBottomWidget)
{
    ui->setupUi(this);
    m_pFormatTimer = new QTimer(this);
    m_pFormatTimer->setSingleShot(true);

    m_iDesktopWidth = desktopWidth >= 0 ? desktopWidth : PrimaryDesktopWidth();
    if (m_iDesktopWidth < kWideDesktopWidth) {
        m_iRowsPerColumn = 5;
    } else {
        // Wide desktops show the PTZ controls on the first tab. They move there now,
        // while nothing is on screen: a shown widget that changes parent later stays
        // hidden until the event loop runs, and the visibility queries would say so.
        m_iRowsPerColumn = 7;
        ui->tabWidget->removeTab(1);
        for (QWidget* control : {ui->widget_Preset, static_cast<QWidget*>(ui->m_AperAddBtn),
                                 static_cast<QWidget*>(ui->m_AperSubBtn), ui->m_ptzFocusWidget, ui->m_ptzWidget})
            control->setParent(ui->tab_ManualTestItem);
    }

    m_iSensorIndex = 0;
    SetSensorLabel();

    CConfigFile::GetInstance()->GetConfigInfo(m_ConfigInfo);
    m_DisplayFlags = m_ConfigInfo.m_ManualItemDisplay;

    QFont font = ui->m_AutoTestLstView->font();
    font.setPointSize(12);
    font.setWeight(QFont::Bold);
    ui->m_AutoTestLstView->setFont(font);
    m_pResultModel = new QStandardItemModel(this);
    ui->m_AutoTestLstView->setModel(m_pResultModel);
    ui->m_AutoTestLstView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // A verdict line longer than the list breaks onto more lines rather than
    // running out of sight.
    ui->m_AutoTestLstView->setWordWrap(true);
    ui->m_AutoTestLstView->setResizeMode(QListView::Adjust);
    // The device-setting results break onto more lines rather than widen their
    // group, so the manual items beside it keep the room for their captions.
    for (QLabel* result : {ui->m_lbRestoryFactory, ui->m_lbFormat, ui->m_lbSDCardInfo, ui->m_lbSDCardSpace})
        result->setWordWrap(true);
    // The tabs claim the room of the page they show, not of the widest page, so
    // the result list beside them keeps the width for its lines.
    connect(ui->tabWidget, &QTabWidget::currentChanged, this, &RightBottomWidget::ClaimShownPageRoom);
    ClaimShownPageRoom();

    ConnectSignals();
    InitSpeedSlider();
    SetTextColor(ui->m_lbCurChannelInfo, Qt::red);
}

RightBottomWidget::~RightBottomWidget() = default;

void RightBottomWidget::ConnectSignals()
{
    const struct {
        QPushButton* button;
        void (RightBottomWidget::*slot)();
    } clicks[] = {
        {ui->m_TrumpetBtn, &RightBottomWidget::onTrumpetBtnClicked},
        {ui->m_MicTestBtn, &RightBottomWidget::onMicTestlBtnClicked},
        {ui->m_AudioAlarmTestBtn, &RightBottomWidget::onAudioAlarmTestBtnClicked},
        {ui->m_WhiteLightBtn, &RightBottomWidget::onWhiteLightBtnClicked},
        {ui->m_HumanAlarmIOBtn, &RightBottomWidget::onHumanAlarmIOBtnClicked},
        {ui->m_DayModelBtn, &RightBottomWidget::onDayModelBtnClicked},
        {ui->m_NightModelBtn, &RightBottomWidget::onNightModelBtnClicked},
        {ui->m_WifiTestBtn, &RightBottomWidget::onWifiTestBtnClicked},
        {ui->m_WifiSignalTestBtn, &RightBottomWidget::onWifiSignalBtnClicked},
        {ui->m_FunctionCodeTestBtn, &RightBottomWidget::onFunctionCodeCheckBtnClicked},
        {ui->m_QRCodeCheck, &RightBottomWidget::onQRCodeCheckBtnClicked},
        {ui->m_4GTest, &RightBottomWidget::on4GTestBtnClicked},
        {ui->m_btnSwitchChannel, &RightBottomWidget::onSwitchChannelClicked},
        {ui->m_btnPtzReset, &RightBottomWidget::onBtnPtzResetClicked},
        {ui->m_UploadAlarmFileBtn, &RightBottomWidget::onUploadAlarmFileBtnClicked},
        {ui->m_SyncTimeBtn, &RightBottomWidget::onSyncTimeBtnClicked},
        {ui->m_RestoreFactoryBtn, &RightBottomWidget::onRestoreFactoryBtnClicked},
        {ui->m_FormatBtn, &RightBottomWidget::onFormatBtnClicked},
        {ui->m_PrintQRCodeBtn, &RightBottomWidget::onPrintQRCodeBtnClicked},
        {ui->m_btnBindDev, &RightBottomWidget::onBindDevBtnClicked},
        {ui->m_btnSwitchSensor, &RightBottomWidget::onSwitchSensor},
    };
    for (const auto& c : clicks)
        connect(c.button, &QPushButton::clicked, this, c.slot);

    const struct {
        QPushButton* button;
        void (RightBottomWidget::*pressed)();
        void (RightBottomWidget::*released)();
    } holds[] = {
        {ui->m_FocusAddBtn, &RightBottomWidget::onFocusAddBtnPressed, &RightBottomWidget::onFocusAddBtnReleased},
        {ui->m_FocusSubBtn, &RightBottomWidget::onFocusSubBtnPressed, &RightBottomWidget::onFocusSubBtnReleased},
        {ui->m_AperAddBtn, &RightBottomWidget::onAperAddBtnPressed, &RightBottomWidget::onAperAddBtnReleased},
        {ui->m_AperSubBtn, &RightBottomWidget::onAperSubBtnPressed, &RightBottomWidget::onAperSubBtnReleased},
        {ui->m_ZoomAddBtn, &RightBottomWidget::onZoomAddBtnPressed, &RightBottomWidget::onZoomAddBtnReleased},
        {ui->m_ZoomSubBtn, &RightBottomWidget::onZoomSubBtnPressed, &RightBottomWidget::onZoomSubBtnReleased},
        {ui->m_btnUp, &RightBottomWidget::onUpBtnPressed, &RightBottomWidget::onUpBtnReleased},
        {ui->m_btnDown, &RightBottomWidget::onDownBtnPressed, &RightBottomWidget::onDownBtnReleased},
        {ui->m_btnLeft, &RightBottomWidget::onLeftBtnPressed, &RightBottomWidget::onLeftBtnReleased},
        {ui->m_btnRight, &RightBottomWidget::onRightBtnPressed, &RightBottomWidget::onRightBtnReleased},
    };
    for (const auto& h : holds) {
        connect(h.button, &QPushButton::pressed, this, h.pressed);
        connect(h.button, &QPushButton::released, this, h.released);
    }

    connect(m_pFormatTimer, &QTimer::timeout, this, &RightBottomWidget::onFormatSDCardTimerTimeout);
    // m_BtnCall1..3 are connected by name in setupUi.
}

void RightBottomWidget::InitSpeedSlider()
{
    QSlider* slider = ui->m_sldSpeed;
    slider->setFocusPolicy(Qt::NoFocus);
    slider->setRange(0, 10);
    slider->setMinimum(1);
    slider->setSingleStep(1);
    slider->setTickPosition(QSlider::TicksAbove);
    slider->setTickInterval(1);
    connect(slider, &QSlider::valueChanged, this, &RightBottomWidget::onSldSpeedValueChanged);
    // Connected first, so the controller learns the starting speed.
    slider->setValue(kDefaultSpeed);
}

void RightBottomWidget::SetController(ManualTestController* controller)
{
    m_pController = controller;
}

// ---- posting -------------------------------------------------------------

void RightBottomWidget::PostManualTest(int item, qint64 param)
{
    PostVantrelEvent(m_pReceiver.data(), WM_MANUAL_TEST, item, param);
}

void RightBottomWidget::PostPresetCall(QComboBox* presetCombo, QComboBox* actionCombo)
{
    if (!m_pReceiver)
        return;
    bool ok = false;
    const int preset = presetCombo->currentText().toInt(&ok);
    const int action = actionCombo->currentIndex();
    // The combos are empty until the first layout pass fills them.
    if (!ok || preset < 0 || preset >= kPresetCount || action < 0 || action > 2) {
        LogPrint(LOG_GENERAL, "RightBottomWidget::PostPresetCall() no preset chosen (\"%s\", action %d), nothing sent",
                 qPrintable(presetCombo->currentText()), action);
        return;
    }
    auto param = std::make_unique<PresetCallParam>();
    param->preset = preset;
    param->action = action;
    PostVantrelEvent(m_pReceiver.data(), WM_MANUAL_TEST, EnumClass::MANUAL_CALL_PRESET, 0, std::move(param));
}

bool RightBottomWidget::RouteManualTest(QEvent* event)
{
    auto* manual = dynamic_cast<VantrelEvent*>(event);
    if (!manual || manual->type() != static_cast<QEvent::Type>(WM_MANUAL_TEST))
        return false;

    // Taken before anything else: every return below frees an unused record.
    std::unique_ptr<PresetCallParam> preset = manual->TakeRecord<std::unique_ptr<PresetCallParam>>();
    if (manual->word1 < EnumClass::MANUAL_TRUMPET || manual->word1 > EnumClass::MANUAL_AUTO) {
        LogPrint(LOG_GENERAL, "RightBottomWidget::RouteManualTest() unknown item %lld dropped",
                 static_cast<long long>(manual->word1));
        return true;
    }
    const int item = static_cast<int>(manual->word1);
    const qint64 param = manual->word2;

    if (item == EnumClass::MANUAL_SWITCH_CHANNEL) {
        if (IsMultiChannel())
            SetCurrentChannel(static_cast<int>(param));
        return true;
    }
    if (item == EnumClass::MANUAL_SWITCH_SENSOR && param == -1) {
        if (IsSwitchSensorVisible())
            onSwitchSensor();
        return true;
    }
    if (!m_pController)
        return true;
    if (!IsItemVisible(item)) {
        LogPrint(LOG_INFO, "RightBottomWidget::RouteManualTest() %s is hidden, not run", ItemName(item));
        return true;
    }
    if (item == EnumClass::MANUAL_CALL_PRESET) {
        if (!preset) {
            LogPrint(LOG_GENERAL, "RightBottomWidget::RouteManualTest() MANUAL_CALL_PRESET without its record dropped");
            return true;
        }
        m_pController->dealCallPreset(std::move(preset));
        return true;
    }
    m_pController->dealManualTest(item, param);
    return true;
}

// ---- button slots --------------------------------------------------------

void RightBottomWidget::onTrumpetBtnClicked() { PostManualTest(EnumClass::MANUAL_TRUMPET, 0); }
void RightBottomWidget::onMicTestlBtnClicked() { PostManualTest(EnumClass::MANUAL_MIC_TEST, 0); }
void RightBottomWidget::onAudioAlarmTestBtnClicked() { PostManualTest(EnumClass::MANUAL_AUDIO_ALARM_TEST, 0); }
void RightBottomWidget::onWhiteLightBtnClicked() { PostManualTest(EnumClass::MANUAL_OPEN_WHITE_LIGHT, 0); }
void RightBottomWidget::onHumanAlarmIOBtnClicked() { PostManualTest(EnumClass::MANUAL_HUMAN_ALARM_IO, 0); }
void RightBottomWidget::onDayModelBtnClicked() { PostManualTest(EnumClass::MANUAL_DAY_MODE, 0); }
void RightBottomWidget::onNightModelBtnClicked() { PostManualTest(EnumClass::MANUAL_NIGHT_MODE, 0); }
void RightBottomWidget::onWifiTestBtnClicked() { PostManualTest(EnumClass::MANUAL_WIFI_TEST, 0); }
void RightBottomWidget::onWifiSignalBtnClicked() { PostManualTest(EnumClass::MANUAL_WIFI_SIGNAL_TEST, 1); }
void RightBottomWidget::onFunctionCodeCheckBtnClicked() { PostManualTest(EnumClass::MANUAL_FUNCTION_CODE, 0); }
void RightBottomWidget::onQRCodeCheckBtnClicked() { PostManualTest(EnumClass::MANUAL_QRCODE_CHECK, 0); }
void RightBottomWidget::on4GTestBtnClicked() { PostManualTest(EnumClass::MANUAL_4GTEST, 0); }

void RightBottomWidget::onFocusAddBtnPressed() { PostManualTest(EnumClass::MANUAL_FOCUS_ADD, 0); }
void RightBottomWidget::onFocusAddBtnReleased() { PostManualTest(EnumClass::MANUAL_FOCUS_ADD, 1); }
void RightBottomWidget::onFocusSubBtnPressed() { PostManualTest(EnumClass::MANUAL_FOCUS_SUB, 0); }
void RightBottomWidget::onFocusSubBtnReleased() { PostManualTest(EnumClass::MANUAL_FOCUS_SUB, 1); }
void RightBottomWidget::onAperAddBtnPressed() { PostManualTest(EnumClass::MANUAL_APER_ADD, 0); }
void RightBottomWidget::onAperAddBtnReleased() { PostManualTest(EnumClass::MANUAL_APER_ADD, 1); }
void RightBottomWidget::onAperSubBtnPressed() { PostManualTest(EnumClass::MANUAL_APER_SUB, 0); }
void RightBottomWidget::onAperSubBtnReleased() { PostManualTest(EnumClass::MANUAL_APER_SUB, 1); }
void RightBottomWidget::onZoomAddBtnPressed() { PostManualTest(EnumClass::MANUAL_ZOOM_ADD, 0); }
void RightBottomWidget::onZoomAddBtnReleased() { PostManualTest(EnumClass::MANUAL_ZOOM_ADD, 1); }
void RightBottomWidget::onZoomSubBtnPressed() { PostManualTest(EnumClass::MANUAL_ZOOM_SUB, 0); }
void RightBottomWidget::onZoomSubBtnReleased() { PostManualTest(EnumClass::MANUAL_ZOOM_SUB, 1); }
void RightBottomWidget::onUpBtnPressed() { PostManualTest(EnumClass::MANUAL_UP, 0); }
void RightBottomWidget::onUpBtnReleased() { PostManualTest(EnumClass::MANUAL_UP, 1); }
void RightBottomWidget::onDownBtnPressed() { PostManualTest(EnumClass::MANUAL_DOWN, 0); }
void RightBottomWidget::onDownBtnReleased() { PostManualTest(EnumClass::MANUAL_DOWN, 1); }
void RightBottomWidget::onLeftBtnPressed() { PostManualTest(EnumClass::MANUAL_LEFT, 0); }
void RightBottomWidget::onLeftBtnReleased() { PostManualTest(EnumClass::MANUAL_LEFT, 1); }
void RightBottomWidget::onRightBtnPressed() { PostManualTest(EnumClass::MANUAL_RIGHT, 0); }
void RightBottomWidget::onRightBtnReleased() { PostManualTest(EnumClass::MANUAL_RIGHT, 1); }

void RightBottomWidget::onBtnPtzResetClicked() { PostManualTest(EnumClass::MANUAL_PTZ_RESET, 1); }

void RightBottomWidget::onSldSpeedValueChanged(int value)
{
    ui->m_leSpeed->setText(QString::number(value));
    PostManualTest(EnumClass::MANUAL_SPEED_CHANGE, value);
}

void RightBottomWidget::on_m_BtnCall1_clicked() { PostPresetCall(ui->m_CmbPreset1, ui->m_CmbPresetAction1); }
void RightBottomWidget::on_m_BtnCall2_clicked() { PostPresetCall(ui->m_CmbPreset2, ui->m_CmbPresetAction2); }
void RightBottomWidget::on_m_BtnCall3_clicked() { PostPresetCall(ui->m_CmbPreset3, ui->m_CmbPresetAction3); }

void RightBottomWidget::onUploadAlarmFileBtnClicked() { PostManualTest(EnumClass::MANUAL_UPLOAD_ALARM_FILE, 0); }
void RightBottomWidget::onSyncTimeBtnClicked() { PostManualTest(EnumClass::MANUAL_RTC, 0); }
void RightBottomWidget::onRestoreFactoryBtnClicked() { PostManualTest(EnumClass::MANUAL_RESTORE_FACTORY, 0); }
void RightBottomWidget::onFormatBtnClicked() { PostManualTest(EnumClass::MANUAL_FORMAT_SDCARD, 0); }
void RightBottomWidget::onPrintQRCodeBtnClicked() { PostManualTest(EnumClass::MANUAL_PRINT_QRCODE, 0); }
void RightBottomWidget::onBindDevBtnClicked() { PostManualTest(EnumClass::MANUAL_BIND_DEV, 0); }

// ---- results -------------------------------------------------------------

void RightBottomWidget::SetTextColor(QLabel* label, const QColor& color)
{
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, color);
    label->setPalette(palette);
}

void RightBottomWidget::ShowText(QLabel* label, const QString& text, const QColor& color)
{
    label->setText(text);
    SetTextColor(label, color);
    // A result that breaks onto more lines keeps its words whole.
    if (label->wordWrap())
        label->setMinimumWidth(TextFit::LongestWord(label));
    // A longer result may need a taller panel than the main window gave it.
    if (LayOutAcross(width()) > height())
        emit heightNeedChanged();
}

void RightBottomWidget::AddAutoTestResult(QString text, int ok)
{
    if (text.isEmpty())
        return;
    auto* row = new QStandardItem(text);
    row->setForeground(QBrush(ok == 1 ? Qt::black : Qt::red));
    m_pResultModel->appendRow(row);
    KeepWordsWhole(text);
    ui->m_AutoTestLstView->setCurrentIndex(m_pResultModel->indexFromItem(row));
}

void RightBottomWidget::SetFormatResult(QString text, bool ok)
{
    ShowText(ui->m_lbFormat, text, ok ? Qt::black : Qt::red);
}

void RightBottomWidget::SetFormatInfo(QString text)
{
    ShowText(ui->m_lbFormat, text, Qt::black);
}

void RightBottomWidget::SetFunctionCodeResult(QString text, bool ok)
{
    ShowText(ui->m_FunctionCodeTestLb, text, ok ? Qt::black : Qt::red);
}

void RightBottomWidget::SetRestoreFactoryInfo(QString text)
{
    ShowText(ui->m_lbRestoryFactory, text, Qt::red);
}

void RightBottomWidget::SetSDCardInfo(QString info, QString space)
{
    ShowText(ui->m_lbSDCardInfo, info, Qt::black);
    ShowText(ui->m_lbSDCardSpace, space, Qt::black);
}

void RightBottomWidget::SetWifiSignalResult(QString text, bool ok)
{
    ShowText(ui->m_WifiSignalTestLb, text, ok ? Qt::black : Qt::red);
}

void RightBottomWidget::ClearAutoTestResults()
{
    m_pResultModel->removeRows(0, m_pResultModel->rowCount());
    for (QLabel* label : {ui->m_WifiSignalTestLb, ui->m_FunctionCodeTestLb, ui->m_lbRestoryFactory, ui->m_lbFormat,
                          ui->m_lbSDCardInfo, ui->m_lbSDCardSpace})
        label->clear();
}

// ---- SD-card format lock -------------------------------------------------

bool RightBottomWidget::TryStartFormat()
{
    if (!ui->m_FormatBtn->isEnabled())
        return false;
    m_pFormatTimer->start(kFormatLockMs);
    ui->m_FormatBtn->setEnabled(false);
    return true;
}

void RightBottomWidget::onFormatSDCardTimerTimeout()
{
    ui->m_FormatBtn->setEnabled(true);
}

// ---- channels ------------------------------------------------------------

void RightBottomWidget::SetChannelInfo(int current, int count, bool gunBallMode)
{
    // Channel steps divide by the count: a device reporting none has one.
    m_iChannelCount = qMax(count, 1);
    m_iCurChannel = current;
    m_bGunBallMode = gunBallMode;

    const bool show = m_iChannelCount > 1;
    ui->m_btnSwitchChannel->setVisible(show);
    ui->m_lbCurChannelInfo->setVisible(show);
    RefreshChannelLabel();
    // Controls that appear after the last layout pass need a grid cell, or they
    // would sit at their form position on top of other buttons; hidden ones give
    // their cells back.
    const QLayout* grid = ui->tab_ManualTestItem->layout();
    const bool inGrid = grid && grid->indexOf(ui->m_btnSwitchChannel) >= 0;
    if (m_bLaidOut && inGrid != show)
        LayoutManualTestGrid();
}

void RightBottomWidget::RefreshChannelLabel()
{
    QString text;
    if (m_bGunBallMode) {
        if (m_iCurChannel == 0)
            text = QObject::tr("[Current:Gun Channel]");
        else if (m_iCurChannel == 1)
            text = QObject::tr("[Current:Ball Channel]");
    } else {
        text = QObject::tr("[Current:Channel%1]").arg(m_iCurChannel);
    }
    ui->m_lbCurChannelInfo->setText(text);
}

void RightBottomWidget::StepChannel()
{
    if (m_iChannelCount <= 1)
        return;
    // Reduced first: a stray current from the caller may be negative or INT_MAX.
    int current = m_iCurChannel % m_iChannelCount;
    if (current < 0)
        current += m_iChannelCount;
    m_iCurChannel = (current + 1) % m_iChannelCount;
    RefreshChannelLabel();
    emit signalSwitchChannel(m_iCurChannel);
}

void RightBottomWidget::onSwitchChannelClicked()
{
    StepChannel();
}

void RightBottomWidget::SetCurrentChannel(int index)
{
    if (index < 0 || index > m_iChannelCount) {
        // The next channel (the pane's key sends -1).
        if (ui->m_btnSwitchChannel->isEnabled())
            StepChannel();
        return;
    }
    int channel = index;
    if (m_bGunBallMode)
        channel = index == 0 ? 1 : 0;
    channel %= m_iChannelCount;
    if (channel == m_iCurChannel)
        return;
    m_iCurChannel = channel;
    RefreshChannelLabel();
    emit signalSwitchChannel(channel);
}

bool RightBottomWidget::IsMultiChannel() const
{
    return m_iChannelCount > 1;
}

bool RightBottomWidget::IsSwitchChannelEnabled() const
{
    return ui->m_btnSwitchChannel->isEnabled();
}

// ---- sensors and enabling ------------------------------------------------

void RightBottomWidget::SetSensorLabel()
{
    ui->m_lbSwitchSensor->setText(tr("[current: Sensor%1]").arg(m_iSensorIndex));
}

void RightBottomWidget::ShowSensorSwitch(bool show)
{
    m_iSensorIndex = 0;
    m_bSensorSwitchShown = show;
    ui->m_btnSwitchSensor->setVisible(show);
    ui->m_lbSwitchSensor->setVisible(show);
    if (show)
        SetSensorLabel();
}

void RightBottomWidget::onSwitchSensor()
{
    if (!m_pReceiver || !ui->m_btnSwitchSensor->isEnabled())
        return;
    m_iSensorIndex = m_iSensorIndex == 0 ? 1 : 0;
    SetSensorLabel();
    PostManualTest(EnumClass::MANUAL_SWITCH_SENSOR, m_iSensorIndex);
}

void RightBottomWidget::SetItemEnabled(int item, bool enable)
{
    if (item == EnumClass::MANUAL_SWITCH_SENSOR)
        ui->m_btnSwitchSensor->setEnabled(enable);
    else if (item == EnumClass::MANUAL_SWITCH_CHANNEL)
        ui->m_btnSwitchChannel->setEnabled(enable);
}

void RightBottomWidget::ShowBindDevButton(bool show)
{
    ui->m_btnBindDev->setVisible(show);
}
