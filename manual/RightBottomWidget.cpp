#include "RightBottomWidget.h"

#include "AppGlobals.h"
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
#include <QGridLayout>
#include <QHBoxLayout>
#include <QListView>
#include <QMetaEnum>
#include <QStandardItemModel>
#include <QStyle>
#include <QTimer>

namespace {

constexpr int kWideDesktopWidth = 1600;
constexpr int kFormatLockMs = 10000;
constexpr int kDefaultSpeed = 5;
constexpr int kPresetCount = 256;
const QString kDefaultPreset = QStringLiteral("104");

// Fills a grid column by column: an item that fits at the cursor's row goes
// there; otherwise it opens a new column colStep further on, at row 0.
struct GridCursor {
    int row = 0;
    int col = 0;

    void Place(QGridLayout* grid, QWidget* widget, int rows, int cols, int lastRow, int colStep)
    {
        if (row > lastRow) {
            col += colStep;
            row = 0;
        }
        grid->addWidget(widget, row, col, rows, cols);
        row += rows;
    }
};

// A control that was never shown or hidden on its own reports isHidden() while
// its window is not on screen; only an explicit hide counts here.
bool IsExplicitlyHidden(const QWidget* widget)
{
    return widget->isHidden() && widget->testAttribute(Qt::WA_WState_ExplicitShowHide);
}

QGridLayout* NewGrid(QWidget* container, int margin, int spacing)
{
    delete container->layout();
    auto* grid = new QGridLayout(container);
    grid->setContentsMargins(margin, margin, margin, margin);
    grid->setSpacing(spacing);
    return grid;
}

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

// ---- visibility and layout -----------------------------------------------

void RightBottomWidget::SetConfig(const ConfigInfo& config)
{
    m_ConfigInfo = config;
    m_DisplayFlags = m_ConfigInfo.m_ManualItemDisplay;
    UpdateItemVisibility();
}

void RightBottomWidget::ReloadDisplayFlags()
{
    m_DisplayFlags = m_ConfigInfo.m_ManualItemDisplay;
    UpdateItemVisibility();
}

void RightBottomWidget::UpdateItemVisibility()
{
    ApplyDisplayFlags();

    QPalette tabPalette(QColor(240, 240, 240));
    for (QWidget* tab : {ui->tab_ManualTestItem, ui->tab_ManualTestPTZItem}) {
        tab->setPalette(tabPalette);
        tab->setAutoFillBackground(true);
    }

    ApplyTestTypeProfile(CurrentTestType.load());
    LayoutManualTestItems();
    LayoutManualSetItems();
    LayoutPanel();
    m_bLaidOut = true;
    update();
}

void RightBottomWidget::ApplyDisplayFlags()
{
    const ManualItemDisplayFlags& f = m_DisplayFlags;
    const struct {
        bool shown;
        QWidget* control;
    } flagged[] = {
        {f.bTrumpet, ui->m_TrumpetBtn},
        {f.bHumanAlarmIO, ui->m_HumanAlarmIOBtn},
        {f.bMicTest, ui->m_MicTestBtn},
        {f.bAudioAlarm, ui->m_AudioAlarmTestBtn},
        {f.bDay, ui->m_DayModelBtn},
        {f.bNight, ui->m_NightModelBtn},
        {f.bWifiSignalTest, ui->m_WifiSignalTestBtn},
        {f.bWifiSignalTest, ui->m_WifiSignalTestLb},
        {f.bWifiTest, ui->m_WifiTestBtn},
        {f.bOpenWhiteLight, ui->m_WhiteLightBtn},
        {f.bFunctionCodeTest, ui->m_FunctionCodeTestBtn},
        {f.bFunctionCodeTest, ui->m_FunctionCodeTestLb},
        {f.bDevQRCodeCheck, ui->m_QRCodeCheck},
        {f.b4GTest, ui->m_4GTest},
        {f.bAperAdd, ui->m_AperAddBtn},
        {f.bAperReduce, ui->m_AperSubBtn},
        {f.bFocusAdd, ui->m_FocusAddBtn},
        {f.bFocusReduce, ui->m_FocusSubBtn},
        {f.bZoomAdd, ui->m_ZoomAddBtn},
        {f.bZoomReduce, ui->m_ZoomSubBtn},
        {f.bUp, ui->m_btnUp},
        {f.bDown, ui->m_btnDown},
        {f.bLeft, ui->m_btnLeft},
        {f.bRight, ui->m_btnRight},
        {f.bPTZReset, ui->m_btnPtzReset},
        {f.bPresetCall, ui->widget_Preset},
        {f.bUp || f.bDown || f.bLeft || f.bRight || f.bPTZReset, ui->m_ptzWidget},
        {f.bFocusAdd || f.bFocusReduce || f.bZoomAdd || f.bZoomReduce, ui->m_ptzFocusWidget},
    };
    for (const auto& item : flagged)
        item.control->setVisible(item.shown);

    for (QWidget* control : {static_cast<QWidget*>(ui->m_PrintQRCodeBtn), static_cast<QWidget*>(ui->m_btnBindDev),
                             static_cast<QWidget*>(ui->m_lbRestoryFactory), static_cast<QWidget*>(ui->m_lbFormat),
                             static_cast<QWidget*>(ui->m_lbSDCardInfo), static_cast<QWidget*>(ui->m_lbSDCardSpace),
                             static_cast<QWidget*>(ui->m_UploadAlarmFileBtn), static_cast<QWidget*>(ui->m_SyncTimeBtn),
                             static_cast<QWidget*>(ui->m_RestoreFactoryBtn), static_cast<QWidget*>(ui->m_FormatBtn)})
        control->show();

    // The sensor switch follows the current device's capability (ShowSensorSwitch),
    // which a settings save or a test-type change does not alter.
    ui->m_btnSwitchSensor->setVisible(m_bSensorSwitchShown);
    ui->m_lbSwitchSensor->setVisible(m_bSensorSwitchShown);
}

void RightBottomWidget::ApplyTestTypeProfile(int testType)
{
    QList<QWidget*> hidden;
    switch (testType) {
    case 0:
        ui->m_HumanAlarmIOBtn->setText(tr("Warn Light Test"));
        for (QLabel* label : {ui->m_WifiSignalTestLb, ui->m_FunctionCodeTestLb, ui->m_lbRestoryFactory, ui->m_lbFormat,
                              ui->m_lbSDCardInfo, ui->m_lbSDCardSpace})
            label->clear();
        hidden = {ui->m_UploadAlarmFileBtn, ui->m_AperAddBtn, ui->m_AperSubBtn, ui->m_4GTest};
        break;
    case 1:
        ui->m_HumanAlarmIOBtn->setText(tr("Warn Light Test"));
        hidden = {ui->m_UploadAlarmFileBtn, ui->m_AperAddBtn, ui->m_AperSubBtn, ui->m_WifiTestBtn,
                  ui->m_WifiSignalTestBtn, ui->m_WifiSignalTestLb, ui->m_4GTest};
        break;
    case 2:
        ui->m_HumanAlarmIOBtn->setText(tr("Warn Light Test"));
        hidden = {ui->m_UploadAlarmFileBtn, ui->m_AperAddBtn, ui->m_AperSubBtn, ui->m_WifiTestBtn,
                  ui->m_WifiSignalTestBtn, ui->m_WifiSignalTestLb};
        break;
    case 3:
        ui->m_HumanAlarmIOBtn->setText(tr("Alram IO Test"));
        hidden = {ui->m_SyncTimeBtn, ui->m_AperAddBtn, ui->m_AperSubBtn, ui->m_WifiTestBtn, ui->m_WifiSignalTestBtn,
                  ui->m_WifiSignalTestLb, ui->m_FormatBtn, ui->m_4GTest};
        break;
    case 4:
        ui->m_HumanAlarmIOBtn->setText(tr("Alram IO Test"));
        hidden = {ui->m_WifiTestBtn, ui->m_SyncTimeBtn, ui->m_AudioAlarmTestBtn, ui->m_UploadAlarmFileBtn,
                  ui->m_AperAddBtn, ui->m_AperSubBtn, ui->m_WifiSignalTestBtn, ui->m_WifiSignalTestLb,
                  ui->m_ptzWidget, ui->m_ptzFocusWidget, ui->widget_Preset, ui->m_FormatBtn,
                  ui->m_PrintQRCodeBtn, ui->m_QRCodeCheck, ui->m_4GTest};
        break;
    default:
        break;
    }
    for (QWidget* control : hidden)
        control->hide();
}

void RightBottomWidget::LayoutManualTestItems()
{
    LayoutManualTestGrid();
    FillPresetCombos();
}

void RightBottomWidget::LayoutManualTestGrid()
{
    const int n = m_iRowsPerColumn;
    QGridLayout* grid = NewGrid(ui->tab_ManualTestItem, 3, 3);
    GridCursor cur;

    const QWidget* channelControls[] = {ui->m_btnSwitchChannel, ui->m_lbCurChannelInfo};
    for (QWidget* item : {static_cast<QWidget*>(ui->m_TrumpetBtn), static_cast<QWidget*>(ui->m_MicTestBtn),
                          static_cast<QWidget*>(ui->m_AudioAlarmTestBtn), static_cast<QWidget*>(ui->m_WhiteLightBtn),
                          static_cast<QWidget*>(ui->m_HumanAlarmIOBtn), static_cast<QWidget*>(ui->m_DayModelBtn),
                          static_cast<QWidget*>(ui->m_NightModelBtn), static_cast<QWidget*>(ui->m_btnSwitchChannel),
                          static_cast<QWidget*>(ui->m_lbCurChannelInfo), static_cast<QWidget*>(ui->m_WifiTestBtn),
                          static_cast<QWidget*>(ui->m_WifiSignalTestBtn), static_cast<QWidget*>(ui->m_WifiSignalTestLb),
                          static_cast<QWidget*>(ui->m_FunctionCodeTestBtn),
                          static_cast<QWidget*>(ui->m_FunctionCodeTestLb), static_cast<QWidget*>(ui->m_QRCodeCheck),
                          static_cast<QWidget*>(ui->m_4GTest)}) {
        const bool channelControl = item == channelControls[0] || item == channelControls[1];
        const bool skip = channelControl ? IsExplicitlyHidden(item) : item->isHidden();
        if (!skip)
            cur.Place(grid, item, 1, 1, n - 1, 1);
    }

    if (n == 7) {
        // Wide desktop: the PTZ controls continue the first tab's columns.
        if (!ui->widget_Preset->isHidden())
            cur.Place(grid, ui->widget_Preset, 3, 2, n - 4, 1);
        if (!ui->m_AperAddBtn->isHidden())
            cur.Place(grid, ui->m_AperAddBtn, 1, 1, n - 1, 1);
        if (!ui->m_AperSubBtn->isHidden())
            cur.Place(grid, ui->m_AperSubBtn, 1, 1, n - 1, 1);
        if (!ui->m_ptzFocusWidget->isHidden())
            cur.Place(grid, ui->m_ptzFocusWidget, 2, 2, n - 3, 2);
        if (!ui->m_ptzWidget->isHidden())
            cur.Place(grid, ui->m_ptzWidget, 4, 2, n - 4, 2);
    } else {
        QGridLayout* ptzGrid = NewGrid(ui->tab_ManualTestPTZItem, 3, 3);
        GridCursor ptz;
        if (!ui->widget_Preset->isHidden()) {
            ptzGrid->addWidget(ui->widget_Preset, 0, 0, 3, 4);
            ptz.row = 3;
        }
        if (!ui->m_AperAddBtn->isHidden())
            ptz.Place(ptzGrid, ui->m_AperAddBtn, 1, 1, n - 1, 1);
        if (!ui->m_AperSubBtn->isHidden())
            ptz.Place(ptzGrid, ui->m_AperSubBtn, 1, 1, n - 1, 1);
        if (!ui->m_ptzFocusWidget->isHidden())
            ptz.Place(ptzGrid, ui->m_ptzFocusWidget, 2, 2, n - 2, 4);
        if (!ui->m_ptzWidget->isHidden()) {
            ptz.Place(ptzGrid, ui->m_ptzWidget, 4, 3, n - 4, ptz.col < 4 ? 4 : 2);
            ptz.col += 3;
        }
        ptzGrid->setRowStretch(n, 1);
        ptzGrid->setColumnStretch(ptz.col, 1);
        ui->tab_ManualTestPTZItem->update();
    }

    grid->setRowStretch(n, 1);
    grid->setColumnStretch(cur.col + 2, 1);
}

void RightBottomWidget::FillPresetCombos()
{
    QStringList presets;
    presets.reserve(kPresetCount);
    for (int i = 0; i < kPresetCount; ++i)
        presets << QString::number(i);
    for (QComboBox* combo : {ui->m_CmbPreset1, ui->m_CmbPreset2, ui->m_CmbPreset3}) {
        combo->clear();
        combo->addItems(presets);
        combo->setCurrentText(kDefaultPreset);
    }

    const QStringList actions = {tr("Execute"), tr("Increase"), tr("Delete")};
    QComboBox* actionCombos[] = {ui->m_CmbPresetAction1, ui->m_CmbPresetAction2, ui->m_CmbPresetAction3};
    for (int row = 0; row < 3; ++row) {
        actionCombos[row]->clear();
        actionCombos[row]->addItems(actions);
        actionCombos[row]->setCurrentIndex(row);
    }
}

void RightBottomWidget::LayoutManualSetItems()
{
    const int n = m_iRowsPerColumn;
    QGridLayout* grid = NewGrid(ui->m_ManualSetItemGBox, 5, 5);
    GridCursor cur;

    for (QWidget* item : {static_cast<QWidget*>(ui->m_UploadAlarmFileBtn), static_cast<QWidget*>(ui->m_SyncTimeBtn),
                          static_cast<QWidget*>(ui->m_RestoreFactoryBtn), static_cast<QWidget*>(ui->m_lbRestoryFactory),
                          static_cast<QWidget*>(ui->m_FormatBtn), static_cast<QWidget*>(ui->m_PrintQRCodeBtn),
                          static_cast<QWidget*>(ui->m_lbFormat), static_cast<QWidget*>(ui->m_lbSDCardInfo),
                          static_cast<QWidget*>(ui->m_lbSDCardSpace), static_cast<QWidget*>(ui->m_btnBindDev)}) {
        if (item->isHidden())
            continue;
        cur.Place(grid, item, 1, 1, n - 2, 1);
        if (item == ui->m_btnBindDev)
            item->setVisible(LoggedIn.load());
    }
    // Kept in the grid while hidden, so a device with two sensors shows them in place.
    cur.Place(grid, ui->m_btnSwitchSensor, 1, 1, n - 2, 1);
    cur.Place(grid, ui->m_lbSwitchSensor, 1, 1, n - 2, 1);

    grid->setRowStretch(n, 1);
    grid->setColumnStretch(cur.col + 1, 1);

    const bool multiChannel = m_iChannelCount > 1;
    ui->m_btnSwitchChannel->setVisible(multiChannel);
    ui->m_lbCurChannelInfo->setVisible(multiChannel);
}

void RightBottomWidget::KeepWordsWhole(const QString& line)
{
    // A word cannot break: the list stays at least as wide as the longest word
    // it has shown, beside its margins, frame and scroll bar.
    QListView* list = ui->m_AutoTestLstView;
    const int widest = TextFit::LongestWord(list->font(), line);
    const QStyle* style = list->style();
    const int margins = 2 * (style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, list) + 1) + 1;
    const int needed = widest + margins + 2 * list->frameWidth()
        + style->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, list);
    if (needed > list->minimumWidth())
        list->setMinimumWidth(needed);
}

