// The panel: option controls and their slots, layout, order configuration, boxes.
#include "LeftTopWidget.h"

#include "AppGlobals.h"
#include "HostAddressTable.h"
#include "Log.h"
#include "ModalHook.h"
#include "TextFit.h"
#include "TestConfig.h"
#include "VantrelEvent.h"
#include "ui_LeftTopWidget.h"

#include <QFile>
#include <QFileDialog>
#include <QMessageBox>

namespace {
constexpr int kTestTypeExtremeIpc = 4;
constexpr int kOrderTextMax = 63;
}  // namespace

void LeftTopWidget::InitNetworkCardBox()
{
    GetNetworkInfo();
    if (g_DifNetWorkcardIp[0].m_szLocalIpList[0][0] != '\0')
        SetLastUseIP(QByteArray(g_DifNetWorkcardIp[0].m_szLocalIpList[0]));
    for (const HostAddress& host : HostAddressList())
        ui->m_cbbNetworkCard->addItem("[" + host.address + "]" + "        [" + host.description + "]");
    connect(ui->m_cbbNetworkCard, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &LeftTopWidget::onIPTypeCurrentIndexChanged);
    onIPTypeCurrentIndexChanged(0);
}

void LeftTopWidget::InitDevTypeBox()
{
    ui->cbx_DevType->addItem(tr("wifi plug-in card"));
    ui->cbx_DevType->addItem(tr("wired plug-in card"));
    ui->cbx_DevType->addItem(tr("4G plug-in card"));
    ui->cbx_DevType->addItem(tr("Intelligent IPC"));
    ui->cbx_DevType->addItem(tr("Extreme IPC"));
    connect(ui->cbx_DevType, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &LeftTopWidget::onDevTypeCurrentIndexChanged);
    ui->cbx_DevType->setCurrentIndex(0);
}

void LeftTopWidget::InitComboBoxStyle()
{
    const int w = width();
    const int h = height();
    ui->btn_BeginRun->setGeometry(0, 5, 120, 30);
    ui->m_lbNetworkCard->setGeometry(124, 10, 30, 22);
    TextFit::Grow(ui->m_lbNetworkCard);
    // The box follows its caption and takes the rest of the row, so that the
    // address leads whole; a longer adapter name is cut, whole in the tooltip.
    const int boxX = ui->m_lbNetworkCard->geometry().right() + 4;
    ui->m_cbbNetworkCard->setGeometry(boxX, 10, qMax(0, w - 10 - boxX), 22);
    ui->m_cbbNetworkCard->setStyleSheet(QStringLiteral("QAbstractItemView{min-width:370px;height:200px}"));
    ui->group_ConfigItem->setGeometry(0, 37, w - 10, h - 50);
    // The rows start below the group's title, which a wider font makes taller.
    const int top = GroupRowShift();
    ui->check_LockParameter->setGeometry(10, 15 + top, 150, 16);
    ui->lb_DevType->setGeometry(10, 36 + top, 80, 22);
    ui->cbx_DevType->setGeometry(95, 36 + top, 150, 22);
    ui->check_AutoPlayVideo->setGeometry(10, 63 + top, 150, 16);
    ui->check_AutoUpgradeConfigFile->setGeometry(10, 84 + top, 150, 16);
    ui->lb_SelectConfigFile->setGeometry(10, 105 + top, 120, 22);
    ui->le_SelectConfigFile->setGeometry(10, 132 + top, w - 50, 22);
    PlaceBrowseButton(ui->btn_SelectConfigFile, 132 + top);
    for (QWidget* control :
         {static_cast<QWidget*>(ui->btn_BeginRun), static_cast<QWidget*>(ui->m_lbNetworkCard),
          static_cast<QWidget*>(ui->m_cbbNetworkCard), static_cast<QWidget*>(ui->group_ConfigItem),
          static_cast<QWidget*>(ui->check_LockParameter), static_cast<QWidget*>(ui->lb_DevType),
          static_cast<QWidget*>(ui->cbx_DevType), static_cast<QWidget*>(ui->check_AutoPlayVideo),
          static_cast<QWidget*>(ui->check_AutoUpgradeConfigFile), static_cast<QWidget*>(ui->lb_SelectConfigFile),
          static_cast<QWidget*>(ui->le_SelectConfigFile), static_cast<QWidget*>(ui->btn_SelectConfigFile)})
        control->show();
    const int groupRight = w - 20;
    for (QWidget* caption : {static_cast<QWidget*>(ui->check_LockParameter), static_cast<QWidget*>(ui->lb_DevType),
                             static_cast<QWidget*>(ui->check_AutoPlayVideo),
                             static_cast<QWidget*>(ui->check_AutoUpgradeConfigFile),
                             static_cast<QWidget*>(ui->lb_SelectConfigFile)})
        TextFit::Grow(caption, groupRight);

    QWidget* alarm[] = {ui->check_AutoUploadAudioWarnFile, ui->lb_SelectAudioFWarnFile, ui->le_SelectAudioWarnFile,
                        ui->btn_SelectAudioWarnFile};
    if (ui->cbx_DevType->currentIndex() == kTestTypeExtremeIpc) {
        ui->check_AutoUploadAudioWarnFile->setChecked(false);
        for (QWidget* control : alarm)
            control->hide();
        return;
    }
    ui->check_AutoUploadAudioWarnFile->setGeometry(10, 159 + top, 150, 16);
    ui->lb_SelectAudioFWarnFile->setGeometry(10, 180 + top, 120, 22);
    ui->le_SelectAudioWarnFile->setGeometry(10, 207 + top, w - 50, 22);
    PlaceBrowseButton(ui->btn_SelectAudioWarnFile, 207 + top);
    for (QWidget* control : alarm)
        control->show();
    TextFit::Grow(ui->check_AutoUploadAudioWarnFile, groupRight);
    TextFit::Grow(ui->lb_SelectAudioFWarnFile, groupRight);
}

