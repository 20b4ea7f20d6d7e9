#include "SysConfigWidget.h"
#include "ui_SysConfigWidget.h"

#include "AppGlobals.h"
#include "CConfigFile.h"
#include "DecodeModes.h"
#include "FileDialogHook.h"
#include "FunctionCodeSetting.h"
#include "LeftTopWidget.h"
#include "Log.h"
#include "ManualTestAutomation.h"
#include "ManualTestItemDisplayDlg.h"
#include "ModalHook.h"
#include "QRCodePrintSetting.h"
#include "ScreenArea.h"
#include "TestConfig.h"
#include "TestIpRange.h"
#include "VantrelEvent.h"
#include "WidgetHelpers.h"
#include "WifiSettingCheck.h"

#include <QCloseEvent>
#include <QIcon>
#include <QIntValidator>
#include <QLayout>
#include <QLocale>
#include <QMessageBox>
#include <QRegularExpression>
#include <QRegularExpressionValidator>
#include <QStringList>
#include <QTimer>
#include <QVector>

#include <initializer_list>

namespace {

// Each limit accepts exactly the range its placeholder and its message state:
// a text outside it would fail every camera in silence. ASCII digits only, as
// the judges' number conversion reads no other.
// -30 to -120.
const char kSignalPattern[] = "^-(3[0-9]|[4-9][0-9]|1[01][0-9]|120)$";
// 0.0 to 1.0, with up to six decimals as an order's value has.
const char kQualityPattern[] = "^(0(\\.[0-9]{1,6})?|1(\\.0{1,6})?)$";
// A 4G limit: any decimal number, which the 4G judge compares with.
const char k4GLimitPattern[] = "^-?[0-9]{1,6}(\\.[0-9]{1,6})?$";

// An integer validator that reads digits as the store's conversion does: a
// locale's group separator ("0,050") would pass as 50 and be saved as 0.
QIntValidator* PlainIntValidator(int bottom, int top, QObject* parent)
{
    auto* validator = new QIntValidator(bottom, top, parent);
    QLocale plain = QLocale::c();
    plain.setNumberOptions(QLocale::RejectGroupSeparator);
    validator->setLocale(plain);
    return validator;
}

QValidator* PatternValidator(const char* pattern, QObject* parent)
{
    return new QRegularExpressionValidator(QRegularExpression(pattern), parent);
}

// Every setting the form edits is equal in both records.
bool SameEditedFields(const ConfigInfo& a, const ConfigInfo& b)
{
    const SystemConfig& sa = a.m_SystemConfig;
    const SystemConfig& sb = b.m_SystemConfig;
    return a.m_UIVerion.bUseVersion == b.m_UIVerion.bUseVersion && a.m_UIVerion.strVersion == b.m_UIVerion.strVersion
        && sa.SSID == sb.SSID && sa.Password == sb.Password && sa.WifiSignal == sb.WifiSignal
        && sa.WifiQuality == sb.WifiQuality && a.m_WifiNet.iDurationTime == b.m_WifiNet.iDurationTime
        && a.m_WifiNet.iAveSpeed == b.m_WifiNet.iAveSpeed && sa.iTestMode == sb.iTestMode
        && sa.HardwareAccelMode == sb.HardwareAccelMode && sa.MultiThreadDecode == sb.MultiThreadDecode
        && a.m_FullOsd.bAutoTest == b.m_FullOsd.bAutoTest && a.m_FullOsd.bManualTest == b.m_FullOsd.bManualTest
        && a.m_FullOsd.bVersionInfo == b.m_FullOsd.bVersionInfo && a.m_Tips.bVesionInfo == b.m_Tips.bVesionInfo
        && a.m_AutoTest.bRTC == b.m_AutoTest.bRTC && a.m_AutoTest.bPTZ == b.m_AutoTest.bPTZ
        && a.m_AutoTest.bWifiSignal == b.m_AutoTest.bWifiSignal
        && a.m_AutoTest.bFunctionCode == b.m_AutoTest.bFunctionCode && a.m_AutoTest.bTFCard == b.m_AutoTest.bTFCard
        && a.m_IpSection.StartIp == b.m_IpSection.StartIp && a.m_IpSection.EndIP == b.m_IpSection.EndIP
        && a.m_IpSection.bUseIpSection == b.m_IpSection.bUseIpSection
        && a.m_PrintQrCode.bAutoPrint == b.m_PrintQrCode.bAutoPrint
        && a.m_PrintQrCode.bCheckQRCode == b.m_PrintQrCode.bCheckQRCode
        && a.m_PrintConfigFilePath == b.m_PrintConfigFilePath && a.m_Config4G.Signal4G == b.m_Config4G.Signal4G
        && a.m_Config4G.Quality4G == b.m_Config4G.Quality4G && a.m_Config4G.SoftVersion == b.m_Config4G.SoftVersion
        && a.m_LightMode.bUseLightModeTest == b.m_LightMode.bUseLightModeTest
        && a.m_LightMode.iLightMode == b.m_LightMode.iLightMode;
}

// A value that names no item leaves the box as it is (a saved -1 would follow).
void SetComboIndex(QComboBox* combo, int index, const char* key)
{
    if (index >= 0 && index < combo->count()) {
        combo->setCurrentIndex(index);
        return;
    }
    LogPrint(LOG_GENERAL, "SysConfigWidget: %s=%d names no choice of %s, the choice stays", key, index,
             qPrintable(combo->objectName()));
}

// Box i is checked exactly when the comma-separated list holds the number i + 1.
void CheckByList(const QString& list, std::initializer_list<QCheckBox*> boxes)
{
    const QStringList parts = list.split(',');   // empty parts kept
    int number = 1;
    for (QCheckBox* box : boxes)
        box->setChecked(parts.contains(QString::number(number++)));
}

}  // namespace

