#include "CustomLabel.h"
#include "EditCustomContentDlg.h"
#include "EditorHooks.h"
#include "LabelItemCoordinate.h"
#include "LabelItemEditParam.h"
#include "TempAppDir.h"
#include "ZbarReader.h"
#include "ui_EditCustomContentDlg.h"

#include <QCoreApplication>
#include <QImage>
#include <QMouseEvent>
#include <QPixmap>

#include <gtest/gtest.h>

namespace {

QImage PixmapOf(const QLabel& label)
{
    return label.pixmap(Qt::ReturnByValue).toImage();
}

void SendMouse(QWidget* target, QEvent::Type type, const QPoint& local, Qt::MouseButton button,
               Qt::MouseButtons buttons)
{
    QMouseEvent event(type, QPointF(local), QPointF(target->mapToGlobal(local)), button, buttons, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &event);
}

class CustomLabelTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_canvas.resize(900, 431);
        m_canvas.show();
    }

    TempAppDir m_dir;
    EditorHooks m_hooks;   // 10 pixels per millimetre
    QWidget m_canvas;
};

TEST_F(CustomLabelTest, DragStaysOnTheCanvas)
{
    struct Case {
        const char* name;
        QSize size;
        QPoint target;   // where the drag alone would put the item
        QPoint expected;
    };
    const Case cases[] = {
        {"inside", {100, 50}, {100, 100}, {100, 100}},
        {"past the left edge", {100, 50}, {-30, 100}, {0, 100}},
        {"right edge on the last pixel", {100, 50}, {300, 100}, {300, 100}},
        {"past the right edge", {100, 50}, {301, 100}, {300, 100}},
        {"far past the right edge", {100, 50}, {350, 100}, {300, 100}},
        {"past the top edge", {100, 50}, {100, -5}, {100, 0}},
        {"past the bottom edge", {100, 50}, {100, 280}, {100, 250}},
        {"past a corner", {100, 50}, {390, 290}, {300, 250}},
        {"wider than the canvas", {500, 50}, {20, 100}, {-100, 100}},
        {"wider than the canvas, past the left edge", {500, 50}, {-30, 100}, {-100, 100}},
    };
    const QPoint press(10, 10);
    for (const Case& c : cases) {
        CustomLabel item(1, 400.9f, 300.2f, &m_canvas);
        item.setFixedSize(c.size);
        item.move(50, 50);
        item.show();
        SendMouse(&item, QEvent::MouseButtonPress, press, Qt::LeftButton, Qt::LeftButton);
        SendMouse(&item, QEvent::MouseMove, item.mapFromParent(c.target + press), Qt::NoButton, Qt::LeftButton);
        EXPECT_EQ(item.pos(), c.expected) << c.name;
        SendMouse(&item, QEvent::MouseButtonRelease, press, Qt::LeftButton, Qt::NoButton);
        EXPECT_FLOAT_EQ(item.mmX, float(c.expected.x() * 0.1)) << c.name;
        EXPECT_FLOAT_EQ(item.mmY, float(c.expected.y() * 0.1)) << c.name;
    }
}

TEST_F(CustomLabelTest, MovesWithoutTheLeftButtonOnlyClamp)
{
    CustomLabel item(1, 400, 300, &m_canvas);
    item.setFixedSize(100, 50);
    item.move(-30, 280);
    item.show();
    SendMouse(&item, QEvent::MouseMove, QPoint(5, 5), Qt::NoButton, Qt::RightButton);
    EXPECT_EQ(item.pos(), QPoint(0, 250));
    item.SetCanvasSize(600, 400);
    item.move(550, 100);
    SendMouse(&item, QEvent::MouseMove, QPoint(5, 5), Qt::NoButton, Qt::MiddleButton);
    EXPECT_EQ(item.pos(), QPoint(500, 100));
}