int LeftTopWidget::NeededHeight() const
{
    // The group's last row, the group's frame below it, and the panel's 37
    // pixels above the group and 13 below it.
    const bool alarmRows = ui->cbx_DevType->currentIndex() != kTestTypeExtremeIpc;
    const int lastRowBottom = (alarmRows ? 207 : 132) + 22 + GroupRowShift();
    return lastRowBottom + ui->group_ConfigItem->contentsMargins().bottom() + 2 + 50;
}

int LeftTopWidget::GroupRowShift() const
{
    constexpr int kFirstRowTop = 15;
    return qMax(0, ui->group_ConfigItem->contentsMargins().top() - kFirstRowTop);
}

void LeftTopWidget::PlaceBrowseButton(QWidget* button, int y)
{
    // Right-aligned where the form puts it; wider when its "..." needs it.
    const int right = width() - 13;
    const int buttonWidth = qMax(22, TextFit::Needed(button).width());
    button->setGeometry(right - buttonWidth, y, buttonWidth, 22);
}

// ---------------------------------------------------------------------------
// Option controls

void LeftTopWidget::onAutoPlayVideostateChanged(int state)
{
    m_bAutoPlay = state != 0;
    if (m_bAutoPlay) {
        ui->check_AutoUpgradeConfigFile->setEnabled(true);
    } else {
        ui->check_AutoUpgradeConfigFile->setChecked(false);
        ui->check_AutoUpgradeConfigFile->setEnabled(false);
    }
    ApplyRunButtonState();
    PostToMainWindow(WM_AUTO_PLAY_CHANGED, m_bAutoPlay ? 1 : 0, 0);
}

void LeftTopWidget::onAutoUpgradeConfigFilestateChanged(int state)
{
    m_bAutoUpgradeConfig = state != 0;
    ui->le_SelectConfigFile->setEnabled(state != 0);
    ui->btn_SelectConfigFile->setEnabled(state != 0);
}

void LeftTopWidget::onAutoUploadAudioWarnFilestateChanged(int state)
{
    m_bAutoUploadAudio = state != 0;
    ui->le_SelectAudioWarnFile->setEnabled(state != 0);
    ui->btn_SelectAudioWarnFile->setEnabled(state != 0);
}

void LeftTopWidget::onLockParameterstateChanged(int state)
{
    m_bLockParameter = state != 0;
    if (!m_bLockParameter || ApplyingOrderConfig.load() || m_bApplyingConfig)
        return;
    QMessageBox box(QMessageBox::Warning, tr("Hint"),
                    tr("<font size='20' color='red'> When checked, the vendor custom parameter will be used as the "
                       "device default parameter, Custom configuration parameters remain after factory reset </font>"),
                    QMessageBox::Ok, this);
    box.setTextFormat(Qt::RichText);
    ModalHook::Exec(&box);
}

