// The work-order dialog against the back-end simulator, and the order detail reply.
#include "AppGlobals.h"
#include "BackendSimulator.h"
#include "ConfigPackage.h"
#include "DialogAnswers.h"
#include "FakeDialogOwner.h"
#include "OrderChooseDialog.h"
#include "OrderDetail.h"
#include "TempAppDir.h"
#include "WorkOrderFiles.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDirIterator>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTableView>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace {

using Fault = BackendSimulator::Fault;

QVector<OrderRow> SimOrders()
{
    return {{"WO20240301-01", "VC-200", "35%"}, {"WO20240302-07", "VC-310", "0%"}};
}

// An order detail reply with the simulator's order, its members replaced by `members`.
std::string Detail(const std::string& members)
{
    return "{\"ret\":0,\"data\":{\"order_sn\":\"WO20240301-01\",\"num\":500,\"complete_num\":120,"
           "\"opt_username\":\"operator\",\"opt_complete_num\":18,\"regions\":\"EU\",\"mac\":1,"
           "\"module_model\":\"M2\",\"cloud_module_alias\":\"cam\""
        + members + "}}";
}

// Every file under the application folder but the log, relative and sorted.
QStringList FilesUnder(const QString& root)
{
    QStringList files;
    QDirIterator it(root, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString rel = QDir(root).relativeFilePath(it.next());
        if (!rel.startsWith("Log_Dir/"))
            files << rel;
    }
    files.sort();
    return files;
}

// One order dialog over a fresh application folder and simulator.
struct OrderBench {
    TempAppDir app;
    BackendSimulator sim;
    FakeDialogOwner owner;
    DialogAnswers answers;
    std::unique_ptr<OrderChooseDialog> dlg;

    explicit OrderBench(bool afterSalesRight = false)
    {
        ResetLoginState();
        LoggedIn = true;
        WholeMachineTestMode = true;
        AfterSalesRight = afterSalesRight;
        EXPECT_TRUE(sim.Start());
        ServerHost = QString::fromStdString(sim.HostText());
        owner.base = app.path();
        dlg.reset(new OrderChooseDialog(&owner));
        dlg->SetOrderList(SimOrders());
        dlg->show();
    }
    ~OrderBench() { ResetLoginState(); }

    QTableView* Table() const { return dlg->findChild<QTableView*>("tableView"); }
    QComboBox* Combo(const char* name) const { return dlg->findChild<QComboBox*>(name); }
    QString Hint() const { return dlg->findChild<QLabel*>("lb_Hint")->text(); }
    void ClickRow(int row)
    {
        QTableView* table = Table();
        const QRect cell = table->visualRect(table->model()->index(row, 1));
        ASSERT_TRUE(cell.isValid()) << "row " << row;
        QTest::mouseClick(table->viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
    }
    void Press(const char* button)
    {
        dlg->findChild<QPushButton*>(button)->click();
        RunQueuedCalls();
    }
    QStringList TableRows() const
    {
        QStringList rows;
        const QAbstractItemModel* m = Table()->model();
        for (int r = 0; r < m->rowCount(); ++r)
            rows << m->index(r, 0).data().toString() + "|" + m->index(r, 1).data().toString();
        return rows;
    }
    QStringList Operations() const
    {
        QStringList ops;
        for (const auto& r : sim.Requests())
            ops << QString::fromStdString(r.operation);
        return ops;
    }
};

const char kApply[] = "ApplyTestConfig(VC-200 standard|ConfigFilePackage/VC-200/VC-200.tgz|AudioAlarmFile/alarm_VC-200.mp3)";
const char kCustom[] = "SetOrderCustomization(|LogoFile/factory_logo.png|0)";
const char kDisplay[] = "SetOrderDataDisplay(Order Num:WO20240301-01 \ntotal:500 Completed Num:120 operator:18 )";
const char kDetail[] = "SetOrderDetail(WO20240301-01||)";
const QStringList kAllFiles{"AudioAlarmFile/alarm_VC-200.mp3", "ConfigFilePackage/VC-200/VC-200.tgz",
                            "LogoFile/factory_logo.png", "config_raw_data.tgz"};

}  // namespace

