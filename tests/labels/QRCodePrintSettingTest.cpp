#include "AddCustomContentDlg.h"
#include "AppGlobals.h"
#include "Clock.h"
#include "CustomLabel.h"
#include "EditorHooks.h"
#include "LabelItemCoordinate.h"
#include "LabelItemEditParam.h"
#include "LabelPrintConfig.h"
#include "PrinterHook.h"
#include "QRCodePrintSetting.h"
#include "TempAppDir.h"
#include "ZbarReader.h"
#include "ui_AddCustomContentDlg.h"
#include "ui_QRCodePrintSetting.h"

#include <QCoreApplication>
#include <QFile>
#include <QImage>
#include <QMenu>
#include <QMouseEvent>
#include <QPointer>
#include <QPrinter>
#include <QRegExpValidator>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <memory>

namespace {

WallTime FixedDay()
{
    WallTime t;
    t.year = 2024;
    t.month = 3;
    t.day = 15;
    t.hour = 9;
    return t;
}

// An owner like the settings form: it wants to hear when the editor closes.
class NotifiedOwner : public QWidget {
    Q_OBJECT
public:
    int closes = 0;
public slots:
    void onPrintConfigClose() { ++closes; }
};

QStringList Types(const QList<CustomLabel*>& items)
{
    QStringList out;
    for (const CustomLabel* item : items)
        out << QString("%1/%2").arg(item->type).arg(item->index);
    return out;
}

QByteArray TemplateBytes(const QStringList& lines, const QByteArray& extra = QByteArray())
{
    QByteArray bytes = "[BASE_SIZE]\nwidth=40\nheight=40\n[SN_INDENTIFY]\nbShowSn=true\nbShowIndentify=true\n"
                       "bShowTimeDate=true\nbShowMac=true\nbShowEnglish=false\nfontSize=2\n"
                       "[OTHER]\nfPrintPaperSpace=2\niPrintMode=1\niPrintTimes=0\n" + extra + "[LABELS]\n";
    bytes += "iSize=" + QByteArray::number(lines.size()) + "\n";
    for (int i = 0; i < lines.size(); ++i)
        bytes += QByteArray::number(i) + "=\"" + lines.at(i).toUtf8() + "\"\n";
    return bytes;
}

class EditorTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_previousPath = CurrentPrintConfigPath;
        CurrentPrintConfigPath.clear();
        Clock::SetWallSource(&FixedDay);
        m_dir.writeFile("PrintConfig/.keep", QByteArray());
    }
    void TearDown() override
    {
        PrinterHook::Clear();
        Clock::SetWallSource(nullptr);
        CurrentPrintConfigPath = m_previousPath;
    }

    QString TemplatePath(const QString& name) const { return m_dir.file("PrintConfig/" + name); }

    // A template file made current, as the settings form leaves it before the editor is built.
    void UseTemplate(const QStringList& lines, const QByteArray& extra = QByteArray())
    {
        ASSERT_TRUE(m_dir.writeFile("PrintConfig/given.ini", TemplateBytes(lines, extra)));
        CurrentPrintConfigPath = TemplatePath("given.ini");
    }

    QRCodePrintSetting* NewEditor() { return new QRCodePrintSetting(&m_owner); }

    // Adds an item through the add dialog, filled by fill, as the operator would.
    void AddItem(QRCodePrintSetting* editor, int type, const std::function<void(Ui::AddCustomContentDlg*)>& fill)
    {
        editor->Form()->cmb_ContentType->setCurrentIndex(type);
        m_hooks.onDialog = [&](QDialog* dialog) {
            auto* add = qobject_cast<AddCustomContentDlg*>(dialog);
            EXPECT_NE(add, nullptr);
            if (!add)
                return int(QDialog::Rejected);
            fill(add->Form());
            add->Form()->btn_Ok->click();
            return int(QDialog::Accepted);
        };
        editor->Form()->btn_AddContent->click();
        m_hooks.onDialog = nullptr;
    }

    bool Save(QRCodePrintSetting* editor, const QString& name)
    {
        m_hooks.fileAnswers << TemplatePath(name);
        editor->Form()->btn_QRCodeSettingSave->click();
        return editor->findChild<QTimer*>("closeTimer")->isActive();
    }

    void RightClick(CustomLabel* item)
    {
        QMouseEvent release(QEvent::MouseButtonRelease, QPointF(1, 1), item->mapToGlobal(QPoint(1, 1)),
                            Qt::RightButton, Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(item, &release);
    }

    TempAppDir m_dir;
    EditorHooks m_hooks;
    QString m_previousPath;
    NotifiedOwner m_owner;   // last: it takes every editor with it first
};