SysConfigWidget::SysConfigWidget(QWidget* receiver)
    : QWidget(receiver)
    , ui(std::make_unique<Ui::SysConfigWidget>())
    , m_receiver(receiver)
{
    ui->setupUi(this);
    setWindowFlags(Qt::Dialog);
    setWindowTitle(tr("System Settings"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    InitForm();
    PlaceWindow();
    CConfigFile::GetInstance()->GetConfigInfo(m_config);
    LoadWidgets();
    CreateEditors();
    ConnectSignals();
    onUserVersionCheck_StateChanged(ui->ckb_UseVersion->checkState());
    onIPSectionStateChanged(ui->ckb_IPSection->checkState());
    ApplyDecodeRule(ui->cmb_HardAccel->currentIndex());
    LogStoredLimitsRefused();
}

SysConfigWidget::~SysConfigWidget() = default;

void SysConfigWidget::InitForm()
{
    setWindowModality(Qt::ApplicationModal);
    ui->le_DurationTime->setValidator(PlainIntValidator(0, 100, this));
    ui->le_AveSpeed->setValidator(PlainIntValidator(0, 100, this));
    ui->le_TestMode->setValidator(PlainIntValidator(0, 1, this));
    ui->le_Signal->setValidator(PatternValidator(kSignalPattern, this));
    ui->le_Quality->setValidator(PatternValidator(kQualityPattern, this));
    ui->le_4GSignal->setValidator(PatternValidator(k4GLimitPattern, this));
    ui->le_4GQuality->setValidator(PatternValidator(k4GLimitPattern, this));
    ui->le_Signal->setPlaceholderText(tr("Range:-30~-120"));
    ui->le_Quality->setPlaceholderText(tr("Range:0.0~1.0"));
    ShowTipsText(ui->lb_Tips, QString());
    // A refused Wi-Fi network's reason is longer than the bar is wide.
    ui->lb_Tips->setWordWrap(true);
    for (QLineEdit* edit : {ui->le_DurationTime, ui->le_AveSpeed, ui->le_SSID, ui->le_Password, ui->le_TestMode,
                            ui->le_Version, ui->le_Signal, ui->le_Quality})
        edit->setContextMenuPolicy(Qt::NoContextMenu);

    ui->cmb_HardAccel->addItems({tr("Software Decode"), tr("Hardware Decode")});
    ui->cmb_HardAccel->setCurrentIndex(0);
    ui->cmb_MultiThreadDecode->addItems({tr("Disabled"), tr("Enable")});
    ui->cmb_MultiThreadDecode->setCurrentIndex(0);
    ui->cmb_LightMode->addItems({tr("Ordinary infrared lamp board"), tr("PWM White light board"),
                                 tr("PMW Warm light panel"), tr("PWM infrared lamp board"),
                                 tr("Ordinary infrared_White light board"), tr("PWM infrared_White light board"),
                                 tr("PWM infrared_Warm light panel")});

    m_closeTimer = new QTimer(this);
    m_closeTimer->setSingleShot(true);
    m_closeTimer->setInterval(CLOSE_DELAY_MS);
    connect(m_closeTimer, &QTimer::timeout, this, &SysConfigWidget::onCloseWidget);
}

void SysConfigWidget::PlaceWindow()
{
    FitToArea();
    int screenWidth = 0;
    int screenHeight = 0;
    GetScreenGeometry(screenWidth, screenHeight);
    const QPoint centred((screenWidth - FORM_WIDTH) / 2, (screenHeight - height()) / 2 - 30);
    move(ScreenArea::Clamp(QRect(centred, FrameSize())));
    setWindowIcon(QIcon(AppDirPath() + "/Skin/mw_configA"));
}

void SysConfigWidget::FitToArea()
{
    // With a font wider than the form was drawn for, its rows need more height
    // than the fixed size; the form takes it as far as the area the task bar
    // leaves allows with the window's title bar.
    const QRect area = ScreenArea::Available();
    int height = qMax(FORM_HEIGHT, layout() ? layout()->minimumSize().height() : 0);
    if (!area.isEmpty())
        height = qMin(height, area.height() - ScreenArea::FrameHeight(this));
    setFixedSize(FORM_WIDTH, height);
}

QSize SysConfigWidget::FrameSize() const
{
    return QSize(width(), height() + ScreenArea::FrameHeight(this));
}

void SysConfigWidget::CreateEditors()
{
    if (!m_pManualTestAutomation)
        m_pManualTestAutomation = new ManualTestAutomation(this);
    if (!m_pFunctionCodeSetting)
        m_pFunctionCodeSetting = new FunctionCodeSetting(this);
    if (!m_pQRCodePrintSetting)
        m_pQRCodePrintSetting = new QRCodePrintSetting(this);
    if (!m_pManualTestItemDisplayDlg)
        m_pManualTestItemDisplayDlg = new ManualTestItemDisplayDlg(this);
}

void SysConfigWidget::ConnectSignals()
{
    connect(ui->m_btnManualAutomation, &QPushButton::clicked, this, &SysConfigWidget::onSetManualTestAutomation);
    connect(ui->btn_FunctionCodeSet, &QPushButton::clicked, this, &SysConfigWidget::onFunctionCodeSetBtnClicked);
    connect(ui->btn_QRCodeConfig, &QPushButton::clicked, this, &SysConfigWidget::onQRCodeBtnClicked);
    connect(ui->btn_ManualTestItemDisplay, &QPushButton::clicked, this,
            &SysConfigWidget::onManualTestItemDisplayBtnClicked);
    connect(ui->btn_Save, &QPushButton::clicked, this, &SysConfigWidget::onSaveBtnClicked);
    connect(ui->ckb_UseVersion, &QCheckBox::stateChanged, this, &SysConfigWidget::onUserVersionCheck_StateChanged);
    connect(ui->ckb_IPSection, &QCheckBox::stateChanged, this, &SysConfigWidget::onIPSectionStateChanged);
    connect(ui->btn_browsPrintPath, &QPushButton::clicked, this, &SysConfigWidget::onBrowseBtnClicked);
    connect(ui->cmb_HardAccel, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &SysConfigWidget::onHardwareAccel_currentIndexChanged);
}

void SysConfigWidget::SetController(LeftTopWidget* controller)
{
    m_controller = controller;
    m_pFunctionCodeSetting->SetController(controller);
    m_pManualTestAutomation->SetController(controller);
}

// ---------------------------------------------------------------------------
// Widgets and the configuration record

void SysConfigWidget::LoadWidgets()
{
    const ConfigInfo& c = m_config;
    const SystemConfig& s = c.m_SystemConfig;
    ui->le_DurationTime->setText(QString::number(c.m_WifiNet.iDurationTime));
    ui->le_AveSpeed->setText(QString::number(c.m_WifiNet.iAveSpeed));
    ui->le_Signal->setText(s.WifiSignal);
    ui->le_Quality->setText(s.WifiQuality);
    ui->le_SSID->setText(s.SSID);
    ui->le_Password->setText(s.Password);
    ui->le_TestMode->setText(QString::number(s.iTestMode));
    SetComboIndex(ui->cmb_HardAccel, s.HardwareAccelMode, "CONFIG/HardwareAccelMode");
    SetComboIndex(ui->cmb_MultiThreadDecode, s.MultiThreadDecode, "CONFIG/MultiThreadDecode");
    ui->le_4GSignal->setText(c.m_Config4G.Signal4G);
    ui->le_4GQuality->setText(c.m_Config4G.Quality4G);
    ui->le_4GSoftVer->setText(c.m_Config4G.SoftVersion);
    ui->ckb_UseVersion->setChecked(c.m_UIVerion.bUseVersion);
    ui->le_Version->setText(c.m_UIVerion.strVersion);
    ui->m_ckbVesionInfoTips->setChecked(c.m_Tips.bVesionInfo);
    ui->m_ckbAutomaticTest->setChecked(c.m_FullOsd.bAutoTest);
    ui->m_ckbManualTest->setChecked(c.m_FullOsd.bManualTest);
    ui->m_ckbVersionInfo->setChecked(c.m_FullOsd.bVersionInfo);
    ui->m_ckbRTC_Test->setChecked(c.m_AutoTest.bRTC);
    ui->m_ckbPTZ_Test->setChecked(c.m_AutoTest.bPTZ);
    ui->m_ckbWifiSignal_Test->setChecked(c.m_AutoTest.bWifiSignal);
    ui->m_ckbFunctionCode_Test->setChecked(c.m_AutoTest.bFunctionCode);
    ui->m_ckbTFCard_Test->setChecked(c.m_AutoTest.bTFCard);
    ui->ckb_IPSection->setChecked(c.m_IpSection.bUseIpSection);
    ui->le_StartIP->setText(c.m_IpSection.StartIp);
    ui->le_EndIP->setText(c.m_IpSection.EndIP);
    ui->ckb_LightMode->setChecked(c.m_LightMode.bUseLightModeTest);
    SetComboIndex(ui->cmb_LightMode, c.m_LightMode.iLightMode, "LIGHT_MODE/iLightMode");
    ui->ckb_QRCode->setChecked(c.m_PrintQrCode.bAutoPrint);
    ui->ckb_CheckQRCode->setChecked(c.m_PrintQrCode.bCheckQRCode);
    ui->le_PrintConfigPath->setText(c.m_PrintConfigFilePath);
    HardwareDecodeMode = s.HardwareAccelMode;
    MultiThreadDecodeMode = s.MultiThreadDecode;
}

void SysConfigWidget::StoreWidgets(ConfigInfo& c) const
{
    SystemConfig& s = c.m_SystemConfig;
    c.m_WifiNet.iDurationTime = ui->le_DurationTime->text().toInt();
    c.m_WifiNet.iAveSpeed = ui->le_AveSpeed->text().toInt();
    s.WifiSignal = ui->le_Signal->text();
    s.WifiQuality = ui->le_Quality->text();
    s.SSID = ui->le_SSID->text();
    s.Password = ui->le_Password->text();
    s.iTestMode = ui->le_TestMode->text().toInt();
    s.HardwareAccelMode = ui->cmb_HardAccel->currentIndex();
    s.MultiThreadDecode = ui->cmb_MultiThreadDecode->currentIndex();
    c.m_Config4G.Signal4G = ui->le_4GSignal->text();
    c.m_Config4G.Quality4G = ui->le_4GQuality->text();
    c.m_Config4G.SoftVersion = ui->le_4GSoftVer->text();
    c.m_UIVerion.bUseVersion = ui->ckb_UseVersion->isChecked();
    c.m_UIVerion.strVersion = ui->le_Version->text();
    c.m_Tips.bVesionInfo = ui->m_ckbVesionInfoTips->isChecked();
    c.m_FullOsd.bAutoTest = ui->m_ckbAutomaticTest->isChecked();
    c.m_FullOsd.bManualTest = ui->m_ckbManualTest->isChecked();
    c.m_FullOsd.bVersionInfo = ui->m_ckbVersionInfo->isChecked();
    c.m_AutoTest.bRTC = ui->m_ckbRTC_Test->isChecked();
    c.m_AutoTest.bPTZ = ui->m_ckbPTZ_Test->isChecked();
    c.m_AutoTest.bWifiSignal = ui->m_ckbWifiSignal_Test->isChecked();
    c.m_AutoTest.bFunctionCode = ui->m_ckbFunctionCode_Test->isChecked();
    c.m_AutoTest.bTFCard = ui->m_ckbTFCard_Test->isChecked();
    c.m_IpSection.bUseIpSection = ui->ckb_IPSection->isChecked();
    c.m_IpSection.StartIp = ui->le_StartIP->text();
    c.m_IpSection.EndIP = ui->le_EndIP->text();
    c.m_LightMode.bUseLightModeTest = ui->ckb_LightMode->isChecked();
    c.m_LightMode.iLightMode = ui->cmb_LightMode->currentIndex();
    c.m_PrintQrCode.bAutoPrint = ui->ckb_QRCode->isChecked();
    c.m_PrintQrCode.bCheckQRCode = ui->ckb_CheckQRCode->isChecked();
    c.m_PrintConfigFilePath = ui->le_PrintConfigPath->text();
}

// ---------------------------------------------------------------------------
// Operations for the main window and the controller

void SysConfigWidget::ShowWidget()
{
    m_closeTimer->stop();
    ui->lb_Tips->clear();
    // Once shown, the frame's real height is known: the form keeps to the area with it.
    FitToArea();
    move(ScreenArea::Clamp(QRect(pos(), FrameSize())));
    show();
}

void SysConfigWidget::SetEditable(bool editable)
{
    for (QWidget* part : {static_cast<QWidget*>(ui->group_WIFI), static_cast<QWidget*>(ui->le_TestMode),
                          static_cast<QWidget*>(ui->group_4G), static_cast<QWidget*>(ui->group_Version),
                          static_cast<QWidget*>(ui->group_FullOSD), static_cast<QWidget*>(ui->group_AutoTest),
                          static_cast<QWidget*>(ui->group_FunctionCodeSet),
                          static_cast<QWidget*>(ui->group_ManualItemDispSet),
                          static_cast<QWidget*>(ui->group_LightMode), static_cast<QWidget*>(ui->ckb_QRCode),
                          static_cast<QWidget*>(ui->ckb_CheckQRCode),
                          static_cast<QWidget*>(ui->m_btnManualAutomation)})
        part->setEnabled(editable);
}

void SysConfigWidget::SetHardwareDecode(int mode)
{
    if (mode != 0 && mode != 1) {
        LogPrint(LOG_GENERAL, "SysConfigWidget::SetHardwareDecode() mode=%d is no decode mode, nothing changed", mode);
        return;
    }
    ui->cmb_HardAccel->setCurrentIndex(mode);
    ApplyDecodeRule(mode);
    const int multiThread = ui->cmb_MultiThreadDecode->currentIndex();
    // Play ports opened from now on use the new mode, whatever the file says.
    HardwareDecodeMode = mode;
    MultiThreadDecodeMode = multiThread;
    m_config.m_SystemConfig.HardwareAccelMode = mode;
    m_config.m_SystemConfig.MultiThreadDecode = multiThread;

    CConfigFile* store = CConfigFile::GetInstance();
    ConfigInfo stored;
    store->GetConfigInfo(stored);
    SystemConfig system = stored.m_SystemConfig;
    system.HardwareAccelMode = mode;
    system.MultiThreadDecode = multiThread;
    if (store->WriteConfig(system) != 0) {
        m_bWritePending = true;
        LogPrint(LOG_GENERAL, "SysConfigWidget::SetHardwareDecode() mode=%d could not be written to config.ini", mode);
        return;
    }
    LogPrint(LOG_INFO, "SysConfigWidget::SetHardwareDecode() HardwareAccelMode=%d, MultiThreadDecode=%d", mode,
             multiThread);
    PostToReceiver(WM_CONFIG_SAVED, 0, 0);
}

int SysConfigWidget::ApplyTestConfig(const TestConfig& config)
{
    ui->le_DurationTime->setText(QString::number(config.wifi_test_time));
    ui->le_AveSpeed->setText(QString::number(config.wifi_average_speed));
    ui->le_Signal->setText(QString::number(config.wifi_signal_Level));
    ui->le_TestMode->setText(QString::number(config.test_pattern));
    ui->le_4GSignal->setText(QString::number(config.signal_4g));
    ui->le_Quality->setText(QString::number(double(config.wifi_signal_quality), 'g', 6));
    ui->le_4GQuality->setText(QString::number(double(config.quality_4g), 'g', 6));
    ui->le_4GSoftVer->setText(config.soft_version_4g);
    ui->ckb_UseVersion->setChecked(config.is_version_check != 0);
    ui->le_Version->setText(config.config_version);
    ui->m_ckbVesionInfoTips->setChecked(config.is_prompted_mismatch != 0);
    // The order's own values are saved as they are, without the operator's checks.
    TrustCurrentTexts();

    ApplyOrderLists(config);
    ui->ckb_LightMode->setChecked(config.is_lamp_plate_type_check != 0);
    SetComboIndex(ui->cmb_LightMode, config.check_lamp_plate_type, "check_lamp_plate_type");
    ui->ckb_QRCode->setChecked(config.is_auto_print_qrcode != 0);
    ui->ckb_CheckQRCode->setChecked(config.is_auto_check_qrcode != 0);
    if (m_pManualTestAutomation)
        m_pManualTestAutomation->ApplyServerConfig(config.is_manual_auto_test, config.ma_config_name,
                                                   config.stepLists);
    ApplyOrderAutoBeginRun(config.is_manual_auto_test != 0);
    SetEditable(false);
    RunSaveSequence();
    return 0;
}

void SysConfigWidget::ApplyOrderLists(const TestConfig& config)
{
    CheckByList(config.full_osd_show_info, {ui->m_ckbAutomaticTest, ui->m_ckbManualTest, ui->m_ckbVersionInfo});
    CheckByList(config.auto_test_info, {ui->m_ckbRTC_Test, ui->m_ckbPTZ_Test, ui->m_ckbWifiSignal_Test,
                                        ui->m_ckbFunctionCode_Test, ui->m_ckbTFCard_Test});
    if (m_pFunctionCodeSetting)
        ParseFunctionCodeList(m_pFunctionCodeSetting, config.check_func_code);
    if (m_pManualTestItemDisplayDlg)
        m_pManualTestItemDisplayDlg->ApplyServerItemDisplay(config.ma_item_display);
}

void SysConfigWidget::ApplyOrderAutoBeginRun(bool autoBeginRun)
{
    // The scripts editor has just stored the order's script: only the switch
    // changes, the rest of the group is the store's as it is now.
    CConfigFile* store = CConfigFile::GetInstance();
    ConfigInfo stored;
    store->GetConfigInfo(stored);
    ManualAutoTestConfig manual = stored.m_ManualAutoTest;
    manual.bAutoBeginRun = autoBeginRun;
    if (store->WriteManualAutoTest(manual) != 0)
        LogPrint(LOG_GENERAL, "SysConfigWidget::ApplyTestConfig() bAutoBeginRun could not be written to config.ini");
}

// ---------------------------------------------------------------------------
// Save

QVector<QLineEdit*> SysConfigWidget::LimitEdits() const
{
    return {ui->le_DurationTime, ui->le_AveSpeed, ui->le_TestMode, ui->le_Signal,
            ui->le_Quality,      ui->le_4GSignal, ui->le_4GQuality};
}

void SysConfigWidget::TrustCurrentTexts()
{
    for (const QLineEdit* edit : LimitEdits())
        m_trustedTexts.insert(edit, edit->text());
}

void SysConfigWidget::LogStoredLimitsRefused() const
{
    for (const QLineEdit* edit : LimitEdits()) {
        if (!edit->text().isEmpty() && IsMissing(edit))
            LogPrint(LOG_GENERAL, "SysConfigWidget: config.ini gives %s '%s', outside its range; a Save asks for another",
                     qPrintable(edit->objectName()), qPrintable(edit->text()));
    }
}

bool SysConfigWidget::IsMissing(const QLineEdit* edit) const
{
    QString text = edit->text();
    if (text.isEmpty())
        return true;
    const QValidator* validator = edit->validator();
    if (!validator)
        return false;
    const auto trusted = m_trustedTexts.constFind(edit);
    if (trusted != m_trustedTexts.cend() && trusted.value() == text)
        return false;
    int position = 0;
    return validator->validate(text, position) != QValidator::Acceptable;
}

QString SysConfigWidget::FirstFailedCheck() const
{
    struct Check {
        bool failed;
        const char* message;
    };
    const bool ipRange = ui->ckb_IPSection->isChecked();
    const Check checks[] = {
        {ui->ckb_UseVersion->isChecked() && ui->le_Version->text().isEmpty(), QT_TR_NOOP("Version empty input!")},
        {ui->le_SSID->text().isEmpty(), QT_TR_NOOP("SSID empty input!")},
        {ui->le_Password->text().isEmpty(), QT_TR_NOOP("Password empty input!")},
        // An empty field keeps its own message; a filled one out of its range says the range.
        {ui->le_DurationTime->text().isEmpty(), QT_TR_NOOP("DurationTime empty input!")},
        {IsMissing(ui->le_DurationTime), QT_TR_NOOP("DurationTime must be 0 to 100!")},
        {ui->le_AveSpeed->text().isEmpty(), QT_TR_NOOP("AveSpeed empty input!")},
        {IsMissing(ui->le_AveSpeed), QT_TR_NOOP("AveSpeed must be 0 to 100!")},
        {ui->le_TestMode->text().isEmpty(), QT_TR_NOOP("TestMode empty input!")},
        {IsMissing(ui->le_TestMode), QT_TR_NOOP("TestMode must be 0 or 1!")},
        {ui->le_Signal->text().isEmpty(), QT_TR_NOOP("wifi Signal empty input!")},
        {IsMissing(ui->le_Signal), QT_TR_NOOP("wifi Signal must be -30 to -120!")},
        {ui->le_Quality->text().isEmpty(), QT_TR_NOOP("wifi Quality empty input!")},
        {IsMissing(ui->le_Quality), QT_TR_NOOP("wifi Quality must be 0.0 to 1.0!")},
        {ui->le_4GSignal->text().isEmpty(), QT_TR_NOOP("4G Signal empty input!")},
        {IsMissing(ui->le_4GSignal), QT_TR_NOOP("4G Signal must be a number!")},
        {ui->le_4GQuality->text().isEmpty(), QT_TR_NOOP("4G Quality empty input!")},
        {IsMissing(ui->le_4GQuality), QT_TR_NOOP("4G Quality must be a number!")},
        {ipRange && (ui->le_StartIP->text().isEmpty() || ui->le_EndIP->text().isEmpty()),
         QT_TR_NOOP("start ip or end ip is empty")},
    };
    for (const Check& check : checks) {
        if (check.failed)
            return tr(check.message);
    }
    return RangeProblem();
}

QString SysConfigWidget::RangeProblem() const
{
    if (!ui->ckb_IPSection->isChecked())
        return QString();
    return TestIpRange::Problem(ui->le_StartIP->text(), ui->le_EndIP->text());
}

void SysConfigWidget::RefuseSave(const QString& why)
{
    m_closeTimer->stop();
    ShowTipsText(ui->lb_Tips, why);
    LogPrint(LOG_GENERAL, "SysConfigWidget::onSaveBtnClicked() not saved: %s", qPrintable(why));
}

void SysConfigWidget::RunSaveSequence()
{
    CConfigFile* store = CConfigFile::GetInstance();
    store->GetConfigInfo(m_config);
    // The network goes to config.ini and to every camera, in either mode:
    // a value that can't is refused here, with its reason.
    const QString wifiProblem = WifiSettingProblem(ui->le_SSID->text(), ui->le_Password->text());
    if (!wifiProblem.isEmpty()) {
        RefuseSave(wifiProblem);
        return;
    }
    // The whole-machine mode writes what the order set, unchecked; but an order
    // never sets the address range, and a range the search cannot use would
    // skip every camera.
    if (WholeMachineTestMode.load()) {
        const QString range = RangeProblem();
        if (!range.isEmpty()) {
            RefuseSave(range);
            return;
        }
    } else {
        ui->lb_Tips->clear();
        const QString failed = FirstFailedCheck();
        if (!failed.isEmpty()) {
            RefuseSave(failed);
            return;
        }
        ConfigInfo edited = m_config;
        StoreWidgets(edited);
        if (!m_bWritePending && SameEditedFields(edited, m_config)) {
            ShowTipsText(ui->lb_Tips, tr("Save succeed!"));
            m_closeTimer->start();
            return;
        }
    }
    StoreWidgets(m_config);
    CurrentPrintConfigPath = m_config.m_PrintConfigFilePath;
    if (store->SaveAll(m_config) != 0) {
        m_bWritePending = true;
        m_closeTimer->stop();
        LogPrint(LOG_GENERAL, "SysConfigWidget::onSaveBtnClicked() the settings could not be written to config.ini");
        ShowTipsText(ui->lb_Tips, tr("Save failed!"));
        return;
    }
    m_bWritePending = false;
    TrustCurrentTexts();
    HardwareDecodeMode = m_config.m_SystemConfig.HardwareAccelMode;
    MultiThreadDecodeMode = m_config.m_SystemConfig.MultiThreadDecode;
    PostToReceiver(WM_CONFIG_SAVED, 0, 0);
    ShowTipsText(ui->lb_Tips, tr("Save succeed!"));
    m_closeTimer->start();
}

// ---------------------------------------------------------------------------
// Slots

void SysConfigWidget::onSaveBtnClicked()
{
    RunSaveSequence();
}

void SysConfigWidget::onCloseWidget()
{
    PostToReceiver(WM_CONFIG_CLOSED, 0, 1);
    close();
}

void SysConfigWidget::closeEvent(QCloseEvent* event)
{
    PostToReceiver(WM_CONFIG_CLOSED, 0, 1);
    QWidget::closeEvent(event);
}

void SysConfigWidget::onUserVersionCheck_StateChanged(int state)
{
    ui->le_Version->setEnabled(state != Qt::Unchecked);
    ui->m_ckbVesionInfoTips->setEnabled(state != Qt::Unchecked);
}

void SysConfigWidget::onIPSectionStateChanged(int state)
{
    ui->le_StartIP->setEnabled(state != Qt::Unchecked);
    ui->le_EndIP->setEnabled(state != Qt::Unchecked);
}

void SysConfigWidget::onHardwareAccel_currentIndexChanged(int index)
{
    ApplyDecodeRule(index);
}

void SysConfigWidget::ApplyDecodeRule(int hardwareIndex)
{
    // Hardware decoding goes with multi-thread decoding off and locked.
    const bool software = hardwareIndex == 0;
    ui->cmb_MultiThreadDecode->setCurrentIndex(software ? 1 : 0);
    ui->lb_MultiThradDecode->setEnabled(software);
    ui->cmb_MultiThreadDecode->setEnabled(software);
}

void SysConfigWidget::onBrowseBtnClicked()
{
    const QString path = FileDialogHook::GetOpenFileName(this, tr("select print config file"),
                                                         AppDirPath() + "/PrintConfig/", "*ini");
    if (path.isEmpty())
        return;
    ui->le_PrintConfigPath->setText(path);
    CurrentPrintConfigPath = path;
}

void SysConfigWidget::onPrintConfigClose()
{
    ui->le_PrintConfigPath->setText(CurrentPrintConfigPath);
}

void SysConfigWidget::onRefreshManualTestItemUIEimtShot()
{
    PostToReceiver(WM_CONFIG_SAVED, 0, 0);
}

bool SysConfigWidget::MayOpenEditor(QWidget* editor)
{
    if (!editor || !m_receiver || !m_controller)
        return false;
    if (!m_controller->IsManualAutoTesting())
        return true;
    QMessageBox box(QMessageBox::Information, tr("Error"), tr("it is being automated test, please wait"),
                    QMessageBox::Ok, this);
    ModalHook::Exec(&box);
    return false;
}

void SysConfigWidget::onSetManualTestAutomation()
{
    if (!MayOpenEditor(m_pManualTestAutomation))
        return;
    m_pManualTestAutomation->LoadConfig();
    m_pManualTestAutomation->show();
}

void SysConfigWidget::onFunctionCodeSetBtnClicked()
{
    if (!MayOpenEditor(m_pFunctionCodeSetting))
        return;
    m_pFunctionCodeSetting->LoadFunctionCodes();
    m_pFunctionCodeSetting->show();
}

void SysConfigWidget::onQRCodeBtnClicked()
{
    CurrentPrintConfigPath = ui->le_PrintConfigPath->text();
    if (!MayOpenEditor(m_pQRCodePrintSetting))
        return;
    m_pQRCodePrintSetting->show();
    m_pQRCodePrintSetting->LoadCurrentConfig();
}

void SysConfigWidget::onManualTestItemDisplayBtnClicked()
{
    if (!MayOpenEditor(m_pManualTestItemDisplayDlg))
        return;
    m_pManualTestItemDisplayDlg->show();
    m_pManualTestItemDisplayDlg->LoadFlags();
}

void SysConfigWidget::PostToReceiver(int code, qint64 word1, qint64 word2)
{
    PostVantrelEvent(m_receiver.data(), code, word1, word2);
}
