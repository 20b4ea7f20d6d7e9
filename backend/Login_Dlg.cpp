#include "Login_Dlg.h"

#include "ui_Login_Dlg.h"

#include "AppGlobals.h"
#include "BackendDialogOwner.h"
#include "CConfigFile.h"
#include "BackendEndpoint.h"
#include "HttpClient.h"
#include "InfoBox.h"
#include "JsonReply.h"
#include "Log.h"
#include "ModalHook.h"
#include "NotLoginModeDlg.h"
#include "PasswordScrambler.h"

#include <QCloseEvent>
#include <QIcon>
#include <QMessageBox>
#include <QPixmap>
#include <QPushButton>
#include <QRegExpValidator>
#include <QTimer>

#include <json/value.h>

#include <cstring>
#include <memory>
#include <new>

namespace {

constexpr int CUT_OFF_TIME_DIGITS = 9;   // always within int range
constexpr int CUT_OFF_TIME_MAX_MS = 999999999;

const char kWholeMachineRight[] = "WholeMachineTest";
const char kAfterSalesRight[] = "AfterSalesMaintenanceTest";

}  // namespace

struct Login_Dlg::Reply {
    QString rights;   // every "flag", each followed by ","
    QString customerName;
    QString customerId;
    QString notice;
    QString alarm;
};

Login_Dlg::Login_Dlg(BackendDialogOwner* owner, QWidget* parent, CConfigFile* store)
    : QDialog(parent)
    , ui(new Ui::Login_Dlg)
    , m_pOwner(owner)
    , m_pStore(store ? store : CConfigFile::GetInstance())
{
    ui->setupUi(this);
    setWindowTitle(tr("Tolvane") + TOOL_VERSION + tr("login"));
    InitDialog();
}

Login_Dlg::~Login_Dlg()
{
    delete ui;
}