void LeftTopWidget::onDevTypeCurrentIndexChanged(int index)
{
    ui->check_AutoPlayVideo->setChecked(true);
    ui->check_AutoUpgradeConfigFile->setChecked(true);
    ui->check_AutoUploadAudioWarnFile->setChecked(true);
    ui->check_LockParameter->setChecked(false);
    CurrentTestType = index;
    PostToMainWindow(WM_TEST_TYPE_CHANGED, index, 0);
}

void LeftTopWidget::onIPTypeCurrentIndexChanged(int)
{
    const QString text = ui->m_cbbNetworkCard->currentText();
    const int open = text.indexOf(QLatin1Char('['));
    const int close = text.indexOf(QLatin1Char(']'));
    const QString address = (open >= 0 && close > open) ? text.mid(open + 1, close - open - 1) : QString();
    {
        std::lock_guard<ListLock> guard(m_lockCurrentIP);
        m_qstrCurrentIP = address;
    }
    SetLastUseIP(address.toLatin1());
}

QString LeftTopWidget::ChooseFile(const QString& filter)
{
    QFileDialog dialog(this, tr("Open"), QStringLiteral("."), filter);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setViewMode(QFileDialog::Detail);
    if (ModalHook::Exec(&dialog) != QDialog::Accepted)
        return QString();
    const QStringList files = dialog.selectedFiles();
    return files.isEmpty() ? QString() : files.first();
}

void LeftTopWidget::onSelectConfigFileBtnClicked()
{
    const QString path = ChooseFile(QStringLiteral("File(*.tgz);;All Files(*.*)"));
    if (!path.isEmpty())
        ui->le_SelectConfigFile->setText(path);
}

void LeftTopWidget::onSelectAudioWarnFileBtnClicked()
{
    const QString path = ChooseFile(QStringLiteral("File(*.pcm);;File(*.mp3);;All Files(*.*)"));
    if (!path.isEmpty())
        ui->le_SelectAudioWarnFile->setText(path);
}

void LeftTopWidget::onAddItemSignalEimt(QString strText, bool bNormal)
{
    AddAutoTestItem(strText, bNormal);
}

void LeftTopWidget::SetControlsEnabled(bool enable)
{
    for (QWidget* control :
         {static_cast<QWidget*>(ui->cbx_DevType), static_cast<QWidget*>(ui->check_AutoPlayVideo),
          static_cast<QWidget*>(ui->check_LockParameter), static_cast<QWidget*>(ui->check_AutoUpgradeConfigFile),
          static_cast<QWidget*>(ui->check_AutoUploadAudioWarnFile), static_cast<QWidget*>(ui->m_cbbNetworkCard),
          static_cast<QWidget*>(ui->le_SelectConfigFile), static_cast<QWidget*>(ui->le_SelectAudioWarnFile),
          static_cast<QWidget*>(ui->btn_SelectConfigFile), static_cast<QWidget*>(ui->btn_SelectAudioWarnFile)})
        control->setEnabled(enable);
    if (enable)
        ApplyOptionRules();
}

void LeftTopWidget::SetRunControlsEnabled(bool enable)
{
    for (QWidget* control :
         {static_cast<QWidget*>(ui->cbx_DevType), static_cast<QWidget*>(ui->check_LockParameter),
          static_cast<QWidget*>(ui->check_AutoPlayVideo), static_cast<QWidget*>(ui->check_AutoUpgradeConfigFile),
          static_cast<QWidget*>(ui->check_AutoUploadAudioWarnFile)})
        control->setEnabled(enable);
}

void LeftTopWidget::ApplyOptionRules()
{
    onAutoPlayVideostateChanged(ui->check_AutoPlayVideo->checkState());
    onAutoUpgradeConfigFilestateChanged(ui->check_AutoUpgradeConfigFile->checkState());
    onAutoUploadAudioWarnFilestateChanged(ui->check_AutoUploadAudioWarnFile->checkState());
}

bool LeftTopWidget::IsAlarmFileMissing() const
{
    return CurrentTestType.load() != kTestTypeExtremeIpc && m_bAutoUploadAudio && AlarmFilePathText().isEmpty();
}

