#include "UploadTestResultDialog.h"
#include "ui_UploadTestResultDialog.h"

#include <QCheckBox>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStringList>

#include <cstring>

namespace {

using BoxMember = QCheckBox* Ui::UploadTestResultDialog::*;

// The fixed boxes in layout order: the panel item number that SetManualTestItems
// uses (0 for a second-lens box), the record field it sets and its Ctrl key.
struct FixedBoxDesc {
    BoxMember box;
    int panelItem;
    int32_t DevTestResult::*field;
    int key;
};

using U = Ui::UploadTestResultDialog;
using R = DevTestResult;

const FixedBoxDesc kFixedBoxes[UploadTestResultDialog::FIXED_BOX_COUNT] = {
    {&U::chk_Video, 1, &R::m_iTestVideo, Qt::Key_1},
    {&U::chk_Video2, 0, &R::video_result2, 0},
    {&U::chk_Trumpet, 2, &R::trumpet_result, Qt::Key_2},
    {&U::chk_Mic, 3, &R::mic_result, Qt::Key_3},
    {&U::chk_AudioAlarmFile, 4, &R::audio_alarm_file_result, Qt::Key_4},
    {&U::chk_FillLight, 5, &R::fill_light_result, Qt::Key_5},
    {&U::chk_FillLight2, 0, &R::fill_light_result2, 0},
    {&U::chk_HumanAlarmIO, 6, &R::human_alarm_io_result, Qt::Key_6},
    {&U::chk_IRCutDay, 7, &R::ircut_day_result, Qt::Key_7},
    {&U::chk_IRCutDay2, 0, &R::ircut_day_result2, 0},
    {&U::chk_IRCutNight, 8, &R::ircut_night_result, Qt::Key_8},
    {&U::chk_IRCutNight2, 0, &R::ircut_night_result2, 0},
    {&U::chk_SyncTime, 21, &R::sync_time_result, Qt::Key_A},
    {&U::chk_RestoreFactory, 22, &R::restore_result, Qt::Key_S},
    {&U::chk_FormatSDCard, 23, &R::format_sdcard_result, Qt::Key_D},
    {&U::chk_FocusAdd, 16, &R::focus_add_result, Qt::Key_Q},
    {&U::chk_FocusSub, 17, &R::focus_sub_result, Qt::Key_W},
    {&U::chk_ZoomAdd, 18, &R::zoom_add_result, Qt::Key_E},
    {&U::chk_ZoomSub, 19, &R::zoom_sub_result, Qt::Key_R},
    {&U::chk_AperAdd, 14, &R::aper_add_result, Qt::Key_T},
    {&U::chk_AperSub, 15, &R::aper_sub_result, Qt::Key_Y},
    {&U::chk_PresetCall, 20, &R::preset_point_call_result, Qt::Key_U},
    {&U::chk_PtzUp, 9, &R::ptz_up_result, Qt::Key_Up},
    {&U::chk_PtzDown, 10, &R::ptz_down_result, Qt::Key_Down},
    {&U::chk_PtzLeft, 11, &R::ptz_left_result, Qt::Key_Left},
    {&U::chk_PtzRight, 12, &R::ptz_right_result, Qt::Key_Right},
    {&U::chk_PtzReset, 13, &R::ptz_reset_result, Qt::Key_0},
};

// The first-lens boxes whose second lens shows in ball-camera mode.
struct LensPair {
    BoxMember first;
    BoxMember second;
    int panelItem;
    const char* normalCaption;
    const char* ballCaption;
};

const LensPair kLensPairs[] = {
    {&U::chk_Video, &U::chk_Video2, 1, QT_TRANSLATE_NOOP("UploadTestResultDialog", "(Video|[Ctrl+1])"),
     QT_TRANSLATE_NOOP("UploadTestResultDialog", "(Ball Video|[Ctrl+1])")},
    {&U::chk_FillLight, &U::chk_FillLight2, 5, QT_TRANSLATE_NOOP("UploadTestResultDialog", "(FillLight|[Ctrl+5])"),
     QT_TRANSLATE_NOOP("UploadTestResultDialog", "(Ball FillLight|[Ctrl+5]))")},
    {&U::chk_IRCutDay, &U::chk_IRCutDay2, 7, QT_TRANSLATE_NOOP("UploadTestResultDialog", "(IRCutDay|[Ctrl+7])"),
     QT_TRANSLATE_NOOP("UploadTestResultDialog", "(Ball IRCutDay|[Ctrl+7])")},
    {&U::chk_IRCutNight, &U::chk_IRCutNight2, 8, QT_TRANSLATE_NOOP("UploadTestResultDialog", "(IRCutNight|[Ctrl+8])"),
     QT_TRANSLATE_NOOP("UploadTestResultDialog", "(Ball IRCutNight|[Ctrl+8])")},
};

const char kShowHideStyle[] =
    "QPushButton{border: 2px solid grey; background:rgb(183,203,188); border-radius: 4px;}"
    "QPushButton:hover{border-color:rgb(220,20,60);}"
    "QPushButton:pressed{border-color:gray}";

}  // namespace

