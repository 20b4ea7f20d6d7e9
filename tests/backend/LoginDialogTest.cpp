// The login dialog against the back-end simulator, and the not-logged-in mode dialog.
#include "AppGlobals.h"
#include "BackendSimulator.h"
#include "CConfigFile.h"
#include "Clock.h"
#include "DialogAnswers.h"
#include "FakeDialogOwner.h"
#include "Log.h"
#include "Login_Dlg.h"
#include "NotLoginModeDlg.h"
#include "TempAppDir.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

namespace {

using Fault = BackendSimulator::Fault;

// Sends its login to `redirect` when set, whatever the server text says.
class TestLoginDlg : public Login_Dlg {
public:
    using Login_Dlg::Login_Dlg;
    std::string redirect;

protected:
    HttpResult SendLoginRequest(const QByteArray& user, const QByteArray& password) override
    {
        if (redirect.empty())
            return Login_Dlg::SendLoginRequest(user, password);
        const QString kept = ServerHost;
        ServerHost = QString::fromStdString(redirect);
        const HttpResult result = Login_Dlg::SendLoginRequest(user, password);
        ServerHost = kept;
        return result;
    }
};

std::string Reply(const std::string& rights, const std::string& more = "")
{
    return "{\"ret\":0,\"msg\":\"login success\",\"tool_permissions\":" + rights
        + ",\"customer_name\":\"Vantrel Test Factory\",\"customer_id\":\"1001\"" + more + "}";
}

class LoginTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetLoginState();
        ASSERT_TRUE(sim.Start());
        owner.base = app.path();
    }
    void TearDown() override { ResetLoginState(); }

    // A dialog over the temporary config.ini, filled for a login to the simulator.
    TestLoginDlg& Make(const QString& user = "operator1", const QString& password = "admin123")
    {
        store.reset(new CConfigFile(app.configPath()));
        dlg.reset(new TestLoginDlg(&owner, nullptr, store.get()));
        Edit("le_User")->setText(user);
        Edit("le_Password")->setText(password);
        Edit("le_DomainName")->setText(QString::fromStdString(sim.HostText()));
        Edit("le_CutOffTime")->setText("4500");
        Check("chk_RemeberPassword")->setChecked(true);
        Check("ckb_OpenLog")->setChecked(true);
        return *dlg;
    }
    QLineEdit* Edit(const char* name) { return dlg->findChild<QLineEdit*>(name); }
    QCheckBox* Check(const char* name) { return dlg->findChild<QCheckBox*>(name); }
    void Click(const char* name)
    {
        dlg->findChild<QPushButton*>(name)->click();
        RunQueuedCalls();
    }
    QByteArray Ini() const { return app.readFile("config.ini"); }

    TempAppDir app;
    BackendSimulator sim;
    FakeDialogOwner owner;
    DialogAnswers answers;
    std::unique_ptr<CConfigFile> store;
    std::unique_ptr<TestLoginDlg> dlg;
};

QByteArray SavedIni(const std::string& host, const char* loginPassword = "va0000hxlFi_rVp0a4cevU",
                    const char* remember = "true", const char* autoLogin = "false")
{
    return QByteArray("[CONFIG]\n"
                      "HardwareAccelMode=0\n"
                      "MultiThreadDecode=0\n"
                      "Password=\n"
                      "SSID=\n"
                      "StreamJudgeTime=4500\n"
                      "WifiQuality=\n"
                      "WifiSignal=\n"
                      "iLogSwitch=1\n"
                      "iSingleFixedIPTestMode=0\n"
                      "iTestMode=0\n"
                      "\n"
                      "[LOGIN_CNF_INFO]\n"
                      "LoginPassword=")
        + loginPassword + "\nLoginUserName=operator1\nServiceIp=" + QByteArray::fromStdString(host)
        + "\nbAutoLogin=" + autoLogin + "\nbRemeberPassword=" + remember + "\n";
}

}  // namespace