int LeftTopWidget::CheckAutoUploadWarnFile()
{
    if (!IsAlarmFileMissing())
        return 0;
    ShowInformationBox(tr("Error"), tr("please select audio alarm file"));
    return -1;
}

int LeftTopWidget::ShowInformationBox(const QString& title, const QString& text)
{
    QMessageBox box(QMessageBox::Information, title, text, QMessageBox::Ok, this);
    return ModalHook::Exec(&box);
}

// ---------------------------------------------------------------------------
// Settings from the main window, the order and the panels

void LeftTopWidget::SetAutoBeginRun(bool autoBeginRun)
{
    std::lock_guard<ListLock> guard(m_lockConfig);
    m_IniCfgFile.m_ManualAutoTest.bAutoBeginRun = autoBeginRun;
}

void LeftTopWidget::SetFunctionCodeSelection(const int codes[FUNCODE_COUNT])
{
    std::lock_guard<ListLock> guard(m_lockConfig);
    for (int i = 0; i < FUNCODE_COUNT; ++i)
        m_IniCfgFile.m_FunCode[i] = codes[i];
}

void LeftTopWidget::SetManualAutomationList(const QStringList& steps)
{
    m_qstrlManualAutomation = steps;
}

void LeftTopWidget::SetExpectedVersion(const QString& version)
{
    if (version.isEmpty())
        return;
    std::lock_guard<ListLock> guard(m_lockConfig);
    m_IniCfgFile.m_UIVerion.strVersion = version;
}

void LeftTopWidget::SetVersionTipsEnabled(int on)
{
    std::lock_guard<ListLock> guard(m_lockConfig);
    m_IniCfgFile.m_Tips.bVesionInfo = on != 0;
}

void LeftTopWidget::SetCurrentCompany(const QString& companyId, const QString& customerName)
{
    m_strCurrentCompanyId = companyId;
    m_strCurrentCustomerName = customerName;
}

void LeftTopWidget::SetOrderDetail(const QString& orderNumber, const QString& moduleModel,
                                   const QString& cloudModuleAlias)
{
    m_strOrderNumber = orderNumber;
    m_strModuleModel = moduleModel.left(kOrderTextMax);
    m_strCloudModuleAlias = cloudModuleAlias.left(kOrderTextMax);
}

void LeftTopWidget::SetOrderCustomization(const QString& regions, const QString& logoPath, int customMac)
{
    m_strCountryCity = regions;
    m_strLogoFileSavePath = logoPath;
    m_iCustomMac = customMac;
}

int LeftTopWidget::ApplyTestConfig(const TestConfig& config, const QString& packagePath, const QString& alarmPath)
{
    m_bApplyingConfig = true;
    SetAutoBeginRun(config.is_manual_auto_test != 0);
    if (config.test_dev_type >= 0 && config.test_dev_type < ui->cbx_DevType->count()) {
        ui->cbx_DevType->setCurrentIndex(config.test_dev_type);
        CurrentTestType = config.test_dev_type;
    } else {
        LogPrint(LOG_GENERAL, "LeftTopWidget::ApplyTestConfig() test_dev_type=%d is no test type, the box stays",
                 config.test_dev_type);
    }
    ui->check_LockParameter->setChecked(config.lock_param != 0);
    ui->check_AutoPlayVideo->setChecked(config.auto_test_mode != 0);
    ui->check_AutoUpgradeConfigFile->setChecked(config.upload_config_file != 0);
    ui->check_AutoUploadAudioWarnFile->setChecked(config.upload_audio_alarm_file != 0);
    if (QFile::exists(packagePath))
        ui->le_SelectConfigFile->setText(packagePath);
    if (QFile::exists(alarmPath))
        ui->le_SelectAudioWarnFile->setText(alarmPath);
    for (QWidget* control :
         {static_cast<QWidget*>(ui->cbx_DevType), static_cast<QWidget*>(ui->check_LockParameter),
          static_cast<QWidget*>(ui->check_AutoPlayVideo), static_cast<QWidget*>(ui->check_AutoUpgradeConfigFile),
          static_cast<QWidget*>(ui->check_AutoUploadAudioWarnFile)})
        control->setEnabled(false);
    m_bApplyingConfig = false;
    return 0;
}
