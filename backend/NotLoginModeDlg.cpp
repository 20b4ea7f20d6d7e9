#include "NotLoginModeDlg.h"

#include "ui_NotLoginModeDlg.h"

#include "Clock.h"
#include "InfoBox.h"

#include <QRegExpValidator>

#include <random>

namespace {
constexpr int DIGIT_COUNT = 4;
}

NotLoginModeDlg::NotLoginModeDlg(QWidget* parent)
    : QDialog(parent), ui(new Ui::NotLoginModeDlg)
{
    ui->setupUi(this);
    // Titled after the login dialog's button that opens it.
    setWindowTitle(tr("Not Login"));
    setWindowFlags((windowFlags() | Qt::CustomizeWindowHint) & ~Qt::WindowCloseButtonHint
                   & ~Qt::WindowContextHelpButtonHint);
    setFixedSize(412, 245);

    DrawDigits();
    const QRegExp oneDigit("[0-9]");
    for (int i = 0; i < DIGIT_COUNT; ++i) {
        TypedEdit(i)->setValidator(new QRegExpValidator(oneDigit, TypedEdit(i)));
        TypedEdit(i)->setMaxLength(1);
    }
    connect(ui->lineEdit_2_1, &QLineEdit::textChanged, this, &NotLoginModeDlg::slot_lineEdit2_1_textChanged);
    connect(ui->lineEdit_2_2, &QLineEdit::textChanged, this, &NotLoginModeDlg::slot_lineEdit2_2_textChanged);
    connect(ui->lineEdit_2_3, &QLineEdit::textChanged, this, &NotLoginModeDlg::slot_lineEdit2_3_textChanged);
    connect(ui->lineEdit_2_4, &QLineEdit::textChanged, this, &NotLoginModeDlg::slot_lineEdit2_4_textChanged);
    connect(ui->btn_PreStep, &QPushButton::clicked, this, &NotLoginModeDlg::slot_PreStep_btnCliecked);
    connect(ui->btn_NextStep, &QPushButton::clicked, this, &NotLoginModeDlg::slot_NextStep_btnCliecked);
    ui->lineEdit_2_1->setFocus();
}

NotLoginModeDlg::~NotLoginModeDlg()
{
    delete ui;
}

void NotLoginModeDlg::DrawDigits()
{
    const WallTime now = Clock::Now();
    std::mt19937 generator(unsigned(now.hour * 3600 + now.minute * 60 + now.second));
    for (int i = 0; i < DIGIT_COUNT; ++i)
        ShownEdit(i)->setText(QString::number(generator() % 10));
}

QString NotLoginModeDlg::ShownDigits() const
{
    QString digits;
    for (int i = 0; i < DIGIT_COUNT; ++i)
        digits += ShownEdit(i)->text();
    return digits;
}

QLineEdit* NotLoginModeDlg::ShownEdit(int i) const
{
    QLineEdit* const edits[DIGIT_COUNT] = {ui->lineEdit_1_1, ui->lineEdit_1_2, ui->lineEdit_1_3, ui->lineEdit_1_4};
    return i >= 0 && i < DIGIT_COUNT ? edits[i] : nullptr;
}

QLineEdit* NotLoginModeDlg::TypedEdit(int i) const
{
    QLineEdit* const edits[DIGIT_COUNT] = {ui->lineEdit_2_1, ui->lineEdit_2_2, ui->lineEdit_2_3, ui->lineEdit_2_4};
    return i >= 0 && i < DIGIT_COUNT ? edits[i] : nullptr;
}

void NotLoginModeDlg::FocusNextAfter(const QString& text, QWidget* next)
{
    if (!text.isEmpty())
        next->setFocus();
}

void NotLoginModeDlg::slot_lineEdit2_1_textChanged(QString text) { FocusNextAfter(text, ui->lineEdit_2_2); }
void NotLoginModeDlg::slot_lineEdit2_2_textChanged(QString text) { FocusNextAfter(text, ui->lineEdit_2_3); }
void NotLoginModeDlg::slot_lineEdit2_3_textChanged(QString text) { FocusNextAfter(text, ui->lineEdit_2_4); }
void NotLoginModeDlg::slot_lineEdit2_4_textChanged(QString text) { FocusNextAfter(text, ui->btn_NextStep); }

void NotLoginModeDlg::slot_PreStep_btnCliecked()
{
    reject();
}

void NotLoginModeDlg::ClearTypedDigits()
{
    for (int i = 0; i < DIGIT_COUNT; ++i)
        TypedEdit(i)->clear();
    ui->lineEdit_2_1->setFocus();
}

void NotLoginModeDlg::slot_NextStep_btnCliecked()
{
    for (int i = 0; i < DIGIT_COUNT; ++i) {
        if (TypedEdit(i)->text().isEmpty()) {
            RunInfoBox(this, tr("Error"), tr("Please enter the corresponding number"), tr("OK"));
            return;
        }
    }
    for (int i = 0; i < DIGIT_COUNT; ++i) {
        if (TypedEdit(i)->text() != ShownEdit(i)->text()) {
            RunInfoBox(this, tr("Error"), tr("The input figures do not match. Please try again"), tr("OK"));
            ClearTypedDigits();
            return;
        }
    }
    accept();
}