TEST(OrderDialogTest, EveryStepAgainstTheSimulator)
{
    OrderBench b;
    b.app.writeFile("LogoFile/stale.png", "from an earlier order");
    b.ClickRow(0);
    b.Press("btn_NextStep");
    EXPECT_EQ(b.Hint(), "");
    EXPECT_EQ(b.dlg->result(), QDialog::Accepted);
    EXPECT_EQ(b.owner.calls, (QStringList{kApply, kCustom, kDisplay, kDetail}));
    EXPECT_EQ(FilesUnder(b.app.path()), kAllFiles);
    EXPECT_EQ(b.app.readFile("config_raw_data.tgz"), ConfigPackage::Fixture().mid(CONFIG_PACKAGE_HEADER_SIZE));
    EXPECT_EQ(b.app.readFile("AudioAlarmFile/alarm_VC-200.mp3"), QByteArray("ID3 fixture alarm sound"));
    const QByteArray logo = b.app.readFile("LogoFile/factory_logo.png");
    EXPECT_TRUE(logo.startsWith("\x89PNG\r\n\x1a\n"));
    EXPECT_EQ(logo.size(), 74);
    EXPECT_EQ(b.owner.config.config_version, "V2.1.0");
    EXPECT_EQ(b.Operations(), (QStringList{"download/config/package", "/files/config/VC-200.tgz",
                                           "download/audio/alarm/file", "/files/audio/alarm_VC-200",
                                           "init/test/config", "test/data/order/detail",
                                           "/files/logo/factory_logo.png"}));
    EXPECT_TRUE(b.answers.boxes.isEmpty());
}

