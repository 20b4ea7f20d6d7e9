#pragma once

#include "CustomContentDlg.h"

namespace Ui {
class AddCustomContentDlg;
}

// Asks for the values of a new label item of one type and hands them to the
// editor, which creates the item.
class AddCustomContentDlg : public CustomContentDlg {
    Q_OBJECT
public:
    // editor: also the parent; its slot onCreatSignalEmit(void*) receives CreatLable.
    AddCustomContentDlg(int type, QWidget* editor);
    ~AddCustomContentDlg() override;

    Ui::AddCustomContentDlg* Form() const { return ui; }

signals:
    // A LabelItemParam, valid only while the signal is delivered.
    void CreatLable(void* pPram);

private slots:
    void onOkBtnClicked();

private:
    Ui::AddCustomContentDlg* ui;
    QWidget* m_pEditor = nullptr;
};
