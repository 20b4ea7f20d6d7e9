// The end of a camera's way through the station, on the GUI thread: the label
// printed from its template, the scan checked against it, the record submitted
// (or cached) and the order counts refreshed; and the whole way of a 4G and a
// Tuya camera through the chain with the back-end simulator.
#include "ChainFixture.h"
#include "LeftTopWidgetTestPeer.h"

#include "BackendSimulator.h"
#include "BoxRecorder.h"
#include "CConfigFile.h"
#include "CheckQRCodeDlg.h"
#include "CommonHelpers.h"
#include "LabelPrintConfig.h"
#include "LeftBottomWidget.h"
#include "PrinterHook.h"
#include "ZbarReader.h"

#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPrinter>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>

#include <cmath>
#include <deque>
#include <thread>

namespace {

constexpr double kDpi = 300;
constexpr const char* kSn = "VT21G30000000003";
const QString kPart = QString("bind://v1@t3:") + kSn + ":7Q2K9X";
const QString kFull = "http://app.example.test/api/url.php?v=0&s=" + kPart;
const QString kRetryQuestion =
    "Data upload failed, do you want to upload again? (Select No, the data that passed the test will be uploaded to "
    "the background, and the data that failed the test will be discarded)";

// Stands in for the label printer: the page goes into an image at 300 dpi.
struct PrintCapture {
    QImage image;
    int pages = 0;
    bool refuse = false;
    PrintCapture()
    {
        PrinterHook::Set([this](QPrinter& printer) -> QPaintDevice* {
            if (refuse)
                return nullptr;
            ++pages;
            printer.setResolution(int(kDpi));
            const QSizeF mm = printer.pageLayout().fullRect(QPageLayout::Millimeter).size();
            image = QImage(int(std::ceil(mm.width() * kDpi / 25.4)), int(std::ceil(mm.height() * kDpi / 25.4)),
                           QImage::Format_RGB32);
            image.fill(Qt::white);
            return &image;
        });
    }
    ~PrintCapture() { PrinterHook::Clear(); }
    QStringList Decoded() const { return DecodeImage(WithQuietZone(image), "QR-Code"); }
};

// Answers the boxes of a submission: an information box with OK, the retry box
// with the next answer; keeps "title|text" of each.
struct BoxAnswers {
    QStringList texts;
    std::deque<int> answers;             // QMessageBox::Yes / No, in order
    std::function<void()> whileOpen;
    BoxAnswers()
    {
        ModalHook::Set([this](QDialog* dialog) {
            auto* box = qobject_cast<QMessageBox*>(dialog);
            if (box)
                texts << box->windowTitle() + "|" + box->text();
            if (whileOpen)
                whileOpen();
            if (box && box->button(QMessageBox::No)) {
                if (answers.empty())
                    return int(QMessageBox::No);
                const int answer = answers.front();
                answers.pop_front();
                return answer;
            }
            return int(QDialog::Accepted);
        });
    }
    ~BoxAnswers() { ModalHook::Clear(); }
};

DevTestResult PassingRecord(const char* sn)
{
    DevTestResult r{};
    SetResultText(r.dev_sn, sn);
    r.sn_result = 1;
    SetResultText(r.m_szVersion, "V5.2.0.20261120");
    r.m_iTestVideo = 1;
    r.bind_result = 1;
    return r;
}

class FinishTest : public ChainTestBase {
protected:
    void SetUp() override
    {
        ChainTestBase::SetUp();
        ASSERT_TRUE(backend.Start());
        ServerHost = QString::fromStdString(backend.HostText());
        // The real bodies of the jobs, not the recorder's.
        for (uint32_t message : {AUX_MSG_PRINT_QRCODE, AUX_MSG_CHECK_QRCODE, AUX_MSG_4G_INFO_TEST, AUX_MSG_BIND_DEV,
                                 AUX_MSG_AUTHORIZE_CHECK})
            Peer(*widget).SetAuxJobBody(message, nullptr);
        widget->SetCurrentCompany("1001", "Vantrel Test Factory");
        SetConfig([](ConfigInfo& c) {
            c.m_PrintQrCode.bAutoPrint = true;
            c.m_PrintQrCode.bCheckQRCode = true;
        });
    }

