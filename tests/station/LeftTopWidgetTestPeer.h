#pragma once

#include "DevInfoListsTestPeer.h"
#include "LeftTopWidget.h"

// The controller's private state that tests set up or check, under the
// members' own names. Each use builds a fresh set of references.
class LeftTopWidgetTestPeer {
public:
    explicit LeftTopWidgetTestPeer(LeftTopWidget& widget)
        : m_self(widget),
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

    // The controller's own functions.
    bool PostQRCodeJob(uint32_t message, int source) { return m_self.PostQRCodeJob(message, source); }
    void Post4GJob(bool chainWaits) { m_self.Post4GJob(chainWaits); }
    void PostBindJob() { m_self.PostBindJob(); }
    void PostAuthorizeJob() { m_self.PostAuthorizeJob(); }
    bool PostTalkJob(AuxResponsePtr status) { return m_self.PostTalkJob(std::move(status)); }
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

inline LeftTopWidgetTestPeer Peer(LeftTopWidget& widget)
{
    return LeftTopWidgetTestPeer(widget);
}

// The controller's device lists' private state.
inline DevInfoListsTestPeer Lists(LeftTopWidget& widget)
{
    return DevInfoListsTestPeer(widget.Lists());
}