TEST_F(EditorTest, WithoutTemplateShowsTheSevenDefaultItemsAndFormDefaults)
{
    QRCodePrintSetting* editor = NewEditor();
    const Ui::QRCodePrintSetting* f = editor->Form();
    EXPECT_EQ(f->le_BasePictureWidth->text(), "40");
    EXPECT_EQ(f->le_BasePictureHeight->text(), "40");
    EXPECT_EQ(f->le_QRCodeWidth->text(), "20");
    EXPECT_EQ(f->le_SNFontSize->text(), "2");
    EXPECT_EQ(f->le_PrintPaperSpacing->text(), "2");
    EXPECT_TRUE(f->ckb_showSN->isChecked() && f->ckb_showIndentifyCode->isChecked()
                && f->ckb_showTimeDate->isChecked() && f->ckb_showMac->isChecked());
    EXPECT_FALSE(f->ckb_supportJumoAPP->isChecked() || f->ckb_showEnglish->isChecked());
    EXPECT_EQ(f->cmb_PrintMode->currentIndex(), 1);
    EXPECT_EQ(f->cmb_PrintTimes->currentIndex(), 0);
    EXPECT_FALSE(f->le_PrintPaperSpacing->isHidden());
    EXPECT_EQ(f->cmb_ContentType->count(), 5);
    EXPECT_EQ(f->lb_Base->size(), QSize(400, 400));
    EXPECT_EQ(editor->NextLabelIndex(), 7);
    EXPECT_TRUE(m_hooks.boxes.isEmpty());

    const QList<CustomLabel*> items = editor->Labels();
    ASSERT_EQ(Types(items), QStringList({"5/0", "0/1", "4/2", "0/3", "0/4", "0/5", "4/6"}));
    EXPECT_EQ(items[0]->geometry(), QRect(3, 0, 200, 200));
    // Each item stands 3 pixels below the one before; texts are fitted to their font.
    const int x[] = {3, 3, 0, 3, 3, 3, 0};
    for (int i = 1; i < items.size(); ++i) {
        EXPECT_EQ(items[i]->pos(), QPoint(x[i], items[i - 1]->geometry().bottom() + 1 + 3)) << i;
        EXPECT_TRUE(items[i]->isVisibleTo(editor)) << i;
    }
    EXPECT_EQ(items[2]->size(), QSize(240, 40));
    EXPECT_EQ(items[1]->text(), "SN:" + QString(QRCodePrintSetting::SampleSerialNumber));
    EXPECT_EQ(items[3]->text(), "indentifyCode:508316");
    EXPECT_EQ(items[4]->text(), "2024-03-15");
    EXPECT_EQ(items[5]->text(), "MAC:02:7c:41:af:0a:3f");
    EXPECT_EQ(items[1]->font().pixelSize(), 20);
    EXPECT_EQ(items[1]->font().family(), "Microsoft YaHei");

    const QStringList lines = editor->TemplateFromForm().labels;
    ASSERT_EQ(lines.size(), 7);
    EXPECT_EQ(lines[0], "5,0.30000001,0.00000000,20.00000000,20.00000000,0.00000000,,,0");
    EXPECT_EQ(lines[2], QString("4,0.00000000,%1,24.00000000,4.00000000,0.00000000,2023080112345678,,2")
                            .arg(double(float(items[2]->y() * 0.1)), 0, 'f', 8));
    EXPECT_TRUE(lines[1].startsWith("0,0.30000001,")) << qPrintable(lines[1]);
    EXPECT_TRUE(lines[1].endsWith(",2.00000000,SN:2023080112345678,,1")) << qPrintable(lines[1]);
    EXPECT_TRUE(lines[6].endsWith(",24.00000000,4.00000000,0.00000000,027c41af0a3f,,6")) << qPrintable(lines[6]);
}

