// Result lines, the judges' verdicts on the chain's camera, the video judges,
// the version prompt and the pass rule. The verdicts themselves are ItemJudges.
#include "LeftTopWidget.h"
#include "EntryField.h"

#include "AppGlobals.h"
#include "ControllerHost.h"
#include "DevChecks.h"
#include "ItemJudges.h"
#include "JTimer.h"
#include "Log.h"
#include "ModalHook.h"
#include "ReplyFields.h"
#include "RightBottomWidget.h"
#include "VersionInfoTips.h"
#include "VideoForm.h"

#include <QCoreApplication>

#include <cstring>

void LeftTopWidget::AddAutoTestItem(const QString& strText, bool bNormal)
{
    if (!bNormal) {
        m_bTestNormal = false;
        LogPrint(LOG_INFO, "######### AddAutoTestItem() m_bTestNormal = false , strText = %s ##########",
                 strText.toUtf8().constData());
    }
    VideoForm* pane = GetCurVideoForm();
    if (!pane)
        return;
    if (RightBottomWidget* panel = m_host->GetManualPanel())
        panel->AddAutoTestResult(strText, bNormal ? 1 : 0);
    pane->SetTestResultText(VideoForm::RESULT_AUTO, strText, bNormal);
}

void LeftTopWidget::JudgeTestModel(const DevTypeInfo& info)
{
    const char* failure = TestModelMismatchText(info.eType, CurrentTestType.load());
    if (failure) {
        AddAutoTestItem(QCoreApplication::translate("LeftTopWidget", failure), false);
        LogPrint(LOG_INFO, "LeftTopWidget::JudgeTestModel() model test failed !");
        return;
    }
    LogPrint(LOG_INFO, "LeftTopWidget::JudgeTestModel() model test success !");
}

bool LeftTopWidget::IsDevTypeSupportPrint()
{
    const DevTypeInfo info = m_lists.CurrentDevType();
    LogPrint(LOG_INFO,
             "#########LeftTopWidget::IsDevTypeSupportPrint(), m_SvrRetDevTypeInfo.eTypeDevMainType=%d, "
             "m_SvrRetDevTypeInfo.eType = %d#########",
             info.eTypeDevMainType, info.eType);
    return DevTypeSupportsPrint(info);
}

int LeftTopWidget::IsSpecialModel()
{
    int result = -1;
    QByteArray model;
    // Checked and written under one hold of the lock: a device the stream-test
    // thread put in meanwhile keeps its own model.
    m_lists.UpdateCurrentDevice(m_lists.CurrentLoginHandle(), [&](DevInfo& dev) {
        result = DeriveSpecialModel(dev, &model);
        if (result == 0)
            SetResultText(dev.szModel, model.constData());
    });
    return result;
}

void LeftTopWidget::ApplyVerdict(const JudgeVerdict& verdict, int32_t DevTestResult::*field)
{
    if (field)
        m_lists.UpdateCurrentDevice(m_lists.CurrentLoginHandle(),
                                    [&](DevInfo& dev) { dev.TestRuslut.*field = verdict.result; });
    for (const JudgeLine& line : verdict.lines)
        AddAutoTestItem(line.text, line.normal);
}

void LeftTopWidget::onTimerSerialNumber()
{
    const DevInfo dev = m_lists.CurrentDevice();
    ApplyVerdict(JudgeSerialNumber(Field(dev.TestRuslut.dev_sn), Field(dev.ipcEntry.ipc_sn)),
                 &DevTestResult::sn_result);
}

bool LeftTopWidget::ShowVersionPrompt(const QString& configured, const QString& device)
{
    VersionInfoTips tips(this);
    tips.SetConfigVersion(configured);
    tips.SetEquipVersion(device);
    tips.InitUI();
    return ModalHook::Exec(&tips) == QDialog::Accepted;
}

