#include "ManualTestAutomation.h"
#include "ui_ManualTestAutomation.h"

#include "AppGlobals.h"
#include "CConfigFile.h"
#include "CMapManualDesc.h"
#include "Log.h"
#include "ManualTestController.h"
#include "ModalHook.h"
#include "WidgetHelpers.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLineEdit>
#include <QMessageBox>
#include <QRegularExpressionValidator>
#include <QTextCodec>
#include <QTimer>
#include <QVBoxLayout>

#include <climits>

namespace {

// Each channel's steps of an order's script start with a one-second channel switch.
const QString kChannelSwitchStep = QStringLiteral("I:1");
const char kRowIndexProperty[] = "cmb_index";
// 0..3600 typed as plain digits: no sign, group separator, "," or ":".
const QRegularExpression kStepSecondsPattern(QStringLiteral("0|[1-9][0-9]{0,2}|[1-2][0-9]{3}|3[0-5][0-9]{2}|3600"));

// Whole seconds 0..MAX_STEP_SECONDS; a "," or ":" would split the stored steps.
bool ParseStepSeconds(const QString& text, int* seconds)
{
    bool ok = false;
    const int value = text.trimmed().toInt(&ok, 10);
    if (!ok || value < 0 || value > ManualTestAutomation::MAX_STEP_SECONDS)
        return false;
    *seconds = value;
    return true;
}

}  // namespace

ManualTestAutomation::ManualTestAutomation(QWidget* parent)
    : QWidget(parent)
    , ui(std::make_unique<Ui::ManualTestAutomation>())
{
    ui->setupUi(this);
    setWindowModality(Qt::ApplicationModal);
    setWindowFlags((windowFlags() | Qt::Dialog) & ~Qt::WindowContextHelpButtonHint);
    setWindowTitle(tr("Manual Automation"));
    setFixedSize(size());
    m_closeTimer = new QTimer(this);
    m_closeTimer->setSingleShot(true);
    m_closeTimer->setInterval(CLOSE_DELAY_MS);
    InitWidget();
}

ManualTestAutomation::~ManualTestAutomation() = default;

void ManualTestAutomation::SetController(ManualTestController* controller)
{
    m_pController = controller;
}

// ---- the script text ------------------------------------------------------

QString ManualTestAutomation::DisplayNameOf(const QString& text)
{
    const QString first = text.section(',', 0, 0);
    const int hash = first.indexOf('#');
    return hash >= 1 ? first.left(hash) : QString();
}

QStringList ManualTestAutomation::StepListOf(const QString& text)
{
    const int hash = text.indexOf('#');
    return (hash >= 0 ? text.mid(hash + 1) : QString()).split(',');
}

QString ManualTestAutomation::NextScriptKey(const QStringList& keys)
{
    qlonglong largest = 0;
    for (const QString& key : keys) {
        bool ok = false;
        const qlonglong value = key.toLongLong(&ok, 10);
        if (ok && value > largest && value < LLONG_MAX)
            largest = value;
    }
    qlonglong next = largest + 1;
    while (next < LLONG_MAX && keys.contains(QString::number(next)))
        ++next;
    return QString::number(next);
}

QString ManualTestAutomation::StoredScriptName(const QString& name)
{
    QString cleaned = name;
    cleaned.replace(',', '_').replace('#', '_');
    QTextCodec* codec = QTextCodec::codecForName("GB2312");
    return codec ? codec->toUnicode(codec->fromUnicode(cleaned)) : cleaned;
}

// ---- building and loading -------------------------------------------------