TEST(OrderDialogTest, AFaultAtEachStep)
{
    const QString addrFailed = "get config package download addr failed";
    const QString alarmAddrFailed = "get audio alarm file download addr failed";
    const QString configFailed = "get test config initialize info failed";
    const QString detailFailed = "Failed to get order information";
    const char* applyNoAlarm = "ApplyTestConfig(VC-200 standard|ConfigFilePackage/VC-200/VC-200.tgz|)";
    const QStringList orderCalls{kCustom, kDisplay, kDetail};
    struct Case {
        const char* name;
        std::function<void(BackendSimulator&)> setup;
        QString hint;
        bool accepted;
        QStringList calls;
        QStringList files;
    } cases[] = {
        {"package address refused",
         [](BackendSimulator& s) { s.SetFault("download/config/package", Fault::HttpStatus, 500); }, addrFailed,
         false, {}, {}},
        {"package address not JSON", [](BackendSimulator& s) { s.SetFault("download/config/package", Fault::NotJson); },
         addrFailed, false, {}, {}},
        {"package url of another kind",
         [](BackendSimulator& s) { s.SetReply("download/config/package", "{\"ret\":0,\"url\":[\"/files/a.tgz\"]}"); },
         addrFailed, false, {}, {}},
        {"package download fails",
         [](BackendSimulator& s) { s.SetFault("/files/config/VC-200.tgz", Fault::HttpStatus, 404); },
         "download config file package failed", false, {}, {}},
        {"package url names no file",
         [](BackendSimulator& s) { s.SetReply("download/config/package", "{\"ret\":0,\"url\":\"http://h/files/..\"}"); },
         "download config file package failed", false, {}, {}},
        {"package not intact",
         [](BackendSimulator& s) { s.SetFile("/files/config/VC-200.tgz", QByteArray(384, '\0') + "body"); },
         "check config file package not intack", false, {}, {"config_raw_data.tgz"}},
        {"no package", [](BackendSimulator& s) { s.SetReply("download/config/package", "{\"ret\":0,\"url\":\"\"}"); },
         "", true,
         QStringList{"ApplyTestConfig(VC-200 standard||AudioAlarmFile/alarm_VC-200.mp3)"} + orderCalls,
         {"AudioAlarmFile/alarm_VC-200.mp3", "LogoFile/factory_logo.png"}},
        {"alarm address refused",
         [](BackendSimulator& s) { s.SetFault("download/audio", Fault::HttpStatus, 500); }, alarmAddrFailed, false,
         QStringList{applyNoAlarm} + orderCalls,
         {"ConfigFilePackage/VC-200/VC-200.tgz", "LogoFile/factory_logo.png", "config_raw_data.tgz"}},
        {"alarm type of another kind",
         [](BackendSimulator& s) {
             s.SetReply("download/audio/alarm/file", "{\"ret\":0,\"url\":\"/files/audio/alarm_VC-200\",\"type\":{}}");
         },
         alarmAddrFailed, false, QStringList{applyNoAlarm} + orderCalls,
         {"ConfigFilePackage/VC-200/VC-200.tgz", "LogoFile/factory_logo.png", "config_raw_data.tgz"}},
        // The path handed on still names the file the download was to write.
        {"alarm download fails",
         [](BackendSimulator& s) { s.SetFault("/files/audio/alarm_VC-200", Fault::HttpStatus, 404); },
         "download audio alarm file failed", false, QStringList{kApply} + orderCalls,
         {"ConfigFilePackage/VC-200/VC-200.tgz", "LogoFile/factory_logo.png", "config_raw_data.tgz"}},
        {"alarm url names no file",
         [](BackendSimulator& s) {
             s.SetReply("download/audio/alarm/file", "{\"ret\":0,\"url\":\"http://h/files/%2E%2E\",\"type\":\"mp3\"}");
         },
         "download audio alarm file failed", false, QStringList{applyNoAlarm} + orderCalls,
         {"ConfigFilePackage/VC-200/VC-200.tgz", "LogoFile/factory_logo.png", "config_raw_data.tgz"}},
        {"alarm as pcm",
         [](BackendSimulator& s) {
             s.SetReply("download/audio/alarm/file",
                        "{\"ret\":0,\"url\":\"http://elsewhere/files/audio/alarm_VC-200\",\"type\":\"pcm\"}");
         },
         "", true,
         QStringList{"ApplyTestConfig(VC-200 standard|ConfigFilePackage/VC-200/VC-200.tgz|AudioAlarmFile/"
                     "alarm_VC-200.pcm)"} + orderCalls,
         {"AudioAlarmFile/alarm_VC-200.pcm", "ConfigFilePackage/VC-200/VC-200.tgz", "LogoFile/factory_logo.png",
          "config_raw_data.tgz"}},
        {"test configuration refused", [](BackendSimulator& s) { s.SetFault("init/test/config", Fault::HttpStatus, 500); },
         configFailed, false, orderCalls, kAllFiles},
        {"test configuration member of another kind",
         [](BackendSimulator& s) { s.SetReply("init/test/config", "{\"ret\":0,\"data\":{\"lock_param\":\"yes\"}}"); },
         configFailed, false, orderCalls, kAllFiles},
        {"alarm and test configuration fail: the last hint stays",
         [](BackendSimulator& s) {
             s.SetFault("download/audio", Fault::NotJson);
             s.SetFault("init/test/config", Fault::NotJson);
         },
         configFailed, false, orderCalls,
         {"ConfigFilePackage/VC-200/VC-200.tgz", "LogoFile/factory_logo.png", "config_raw_data.tgz"}},
        {"order detail refused",
         [](BackendSimulator& s) { s.SetFault("test/data/order/detail", Fault::HttpStatus, 500); }, detailFailed,
         false, {kApply},
         {"AudioAlarmFile/alarm_VC-200.mp3", "ConfigFilePackage/VC-200/VC-200.tgz", "config_raw_data.tgz"}},
        {"order detail member of another kind",
         [](BackendSimulator& s) { s.SetReply("test/data/order/detail", Detail(",\"mac\":\"on\"")); }, detailFailed,
         false, {kApply},
         {"AudioAlarmFile/alarm_VC-200.mp3", "ConfigFilePackage/VC-200/VC-200.tgz", "config_raw_data.tgz"}},
        {"order detail data of another kind",
         [](BackendSimulator& s) { s.SetReply("test/data/order/detail", "{\"ret\":0,\"data\":[1,2]}"); },
         detailFailed, false, {kApply},
         {"AudioAlarmFile/alarm_VC-200.mp3", "ConfigFilePackage/VC-200/VC-200.tgz", "config_raw_data.tgz"}},
        // A logo that cannot be fetched leaves the outcome as it is.
        {"logo download fails",
         [](BackendSimulator& s) { s.SetFault("/files/logo/factory_logo.png", Fault::HttpStatus, 404); },
         "download logo file failed", true, {kApply, kCustom, kDisplay, kDetail},
         {"AudioAlarmFile/alarm_VC-200.mp3", "ConfigFilePackage/VC-200/VC-200.tgz", "config_raw_data.tgz"}},
        {"logo url names no file",
         [](BackendSimulator& s) { s.SetReply("test/data/order/detail", Detail(",\"logo\":\"http://h/files/logo/\"")); },
         "download logo file failed", true,
         {kApply, "SetOrderCustomization(EU||1)",
          "SetOrderDataDisplay(Order Num:WO20240301-01 \ntotal:500 Completed Num:120 operator:18 )",
          "SetOrderDetail(WO20240301-01|M2|cam)"},
         {"AudioAlarmFile/alarm_VC-200.mp3", "ConfigFilePackage/VC-200/VC-200.tgz", "config_raw_data.tgz"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        OrderBench b;
        c.setup(b.sim);
        b.ClickRow(0);
        b.Press("btn_NextStep");
        EXPECT_EQ(b.Hint(), c.hint);
        EXPECT_EQ(b.dlg->result() == QDialog::Accepted, c.accepted);
        EXPECT_EQ(b.owner.calls, c.calls);
        EXPECT_EQ(FilesUnder(b.app.path()), c.files);
        EXPECT_TRUE(b.answers.boxes.isEmpty());
    }
}

TEST(OrderDialogTest, AFailedPackageEndsTheSequence)
{
    OrderBench b;
    b.sim.SetFile("/files/config/VC-200.tgz", QByteArray(384, '\0') + "body");
    b.ClickRow(0);
    b.Press("btn_NextStep");
    EXPECT_EQ(b.Operations(), (QStringList{"download/config/package", "/files/config/VC-200.tgz"}));
    // Another press runs the whole sequence again.
    b.sim.SetFile("/files/config/VC-200.tgz", QByteArray());
    b.sim.ClearRequests();
    b.sim.SetFault("/files/config/VC-200.tgz", Fault::HttpStatus, 404, 1);
    b.Press("btn_NextStep");
    EXPECT_EQ(b.Hint(), "download config file package failed");
    EXPECT_EQ(b.Operations(), (QStringList{"download/config/package", "/files/config/VC-200.tgz"}));
}

TEST(OrderDialogTest, NextStepProvisionsTheRowThatWasClicked)
{
    OrderBench b;
    b.Press("btn_NextStep");
    EXPECT_EQ(b.answers.boxes, QStringList{"Error|Please select a test order number first"});
    EXPECT_EQ(b.sim.RequestCount(), 0u);

    // Filtering refills the table: the row clicked before names another order now.
    b.ClickRow(1);
    EXPECT_EQ(b.dlg->SelectedRow(), 1);
    b.Combo("cmb_Model")->setCurrentIndex(b.Combo("cmb_Model")->findText("VC-310"));
    EXPECT_EQ(b.TableRows(), QStringList{"WO20240302-07|VC-310"});
    EXPECT_EQ(b.dlg->SelectedRow(), -1);
    b.answers.boxes.clear();
    b.Press("btn_NextStep");
    EXPECT_EQ(b.answers.boxes, QStringList{"Error|Please select a test order number first"});
    EXPECT_EQ(b.sim.RequestCount(), 0u);

    b.ClickRow(0);
    b.Press("btn_NextStep");
    EXPECT_EQ(b.dlg->result(), QDialog::Accepted);
    EXPECT_EQ(b.owner.calls.last(), "SetOrderDetail(WO20240302-07||)");
    EXPECT_EQ(b.sim.Requests().front().query, "model=VC-310");

    // A new list clears the choice as well.
    b.ClickRow(0);
    b.dlg->SetOrderList(SimOrders());
    EXPECT_EQ(b.dlg->SelectedRow(), -1);
}

TEST(OrderDialogTest, ListCombosAndFilter)
{
    OrderBench b(true);
    const QVector<OrderRow> rows{{"WO-1", "VC-200", "10%"}, {"WO-2", "VC-310", "20%"}, {"WO-3", "VC-200", "0%"},
                                {"WO-1", "vc-200", "5%"}};
    b.dlg->SetOrderList(rows);
    auto entries = [](QComboBox* combo) {
        QStringList items;
        for (int i = 0; i < combo->count(); ++i)
            items << combo->itemText(i);
        return items;
    };
    EXPECT_EQ(entries(b.Combo("cmb_OrderNumber")), (QStringList{"", "WO-1", "WO-2", "WO-3"}));
    EXPECT_EQ(entries(b.Combo("cmb_Model")), (QStringList{"", "VC-200", "VC-310", "vc-200"}));
    EXPECT_EQ(b.TableRows().size(), 4);
    EXPECT_TRUE(b.dlg->findChild<QPushButton*>("btn_AfterSale")->isVisible());

    struct Case {
        const char* orderSn;
        const char* model;
        QStringList rows;
    } cases[] = {
        {"", "VC-200", {"WO-1|VC-200", "WO-3|VC-200"}},
        {"WO-1", "VC-200", {"WO-1|VC-200"}},
        {"WO-1", "", {"WO-1|VC-200", "WO-1|vc-200"}},
        {"WO-2", "VC-200", {}},
        {"", "", {"WO-1|VC-200", "WO-2|VC-310", "WO-3|VC-200", "WO-1|vc-200"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.orderSn) + "/" + c.model);
        b.Combo("cmb_OrderNumber")->setCurrentIndex(b.Combo("cmb_OrderNumber")->findText(c.orderSn));
        b.Combo("cmb_Model")->setCurrentIndex(b.Combo("cmb_Model")->findText(c.model));
        EXPECT_EQ(b.TableRows(), c.rows);
    }

    // An empty list leaves everything as it was; without the right there is no after-sale way.
    AfterSalesRight = false;
    b.dlg->SetOrderList({});
    EXPECT_EQ(b.TableRows().size(), 4);
    EXPECT_TRUE(b.dlg->findChild<QPushButton*>("btn_AfterSale")->isVisible());
    b.dlg->SetOrderList(SimOrders());
    EXPECT_FALSE(b.dlg->findChild<QPushButton*>("btn_AfterSale")->isVisible());
}

TEST(OrderDialogTest, AnEmptyOrderNumberEndsNextStepSilently)
{
    OrderBench b;
    b.dlg->SetOrderList({{"", "VC-200", "1%"}});
    b.ClickRow(0);
    b.Press("btn_NextStep");
    EXPECT_TRUE(b.answers.boxes.isEmpty());
    EXPECT_EQ(b.sim.RequestCount(), 0u);
    EXPECT_NE(b.dlg->result(), QDialog::Accepted);
}

TEST(OrderDialogTest, AfterSaleLeavesTheOrderMode)
{
    OrderBench b(true);
    b.answers.boxAnswer = QMessageBox::No;
    b.Press("btn_AfterSale");
    EXPECT_EQ(b.answers.boxes,
              QStringList{"tips|After-sales maintenance test data will not be uploaded. Do you want to continue?"});
    EXPECT_TRUE(WholeMachineTestMode);
    EXPECT_TRUE(b.owner.calls.isEmpty());
    EXPECT_NE(b.dlg->result(), QDialog::Accepted);

    b.answers.boxAnswer = QMessageBox::Yes;
    b.Press("btn_AfterSale");
    EXPECT_FALSE(WholeMachineTestMode);
    EXPECT_EQ(b.owner.calls, QStringList{"EnterAfterSalesMode()"});
    EXPECT_EQ(b.dlg->result(), QDialog::Accepted);
    EXPECT_EQ(b.sim.RequestCount(), 0u);
}

TEST(OrderDialogTest, ClosingEndsTheProgramFromAQueuedCall)
{
    OrderBench b;
    // The owner's close sequence deletes the dialog, as the main window's does.
    b.owner.onClose = [&b] { b.dlg.reset(); };
    QPointer<QDialog> watch(b.dlg.get());
    b.dlg->close();
    EXPECT_TRUE(b.owner.calls.isEmpty());
    EXPECT_FALSE(watch.isNull());
    RunQueuedCalls();
    EXPECT_EQ(b.owner.calls, QStringList{"CloseMainWindow()"});
    EXPECT_TRUE(watch.isNull());

    // Accepting is no close: the owner stays.
    OrderBench accepted(true);
    accepted.answers.boxAnswer = QMessageBox::Yes;
    accepted.Press("btn_AfterSale");
    RunQueuedCalls();
    EXPECT_EQ(accepted.owner.calls, QStringList{"EnterAfterSalesMode()"});
}

TEST(OrderDetailTest, ReadsTheReplyTypeChecked)
{
    struct Case {
        const char* body;
        bool ok;
        const char* error;
        const char* text;   // OrderDataText of the result
    } cases[] = {
        {"{\"ret\":0,\"data\":{\"order_sn\":\"WO-9\",\"num\":12,\"complete_num\":3.0,\"opt_username\":\"li %1 %2\","
         "\"opt_complete_num\":true,\"logo\":7}}",
         true, "", "Order Num:WO-9 \ntotal:12 Completed Num:3 li %1 %2:1 "},
        {"{\"ret\":0,\"data\":{\"order_sn\":\"WO-9\",\"num\":\"12\"}}", false, "num",
         "Order Num: \ntotal:0 Completed Num:0 :0 "},
        {"{\"ret\":0}", true, "", "Order Num: \ntotal:0 Completed Num:0 :0 "},
        {"{\"ret\":0,\"data\":null}", true, "", "Order Num: \ntotal:0 Completed Num:0 :0 "},
        {"{\"ret\":0,\"data\":\"WO-9\"}", false, "data", "Order Num: \ntotal:0 Completed Num:0 :0 "},
        {"{\"ret\":0,\"data\":{\"order_sn\":\"WO-9\",\"logo\":true}}", false, "logo",
         "Order Num: \ntotal:0 Completed Num:0 :0 "},
        {"{\"ret\":0,\"data\":{\"num\":1e12}}", false, "num", "Order Num: \ntotal:0 Completed Num:0 :0 "},
        {"[1]", false, "reply", "Order Num: \ntotal:0 Completed Num:0 :0 "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.body);
        OrderDetail d;
        d.order_sn = "stale";
        QString error;
        EXPECT_EQ(ParseOrderDetail(c.body, &d, &error), c.ok);
        EXPECT_EQ(error, c.error);
        EXPECT_EQ(OrderDataText(d), c.text);
    }
}
