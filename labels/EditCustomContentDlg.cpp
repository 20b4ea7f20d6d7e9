#include "EditCustomContentDlg.h"

#include "ui_EditCustomContentDlg.h"

#include "LabelLine.h"

namespace {

QString OneDecimal(float value)
{
    return QString::number(double(value), 'f', 1);
}

}  // namespace

EditCustomContentDlg::EditCustomContentDlg(int type, LabelItemEditParam param, LabelItemCoordinate coordinate,
                                           int index, QWidget* item)
    : CustomContentDlg(type, item)
    , ui(new Ui::EditCustomContentDlg)
    , m_pItem(item)
    , m_param(std::move(param))
    , m_fX(coordinate.x)
    , m_fY(coordinate.y)
    , m_iIndex(index)
{
    ui->setupUi(this);
    setWindowTitle(tr("Edit label item"));
    InitFields(FieldsOf(ui), true);
    FillFields();
    connect(ui->btn_Ok, SIGNAL(clicked()), this, SLOT(onOkBtnClicked()));
    if (item && item->metaObject()->indexOfSlot("onChangedSignalEmit(void*,void*)") >= 0)
        connect(this, SIGNAL(changed(void*, void*)), item, SLOT(onChangedSignalEmit(void*, void*)));
}

EditCustomContentDlg::~EditCustomContentDlg()
{
    delete ui;
}

void EditCustomContentDlg::FillFields()
{
    switch (m_iType) {
    case LabelLine::Text: {
        ui->le_Text->setText(m_param.text);
        ui->le_FontSize->setText(OneDecimal(m_param.fontSize));
        const bool stationText = m_iIndex == LabelLine::SnText || m_iIndex == LabelLine::IndentifyText
                                 || m_iIndex == LabelLine::DateText || m_iIndex == LabelLine::MacText;
        ui->le_Text->setEnabled(!stationText);
        ui->le_FontSize->setEnabled(!stationText);
        break;
    }
    case LabelLine::HorizontalLine:
    case LabelLine::VerticalLine:
    case LabelLine::Picture:
    case LabelLine::Barcode:
        ui->le_LineWidth->setText(OneDecimal(m_param.width));
        ui->le_LineHeight->setText(OneDecimal(m_param.height));
        break;
    default:
        break;
    }
    if (m_iType == LabelLine::Picture)
        ui->le_PicturePath->setText(m_param.picturePath);
    if (m_iType == LabelLine::Barcode) {
        ui->le_BarCode->setText(m_param.text);
        ui->le_BarCode->setEnabled(m_iIndex != LabelLine::SnBarcode && m_iIndex != LabelLine::MacBarcode);
    }
    ui->le_posX->setText(OneDecimal(m_fX));
    ui->le_posY->setText(OneDecimal(m_fY));
}

void EditCustomContentDlg::onOkBtnClicked()
{
    if (!CheckInput())
        return;
    LabelItemEditParam param = ReadValues();
    LabelItemCoordinate coordinate{ui->le_posX->text().toFloat(), ui->le_posY->text().toFloat()};
    emit changed(&param, &coordinate);
    close();
}