    void TearDown() override
    {
        HeartbeatTimer = nullptr;
        StoreTemplatePath(QString());
        ChainTestBase::TearDown();
        backend.Stop();
    }

public:
    // PRINT_QRCODE_CONFIG/PrintConfigFilePath of the store, which the print reads afresh.
    static void StoreTemplatePath(const QString& path)
    {
        ConfigInfo info;
        CConfigFile::GetInstance()->GetConfigInfo(info);
        info.m_PrintConfigFilePath = path;
        ASSERT_EQ(CConfigFile::GetInstance()->SaveAll(info), 0);
    }

    // A 40 x 30 mm label with one QR item, chosen as the station's template.
    // fullPayload: the QR code carries the app-download address.
    void UseTemplate(bool fullPayload)
    {
        const QString path = s_dir->file("PrintConfig/finish.ini");
        QDir().mkpath(QFileInfo(path).path());
        PrintTemplate tpl;
        tpl.width = 40;
        tpl.height = 30;
        tpl.bSupportJumpDownloadApp = fullPayload;
        tpl.labels << "5,4,2,26,26,0,,,0";
        CurrentPrintConfigPath = path;
        LabelPrintConfig store;
        ASSERT_TRUE(store.Save(tpl));
        StoreTemplatePath(path);
    }

    // A camera made current with a new chain.
    void MakeCurrent(const char* sn, int64_t login, const DevTestResult& record = DevTestResult{})
    {
        DevInfo dev = MakeDevice(sn, "127.0.2.91", login, 1);
        dev.TestRuslut = record;
        widget->Lists().SetCurrentDevice(dev);
        Peer(*widget).BeginChain();
        host.panel->ClearAutoTestResults();
        Peer(*widget).m_bTestNormal = true;
    }

    static void Scan(CheckQRCodeDlg* dialog, const QString& text)
    {
        dialog->ScanEdit()->setText(text);
        QTest::keyClick(dialog, Qt::Key_Return);
    }

    // Submits as the stream-test thread does: from a worker, waiting in the hand-off.
    void SubmitFromWorker()
    {
        std::atomic<bool> returned{false};
        std::thread worker([&] {
            Peer(*widget).HandOffs().Call([&] { widget->slot_UploadCurrentDevTestResult(); });
            returned = true;
        });
        const bool done = WaitFor([&] { return returned.load(); }, 120000);
        worker.join();
        ASSERT_TRUE(done);
    }

    int SubmitRequests() const
    {
        int n = 0;
        for (const BackendSimulator::Request& r : backend.Requests())
            n += r.operation == "test/data/submit";
        return n;
    }