void RightBottomWidget::ClaimShownPageRoom()
{
    for (int i = 0; i < ui->tabWidget->count(); ++i) {
        QWidget* page = ui->tabWidget->widget(i);
        const bool shown = i == ui->tabWidget->currentIndex();
        page->setSizePolicy(shown ? QSizePolicy::Preferred : QSizePolicy::Ignored, QSizePolicy::Preferred);
    }
}

int RightBottomWidget::LayOutAcross(int width)
{
    QLayout* box = layout();
    if (!box)
        return 0;
    // The areas take their widths for the coming panel width; an area whose
    // texts break into lines then says how high it needs to be at its width.
    box->setGeometry(QRect(0, 0, width, qMax(height(), box->minimumSize().height())));
    const QMargins margins = box->contentsMargins();
    int needed = box->minimumSize().height();
    for (int i = 0; i < box->count(); ++i) {
        QWidget* area = box->itemAt(i)->widget();
        if (area && area->hasHeightForWidth())
            needed = qMax(needed, area->heightForWidth(area->width()) + margins.top() + margins.bottom());
    }
    box->setGeometry(rect());
    return needed;
}

void RightBottomWidget::LayoutPanel()
{
    delete layout();
    auto* box = new QHBoxLayout(this);
    // The areas' own frames part them; the panel's room goes to their texts.
    box->setContentsMargins(2, 2, 2, 2);
    box->addWidget(ui->m_AutoTestGBox, 2);
    box->addWidget(ui->tabWidget, 3);
    box->addWidget(ui->m_ManualSetItemGBox, 2);
}