TEST_F(EditorTest, FormValidatorsTakeTheRangesOfTheirPlaceholders)
{
    QRCodePrintSetting* editor = NewEditor();
    const Ui::QRCodePrintSetting* f = editor->Form();
    struct Case {
        QLineEdit* edit;
        const char* text;
        QValidator::State state;
    };
    const Case cases[] = {
        {f->le_BasePictureWidth, "90", QValidator::Acceptable},
        {f->le_BasePictureWidth, "89.9", QValidator::Acceptable},
        {f->le_BasePictureWidth, "0.0", QValidator::Acceptable},
        {f->le_BasePictureWidth, "9", QValidator::Intermediate},
        {f->le_BasePictureWidth, "90.5", QValidator::Invalid},
        {f->le_BasePictureWidth, "91", QValidator::Invalid},
        {f->le_BasePictureHeight, "40", QValidator::Acceptable},
        {f->le_BasePictureHeight, "39.9", QValidator::Acceptable},
        {f->le_BasePictureHeight, "41", QValidator::Invalid},
        {f->le_QRCodeWidth, "20", QValidator::Intermediate},
        {f->le_QRCodeWidth, "20.0", QValidator::Acceptable},
        {f->le_QRCodeWidth, "30", QValidator::Acceptable},
        {f->le_QRCodeWidth, "31", QValidator::Invalid},
        {f->le_SNFontSize, "", QValidator::Acceptable},
        {f->le_SNFontSize, "5", QValidator::Acceptable},
        {f->le_SNFontSize, "4.9", QValidator::Acceptable},
        {f->le_SNFontSize, "5.0", QValidator::Invalid},
        {f->le_PrintPaperSpacing, "2", QValidator::Acceptable},
        {f->le_PrintPaperSpacing, "12.5", QValidator::Acceptable},
        {f->le_PrintPaperSpacing, "2.55", QValidator::Invalid},
    };
    for (const Case& c : cases) {
        QString text = c.text;
        int pos = text.size();
        EXPECT_EQ(c.edit->validator()->validate(text, pos), c.state)
            << qPrintable(c.edit->objectName()) << " " << c.text;
    }
    EXPECT_EQ(f->le_BasePictureWidth->placeholderText(), "1.0-90.0");
    EXPECT_EQ(f->le_BasePictureHeight->placeholderText(), "1.0-40.0");
    EXPECT_EQ(f->le_QRCodeWidth->placeholderText(), "1.0-30.0");
    EXPECT_EQ(f->le_SNFontSize->placeholderText(), "1.0-5.0");
    EXPECT_EQ(f->le_PrintPaperSpacing->placeholderText(), "eg:2.0");
}

TEST_F(EditorTest, InputChecksStopAtTheFirstEmptyFieldInOrder)
{
    struct Case {
        const char* name;
        std::function<void(Ui::QRCodePrintSetting*)> change;
        const char* message;   // nullptr: the refresh goes through
    };
    const Case cases[] = {
        {"width and QR size empty",
         [](Ui::QRCodePrintSetting* f) { f->le_BasePictureWidth->clear(); f->le_QRCodeWidth->clear(); },
         "base picture width can't is empty\nAllowed base width: 1.0 to 90.0 mm"},
        {"height", [](Ui::QRCodePrintSetting* f) { f->le_BasePictureHeight->clear(); },
         "base picture height can't is empty\nAllowed base height: 1.0 to 40.0 mm"},
        {"QR size", [](Ui::QRCodePrintSetting* f) { f->le_QRCodeWidth->clear(); },
         "QRCode width height can't is empty\nAllowed QR code size: 1.0 to 30.0 mm"},
        {"font size with MAC shown",
         [](Ui::QRCodePrintSetting* f) {
             f->le_SNFontSize->clear();
             f->ckb_showSN->setChecked(false);
             f->ckb_showIndentifyCode->setChecked(false);
             f->ckb_showTimeDate->setChecked(false);
         },
         "SN font size can't is empty\nAllowed font size: 1.0 to 5.0 mm"},
        {"font size with no station text",
         [](Ui::QRCodePrintSetting* f) {
             f->le_SNFontSize->clear();
             for (QCheckBox* b : {f->ckb_showSN, f->ckb_showIndentifyCode, f->ckb_showTimeDate, f->ckb_showMac})
                 b->setChecked(false);
         },
         nullptr},
        {"gap in double column", [](Ui::QRCodePrintSetting* f) { f->le_PrintPaperSpacing->clear(); },
         "The print mode is double-column printing, and the paper interval cannot be empty"},
        {"gap in single column",
         [](Ui::QRCodePrintSetting* f) {
             f->le_PrintPaperSpacing->clear();
             f->cmb_PrintMode->setCurrentIndex(0);
         },
         nullptr},
    };
    for (const Case& c : cases) {
        QRCodePrintSetting* editor = NewEditor();
        c.change(editor->Form());
        editor->Form()->le_BasePictureWidth->setText(editor->Form()->le_BasePictureWidth->text().isEmpty()
                                                         ? QString()
                                                         : QString("35"));
        m_hooks.boxes.clear();
        editor->Form()->btn_RefreshPreview->click();
        const QStringList expected = c.message ? QStringList{QString("error|") + c.message} : QStringList();
        EXPECT_EQ(m_hooks.boxes, expected) << c.name;
        // A refresh that went through took the new width.
        EXPECT_EQ(editor->Form()->lb_Base->width(), c.message ? 400 : 350) << c.name;
        // Saving checks first: no file dialog after a failed check.
        m_hooks.fileRequests.clear();
        editor->Form()->btn_QRCodeSettingSave->click();
        EXPECT_EQ(m_hooks.fileRequests.size(), c.message ? 0 : 1) << c.name;
        delete editor;
    }
}