void Login_Dlg::InitDialog()
{
    InitForm();
    connect(this, &Login_Dlg::login, this, [this](QString userName, QString companyName, QString companyId) {
        if (m_pOwner)
            m_pOwner->onLoginSignalEimt(userName, companyName, companyId);
    });
    connect(ui->btn_Login, &QPushButton::clicked, this, &Login_Dlg::onBtnLoginClicked);
    connect(ui->btn_Cancel, &QPushButton::clicked, this, &Login_Dlg::onBtnCancelClicked);
    connect(ui->btn_NotLoginMode, &QPushButton::clicked, this, &Login_Dlg::onBtnNotLoginModeClicked);
    connect(ui->ckb_OpenLog, &QCheckBox::stateChanged, this, &Login_Dlg::onCkbOpenLogStateChanged);
    connect(ui->chk_AutoLogin, &QCheckBox::stateChanged, this, &Login_Dlg::onAutoLoginStateChanged);
    connect(ui->chk_RemeberPassword, &QCheckBox::stateChanged, this, &Login_Dlg::onRemeberPasswordStateChanged);
    ui->le_User->clear();

    const QString skin = AppDirPath() + "/Skin/";
    setWindowIcon(QIcon(skin + "mv_logo"));
    // The logo ends before the "Not Login" button in the top right corner, which
    // would otherwise cover the logo's lettering.
    const QRect logoPlace = ui->lb_Logo->geometry();
    ui->lb_Logo->resize(qMin(logoPlace.width(), ui->btn_NotLoginMode->x() - 5 - logoPlace.x()), logoPlace.height());
    const QPixmap logo(skin + "Logo2.png");
    if (!logo.isNull())
        ui->lb_Logo->setPixmap(logo.scaled(ui->lb_Logo->size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
    ReadLoginConfig();
}

void Login_Dlg::InitForm()
{
    setWindowFlags(Qt::Dialog | Qt::WindowCloseButtonHint);
    setFixedSize(400, 320);
    ui->le_User->setMaxLength(190);
    ui->le_Password->setMaxLength(60);
    ui->le_Password->setEchoMode(QLineEdit::Password);
    ui->le_Password->setAttribute(Qt::WA_InputMethodEnabled, false);
    ui->le_DomainName->setValidator(new QRegExpValidator(QRegExp("[0-9./:a-zA-Z-_]+$"), ui->le_DomainName));
    ui->le_CutOffTime->setValidator(new QRegExpValidator(QRegExp("[0-9]+$"), ui->le_CutOffTime));
    // More digits would not fit the stored int and would be saved as 0.
    ui->le_CutOffTime->setMaxLength(CUT_OFF_TIME_DIGITS);
    ui->le_CutOffTime->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
}

void Login_Dlg::ReadLoginConfig()
{
    LoginInfo info;
    SystemConfig config;
    m_pStore->ReadLoginInfo(info);
    m_pStore->ReadConfig(config);
    m_strUserName = info.LoginUserName;
    m_strPassword = info.LoginPassword;
    m_bRemeberPassword = info.bRemeberPassword;
    m_bAutoLogin = info.bAutoLogin;
    if (!DecodeStoredPassword(m_strPassword, &m_password) && !m_strPassword.isEmpty())
        LogPrint(LOG_INFO, "Login_Dlg::ReadLoginConfig() the stored password is not valid, it reads as empty");

    ui->le_User->setText(m_strUserName);
    if (m_bRemeberPassword) {
        ui->chk_RemeberPassword->setChecked(true);
        ui->le_Password->setText(QString::fromUtf8(m_password));
    }
    ui->chk_AutoLogin->setChecked(m_bAutoLogin);
    ui->le_DomainName->setText(info.ServiceIp);
    ui->ckb_OpenLog->setChecked(config.iLogSwitch != 0);
    ui->le_CutOffTime->setText(QString::number(config.StreamJudgeTime));
}

bool Login_Dlg::IsAutoLogin() const
{
    return m_bAutoLogin;
}

int Login_Dlg::AutoLogin()
{
    ui->chk_AutoLogin->setChecked(m_bAutoLogin);
    ui->chk_RemeberPassword->setChecked(m_bRemeberPassword);
    ui->le_Password->setText(QString::fromUtf8(m_password));
    onBtnLoginClicked();
    return 0;
}

bool Login_Dlg::IsAfterSalesOnlyHost(const QString& serverHost)
{
    std::string host;
    uint16_t port = 0;
    if (!HttpClient::SplitHostPort(serverHost.toUtf8().constData(), BackendEndpoint::kDefaultPort, &host, &port))
        host = serverHost.toStdString();
    const QString name = QString::fromStdString(host);
    return name.compare(AFTER_SALES_BACKEND_HOST, Qt::CaseInsensitive) == 0
        || name.compare(AFTER_SALES_BACKEND_HOST_STANDBY, Qt::CaseInsensitive) == 0;
}

void Login_Dlg::ShowError(const QString& text, bool centred)
{
    RunInfoBox(this, tr("Error"), text, tr("OK"), centred);
}

bool Login_Dlg::CheckInput()
{
    if (ui->le_User->text().isEmpty() || ui->le_Password->text().isEmpty()) {
        ShowError(tr("user or password is empty!"));
        return false;
    }
    if (ui->le_DomainName->text().isEmpty()) {
        ShowError(tr("Domain name is empty!"));
        return false;
    }
    if (ui->le_CutOffTime->text().isEmpty()) {
        ShowError(tr("Cut-off judgment time is empty!"));
        return false;
    }
    if (ui->le_CutOffTime->text().toInt() < STREAM_JUDGE_TIME_MIN_MS) {
        ShowError(tr("Cut-off judgment time must be %1 to %2 ms!").arg(STREAM_JUDGE_TIME_MIN_MS).arg(CUT_OFF_TIME_MAX_MS));
        return false;
    }
    return true;
}

HttpResult Login_Dlg::SendLoginRequest(const QByteArray& user, const QByteArray& password)
{
    const QByteArray version = QByteArray(TOOL_VERSION).mid(1);
    HttpClient client;
    return client.HttpLogin(BackendEndpoint::Station(), user.constData(), password.constData(), version.constData());
}

void Login_Dlg::onBtnLoginClicked()
{
    LogPrint(LOG_INFO, "Login_Dlg::onBtnLoginClicked() Enter");
    if (!CheckInput())
        return;
    NoticeText.clear();
    ServerHost = ui->le_DomainName->text();
    const QByteArray user = ui->le_User->text().toUtf8();
    const QByteArray password = ui->le_Password->text().toUtf8();
    // The heartbeat runs from every attempt on, whatever its outcome.
    if (HeartbeatTimer)
        HeartbeatTimer->start(HEARTBEAT_INTERVAL_MS);

    const HttpResult reply = SendLoginRequest(user, password);
    const int ret = reply.Value();
    if (ret > 0) {
        LogPrint(LOG_INFO, "Login_Dlg::onBtnLoginClicked() login failed, ret>0, ret=%d, szRecvBuf=%s", ret,
                 reply.body.c_str());
        ShowError(tr("please check network state"));
        return;
    }
    if (ret < 0) {
        HandleRefusal(ret, reply.body.c_str());
        return;
    }
    Reply granted;
    if (!ReadGrantedReply(reply.body.c_str(), &granted) || !HandleGranted(granted))
        return;
    QTimer::singleShot(0, this, &Login_Dlg::onCloseWidget);
}

void Login_Dlg::HandleRefusal(int ret, const char* body)
{
    Json::Value root;
    if (!JsonReply::ParseObject(body, strlen(body), &root)) {
        LogPrint(LOG_INFO, "Login_Dlg::onBtnLoginClicked() reader parse failed, szRecvBuf=%s", body);
        return;
    }
    std::string msg;
    if (!JsonReply::ReadString(root, "msg", &msg)) {
        LogPrint(LOG_INFO, "Login_Dlg::onBtnLoginClicked() login failed, ret<0, ret=%d, \"msg\" is no text, szRecvBuf=%s",
                 ret, body);
        ShowError(tr("The back-end's login reply could not be read"));
        return;
    }
    LogPrint(LOG_INFO, "Login_Dlg::onBtnLoginClicked() login failed, ret<0, ret=%d, szRecvBuf=%s", ret, body);
    ShowError(QString::fromUtf8(msg.c_str()));
}

bool Login_Dlg::ReadGrantedReply(const char* body, Reply* reply)
{
    Json::Value root;
    if (!JsonReply::ParseObject(body, strlen(body), &root)) {
        LogPrint(LOG_INFO, "Login_Dlg::onBtnLoginClicked() reader parse failed, szRecvBuf=%s", body);
        return false;
    }
    const char* wrong = nullptr;
    bool ok = true;
    const Json::Value& rights = JsonReply::Member(root, "tool_permissions", Json::arrayValue, &ok);
    if (!ok)
        wrong = "tool_permissions";
    for (Json::ArrayIndex i = 0; !wrong && i < rights.size(); ++i) {
        std::string flag;
        if (!JsonReply::ReadString(rights[i], "flag", &flag))
            wrong = "tool_permissions flag";
        reply->rights += QString::fromUtf8(flag.c_str()) + ",";
    }
    struct {
        const char* key;
        QString* out;
    } texts[] = {{"customer_name", &reply->customerName},
                 {"customer_id", &reply->customerId},
                 {"notice", &reply->notice},
                 {"alarm", &reply->alarm}};
    for (const auto& t : texts) {
        std::string value;
        if (!wrong && !JsonReply::ReadString(root, t.key, &value))
            wrong = t.key;
        *t.out = QString::fromUtf8(value.c_str());
    }
    if (wrong) {
        LogPrint(LOG_INFO, "Login_Dlg::onBtnLoginClicked() reply member %s is of another kind, szRecvBuf=%s", wrong,
                 body);
        ShowError(tr("The back-end's login reply could not be read"));
        return false;
    }
    return true;
}

bool Login_Dlg::HandleGranted(const Reply& reply)
{
    AfterSalesRight = reply.rights.contains(kAfterSalesRight);
    const bool wholeMachine = reply.rights.contains(kWholeMachineRight);
    if (!wholeMachine && !AfterSalesRight) {
        ShowError(tr("this user name no authority"), false);
        return false;
    }
    LoggedIn = true;
    WholeMachineTestMode = wholeMachine && !IsAfterSalesOnlyHost(ServerHost);

    const QString companyName = reply.customerName.isEmpty() ? tr("Failed to obtain company name")
                                                             : reply.customerName;
    LogPrint(LOG_MAJOR, "Login_Dlg::onBtnLoginClicked() strCompanyName=%s, strCompanyId=%s",
             companyName.toUtf8().constData(), reply.customerId.toUtf8().constData());
    emit login(ui->le_User->text(), companyName, reply.customerId);

    SaveLoginConfig();
    SaveStationSettings();
    if (WholeMachineTestMode && !reply.notice.isEmpty())
        NoticeText = reply.notice;
    if (!reply.alarm.isEmpty())
        ShowAlarm(reply.alarm);
    return true;
}

void Login_Dlg::SaveLoginConfig()
{
    LoginInfo info;
    m_pStore->ReadLoginInfo(info);
    m_bRemeberPassword = ui->chk_RemeberPassword->isChecked();
    m_strUserName = ui->le_User->text();
    m_password = ui->le_Password->text().toUtf8();
    m_bAutoLogin = ui->chk_AutoLogin->isChecked();
    m_strPassword = QString::fromLatin1(ScramblePassword(m_password));
    info.ServiceIp = ui->le_DomainName->text();
    info.LoginUserName = m_strUserName;
    info.LoginPassword = m_bRemeberPassword ? m_strPassword : QString();
    info.bRemeberPassword = m_bRemeberPassword;
    info.bAutoLogin = m_bAutoLogin;
    if (m_pStore->WriteLoginInfo(info) != 0)
        LogPrint(LOG_INFO, "Login_Dlg::SaveLoginConfig() the login settings could not be saved");
}

void Login_Dlg::SaveStationSettings()
{
    SystemConfig config;
    m_pStore->ReadConfig(config);
    config.iLogSwitch = ui->ckb_OpenLog->isChecked() ? 1 : 0;
    config.StreamJudgeTime = ui->le_CutOffTime->text().toInt();
    if (m_pStore->WriteConfig(config) != 0)
        LogPrint(LOG_INFO, "Login_Dlg::SaveStationSettings() the station settings could not be saved");
}

void Login_Dlg::ShowAlarm(const QString& alarm)
{
    // The alarm is the back-end's text: escaped, so it cannot bring markup of its own.
    QMessageBox box(QMessageBox::Information, QString(),
                    QString("<font size='10' color='red'>%1</font>").arg(alarm.toHtmlEscaped()), QMessageBox::NoButton,
                    this);
    QFont font = box.font();
    font.setPointSize(10);
    box.setFont(font);
    box.setTextFormat(Qt::RichText);
    // The only button is hidden: the window's close button ends the box.
    box.addButton(QMessageBox::Ok)->hide();
    ModalHook::Exec(&box);
}

void Login_Dlg::onCloseWidget()
{
    ui->le_Password->clear();
    ui->le_User->clear();
    accept();
}

void Login_Dlg::onBtnCancelClicked()
{
    ui->le_Password->clear();
    ui->le_User->clear();
    CloseMainWindowLater(m_pOwner, this);
    reject();
}

void Login_Dlg::onAutoLoginStateChanged()
{
    if (ui->chk_AutoLogin->isChecked())
        ui->chk_RemeberPassword->setChecked(true);
}

void Login_Dlg::onRemeberPasswordStateChanged()
{
    if (!ui->chk_RemeberPassword->isChecked())
        ui->chk_AutoLogin->setChecked(false);
}

void Login_Dlg::onBtnNotLoginModeClicked()
{
    NotLoginModeDlg dialog(this);
    if (ModalHook::Exec(&dialog) == QDialog::Accepted)
        QTimer::singleShot(0, this, &Login_Dlg::onCloseWidget);
}

void Login_Dlg::onCkbOpenLogStateChanged(int /*state*/)
{
    LogSetLevel(ui->ckb_OpenLog->isChecked() ? LOG_INFO : LOG_GENERAL);
}

void Login_Dlg::closeEvent(QCloseEvent* event)
{
    if (!LoggedIn)
        CloseMainWindowLater(m_pOwner, this);
    QDialog::closeEvent(event);
}