// ---- visibility queries --------------------------------------------------

bool RightBottomWidget::IsTrumpetVisible() const { return !ui->m_TrumpetBtn->isHidden(); }
bool RightBottomWidget::IsMicTestVisible() const { return !ui->m_MicTestBtn->isHidden(); }
bool RightBottomWidget::IsAudioAlarmTestVisible() const { return !ui->m_AudioAlarmTestBtn->isHidden(); }
bool RightBottomWidget::IsUploadAlarmFileVisible() const { return !ui->m_UploadAlarmFileBtn->isHidden(); }
bool RightBottomWidget::IsFocusAddVisible() const { return !ui->m_FocusAddBtn->isHidden(); }
bool RightBottomWidget::IsFocusSubVisible() const { return !ui->m_FocusSubBtn->isHidden(); }
bool RightBottomWidget::IsSyncTimeVisible() const { return !ui->m_SyncTimeBtn->isHidden(); }
bool RightBottomWidget::IsWhiteLightVisible() const { return !ui->m_WhiteLightBtn->isHidden(); }
bool RightBottomWidget::IsAperAddVisible() const { return !ui->m_AperAddBtn->isHidden(); }
bool RightBottomWidget::IsAperSubVisible() const { return !ui->m_AperSubBtn->isHidden(); }
bool RightBottomWidget::IsRestoreFactoryVisible() const { return !ui->m_RestoreFactoryBtn->isHidden(); }
bool RightBottomWidget::IsHumanAlarmIOVisible() const { return !ui->m_HumanAlarmIOBtn->isHidden(); }
bool RightBottomWidget::IsDayModelVisible() const { return !ui->m_DayModelBtn->isHidden(); }
bool RightBottomWidget::IsNightModelVisible() const { return !ui->m_NightModelBtn->isHidden(); }
bool RightBottomWidget::IsWifiTestVisible() const { return !ui->m_WifiTestBtn->isHidden(); }
bool RightBottomWidget::IsZoomAddVisible() const { return !ui->m_ZoomAddBtn->isHidden(); }
bool RightBottomWidget::IsZoomSubVisible() const { return !ui->m_ZoomSubBtn->isHidden(); }
bool RightBottomWidget::IsWifiSignalVisible() const { return !ui->m_WifiSignalTestBtn->isHidden(); }
bool RightBottomWidget::IsPtzVisible() const { return !ui->m_ptzWidget->isHidden(); }
bool RightBottomWidget::IsFunctionCodeTestVisible() const { return !ui->m_FunctionCodeTestBtn->isHidden(); }
bool RightBottomWidget::IsQRCodeCheckVisible() const { return !ui->m_QRCodeCheck->isHidden(); }
bool RightBottomWidget::IsFormatVisible() const { return !ui->m_FormatBtn->isHidden(); }
bool RightBottomWidget::IsPrintQRCodeVisible() const { return !ui->m_PrintQRCodeBtn->isHidden(); }
bool RightBottomWidget::Is4GTestVisible() const { return !ui->m_4GTest->isHidden(); }
bool RightBottomWidget::IsBindDevVisible() const { return !ui->m_btnBindDev->isHidden(); }
bool RightBottomWidget::IsSwitchSensorVisible() const { return !ui->m_btnSwitchSensor->isHidden(); }