// The operator's refresh, save and test print warn of items that reach beyond the
// label and name the range of a size they refuse; the box does not stop them.
TEST_F(EditorTest, ItemsBeyondTheLabelAreWarnedOfAndRefusedSizesNameTheirRange)
{
    struct Case {
        const char* name;
        std::function<void(Ui::QRCodePrintSetting*)> change;
        QString box;            // "" none; a warning is matched by its beginning
        bool refused;
    };
    const QString beyond = "error|These items reach beyond the label (9 x 40 mm) and would be cut off:\nQR code\n";
    const Case cases[] = {
        {"the default label", [](Ui::QRCodePrintSetting*) {}, "", false},
        {"a 9 mm label under a 20 mm QR code", [](Ui::QRCodePrintSetting* f) { f->le_BasePictureWidth->setText("9"); },
         beyond, false},
        {"its items hidden but the QR code",
         [](Ui::QRCodePrintSetting* f) {
             f->le_BasePictureWidth->setText("21");
             for (QCheckBox* b : {f->ckb_showSN, f->ckb_showIndentifyCode, f->ckb_showTimeDate, f->ckb_showMac})
                 b->setChecked(false);
         },
         "", false},
        {"font size 0", [](Ui::QRCodePrintSetting* f) { f->le_SNFontSize->setText("0"); },
         "error|Allowed font size: 1.0 to 5.0 mm", true},
        {"base width 0.5", [](Ui::QRCodePrintSetting* f) { f->le_BasePictureWidth->setText("0.5"); },
         "error|Allowed base width: 1.0 to 90.0 mm", true},
        {"QR size 30.5", [](Ui::QRCodePrintSetting* f) { f->le_QRCodeWidth->setText("30.5"); },
         "error|Allowed QR code size: 1.0 to 30.0 mm", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QRCodePrintSetting* editor = NewEditor();
        c.change(editor->Form());
        int pages = 0;
        QImage page(400, 400, QImage::Format_RGB32);
        PrinterHook::Set([&](QPrinter&) -> QPaintDevice* {
            ++pages;
            return &page;
        });
        m_hooks.boxes.clear();
        m_hooks.fileRequests.clear();
        const std::function<void()> actions[] = {
            [&] { editor->Form()->btn_RefreshPreview->click(); },
            [&] { editor->Form()->btn_QRCodeSettingSave->click(); },
            [&] { editor->Form()->btn->click(); },
        };
        for (const auto& act : actions) {
            m_hooks.boxes.clear();
            act();
            if (c.box.isEmpty()) {
                EXPECT_TRUE(m_hooks.boxes.isEmpty()) << qPrintable(m_hooks.boxes.join("; "));
            } else {
                ASSERT_EQ(m_hooks.boxes.size(), 1);
                EXPECT_TRUE(m_hooks.boxes[0].startsWith(c.box)) << qPrintable(m_hooks.boxes[0]);
            }
        }
        EXPECT_EQ(m_hooks.fileRequests.size(), c.refused ? 0 : 1) << "the save goes on after a warning";
        EXPECT_EQ(pages, c.refused ? 0 : 1) << "so does the test print";
        delete editor;
    }
}

// At the main window's factors for 96 dpi a millimetre is not a whole number of
// pixels: positions taken from the preview must survive every save and load.
TEST_F(EditorTest, SavedTemplateLoadsBackUnchangedAndSavesToTheSameBytes)
{
    QImage picture(40, 20, QImage::Format_RGB32);
    picture.fill(Qt::darkBlue);
    ASSERT_TRUE(picture.save(m_dir.file("logo.png")));
    for (const double dpi : {101.6, 96.0}) {
        SCOPED_TRACE(dpi);
        EditorHooks::SetDpi(dpi);
        CurrentPrintConfigPath.clear();
        QRCodePrintSetting* first = NewEditor();
        first->Form()->ckb_showEnglish->setChecked(true);
        first->Form()->cmb_PrintTimes->setCurrentIndex(1);
        first->Form()->btn_RefreshPreview->click();   // a save takes the texts of the last refresh
        AddItem(first, 0, [](Ui::AddCustomContentDlg* f) { f->le_Text->setText("Made in test"); f->le_FontSize->setText("2.5"); });
        AddItem(first, 1, [](Ui::AddCustomContentDlg* f) { f->le_LineWidth->setText("30.0"); f->le_LineHeight->setText("0.5"); });
        AddItem(first, 3, [&](Ui::AddCustomContentDlg* f) {
            f->le_LineWidth->setText("8.0");
            f->le_LineHeight->setText("4.0");
            f->le_PicturePath->setText(m_dir.file("logo.png"));
        });
        AddItem(first, 4, [](Ui::AddCustomContentDlg* f) { f->le_LineWidth->setText("20.0"); f->le_LineHeight->setText("5.0"); f->le_BarCode->setText("AB12"); });
        ASSERT_EQ(Types(first->Labels()).mid(7), QStringList({"0/7", "1/8", "3/9", "4/10"}));
        EXPECT_TRUE(m_hooks.boxes.isEmpty()) << qPrintable(m_hooks.boxes.join("; "));
        // The line moved to 1.1 mm by its edit dialog.
        LabelItemEditParam edit{30.0f, 0.5f, 0.0f, QString(), QString()};
        LabelItemCoordinate at{1.1f, 33.0f};
        first->Labels()[8]->onChangedSignalEmit(&edit, &at);

        ASSERT_TRUE(Save(first, "first"));
        EXPECT_EQ(CurrentPrintConfigPath, TemplatePath("first.ini"));
        EXPECT_EQ(first->Form()->le_PrintFilePath->text(), TemplatePath("first.ini"));
        const QByteArray firstBytes = m_dir.readFile("PrintConfig/first.ini");
        EXPECT_TRUE(firstBytes.contains("\n8=\"1,1.10000002,33.00000000,30.00000000,0.50000000,0.00000000,,,8\"\n"))
            << firstBytes.constData();
        PrintTemplate stored;
        LabelPrintConfig::Instance()->Load(stored);
        EXPECT_EQ(stored, first->TemplateFromForm());
        EXPECT_EQ(LabelPrintConfig::Instance()->Template(), stored);

        QRCodePrintSetting* second = NewEditor();
        EXPECT_EQ(second->TemplateFromForm(), stored);
        EXPECT_EQ(second->NextLabelIndex(), 11);
        ASSERT_TRUE(Save(second, "second.ini"));
        EXPECT_EQ(m_dir.readFile("PrintConfig/second.ini"), firstBytes);
        delete first;
        delete second;
    }
}

TEST_F(EditorTest, AnItemTextTheTemplateFileCannotHoldIsRefusedAtSave)
{
    QRCodePrintSetting* editor = NewEditor();
    AddItem(editor, 0, [](Ui::AddCustomContentDlg* f) { f->le_Text->setText("note"); f->le_FontSize->setText("2"); });
    CustomLabel* note = editor->Labels().last();
    LabelItemEditParam edit{0, 0, 2.0f, QString::fromUtf8("n\xC3\xB6te"), QString()};
    LabelItemCoordinate at{1.0f, 1.0f};
    note->onChangedSignalEmit(&edit, &at);
    m_hooks.boxes.clear();
    EXPECT_FALSE(Save(editor, "refused.ini"));
    ASSERT_EQ(m_hooks.boxes.size(), 1);
    EXPECT_TRUE(m_hooks.boxes[0].startsWith("error|A label item holds characters the template file (GB2312) cannot "
                                            "store:"))
        << qPrintable(m_hooks.boxes[0]);
    EXPECT_TRUE(m_hooks.fileRequests.isEmpty()) << "no file is asked for";
    EXPECT_FALSE(QFile::exists(TemplatePath("refused.ini")));
    delete editor;
}

TEST_F(EditorTest, NewItemsGetAnIndexAboveEveryLoadedOneAndNeverBelowSeven)
{
    const QString text = "0,1.00000000,2.00000000,10.00000000,3.00000000,2.00000000,t,,%1";
    struct Case {
        const char* name;
        QStringList lines;
        int next;
    };
    const Case cases[] = {
        {"no lines", {}, 7},
        {"custom items with a gap", {text.arg(0), text.arg(7), text.arg(9)}, 10},
        {"no fixed items", {text.arg(8)}, 9},
        {"only low indexes", {text.arg(1), text.arg(2)}, 7},
        {"largest on a line that gives no item", {text.arg(7), "3,1,1,5,5,0,,/no/such/picture.png,15"}, 16},
        {"top of the range taken", {text.arg(INT_MAX), text.arg(7), text.arg(8)}, 9},
    };
    for (const Case& c : cases) {
        UseTemplate(c.lines);
        QRCodePrintSetting* editor = NewEditor();
        EXPECT_EQ(editor->NextLabelIndex(), c.next) << c.name;
        AddItem(editor, 1, [](Ui::AddCustomContentDlg* f) { f->le_LineWidth->setText("5.0"); f->le_LineHeight->setText("1.0"); });
        AddItem(editor, 1, [](Ui::AddCustomContentDlg* f) { f->le_LineWidth->setText("5.0"); f->le_LineHeight->setText("1.0"); });
        const QStringList lines = editor->TemplateFromForm().labels;
        ASSERT_GE(lines.size(), 2) << c.name;
        EXPECT_TRUE(lines[lines.size() - 2].endsWith("," + QString::number(c.next))) << c.name;
        EXPECT_TRUE(lines.last().endsWith("," + QString::number(c.next + 1))) << c.name;
        delete editor;
    }
}

TEST_F(EditorTest, LinesThatGiveNoItemAreWrittenBackUnchangedInTheirPlace)
{
    const QStringList given = {
        "0,1.00000000,2.00000000,10.00000000,3.00000000,2.00000000,hello,,7",
        "3,1,1,5,5,0,,/no/such/picture.png,8",
        "9,1,1,5,5,0,,,9",
        "1,99999,1,5,5,0,,,10",
        "1,5.00000000,6.00000000,20.00000000,0.50000000,0.00000000,,,11",
    };
    UseTemplate(given);
    QRCodePrintSetting* editor = NewEditor();
    EXPECT_EQ(Types(editor->Labels()), QStringList({"0/7", "1/11"}));
    EXPECT_EQ(editor->NextLabelIndex(), 12);
    ASSERT_TRUE(Save(editor, "again.ini"));
    PrintTemplate saved;
    LabelPrintConfig::Instance()->Load(saved);
    ASSERT_EQ(saved.labels.size(), 5);
    EXPECT_TRUE(saved.labels[0].startsWith("0,1.00000000,2.00000000,")) << qPrintable(saved.labels[0]);
    EXPECT_TRUE(saved.labels[0].endsWith(",2.00000000,hello,,7")) << qPrintable(saved.labels[0]);
    EXPECT_EQ(saved.labels.mid(1), given.mid(1));
}

TEST_F(EditorTest, DeleteRemovesOnlyTheItemThatAskedAndFreesItAfterItsMenu)
{
    const QString line = "1,%1.00000000,2.00000000,5.00000000,1.00000000,0.00000000,,,%2";
    UseTemplate({"5,3,0,20,20,0,,,0", "0,3,21,20,3,2,SN:1,,1", line.arg(1).arg(9), line.arg(2).arg(9),
                 line.arg(3).arg(10)});
    QRCodePrintSetting* editor = NewEditor();
    editor->show();
    QList<CustomLabel*> items = editor->Labels();
    ASSERT_EQ(Types(items), QStringList({"5/0", "0/1", "1/9", "1/9", "1/10"}));

    // The SN text offers no menu; the others do.
    for (CustomLabel* item : items)
        RightClick(item);
    EXPECT_EQ(m_hooks.menus, 4);

    // Chosen inside the menu's own loop, as a click there would.
    QPointer<CustomLabel> first = items[2];
    m_hooks.onMenu = [](QMenu* menu) {
        EXPECT_EQ(menu->actions().size(), 1);
        EXPECT_EQ(menu->actions().first()->text(), "Delete Record");
        menu->actions().first()->trigger();
        return menu->actions().first();
    };
    RightClick(first);
    ASSERT_FALSE(first.isNull());
    EXPECT_TRUE(first->isHidden());
    EXPECT_EQ(Types(editor->Labels()), QStringList({"5/0", "0/1", "1/9", "1/10"}));
    EXPECT_EQ(editor->Labels()[2], items[3]);
    // A fixed item can go too: the QR code.
    RightClick(items[0]);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(first.isNull());

    const QStringList lines = editor->TemplateFromForm().labels;
    ASSERT_EQ(lines.size(), 3);
    EXPECT_TRUE(lines[1].startsWith("1,2.00000000,2.00000000,")) << qPrintable(lines[1]);
    EXPECT_TRUE(lines[2].endsWith(",10"));
}

TEST_F(EditorTest, HiddenStationItemsStayInTheSavedTemplate)
{
    QRCodePrintSetting* editor = NewEditor();
    const QStringList before = editor->TemplateFromForm().labels;
    editor->Form()->ckb_showMac->setChecked(false);
    editor->Form()->btn_RefreshPreview->click();
    const QList<CustomLabel*> items = editor->Labels();
    for (int i = 0; i < items.size(); ++i)
        EXPECT_EQ(items[i]->isHidden(), i == 5 || i == 6) << i;
    EXPECT_EQ(editor->TemplateFromForm().labels, before);

    editor->Form()->ckb_showEnglish->setChecked(true);
    editor->Form()->ckb_supportJumoAPP->setChecked(true);
    editor->Form()->le_QRCodeWidth->setText("25.0");
    editor->Form()->btn_RefreshPreview->click();
    EXPECT_EQ(items[1]->text(), "SN: 2023080112345678");
    EXPECT_EQ(items[3]->text(), "PIN: 508316");
    EXPECT_EQ(items[0]->size(), QSize(250, 250));
    EXPECT_EQ(DecodeImage(WithQuietZone(items[0]->pixmap(Qt::ReturnByValue).toImage()), "QR-Code"),
              QStringList({QRCodePrintSetting::SampleAppPayload()}));
    EXPECT_EQ(QRCodePrintSetting::SampleAppPayload(),
              "http://app.vantrel.example/client/goappurl.php?v=1&q.php?s=bind://v1@type3:2023080112345678:508316");
}

TEST_F(EditorTest, PrintModeShowsTheGapOnlyForDoubleColumns)
{
    m_dir.writeFile("PrintConfig/single.ini",
                    TemplateBytes({"5,3,0,25,25,0,,,0"}).replace("iPrintMode=1", "iPrintMode=0"));
    CurrentPrintConfigPath = TemplatePath("single.ini");
    QRCodePrintSetting* editor = NewEditor();
    const Ui::QRCodePrintSetting* f = editor->Form();
    EXPECT_EQ(f->cmb_PrintMode->currentIndex(), 0);
    EXPECT_TRUE(f->le_PrintPaperSpacing->isHidden());
    EXPECT_TRUE(f->lb_PrintPaperSpacing->isHidden());
    EXPECT_EQ(f->le_QRCodeWidth->text(), "25.0");
    f->cmb_PrintMode->setCurrentIndex(1);
    EXPECT_FALSE(f->le_PrintPaperSpacing->isHidden());
    f->cmb_PrintMode->setCurrentIndex(0);
    EXPECT_TRUE(f->le_PrintPaperSpacing->isHidden());
}

TEST_F(EditorTest, OpeningATemplateMakesItCurrentAndCancelKeepsTheOldOne)
{
    UseTemplate({"1,1.00000000,2.00000000,5.00000000,1.00000000,0.00000000,,,7"});
    const QString given = CurrentPrintConfigPath;
    m_dir.writeFile("PrintConfig/other.ini", TemplateBytes({"5,3,0,25,25,0,,,0", "1,1,2,5,1,0,,,12"}));
    QRCodePrintSetting* editor = NewEditor();

    editor->Form()->btn_LoadConfigFile->click();   // cancelled
    ASSERT_EQ(m_hooks.fileRequests.size(), 1);
    const FileDialogHook::Request& r = m_hooks.fileRequests[0];
    EXPECT_EQ(r.mode, FileDialogHook::Mode::Open);
    EXPECT_EQ(r.caption, "select print config file");
    EXPECT_EQ(r.dir, m_dir.path() + "/PrintConfig/");
    EXPECT_EQ(r.filter, "*ini");
    EXPECT_EQ(CurrentPrintConfigPath, given);
    EXPECT_EQ(Types(editor->Labels()), QStringList({"1/7"}));

    m_hooks.fileAnswers << TemplatePath("other.ini");
    editor->Form()->btn_LoadConfigFile->click();
    EXPECT_EQ(CurrentPrintConfigPath, TemplatePath("other.ini"));
    EXPECT_EQ(editor->Form()->le_PrintFilePath->text(), TemplatePath("other.ini"));
    EXPECT_EQ(Types(editor->Labels()), QStringList({"5/0", "1/12"}));
    EXPECT_EQ(editor->Form()->le_QRCodeWidth->text(), "25.0");
    EXPECT_EQ(editor->NextLabelIndex(), 13);
    EXPECT_EQ(LabelPrintConfig::Instance()->Template().labels.size(), 2);
}

TEST_F(EditorTest, ALegacyTemplateThatFailsToLoadShowsTheStoreBox)
{
    ASSERT_TRUE(m_dir.writeFile("PrintConfig/old.ini", "[LABELS]\niSize=2\n0=\"0,1,2,3,4,5,t,,1\"\n1=\"0,1,2\"\n"));
    CurrentPrintConfigPath = TemplatePath("old.ini");
    QRCodePrintSetting* editor = NewEditor();
    EXPECT_TRUE(m_hooks.boxes.contains("error|moudle file's label field number is error"))
        << qPrintable(m_hooks.boxes.join("; "));
    delete editor;
}

TEST_F(EditorTest, SaveAddsTheSuffixAndClosesLaterNotifyingTheOwner)
{
    QRCodePrintSetting* editor = NewEditor();
    editor->show();
    ASSERT_TRUE(Save(editor, "plain"));
    ASSERT_EQ(m_hooks.fileRequests.size(), 1);
    EXPECT_EQ(m_hooks.fileRequests[0].mode, FileDialogHook::Mode::Save);
    EXPECT_EQ(m_hooks.fileRequests[0].caption, "save print config file");
    EXPECT_EQ(m_hooks.fileRequests[0].dir, m_dir.path() + "/PrintConfig/");
    EXPECT_EQ(CurrentPrintConfigPath, TemplatePath("plain.ini"));
    EXPECT_EQ(editor->findChild<QTimer*>("closeTimer")->interval(), 1000);
    // The close by the timer and the close event each notify the owner.
    EXPECT_TRUE(QTest::qWaitFor([&] { return m_owner.closes == 2; }, 10000)) << m_owner.closes;
    EXPECT_FALSE(editor->isVisible());

    ASSERT_TRUE(Save(editor, "label.txt"));
    EXPECT_EQ(CurrentPrintConfigPath, TemplatePath("label.txt"));
    m_hooks.fileRequests.clear();
    editor->Form()->btn_QRCodeSettingSave->click();   // cancelled
    EXPECT_EQ(CurrentPrintConfigPath, TemplatePath("label.txt"));
}

TEST_F(EditorTest, ASaveThatFailsKeepsTheEditorOpenAndTheFormerTemplate)
{
    UseTemplate({});
    const QString former = CurrentPrintConfigPath;
    m_dir.writeFile("plainfile", "x");
    QRCodePrintSetting* editor = NewEditor();
    editor->show();
    m_hooks.fileAnswers << m_dir.file("plainfile/label.ini");
    editor->Form()->btn_QRCodeSettingSave->click();
    EXPECT_EQ(CurrentPrintConfigPath, former);
    EXPECT_FALSE(editor->findChild<QTimer*>("closeTimer")->isActive());
    ASSERT_EQ(m_hooks.boxes.size(), 1);
    EXPECT_TRUE(m_hooks.boxes[0].startsWith("error|")) << qPrintable(m_hooks.boxes[0]);
    EXPECT_TRUE(editor->isVisible());
}

// A station controller builds one editor that it never shows; its owner has no
// onPrintConfigClose() slot.
TEST_F(EditorTest, AnyWidgetCanOwnAHiddenEditor)
{
    UseTemplate({"5,3,0,20,20,0,,,0", "0,1,2,10,3,2,note,,7"});
    QWidget plainOwner;
    QStringList warnings;
    static QStringList* sink = nullptr;
    sink = &warnings;
    const QtMessageHandler previous = qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
        if (type != QtDebugMsg && sink)
            *sink << text;
    });
    auto* editor = new QRCodePrintSetting(&plainOwner);
    EXPECT_EQ(editor->parent(), &plainOwner);
    EXPECT_FALSE(editor->isVisible());
    EXPECT_EQ(Types(editor->Labels()), QStringList({"5/0", "0/7"}));
    editor->show();
    editor->close();
    QCoreApplication::processEvents();
    qInstallMessageHandler(previous);
    sink = nullptr;
    EXPECT_TRUE(warnings.isEmpty()) << qPrintable(warnings.join("; "));
    EXPECT_TRUE(m_hooks.boxes.isEmpty());
}

