#include "AddCustomContentDlg.h"

#include "ui_AddCustomContentDlg.h"

#include "LabelItemParam.h"

AddCustomContentDlg::AddCustomContentDlg(int type, QWidget* editor)
    : CustomContentDlg(type, editor)
    , ui(new Ui::AddCustomContentDlg)
    , m_pEditor(editor)
{
    ui->setupUi(this);
    // Titled after the designer's group that opens it.
    setWindowTitle(tr("自定义添加"));
    InitFields(FieldsOf(ui), false);
    connect(ui->btn_Ok, SIGNAL(clicked()), this, SLOT(onOkBtnClicked()));
    if (editor && editor->metaObject()->indexOfSlot("onCreatSignalEmit(void*)") >= 0)
        connect(this, SIGNAL(CreatLable(void*)), editor, SLOT(onCreatSignalEmit(void*)));
}

AddCustomContentDlg::~AddCustomContentDlg()
{
    delete ui;
}

void AddCustomContentDlg::onOkBtnClicked()
{
    if (!CheckInput())
        return;
    const LabelItemEditParam values = ReadValues();
    LabelItemParam param;
    param.type = m_iType;
    param.text = values.text;
    param.fontSize = values.fontSize;
    param.width = values.width;
    param.height = values.height;
    param.picturePath = values.picturePath;
    emit CreatLable(&param);
    close();
}
