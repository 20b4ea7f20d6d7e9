#pragma once

#include "AuxJobs.h"
#include "ConfigInfo.h"
#include "DevInfoLists.h"
#include "HandOffQueue.h"
#include "ManualTestController.h"
#include "SearchCycleWorker.h"
#include "StationWorkers.h"
#include "StreamTestWorker.h"
#include "TalkBackClaims.h"

#include <QMetaEnum>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QVector>
#include <QWidget>

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

class CheckQRCodeDlg;
class CommandBody;
struct JudgeVerdict;
class ControllerHost;
class JTimer;
class LeftBottomWidget;
class QDialog;
class QMessageBox;
class QTimer;
class QTimerEvent;
class RightBottomWidget;
class VideoForm;
struct AuxResponseInfo;
struct CustomizeItem;
struct FC_PacketInfo;
struct PC_FrameInfo;
struct PlayerStatusInfo;
struct TestConfig;

namespace Ui {
class LeftTopWidget;
}

// The step slots of the automatic chain, in chain order.
enum AutoStep : int {
    STEP_SN = 0,
    STEP_FACTORY_STATE,
    STEP_CAPABILITY,
    STEP_VERSION,
    STEP_DEV_TYPE,
    STEP_LIGHT_MODE,
    STEP_AUTHORIZE,
    STEP_FUNCTION_CODE,
    STEP_RTC,
    STEP_TF_CARD,
    STEP_WIFI_SIGNAL,
    STEP_4G,
    STEP_FORMAT,
    STEP_CUSTOM_MAC,
    STEP_COUNTRY_CITY,
    STEP_LOGO,
    AUTO_STEP_COUNT
};

// One automatic item in flight. The reply parsers set the flag, the step
// machine reads and clears it; all on the GUI thread but the stream-test
// thread's device-type flag, hence atomic.
struct AutoStepSlot {
    std::atomic<int32_t> iReplyFlag{0};  // 0 waiting, 1 reply stored (4G: 2 ask again)
    uint32_t dwStartTick = 0;            // Clock::TickMs at the send, low 32 bits
    int32_t iTimerId = 0;                // Qt timer id; 0 when none runs
    ChainToken token;                    // whose step it is (StartStep, BeginChain)
    // The step's judge has run: its reply, should one still come, is too late
    // and leaves the record as the judge wrote it. StartStep and a new chain clear it.
    bool bJudged = false;
    // The automatic chain goes on from this step when it ends, whoever started
    // the step last (a manual item may run on the same slot meanwhile).
    bool bChainWaits = false;
};

// The card's state reported by the back-end's SIM query.
struct SimState {
    int bind = 0;
    int is_vrl = 0;
    int card_status = 0;
    int is_locked = 0;
    int is_vrl2 = 0;
    int card_status2 = 0;
    int is_locked2 = 0;
    QString combo_name;
    int preferentialCheck = 0;
};