void LeftTopWidget::onTimerCheckVersion()
{
    if (!GetCurVideoForm())
        return;
    const DevInfo dev = m_lists.CurrentDevice();
    const QString version = QString::fromLatin1(Field(dev.szFirmwareVersion));
    const ConfigInfo config = ConfigSnapshot();
    const VersionVerdict verdict =
        JudgeVersion(version, config.m_UIVerion, config.m_Tips.bVesionInfo, WholeMachineTestMode.load());
    if (verdict.prompt) {
        const ChainToken token = m_chain;
        ShowVersionPrompt(config.m_UIVerion.strVersion, version);
        // The prompt's loop may have seen the next camera's event 1020.
        if (!IsChainCurrent(token)) {
            LogPrint(LOG_INFO, "LeftTopWidget::onTimerCheckVersion() the chain of SN=%s ended during the prompt",
                     token.sn.constData());
            return;
        }
    }
    VideoForm* pane = GetCurVideoForm();
    if (!pane)
        return;
    if (config.m_UIVerion.bUseVersion)
        pane->SetTestResultText(VideoForm::RESULT_VERSION, version, verdict.result == 1);
    for (const JudgeLine& line : verdict.lines)
        AddAutoTestItem(line.text, line.normal);
    m_lists.UpdateCurrentDevice(m_lists.CurrentLoginHandle(), [&](DevInfo& d) {
        SetResultText(d.TestRuslut.m_szVersion, Field(dev.szFirmwareVersion).constData());
        SetResultText(d.TestRuslut.m_szDeviceIdentify, Field(dev.szDeviceIdentify).constData());
        SetResultText(d.TestRuslut.m_szModel, Field(dev.szModel).constData());
        d.TestRuslut.m_iTestVersion = verdict.result;
    });
}

void LeftTopWidget::onTimerCheckFunctionCode()
{
    const DevInfo dev = m_lists.CurrentDevice();
    m_lists.UpdateCurrentDevice(m_lists.CurrentLoginHandle(), [&](DevInfo& d) {
        SetResultText(d.TestRuslut.authorized_func_code, Field(dev.szFuncCode).constData());
        SetResultText(d.TestRuslut.support_func_code, Field(dev.szSupportFuncCode).constData());
    });
    const ConfigInfo config = ConfigSnapshot();
    const JudgeVerdict verdict =
        JudgeFunctionCode(dev.iRetCode, Field(dev.szFuncCode), Field(dev.szSupportFuncCode), config.m_FunCode);
    ApplyVerdict(verdict, &DevTestResult::func_code_result);
    if (m_iManualFunctionCode == 1)
        SetFunctionCodeResultText(verdict.lines.value(0).text, verdict.result == 1);
}

void LeftTopWidget::JudgeAutoWifiSignal()
{
    const ConfigInfo config = ConfigSnapshot();
    if (!config.m_AutoTest.bWifiSignal)
        return;
    const DevInfo dev = m_lists.CurrentDevice();
    ApplyVerdict(JudgeWifiSignal(Field(dev.szSignalLevel), Field(dev.szQuality), config.m_SystemConfig),
                 &DevTestResult::wifi_signal_result);
}

void LeftTopWidget::JudgeLightModeStep(bool replied)
{
    int mode = 0;
    m_lists.ReadCurrentDevice([&](const DevInfo& dev) { mode = dev.iLightMode; });
    ApplyVerdict(JudgeLightMode(replied, mode, m_strLightModeName, ConfigSnapshot().m_LightMode),
                 &DevTestResult::lamp_panel_result);
}

void LeftTopWidget::JudgeCustomizationStep(AutoStep step)
{
    struct Item {
        CustomItem item;
        int32_t DevTestResult::*field;
        int failureCode;                 // its mark in customized_items_result
    };
    Item item{CustomItem::Logo, &DevTestResult::custom_logo_result, CUSTOM_LOGO_FAILURE};
    if (step == STEP_COUNTRY_CITY)
        item = {CustomItem::CountryCity, &DevTestResult::custom_country_result, CUSTOM_COUNTRY_CITY_FAILURE};
    else if (step == STEP_CUSTOM_MAC)
        item = {CustomItem::Mac, &DevTestResult::custom_mac_result, CUSTOM_MAC_FAILURE};
    const JudgeVerdict verdict = JudgeCustomization(item.item, m_lists.CurrentDevice().TestRuslut.*item.field);
    if (verdict.result == 1) {
        ApplyVerdict(verdict, nullptr);
        return;
    }
    // Nothing sent, no answer or a refusal: the record fails as the screen does.
    ApplyVerdict(verdict, item.field);
    AppendCustomizedItemsResult(item.failureCode);
}

