// RightBottomWidget: which items show, and the grids that lay them out.
#include "RightBottomWidget.h"

#include "AppGlobals.h"
#include "EnumClass.h"
#include "TextFit.h"
#include "ui_RightBottomWidget.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QListView>
#include <QStyle>

namespace {

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

    // Place for a control that is shown; a hidden one takes no room.
    void PlaceShown(QGridLayout* grid, QWidget* widget, int rows, int cols, int lastRow, int colStep)
    {
        if (!widget->isHidden())
            Place(grid, widget, rows, cols, lastRow, colStep);
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

}  // namespace

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
        cur.PlaceShown(grid, ui->widget_Preset, 3, 2, n - 4, 1);
        cur.PlaceShown(grid, ui->m_AperAddBtn, 1, 1, n - 1, 1);
        cur.PlaceShown(grid, ui->m_AperSubBtn, 1, 1, n - 1, 1);
        cur.PlaceShown(grid, ui->m_ptzFocusWidget, 2, 2, n - 3, 2);
        cur.PlaceShown(grid, ui->m_ptzWidget, 4, 2, n - 4, 2);
    } else {
        QGridLayout* ptzGrid = NewGrid(ui->tab_ManualTestPTZItem, 3, 3);
        GridCursor ptz;
        if (!ui->widget_Preset->isHidden()) {
            ptzGrid->addWidget(ui->widget_Preset, 0, 0, 3, 4);
            ptz.row = 3;
        }
        ptz.PlaceShown(ptzGrid, ui->m_AperAddBtn, 1, 1, n - 1, 1);
        ptz.PlaceShown(ptzGrid, ui->m_AperSubBtn, 1, 1, n - 1, 1);
        ptz.PlaceShown(ptzGrid, ui->m_ptzFocusWidget, 2, 2, n - 2, 4);
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
