// The station information panel: its rows, its fields and the serial-number
// refresh that goes through the main window to the controller.
#include "ControllerFixture.h"

#include "LeftBottomWidget.h"
#include "SdkCallLog.h"

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

TEST_F(InfoPanelTest, RowsStackFromTheTopAndHiddenControlsMoveNothing)
{
    LeftBottomWidget panel(&host);
    panel.resize(480, 208);
    panel.UpdateLayout();
    EXPECT_EQ(GeometryOf(&panel, "m_lblVerInfo"), QRect(0, 10, 60, 22));
    EXPECT_EQ(GeometryOf(&panel, "m_VerInfolineEdit"), QRect(20, 32, 460, 22));
    EXPECT_EQ(GeometryOf(&panel, "m_lblSDInfo"), QRect(0, 59, 60, 22));
    EXPECT_EQ(GeometryOf(&panel, "m_SDInfolineEdit"), QRect(20, 81, 460, 22));
    EXPECT_EQ(GeometryOf(&panel, "m_lbSN"), QRect(0, 108, 60, 22));
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
    widget->SetCurrentDevice(MakeDevice("VT1000000000001", "127.0.2.1", 71, 1));
    SdkCallLog::Instance().Clear();
    panel.findChild<QPushButton*>("m_btnReFresh")->click();
    const QVector<SdkCall> calls = SdkCallLog::Instance().CallsOf("FC_Loc_IoTQuery");
    ASSERT_EQ(calls.size(), 1);
    EXPECT_TRUE(calls[0].arguments.startsWith("71,1019,")) << qPrintable(calls[0].arguments);
}

}  // namespace
