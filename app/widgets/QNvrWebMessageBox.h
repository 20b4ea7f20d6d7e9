#pragma once

#include <QDialog>

namespace Ui {
class QNvrWebMessageBox;
}

// Small modal box: a title, one line of text sized to fit, OK and an optional Cancel.
class QNvrWebMessageBox : public QDialog {
    Q_OBJECT
public:
    explicit QNvrWebMessageBox(QWidget* parent = nullptr);
    ~QNvrWebMessageBox() override;

    void SetTitle(const QString& title);
    void SetMessage(const QString& text);
    void ShowCancelButton(bool show);
    QString Message() const;

    // Runs through ModalHook, so tests answer without a modal loop.
    int exec() override;

protected:
    void closeEvent(QCloseEvent* event) override;

private slots:
    void onbtnOkClicked();
    void onbtnCancleClicked();

private:
    Ui::QNvrWebMessageBox* ui;
};