TEST_F(CustomLabelTest, BarcodeModulesSpreadOverTheTarget)
{
    CustomLabel::BarcodeLayout layout;
    ASSERT_TRUE(CustomLabel::LayoutBarcode(100, 300, 10.0, &layout));
    EXPECT_DOUBLE_EQ(layout.module, 2.0);
    EXPECT_DOUBLE_EQ(layout.scale, 1.5);
    EXPECT_DOUBLE_EQ(layout.pen, 3.0);
    EXPECT_EQ(layout.X(10), 30);
    EXPECT_EQ(layout.X(99), 297);
    // 68 modules at 96 dpi: 128 whole pixels nominal, stretched to 200.
    ASSERT_TRUE(CustomLabel::LayoutBarcode(68, 200, 96 * 2.5 / 25.4, &layout));
    EXPECT_DOUBLE_EQ(layout.scale, 200.0 / 128);
    EXPECT_FALSE(CustomLabel::LayoutBarcode(0, 300, 10.0, &layout));
    EXPECT_FALSE(CustomLabel::LayoutBarcode(2, 300, 2.0, &layout));   // 0.8 pixel in all
    EXPECT_FALSE(CustomLabel::LayoutBarcode(100, 300, 0.0, &layout));  // factors not set
}

TEST_F(CustomLabelTest, DrawnCodesReadBack)
{
    // 101 modules of 2 pixels nominal, stretched twice: whole pixels, as a scanner needs.
    QLabel barcode(&m_canvas);
    barcode.setFixedSize(404, 60);
    CustomLabel::DrawBarcode(&barcode, "AB12");
    EXPECT_EQ(PixmapOf(barcode).size(), QSize(404, 60));
    EXPECT_EQ(DecodeImage(WithQuietZone(PixmapOf(barcode)), "CODE-128"), QStringList({"AB12"}));

    QLabel qr(&m_canvas);
    qr.setFixedSize(210, 210);
    CustomLabel::DrawQRCode(&qr, "bind://v1@type3:2023080112345678:508316");
    EXPECT_EQ(DecodeImage(WithQuietZone(PixmapOf(qr)), "QR-Code"),
              QStringList({"bind://v1@type3:2023080112345678:508316"}));
}

TEST_F(CustomLabelTest, CodesThatCannotBeMadeLeaveNothingToRead)
{
    QLabel barcode(&m_canvas);
    barcode.setFixedSize(300, 60);
    CustomLabel::DrawBarcode(&barcode, "A B");
    EXPECT_EQ(m_hooks.boxes.size(), 1);
    EXPECT_TRUE(PixmapOf(barcode).isNull());

    // Longer than any symbol at level L holds: white only.
    QLabel qr(&m_canvas);
    qr.setFixedSize(120, 120);
    CustomLabel::DrawQRCode(&qr, QString(3000, 'a'));
    QImage white(120, 120, QImage::Format_ARGB32);
    white.fill(Qt::white);
    EXPECT_EQ(PixmapOf(qr).convertToFormat(QImage::Format_ARGB32), white);

    QWidget notALabel(&m_canvas);
    CustomLabel::DrawQRCode(&notALabel, "text");
    CustomLabel::DrawQRCode(nullptr, "text");
    CustomLabel::DrawBarcode(nullptr, "text");
}

