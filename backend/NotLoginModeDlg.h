#pragma once

#include <QDialog>
#include <QString>

namespace Ui {
class NotLoginModeDlg;
}

class QLineEdit;

// Guards the way into the not-logged-in mode: the operator retypes four random
// digits. Accepted: go on without a back-end login; rejected: back to the login.
class NotLoginModeDlg : public QDialog {
    Q_OBJECT
public:
    // The digits come from a generator seeded with the seconds since local
    // midnight of the station's wall clock (Clock::Now), which tests set.
    explicit NotLoginModeDlg(QWidget* parent = nullptr);
    ~NotLoginModeDlg() override;

    // The four digits shown, in order.
    QString ShownDigits() const;
    QLineEdit* ShownEdit(int i) const;   // lineEdit_1_<i+1>
    QLineEdit* TypedEdit(int i) const;   // lineEdit_2_<i+1>

private slots:
    void slot_lineEdit2_1_textChanged(QString text);
    void slot_lineEdit2_2_textChanged(QString text);
    void slot_lineEdit2_3_textChanged(QString text);
    void slot_lineEdit2_4_textChanged(QString text);
    void slot_PreStep_btnCliecked();
    void slot_NextStep_btnCliecked();

private:
    void DrawDigits();
    void ClearTypedDigits();
    // Moves the focus on from a box that got a digit.
    void FocusNextAfter(const QString& text, QWidget* next);

    Ui::NotLoginModeDlg* ui;
};
