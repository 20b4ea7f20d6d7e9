#include "VersionInfoTips.h"

#include "AppGlobals.h"
#include "CConfigFile.h"
#include "LeftTopWidget.h"
#include "Log.h"
#include "ScreenArea.h"
#include "TextFit.h"

#include <QCheckBox>
#include <QFont>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>

VersionInfoTips::VersionInfoTips(LeftTopWidget* owner) : QDialog(owner), m_owner(owner)
{
    const QRect area = ScreenArea::Available();
    m_iScreenW = area.width();
    m_iScreenH = area.height();
    m_iDlgW = m_iScreenW / 3;
    m_iDlgH = m_iScreenH / 3;
}

VersionInfoTips::~VersionInfoTips() = default;

void VersionInfoTips::SetConfigVersion(const QString& version)
{
    m_strConfigVersion = version;
}

void VersionInfoTips::SetEquipVersion(const QString& version)
{
    m_strEquipVersion = version;
}

VersionInfoTips::Layout VersionInfoTips::LayoutFor(int w, int h)
{
    Layout l;
    const int left = w / 15 + 10;
    const int inner = w / 3 - w / 15 - 10;
    const int editX = w / 21 + w / 15 + 15;
    const int editW = w / 3 - w / 15 - w / 21 - 20;
    l.dialog = QRect((w - w / 3) / 2, (h - h / 3) / 2, w / 3, h / 3);
    l.message = QRect(left, h / 30 + 5, inner, h / 12);
    l.checkBox = QRect(left, h / 12 + h / 30 + 10, inner, h / 30);
    const int configY = h / 12 + 2 * (h / 30) + 10;
    l.configLabel = QRect(left, configY, w / 21, h / 36);
    l.configEdit = QRect(editX, configY, editW, h / 36);
    const int equipY = h / 36 + 2 * (h / 30) + h / 12 + 15;
    l.equipLabel = QRect(left, equipY, w / 21, h / 36);
    l.equipEdit = QRect(editX, equipY, editW, h / 36);
    l.yes = QRect(w / 15, 9 * (h / 30) - 5, w / 15, h / 30);
    l.no = QRect(3 * (w / 15), 9 * (h / 30) - 5, w / 15, h / 30);
    return l;
}

void VersionInfoTips::InitUI()
{
    const Layout l = LayoutFor(m_iScreenW, m_iScreenH);
    setGeometry(l.dialog);
    setWindowModality(Qt::ApplicationModal);

    auto* message = new QLabel(this);
    message->setGeometry(l.message);
    QFont font = message->font();
    font.setPixelSize(qMax(1, m_iScreenH / 48));
    message->setFont(font);
    message->setStyleSheet(QStringLiteral("color:red;"));
    message->setAlignment(Qt::AlignTop);
    message->setWordWrap(true);
    message->setText(tr("The current configuration version does not match the device version. Is the device version "
                        "set to the configuration version?"));

    auto* remind = new QCheckBox(tr("Do not remind again"), this);
    remind->setObjectName(QStringLiteral("checkDoNotRemind"));
    remind->setGeometry(l.checkBox);
    connect(remind, &QCheckBox::stateChanged, this, &VersionInfoTips::SetCheckedData);

    auto* configLabel = new QLabel(tr("Config Version"), this);
    configLabel->setGeometry(l.configLabel);
    auto* configEdit = new QLineEdit(m_strConfigVersion, this);
    configEdit->setObjectName(QStringLiteral("editConfigVersion"));
    configEdit->setGeometry(l.configEdit);
    configEdit->setEnabled(false);

    auto* equipLabel = new QLabel(tr("Equip Version"), this);
    equipLabel->setGeometry(l.equipLabel);
    auto* equipEdit = new QLineEdit(m_strEquipVersion, this);
    equipEdit->setObjectName(QStringLiteral("editEquipVersion"));
    equipEdit->setGeometry(l.equipEdit);
    equipEdit->setEnabled(false);
    TextFit::GrowBefore(configLabel, configEdit);
    TextFit::GrowBefore(equipLabel, equipEdit);

    auto* yes = new QPushButton(tr("Yes"), this);
    yes->setObjectName(QStringLiteral("btnYes"));
    yes->setGeometry(l.yes);
    yes->setFocus();
    connect(yes, &QPushButton::clicked, this, &VersionInfoTips::OnBtnYes);

    auto* no = new QPushButton(tr("No"), this);
    no->setObjectName(QStringLiteral("btnNo"));
    no->setGeometry(l.no);
    connect(no, &QPushButton::clicked, this, &VersionInfoTips::OnBtnNo);
}

void VersionInfoTips::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    const QString skin = AppDirPath() + "/Skin/";
    painter.drawPixmap(QRect(0, 0, m_iDlgW, m_iScreenH / 30), QPixmap(skin + "title.png"));
    painter.drawPixmap(QRect(5, m_iScreenH / 30, m_iScreenW / 15, m_iScreenW / 15), QPixmap(skin + "tips.png"));
    QDialog::paintEvent(event);
}

void VersionInfoTips::SetCheckedData()
{
    m_bDoNotRemind = !m_bDoNotRemind;
}

void VersionInfoTips::Answer(const QString* version)
{
    const bool remind = !m_bDoNotRemind;
    // Through the store, so the file keeps its encoding and the store's record
    // agrees with it (a later save-all writes the answer again, not the old values).
    if (CConfigFile::GetInstance()->WriteVersionPromptAnswer(remind, version) != 0)
        LogPrint(LOG_GENERAL, "VersionInfoTips: the answer could not be written to config.ini");
    if (m_owner) {
        if (version)
            m_owner->SetExpectedVersion(*version);
        m_owner->SetVersionTipsEnabled(remind ? 1 : 0);
    }
    accept();
}

void VersionInfoTips::OnBtnYes()
{
    Answer(&m_strEquipVersion);
}

void VersionInfoTips::OnBtnNo()
{
    Answer(nullptr);
}
