#pragma once

#include "DevInfoListsTestPeer.h"
#include "LeftTopWidget.h"

#include <utility>

// Calls name(args...) of the controller itself (static: of its class).
#define LEFT_TOP_WIDGET_PEER_CALL(name)                                                                               \
    template <typename... Args>                                                                                       \
    decltype(auto) name(Args&&... args)                                                                               \
    {                                                                                                                 \
        return m_self.name(std::forward<Args>(args)...);                                                              \
    }
#define LEFT_TOP_WIDGET_PEER_STATIC_CALL(name)                                                                        \
    template <typename... Args>                                                                                       \
    static decltype(auto) name(Args&&... args)                                                                        \
    {                                                                                                                 \
        return LeftTopWidget::name(std::forward<Args>(args)...);                                                      \
    }

// The controller's private steps and state that tests (and the fuzz drivers)
// drive or check, under the members' own names. Each use builds a fresh set
// of references.
class LeftTopWidgetTestPeer {
public:
    explicit LeftTopWidgetTestPeer(LeftTopWidget& widget)
        : m_self(widget),
          m_host(widget.m_host),
          m_AutoSteps(widget.m_AutoSteps),
          m_bCurDevAlive(widget.m_bCurDevAlive),
          UploadFailureCount(widget.UploadFailureCount),
          m_iUploadDone(widget.m_iUploadDone),
          m_lLastCount(widget.m_lLastCount),
          m_lCurrentCount(widget.m_lCurrentCount),
          m_lCurrentChannel(widget.m_lCurrentChannel),
          m_bWifiThroughputBegun(widget.m_bWifiThroughputBegun),
          m_bManualTipShown(widget.m_bManualTipShown),
          m_bManalAutoTesting(widget.m_bManalAutoTesting),
          m_bAutoUpgradeConfig(widget.m_bAutoUpgradeConfig),
          m_strConfigFilePath(widget.m_strConfigFilePath),
          m_strSYS_CFG_MD5(widget.m_strSYS_CFG_MD5),
          m_strHW_CFG_MD5(widget.m_strHW_CFG_MD5),
          m_iManualFunctionCode(widget.m_iManualFunctionCode),
          m_iManualTFCard(widget.m_iManualTFCard),
          m_dwWifiStartTick(widget.m_dwWifiStartTick),
          m_bSupportSensorSwitch(widget.m_bSupportSensorSwitch),
          m_bSupportRestore(widget.m_bSupportRestore),
          m_bHwCfgInfoIot(widget.m_bHwCfgInfoIot),
          m_strLightModeName(widget.m_strLightModeName),
          m_Dev4GInfo(widget.m_Dev4GInfo),
          m_iAuthorizeReplyStatus(widget.m_iAuthorizeReplyStatus),
          m_iAuthorizationStatus(widget.m_iAuthorizationStatus),
          m_strAuthorizeUUID(widget.m_strAuthorizeUUID),
          m_strAuthorizeKey(widget.m_strAuthorizeKey),
          m_strCustomMac(widget.m_strCustomMac),
          m_bTestNormal(widget.m_bTestNormal),
          m_bManualObservationTestNormal(widget.m_bManualObservationTestNormal),
          m_bManualAutoStopRequest(widget.m_bManualAutoStopRequest),
          m_pManualAutoTimer(widget.m_pManualAutoTimer),
          m_pWaitTimer(widget.m_pWaitTimer),
          m_strOrderNumber(widget.m_strOrderNumber),
          m_strCountryCity(widget.m_strCountryCity),
          m_strLogoFileSavePath(widget.m_strLogoFileSavePath),
          m_iCustomMac(widget.m_iCustomMac),
          m_bAutoPlay(widget.m_bAutoPlay),
          m_bLockParameter(widget.m_bLockParameter),
          m_strHostMac(widget.m_strHostMac),
          m_szLocalMac(widget.m_szLocalMac),
          m_strToolVersion(widget.m_strToolVersion),
          m_lstTelecomOperators(widget.m_lstTelecomOperators),
          m_pCheckQRCodeDlg(widget.m_pCheckQRCodeDlg),
          m_bCheckQRCodeDlgOpen(widget.m_bCheckQRCodeDlgOpen),
          m_pQRCodePrintSetting(widget.m_pQRCodePrintSetting),
          m_pVideoTimer(widget.m_pVideoTimer),
          m_pHintBox(widget.m_pHintBox)
    {
    }