UploadTestResultDialog::UploadTestResultDialog(QWidget* parent)
    : QDialog(parent)
    , ui(std::make_unique<Ui::UploadTestResultDialog>())
    , m_pParent(parent)
{
    ui->setupUi(this);
    m_bFirstShow = true;
    SetUp();
}

UploadTestResultDialog::~UploadTestResultDialog() = default;

void UploadTestResultDialog::SetUp()
{
    m_customFont = QFont(QStringLiteral("宋体"), 12);
    m_vecCustomItems.clear();
    m_bExpanded = true;
    QFont bold = ui->m_btn_ShowHide->font();
    bold.setBold(true);
    ui->m_btn_ShowHide->setFont(bold);
    ui->m_btn_ShowHide->setText(QStringLiteral("-"));
    ui->m_btn_ShowHide->setStyleSheet(QString::fromLatin1(kShowHideStyle));
    ui->m_btn_ShowHide->setFixedSize(25, 25);
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    setWindowOpacity(0.8);
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    connect(ui->m_btn_ShowHide, SIGNAL(clicked()), this, SLOT(slot_ShowHideBtn_clicked()));
    // Every numbered box starts shown by its own state, so that a commit before
    // the panel was ever on screen still reads them as shown.
    for (const FixedBoxDesc& desc : kFixedBoxes) {
        if (desc.panelItem > 0)
            (ui.get()->*desc.box)->setVisible(true);
    }
    SetBallCameraMode(false);
}

QCheckBox* UploadTestResultDialog::FixedBox(int index) const
{
    return ui.get()->*kFixedBoxes[index].box;
}

void UploadTestResultDialog::SetVideoWindow(QWidget* videoWindow)
{
    m_pVideoWindow = videoWindow;
}

void UploadTestResultDialog::SetFirstShow()
{
    m_bFirstShow = true;
}

void UploadTestResultDialog::ShowOnTop(bool reposition)
{
    hide();
    setWindowFlags(windowFlags() | Qt::WindowStaysOnTopHint);
    show();
    if (!reposition)
        return;
    if (m_bFirstShow) {
        // Without a video window there is nothing to line up with yet.
        if (!m_pVideoWindow)
            return;
        m_bFirstShow = false;
        const QPoint video = m_pVideoWindow->mapToGlobal(QPoint(0, 0));
        move(video.x(), qMax(video.y() - FIRST_PLACEMENT_LIFT, m_firstPlacementTop));
        return;
    }
    if (!m_pParent)
        return;
    const QRect main(m_pParent->mapToGlobal(QPoint(0, 0)), m_pParent->size());
    const QRect panel = frameGeometry();
    int x = panel.x();
    int y = panel.y();
    const int mainRight = main.x() + main.width();
    const int mainBottom = main.y() + main.height();
    if (x + panel.width() >= mainRight)
        x = mainRight - panel.width();
    if (x <= main.x())
        x = main.x();
    if (y + panel.height() >= mainBottom)
        y = mainBottom - panel.height();
    move(x, y);
}

void UploadTestResultDialog::SetManualTestItems(TestConfig config)
{
    for (bool& shown : m_bShowItem)
        shown = false;
    for (const QString& part : config.upload_test_result_display.split(',')) {
        bool ok = false;
        const int number = part.toInt(&ok, 10);
        if (ok && number >= 1 && number <= PANEL_ITEM_COUNT)
            m_bShowItem[number - 1] = true;
    }
    UpdateItemVisible(config.customize_test_items);
}

void UploadTestResultDialog::UpdateItemVisible(const QVector<CustomizeItem>& items)
{
    ClearAllCheck();
    for (const FixedBoxDesc& desc : kFixedBoxes) {
        if (desc.panelItem > 0)
            (ui.get()->*desc.box)->setVisible(m_bShowItem[desc.panelItem - 1]);
    }
    RemoveCustomBoxes();
    m_vecCustomItems = items;
    AddCustomBoxes();
    ShowOnTop(true);
}