bool RightBottomWidget::IsItemVisible(int item) const
{
    switch (item) {
    case EnumClass::MANUAL_TRUMPET: return IsTrumpetVisible();
    case EnumClass::MANUAL_MIC_TEST: return IsMicTestVisible();
    case EnumClass::MANUAL_AUDIO_ALARM_TEST: return IsAudioAlarmTestVisible();
    case EnumClass::MANUAL_UPLOAD_ALARM_FILE: return IsUploadAlarmFileVisible();
    case EnumClass::MANUAL_FOCUS_ADD: return IsFocusAddVisible();
    case EnumClass::MANUAL_FOCUS_SUB: return IsFocusSubVisible();
    case EnumClass::MANUAL_RTC: return IsSyncTimeVisible();
    case EnumClass::MANUAL_OPEN_WHITE_LIGHT: return IsWhiteLightVisible();
    case EnumClass::MANUAL_APER_ADD: return IsAperAddVisible();
    case EnumClass::MANUAL_APER_SUB: return IsAperSubVisible();
    case EnumClass::MANUAL_RESTORE_FACTORY: return IsRestoreFactoryVisible();
    case EnumClass::MANUAL_HUMAN_ALARM_IO: return IsHumanAlarmIOVisible();
    case EnumClass::MANUAL_DAY_MODE: return IsDayModelVisible();
    case EnumClass::MANUAL_NIGHT_MODE: return IsNightModelVisible();
    case EnumClass::MANUAL_WIFI_TEST: return IsWifiTestVisible();
    case EnumClass::MANUAL_ZOOM_ADD: return IsZoomAddVisible();
    case EnumClass::MANUAL_ZOOM_SUB: return IsZoomSubVisible();
    case EnumClass::MANUAL_WIFI_SIGNAL_TEST: return IsWifiSignalVisible();
    case EnumClass::MANUAL_UP:
    case EnumClass::MANUAL_DOWN:
    case EnumClass::MANUAL_LEFT:
    case EnumClass::MANUAL_RIGHT:
    case EnumClass::MANUAL_SPEED_CHANGE:
    case EnumClass::MANUAL_PTZ_RESET:
    case EnumClass::MANUAL_CALL_PRESET: return IsPtzVisible();
    case EnumClass::MANUAL_FUNCTION_CODE: return IsFunctionCodeTestVisible();
    case EnumClass::MANUAL_QRCODE_CHECK: return IsQRCodeCheckVisible();
    case EnumClass::MANUAL_FORMAT_SDCARD: return IsFormatVisible();
    case EnumClass::MANUAL_PRINT_QRCODE: return IsPrintQRCodeVisible();
    case EnumClass::MANUAL_4GTEST: return Is4GTestVisible();
    case EnumClass::MANUAL_BIND_DEV: return IsBindDevVisible();
    default: return true;
    }
}
