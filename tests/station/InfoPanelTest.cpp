// The station information panel: its rows, its fields and the serial-number
// refresh that goes through the main window to the controller.
#include "ControllerFixture.h"

#include "LeftBottomWidget.h"
#include "SdkCallLog.h"

#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {

using InfoPanelTest = ControllerTest;

QRect GeometryOf(QWidget* panel, const char* name)
{
    QWidget* child = panel->findChild<QWidget*>(QString::fromLatin1(name));
    return child ? child->geometry() : QRect();
}

// A caption sits where the form puts it, 60 pixels wide or as wide as its text.
void ExpectCaption(QWidget* panel, const char* name, int y)
{
    auto* caption = panel->findChild<QLabel*>(QString::fromLatin1(name));
    ASSERT_NE(caption, nullptr) << name;
    EXPECT_EQ(caption->geometry().topLeft(), QPoint(0, y)) << name;
    EXPECT_EQ(caption->height(), 22) << name;
    EXPECT_EQ(caption->width(), qMax(60, caption->sizeHint().width())) << name;
}

TEST_F(InfoPanelTest, RowsStackFromTheTopAndHiddenControlsMoveNothing)
{
    LeftBottomWidget panel(&host);
    panel.resize(480, 208);
    panel.UpdateLayout();
    ExpectCaption(&panel, "m_lblVerInfo", 10);
    EXPECT_EQ(GeometryOf(&panel, "m_VerInfolineEdit"), QRect(20, 32, 460, 22));
    ExpectCaption(&panel, "m_lblSDInfo", 59);
    EXPECT_EQ(GeometryOf(&panel, "m_SDInfolineEdit"), QRect(20, 81, 460, 22));
    ExpectCaption(&panel, "m_lbSN", 108);
    EXPECT_EQ(GeometryOf(&panel, "m_SNlineEdit"), QRect(20, 130, 280, 22));
    const QRect order = GeometryOf(&panel, "m_lbOrderDataDisplay");
    EXPECT_EQ(order.topLeft(), QPoint(0, 157));
    EXPECT_EQ(order.width(), 480);
    EXPECT_TRUE(panel.findChild<QPushButton*>("m_btnCopy")->isHidden());
    EXPECT_TRUE(panel.findChild<QPushButton*>("m_btnReFresh")->isHidden());

    // Shown buttons sit right of the serial number, one after the other.
    panel.findChild<QPushButton*>("m_btnReFresh")->show();
    panel.findChild<QPushButton*>("m_btnCopy")->show();
    panel.findChild<QLabel*>("m_lblSDInfo")->hide();
    panel.UpdateLayout();
    EXPECT_EQ(GeometryOf(&panel, "m_SDInfolineEdit"), QRect(40, 54, 460, 22));
    EXPECT_EQ(GeometryOf(&panel, "m_SNlineEdit"), QRect(20, 103, 280, 22));
    EXPECT_EQ(GeometryOf(&panel, "m_btnReFresh"), QRect(310, 103, 70, 22));
    EXPECT_EQ(GeometryOf(&panel, "m_btnCopy"), QRect(410, 103, 70, 22));
}

// A panel too low for the form's rows puts each caption beside its field; the
// order text breaks onto lines inside the panel, and the serial number field,
// its buttons hidden, grows to its value.
TEST_F(InfoPanelTest, ANarrowLowPanelShowsEveryValueWhole)
{
    constexpr int kWidth = 341;
    LeftBottomWidget panel(&host);
    panel.SetSN("VT21LN0000000005");
    panel.SetOrderDataDisplay("Order Num:WO20240301-01 \ntotal:1000 Completed Num:250 operator01:120 ");
    panel.resize(kWidth, panel.NeededHeight(kWidth, true));
    ASSERT_LT(panel.height(), panel.NeededHeight(kWidth, false));
    panel.UpdateLayout();

    const char* const rows[][2] = {
        {"m_lblVerInfo", "m_VerInfolineEdit"}, {"m_lblSDInfo", "m_SDInfolineEdit"}, {"m_lbSN", "m_SNlineEdit"}};
    const int fieldX = GeometryOf(&panel, rows[0][1]).x();
    for (int i = 0; i < 3; ++i) {
        const QRect caption = GeometryOf(&panel, rows[i][0]);
        const QRect field = GeometryOf(&panel, rows[i][1]);
        EXPECT_EQ(caption.topLeft(), QPoint(0, 10 + 27 * i)) << rows[i][0];
        EXPECT_EQ(field.y(), caption.y()) << rows[i][1];
        EXPECT_EQ(field.x(), fieldX) << rows[i][1];
        EXPECT_GT(field.x(), caption.right()) << rows[i][1];
        EXPECT_EQ(field.right(), kWidth - 1) << rows[i][1];
    }
    auto* order = panel.findChild<QLabel*>("m_lbOrderDataDisplay");
    EXPECT_TRUE(panel.rect().contains(order->geometry()));
    EXPECT_GE(order->height(), order->heightForWidth(kWidth));

    panel.resize(kWidth, 400);
    panel.UpdateLayout();
    auto* sn = panel.findChild<QLineEdit*>("m_SNlineEdit");
    EXPECT_GT(sn->width(), QFontMetrics(sn->font()).horizontalAdvance(sn->text()));
    EXPECT_LE(sn->geometry().right(), kWidth - 1);
}

TEST_F(InfoPanelTest, ClearingTheDeviceLeavesTheOrderText)
{
    LeftBottomWidget panel(&host);
    panel.SetVersionInfo("V2.1");
    panel.SetSDInfo("32GB");
    panel.SetSN("VT21A00000000001");
    panel.SetOrderDataDisplay("Order Num:42");
    auto* sn = panel.findChild<QLineEdit*>("m_SNlineEdit");
    EXPECT_TRUE(sn->isReadOnly());
    EXPECT_EQ(sn->contextMenuPolicy(), Qt::NoContextMenu);
    panel.ClearDevInfo();
    EXPECT_TRUE(sn->text().isEmpty());
    EXPECT_TRUE(panel.findChild<QLineEdit*>("m_VerInfolineEdit")->text().isEmpty());
    EXPECT_EQ(panel.findChild<QLabel*>("m_lbOrderDataDisplay")->text(), "Order Num:42");
}

TEST_F(InfoPanelTest, RefreshAsksTheCurrentDeviceForItsSerialNumberAgain)
{
    Make();
    LeftBottomWidget panel(&host);
    widget->Lists().SetCurrentDevice(MakeDevice("VT1000000000001", "127.0.2.1", 71, 1));
    SdkCallLog::Instance().Clear();
    panel.findChild<QPushButton*>("m_btnReFresh")->click();
    const QVector<SdkCall> calls = SdkCallLog::Instance().CallsOf("FC_Loc_IoTQuery");
    ASSERT_EQ(calls.size(), 1);
    EXPECT_TRUE(calls[0].arguments.startsWith("71,1019,")) << qPrintable(calls[0].arguments);
}

}  // namespace
