#pragma once

#include "LabelItemEditParam.h"

#include <QDialog>
#include <QString>

class QLabel;
class QLineEdit;
class QPushButton;

// What the add and the edit dialog of a label item share: their forms have the
// same widgets, of which only those of the item's type are shown; sizes are
// millimetres; OK needs the shown fields filled.
class CustomContentDlg : public QDialog {
    Q_OBJECT
public:
    // The widgets of the shared form.
    struct Fields {
        QLabel* lbWidth;
        QLineEdit* leWidth;
        QLabel* lbHeight;
        QLineEdit* leHeight;
        QLabel* lbText;
        QLineEdit* leText;
        QLabel* lbFontSize;
        QLineEdit* leFontSize;
        QLabel* lbPicturePath;
        QLineEdit* lePicturePath;
        QPushButton* btnBrowse;
        QLabel* lbBarCode;
        QLineEdit* leBarCode;
        QLabel* lbPosX;
        QLineEdit* lePosX;
        QLabel* lbPosY;
        QLineEdit* lePosY;
        QPushButton* btnOk;
        QPushButton* btnCancle;
    };

    template <class Form>
    static Fields FieldsOf(Form* f)
    {
        return Fields{f->lb_LineWidth, f->le_LineWidth, f->lb_LineHeight, f->le_LineHeight, f->lb_Text,
                      f->le_Text, f->lb_FontSize, f->le_FontSize, f->lb_PicturePath, f->le_PicturePath,
                      f->btn_browse, f->lb_BarCodeText, f->le_BarCode, f->lb_posX, f->le_posX,
                      f->lb_posY, f->le_posY, f->btn_Ok, f->btn_Cancle};
    }

    // Size fields: 0.3 to 89.9 with one decimal, or 90.
    static const char* const SizePattern;
    static const char* const FontSizePattern;
    static const char* const BarcodePattern;
    static const char* const PositionPattern;

    int ItemType() const { return m_iType; }

protected:
    CustomContentDlg(int type, QWidget* parent);

    // Window flags, the fields of the type (and the position rows when asked),
    // validators, the cancel and browse buttons, focus on OK.
    void InitFields(const Fields& fields, bool withPosition);
    // The first required field that is empty, a size out of its range or a text
    // that cannot be stored shows its message; false then.
    bool CheckInput();
    // The shown fields' values; the others stay 0 or empty.
    LabelItemEditParam ReadValues() const;
    const Fields& fields() const { return m_fields; }

    int m_iType = 0;

private slots:
    void onCancleBtnClicked();
    void onBrowseBtnClicked();

private:
    void ShowTypeFields();
    // Lets each caption take its text's width, moving its field's left edge if need be.
    void FitCaptions();
    void InstallValidators();
    bool CheckRequired();
    bool CheckRanges();
    bool CheckStorable();
    bool CheckPosition();
    void ShowMessage(const QString& text);
    QString Tr(const char* text) const;

    Fields m_fields{};
    bool m_bWithPosition = false;
};