    // Run state and workers.
    LEFT_TOP_WIDGET_PEER_CALL(onBeginRunBtnClicked)
    LEFT_TOP_WIDGET_PEER_CALL(IsRunning)
    LEFT_TOP_WIDGET_PEER_CALL(IsStopping)
    LEFT_TOP_WIDGET_PEER_CALL(Workers)
    LEFT_TOP_WIDGET_PEER_CALL(HandOffs)
    LEFT_TOP_WIDGET_PEER_CALL(CurrentIP)
    LEFT_TOP_WIDGET_PEER_CALL(ConfigFilePathText)
    LEFT_TOP_WIDGET_PEER_CALL(AlarmFilePathText)
    LEFT_TOP_WIDGET_PEER_CALL(SetDevLoginStatus)

    // Search cycle and ID service.
    LEFT_TOP_WIDGET_PEER_CALL(RunSearchCycle)
    LEFT_TOP_WIDGET_PEER_CALL(LoginSearchDevs)
    LEFT_TOP_WIDGET_PEER_CALL(GetNotUseIP)
    LEFT_TOP_WIDGET_PEER_CALL(PostIdServiceRequest)

    // The automatic chain, its judges and its result lines.
    LEFT_TOP_WIDGET_PEER_CALL(dealBeginTestAutoItem)
    LEFT_TOP_WIDGET_PEER_CALL(BeginChain)
    LEFT_TOP_WIDGET_PEER_CALL(Chain)
    LEFT_TOP_WIDGET_PEER_CALL(IsChainCurrent)
    LEFT_TOP_WIDGET_PEER_CALL(StartStep)
    LEFT_TOP_WIDGET_PEER_STATIC_CALL(StepTimeoutMs)
    LEFT_TOP_WIDGET_PEER_CALL(KillAllStepTimers)
    LEFT_TOP_WIDGET_PEER_CALL(WaitWithEventLoop)
    LEFT_TOP_WIDGET_PEER_CALL(ChannelSwitchDoneLater)
    LEFT_TOP_WIDGET_PEER_CALL(SensorSwitchDoneLater)
    LEFT_TOP_WIDGET_PEER_CALL(AutoTestSN)
    LEFT_TOP_WIDGET_PEER_CALL(AutoModifyMac)
    LEFT_TOP_WIDGET_PEER_CALL(AutoTestFinish)
    LEFT_TOP_WIDGET_PEER_CALL(onTimerSerialNumber)
    LEFT_TOP_WIDGET_PEER_CALL(onTimerCheckFunctionCode)
    LEFT_TOP_WIDGET_PEER_CALL(JudgeAutoWifiSignal)
    LEFT_TOP_WIDGET_PEER_CALL(JudgeTestModel)
    LEFT_TOP_WIDGET_PEER_CALL(IsSpecialModel)
    LEFT_TOP_WIDGET_PEER_CALL(IsTestResultPass)
    LEFT_TOP_WIDGET_PEER_STATIC_CALL(GetOperatorByICCID)
    LEFT_TOP_WIDGET_PEER_CALL(AddAutoTestItem)
    LEFT_TOP_WIDGET_PEER_CALL(SetFunctionCodeResultText)
    LEFT_TOP_WIDGET_PEER_CALL(SetWifiSignalResultText)

    // The auxiliary thread and its jobs.
    LEFT_TOP_WIDGET_PEER_CALL(PostAuxJob)
    LEFT_TOP_WIDGET_PEER_CALL(MakeAuxJobContext)
    LEFT_TOP_WIDGET_PEER_CALL(SetAuxJobBody)
    LEFT_TOP_WIDGET_PEER_CALL(StopAuxThread)
    LEFT_TOP_WIDGET_PEER_CALL(PostQRCodeJob)
    LEFT_TOP_WIDGET_PEER_CALL(Post4GJob)
    LEFT_TOP_WIDGET_PEER_CALL(PostBindJob)
    LEFT_TOP_WIDGET_PEER_CALL(PostAuthorizeJob)
    LEFT_TOP_WIDGET_PEER_CALL(PostTalkJob)
    LEFT_TOP_WIDGET_PEER_CALL(dealStartAduioOk)
    LEFT_TOP_WIDGET_PEER_STATIC_CALL(do4GDevInfoTest)
    LEFT_TOP_WIDGET_PEER_STATIC_CALL(DoPrintQRCodeJob)
    LEFT_TOP_WIDGET_PEER_STATIC_CALL(DoCheckQRCodeJob)
    LEFT_TOP_WIDGET_PEER_STATIC_CALL(DoBindDevJob)
    LEFT_TOP_WIDGET_PEER_STATIC_CALL(DoAuthorizeCheckJob)
    LEFT_TOP_WIDGET_PEER_STATIC_CALL(CheckTuyaAuthorizeCodeInfoMatch)
    LEFT_TOP_WIDGET_PEER_STATIC_CALL(GetIndentifyCode)
    LEFT_TOP_WIDGET_PEER_STATIC_CALL(SetTalkFramePauseMs)