void ManualTestAutomation::InitWidget()
{
    connect(ui->m_cbxConfigChoise, SIGNAL(currentIndexChanged(int)), this,
            SLOT(slot_cbxConfigChoise_currentIndexChanged(int)));
    connect(ui->m_btnAddConfig, SIGNAL(clicked()), this, SLOT(slot_BtnAddConfig_Clicked()));
    connect(ui->m_btnDeleteConfig, SIGNAL(clicked()), this, SLOT(slot_BtnDeleteConfig_Clicked()));
    connect(ui->m_btnSave, SIGNAL(clicked()), this, SLOT(slot_BtnSave_Clicked()));
    connect(ui->m_chkAutoBeginRun, SIGNAL(stateChanged(int)), this, SLOT(slot_AutoBeginRun_stateChanged(int)));
    connect(m_closeTimer, SIGNAL(timeout()), this, SLOT(slot_CloseWidget()));

    auto* rows = new QWidget;
    auto* column = new QVBoxLayout(rows);
    auto* grid = new QGridLayout;
    for (int i = 0; i < ROW_COUNT; ++i) {
        Row& row = m_rows[i];
        row.combo = new QComboBox(rows);
        row.combo->setMinimumWidth(100);
        row.combo->setProperty(kRowIndexProperty, i);
        // Once here: LoadConfig refills the combos many times over.
        connect(row.combo, SIGNAL(currentIndexChanged(int)), this, SLOT(slot_cmb_currentIndexChanged(int)));
        row.seconds = new QLineEdit(rows);
        row.seconds->setValidator(new QRegularExpressionValidator(kStepSecondsPattern, row.seconds));
        grid->addWidget(row.combo, i, 0);
        grid->addWidget(row.seconds, i, 1);
    }
    grid->setColumnStretch(0, 2);
    grid->setColumnStretch(1, 1);
    column->addLayout(grid);
    column->addStretch();
    ui->scrollArea->setWidget(rows);
    LoadConfig();
}

void ManualTestAutomation::FillRowCombos(const QVector<ManualItemDesc>& group)
{
    for (Row& row : m_rows) {
        row.combo->clear();
        row.combo->addItem(QString());
        for (const ManualItemDesc& item : group)
            row.combo->addItem(item.strDesc, item.strKeyName);
        row.combo->setCurrentIndex(-1);
        row.seconds->clear();
    }
}

int ManualTestAutomation::LoadConfig()
{
    // A fresh record: a script deleted elsewhere must not linger in the map.
    m_config = ManualAutoTestConfig();
    if (CConfigFile::GetInstance()->ReadManualAutoTest(m_config) == -1)
        LogPrint(LOG_GENERAL, "ManualTestAutomation::LoadConfig() config.ini is not open");
    FillRowCombos(CMapManualDesc::GetInstance()->GetItemGroup(CurrentTestType));
    ui->m_chkAutoBeginRun->setChecked(m_config.bAutoBeginRun);

    m_keyList = m_config.AllKeyName.isEmpty() ? QStringList() : m_config.AllKeyName.split(',');
    if (m_keyList.isEmpty())
        return -2;

    ui->m_cbxConfigChoise->clear();
    for (const QString& key : m_keyList) {
        if (key.isEmpty())
            continue;
        const QString name = DisplayNameOf(m_config.mapConfig.value(key));
        if (!name.isEmpty())
            ui->m_cbxConfigChoise->addItem(name, key);
    }
    if (m_config.mapConfig.value(m_config.CurChoiseKey).isEmpty()) {
        ui->m_cbxConfigChoise->setCurrentIndex(0);
    } else {
        const int current = ui->m_cbxConfigChoise->findData(m_config.CurChoiseKey);
        if (current >= 0)
            ui->m_cbxConfigChoise->setCurrentIndex(current);
    }
    return 0;
}

// ---- the rows -------------------------------------------------------------

void ManualTestAutomation::slot_cmb_currentIndexChanged(int index)
{
    if (index != 0)
        return;
    bool ok = false;
    const int row = sender() ? sender()->property(kRowIndexProperty).toInt(&ok) : -1;
    if (ok && row >= 0 && row < ROW_COUNT)
        m_rows[row].seconds->clear();
}

void ManualTestAutomation::slot_cbxConfigChoise_currentIndexChanged(int index)
{
    for (Row& row : m_rows) {
        row.combo->show();
        row.seconds->show();
        row.combo->setCurrentIndex(0);
        row.seconds->clear();
    }
    if (index < 0)
        return;
    const QString text = m_config.mapConfig.value(ui->m_cbxConfigChoise->itemData(index).toString());
    if (!text.isEmpty())
        ShowStepsOf(text);
}

void ManualTestAutomation::ShowStepsOf(const QString& text)
{
    QStringList steps = text.split(',');
    steps[0] = steps[0].mid(steps[0].indexOf('#') + 1);
    for (int i = 0; i < ROW_COUNT; ++i) {
        Row& row = m_rows[i];
        if (i >= steps.size()) {
            row.combo->hide();
            row.seconds->hide();
            continue;
        }
        const QStringList pieces = steps[i].split(':');
        if (pieces.size() != 2)
            continue;
        const int entry = row.combo->findData(pieces[0].trimmed());
        if (entry >= 0)
            row.combo->setCurrentIndex(entry);
        row.seconds->setText(pieces[1].trimmed());
    }
}