TEST_F(CustomLabelTest, EditsApplyByType)
{
    QImage picture(40, 20, QImage::Format_RGB32);
    picture.fill(Qt::red);
    ASSERT_TRUE(picture.save(m_dir.file("pic.png")));
    const LabelItemCoordinate to{3.5f, 4.2f};
    const QPoint moved(35, 42);

    CustomLabel text(0, 400, 400, &m_canvas);
    LabelItemEditParam textParam{0, 0, 3.0f, "abc", QString()};
    text.onChangedSignalEmit(&textParam, const_cast<LabelItemCoordinate*>(&to));
    EXPECT_EQ(text.text(), "abc");
    EXPECT_EQ(text.font().pixelSize(), 30);
    EXPECT_EQ(text.labelText, "abc");
    EXPECT_FLOAT_EQ(text.fontSize, 3.0f);
    EXPECT_FLOAT_EQ(text.mmWidth, float(text.width() * 0.1));
    EXPECT_EQ(text.pos(), moved);
    EXPECT_FLOAT_EQ(text.mmX, 3.5f);

    CustomLabel line(1, 400, 400, &m_canvas);
    LabelItemEditParam lineParam{12.3f, 0.5f, 0, QString(), QString()};
    line.onChangedSignalEmit(&lineParam, const_cast<LabelItemCoordinate*>(&to));
    EXPECT_EQ(line.size(), QSize(123, 5));
    EXPECT_EQ(line.pos(), moved);
    EXPECT_EQ(line.styleSheet(), "CustomLabel{background-color: rgb(0, 0, 0);}");

    CustomLabel pic(3, 400, 400, &m_canvas);
    pic.move(7, 8);
    LabelItemEditParam picParam{8.0f, 4.0f, 0, QString(), m_dir.file("missing.png")};
    pic.onChangedSignalEmit(&picParam, const_cast<LabelItemCoordinate*>(&to));
    EXPECT_EQ(pic.size(), QSize(80, 40));   // the size changes, nothing else does
    EXPECT_EQ(pic.pos(), QPoint(7, 8));
    EXPECT_TRUE(pic.picturePath.isEmpty());
    picParam.picturePath = m_dir.file("pic.png");
    pic.onChangedSignalEmit(&picParam, const_cast<LabelItemCoordinate*>(&to));
    EXPECT_EQ(pic.pos(), moved);
    EXPECT_EQ(pic.picturePath, m_dir.file("pic.png"));
    EXPECT_EQ(PixmapOf(pic).size(), QSize(80, 40));

    CustomLabel qr(5, 400, 400, &m_canvas);
    qr.setFixedSize(200, 200);
    LabelItemEditParam qrParam{1.0f, 1.0f, 0, QString(), QString()};
    qr.onChangedSignalEmit(&qrParam, const_cast<LabelItemCoordinate*>(&to));
    EXPECT_EQ(qr.size(), QSize(200, 200));
    EXPECT_EQ(qr.pos(), moved);
}

TEST_F(CustomLabelTest, DoubleClickEditsEveryItemButTheQrCode)
{
    int dialogs = 0;
    QString shownWidth;
    bool contentEnabled = true;
    m_hooks.onDialog = [&](QDialog* dialog) {
        ++dialogs;
        auto* edit = qobject_cast<EditCustomContentDlg*>(dialog);
        EXPECT_NE(edit, nullptr);
        if (!edit)
            return int(QDialog::Rejected);
        shownWidth = edit->Form()->le_LineWidth->text();
        contentEnabled = edit->Form()->le_BarCode->isEnabled();
        edit->Form()->le_posX->setText("5");
        edit->Form()->btn_Ok->click();
        return int(QDialog::Accepted);
    };
    CustomLabel qr(5, 400, 400, &m_canvas);
    qr.index = 0;
    SendMouse(&qr, QEvent::MouseButtonDblClick, QPoint(2, 2), Qt::LeftButton, Qt::LeftButton);
    EXPECT_EQ(dialogs, 0);

    CustomLabel barcode(4, 400, 400, &m_canvas);
    barcode.index = 2;
    barcode.ApplyBarcode("2023080112345678", 12.34f, 4.0f);
    SendMouse(&barcode, QEvent::MouseButtonDblClick, QPoint(2, 2), Qt::LeftButton, Qt::LeftButton);
    EXPECT_EQ(dialogs, 1);
    EXPECT_EQ(shownWidth, "12.3");
    EXPECT_FALSE(contentEnabled);
    EXPECT_FLOAT_EQ(barcode.mmWidth, 12.3f);
    EXPECT_EQ(barcode.labelText, "2023080112345678");
    EXPECT_FLOAT_EQ(barcode.mmX, 5.0f);
    EXPECT_EQ(barcode.pos(), QPoint(50, 0));

    // Cancel leaves the item as it was.
    m_hooks.onDialog = [&](QDialog* dialog) {
        auto* edit = qobject_cast<EditCustomContentDlg*>(dialog);
        edit->Form()->le_LineWidth->setText("30.0");
        edit->Form()->btn_Cancle->click();
        return int(QDialog::Rejected);
    };
    SendMouse(&barcode, QEvent::MouseButtonDblClick, QPoint(2, 2), Qt::LeftButton, Qt::LeftButton);
    EXPECT_FLOAT_EQ(barcode.mmWidth, 12.3f);
    EXPECT_EQ(barcode.width(), 123);
}

}  // namespace