TEST_F(LoginTest, OutcomeOfEachReply)
{
    const char* granted = "login(operator1|Vantrel Test Factory|1001)";
    const QString noRead = "Error|The back-end's login reply could not be read";
    struct Case {
        const char* name;
        std::function<void(BackendSimulator&)> setup;
        const char* domain;   // nullptr: the simulator's host text
        QStringList boxes;
        bool loggedIn, wholeMachine, afterSales, accepted;
        QStringList calls;
    } cases[] = {
        {"transport failure", [](BackendSimulator& s) { s.SetFault("login", Fault::HttpStatus, 500); }, nullptr,
         {"Error|please check network state"}, false, false, false, false, {}},
        {"refusal with msg", [](BackendSimulator& s) { s.SetReply("login", "{\"ret\":-3,\"msg\":\"wrong <b>pw</b>\"}"); },
         nullptr, {"Error|wrong <b>pw</b>"}, false, false, false, false, {}},
        {"refusal, msg of another kind",
         [](BackendSimulator& s) { s.SetReply("login", "{\"ret\":-3,\"msg\":{\"text\":1}}"); }, nullptr, {noRead},
         false, false, false, false, {}},
        {"not JSON", [](BackendSimulator& s) { s.SetFault("login", Fault::NotJson); }, nullptr, {}, false, false,
         false, false, {}},
        {"whole machine", [](BackendSimulator& s) { s.SetReply("login", Reply("[{\"flag\":\"WholeMachineTest\"}]")); },
         nullptr, {}, true, true, false, true, {granted}},
        {"after sales",
         [](BackendSimulator& s) { s.SetReply("login", Reply("[{\"flag\":\"AfterSalesMaintenanceTest\"}]")); },
         nullptr, {}, true, false, true, true, {granted}},
        {"both rights", [](BackendSimulator&) {}, nullptr, {}, true, true, true, true, {granted}},
        {"no right", [](BackendSimulator& s) { s.SetReply("login", Reply("[{\"flag\":\"LabelDesign\"}]")); }, nullptr,
         {"Error|this user name no authority"}, false, false, false, false, {}},
        {"no rights list", [](BackendSimulator& s) { s.SetReply("login", Reply("null")); }, nullptr,
         {"Error|this user name no authority"}, false, false, false, false, {}},
        {"rights not an array",
         [](BackendSimulator& s) { s.SetReply("login", Reply("\"WholeMachineTest,AfterSalesMaintenanceTest\"")); },
         nullptr, {noRead}, false, false, false, false, {}},
        {"flag of another kind",
         [](BackendSimulator& s) { s.SetReply("login", Reply("[{\"flag\":[\"WholeMachineTest\"]}]")); }, nullptr,
         {noRead}, false, false, false, false, {}},
        {"customer of another kind",
         [](BackendSimulator& s) {
             s.SetReply("login", "{\"ret\":0,\"tool_permissions\":[{\"flag\":\"WholeMachineTest\"}],"
                                 "\"customer_name\":{\"n\":1}}");
         },
         nullptr, {noRead}, false, false, false, false, {}},
        {"fixed host", [](BackendSimulator& s) { s.SetReply("login", Reply("[{\"flag\":\"WholeMachineTest\"}]")); },
         AFTER_SALES_BACKEND_HOST, {}, true, false, false, true, {granted}},
        {"standby fixed host with a port", [](BackendSimulator&) {}, "AfterSales-Standby.tolvane.example:8080", {},
         true, false, true, true, {granted}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ResetLoginState();
        sim.ClearFaults();
        sim.SetReply("login", Reply("[{\"flag\":\"WholeMachineTest\"},{\"flag\":\"AfterSalesMaintenanceTest\"}]"));
        c.setup(sim);
        QFile::remove(app.configPath());
        answers.boxes.clear();
        owner.calls.clear();
        TestLoginDlg& d = Make();
        const std::string host = c.domain ? c.domain : sim.HostText();
        if (c.domain) {
            Edit("le_DomainName")->setText(c.domain);
            d.redirect = sim.HostText();
        }
        Click("btn_Login");
        EXPECT_EQ(answers.boxes, c.boxes);
        EXPECT_EQ(bool(LoggedIn), c.loggedIn);
        EXPECT_EQ(bool(WholeMachineTestMode), c.wholeMachine);
        EXPECT_EQ(bool(AfterSalesRight), c.afterSales);
        EXPECT_EQ(ServerHost.toStdString(), host);
        EXPECT_EQ(d.result() == QDialog::Accepted, c.accepted);
        EXPECT_EQ(owner.calls, c.calls);
        EXPECT_EQ(Ini(), c.accepted ? SavedIni(host) : QByteArray());
        if (c.accepted) {
            EXPECT_EQ(Edit("le_User")->text(), "");
            EXPECT_EQ(Edit("le_Password")->text(), "");
        }
    }
}

TEST_F(LoginTest, NoticeAlarmAndCustomerTexts)
{
    sim.SetReply("login", "{\"ret\":0,\"tool_permissions\":[{\"flag\":\"WholeMachineTest\"}],\"customer_name\":\"\","
                          "\"customer_id\":7,\"notice\":\"Line 3 closes at 18:00\",\"alarm\":\"<b>x</b> & 'y'\"}");
    Make();
    Click("btn_Login");
    // The alarm stays text: the reply cannot bring markup of its own into the box.
    EXPECT_EQ(answers.boxes, QStringList{"|<font size='10' color='red'>&lt;b&gt;x&lt;/b&gt; &amp; 'y'</font>"});
    EXPECT_EQ(NoticeText, "Line 3 closes at 18:00");
    EXPECT_EQ(owner.calls, QStringList{"login(operator1|Failed to obtain company name|7)"});

    // Outside the order mode the notice is not taken.
    ResetLoginState();
    answers.boxes.clear();
    sim.SetReply("login", "{\"ret\":0,\"tool_permissions\":[{\"flag\":\"AfterSalesMaintenanceTest\"}],"
                          "\"notice\":\"for order mode only\"}");
    Make();
    Click("btn_Login");
    EXPECT_TRUE(LoggedIn);
    EXPECT_EQ(NoticeText, "");
    EXPECT_TRUE(answers.boxes.isEmpty());
}

TEST_F(LoginTest, InputCheckComesBeforeAnyRequest)
{
    QTimer heartbeat;
    HeartbeatTimer = &heartbeat;
    // A cut-off time under the floor would drop every camera before its record is submitted.
    const char* tooShort = "Error|Cut-off judgment time must be 2000 to 999999999 ms!";
    struct Case {
        const char* field;
        const char* text;
        const char* box;
    } cases[] = {
        {"le_User", "", "Error|user or password is empty!"},
        {"le_Password", "", "Error|user or password is empty!"},
        {"le_DomainName", "", "Error|Domain name is empty!"},
        {"le_CutOffTime", "", "Error|Cut-off judgment time is empty!"},
        {"le_CutOffTime", "1", tooShort},
        {"le_CutOffTime", "0", tooShort},
        {"le_CutOffTime", "1999", tooShort},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.field) + "=" + c.text);
        answers.boxes.clear();
        Make();
        Edit(c.field)->setText(c.text);
        Click("btn_Login");
        EXPECT_EQ(answers.boxes, QStringList{c.box});
        EXPECT_FALSE(heartbeat.isActive());
    }
    EXPECT_EQ(sim.RequestCount(), 0u);
    EXPECT_TRUE(ServerHost.isEmpty());

    // An attempt that passes the check starts the heartbeat, even when it fails.
    sim.SetRefusing(true);
    Make();
    Edit("le_CutOffTime")->setText("2000");
    Click("btn_Login");
    EXPECT_TRUE(heartbeat.isActive());
    EXPECT_EQ(heartbeat.interval(), 1200000);
    EXPECT_FALSE(LoggedIn);
}

