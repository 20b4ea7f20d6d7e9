#include "QNvrWebMessageBox.h"

#include "ModalHook.h"
#include "ScreenArea.h"
#include "ui_QNvrWebMessageBox.h"

#include <QCloseEvent>
#include <QFontMetrics>

QNvrWebMessageBox::QNvrWebMessageBox(QWidget* parent)
    : QDialog(parent), ui(new Ui::QNvrWebMessageBox)
{
    ui->setupUi(this);
    ui->m_labelText->setText(QString());
    connect(ui->m_btnOK, &QPushButton::clicked, this, &QNvrWebMessageBox::onbtnOkClicked);
    connect(ui->m_btnCancel, &QPushButton::clicked, this, &QNvrWebMessageBox::onbtnCancleClicked);
    ui->m_btnCancel->hide();
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
}

QNvrWebMessageBox::~QNvrWebMessageBox() { delete ui; }

void QNvrWebMessageBox::SetTitle(const QString& title) { setWindowTitle(title); }

QString QNvrWebMessageBox::Message() const { return ui->m_labelText->text(); }

void QNvrWebMessageBox::SetMessage(const QString& text)
{
    // The painter on the box would use the box's own font.
    const int m = qMax(QFontMetrics(font()).horizontalAdvance(text), 100);
    // Esc and reject() hide the box without a close event, so the last text's
    // fixed size may still hold; release it or the new size is clamped to it.
    setMinimumSize(0, 0);
    setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    const QRect old = geometry();
    setGeometry(old.left(), old.top(), m + 50, 70);

    ui->m_labelText->setGeometry(20, 10, m + 10, 20);
    const int c = (m + 50) / 2;
    ui->m_btnOK->setGeometry(c - 38, 35, 75, 23);
    ui->m_btnCancel->setGeometry(c + 42, 35, 75, 23);

    setMinimumSize(geometry().size());
    setMaximumSize(geometry().size());

    const QSize screen = ScreenArea::Geometry().size();
    move((screen.width() - width()) / 2, (screen.height() - height()) / 2);

    ui->m_labelText->setText(text);
}

void QNvrWebMessageBox::ShowCancelButton(bool show) { ui->m_btnCancel->setVisible(show); }

int QNvrWebMessageBox::exec()
{
    if (ModalHook::IsSet())
        return ModalHook::Exec(this);
    return QDialog::exec();
}

void QNvrWebMessageBox::closeEvent(QCloseEvent* event)
{
    setMinimumSize(0, 0);
    setMaximumSize(ScreenArea::Geometry().size());
    event->accept();
}

void QNvrWebMessageBox::onbtnOkClicked()
{
    accept();
    close();
}

void QNvrWebMessageBox::onbtnCancleClicked()
{
    reject();
    close();
}