void LeftTopWidget::JudgeTFCardStep(bool chainWaits)
{
    const DevInfo dev = m_lists.CurrentDevice();
    const DevTestResult& r = dev.TestRuslut;
    // After a successful format: the card's sizes go to the panel.
    RightBottomWidget* panel = m_host ? m_host->GetManualPanel() : nullptr;
    if (m_iManualTFCard == 1 && m_iTFCardReading == 1 && panel)
        panel->SetSDCardInfo(tr("card capacity:%1GB").arg(r.card_info), tr("card space:%1GB").arg(r.card_remain_space));
    // The chain's step gets its verdict also when a format's reading ran on it.
    if (chainWaits)
        ApplyVerdict(JudgeTFCard(r.tf_card_result, r.card_info), &DevTestResult::tf_card_result);
}

void LeftTopWidget::SetFunctionCodeResultText(const QString& text, bool ok)
{
    VideoForm* pane = GetCurVideoForm();
    if (!pane)
        return;
    if (RightBottomWidget* panel = m_host->GetManualPanel())
        panel->SetFunctionCodeResult(text, ok);
    pane->SetTestResultText(VideoForm::RESULT_MANUAL, text, ok);
}

void LeftTopWidget::SetWifiSignalResultText(const QString& text, bool ok)
{
    VideoForm* pane = GetCurVideoForm();
    if (!pane)
        return;
    if (RightBottomWidget* panel = m_host->GetManualPanel())
        panel->SetWifiSignalResult(text, ok);
    pane->SetTestResultText(VideoForm::RESULT_MANUAL, text, ok);
}

void LeftTopWidget::slotUpdateView()
{
    if (!IsCurrentDevStopped())
        m_pVideoTimer->stop();
    int32_t DevTestResult::*field = &DevTestResult::m_iTestVideo;
    const char* text = QT_TR_NOOP("Video information:normal");
    if (m_lists.CurrentDevType().IsMultiChannel()) {
        const bool ball = m_lCurrentChannel.load() == 1;
        field = ball ? &DevTestResult::m_iTestVideo : &DevTestResult::video_result2;
        text = ball ? QT_TR_NOOP("Ball Video information:normal") : QT_TR_NOOP("Gun Video information:normal");
    }
    bool changed = false;
    m_lists.UpdateCurrentDevice(m_lists.CurrentLoginHandle(), [&](DevInfo& dev) {
        if (dev.TestRuslut.*field == 1)
            return;
        dev.TestRuslut.*field = 1;
        changed = true;
    });
    if (changed)
        AddAutoTestItem(tr(text), true);
}

void LeftTopWidget::slotVideoTestTimeout()
{
    int32_t DevTestResult::*field = &DevTestResult::m_iTestVideo;
    const char* text = QT_TR_NOOP("Video information:abnormal");
    if (m_lists.CurrentDevType().IsMultiChannel()) {
        const int64_t lens = m_lCurrentChannel.load();
        if (lens == 1) {
            text = QT_TR_NOOP("Ball Video information:abnormal");
        } else if (lens == 0) {
            field = &DevTestResult::video_result2;
            text = QT_TR_NOOP("Gun Video information:abnormal");
        } else {
            return;
        }
    }
    if (m_lists.UpdateCurrentDevice(m_lists.CurrentLoginHandle(), [&](DevInfo& dev) { dev.TestRuslut.*field = -1; }))
        AddAutoTestItem(tr(text), false);
}

bool LeftTopWidget::IsTestResultPass()
{
    const DevInfo dev = m_lists.CurrentDevice();
    return IsResultPass(dev.TestRuslut, m_lists.CurrentDevType().eType, ConfigSnapshot().m_AutoTest.bWifiSignal);
}
