#pragma once

#include "CustomContentDlg.h"
#include "LabelItemCoordinate.h"
#include "LabelItemEditParam.h"

namespace Ui {
class EditCustomContentDlg;
}

// Shows a label item's values and position and hands the changed ones back to
// the item (its parent).
class EditCustomContentDlg : public CustomContentDlg {
    Q_OBJECT
public:
    // item: also the parent; its slot onChangedSignalEmit(void*, void*) receives changed.
    // index: the item's template index; the station's own texts and barcode contents
    // are shown but cannot be changed.
    EditCustomContentDlg(int type, LabelItemEditParam param, LabelItemCoordinate coordinate, int index,
                         QWidget* item);
    ~EditCustomContentDlg() override;

    Ui::EditCustomContentDlg* Form() const { return ui; }

signals:
    // A LabelItemEditParam and a LabelItemCoordinate, valid only while delivered.
    void changed(void* pPram, void* pPramCoordinate);

private slots:
    void onOkBtnClicked();

private:
    void FillFields();

    Ui::EditCustomContentDlg* ui;
    QWidget* m_pItem = nullptr;
    LabelItemEditParam m_param;
    float m_fX = 0;
    float m_fY = 0;
    int m_iIndex = 0;
};