TEST_F(LoginTest, FieldsRefuseWhatTheyMayNotHold)
{
    Make();
    EXPECT_EQ(dlg->windowTitle(), "TolvaneV1.0.6.4login");
    EXPECT_EQ(dlg->size(), QSize(400, 320));
    EXPECT_EQ(Edit("le_Password")->echoMode(), QLineEdit::Password);
    struct Case {
        const char* field;
        const char* typed;
        const char* kept;
    } cases[] = {
        {"le_DomainName", "factory-1.example:8080/x_y", "factory-1.example:8080/x_y"},
        {"le_DomainName", "a b;c", "abc"},
        {"le_CutOffTime", "12a3", "123"},
        {"le_CutOffTime", "12345678901", "123456789"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        Edit(c.field)->clear();
        QTest::keyClicks(Edit(c.field), c.typed);
        EXPECT_EQ(Edit(c.field)->text(), c.kept);
    }
    Edit("le_Password")->setText(QString(70, 'p'));
    EXPECT_EQ(Edit("le_Password")->text().size(), 60);
    Edit("le_User")->setText(QString(200, 'u'));
    EXPECT_EQ(Edit("le_User")->text().size(), 190);
}

TEST_F(LoginTest, RememberAndAutoLoginGoTogether)
{
    Make();
    QCheckBox* remember = Check("chk_RemeberPassword");
    QCheckBox* autoLogin = Check("chk_AutoLogin");
    remember->setChecked(false);
    autoLogin->setChecked(true);
    EXPECT_TRUE(remember->isChecked());
    remember->setChecked(false);
    EXPECT_FALSE(autoLogin->isChecked());

    // Not remembered: no password is stored.
    Click("btn_Login");
    EXPECT_EQ(Ini(), SavedIni(sim.HostText(), "", "false"));

    // Auto-login stored: a new dialog reads it all back and logs in by itself.
    ResetLoginState();
    Make("operator1", "admin123");
    Check("chk_AutoLogin")->setChecked(true);
    Click("btn_Login");
    EXPECT_EQ(Ini(), SavedIni(sim.HostText(), "va0000hxlFi_rVp0a4cevU", "true", "true"));
    ResetLoginState();
    sim.ClearRequests();
    store.reset(new CConfigFile(app.configPath()));
    dlg.reset(new TestLoginDlg(&owner, nullptr, store.get()));
    EXPECT_TRUE(dlg->IsAutoLogin());
    EXPECT_EQ(Edit("le_User")->text(), "operator1");
    EXPECT_EQ(Edit("le_Password")->text(), "admin123");
    EXPECT_EQ(Edit("le_CutOffTime")->text(), "4500");
    EXPECT_TRUE(Check("ckb_OpenLog")->isChecked());
    EXPECT_EQ(dlg->AutoLogin(), 0);
    RunQueuedCalls();
    EXPECT_TRUE(LoggedIn);
    EXPECT_EQ(dlg->result(), QDialog::Accepted);
    ASSERT_EQ(sim.RequestCount(), 1u);
    EXPECT_NE(sim.Requests()[0].query.find("u=operator1&p=admin123&whole_machine_version=1.0.6.4"), std::string::npos);
}

TEST_F(LoginTest, AutoLoginWithABrokenStoredPasswordSendsNothing)
{
    const std::string host = sim.HostText();
    for (const char* stored : {"va0000ixlFi_rVp0a4cevU", "va0000hxlFi_rVp0a4cevUx", "va00"}) {
        SCOPED_TRACE(stored);
        answers.boxes.clear();
        app.writeFile("config.ini", "[LOGIN_CNF_INFO]\nServiceIp=" + QByteArray::fromStdString(host)
                                        + "\nLoginUserName=operator1\nLoginPassword=" + stored
                                        + "\nbRemeberPassword=true\nbAutoLogin=true\n[CONFIG]\nStreamJudgeTime=10\n");
        store.reset(new CConfigFile(app.configPath()));
        dlg.reset(new TestLoginDlg(&owner, nullptr, store.get()));
        EXPECT_EQ(Edit("le_Password")->text(), "");
        dlg->AutoLogin();
        RunQueuedCalls();
        EXPECT_EQ(answers.boxes, QStringList{"Error|user or password is empty!"});
        EXPECT_FALSE(LoggedIn);
    }
    EXPECT_EQ(sim.RequestCount(), 0u);
}

TEST_F(LoginTest, ExistingStationSettingsSurviveTheSave)
{
    app.writeFile("config.ini", "[CONFIG]\nSSID=line-7\nWifiSignal=-60\niTestMode=1\nStreamJudgeTime=3000\n"
                                "[IP]\nStartIp=127.0.0.10\n");
    Make();
    Click("btn_Login");
    ASSERT_TRUE(LoggedIn);
    CConfigFile fresh(app.configPath());
    ConfigInfo info;
    fresh.GetConfigInfo(info);
    EXPECT_EQ(info.m_SystemConfig.SSID, "line-7");
    EXPECT_EQ(info.m_SystemConfig.WifiSignal, "-60");
    EXPECT_EQ(info.m_SystemConfig.iTestMode, 1);
    EXPECT_EQ(info.m_SystemConfig.StreamJudgeTime, 4500);
    EXPECT_EQ(info.m_SystemConfig.iLogSwitch, 1);
    EXPECT_EQ(info.m_IpSection.StartIp, "127.0.0.10");
    EXPECT_EQ(info.m_LoginInfo.LoginPassword, "va0000hxlFi_rVp0a4cevU");
}

TEST_F(LoginTest, OpenLogSetsTheFileLogLevel)
{
    const int before = LogLevel();
    Make();
    Check("ckb_OpenLog")->setChecked(true);
    EXPECT_EQ(LogLevel(), 3);
    Check("ckb_OpenLog")->setChecked(false);
    EXPECT_EQ(LogLevel(), 1);
    LogSetLevel(before);
}

TEST_F(LoginTest, CancelAndCloseEndTheProgramFromAQueuedCall)
{
    // The owner's close sequence deletes the dialog, as the main window's does.
    owner.onClose = [this] { dlg.reset(); };
    Make();
    QPointer<QDialog> watch(dlg.get());
    Click("btn_Cancel");
    EXPECT_EQ(owner.calls, QStringList{"CloseMainWindow()"});
    EXPECT_TRUE(watch.isNull());

    // Closing the window while not logged in ends the program too; logged in it does not.
    owner.calls.clear();
    Make();
    dlg->show();
    dlg->close();
    EXPECT_TRUE(owner.calls.isEmpty());   // not from inside the close handler
    RunQueuedCalls();
    EXPECT_EQ(owner.calls, QStringList{"CloseMainWindow()"});

    owner.calls.clear();
    Make();
    LoggedIn = true;
    dlg->show();
    dlg->close();
    RunQueuedCalls();
    EXPECT_TRUE(owner.calls.isEmpty());
}

TEST_F(LoginTest, NotLoggedInModeAcceptsWithoutALogin)
{
    int offered = 0;
    bool typeRight = true;
    answers.other = [&](QDialog* d) {
        auto* guard = qobject_cast<NotLoginModeDlg*>(d);
        if (!guard)
            return int(QDialog::Rejected);
        ++offered;
        const QString shown = guard->ShownDigits();
        for (int i = 0; i < 4; ++i)
            guard->TypedEdit(i)->setText(typeRight ? shown.mid(i, 1) : QString::number((shown[i].digitValue() + 1) % 10));
        guard->findChild<QPushButton*>("btn_NextStep")->click();
        return guard->result();
    };
    Make();
    typeRight = false;
    Click("btn_NotLoginMode");
    EXPECT_NE(dlg->result(), QDialog::Accepted);
    typeRight = true;
    Click("btn_NotLoginMode");
    EXPECT_EQ(offered, 2);
    EXPECT_EQ(dlg->result(), QDialog::Accepted);
    EXPECT_FALSE(LoggedIn);
    EXPECT_TRUE(owner.calls.isEmpty());
    EXPECT_EQ(sim.RequestCount(), 0u);
    EXPECT_EQ(answers.boxes, QStringList{"Error|The input figures do not match. Please try again"});
}

namespace {

WallTime TenOClock()
{
    WallTime t;
    t.year = 2024;
    t.month = 3;
    t.day = 1;
    t.hour = 10;
    return t;
}

// The station's wall clock stands at 10:00:00 while the object lives.
struct ClockAtTen {
    ClockAtTen() { Clock::SetWallSource(&TenOClock); }
    ~ClockAtTen() { Clock::SetWallSource(nullptr); }
};

class NotLoginModeTest : public ::testing::Test {
protected:
    QPushButton* Button(const char* name) { return dlg.findChild<QPushButton*>(name); }
    void TypeAll(const QString& digits)
    {
        for (int i = 0; i < 4; ++i)
            dlg.TypedEdit(i)->setText(digits.mid(i, 1));
    }
    QString Typed() const
    {
        QString t;
        for (int i = 0; i < 4; ++i)
            t += dlg.TypedEdit(i)->text() + "/";
        return t;
    }
    ClockAtTen clock;   // before the dialog, which draws its digits when made
    DialogAnswers answers;
    NotLoginModeDlg dlg;
};

}  // namespace

TEST_F(NotLoginModeTest, DigitsComeFromTheClockSeed)
{
    const QString digits = dlg.ShownDigits();
    ASSERT_EQ(digits.size(), 4);
    for (QChar c : digits)
        EXPECT_TRUE(c.isDigit());
    NotLoginModeDlg again;
    EXPECT_EQ(again.ShownDigits(), digits);
    EXPECT_TRUE(dlg.ShownEdit(0)->isReadOnly());
    EXPECT_FALSE(dlg.windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_EQ(dlg.size(), QSize(412, 245));
}

TEST_F(NotLoginModeTest, FocusWalksThroughTheBoxes)
{
    EXPECT_EQ(dlg.focusWidget(), dlg.TypedEdit(0));
    QTest::keyClicks(dlg.TypedEdit(0), "a");   // letters are refused and move nothing
    EXPECT_EQ(dlg.TypedEdit(0)->text(), "");
    EXPECT_EQ(dlg.focusWidget(), dlg.TypedEdit(0));
    for (int i = 0; i < 4; ++i) {
        QTest::keyClicks(dlg.TypedEdit(i), "78");   // one digit per box
        EXPECT_EQ(dlg.TypedEdit(i)->text(), "7");
        QWidget* next = i < 3 ? static_cast<QWidget*>(dlg.TypedEdit(i + 1)) : Button("btn_NextStep");
        EXPECT_EQ(dlg.focusWidget(), next) << i;
    }
    dlg.TypedEdit(3)->setFocus();
    dlg.TypedEdit(3)->clear();
    EXPECT_EQ(dlg.focusWidget(), dlg.TypedEdit(3));
}

TEST_F(NotLoginModeTest, NextStepChecksTheDigits)
{
    const QString shown = dlg.ShownDigits();
    TypeAll(shown.left(3));
    Button("btn_NextStep")->click();
    EXPECT_EQ(answers.boxes, QStringList{"Error|Please enter the corresponding number"});
    EXPECT_EQ(Typed(), shown.left(3).split("").mid(1, 3).join("/") + "//");
    EXPECT_EQ(dlg.result(), 0);

    answers.boxes.clear();
    QString wrong = shown;
    wrong[2] = QChar('0' + (shown[2].digitValue() + 1) % 10);
    TypeAll(wrong);
    Button("btn_NextStep")->click();
    EXPECT_EQ(answers.boxes, QStringList{"Error|The input figures do not match. Please try again"});
    EXPECT_EQ(Typed(), "////");
    EXPECT_EQ(dlg.focusWidget(), dlg.TypedEdit(0));
    EXPECT_EQ(dlg.ShownDigits(), shown);
    EXPECT_EQ(dlg.result(), 0);

    TypeAll(shown);
    Button("btn_NextStep")->click();
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
}

// Enter presses the button that has the focus, and Next Step from the boxes:
// the operator need not reach for the mouse after the fourth digit.
TEST_F(NotLoginModeTest, EnterPressesNextStep)
{
    struct EnterCase {
        const char* what;
        int digitsTyped;
        const char* focus;          // a button, or null for the box the typing left it in
        Qt::Key key;
        int result;                 // -1: neither accepted nor rejected
        QStringList boxes;
    };
    const EnterCase cases[] = {
        {"after the fourth digit", 4, nullptr, Qt::Key_Return, QDialog::Accepted, {}},
        {"keypad Enter after the fourth digit", 4, nullptr, Qt::Key_Enter, QDialog::Accepted, {}},
        {"in a box with a digit missing", 3, nullptr, Qt::Key_Return, -1,
         {"Error|Please enter the corresponding number"}},
        {"on Pre Step", 4, "btn_PreStep", Qt::Key_Return, QDialog::Rejected, {}},
    };
    for (const EnterCase& c : cases) {
        SCOPED_TRACE(c.what);
        answers.boxes.clear();
        NotLoginModeDlg dialog;
        dialog.setResult(-1);
        dialog.show();
        const QString shown = dialog.ShownDigits();
        for (int i = 0; i < c.digitsTyped; ++i)
            QTest::keyClicks(dialog.TypedEdit(i), shown.mid(i, 1));
        if (c.focus)
            dialog.findChild<QPushButton*>(c.focus)->setFocus();
        ASSERT_NE(dialog.focusWidget(), nullptr);
        QTest::keyClick(dialog.focusWidget(), c.key);
        EXPECT_EQ(dialog.result(), c.result);
        EXPECT_EQ(answers.boxes, c.boxes);
    }
}

TEST_F(NotLoginModeTest, PreStepRejects)
{
    dlg.setResult(-1);
    Button("btn_PreStep")->click();
    EXPECT_EQ(dlg.result(), QDialog::Rejected);
    EXPECT_TRUE(answers.boxes.isEmpty());
}