void UploadTestResultDialog::RemoveCustomBoxes()
{
    while (QLayoutItem* item = ui->m_vLay3->takeAt(0))
        delete item;   // the layout item only; the boxes go below
    for (const QPointer<QCheckBox>& box : m_customBoxes)
        delete box.data();
    m_customBoxes.clear();
}

void UploadTestResultDialog::AddCustomBoxes()
{
    for (const CustomizeItem& item : m_vecCustomItems) {
        auto* box = new QCheckBox(item.name, this);
        box->setObjectName(item.mark);
        box->setFont(m_customFont);
        ui->m_vLay3->addWidget(box);
        m_customBoxes.append(box);
    }
    if (!m_vecCustomItems.isEmpty())
        ui->m_vLay3->addStretch();
}

void UploadTestResultDialog::SetBallCameraMode(bool ball)
{
    for (const LensPair& pair : kLensPairs) {
        QCheckBox* first = ui.get()->*pair.first;
        QCheckBox* second = ui.get()->*pair.second;
        if (!ball) {
            second->setVisible(false);
            first->setText(tr(pair.normalCaption));
        } else if (m_bShowItem[pair.panelItem - 1]) {
            second->setVisible(true);
            first->setText(tr(pair.ballCaption));
        }
    }
}

void UploadTestResultDialog::ClearAll()
{
    ClearAllCheck();
}

void UploadTestResultDialog::ClearAllCheck()
{
    for (int i = 0; i < FIXED_BOX_COUNT; ++i)
        FixedBox(i)->setChecked(false);
    for (const QPointer<QCheckBox>& box : m_customBoxes) {
        if (box)
            box->setChecked(false);
    }
}

void UploadTestResultDialog::CommitManualTestResult()
{
    DevTestResult record;
    std::memset(&record, 0, sizeof record);
    for (int i = 0; i < FIXED_BOX_COUNT; ++i) {
        const QCheckBox* box = FixedBox(i);
        // A box's own hidden state counts, not the folded group's or the panel's.
        if (!box->isHidden())
            record.*kFixedBoxes[i].field = box->isChecked() ? -1 : 1;
    }
    for (int i = 0; i < m_vecCustomItems.size() && i < m_customBoxes.size(); ++i) {
        if (m_customBoxes[i])
            m_vecCustomItems[i].result = m_customBoxes[i]->isChecked() ? -1 : 1;
    }
    emit sig_SaveManualTestResult(record, m_vecCustomItems);
}

void UploadTestResultDialog::UploadTestResult()
{
    emit sig_UploadTestResult();
}

void UploadTestResultDialog::keyPressEvent(QKeyEvent* event)
{
    // Keys without Ctrl do nothing here (nor does Esc close the panel). A held
    // key toggles once: an even or odd count of repeats must not decide a verdict.
    if (!(event->modifiers() & Qt::ControlModifier) || event->isAutoRepeat()) {
        event->ignore();
        return;
    }
    for (const FixedBoxDesc& desc : kFixedBoxes) {
        if (desc.key != 0 && desc.key == event->key()) {
            QCheckBox* box = ui.get()->*desc.box;
            box->setChecked(!box->isChecked());
            event->accept();
            return;
        }
    }
    event->ignore();
}

void UploadTestResultDialog::slot_ShowHideBtn_clicked()
{
    m_bExpanded = !m_bExpanded;
    ui->m_group_ManualTestResult->setVisible(m_bExpanded);
    ui->m_btn_ShowHide->setText(m_bExpanded ? QStringLiteral("-") : QStringLiteral("+"));
    ShowOnTop(true);
}

void UploadTestResultDialog::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    m_ptDragOffset = event->globalPos() - frameGeometry().topLeft();
    event->accept();
}

void UploadTestResultDialog::mouseMoveEvent(QMouseEvent* event)
{
    if (!(event->buttons() & Qt::LeftButton))
        return;
    move(event->globalPos() - m_ptDragOffset);
    event->accept();
}

void UploadTestResultDialog::paintEvent(QPaintEvent* /*event*/)
{
    QPainter painter(this);
    painter.setPen(QPen(QColor(0, 0, 255), 1.5, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin));
    painter.drawRect(1, 1, width() - 2, height() - 2);
}
