// The operator's session through the main window: every way out of start-up
// and of a session runs the close sequence exactly once, a close asked for
// inside a dialog waits for that dialog, the log-out's rules, and the order
// list read from replies of any shape.
#include "MainWindowFixture.h"

#include "CDeviceManagement.h"
#include "LeftTopWidget.h"
#include "LeftTopWidgetTestPeer.h"
#include "Login_Dlg.h"
#include "OrderChooseDialog.h"
#include "OrderListReply.h"
#include "SdkCallLog.h"
#include "SdkTestSupport.h"
#include "StationStartup.h"
#include "VideoForm.h"
#include "sim/SimLan.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QCheckBox>
#include <QEventLoop>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QTableView>
#include <QTest>
#include <QTimer>

#include <cstring>

namespace {

// Runs the dialog the way exec() would: the action fires inside a nested
// event loop that ends when the dialog finishes.
int RunNested(QDialog* dialog, const std::function<void(QDialog*)>& action)
{
    QEventLoop loop;
    QObject::connect(dialog, &QDialog::finished, &loop, &QEventLoop::quit);
    dialog->show();
    QTimer::singleShot(0, dialog, [dialog, action] { action(dialog); });
    QTimer guard;
    QObject::connect(&guard, &QTimer::timeout, &loop, &QEventLoop::quit);
    guard.start(20000);
    loop.exec();
    return dialog->result();
}

void FillLogin(QDialog* dialog, const std::string& host)
{
    dialog->findChild<QLineEdit*>("le_DomainName")->setText(QString::fromStdString(host));
    dialog->findChild<QLineEdit*>("le_User")->setText("operator");
    dialog->findChild<QLineEdit*>("le_Password")->setText("secret");
}

enum class Way { LoginCancel, LoginEscape, LoginClosed, OrderEscape, OrderClosed };

struct WayOut {
    const char* name;
    Way way;
};

}  // namespace

// Refusing the login or the order dialog at start-up, by button, Esc or the
// dialog's own close, ends the program with 0: the close sequence runs once
// (inside the dialog's loop it waits for the dialog), the window is gone and
// no longer the process's main window.
TEST_F(MainWindowTest, EveryRefusalAtStartUpRunsTheCloseSequenceOnce)
{
    const WayOut ways[] = {
        {"login Cancel", Way::LoginCancel}, {"login Esc", Way::LoginEscape}, {"login closed", Way::LoginClosed},
        {"order Esc", Way::OrderEscape},    {"order closed", Way::OrderClosed},
    };
    for (const WayOut& w : ways) {
        SCOPED_TRACE(w.name);
        LoggedIn = false;
        WholeMachineTestMode = false;
        AfterSalesRight = false;
        const int before = CloseSequences();
        const std::string host = s_sim->HostText();
        int dialogs = 0;
        ModalHook::Set([&](QDialog* dialog) {
            ++dialogs;
            const bool login = qobject_cast<Login_Dlg*>(dialog) != nullptr;
            const bool refuseHere = login == (w.way == Way::LoginCancel || w.way == Way::LoginEscape
                                              || w.way == Way::LoginClosed);
            return RunNested(dialog, [&, login, refuseHere](QDialog* d) {
                if (login && !refuseHere) {
                    FillLogin(d, host);
                    Press(d, "btn_Login");
                } else if (w.way == Way::LoginCancel) {
                    Press(d, "btn_Cancel");
                } else if (w.way == Way::LoginEscape || w.way == Way::OrderEscape) {
                    QTest::keyClick(d, Qt::Key_Escape);
                } else {
                    d->close();
                }
            });
        });
        EXPECT_EQ(RunStation(*qApp), 0);
        ModalHook::Clear();
        Settle(100);   // calls queued by the dialogs find nobody
        EXPECT_EQ(dialogs, w.way == Way::OrderEscape || w.way == Way::OrderClosed ? 2 : 1);
        EXPECT_EQ(CloseSequences() - before, 1);
        EXPECT_EQ(MainWindowInstance.load(), nullptr);
    }
}

