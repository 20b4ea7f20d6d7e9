#pragma once

#include "AppGlobals.h"
#include "HttpResult.h"

#include <QByteArray>
#include <QDialog>
#include <QString>

namespace Ui {
class Login_Dlg;
}

class BackendDialogOwner;
class CConfigFile;
class QCloseEvent;

// Back-end hosts that grant logins but hand out no work orders: a login there
// never enters the work-order mode, whatever rights it grants. Compared with the
// host part of the server text (no ":port"), ignoring case.
constexpr char AFTER_SALES_BACKEND_HOST[] = "aftersales.tolvane.example";
constexpr char AFTER_SALES_BACKEND_HOST_STANDBY[] = "aftersales-standby.tolvane.example";

// The modal dialog in which the operator logs in to the factory back-end (or takes
// the way into the not-logged-in mode). A login sets LoggedIn, WholeMachineTestMode,
// AfterSalesRight, ServerHost and NoticeText, reports the user to the owner, saves
// the login settings (the password scrambled) and accepts the dialog.
class Login_Dlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int HEARTBEAT_INTERVAL_MS = ::HEARTBEAT_INTERVAL_MS;
    static constexpr const char* TOOL_VERSION = "V1.0.6.4";

    // owner receives `login` and is closed by Cancel; may be null. store: the
    // settings store (null: the process-wide one).
    explicit Login_Dlg(BackendDialogOwner* owner, QWidget* parent = nullptr, CConfigFile* store = nullptr);
    ~Login_Dlg() override;

    // The stored auto-login flag.
    bool IsAutoLogin() const;
    // Logs in with the stored values, as if the operator pressed the login button.
    int AutoLogin();
    // Reads the stored login values into the form again.
    void ReadLoginConfig();

    // True for one of the two hosts without work orders (a ":port" is ignored).
    static bool IsAfterSalesOnlyHost(const QString& serverHost);

signals:
    void login(QString userName, QString companyName, QString strCompanyId);

public slots:
    void onBtnLoginClicked();

private slots:
    void onBtnCancelClicked();
    void onCloseWidget();
    void onAutoLoginStateChanged();
    void onRemeberPasswordStateChanged();
    void onBtnNotLoginModeClicked();
    void onCkbOpenLogStateChanged(int state);

protected:
    void closeEvent(QCloseEvent* event) override;
    // The login exchange with ServerHost; tests reach a local back-end through it
    // while the server text names a host that does not resolve here.
    virtual HttpResult SendLoginRequest(const QByteArray& user, const QByteArray& password);

private:
    struct Reply;

    void InitDialog();
    void InitForm();
    bool CheckInput();
    void ShowError(const QString& text, bool centred = true);
    // Reads the members of a reply of ret 0; false (logged) for a member of another kind.
    bool ReadGrantedReply(const char* body, Reply* reply);
    void HandleRefusal(int ret, const char* body);
    // Sets the rights and hands the login on; false when the user has neither right.
    bool HandleGranted(const Reply& reply);
    void SaveLoginConfig();
    void SaveStationSettings();
    void ShowAlarm(const QString& alarm);

    Ui::Login_Dlg* ui;
    BackendDialogOwner* m_pOwner = nullptr;
    CConfigFile* m_pStore = nullptr;
    QString m_strUserName;
    QString m_strPassword;         // as stored (scrambled)
    bool m_bRemeberPassword = false;
    bool m_bAutoLogin = false;
    QByteArray m_password;         // the decoded stored password
};
