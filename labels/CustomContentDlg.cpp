#include "CustomContentDlg.h"

#include "FileDialogHook.h"
#include "LabelLine.h"
#include "ModalHook.h"
#include "TextFit.h"

#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRegExpValidator>

#include <utility>
#include <vector>

const char* const CustomContentDlg::SizePattern = "[0][.][3-9]|[1-9][.][0-9]|[1-8][0-9][.][0-9]|90";
const char* const CustomContentDlg::FontSizePattern = "[1-4][.][0-9]|[5]";
const char* const CustomContentDlg::BarcodePattern = "[0-9a-zA-Z]{1,20}";
const char* const CustomContentDlg::PositionPattern = "[0-9]{1,2}[.][0-9]";

namespace {

struct Required {
    QLineEdit* edit;
    const char* message;
};

bool IsSized(int type)
{
    return type == LabelLine::HorizontalLine || type == LabelLine::VerticalLine || type == LabelLine::Picture
           || type == LabelLine::Barcode;
}

}  // namespace

CustomContentDlg::CustomContentDlg(int type, QWidget* parent)
    : QDialog(parent)
    , m_iType(type)
{
}

QString CustomContentDlg::Tr(const char* text) const
{
    return QCoreApplication::translate(metaObject()->className(), text);
}

void CustomContentDlg::InitFields(const Fields& f, bool withPosition)
{
    m_fields = f;
    m_bWithPosition = withPosition;
    setWindowFlags(Qt::Dialog | Qt::WindowCloseButtonHint);
    for (QWidget* w : std::vector<QWidget*>{f.lbWidth, f.leWidth, f.lbHeight, f.leHeight, f.lbText, f.leText,
                                            f.lbFontSize, f.leFontSize, f.lbPicturePath, f.lePicturePath,
                                            f.btnBrowse, f.lbBarCode, f.leBarCode, f.lbPosX, f.lePosX,
                                            f.lbPosY, f.lePosY})
        w->hide();
    ShowTypeFields();
    FitCaptions();
    InstallValidators();
    connect(f.btnCancle, SIGNAL(clicked()), this, SLOT(onCancleBtnClicked()));
    connect(f.btnBrowse, SIGNAL(clicked()), this, SLOT(onBrowseBtnClicked()));
    f.btnOk->setFocus();
}

void CustomContentDlg::FitCaptions()
{
    const Fields& f = m_fields;
    const std::pair<QLabel*, QLineEdit*> rows[] = {
        {f.lbWidth, f.leWidth},         {f.lbHeight, f.leHeight},   {f.lbText, f.leText},
        {f.lbFontSize, f.leFontSize},   {f.lbPicturePath, f.lePicturePath}, {f.lbBarCode, f.leBarCode},
        {f.lbPosX, f.lePosX},           {f.lbPosY, f.lePosY}};
    for (const auto& [caption, field] : rows)
        TextFit::GrowBefore(caption, field);
}

void CustomContentDlg::ShowTypeFields()
{
    const Fields& f = m_fields;
    std::vector<QWidget*> shown;
    if (m_iType == LabelLine::Text)
        shown = {f.lbText, f.leText, f.lbFontSize, f.leFontSize};
    if (IsSized(m_iType))
        shown = {f.lbWidth, f.leWidth, f.lbHeight, f.leHeight};
    if (m_iType == LabelLine::Picture)
        shown.insert(shown.end(), {f.lbPicturePath, f.lePicturePath, f.btnBrowse});
    if (m_iType == LabelLine::Barcode)
        shown.insert(shown.end(), {f.lbBarCode, f.leBarCode});
    if (m_bWithPosition)
        shown.insert(shown.end(), {f.lbPosX, f.lePosX, f.lbPosY, f.lePosY});
    for (QWidget* w : shown)
        w->show();
}

void CustomContentDlg::InstallValidators()
{
    const auto install = [this](QLineEdit* edit, const char* pattern, const QString& placeholder) {
        edit->setValidator(new QRegExpValidator(QRegExp(pattern, Qt::CaseSensitive), this));
        if (!placeholder.isEmpty())
            edit->setPlaceholderText(placeholder);
    };
    install(m_fields.leWidth, SizePattern, ">0.3");
    install(m_fields.leHeight, SizePattern, ">0.3");
    install(m_fields.leFontSize, FontSizePattern, "1.0-5.0");
    install(m_fields.leBarCode, BarcodePattern, QString());
    if (m_bWithPosition) {
        install(m_fields.lePosX, PositionPattern, "<base width");
        install(m_fields.lePosY, PositionPattern, "<base height");
    }
}

bool CustomContentDlg::CheckInput()
{
    const Fields& f = m_fields;
    std::vector<Required> required;
    if (m_iType == LabelLine::Text)
        required = {{f.leText, "Text cannot be empty"}, {f.leFontSize, "Font size cannot be empty"}};
    if (IsSized(m_iType))
        required = {{f.leHeight, "Height cannot be empty"}, {f.leWidth, "Width cannot be empty"}};
    if (m_iType == LabelLine::Picture)
        required.push_back({f.lePicturePath, "Image path cannot be empty"});
    if (m_iType == LabelLine::Barcode)
        required.push_back({f.leBarCode, "Text cannot be empty"});
    for (const Required& r : required) {
        if (r.edit->text().isEmpty()) {
            ShowMessage(r.message);
            return false;
        }
    }
    // A template line has no quoting: a comma would split the field.
    const std::vector<Required> stored = {{f.leText, "Text cannot contain a comma"},
                                          {f.lePicturePath, "Image path cannot contain a comma"},
                                          {f.leBarCode, "Barcode content cannot contain a comma"}};
    for (const Required& r : stored) {
        if (!r.edit->isHidden() && !LabelLine::IsStorableField(r.edit->text())) {
            ShowMessage(r.message);
            return false;
        }
    }
    if (!m_bWithPosition)
        return true;
    for (const Required& r : std::vector<Required>{{f.lePosX, "coordinate X cannot be empty"},
                                                  {f.lePosY, "coordinate Y cannot be empty"}}) {
        if (r.edit->text().isEmpty()) {
            ShowMessage(r.message);
            return false;
        }
    }
    return true;
}

void CustomContentDlg::ShowMessage(const char* text)
{
    QMessageBox box(QMessageBox::Information, Tr("error"), Tr(text), QMessageBox::NoButton, this,
                    Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint);
    box.addButton(Tr("ok"), QMessageBox::AcceptRole);
    ModalHook::Exec(&box);
}

LabelItemEditParam CustomContentDlg::ReadValues() const
{
    const Fields& f = m_fields;
    LabelItemEditParam p;
    if (m_iType == LabelLine::Text) {
        p.text = f.leText->text();
        p.fontSize = f.leFontSize->text().toFloat();
    }
    if (IsSized(m_iType)) {
        p.width = f.leWidth->text().toFloat();
        p.height = f.leHeight->text().toFloat();
    }
    if (m_iType == LabelLine::Picture)
        p.picturePath = f.lePicturePath->text();
    if (m_iType == LabelLine::Barcode)
        p.text = f.leBarCode->text();
    return p;
}

void CustomContentDlg::onCancleBtnClicked()
{
    close();
}

void CustomContentDlg::onBrowseBtnClicked()
{
    const QString path = FileDialogHook::GetOpenFileName(this, Tr("picture"), QString(), "Images (*.png  *.jpg)");
    if (!path.isEmpty())
        m_fields.lePicturePath->setText(path);
}
