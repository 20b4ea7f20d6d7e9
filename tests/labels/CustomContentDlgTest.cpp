#include "AddCustomContentDlg.h"
#include "EditCustomContentDlg.h"
#include "EditorHooks.h"
#include "LabelItemParam.h"
#include "ui_AddCustomContentDlg.h"
#include "ui_EditCustomContentDlg.h"

#include <QLineEdit>
#include <QRegExpValidator>

#include <gtest/gtest.h>

#include <memory>

namespace {

// The names of the shown field widgets, in form order.
template <class Form>
QStringList ShownFields(Form* f)
{
    const QList<QWidget*> fields = {f->lb_LineWidth, f->le_LineWidth, f->lb_LineHeight, f->le_LineHeight,
                                    f->lb_Text, f->le_Text, f->lb_FontSize, f->le_FontSize,
                                    f->lb_PicturePath, f->le_PicturePath, f->btn_browse, f->lb_BarCodeText,
                                    f->le_BarCode, f->lb_posX, f->le_posX, f->lb_posY, f->le_posY};
    QStringList shown;
    for (QWidget* w : fields) {
        if (!w->isHidden() && w->objectName().startsWith("le_"))
            shown << w->objectName().mid(3);
        else if (!w->isHidden() && w->objectName() == "btn_browse")
            shown << "browse";
    }
    return shown;
}

template <class Form>
QStringList DisabledFields(Form* f)
{
    QStringList disabled;
    for (QLineEdit* e : {f->le_LineWidth, f->le_LineHeight, f->le_Text, f->le_FontSize, f->le_PicturePath,
                         f->le_BarCode, f->le_posX, f->le_posY}) {
        if (!e->isEnabled())
            disabled << e->objectName().mid(3);
    }
    return disabled;
}

QValidator::State Typed(QLineEdit* edit, QString text)
{
    int pos = text.size();
    return edit->validator()->validate(text, pos);
}

class ItemDialogTest : public ::testing::Test {
protected:
    EditorHooks m_hooks;
    QWidget m_editor;
};

TEST_F(ItemDialogTest, AddDialogShowsTheFieldsOfItsType)
{
    struct Case {
        int type;
        QStringList shown;
    };
    const Case cases[] = {
        {0, {"Text", "FontSize"}},
        {1, {"LineWidth", "LineHeight"}},
        {2, {"LineWidth", "LineHeight"}},
        {3, {"LineWidth", "LineHeight", "PicturePath", "browse"}},
        {4, {"LineWidth", "LineHeight", "BarCode"}},
        {5, {}},
        {7, {}},
    };
    for (const Case& c : cases) {
        AddCustomContentDlg dialog(c.type, &m_editor);
        EXPECT_EQ(ShownFields(dialog.Form()), c.shown) << c.type;
        EXPECT_TRUE(DisabledFields(dialog.Form()).isEmpty()) << c.type;
        EXPECT_EQ(dialog.windowTitle(), "自定义添加");
        EXPECT_EQ(dialog.size(), QSize(450, 250));
        EXPECT_EQ(dialog.Form()->lb_BarCodeText->text(), "bracodeText:");
    }
}

TEST_F(ItemDialogTest, EditDialogShowsTypeFieldsAndPositionAndLocksStationContent)
{
    struct Case {
        int type;
        int index;
        QStringList shown;
        QStringList disabled;
    };
    const QStringList pos = {"posX", "posY"};
    const Case cases[] = {
        {0, 7, QStringList{"Text", "FontSize"} + pos, {}},
        {0, 1, QStringList{"Text", "FontSize"} + pos, {"Text", "FontSize"}},
        {0, 3, QStringList{"Text", "FontSize"} + pos, {"Text", "FontSize"}},
        {0, 4, QStringList{"Text", "FontSize"} + pos, {"Text", "FontSize"}},
        {0, 5, QStringList{"Text", "FontSize"} + pos, {"Text", "FontSize"}},
        {1, 8, QStringList{"LineWidth", "LineHeight"} + pos, {}},
        {2, 8, QStringList{"LineWidth", "LineHeight"} + pos, {}},
        {3, 9, QStringList{"LineWidth", "LineHeight", "PicturePath", "browse"} + pos, {}},
        {4, 2, QStringList{"LineWidth", "LineHeight", "BarCode"} + pos, {"BarCode"}},
        {4, 6, QStringList{"LineWidth", "LineHeight", "BarCode"} + pos, {"BarCode"}},
        {4, 10, QStringList{"LineWidth", "LineHeight", "BarCode"} + pos, {}},
    };
    const LabelItemEditParam param{12.34f, 4.0f, 2.0f, "SN:1", "/pics/a.png"};
    for (const Case& c : cases) {
        QWidget item;
        EditCustomContentDlg dialog(c.type, param, LabelItemCoordinate{1.26f, 30.0f}, c.index, &item);
        Ui::EditCustomContentDlg* f = dialog.Form();
        EXPECT_EQ(ShownFields(f), c.shown) << c.type << "/" << c.index;
        EXPECT_EQ(DisabledFields(f), c.disabled) << c.type << "/" << c.index;
        EXPECT_EQ(f->le_posX->text(), "1.3") << c.type;
        EXPECT_EQ(f->le_posY->text(), "30.0") << c.type;
        EXPECT_EQ(f->le_LineWidth->text(), c.type == 0 ? "" : "12.3") << c.type;
        EXPECT_EQ(dialog.windowTitle(), "Edit label item");
        EXPECT_EQ(f->lb_BarCodeText->text(), QString::fromUtf8("条形码内容："));
    }
}

TEST_F(ItemDialogTest, OkChecksTheShownFieldsInOrderAndEmitsNothingOnFailure)
{
    struct Case {
        const char* name;
        int type;
        bool edit;
        std::function<void(QLineEdit* width, QLineEdit* height, QLineEdit* text, QLineEdit* font,
                           QLineEdit* path, QLineEdit* barcode, QLineEdit* x, QLineEdit* y)>
            fill;
        const char* message;
    };
    using E = QLineEdit*;
    const Case cases[] = {
        {"line, both sizes empty", 1, false, [](E, E, E, E, E, E, E, E) {},
         "Height cannot be empty\nAllowed height: 0.3 to 90.0 mm"},
        {"line, width empty", 2, false, [](E, E h, E, E, E, E, E, E) { h->setText("1.0"); },
         "Width cannot be empty\nAllowed width: 0.3 to 90.0 mm"},
        {"line, width unfinished at 0", 2, false, [](E w, E h, E, E, E, E, E, E) { h->setText("1.0"); w->setText("0."); },
         "Allowed width: 0.3 to 90.0 mm"},
        {"picture path", 3, false, [](E w, E h, E, E, E, E, E, E) { w->setText("1.0"); h->setText("1.0"); },
         "Image path cannot be empty"},
        {"picture path with a comma", 3, false,
         [](E w, E h, E, E, E p, E, E, E) { w->setText("1.0"); h->setText("1.0"); p->setText("/a,b.png"); },
         "Image path cannot contain a comma"},
        {"barcode content", 4, false, [](E w, E h, E, E, E, E, E, E) { w->setText("1.0"); h->setText("1.0"); },
         "Text cannot be empty"},
        {"barcode content with a comma", 4, false,
         [](E w, E h, E, E, E, E b, E, E) { w->setText("1.0"); h->setText("1.0"); b->setText("A,B"); },
         "Barcode content cannot contain a comma"},
        {"text", 0, false, [](E, E, E, E f, E, E, E, E) { f->setText("2.0"); }, "Text cannot be empty"},
        {"font size", 0, false, [](E, E, E t, E, E, E, E, E) { t->setText("x"); },
         "Font size cannot be empty\nAllowed font size: 1.0 to 5.0 mm"},
        {"font size 0", 0, false, [](E, E, E t, E f, E, E, E, E) { t->setText("x"); f->setText("0"); },
         "Allowed font size: 1.0 to 5.0 mm"},
        {"text with a comma", 0, false, [](E, E, E t, E f, E, E, E, E) { t->setText("a,b"); f->setText("2"); },
         "Text cannot contain a comma"},
        {"text GB2312 cannot hold", 0, false,
         [](E, E, E t, E f, E, E, E, E) { t->setText(QString::fromUtf8("p\xC3\xA4ss")); f->setText("2"); },
         "Text holds characters a template file (GB2312) cannot store"},
        {"edit, picture path GB2312 cannot hold", 3, true,
         [](E, E, E, E, E p, E, E, E) { p->setText(QString::fromUtf8("/pics/\xF0\x9F\x98\x80.png")); },
         "Image path holds characters a template file (GB2312) cannot store"},
        {"edit, text with a comma", 0, true,
         [](E, E, E t, E f, E, E, E, E) { t->setText("a,b"); f->setText("2"); }, "Text cannot contain a comma"},
        {"edit, x", 1, true, [](E, E, E, E, E, E, E x, E) { x->clear(); }, "coordinate X cannot be empty"},
        {"edit, y", 1, true, [](E, E, E, E, E, E, E, E y) { y->clear(); }, "coordinate Y cannot be empty"},
        {"edit, size before position", 1, true, [](E w, E, E, E, E, E, E x, E) { w->clear(); x->clear(); },
         "Width cannot be empty\nAllowed width: 0.3 to 90.0 mm"},
    };
    for (const Case& c : cases) {
        m_hooks.boxes.clear();
        int emitted = 0;
        std::unique_ptr<CustomContentDlg> dialog;
        if (c.edit) {
            auto* edit = new EditCustomContentDlg(c.type, LabelItemEditParam{1, 1, 2, "t", "p"}, {}, 7, &m_editor);
            QObject::connect(edit, &EditCustomContentDlg::changed, [&](void*, void*) { ++emitted; });
            Ui::EditCustomContentDlg* f = edit->Form();
            c.fill(f->le_LineWidth, f->le_LineHeight, f->le_Text, f->le_FontSize, f->le_PicturePath, f->le_BarCode,
                   f->le_posX, f->le_posY);
            dialog.reset(edit);
            dialog->show();
            f->btn_Ok->click();
        } else {
            auto* add = new AddCustomContentDlg(c.type, &m_editor);
            QObject::connect(add, &AddCustomContentDlg::CreatLable, [&](void*) { ++emitted; });
            Ui::AddCustomContentDlg* f = add->Form();
            c.fill(f->le_LineWidth, f->le_LineHeight, f->le_Text, f->le_FontSize, f->le_PicturePath, f->le_BarCode,
                   f->le_posX, f->le_posY);
            dialog.reset(add);
            dialog->show();
            f->btn_Ok->click();
        }
        EXPECT_EQ(m_hooks.boxes, QStringList({QString("error|") + c.message})) << c.name;
        EXPECT_EQ(emitted, 0) << c.name;
        EXPECT_TRUE(dialog->isVisible()) << c.name;
    }
}

TEST_F(ItemDialogTest, AddDialogHandsOverTheRecordOfItsType)
{
    LabelItemParam got;
    int emitted = 0;
    const auto run = [&](int type, const std::function<void(Ui::AddCustomContentDlg*)>& fill) {
        AddCustomContentDlg dialog(type, &m_editor);
        QObject::connect(&dialog, &AddCustomContentDlg::CreatLable, [&](void* p) {
            ++emitted;
            got = *static_cast<LabelItemParam*>(p);
        });
        fill(dialog.Form());
        dialog.show();
        dialog.Form()->btn_Ok->click();
        EXPECT_FALSE(dialog.isVisible());
    };
    run(4, [](Ui::AddCustomContentDlg* f) { f->le_LineWidth->setText("20.5"); f->le_LineHeight->setText("5"); f->le_BarCode->setText("AB12"); });
    EXPECT_EQ(got.type, 4);
    EXPECT_EQ(got.text, "AB12");
    EXPECT_FLOAT_EQ(got.width, 20.5f);
    EXPECT_FLOAT_EQ(got.height, 5.0f);
    EXPECT_EQ(got.fontSize, 0.0f);
    // A lone 1 is unfinished but not empty: OK takes what it reads as.
    run(0, [](Ui::AddCustomContentDlg* f) { f->le_Text->setText("note"); f->le_FontSize->setText("1"); });
    EXPECT_EQ(got.text, "note");
    EXPECT_FLOAT_EQ(got.fontSize, 1.0f);
    run(7, [](Ui::AddCustomContentDlg*) {});
    EXPECT_EQ(got.type, 7);
    EXPECT_TRUE(got.text.isEmpty() && got.picturePath.isEmpty());
    EXPECT_EQ(got.width, 0.0f);
    EXPECT_EQ(emitted, 3);
    EXPECT_TRUE(m_hooks.boxes.isEmpty());

    // Cancel emits nothing.
    AddCustomContentDlg dialog(1, &m_editor);
    QObject::connect(&dialog, &AddCustomContentDlg::CreatLable, [&](void*) { ++emitted; });
    dialog.Form()->le_LineWidth->setText("1.0");
    dialog.Form()->le_LineHeight->setText("1.0");
    dialog.Form()->btn_Cancle->click();
    EXPECT_EQ(emitted, 3);
}

TEST_F(ItemDialogTest, EditDialogReturnsWhatItShows)
{
    QWidget item;
    EditCustomContentDlg dialog(1, LabelItemEditParam{12.34f, 0.5f, 0, QString(), QString()}, {2.0f, 3.0f}, 8, &item);
    LabelItemEditParam param;
    LabelItemCoordinate at;
    QObject::connect(&dialog, &EditCustomContentDlg::changed, [&](void* p, void* c) {
        param = *static_cast<LabelItemEditParam*>(p);
        at = *static_cast<LabelItemCoordinate*>(c);
    });
    dialog.Form()->le_posX->setText("5");
    dialog.Form()->btn_Ok->click();
    EXPECT_FLOAT_EQ(param.width, 12.3f);
    EXPECT_FLOAT_EQ(param.height, 0.5f);
    EXPECT_EQ(param.fontSize, 0.0f);
    EXPECT_TRUE(param.text.isEmpty());
    EXPECT_FLOAT_EQ(at.x, 5.0f);
    EXPECT_FLOAT_EQ(at.y, 3.0f);
}

TEST_F(ItemDialogTest, ValidatorsLetTheOperatorTypeOnlyWhatCanBecomeAValue)
{
    EditCustomContentDlg dialog(4, LabelItemEditParam{}, {}, 10, &m_editor);
    Ui::EditCustomContentDlg* f = dialog.Form();
    struct Case {
        QLineEdit* edit;
        const char* text;
        QValidator::State state;
    };
    const Case cases[] = {
        {f->le_LineWidth, "0.3", QValidator::Acceptable},
        {f->le_LineWidth, "89.9", QValidator::Acceptable},
        {f->le_LineWidth, "90", QValidator::Acceptable},
        {f->le_LineWidth, "9", QValidator::Intermediate},
        {f->le_LineWidth, "0", QValidator::Intermediate},
        {f->le_LineWidth, "0.", QValidator::Intermediate},
        {f->le_LineWidth, "0.2", QValidator::Invalid},
        {f->le_LineWidth, "0.0", QValidator::Invalid},
        {f->le_LineWidth, "90.0", QValidator::Invalid},
        {f->le_LineWidth, "91", QValidator::Invalid},
        {f->le_LineHeight, "12.5", QValidator::Acceptable},
        {f->le_FontSize, "5", QValidator::Acceptable},
        {f->le_FontSize, "4.9", QValidator::Acceptable},
        {f->le_FontSize, "5.5", QValidator::Invalid},
        {f->le_FontSize, "0.5", QValidator::Invalid},
        {f->le_BarCode, "AB12cd", QValidator::Acceptable},
        {f->le_BarCode, "12345678901234567890", QValidator::Acceptable},
        {f->le_BarCode, "123456789012345678901", QValidator::Invalid},
        {f->le_BarCode, "A,B", QValidator::Invalid},
        {f->le_BarCode, "A B", QValidator::Invalid},
        {f->le_posX, "0.0", QValidator::Acceptable},
        {f->le_posX, "99.9", QValidator::Acceptable},
        {f->le_posX, "5", QValidator::Intermediate},
        {f->le_posX, "100.0", QValidator::Invalid},
        {f->le_posY, "5.25", QValidator::Invalid},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Typed(c.edit, c.text), c.state) << qPrintable(c.edit->objectName()) << " " << c.text;
    EXPECT_EQ(f->le_LineWidth->placeholderText(), ">0.3");
    EXPECT_EQ(f->le_posX->placeholderText(), "<base width");
    EXPECT_EQ(f->le_posY->placeholderText(), "<base height");
    EXPECT_EQ(f->le_Text->validator(), nullptr);
    EXPECT_EQ(f->le_PicturePath->validator(), nullptr);
    AddCustomContentDlg add(0, &m_editor);
    EXPECT_EQ(add.Form()->le_posX->validator(), nullptr);
}

TEST_F(ItemDialogTest, BrowseFillsThePicturePathUnlessCancelled)
{
    AddCustomContentDlg dialog(3, &m_editor);
    dialog.Form()->le_PicturePath->setText("/kept.png");
    dialog.Form()->btn_browse->click();
    ASSERT_EQ(m_hooks.fileRequests.size(), 1);
    const FileDialogHook::Request& r = m_hooks.fileRequests[0];
    EXPECT_EQ(r.mode, FileDialogHook::Mode::Open);
    EXPECT_EQ(r.parent, &dialog);
    EXPECT_EQ(r.caption, "picture");
    EXPECT_TRUE(r.dir.isEmpty());
    EXPECT_EQ(r.filter, "Images (*.png  *.jpg)");
    EXPECT_EQ(dialog.Form()->le_PicturePath->text(), "/kept.png");
    m_hooks.fileAnswers << "/pics/logo.png";
    dialog.Form()->btn_browse->click();
    EXPECT_EQ(dialog.Form()->le_PicturePath->text(), "/pics/logo.png");
}

}  // namespace
