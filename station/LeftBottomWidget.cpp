#include "LeftBottomWidget.h"

#include "AppGlobals.h"
#include "CConfigFile.h"
#include "CommonHelpers.h"
#include "ControllerHost.h"
#include "LeftTopWidget.h"
#include "QNvrWebMessageBox.h"
#include "ui_LeftBottomWidget.h"

#include <QApplication>
#include <QClipboard>
#include <QLineEdit>

LeftBottomWidget::LeftBottomWidget(QWidget* owner)
    : QWidget(owner), ui(std::make_unique<Ui::LeftBottomWidget>()), m_owner(owner)
{
    ui->setupUi(this);
    CConfigFile::GetInstance()->GetConfigInfo(m_config);
    m_pMessageBox = new QNvrWebMessageBox(this);
    for (QLineEdit* edit : {ui->m_VerInfolineEdit, ui->m_SDInfolineEdit, ui->m_SNlineEdit}) {
        QFont font = edit->font();
        font.setWeight(75);
        edit->setFont(font);
        edit->setReadOnly(true);
        edit->setContextMenuPolicy(Qt::NoContextMenu);
    }
    SetWidgetFont(ui->m_lbOrderDataDisplay, Qt::red, 20);
    ui->m_lbOrderDataDisplay->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    ui->m_btnCopy->hide();
    ui->m_btnReFresh->hide();
    connect(ui->m_btnCopy, &QPushButton::clicked, this, &LeftBottomWidget::OnCopySnBtnClicked);
    connect(ui->m_btnReFresh, &QPushButton::clicked, this, &LeftBottomWidget::OnReFreshSnBtnClicked);
}

LeftBottomWidget::~LeftBottomWidget()
{
    delete m_pMessageBox;
}

void LeftBottomWidget::SetVersionInfo(const QString& text)
{
    ui->m_VerInfolineEdit->setText(text);
}

void LeftBottomWidget::SetSDInfo(const QString& text)
{
    ui->m_SDInfolineEdit->setText(text);
}

void LeftBottomWidget::SetSN(const QString& text)
{
    ui->m_SNlineEdit->setText(text);
}

void LeftBottomWidget::ClearDevInfo()
{
    ui->m_VerInfolineEdit->clear();
    ui->m_SDInfolineEdit->clear();
    ui->m_SNlineEdit->clear();
}

void LeftBottomWidget::SetOrderDataDisplay(const QString& text)
{
    ui->m_lbOrderDataDisplay->setText(text);
}

void LeftBottomWidget::SetConfig(const ConfigInfo& config)
{
    m_config = config;
}

void LeftBottomWidget::UpdateLayout()
{
    // A hidden control is skipped and moves nothing after it.
    const int w = width();
    int x = 0;
    int y = 10;
    if (!ui->m_lblVerInfo->isHidden())
        ui->m_lblVerInfo->setGeometry(0, y, 60, 22);
    if (!ui->m_VerInfolineEdit->isHidden()) {
        ui->m_VerInfolineEdit->setGeometry(20, 32, w - 20, 22);
        y = 32;
        x = 20;
    }
    if (!ui->m_lblSDInfo->isHidden()) {
        y += 27;
        ui->m_lblSDInfo->setGeometry(0, y, 60, 22);
        x = 0;
    }
    if (!ui->m_SDInfolineEdit->isHidden()) {
        y += 22;
        ui->m_SDInfolineEdit->setGeometry(x + 20, y, w - 20, 22);
        x += 20;
    }
    if (!ui->m_lbSN->isHidden()) {
        y += 27;
        ui->m_lbSN->setGeometry(0, y, 60, 22);
        x = 0;
    }
    if (!ui->m_SNlineEdit->isHidden()) {
        x += 20;
        y += 22;
        ui->m_SNlineEdit->setGeometry(x, y, w - 200, 22);
    }
    if (!ui->m_btnReFresh->isHidden()) {
        x += w - 190;
        ui->m_btnReFresh->setGeometry(x, y, 70, 22);
    }
    if (!ui->m_btnCopy->isHidden())
        ui->m_btnCopy->setGeometry(x + 100, y, 70, 22);
    ui->m_lbOrderDataDisplay->setGeometry(0, y + 27, w, ui->m_lbOrderDataDisplay->height());
}

void LeftBottomWidget::OnCopySnBtnClicked()
{
    QApplication::clipboard()->setText(ui->m_SNlineEdit->text(), QClipboard::Clipboard);
}

void LeftBottomWidget::OnReFreshSnBtnClicked()
{
    auto* host = dynamic_cast<ControllerHost*>(MainWindowInstance.load());
    if (host && host->GetController())
        host->GetController()->RequestDevSN();
}