    BackendSimulator backend;
};

// ---------------------------------------------------------------------------
// The label

struct PrintCase {
    const char* name;
    std::function<void(FinishTest*, PrintCapture&)> setup;
    const char* sn;                      // the label's camera
    QString box;                         // "" no box
    int result;
    QString line;
};

TEST_F(FinishTest, ThePrintNeedsATemplateFileTheCameraOnScreenAndAPrinter)
{
    PrintCapture capture;
    BoxRecorder boxes;
    const QString noTemplate =
        "Hint|The print template is not loaded. Please select and load the print template on the system configuration "
        "interface. If there is no print template, you can save and generate a print template in the print template "
        "configuration interface";
    const PrintCase cases[] = {
        {"no template chosen", [](FinishTest*, PrintCapture&) { StoreTemplatePath(QString()); }, kSn, noTemplate, -1,
         "!print qr_code fail"},
        {"the template file is gone",
         [](FinishTest*, PrintCapture&) { StoreTemplatePath(s_dir->file("PrintConfig/gone.ini")); }, kSn,
         "Hint|The selected print template does not exist, please check and confirm in the system configuration "
         "interface",
         -1, "!print qr_code fail"},
        {"another camera's label", [](FinishTest* t, PrintCapture&) { t->UseTemplate(true); }, "VT21G30000000099",
         "Hint|The SN of the printing device is different from that of the playback device", -1,
         "!print qr_code fail"},
        {"the printer fails",
         [](FinishTest* t, PrintCapture& p) {
             t->UseTemplate(true);
             p.refuse = true;
         },
         kSn, "", -1, "!print qr_code fail"},
        {"printed", [](FinishTest* t, PrintCapture& p) {
             t->UseTemplate(true);
             p.refuse = false;
         },
         kSn, "", 1, "print qr_code succeed"},
    };
    for (const PrintCase& c : cases) {
        SCOPED_TRACE(c.name);
        MakeCurrent(kSn, 91);
        boxes.texts.clear();
        capture.pages = 0;
        c.setup(this, capture);
        Peer(*widget).onQRCodePrintEmit(kFull, kPart, c.sn, "00:1A:2B:3C:4D:5E", "7Q2K9X");
        EXPECT_EQ(host.Lines(), QStringList{c.line});
        EXPECT_EQ(boxes.texts, c.box.isEmpty() ? QStringList() : QStringList{c.box});
        EXPECT_EQ(widget->Lists().CurrentDevice().TestRuslut.qr_code_print_result, c.result);
        EXPECT_EQ(capture.pages, c.result == 1 ? 1 : 0);
    }
    // The QR code carries what the template asks for.
    EXPECT_EQ(capture.Decoded(), QStringList{kFull});
    UseTemplate(false);
    Peer(*widget).onQRCodePrintEmit(kFull, kPart, kSn, "00:1A:2B:3C:4D:5E", "7Q2K9X");
    EXPECT_EQ(capture.Decoded(), QStringList{kPart});
}

// A blank is outside Code 128 set B: the SN barcode stays white.
TEST_F(FinishTest, ALabelWhoseBarcodeCouldNotBeDrawnIsBookedAsAPrintFailure)
{
    PrintCapture capture;
    BoxRecorder boxes;
    const QString path = s_dir->file("PrintConfig/barcode.ini");
    QDir().mkpath(QFileInfo(path).path());
    PrintTemplate tpl;
    tpl.width = 40;
    tpl.height = 30;
    tpl.bShowSn = true;
    // The editor keeps its sample serial number in the SN barcode's text; the print takes the camera's.
    tpl.labels << "5,4,2,20,20,0,,,0" << "4,2,23,36,5,0,2023080112345678,,2";
    CurrentPrintConfigPath = path;
    LabelPrintConfig store;
    ASSERT_TRUE(store.Save(tpl));
    StoreTemplatePath(path);
    MakeCurrent("SN 1", 91);
    Peer(*widget).onQRCodePrintEmit(kFull, kPart, "SN 1", "00:1A:2B:3C:4D:5E", "7Q2K9X");
    EXPECT_EQ(host.Lines(), QStringList{"!print qr_code fail"});
    EXPECT_EQ(widget->Lists().CurrentDevice().TestRuslut.qr_code_print_result, -1);
    EXPECT_EQ(capture.pages, 1);
    EXPECT_EQ(boxes.texts.size(), 1) << "the encoder's box only";
    UseTemplate(true);   // the next controller's template editor loads the usual one
}

TEST_F(FinishTest, AScanIsBookedOnlyForTheCameraItsDialogWasOpenedFor)
{
    UseTemplate(false);
    MakeCurrent(kSn, 91);
    Peer(*widget).onQRCodeCheckSignalEmit(kFull, kPart);
    QPointer<CheckQRCodeDlg> first = Peer(*widget).m_pCheckQRCodeDlg;
    ASSERT_TRUE(first);
    EXPECT_TRUE(first->isVisible());
    EXPECT_TRUE(first->windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_TRUE(Peer(*widget).m_bCheckQRCodeDlgOpen);
    Scan(first, kPart);
    EXPECT_EQ(host.Lines(), QStringList{"qrocde is same"});
    EXPECT_EQ(widget->Lists().CurrentDevice().TestRuslut.qr_code_check_result, 1);
    EXPECT_FALSE(Peer(*widget).m_bCheckQRCodeDlgOpen) << "the dialog closed with the scan";

    // A second check replaces the dialog.
    host.panel->ClearAutoTestResults();
    Peer(*widget).onQRCodeCheckSignalEmit(kFull, kPart);
    QPointer<CheckQRCodeDlg> second = Peer(*widget).m_pCheckQRCodeDlg;
    Peer(*widget).onQRCodeCheckSignalEmit(kFull, kPart);
    QPointer<CheckQRCodeDlg> third = Peer(*widget).m_pCheckQRCodeDlg;
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(first);
    EXPECT_FALSE(second);
    ASSERT_TRUE(third);
    Scan(third, kPart + " ");
    EXPECT_EQ(host.Lines(), QStringList{"!qrocde isn't same"});
    EXPECT_EQ(widget->Lists().CurrentDevice().TestRuslut.qr_code_check_result, -1);

    // A new chain of the same camera: still its label.
    MakeCurrent(kSn, 91);
    Peer(*widget).onQRCodeCheckSignalEmit(kFull, kPart);
    Peer(*widget).BeginChain();
    Scan(Peer(*widget).m_pCheckQRCodeDlg, kPart);
    EXPECT_EQ(widget->Lists().CurrentDevice().TestRuslut.qr_code_check_result, 1);

    // The next camera came before the scan: the scan is no verdict for it.
    MakeCurrent(kSn, 91);
    Peer(*widget).onQRCodeCheckSignalEmit(kFull, kPart);
    MakeCurrent("VT21G30000000009", 92);
    Scan(Peer(*widget).m_pCheckQRCodeDlg, kPart);
    EXPECT_TRUE(host.Lines().isEmpty());
    EXPECT_EQ(widget->Lists().CurrentDevice().TestRuslut.qr_code_check_result, 0);
}

TEST_F(FinishTest, TheScanDialogFollowsTheMainWindowOnlyWhileItIsOpen)
{
    MakeCurrent(kSn, 91);
    widget->ShowChildWindow(true);       // no dialog yet: nothing happens
    Peer(*widget).onQRCodeCheckSignalEmit(kFull, kPart);
    QPointer<CheckQRCodeDlg> dialog = Peer(*widget).m_pCheckQRCodeDlg;
    ASSERT_TRUE(dialog);
    widget->ShowChildWindow(false);
    EXPECT_TRUE(dialog->isHidden());
    EXPECT_TRUE(Peer(*widget).m_bCheckQRCodeDlgOpen) << "hidden with the main window, still waiting for its scan";
    widget->ShowChildWindow(true);
    EXPECT_TRUE(dialog->isVisible());
    Scan(dialog, kPart);
    ASSERT_FALSE(Peer(*widget).m_bCheckQRCodeDlgOpen);
    widget->ShowChildWindow(true);
    EXPECT_TRUE(!dialog || dialog->isHidden()) << "a scanned dialog does not come back";
}

// ---------------------------------------------------------------------------
// Submission

struct SubmitCase {
    const char* name;
    std::function<void(BackendSimulator&)> backend;
    bool pass;
    std::deque<int> answers;
    int countBefore;
    QStringList lines;
    QStringList boxes;
    int posts;
    size_t cached;
    int countAfter;
};

TEST_F(FinishTest, ASubmissionIsAcceptedRefusedRetriedOrCached)
{
    const auto none = [](BackendSimulator&) {};
    const auto unreachable = [](BackendSimulator& b) { b.SetRefusing(true); };
    const QString passed = "Hint|Test result: passed\n";
    const QString failed = "Hint|Test result: failed\n";
    const QString unknown = "Upload result:failed, " + GetSocketErrorMessage(-1);
    const QString serverError = "Upload result:failed, " + GetSocketErrorMessage(100);
    const QString refusedByBackEnd = "Upload result:failed, refused";
    using B = QMessageBox;
    const SubmitCase cases[] = {
        {"accepted", none, true, {}, 2, {"submit success"}, {}, 1, 0, 0},
        {"accepted, failed device", none, false, {}, 0, {"submit success"}, {}, 1, 0, 0},
        {"refused with a positive ret: failed as in transport, its msg shown, answered No", [](BackendSimulator& b) {
             b.SetFault("test/data/submit", BackendSimulator::Fault::Ret, 5);
         },
         true, {B::No}, 3, {"!" + refusedByBackEnd}, {passed + refusedByBackEnd + "\n" + kRetryQuestion}, 1, 1, 4},
        {"refused with ret 100, the number of an error status: still its retry box, answered No",
         [](BackendSimulator& b) { b.SetFault("test/data/submit", BackendSimulator::Fault::Ret, 100); },
         true, {B::No}, 0, {"!" + refusedByBackEnd}, {passed + refusedByBackEnd + "\n" + kRetryQuestion}, 1, 1, 1},
        {"refused with ret 1 at the fifth failure in a row: silently cached", [](BackendSimulator& b) {
             b.SetFault("test/data/submit", BackendSimulator::Fault::Ret, 1);
         },
         true, {}, 4, {}, {}, 1, 1, 5},
        {"refused with a negative ret", [](BackendSimulator& b) {
             b.SetFault("test/data/submit", BackendSimulator::Fault::Ret, -7);
         },
         true, {}, 1, {"!" + refusedByBackEnd}, {passed + refusedByBackEnd}, 1, 0, 0},
        {"not JSON, answered No", [](BackendSimulator& b) {
             b.SetFault("test/data/submit", BackendSimulator::Fault::NotJson);
         },
         true, {B::No}, 0, {"!" + unknown}, {passed + unknown + "\n" + kRetryQuestion}, 1, 1, 1},
        {"not JSON, failed device dropped", [](BackendSimulator& b) {
             b.SetFault("test/data/submit", BackendSimulator::Fault::NotJson);
         },
         false, {B::No}, 0, {"!" + unknown}, {failed + unknown + "\n" + kRetryQuestion}, 1, 0, 1},
        {"not JSON, then accepted on Yes", [](BackendSimulator& b) {
             b.SetFault("test/data/submit", BackendSimulator::Fault::NotJson, 0, 1);
         },
         true, {B::Yes}, 0, {"submit success"}, {passed + unknown + "\n" + kRetryQuestion}, 2, 0, 0},
        {"HTTP 500: no retry, cached", [](BackendSimulator& b) {
             b.SetFault("test/data/submit", BackendSimulator::Fault::HttpStatus, 500);
         },
         true, {}, 0, {"!" + serverError}, {passed + serverError}, 1, 1, 1},
        {"the fifth failure in a row: silently cached", unreachable, true, {}, 4, {}, {}, 0, 1, 5},
        {"the fifth failure in a row: a failed device dropped", unreachable, false, {}, 4, {}, {}, 0, 0, 5},
    };
    for (const SubmitCase& c : cases) {
        SCOPED_TRACE(c.name);
        backend.ClearRequests();
        backend.ClearFaults();
        backend.SetRefusing(false);
        c.backend(backend);
        DevTestResult record = PassingRecord(kSn);
        if (!c.pass)
            record.bind_result = -1;
        MakeCurrent(kSn, 91, record);
        host.cached.clear();
        Peer(*widget).UploadFailureCount = c.countBefore;
        BoxAnswers boxes;
        boxes.answers = c.answers;
        SubmitFromWorker();
        EXPECT_EQ(Peer(*widget).m_iUploadDone.load(), 1);
        EXPECT_EQ(host.Lines(), c.lines);
        EXPECT_EQ(boxes.texts, c.boxes);
        EXPECT_EQ(SubmitRequests(), c.posts);
        EXPECT_EQ(host.cached.size(), c.cached);
        if (!host.cached.empty()) {
            EXPECT_EQ(TextOf(host.cached[0].dev_sn), kSn);
            EXPECT_EQ(host.cached[0].total_result, 1);
        }
        EXPECT_EQ(Peer(*widget).UploadFailureCount.load(), c.countAfter);
        EXPECT_EQ(widget->Lists().CurrentDevice().TestRuslut.total_result, c.pass ? 1 : -1);
    }
    backend.SetRefusing(false);
}

TEST_F(FinishTest, AnUnreachableBackEndAnsweredYesYesNoPostsThreeTimesAndCachesOnce)
{
    backend.SetRefusing(true);
    MakeCurrent(kSn, 91, PassingRecord(kSn));
    host.cached.clear();
    Peer(*widget).UploadFailureCount = 0;
    BoxAnswers boxes;
    boxes.answers = {QMessageBox::Yes, QMessageBox::Yes, QMessageBox::No};
    // Each box's event loop may bring another submission: it is refused, not run inside.
    int nestedDone = -1;
    boxes.whileOpen = [&] {
        widget->slot_UploadCurrentDevTestResult();
        nestedDone = Peer(*widget).m_iUploadDone.load();
    };
    SubmitFromWorker();
    EXPECT_EQ(boxes.texts.size(), 3);
    for (const QString& text : boxes.texts) {
        EXPECT_TRUE(text.startsWith("Hint|Test result: passed\nUpload result:failed, ")) << text.toStdString();
        EXPECT_TRUE(text.endsWith(kRetryQuestion));
    }
    EXPECT_EQ(nestedDone, 0) << "the refused one leaves the running submission's wait alone";
    EXPECT_EQ(host.cached.size(), 1u);
    EXPECT_EQ(Peer(*widget).UploadFailureCount.load(), 3);
    EXPECT_EQ(Peer(*widget).m_iUploadDone.load(), 1);
    EXPECT_EQ(host.Lines().size(), 1);
    backend.SetRefusing(false);
}

TEST_F(FinishTest, APassedRecordIsHeldInTheCacheWhileTheRetryBoxIsOpen)
{
    using B = QMessageBox;
    using F = BackendSimulator::Fault;
    const auto none = [](BackendSimulator&) {};
    const struct {
        const char* name;
        std::function<void(BackendSimulator&)> later;   // the posts after the first, which fails with -1
        bool pass;
        std::deque<int> answers;
        std::vector<size_t> heldWhileOpen;
        int posts;
        size_t cached;   // handed to the upload in the end
    } cases[] = {
        {"No: the held copy is uploaded", none, true, {B::No}, {1}, 1, 1},
        {"Yes, Yes, No: one copy, held throughout",
         [](BackendSimulator& b) { b.SetFault("test/data/submit", F::NotJson); }, true, {B::Yes, B::Yes, B::No},
         {1, 1, 1}, 3, 1},
        {"Yes, then accepted: the held copy is dropped", none, true, {B::Yes}, {1}, 2, 0},
        {"Yes, then refused with -2: the held copy is dropped",
         [](BackendSimulator& b) { b.SetFault("test/data/submit", F::Ret, -2); }, true, {B::Yes}, {1}, 2, 0},
        {"Yes, then HTTP 500: the held copy is uploaded",
         [](BackendSimulator& b) { b.SetFault("test/data/submit", F::HttpStatus, 500); }, true, {B::Yes}, {1}, 2, 1},
        {"Yes, then ret 100: asked again, the same copy held",
         [](BackendSimulator& b) { b.SetFault("test/data/submit", F::Ret, 100); }, true, {B::Yes, B::No}, {1, 1}, 2, 1},
        {"a failed device: nothing held", none, false, {B::No}, {0}, 1, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        backend.ClearRequests();
        backend.ClearFaults();
        backend.SetFault("test/data/submit", F::NotJson, 0, 1);
        c.later(backend);
        DevTestResult record = PassingRecord(kSn);
        if (!c.pass)
            record.bind_result = -1;
        MakeCurrent(kSn, 91, record);
        host.cached.clear();
        host.held.clear();
        const uint64_t holdsBefore = host.lastHeld;
        Peer(*widget).UploadFailureCount = 0;
        BoxAnswers boxes;
        boxes.answers = c.answers;
        std::vector<size_t> heldWhileOpen;
        boxes.whileOpen = [&] {
            if (!boxes.texts.last().endsWith(kRetryQuestion))
                return;
            heldWhileOpen.push_back(host.held.size());
            for (const auto& h : host.held) {
                EXPECT_EQ(TextOf(h.second.dev_sn), kSn);
                EXPECT_EQ(h.second.total_result, 1);
            }
        };
        SubmitFromWorker();
        EXPECT_EQ(heldWhileOpen, c.heldWhileOpen);
        EXPECT_EQ(SubmitRequests(), c.posts);
        EXPECT_EQ(host.lastHeld - holdsBefore, c.pass ? 1u : 0u) << "one copy per submission";
        EXPECT_TRUE(host.held.empty()) << "every held copy is released";
        EXPECT_EQ(host.cached.size(), c.cached);
    }
}

TEST_F(FinishTest, TheOrderTextComesFromAGoodReplyOnly)
{
    LeftBottomWidget panel(&host);
    host.infoPanel = &panel;
    auto* label = panel.findChild<QLabel*>("m_lbOrderDataDisplay");
    ASSERT_NE(label, nullptr);
    widget->SetOrderDetail("WO20240301-01", QString(), QString());
    Peer(*widget).slot_RefreshOrderInfo();
    EXPECT_EQ(label->text(), "Order Num:WO20240301-01 \ntotal:500 Completed Num:120 operator:18 ");
    EXPECT_EQ(backend.Requests().back().query, "order_sn=WO20240301-01");

    for (const char* reply : {R"({"ret":3,"msg":"no order"})", R"({"ret":0,"data":{"num":"many"}})", "[1,2]"}) {
        backend.SetReply("test/data/order/detail", reply);
        Peer(*widget).slot_RefreshOrderInfo();
        EXPECT_EQ(label->text(), "Order Num:WO20240301-01 \ntotal:500 Completed Num:120 operator:18 ") << reply;
    }
    host.infoPanel = nullptr;
}

TEST_F(FinishTest, EveryJobRequestRestartsTheHeartbeatOnTheGuiThread)
{
    const auto BindBody = [](const DevBindJob& job, AuxJobRun& run) { LeftTopWidgetTestPeer::DoBindDevJob(job, run); };
    MakeCurrent(kSn, 91);
    QTimer heartbeat;
    heartbeat.setInterval(5000);
    HeartbeatTimer = &heartbeat;
    QSignalSpy ends(widget.get(), &LeftTopWidget::sig_ThreadItemProcEnd);
    auto job = std::make_unique<DevBindJob>();
    job->strSN = kSn;
    Peer(*widget).PostAuxJob(MakeAuxJob(AUX_MSG_BIND_DEV, std::move(job), BindBody), AUX_SOURCE_MANUAL);
    ASSERT_TRUE(WaitFor([&] { return ends.count() == 1; }));
    EXPECT_TRUE(heartbeat.isActive());
    EXPECT_EQ(heartbeat.interval(), 1200000);
    EXPECT_EQ(widget->Lists().CurrentDevice().TestRuslut.bind_result, 1);

    // Without a heartbeat timer the request goes all the same.
    HeartbeatTimer = nullptr;
    auto again = std::make_unique<DevBindJob>();
    again->strSN = kSn;
    Peer(*widget).PostAuxJob(MakeAuxJob(AUX_MSG_BIND_DEV, std::move(again), BindBody), AUX_SOURCE_MANUAL);
    ASSERT_TRUE(WaitFor([&] { return ends.count() == 2; }));
}

// ---------------------------------------------------------------------------
// The whole way

TEST_F(FinishTest, A4GAndATuyaCameraGoThroughTheChainToALabelAScanAndASubmittedRecord)
{
    PrintCapture capture;
    BoxAnswers boxes;
    UseTemplate(true);
    struct Way {
        TypedCamera camera;
        int testType;
        QString payloadStart;            // of the printed QR code
    };
    const QString backendHost = QString::fromStdString(backend.HostText());
    const Way ways[] = {
        {DUAL_LTE, 2, "http://" + backendHost + "/api/url.php?v=0&s=bind://v1@t6:VT21G60000000004:"},
        {TUYA, 0, "7Q2K9X"},
    };
    for (const Way& way : ways) {
        SCOPED_TRACE(way.testType);
        CurrentTestType = way.testType;
        const SimCam cam = Camera(way.camera);
        host.panel->ClearAutoTestResults();
        capture.pages = 0;
        StartChain(cam);
        ASSERT_TRUE(WaitFor([&] { return Finished() && Peer(*widget).m_pCheckQRCodeDlg; }, 60000))
            << host.Lines().join(" | ").toStdString();
        ASSERT_EQ(capture.pages, 1);
        const QStringList decoded = capture.Decoded();
        ASSERT_EQ(decoded.size(), 1);
        EXPECT_TRUE(decoded[0].startsWith(way.payloadStart)) << decoded[0].toStdString();

        // The operator scans the label just printed.
        Scan(Peer(*widget).m_pCheckQRCodeDlg, decoded[0]);
        const QStringList lines = host.Lines();
        EXPECT_TRUE(lines.contains("print qr_code succeed"));
        EXPECT_TRUE(lines.contains("qrocde is same"));
        EXPECT_EQ(lines.filter(QRegularExpression("^!")), QStringList()) << lines.join(" | ").toStdString();
        const DevTestResult r = widget->Lists().CurrentDevice().TestRuslut;
        EXPECT_EQ(r.bind_result, 1);
        EXPECT_EQ(r.qr_code_print_result, 1);
        EXPECT_EQ(r.qr_code_check_result, 1);
        if (way.camera == DUAL_LTE) {
            EXPECT_EQ(r.result_4g, 1);
            EXPECT_EQ(r.vrl_result, 1);
            EXPECT_EQ(r.vrl_result2, 1);
        } else {
            EXPECT_EQ(r.tuya_authorize_result, 1);
            EXPECT_EQ(TextOf(r.tuya_uuid), "vt21tuya00000006");
        }

        const size_t before = backend.Results().size();
        SubmitFromWorker();
        ASSERT_EQ(backend.Results().size(), before + 1);
        const QString form = QString::fromStdString(backend.Results().back());
        EXPECT_TRUE(form.contains("dev_sn=" + QString::fromLatin1(cam.sn) + "&")) << form.toStdString();
        EXPECT_TRUE(form.contains("&total_result=1")) << form.toStdString();
        EXPECT_TRUE(host.cached.empty());
        EXPECT_TRUE(boxes.texts.isEmpty()) << boxes.texts.join(" | ").toStdString();
    }
}

}  // namespace
