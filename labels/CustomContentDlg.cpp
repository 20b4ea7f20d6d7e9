#include "CustomContentDlg.h"

#include "FileDialogHook.h"
#include "IniText.h"
#include "LabelLine.h"
#include "ModalHook.h"
#include "TextFit.h"

#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRegExpValidator>
#include <QTextCodec>

#include <utility>
#include <vector>

const char* const CustomContentDlg::SizePattern = "[0][.][3-9]|[1-9][.][0-9]|[1-8][0-9][.][0-9]|90";
const char* const CustomContentDlg::FontSizePattern = "[1-4][.][0-9]|[5]";
const char* const CustomContentDlg::BarcodePattern = "[0-9a-zA-Z]{1,20}";
const char* const CustomContentDlg::PositionPattern = "[0-9]{1,2}[.][0-9]";

namespace {

// What a size field takes, in millimetres, and the text that says so.
struct Range {
    const char* text = nullptr;
    float min = 0;
    float max = 0;
};

const Range kWidthRange{"Allowed width: 0.3 to 90.0 mm", 0.3f, 90.0f};
const Range kHeightRange{"Allowed height: 0.3 to 90.0 mm", 0.3f, 90.0f};
const Range kFontRange{"Allowed font size: 1.0 to 5.0 mm", 1.0f, 5.0f};

struct Required {
    QLineEdit* edit;
    const char* message;
    Range range = {};
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
    return CheckRequired() && CheckRanges() && CheckStorable() && CheckPosition();
}

bool CustomContentDlg::CheckRequired()
{
    const Fields& f = m_fields;
    std::vector<Required> required;
    if (m_iType == LabelLine::Text)
        required = {{f.leText, "Text cannot be empty"}, {f.leFontSize, "Font size cannot be empty", kFontRange}};
    if (IsSized(m_iType))
        required = {{f.leHeight, "Height cannot be empty", kHeightRange},
                    {f.leWidth, "Width cannot be empty", kWidthRange}};
    if (m_iType == LabelLine::Picture)
        required.push_back({f.lePicturePath, "Image path cannot be empty"});
    if (m_iType == LabelLine::Barcode)
        required.push_back({f.leBarCode, "Text cannot be empty"});
    for (const Required& r : required) {
        if (r.edit->text().isEmpty()) {
            ShowMessage(r.range.text ? Tr(r.message) + "\n" + Tr(r.range.text) : Tr(r.message));
            return false;
        }
    }
    return true;
}

bool CustomContentDlg::CheckRanges()
{
    // A value the validator lets through unfinished ("0", "0.") reads as a number out of range.
    const Fields& f = m_fields;
    std::vector<Required> sized;
    if (m_iType == LabelLine::Text)
        sized = {{f.leFontSize, nullptr, kFontRange}};
    if (IsSized(m_iType))
        sized = {{f.leHeight, nullptr, kHeightRange}, {f.leWidth, nullptr, kWidthRange}};
    constexpr float kSlack = 0.001f;   // the edits hold one decimal
    for (const Required& r : sized) {
        const float value = r.edit->text().toFloat();
        if (!(value >= r.range.min - kSlack && value <= r.range.max + kSlack)) {
            ShowMessage(Tr(r.range.text));
            return false;
        }
    }
    return true;
}

bool CustomContentDlg::CheckStorable()
{
    const Fields& f = m_fields;
    // A template line has no quoting: a comma would split the field.
    const std::vector<Required> stored = {{f.leText, "Text cannot contain a comma"},
                                          {f.lePicturePath, "Image path cannot contain a comma"},
                                          {f.leBarCode, "Barcode content cannot contain a comma"}};
    for (const Required& r : stored) {
        if (!r.edit->isHidden() && !LabelLine::IsStorableField(r.edit->text())) {
            ShowMessage(Tr(r.message));
            return false;
        }
    }
    // Template files are GB2312: a character it has no bytes for would be saved as "?".
    const QTextCodec* codec = QTextCodec::codecForName("GB2312");
    const std::vector<Required> encodable = {
        {f.leText, "Text holds characters a template file (GB2312) cannot store"},
        {f.lePicturePath, "Image path holds characters a template file (GB2312) cannot store"},
        {f.leBarCode, "Barcode content holds characters a template file (GB2312) cannot store"}};
    for (const Required& r : encodable) {
        if (!r.edit->isHidden() && !IniText::CanStore(r.edit->text(), codec)) {
            ShowMessage(Tr(r.message));
            return false;
        }
    }
    return true;
}

bool CustomContentDlg::CheckPosition()
{
    if (!m_bWithPosition)
        return true;
    for (const Required& r : std::vector<Required>{{m_fields.lePosX, "coordinate X cannot be empty"},
                                                  {m_fields.lePosY, "coordinate Y cannot be empty"}}) {
        if (r.edit->text().isEmpty()) {
            ShowMessage(Tr(r.message));
            return false;
        }
    }
    return true;
}

void CustomContentDlg::ShowMessage(const QString& text)
{
    QMessageBox box(QMessageBox::Information, Tr("error"), text, QMessageBox::NoButton, this,
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
