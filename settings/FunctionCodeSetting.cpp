#include "FunctionCodeSetting.h"
#include "ui_FunctionCodeSetting.h"

#include "CConfigFile.h"
#include "LeftTopWidget.h"
#include "Log.h"
#include "WidgetHelpers.h"

#include <QCheckBox>
#include <QStringList>
#include <QTimer>

#include <algorithm>

FunctionCodeSetting::FunctionCodeSetting(QWidget* parent)
    : QWidget(parent)
    , ui(std::make_unique<Ui::FunctionCodeSetting>())
{
    ui->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setWindowModality(Qt::ApplicationModal);
    // Titled after the settings form's button that opens it.
    setWindowTitle(tr("功能码设置"));
    setFixedSize(211, 592);
    m_boxes = {ui->cbx_1,  ui->cbx_2,  ui->cbx_3,  ui->cbx_4,  ui->cbx_5,  ui->cbx_6,  ui->cbx_7,
               ui->cbx_8,  ui->cbx_9,  ui->cbx_10, ui->cbx_11, ui->cbx_12, ui->cbx_13, ui->cbx_14,
               ui->cbx_15, ui->cbx_16, ui->cbx_17, ui->cbx_18, ui->cbx_19, ui->cbx_20};
    Q_ASSERT(m_boxes.size() == FUNCODE_COUNT);

    m_closeTimer = new QTimer(this);
    m_closeTimer->setSingleShot(true);
    m_closeTimer->setInterval(CLOSE_DELAY_MS);
    connect(m_closeTimer, &QTimer::timeout, this, &FunctionCodeSetting::onCloseFunctionCodeWidget);
    connect(ui->btn_Save, &QPushButton::clicked, this, &FunctionCodeSetting::onSaveBtnClicked);
}

FunctionCodeSetting::~FunctionCodeSetting() = default;

void FunctionCodeSetting::SetController(LeftTopWidget* controller)
{
    m_controller = controller;
}

void FunctionCodeSetting::LoadFunctionCodes()
{
    if (CConfigFile::GetInstance()->ReadFunctionCode(m_codes) != 0)
        LogPrint(LOG_GENERAL, "FunctionCodeSetting::LoadFunctionCodes() config.ini is not open, the choice stays");
    for (int i = 0; i < FUNCODE_COUNT; ++i)
        m_boxes[i]->setChecked(m_codes[i] != 0);
}

void FunctionCodeSetting::ParseCodes(const QString& list, int codes[FUNCODE_COUNT])
{
    std::fill(codes, codes + FUNCODE_COUNT, 0);
    for (const QString& part : list.split(',')) {
        const int code = part.toInt();   // 0 for a part that is no number
        if (code >= 1 && code <= FUNCODE_COUNT)
            codes[code - 1] = 1;
    }
}

int FunctionCodeSetting::StoreAndHandOver()
{
    const int written = CConfigFile::GetInstance()->WriteFunctionCode(m_codes);
    if (written != 0)
        LogPrint(LOG_GENERAL, "FunctionCodeSetting: the function codes could not be written to config.ini");
    if (m_controller)
        m_controller->SetFunctionCodeSelection(m_codes);
    return written == 0 ? 0 : -1;
}

void FunctionCodeSetting::onSaveBtnClicked()
{
    for (int i = 0; i < FUNCODE_COUNT; ++i)
        m_codes[i] = m_boxes[i]->isChecked() ? 1 : 0;
    if (StoreAndHandOver() != 0) {
        m_closeTimer->stop();
        ShowTipsText(ui->lb_Tips, tr("save failed"));
        return;
    }
    ShowTipsText(ui->lb_Tips, tr("save succeed"));
    m_closeTimer->start();
}

void FunctionCodeSetting::onCloseFunctionCodeWidget()
{
    ui->lb_Tips->clear();
    close();
}

int ParseFunctionCodeList(FunctionCodeSetting* dialog, QString list)
{
    if (!dialog)
        return -1;
    FunctionCodeSetting::ParseCodes(list, dialog->m_codes);
    return dialog->StoreAndHandOver();
}