// A close asked for while a dialog of the window is in its modal loop (the
// dialog's Cancel does that) waits for the dialog to return, then runs once.
TEST_F(MainWindowTest, ACloseAskedForInsideADialogWaitsForTheDialog)
{
    Make();
    QPointer<Login_Dlg> login = window->LoginDialog();
    bool aliveAfterClose = false;
    ModalHook::Set([&](QDialog* dialog) {
        return RunNested(dialog, [&](QDialog* d) {
            window->close();   // as the dialog's queued close of the main window
            Settle(3 * Dravonix::CLOSE_RETRY_MS);
            aliveAfterClose = !login.isNull() && window->LoginDialog() == login;
            if (aliveAfterClose)
                Press(d, "btn_Cancel");
        });
    });
    EXPECT_EQ(window->AutoLogin(), -1);
    ModalHook::Clear();
    EXPECT_TRUE(aliveAfterClose);
    EXPECT_TRUE(WaitFor([&] { return ClosesSinceStart() == 1 && login.isNull(); }));
    Settle(200);
    EXPECT_EQ(ClosesSinceStart(), 1);
    EXPECT_EQ(window->LoginDialog(), nullptr);
    EXPECT_EQ(MainWindowInstance.load(), nullptr);
}

// A camera the operator plays from the device table, with no run: the close
// ends its stream, which the SDK's threads feed into the controller's record
// and the video pane, before the pane and the controller are deleted.
TEST_F(MainWindowTest, TheCloseEndsAStreamPlayedWithoutARunBeforeItsPaneAndRecordGo)
{
    ASSERT_EQ(LoadSimLan(R"({"adapter": {"address": "127.0.0.5", "netmask": "255.255.255.0"},
                             "cameras": [{"serial": "VTT0000000000041", "address": "127.0.0.41",
                                          "loginDelayMs": 20, "replyDelayMs": 10}]})"),
              QString());
    Make();
    window->GetController()->findChild<QCheckBox*>("check_AutoPlayVideo")->setChecked(false);
    QCoreApplication::sendPostedEvents(window.get());
    CDeviceManagement* table = window->DeviceTable();
    table->findChild<QPushButton*>("m_SearchDevBtn")->click();
    ASSERT_TRUE(WaitFor([&] { return !table->IsBusy(); }, 20000));
    auto* view = table->findChild<QTableView*>("m_SearchDevTableView");
    ASSERT_EQ(view->model()->rowCount(), 1);
    // The row plays once its login has been answered.
    ASSERT_TRUE(WaitFor([&] {
        if (SimLan::Instance().LiveStreams() == 0)
            emit view->doubleClicked(view->model()->index(0, 0));
        return SimLan::Instance().LiveStreams() == 1;
    }));
    ASSERT_TRUE(WaitFor([] { return SdkCallLog::Instance().VideoInputs() >= 10; })) << "pictures reach the pane";

    int streamsWhenPaneWent = -1;
    int streamsWhenControllerWent = -1;
    QObject::connect(window->GetCurVideoForm(), &QObject::destroyed,
                     [&] { streamsWhenPaneWent = SimLan::Instance().LiveStreams(); });
    QObject::connect(window->GetController(), &QObject::destroyed,
                     [&] { streamsWhenControllerWent = SimLan::Instance().LiveStreams(); });
    window->close();
    EXPECT_EQ(streamsWhenPaneWent, 0);
    EXPECT_EQ(streamsWhenControllerWent, 0);
    window.reset();
    SimLan::Instance().Reset();
}

// "Log Out" sends the logout request unless five or more uploads in a row
// failed; a refused login afterwards ends the program once.
TEST_F(MainWindowTest, LogOutSendsNoRequestAfterFiveFailedUploads)
{
    struct Case {
        int failures;
        int logoutRequests;
    };
    for (const Case c : {Case{4, 1}, Case{5, 0}, Case{9, 0}}) {
        SCOPED_TRACE(c.failures);
        s_sim->ClearRequests();
        Make();
        m_closesBefore = CloseSequences();
        LoggedIn = true;
        WholeMachineTestMode = true;
        Peer(*window->GetController()).UploadFailureCount = c.failures;
        int loginDialogs = 0;
        ModalHook::Set([&](QDialog* dialog) {
            loginDialogs += qobject_cast<Login_Dlg*>(dialog) ? 1 : 0;
            return int(QDialog::Rejected);
        });
        window->onLogOut();
        ModalHook::Clear();
        EXPECT_EQ(OperationCount("logout"), c.logoutRequests);
        EXPECT_EQ(loginDialogs, 1);
        EXPECT_FALSE(LoggedIn.load());
        EXPECT_TRUE(WaitFor([&] { return ClosesSinceStart() == 1; }));
        window.reset();
        EXPECT_EQ(ClosesSinceStart(), 1);
    }
}

