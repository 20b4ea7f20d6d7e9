#include "CheckQRCodeDlg.h"

#include "ui_CheckQRCodeDlg.h"

#include "AppGlobals.h"
#include "CConfigFile.h"
#include "LabelPrintConfig.h"
#include "Log.h"
#include "TextFit.h"

#include <QKeyEvent>

CheckQRCodeDlg::CheckQRCodeDlg(const QString& qrCode, const QString& indentityPart, QWidget* parent)
    : QDialog(parent)
    , ui(new Ui::CheckQRCodeDlg)
    , strQRCode(qrCode)
    , strIndentityPart(indentityPart)
    , m_pParent(parent)
{
    ui->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::WindowCloseButtonHint);
    setWindowTitle(tr("设备二维码校验"));
    TextFit::GrowBefore(ui->label, ui->le_QRCode);

    ConfigInfo config;
    CConfigFile::GetInstance()->GetConfigInfo(config);
    CurrentPrintConfigPath = config.m_PrintConfigFilePath;
    PrintTemplate tpl;
    LabelPrintConfig* store = LabelPrintConfig::Instance();
    store->Load(tpl);
    LabelPrintConfig::ShowLoadError(store->LastLoadStatus());
    m_bCompareFullCode = tpl.bSupportJumpDownloadApp;

    if (parent && parent->metaObject()->indexOfSlot("onCheckQRCodeSignalEimt(bool)") >= 0)
        connect(this, SIGNAL(addCheckItem(bool)), parent, SLOT(onCheckQRCodeSignalEimt(bool)));
}

CheckQRCodeDlg::~CheckQRCodeDlg()
{
    delete ui;
}

QLineEdit* CheckQRCodeDlg::ScanEdit() const
{
    return ui->le_QRCode;
}

bool CheckQRCodeDlg::IsMatch(const QString& scanned, const QString& expected)
{
    return !expected.isEmpty() && scanned == expected;
}

void CheckQRCodeDlg::keyPressEvent(QKeyEvent* event)
{
    // Every other key stays here, so Escape does not close the window.
    event->accept();
    if (event->key() != Qt::Key_Return && event->key() != Qt::Key_Enter)
        return;
    m_strScanned = ui->le_QRCode->text();
    const QString& expected = m_bCompareFullCode ? strQRCode : strIndentityPart;
    const bool bSame = IsMatch(m_strScanned, expected);
    LogPrint(LOG_INFO, "CheckQRCodeDlg::keyPressEvent() scan %s the %s payload", bSame ? "matches" : "differs from",
             m_bCompareFullCode ? "full" : "bind");
    emit addCheckItem(bSame);
    close();
}