TEST_F(EditorTest, TestPrintOfASavedTemplateReadsBack)
{
    QImage page;
    bool refuse = false;
    PrinterHook::Set([&](QPrinter& printer) -> QPaintDevice* {
        if (refuse)
            return nullptr;
        printer.setResolution(300);
        const QSizeF mm = printer.pageLayout().fullRect(QPageLayout::Millimeter).size();
        page = QImage(int(std::ceil(mm.width() * 300 / 25.4)), int(std::ceil(mm.height() * 300 / 25.4)),
                      QImage::Format_RGB32);
        page.fill(Qt::white);
        return &page;
    });
    {
        QRCodePrintSetting* editor = NewEditor();
        editor->Form()->cmb_PrintMode->setCurrentIndex(0);
        ASSERT_TRUE(Save(editor, "print.ini"));
        delete editor;
    }
    QRCodePrintSetting* editor = NewEditor();
    editor->Form()->btn->click();
    ASSERT_FALSE(page.isNull());
    EXPECT_TRUE(m_hooks.boxes.isEmpty()) << qPrintable(m_hooks.boxes.join("; "));
    EXPECT_EQ(page.width(), int(std::ceil(40 * 300 / 25.4)));
    EXPECT_EQ(DecodeImage(WithQuietZone(page), "QR-Code"), QStringList({QRCodePrintSetting::SampleBindText()}));
    // Sixteen digits in 24 mm are too fine to read back at 300 dpi; the MAC is not.
    EXPECT_EQ(DecodeImage(WithQuietZone(page), "CODE-128"), QStringList({"027c41af0a3f"}));
    // The test print touches neither the file nor the current path.
    EXPECT_EQ(CurrentPrintConfigPath, TemplatePath("print.ini"));

    editor->Form()->ckb_supportJumoAPP->setChecked(true);
    editor->Form()->btn->click();
    EXPECT_EQ(DecodeImage(WithQuietZone(page), "QR-Code"), QStringList({QRCodePrintSetting::SampleAppPayload()}));

    refuse = true;
    editor->Form()->btn->click();
    EXPECT_EQ(m_hooks.boxes.size(), 1);
    EXPECT_TRUE(m_hooks.boxes.value(0).startsWith("error|"));
}

}  // namespace

#include "QRCodePrintSettingTest.moc"