// A refused logout shows the back-end's message as plain text and ends the
// program through one close sequence; the login dialog never opens.
TEST_F(MainWindowTest, ARefusedLogoutShowsTheMessageAndClosesOnce)
{
    Make();
    LoggedIn = true;
    s_sim->SetFault("logout", BackendSimulator::Fault::Ret, 7);
    QStringList texts;
    int loginDialogs = 0;
    ModalHook::Set([&](QDialog* dialog) {
        if (auto* box = qobject_cast<QMessageBox*>(dialog)) {
            texts << box->text();
            EXPECT_EQ(box->textFormat(), Qt::PlainText);
        }
        loginDialogs += qobject_cast<Login_Dlg*>(dialog) ? 1 : 0;
        return int(QDialog::Accepted);
    });
    window->onLogOut();
    ModalHook::Clear();
    EXPECT_EQ(texts, QStringList({"refused"}));
    EXPECT_EQ(loginDialogs, 0);
    EXPECT_TRUE(WaitFor([&] { return ClosesSinceStart() == 1; }));
    window.reset();
    EXPECT_EQ(ClosesSinceStart(), 1);
}

// The order list takes the "data" array's members as texts (numbers as their
// decimal text); any other shape reads as an empty list, never as an exception.
TEST(OrderListReplyTest, ReadsTextMembersOfTheDataArrayOnly)
{
    struct Case {
        const char* body;
        bool ok;
        int rows;
    };
    const Case cases[] = {
        {R"({"ret":0,"data":[{"order_sn":"A1","model":"M","complete_percent":"5%"},
                              {"order_sn":"B2","model":"N","complete_percent":"0%"}]})", true, 2},
        {R"({"ret":0,"data":[]})", true, 0},
        {R"({"ret":0,"data":{"order_sn":"A1"}})", false, 0},
        {R"({"ret":0,"data":"A1"})", false, 0},
        {R"({"ret":0})", true, 0},                  // no orders
        {R"({"ret":0,"data":null})", true, 0},
        {R"({"ret":0,"data":[{"order_sn":"A1","model":"M","complete_percent":35}]})", true, 1},   // "35"
        {R"({"ret":0,"data":[{"order_sn":"A1","model":"M","complete_percent":{"v":35}}]})", false, 0},
        {R"({"ret":0,"data":[{"order_sn":"A1","model":"M","complete_percent":"5%"},7]})", false, 0},
        {R"({"ret":0,"data":[{"order_sn":["A1"],"model":"M","complete_percent":"5%"}]})", false, 0},
        {R"([{"order_sn":"A1"}])", false, 0},
        {"<html>gateway</html>", false, 0},
        {"", false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.body);
        QVector<OrderRow> rows{{"stale", "stale", "stale"}};
        EXPECT_EQ(ReadOrderListReply(c.body, strlen(c.body), &rows), c.ok);
        EXPECT_EQ(rows.size(), c.rows);
    }
    QVector<OrderRow> rows;
    const char two[] = R"({"data":[{"order_sn":"A1","model":"M","complete_percent":"5%"}]})";
    ASSERT_TRUE(ReadOrderListReply(two, strlen(two), &rows));
    EXPECT_EQ(rows[0].order_sn, "A1");
    EXPECT_EQ(rows[0].model, "M");
    EXPECT_EQ(rows[0].complete_percent, "5%");
}

// A reply of another shape leaves the dialog an empty list and the log its line;
// the dialog still opens.
TEST_F(MainWindowTest, AnOrderListOfAnotherShapeOpensTheDialogEmpty)
{
    Make();
    s_sim->SetReply("init/order/info", R"({"ret":0,"data":{"order_sn":"A1"}})");
    int dialogs = 0;
    ModalHook::Set([&](QDialog* dialog) {
        dialogs += qobject_cast<OrderChooseDialog*>(dialog) ? 1 : 0;
        return int(QDialog::Rejected);
    });
    EXPECT_EQ(window->ChooseTestOrderNumber(), int(QDialog::Rejected));
    ModalHook::Clear();
    s_sim->SetReply("init/order/info", R"({"ret":0,"data":[]})");
    EXPECT_EQ(dialogs, 1);
    EXPECT_TRUE(window->OrderList().isEmpty());
    EXPECT_TRUE(s_dir->readFile("Log_Dir/" + QDate::currentDate().toString("yyyy-MM-dd") + ".log")
                    .contains("#Dravonix::ChooseTestOrderNumber() reader parase error"));
}