// ---- the buttons ----------------------------------------------------------

QString ManualTestAutomation::CurrentKey() const
{
    return ui->m_cbxConfigChoise->currentData().toString();
}

QStringList ManualTestAutomation::KeysInUse() const
{
    QStringList keys = m_keyList;
    keys += m_config.AllKeyName.split(',');
    keys += m_config.mapConfig.keys();
    for (int i = 0; i < ui->m_cbxConfigChoise->count(); ++i)
        keys += ui->m_cbxConfigChoise->itemData(i).toString();
    return keys;
}

void ManualTestAutomation::ShowErrorBox(const QString& title, const QString& text)
{
    QMessageBox box(QMessageBox::Information, title, text, QMessageBox::Ok, this);
    ModalHook::Exec(&box);
}


void ManualTestAutomation::slot_BtnAddConfig_Clicked()
{
    const QString name = ui->m_leAddConfig->text();
    if (name.isEmpty()) {
        ShowErrorBox(tr("Error"), tr("please input config name first"));
        return;
    }
    // "," ends the display name and "#" ends it early: such a script would show
    // another name, or none, once stored.
    if (name.contains(',') || name.contains('#')) {
        ShowErrorBox(tr("Error"), tr("a config name may not hold \",\" or \"#\""));
        return;
    }
    if (ui->m_cbxConfigChoise->findText(name) >= 0) {
        ShowErrorBox(tr("Error"), tr("config name is already exists int the list, please confirm"));
        return;
    }
    const QString key = NextScriptKey(KeysInUse());
    m_keyList.append(key);
    ui->m_cbxConfigChoise->addItem(name, key);
    ui->m_cbxConfigChoise->setCurrentIndex(ui->m_cbxConfigChoise->count() - 1);
}

bool ManualTestAutomation::BuildScriptText(const QString& name, QString* text)
{
    QStringList steps;
    for (int i = 0; i < ROW_COUNT; ++i) {
        const QString keyName = m_rows[i].combo->currentData().toString();
        const QString secondsText = m_rows[i].seconds->text();
        if (!keyName.isEmpty() && secondsText.isEmpty()) {
            // Dropping the step would run a script the operator did not write.
            ShowTipsText(ui->m_lbTips, tr("row %1: enter the seconds of %2, or empty the row")
                                           .arg(i + 1)
                                           .arg(m_rows[i].combo->currentText()));
            return false;
        }
        if (keyName.isEmpty() || secondsText.isEmpty())
            continue;
        int seconds = 0;
        if (!ParseStepSeconds(secondsText, &seconds)) {
            ShowTipsText(ui->m_lbTips,
                         tr("row %1: seconds must be a whole number from 0 to %2").arg(i + 1).arg(MAX_STEP_SECONDS));
            return false;
        }
        steps << keyName + ':' + QString::number(seconds);
    }
    *text = name + '#' + steps.join(',');
    return true;
}

void ManualTestAutomation::slot_BtnSave_Clicked()
{
    const QString name = ui->m_cbxConfigChoise->currentText();
    if (name.isEmpty()) {
        ShowErrorBox(QString(), tr("please select a config name"));
        return;
    }
    QString text;
    if (!BuildScriptText(name, &text)) {
        m_closeTimer->stop();
        return;
    }
    QStringList keys;
    for (int i = 0; i < ui->m_cbxConfigChoise->count(); ++i) {
        const QString key = ui->m_cbxConfigChoise->itemData(i).toString();
        if (!key.isEmpty())
            keys << key;
    }
    m_config.CurChoiseKey = CurrentKey();
    m_config.bAutoBeginRun = ui->m_chkAutoBeginRun->isChecked();
    m_config.iNum = ui->m_cbxConfigChoise->count();
    m_config.AllKeyName = keys.join(',');
    m_config.mapConfig.insert(m_config.CurChoiseKey, text);
    if (CConfigFile::GetInstance()->WriteManualAutoTest(m_config) != 0) {
        LogPrint(LOG_GENERAL, "ManualTestAutomation::slot_BtnSave_Clicked() script %s could not be stored",
                 qPrintable(m_config.CurChoiseKey));
        m_closeTimer->stop();
        ShowTipsText(ui->m_lbTips, tr("save failed"));
        return;
    }
    HandOverCurrentScript();
    ShowTipsText(ui->m_lbTips, tr("save succeed"));
    m_closeTimer->start();
}

