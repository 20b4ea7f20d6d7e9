#include "ManualTestItemDisplayDlg.h"
#include "ui_ManualTestItemDisplayDlg.h"

#include "CConfigFile.h"
#include "Log.h"
#include "WidgetHelpers.h"

#include <QCheckBox>
#include <QStringList>
#include <QTimer>

ManualTestItemDisplayDlg::ManualTestItemDisplayDlg(QWidget* owner)
    : QDialog(owner)
    , m_pOwner(owner)
    , ui(std::make_unique<Ui::ManualTestItemDisplayDlg>())
{
    ui->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    // Titled after the settings form's group that opens it.
    setWindowTitle(tr("Manual test item display settings"));
    FitBoxes();
    m_boxes = {ui->cbk_Trumpet,     ui->cbk_HumanAlarm,   ui->cbk_Mic,         ui->cbk_AudioAlarm,
               ui->cbk_Day,         ui->cbk_Night,        ui->cbk_WIFISignalTest, ui->cbk_WIFITest,
               ui->cbk_OpenWhiteLight, ui->cbk_FuntionCode, ui->cbk_QRCodeCheck, ui->cbk_4GTestItem,
               ui->cbk_AperAdd,     ui->cbk_AperReduce,   ui->cbk_FocusAdd,    ui->cbk_FocusReduce,
               ui->cbk_ZoomAdd,     ui->cbk_ZoomReduce,   ui->cbk_Up,          ui->cbk_Down,
               ui->cbk_Left,        ui->cbk_Right,        ui->cbk_PTZReset,    ui->cbk_PreserCall};
    Q_ASSERT(m_boxes.size() == MANUAL_ITEM_DISPLAY_COUNT);

    m_closeTimer = new QTimer(this);
    m_closeTimer->setSingleShot(true);
    m_closeTimer->setInterval(CLOSE_DELAY_MS);
    connect(m_closeTimer, &QTimer::timeout, this, &ManualTestItemDisplayDlg::onCloseWidget);
    connect(ui->btn_Save, SIGNAL(clicked()), this, SLOT(OnSaveBtnClicked()));
    // The settings form is built later and in a higher folder: reach its slot by name.
    if (owner && owner->metaObject()->indexOfSlot("onRefreshManualTestItemUIEimtShot()") >= 0)
        connect(this, SIGNAL(refresh()), owner, SLOT(onRefreshManualTestItemUIEimtShot()));
}

ManualTestItemDisplayDlg::~ManualTestItemDisplayDlg() = default;

void ManualTestItemDisplayDlg::FitBoxes()
{
    // The rows of boxes widen to their captions; the dialog keeps its height and
    // widens with them, its margins kept.
    constexpr int kWidth = 500;
    constexpr int kHeight = 350;
    const QRect rows = ui->widget->geometry();
    const int rowsWidth = qMax(rows.width(), ui->widget->sizeHint().width());
    ui->widget->resize(rowsWidth, rows.height());
    const int width = qMax(kWidth, kWidth + rowsWidth - rows.width());
    ui->line->resize(width + 1, ui->line->height());
    setFixedSize(width, kHeight);
}

void ManualTestItemDisplayDlg::LoadFlags()
{
    if (CConfigFile::GetInstance()->ReadManualTestItemDisplay(m_flags) != 0)
        LogPrint(LOG_GENERAL, "ManualTestItemDisplayDlg::LoadFlags() config.ini is not open, flags kept");
    for (int i = 0; i < MANUAL_ITEM_DISPLAY_COUNT; ++i)
        m_boxes[i]->setChecked(m_flags.at(i));
}

ManualItemDisplayFlags ManualTestItemDisplayDlg::ParseItemDisplay(const QString& itemDisplay)
{
    ManualItemDisplayFlags flags;
    for (const QString& part : itemDisplay.split(',')) {
        const int number = part.toInt();   // 0 for a part that is no number
        if (number >= 1 && number <= MANUAL_ITEM_DISPLAY_COUNT)
            flags.at(number - 1) = true;
    }
    return flags;
}

int ManualTestItemDisplayDlg::ApplyServerItemDisplay(const QString& itemDisplay)
{
    m_flags = ParseItemDisplay(itemDisplay);
    const int written = CConfigFile::GetInstance()->WriteManualTestItemDisplay(m_flags);
    if (written != 0)
        LogPrint(LOG_GENERAL, "ManualTestItemDisplayDlg::ApplyServerItemDisplay() the flags could not be stored");
    // The store holds the new flags for this run even when the file write failed.
    emit refresh();
    return written == 0 ? 0 : -1;
}


void ManualTestItemDisplayDlg::OnSaveBtnClicked()
{
    for (int i = 0; i < MANUAL_ITEM_DISPLAY_COUNT; ++i)
        m_flags.at(i) = m_boxes[i]->isChecked();
    if (CConfigFile::GetInstance()->WriteManualTestItemDisplay(m_flags) != 0) {
        LogPrint(LOG_GENERAL, "ManualTestItemDisplayDlg::OnSaveBtnClicked() the flags could not be stored");
        m_closeTimer->stop();
        ShowTipsText(ui->lb_Tips, tr("save failed"));
        return;
    }
    ShowTipsText(ui->lb_Tips, tr("save succeed"));
    m_closeTimer->start();
}

void ManualTestItemDisplayDlg::onCloseWidget()
{
    ui->lb_Tips->clear();
    emit refresh();
    close();
}