// The test station controller, also the panel at the top of the station's left
// column. One header; the member definitions live in one file per concern:
//   LeftTopWidget.cpp          construction, run state, events, destructor
//   LeftTopWidgetForm.cpp      the panel: option controls, layout, order configuration
//   LeftTopWidgetLists.cpp     login states of the device lists
//   LeftTopWidgetSearch.cpp    search cycle entry points (the cycle: SearchCycleWorker)
//   LeftTopWidgetPackage.cpp   configuration package check and upload
//   LeftTopWidgetIdService.cpp ID-service thread
//   LeftTopWidgetReplies.cpp   reply dispatch, parsers, status events
//   LeftTopWidgetChain.cpp     step machine, item commands, nested waits
//   LeftTopWidgetJudges.cpp    judges, result lines, pass rule
//   LeftTopWidgetJobs.cpp      auxiliary thread and its job mechanism
//   LeftTopWidgetProvision.cpp 4G / SIM, binding, authorization
//   LeftTopWidgetLabel.cpp     QR label print and check
//   LeftTopWidgetSubmit.cpp    result submission and order refresh
//   LeftTopWidgetStream.cpp    stream-test entry point (the thread: StreamTestWorker),
//                              manual results of the current record
//   LeftTopWidgetPlay.cpp      live play, decode path, player status
//   LeftTopWidgetTalk.cpp      speaker test talk-back
//   LeftTopWidgetManual.cpp    manual item handler
//   LeftTopWidgetManualRun.cpp manual automation run
//
// Threads: the GUI thread owns the widgets, timers and the chain; the search
// and stream-test threads run while the run flag is set; the auxiliary and
// ID-service threads run for the controller's life. StationWorkers owns and
// joins them. Workers reach the GUI thread only by posted events, queued
// signals and hand-offs (HandOffs()). Shared state is documented where it is
// declared: the device lists and current device in DevInfoLists (Lists()),
// the rest below.
class LeftTopWidget : public QWidget,
                      public ManualTestController,
                      private SearchCycleWorker::Controller,
                      private StreamTestWorker::Controller {
    Q_OBJECT

public:
    // host: the main window's services; null takes the parent when it offers them.
    explicit LeftTopWidget(QWidget* parent = nullptr, ControllerHost* host = nullptr);
    ~LeftTopWidget() override;

    void SetHost(ControllerHost* host);
    // The device lists, the current device (m_PlayInfo) and the device types,
    // shared with the worker threads behind their own locks.
    DevInfoLists& Lists() { return m_lists; }
    const DevInfoLists& Lists() const { return m_lists; }

    // ----- called by the main window and the panels (GUI thread) -----
    void SetFunctionCodeSelection(const int codes[FUNCODE_COUNT]);
    void SetExpectedVersion(const QString& version);
    void SetVersionTipsEnabled(int on);
    void SetCurrentCompany(const QString& companyId, const QString& customerName);
    void SetOrderDetail(const QString& orderNumber, const QString& moduleModel, const QString& cloudModuleAlias);
    void SetOrderCustomization(const QString& regions, const QString& logoPath, int customMac);
    int ApplyTestConfig(const TestConfig& config, const QString& packagePath, const QString& alarmPath);
    void SetConfig(const ConfigInfo& config);
    // A copy of the configuration the controller and its workers go by (any thread).
    ConfigInfo ConfigSnapshot() const override;
    VideoForm* GetCurVideoForm() const override;
    void SetControlsEnabled(bool enable);
    void SetRunControlsEnabled(bool enable);
    void StopRun();
    // Stops the run and ends the current device's play, whatever started it
    // (the run, or a double click in the device table): once it returns, no
    // library callback reaches that record or its pane. Whoever deletes the
    // pane or the controller calls it first (LeftTopWidgetPlay.cpp).
    void CloseStreams();
    // Lays the panel's controls out for its size.
    void InitComboBoxStyle();
    // The panel height its option group needs to hold every shown row whole.
    int NeededHeight() const;
    // -1 (box shown) when the alarm audio file is required and none is chosen, else 0.
    int CheckAutoUploadWarnFile();
    void ShowChildWindow(bool show);
    void RequestDevSN();
    // Plays the current device again on channel (-1, 0 or 1): playVideo's result.
    int SwitchChannel(int channel);
    // Posts WM_RESET_UI to the main window: the panels drop the last device's results.
    void SetResetUI();
    void SaveManualTestResult(const DevTestResult& result, const QVector<CustomizeItem>& items);
    void SetWifiTestRunning();
    void SetWifiTestFinished(qint64 word1, qint64 word2);
    // Consecutive failed submissions (any thread).
    int32_t UploadFailures() const { return UploadFailureCount.load(); }
    // Routed device events; each record goes with its event afterwards.
    void onStatusEvent(AuxResponseInfo* info);
    void onAuxResponse(AuxResponseInfo* info);
    void onPcStatusEvent(PlayerStatusInfo* info);

    // ManualTestController
    void dealManualTest(int item, qint64 param) override;
    void dealCallPreset(std::unique_ptr<PresetCallParam> param) override;
    void SetManualAutomationList(const QStringList& steps) override;
    void SetAutoBeginRun(bool autoBeginRun) override;
    bool IsManualAutoTesting() const override { return m_bManalAutoTesting.load(); }

    // ----- the device table (CDeviceManagement; GUI thread) -----
    void StartSearchDev(unsigned timeoutMs);
    void StopSearchDev();
    void GetAllSearachDevs();
    int LoginDev(DevInfo* dev);
    bool IsDevInSpecIpSegment(const DevInfo* dev);

    // ----- live play (LeftTopWidgetPlay.cpp) -----
    // Any thread. Both play or stop the current device only, under the
    // stream-list lock; dev is that device (&Lists().m_PlayInfo), null gives
    // -1. The GUI steps they leave run on the GUI thread (at once, or as a
    // hand-off).
    int playVideo(DevInfo* dev) override;
    int stopPlay(DevInfo* dev) override;
    // The SDK's stream callback and the play library's decode callback, on
    // their libraries' threads, with the record the play registered them for.
    static int RealDataCallBackFunc(int64_t realHandle, int dataType, const char* buffer, int size,
                                    const FC_PacketInfo* packet);
    static int DecDataCallBackFunc(int port, const PC_FrameInfo* frame, void* user);

signals:
    void addItemText(QString strText, bool bNormal);
    void sig_ThreadItemProcEnd(int iMsgItem, int iMsgSrcType);
    void QRCodePrint(QString strQRCode, QString strIndentityPart, QString strDevSN, QString strMac,
                     QString strIndentifyCode);
    void QRCodeCheckSignal(QString strQRCode, QString strIndentityPart);
    void signalGunBallDevice(bool isGunBall, int chanelIdx);
    void siganlBeginManulTest(bool begin);
    // The run, the current device or the chain changed; emitted on the GUI thread.
    void generationChanged();

public slots:
    // Also the main window's submission of the manual result panel.
    void slot_UploadCurrentDevTestResult() override;

private slots:
    void onBeginRunBtnClicked();
    void slot_RefreshOrderInfo() override;
    void onThreadItemProcEnd(int iMsgItem, int iMsgSrcType);
    void onQRCodePrintEmit(QString strQRCode, QString strIndentityPart, QString strDevSN, QString strMac,
                           QString strIndentifyCode);
    void onQRCodeCheckSignalEmit(QString strQRCode, QString strIndentityPart);
    void onCheckQRCodeSignalEimt(bool bSame);
    void slotUpdateView();
    void slotVideoTestTimeout();
    void onAutoPlayVideostateChanged(int state);
    void onAutoUpgradeConfigFilestateChanged(int state);
    void onAutoUploadAudioWarnFilestateChanged(int state);
    void onLockParameterstateChanged(int state);
    void onDevTypeCurrentIndexChanged(int index);
    void onIPTypeCurrentIndexChanged(int index);
    void onSelectConfigFileBtnClicked();
    void onSelectAudioWarnFileBtnClicked();
    void onAddItemSignalEimt(QString strText, bool bNormal);
    void onUploadDataNetworkAnomalies() override;
    void onTimerAutoTestWifiSignal();
    void onTimerManualTestWifiSignal();
    void onTimerManualAutoSignal();
    void onTimerWaitLastStop();

protected:
    void customEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

private:
    // ----- run state -----
    // Start (run flag set) or stop (clear) the automatic run: 0, or -1 when the
    // package failed to unpack. A stop joins the search and stream-test threads.
    int Run();
    bool IsRunning() const { return m_workers.RunFlag(); }
    // A stop whose joins are still outstanding (Begin Run stays disabled).
    bool IsStopping() const { return m_bStopping; }
    void ResetRunCounters();

    // ----- device lists (LeftTopWidgetLists.cpp) -----
    // Login state from a status event: 1 logged in, -1 connection failed.
    void SetDevLoginStatus(int64_t loginHandle, int64_t status);

    // ----- helpers of the automatic chain -----
    // Waits (nested event loop) for the first picture of the lens on screen, at
    // most 5000 ms. True when the run and the current device are still those
    // the wait began with.
    bool WaitWithEventLoop();
    void JudgeTestModel(const DevTypeInfo& info);
    bool IsDevTypeSupportPrint();
    // Model text of the current device from its version texts (DeriveSpecialModel).
    int IsSpecialModel();
    void AddAutoTestItem(const QString& strText, bool bNormal) override;
    void SetFunctionCodeResultText(const QString& text, bool ok);
    void SetWifiSignalResultText(const QString& text, bool ok);
    bool IsTestResultPass();
    static int GetOperatorByICCID(const QString& iccid);

    // ----- workers and hand-offs -----
    StationWorkers& Workers() { return m_workers; }
    HandOffQueue& HandOffs() { return m_handOffs; }
    // Posts job (MakeAuxJob) to the auxiliary thread with the context of this
    // moment (GUI thread). A post that fails (false) frees the job, as does a
    // job without a record.
    bool PostAuxJob(std::unique_ptr<AuxJobEnvelope> job, int source);
    AuxJobContext MakeAuxJobContext(int source) const;
    // Posts an ID-service request with its own copy of the address.
    bool PostIdServiceRequest(const QByteArray& ip);
    // A copy for workers: the chosen local address.
    QString CurrentIP() const override;
    // Text of the package path box.
    QString ConfigFilePathText() const;
    QString AlarmFilePathText() const;

    // ----- search cycle (LeftTopWidgetSearch.cpp; each hands over to SearchCycleWorker) -----
    void ExecuteAutoSearchDevThread();
    // One cycle of the search thread (search, re-address, log in, package
    // check and upload, hand-over); false once the run flag cleared during it.
    // Tests run it from a thread of their own with the run flag set.
    bool RunSearchCycle();
    void LoginSearchDevs();
    int GetNotUseIP(char* outIP, const char* localIP);
    void WaitSearchDevsLoginReturn(unsigned timeoutMs);

    // ----- configuration package (LeftTopWidgetPackage.cpp) -----
    void GetConfigFileCheckNum(DevInfo* dev);
    void GetSearchDevsConfigFileCheck() override;
    void WaitSearchDevsConfigFileCheckReturn(unsigned timeoutMs) override;
    void WaitSearchDevsUploadConfigFileFinishReturn(unsigned timeoutMs) override;
    // After the check wait: matching devices go to the ready list, differing ones get the package.
    void DealSearchDevsConfigFileCheck() override;

    // ----- ID service (LeftTopWidgetIdService.cpp) -----
    void ExecuteGetIDServiceThread();

    // ----- replies (LeftTopWidgetReplies.cpp) -----
    void dealBeginTestAutoItem();
    void dealUploadFileFinish(int msgCode, AuxResponseInfo* info);
    void dealGetSysVersion(int msgCode, AuxResponseInfo* info);
    void dealGetSnInfo(int msgCode, AuxResponseInfo* info);
    void dealGetDevType(int msgCode, AuxResponseInfo* info);
    void dealGetTFCard(int msgCode, AuxResponseInfo* info);
    void dealFormatSDCard(int msgCode, AuxResponseInfo* info);
    void dealGetLightMode(int msgCode, AuxResponseInfo* info);
    void dealGetRTC(int msgCode, AuxResponseInfo* info);
    void dealGetConfigFileCheckNum(int msgCode, AuxResponseInfo* info);
    void dealGetWifiSignal(int msgCode, AuxResponseInfo* info);
    void dealGet4GDevInfo(int msgCode, AuxResponseInfo* info);
    void dealGetFuntionCodeCheck(int msgCode, AuxResponseInfo* info);
    void dealGetAuthorizeCodeInfo(int msgCode, AuxResponseInfo* info);
    // Appends a failed customisation code to customized_items_result.
    void AppendCustomizedItemsResult(int code);

    // ----- automatic chain (LeftTopWidgetChain.cpp) -----
    // A new chain for the current camera (event 1020, before dealBeginTestAutoItem):
    // a new generation, every slot stamped with it, the previous camera's
    // custom MAC, authorization words, UUID and key emptied, and the device
    // type this camera reported taken (else the default). A channel switch of
    // the same camera must not make a new current device: that ends its chain.
    void BeginChain();
    // The chain in progress and the token of this moment.
    const ChainToken& Chain() const { return m_chain; }
    ChainToken CurrentChainToken() const;
    // True while token's chain, camera and run are those of now. Every tick,
    // single shot, job end and return from a nested loop of the chain asks first.
    bool IsChainCurrent(const ChainToken& token) const;
    // Starts a step (also for the manual items): clears its reply flag, stamps
    // it with the token of now, remembers the tick and starts its poll timer
    // (pollMs 0: the step's own, 100 ms; 4G 1000 ms). A step the chain waits
    // for keeps the chain waiting when a manual item starts it again.
    void StartStep(AutoStep step, int pollMs = 0);
    // The chain's own start of a step it goes on from (function code, TF card,
    // Wi-Fi signal, 4G: the slots the manual items share).
    void StartChainStep(AutoStep step);
    // True (logged) when a reply of the current camera comes for a step whose
    // judge has already run: the reply must not touch the record.
    bool IsLateReply(AutoStep step, int msgCode) const;
    static int StepTimeoutMs(AutoStep step);
    // The current device's stop word is set: no sender sends.
    bool IsCurrentDevStopped() const;
    // 2000 ms after a channel or sensor switch, the main window re-enables that
    // manual control (event 1031; the channel's not during a manual script run).
    void ChannelSwitchDoneLater();
    void SensorSwitchDoneLater(int item);
    void AutoTestSN();
    void AutoGetFactoryTestState();
    void AutoGetCapability();
    void AutoGetSysVersion();
    void AutoGetDevType();
    void AutoGetLightMode();
    void AutoModifyCountryCity();
    void AutoModifyMac();
    void AutoUploadLogoFile();
    void AutoGetAuthorizeCodeInfo();
    void AutoTestFunctionCode();
    void AutoTestRTC();
    void AutoTestTFCard();
    void AutoTestWifiSignal();
    void Auto4GTestItem();
    void AutoTestFinalSteps();
    void AutoTestFinish();
    // Kills every step timer and clears the ids (a new chain).
    void KillAllStepTimers();

    // ----- judges (LeftTopWidgetJudges.cpp) -----
    void onTimerSerialNumber();
    void onTimerCheckVersion();
    void onTimerCheckFunctionCode();
    void JudgeAutoWifiSignal();

    // ----- auxiliary thread (LeftTopWidgetJobs.cpp; the mechanism: AuxJobs.h) -----
    void ExecuteAuxFuncThread();
    // Ends the chain, cuts the running job's back-end requests short, frees the
    // queued jobs and joins the thread.
    void StopAuxThread();
    // Runs body in place of message's own (null restores it). Tests.
    void SetAuxJobBody(uint32_t message, AuxJobBody body);

    // ----- provisioning (LeftTopWidgetProvision.cpp, LeftTopWidgetLabel.cpp) -----
    // Job bodies, run on the auxiliary thread on their record and run.Context()
    // only; they fill run.Result() (AuxJobs.h). The back-end requests below are
    // theirs: each reads the job's context, writes lines and results into
    // run.Result(), and is cut short by the thread's stop.
    static void do4GDevInfoTest(const Dev4GInfo& info, AuxJobRun& run);
    static void DoPrintQRCodeJob(const AuxPrintQRCodeMsg& job, AuxJobRun& run);
    static void DoCheckQRCodeJob(const AuxPrintQRCodeMsg& job, AuxJobRun& run);
    static void DoBindDevJob(const DevBindJob& job, AuxJobRun& run);
    static void DoAuthorizeCheckJob(const AuxAuthorizeCheckMsg& job, AuxJobRun& run);
    static int BindSNAndICCID(AuxJobRun& run, const QString& sn, const QString& iccid, int subType);
    // 0; -3 the card is not one of ours; another "ret" of the back-end; -2 a
    // failed request (no JSON, a member of the wrong kind, cards not named).
    static int QueryDevInfo(AuxJobRun& run, const QString& sn, const QString& iccid, SimState& state, int subType);
    // 0 with the binding; -1 a failed query (no JSON, "ret" not 0, a member of the wrong kind).
    static int QueryDevIsBindShareBenefit(AuxJobRun& run, const QString& sn, bool& bound, QString& customerName,
                                          QString& customerId);
    static int DevBindOrUnbind(AuxJobRun& run, const QString& mainType, int subType, const QString& sn,
                               const QString& mac, const QString& model);
    static int CheckTuyaAuthorizeCodeInfoMatch(AuxJobRun& run, const QString& sn, const QString& key,
                                               const QString& uuid, const QString& model, int type, int pid,
                                               int userType);
    // Empties the three texts, then fills them from a good reply; every failure
    // leaves them empty and empties the controller's last identify code.
    static void GetIndentifyCode(AuxJobRun& run, int subType, const QString& sn, int sdkType, const QString& uuid,
                                 QString& strQRCode, QString& strQRCodeIndentifyPart, QString& strIndentifyCode);
    // The host of the label's app-download address: PRINT_QRCODE_CONFIG/szAppDownloadHost,
    // or the back-end host when that is empty.
    static QString AppDownloadHost(const AuxJobContext& context);

    // ----- stream-test thread (LeftTopWidgetStream.cpp) -----
    void ExecuteImageStreamTestThread();
    void SwitchToSecondChannel();

    // ----- live play and talk-back (LeftTopWidgetPlay.cpp, LeftTopWidgetTalk.cpp) -----
    // Tears down the play of a record leaving the current-device slot (the
    // retire step of SetCurrentDevice, under the stream-list lock).
    void RetirePlay(DevInfo& previous) override;
    // Job 1124 on the auxiliary thread; run tells its camera (Context().token) and the stop.
    int dealStartAduioOk(AuxResponseInfo* info, AuxJobRun& run);
    // The pause after each talk-back frame: 25 ms; tests shorten it.
    static void SetTalkFramePauseMs(int ms);

    // ----- manual items (LeftTopWidgetManual.cpp, LeftTopWidgetManualRun.cpp) -----
    int ManualBindDev();
    int ManualPrintQRCode();
    int ManualQRCodeCheck();
    // The alarm-file upload: -1 no file chosen, -2 neither .pcm nor .mp3, -3 a
    // path longer than the SDK call holds, else the conversion's or the upload's result.
    int ManualTestUploadAlarmFile();
    int ManualTestWIFI();
    int ManualTestWIFISignal();
    void JudgeManualWifiSignal();
    void dealWithManualAuto();
    bool startManual(const QString& key, qint64 value, bool list);
    void ShowBeginManualTestTip();
    // Leaves the camera's manual script run: a running one ends at once (both
    // its timers, its state; siganlBeginManulTest(false)), a pending restart is
    // dropped and the next camera gets its own "Please Begin Manual Test". GUI
    // thread: the stream-test thread reaches it through LeaveManualTest when it moves on.
    void StopManualAutomation();

    // ----- the rest of the panel and the run -----
    // How far the option rows move down to clear the group's title.
    int GroupRowShift() const;
    void PlaceBrowseButton(QWidget* button, int y);
    // After every generation change of the lists, on the thread that made it.
    void OnGenerationChanged();
    // Construction steps.
    // The stream-test thread's body, seeing controller (this one but in tests).
    std::unique_ptr<StreamTestWorker> NewStreamTest(StreamTestWorker::Controller& controller);
    void InitManualAutomation();
    void InitHostIdentity();
    void InitNetworkCardBox();
    void InitDevTypeBox();
    void ConnectSignals();
    void StartServiceThreads();
    // Run.
    int StartRun();
    void StopRunThreads();
    void FinishStop();
    void ApplyRunButtonState();
    void StopAfterNetworkAnomalies();
    // False, with a box saying why, when the test address range is on and unusable.
    bool IsTestIpRangeUsable();
    // Panel.
    void ApplyOptionRules();
    bool IsAlarmFileMissing() const;
    QString ChooseFile(const QString& filter);
    int ShowInformationBox(const QString& title, const QString& text);
    // The back-end's own answer to a submission: 0 took the record, any other
    // value refused it for good.
    void ShowBackendAnswer(int ret, const QString& msg, const QString& resultText);
    // The retry box of a failed submission; true unless the operator answers No.
    bool AskToUploadAgain(const QString& failure);
    void PostToMainWindow(int code, qint64 word1, qint64 word2);
    // The step machine (LeftTopWidgetChain.cpp).
    void HandleStepTick(AutoStep step);
    // chainWaits: the chain goes on from this step (the slot's bChainWaits as it ended).
    void FinishStep(AutoStep step, bool replied, bool chainWaits);
    void SendStepCommand(int code, const CommandBody& body);
    void NextCustomizationStep(AutoStep after);
    void JudgeDevTypeStep();
    void ChoiceAfterTFCard();
    void AfterAuthorization();
    void StartWifiSignalAfterConnect();
    void FinishFormatStep();
    void PostBindJob();
    std::unique_ptr<DevBindJob> NewBindJob() const;
    void PostAuthorizeJob();
    void Post4GJob(bool chainWaits);
    // The QR label job of message (1125 print, 1126 check) for the current camera.
    bool PostQRCodeJob(uint32_t message, int source = AUX_SOURCE_AUTO);
    // The talk-back job (1124) of an accepted talk-back start; its device's claim ends with it.
    bool PostTalkJob(AuxResponsePtr status);
    // Manual items (LeftTopWidgetManual.cpp): each returns the SDK's result
    // (negative results are logged by dealManualTest).
    int RunManualItem(int item, qint64 param, RightBottomWidget* panel);
    // A failed result line: the item needs a logged-in camera, and there is none.
    void TellNoCamera(int item);
    int SendManualCommand(int code, const CommandBody& body, int genericChannel = 0);
    int SendManualPtz(int item, qint64 param);
    int ManualRestoreFactory(RightBottomWidget* panel);
    int ManualFunctionCode();
    int ManualFormatSDCard(RightBottomWidget* panel);
    int Manual4GTest();
    int ManualSwitchSensor(qint64 sensorId);
    // The manual script run (LeftTopWidgetManualRun.cpp).
    enum class ManualStep { Played, Skipped, Stopped };
    ManualStep PlayManualStep(const QString& key, qint64 value, bool list);
    // Starts the script from its first step; false, nothing started, when that step is malformed.
    bool StartManualAutomation();
    void PlayCurrentManualStep();
    // Moves to the next step; false, and the run ended, past the last step or on a stop request.
    bool AdvanceManualAutomation();
    void StartManualStepTimer(int seconds);
    void ReleaseManualStepKey(const QString& step);
    void EndManualAutomation(bool showTip);
    // Asks a running script to stop and starts a new one once it has (MANUAL_AUTO, the chain's end).
    void RequestManualAutoRestart();
    // Judges' verdicts (LeftTopWidgetJudges.cpp): shows the lines and, with
    // field, writes the result word into the chain's camera.
    void ApplyVerdict(const JudgeVerdict& verdict, int32_t DevTestResult::*field);
    void JudgeLightModeStep(bool replied);
    void JudgeCustomizationStep(AutoStep step);
    // chainWaits: the chain's own verdict is due, besides a manual reading's panel text.
    void JudgeTFCardStep(bool chainWaits);
    bool ShowVersionPrompt(const QString& configured, const QString& device);
    // The play path (LeftTopWidgetPlay.cpp). GuiAfter gathers the GUI steps a
    // play change leaves for after the stream-list lock.
    class GuiAfter;
    int PlayRecord(DevInfo& dev, GuiAfter& after);
    int StopRecord(DevInfo& dev, bool current, GuiAfter& after);
    // The second-lens choice for dev (null: no record to replay) of device type type.
    void ChooseSecondChannel(DevInfo* dev, const DevTypeInfo& type, GuiAfter& after);
    // Asks the SDK for dev's stream on channel (-1: the device's default) into a new port.
    void OpenRecordStream(DevInfo& dev, int channel);
    // The search thread's note on screen (LeftTopWidgetSearch.cpp).
    void ShowSearchNote(const QString& text) override;
    // The stream-test thread's steps on the GUI thread (LeftTopWidgetStream.cpp).
    void CollectManualTestResult() override;
    void LeaveGunBallView() override;
    void LeaveManualTest() override;
    void BeginAutoTest() override;
    // The auxiliary thread (LeftTopWidgetJobs.cpp).
    void RunAuxJob(const AuxJobEnvelope& job);
    void ApplyAuxJobEnd(uint32_t message, const AuxJobContext& context, const AuxJobResult& result);

    // =====================================================================
    // State more than one thread touches.
    // =====================================================================

    // Step slots: the reply parsers set a slot's flag and the step machine
    // reads and clears it on the GUI thread; the stream-test thread sets the
    // device-type step's flag (AutoStepSlot).
    AutoStepSlot m_AutoSteps[AUTO_STEP_COUNT];
    std::atomic<bool> m_bCurDevAlive{false}; // a reply, status event or search sighting of the current device

    // Submission (written by the GUI thread, read by the stream-test thread and the main window).
    std::atomic<int32_t> UploadFailureCount{0};
    std::atomic<int32_t> m_iUploadDone{0};

    // The stream-test thread's words (also written by the play path, read by the GUI thread).
    std::atomic<int64_t> m_lLastCount{0};
    std::atomic<int64_t> m_lCurrentCount{0};
    std::atomic<int64_t> m_lCurrentChannel{-1};  // -1 none chosen; 1 second lens
    std::atomic<bool> m_bWifiThroughputBegun{false};
    std::atomic<bool> m_bManualTipShown{false};
    std::atomic<bool> m_bManalAutoTesting{false};   // a manual script runs (read by the stream-test thread)

    // Options the search thread reads: set by the GUI thread, the package's
    // path and digests before the run's threads start.
    std::atomic<bool> m_bAutoUpgradeConfig{false};  // "Auto Upgrade config"
    QString m_strConfigFilePath;             // taken from the box when a run starts
    QString m_strSYS_CFG_MD5;                // digests of the unpacked package
    QString m_strHW_CFG_MD5;

    // =====================================================================
    // State of one thread: the GUI thread's unless noted.
    // =====================================================================

    // Manual-origin markers of the step slots (1: started by a manual item).
    int m_iManualFunctionCode = 0;
    int m_iManualWifiSignal = 0;
    int m_iManualTFCard = 0;
    int m_iTFCardReading = 0;                // last TF reply: 1 card good, -1 not
    int m_iManual4G = 0;
    uint32_t m_dwWifiStartTick = 0;          // Wi-Fi connect sent (chain start)

    // Reply fields the parsers set and the judges read (besides m_PlayInfo).
    bool m_bSupportSensorSwitch = false;     // capability reply (1020)
    bool m_bSupportRestore = false;
    bool m_bHwCfgInfoIot = false;
    QString m_strLightModeName;              // lamp-board display name (1201)
    Dev4GInfo m_Dev4GInfo;                   // reply to 1532
    int m_iAuthorizeReplyStatus = 0;         // 1 once a reply to 1750 was parsed
    int m_iAuthorizationStatus = 0;
    QString m_strAuthorizeUUID;
    QString m_strAuthorizeKey;
    QString m_strIndentifyCode;              // last identify code from the back-end
    QString m_strCustomMac;                  // MAC from the back-end, printed on the label

    // Verdict flags.
    bool m_bTestNormal = true;               // cleared by every failed result line
    bool m_bManualObservationTestNormal = true;

    // Submission.
    bool m_bUploading = false;               // a submission runs (its boxes may nest event loops)

    // Manual automation.
    QStringList m_qstrlManualAutomation;
    int m_iCurManualAutoIndex = 0;
    bool m_bManualAutoStopRequest = false;
    int m_iChannelSwitchCount = 0;
    QTimer* m_pManualAutoTimer = nullptr;    // step timer: polls for the step's end
    uint64_t m_uManualStepDueTick = 0;       // Clock::TickMs at which the current step ends
    QTimer* m_pWaitTimer = nullptr;          // 500 ms wait for a stopping run
    uint64_t m_uWaitLastStopTick = 0;        // Clock::TickMs at which that wait began
    int m_iPtzSpeed = 5;

    // Work order and customisation (SetOrderDetail, SetOrderCustomization, SetCurrentCompany).
    QString m_strOrderNumber;
    QString m_strModuleModel;                // at most 63 characters
    QString m_strCloudModuleAlias;           // at most 63 characters
    QString m_strCountryCity;                // country and city joined by ";"
    QString m_strLogoFileSavePath;
    int m_iCustomMac = 0;
    QString m_strCurrentCompanyId;
    QString m_strCurrentCustomerName;

    // Options of the panel.
    bool m_bAutoPlay = true;                 // "Auto Play Video"
    bool m_bLockParameter = false;           // "Lock Parameter"
    bool m_bAutoUploadAudio = false;         // "Auto Upload Audio File"

    // Station identity.
    QString m_strHostMac;                    // "%02X..%02X " of the last adapter with a MAC
    char m_szLocalMac[128] = {};             // "%02X-..-%02X" of the first; the record's check_machine_id
    QString m_strToolVersion;                // "1.0.6.4"

    // Operator words of the 4G test.
    QStringList m_lstMobileOperators;
    QStringList m_lstTelecomOperators;
    QMetaEnum m_metaManualEnum;              // Manual_Enum names for log lines

    // Talk-back work buffers (auxiliary thread).
    std::vector<char> m_talkInput;
    std::vector<char> m_talkOutput;
    TalkBackClaims m_talkClaims;             // devices whose speaker sound is queued or playing

    // QR label dialogs.
    QPointer<CheckQRCodeDlg> m_pCheckQRCodeDlg;
    bool m_bCheckQRCodeDlgOpen = false;
    ChainToken m_QRCodeCheckToken;           // the camera the scan dialog was opened for
    QPointer<QDialog> m_pQRCodePrintSetting; // hidden template dialog, owned as a child

    JTimer* m_pVideoTimer = nullptr;         // 5000 ms video time-out
    QMessageBox* m_pHintBox = nullptr;       // non-blocking hints (decoding fallback)

    std::unique_ptr<Ui::LeftTopWidget> ui;
    ControllerHost* m_host = nullptr;
    DevInfoLists m_lists{[this] { OnGenerationChanged(); }};   // before the workers: outlives their joins
    ConfigInfo m_IniCfgFile;                 // the configuration copy; writes under m_lockConfig
    mutable ListLock m_lockConfig{ListLock::RANK_LEAF, "configuration"};
    QString m_qstrCurrentIP;                 // the network-card box's address; under m_lockCurrentIP
    mutable ListLock m_lockCurrentIP{ListLock::RANK_LEAF, "current address"};
    bool m_bApplyingConfig = false;          // ApplyTestConfig sets the boxes
    bool m_bStopping = false;                // a stop waits for its joins
    ChainToken m_chain;                      // the chain in progress
    uint64_t m_uChainGeneration = 0;         // bumped by BeginChain and StopAuxThread
    AuxJobCancel m_auxCancel;                // the auxiliary thread's stop of its running job
    std::mutex m_auxBodiesLock;              // guards m_auxBodies (read by the auxiliary thread)
    std::map<uint32_t, AuxJobBody> m_auxBodies;
    std::unique_ptr<SearchCycleWorker> m_searchCycle;  // the search thread's body and state
    std::unique_ptr<StreamTestWorker> m_streamTest;  // the stream-test thread's body and state
    HandOffQueue m_handOffs;                 // before m_workers: outlives their joins
    StationWorkers m_workers{&m_handOffs};

    friend class LeftTopWidgetTestPeer;
};

// Unpacks the package at path (the package path box's text) into the digests
// of its two configuration files: 0, or -1 to -6 by the failing step. Both
// digests are emptied first and set only on success.
int UnCompressLocalConfigFile(const QString& path, QString& sysMd5, QString& hwMd5);