    // The QR label, the submission and the order.
    LEFT_TOP_WIDGET_PEER_CALL(onQRCodePrintEmit)
    LEFT_TOP_WIDGET_PEER_CALL(onQRCodeCheckSignalEmit)
    LEFT_TOP_WIDGET_PEER_CALL(slot_RefreshOrderInfo)

    // Play, the stream-test thread and the manual items.
    LEFT_TOP_WIDGET_PEER_CALL(slotUpdateView)
    LEFT_TOP_WIDGET_PEER_CALL(slotVideoTestTimeout)
    LEFT_TOP_WIDGET_PEER_CALL(SwitchToSecondChannel)
    LEFT_TOP_WIDGET_PEER_CALL(RetirePlay)
    LEFT_TOP_WIDGET_PEER_CALL(ExecuteImageStreamTestThread)
    LEFT_TOP_WIDGET_PEER_CALL(StopManualAutomation)
    LEFT_TOP_WIDGET_PEER_CALL(ShowBeginManualTestTip)
    LEFT_TOP_WIDGET_PEER_CALL(ManualBindDev)
    LEFT_TOP_WIDGET_PEER_CALL(ManualPrintQRCode)
    LEFT_TOP_WIDGET_PEER_CALL(ManualQRCodeCheck)
    LEFT_TOP_WIDGET_PEER_CALL(ManualTestUploadAlarmFile)

    // The controller as its stream-test thread sees it.
    StreamTestWorker::Controller& StreamTestSide() { return m_self; }
    // The stream-test thread sees controller instead; before the thread starts.
    void UseStreamTestController(StreamTestWorker::Controller& controller)
    {
        m_self.m_streamTest = m_self.NewStreamTest(controller);
    }

private:
    LeftTopWidget& m_self;

public:
    ControllerHost*& m_host;
    AutoStepSlot (&m_AutoSteps)[AUTO_STEP_COUNT];
    std::atomic<bool>& m_bCurDevAlive;
    std::atomic<int32_t>& UploadFailureCount;
    std::atomic<int32_t>& m_iUploadDone;
    std::atomic<int64_t>& m_lLastCount;
    std::atomic<int64_t>& m_lCurrentCount;
    std::atomic<int64_t>& m_lCurrentChannel;
    std::atomic<bool>& m_bWifiThroughputBegun;
    std::atomic<bool>& m_bManualTipShown;
    std::atomic<bool>& m_bManalAutoTesting;
    std::atomic<bool>& m_bAutoUpgradeConfig;
    QString& m_strConfigFilePath;
    QString& m_strSYS_CFG_MD5;
    QString& m_strHW_CFG_MD5;
    int& m_iManualFunctionCode;
    int& m_iManualTFCard;
    uint32_t& m_dwWifiStartTick;
    bool& m_bSupportSensorSwitch;
    bool& m_bSupportRestore;
    bool& m_bHwCfgInfoIot;
    QString& m_strLightModeName;
    Dev4GInfo& m_Dev4GInfo;
    int& m_iAuthorizeReplyStatus;
    int& m_iAuthorizationStatus;
    QString& m_strAuthorizeUUID;
    QString& m_strAuthorizeKey;
    QString& m_strCustomMac;
    bool& m_bTestNormal;
    bool& m_bManualObservationTestNormal;
    bool& m_bManualAutoStopRequest;
    QTimer*& m_pManualAutoTimer;
    QTimer*& m_pWaitTimer;
    QString& m_strOrderNumber;
    QString& m_strCountryCity;
    QString& m_strLogoFileSavePath;
    int& m_iCustomMac;
    bool& m_bAutoPlay;
    bool& m_bLockParameter;
    QString& m_strHostMac;
    char (&m_szLocalMac)[128];
    QString& m_strToolVersion;
    QStringList& m_lstTelecomOperators;
    QPointer<CheckQRCodeDlg>& m_pCheckQRCodeDlg;
    bool& m_bCheckQRCodeDlgOpen;
    QPointer<QDialog>& m_pQRCodePrintSetting;
    JTimer*& m_pVideoTimer;
    QMessageBox*& m_pHintBox;
};

#undef LEFT_TOP_WIDGET_PEER_CALL
#undef LEFT_TOP_WIDGET_PEER_STATIC_CALL

inline LeftTopWidgetTestPeer Peer(LeftTopWidget& widget)
{
    return LeftTopWidgetTestPeer(widget);
}

// The controller's device lists' private state.
inline DevInfoListsTestPeer Lists(LeftTopWidget& widget)
{
    return DevInfoListsTestPeer(widget.Lists());
}
