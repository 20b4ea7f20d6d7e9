#include "LeftBottomWidget.h"

#include "AppGlobals.h"
#include "CConfigFile.h"
#include "ControllerHost.h"
#include "LeftTopWidget.h"
#include "QNvrWebMessageBox.h"
#include "TextFit.h"
#include "WidgetHelpers.h"
#include "ui_LeftBottomWidget.h"

#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>

#include <utility>

namespace {
constexpr int kRowHeight = 22;
constexpr int kCaptionWidth = 60;   // the form's caption width, for the narrow Windows font
constexpr int kBottomMargin = 5;
}  // namespace

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
    // A long order line breaks rather than running past the panel.
    ui->m_lbOrderDataDisplay->setWordWrap(true);
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
    UpdateLayout();   // the field takes its value's width
}

void LeftBottomWidget::ClearDevInfo()
{
    ui->m_VerInfolineEdit->clear();
    ui->m_SDInfolineEdit->clear();
    ui->m_SNlineEdit->clear();
    UpdateLayout();
}

void LeftBottomWidget::SetOrderDataDisplay(const QString& text)
{
    const int before = NeededHeight(width(), false);
    ui->m_lbOrderDataDisplay->setText(text);
    UpdateLayout();
    if (NeededHeight(width(), false) != before)
        emit heightNeedChanged();
}

void LeftBottomWidget::SetConfig(const ConfigInfo& config)
{
    m_config = config;
}

int LeftBottomWidget::NeededHeight(int width, bool compact) const
{
    return Plan(width, compact).lastRowTop + 27 + OrderTextHeight(width) + kBottomMargin;
}

void LeftBottomWidget::UpdateLayout()
{
    // Captions go beside their fields only when the panel is too low for the
    // rows of the form.
    const int w = width();
    const bool compact = height() < NeededHeight(w, false);
    const RowPlan plan = Plan(w, compact);
    for (const auto& [control, at] : plan.places)
        control->setGeometry(at);
    ui->m_lbOrderDataDisplay->setGeometry(0, plan.lastRowTop + 27, w, qMax(OrderTextHeight(w), kRowHeight));
}

LeftBottomWidget::RowPlan LeftBottomWidget::Plan(int width, bool compact) const
{
    return compact ? PlanCompactRows(width) : PlanRows(width);
}

LeftBottomWidget::RowPlan LeftBottomWidget::PlanRows(int w) const
{
    // A hidden control is skipped and moves nothing after it.
    RowPlan plan;
    auto place = [&plan](QWidget* control, int x, int y, int width) {
        plan.places.push_back({control, QRect(x, y, width, kRowHeight)});
    };
    int x = 0;
    int y = 10;
    if (!ui->m_lblVerInfo->isHidden())
        place(ui->m_lblVerInfo, 0, y, CaptionWidth(ui->m_lblVerInfo, w));
    if (!ui->m_VerInfolineEdit->isHidden()) {
        place(ui->m_VerInfolineEdit, 20, 32, w - 20);
        y = 32;
        x = 20;
    }
    if (!ui->m_lblSDInfo->isHidden()) {
        y += 27;
        place(ui->m_lblSDInfo, 0, y, CaptionWidth(ui->m_lblSDInfo, w));
        x = 0;
    }
    if (!ui->m_SDInfolineEdit->isHidden()) {
        y += 22;
        place(ui->m_SDInfolineEdit, x + 20, y, w - 20);
        x += 20;
    }
    if (!ui->m_lbSN->isHidden()) {
        y += 27;
        place(ui->m_lbSN, 0, y, CaptionWidth(ui->m_lbSN, w));
        x = 0;
    }
    if (!ui->m_SNlineEdit->isHidden()) {
        x += 20;
        y += 22;
        place(ui->m_SNlineEdit, x, y, SnFieldWidth(w - 200, w - x));
    }
    if (!ui->m_btnReFresh->isHidden()) {
        x += w - 190;
        place(ui->m_btnReFresh, x, y, 70);
    }
    if (!ui->m_btnCopy->isHidden())
        place(ui->m_btnCopy, x + 100, y, 70);
    plan.lastRowTop = y;
    return plan;
}

LeftBottomWidget::RowPlan LeftBottomWidget::PlanCompactRows(int w) const
{
    const std::pair<QWidget*, QWidget*> rows[] = {{ui->m_lblVerInfo, ui->m_VerInfolineEdit},
                                                  {ui->m_lblSDInfo, ui->m_SDInfolineEdit},
                                                  {ui->m_lbSN, ui->m_SNlineEdit}};
    // One caption column, as wide as the widest caption.
    int captionWidth = 0;
    for (const auto& row : rows)
        if (!row.first->isHidden())
            captionWidth = qMax(captionWidth, CaptionWidth(row.first, w));
    const int fieldX = captionWidth + 5;
    const bool buttons = !ui->m_btnReFresh->isHidden() || !ui->m_btnCopy->isHidden();
    RowPlan plan;
    int y = 10 - 27;
    for (const auto& [caption, field] : rows) {
        if (caption->isHidden() && field->isHidden())
            continue;
        y += 27;
        plan.places.push_back({caption, QRect(0, y, captionWidth, kRowHeight)});
        int fieldWidth = w - fieldX;
        if (field == ui->m_SNlineEdit && buttons) {
            fieldWidth = w - 175 - fieldX;
            plan.places.push_back({ui->m_btnReFresh, QRect(w - 170, y, 70, kRowHeight)});
            plan.places.push_back({ui->m_btnCopy, QRect(w - 70, y, 70, kRowHeight)});
        }
        plan.places.push_back({field, QRect(fieldX, y, fieldWidth, kRowHeight)});
    }
    plan.lastRowTop = y;
    return plan;
}

int LeftBottomWidget::OrderTextHeight(int width) const
{
    const QLabel* order = ui->m_lbOrderDataDisplay;
    return order->text().isEmpty() ? 0 : order->heightForWidth(width);
}

int LeftBottomWidget::CaptionWidth(const QWidget* caption, int panelWidth)
{
    return qMin(panelWidth, qMax(kCaptionWidth, TextFit::Needed(caption).width()));
}

int LeftBottomWidget::SnFieldWidth(int formWidth, int room) const
{
    // The serial number field grows to its value while the buttons after it are hidden.
    if (!ui->m_btnReFresh->isHidden() || !ui->m_btnCopy->isHidden())
        return formWidth;
    return qMax(formWidth, qMin(room, TextFit::Needed(ui->m_SNlineEdit).width()));
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