void ManualTestAutomation::slot_BtnDeleteConfig_Clicked()
{
    const QString key = CurrentKey();
    if (key.isEmpty())
        return;
    m_config.mapConfig.remove(key);
    m_config.bAutoBeginRun = ui->m_chkAutoBeginRun->isChecked();
    m_config.iNum = qMax(0, m_config.iNum - 1);
    m_keyList.removeAll(key);
    ui->m_cbxConfigChoise->removeItem(ui->m_cbxConfigChoise->currentIndex());
    m_config.CurChoiseKey = CurrentKey();
    QStringList keys;
    for (int i = 0; i < ui->m_cbxConfigChoise->count(); ++i)
        keys << ui->m_cbxConfigChoise->itemData(i).toString();
    m_config.AllKeyName = keys.join(',');
    if (CConfigFile::GetInstance()->RemoveManualAutoTestConfig(key, m_config) != 0) {
        LogPrint(LOG_GENERAL, "ManualTestAutomation::slot_BtnDeleteConfig_Clicked() script %s could not be removed",
                 qPrintable(key));
        ShowTipsText(ui->m_lbTips, tr("delete failed"));
    }
    // The deleted script must not run on: the controller gets the one now current.
    HandOverCurrentScript();
}

void ManualTestAutomation::slot_AutoBeginRun_stateChanged(int state)
{
    m_config.bAutoBeginRun = state == Qt::Checked;
    if (m_pController)
        m_pController->SetAutoBeginRun(m_config.bAutoBeginRun);
}

void ManualTestAutomation::slot_CloseWidget()
{
    ui->m_lbTips->clear();
    close();
}

void ManualTestAutomation::HandOverCurrentScript()
{
    if (m_pController)
        m_pController->SetManualAutomationList(StepListOf(m_config.mapConfig.value(m_config.CurChoiseKey)));
}

// ---- an order's script ----------------------------------------------------

int ManualTestAutomation::ApplyServerConfig(int autoBeginRun, QString name, const QVector<QVector<ConfigItem>>& channels)
{
    LoadConfig();
    const QVector<ManualItemDesc>& group = CMapManualDesc::GetInstance()->GetItemGroup(CurrentTestType);
    m_config.bAutoBeginRun = autoBeginRun != 0;
    if (name.isEmpty())
        return 0;
    // Compared as it will read back, so that the same order finds its script again.
    const QString stored = StoredScriptName(name);
    QString key;
    for (const QString& candidate : m_keyList) {
        if (!candidate.isEmpty() && DisplayNameOf(m_config.mapConfig.value(candidate)) == stored) {
            key = candidate;
            break;
        }
    }
    if (key.isEmpty()) {
        key = NextScriptKey(KeysInUse());
        m_config.iNum += 1;
        m_config.AllKeyName += (m_config.AllKeyName.isEmpty() ? QString() : QStringLiteral(",")) + key;
        m_keyList.append(key);
    }
    m_config.CurChoiseKey = key;
    int written = 0;
    CreateOrUpdateConfig(stored, key, group, channels, &written);
    return written == 0 ? 0 : -1;
}

void ManualTestAutomation::CreateOrUpdateConfig(const QString& name, const QString& key,
                                                const QVector<ManualItemDesc>& group,
                                                const QVector<QVector<ConfigItem>>& channels, int* written)
{
    QStringList steps;
    for (const QVector<ConfigItem>& channel : channels) {
        if (channels.size() >= 2)
            steps << kChannelSwitchStep;
        for (const ConfigItem& step : channel) {
            for (const ManualItemDesc& item : group) {
                if (item.iId == step.id) {
                    steps << item.strKeyName + ':' + QString::number(step.time);
                    break;
                }
            }
        }
    }
    m_config.mapConfig.insert(key, name + '#' + steps.join(','));
    *written = CConfigFile::GetInstance()->WriteManualAutoTest(m_config);
    if (*written != 0)
        LogPrint(LOG_GENERAL, "ManualTestAutomation::CreateOrUpdateConfig() script %s could not be stored",
                 qPrintable(key));
    // The record holds the order's script for this run even when the file could not be written.
    HandOverCurrentScript();
}
