#include "MainLayout.h"

MainLayout MainLayout::Compute(int W, int H, int w, int h)
{
    MainLayout l;
    l.close = QRect(w - 25, 0, 25, 25);
    l.minimize = QRect(w - 60, 0, 25, 25);
    l.systemConfig = QRect(w - 95, 0, 25, 25);
    l.quit = QRect(w - 130, 0, 25, 25);
    l.login = QRect(w / 2 + 5, 0, 200, 25);
    l.upgradeTips = QRect(w / 2 + 215, 0, w - w / 2 - 355, 30);
    l.companyName = QRect(w / 2 - 380, 0, 375, 25);
    l.titleLogo = QPoint(5, 7);
    l.title = QRect(152, 22, 250, 25);
    l.titleBarBottom = l.upgradeTips.bottom() + 1;

    // Left column.
    const int columnWidth = W / 4;
    l.controller = QRect(2, 72, columnWidth, (2 * H) / 5 - 40);
    int y = (2 * H) / 5 + 74;
    l.deviceTable = QRect(2, y, columnWidth, H / 5);
    y = y + H / 5 + 2;
    const int wifiHeight = h - H / 5 - y - 22;
    l.wifiPanel = QRect(2, y, columnWidth, wifiHeight);
    l.infoPanel = QRect(2, y + wifiHeight + 2, columnWidth, H / 5);

    // Right area.
    const int x = W / 4 + 24;
    const int rightWidth = w - (x + 10);
    l.videoWindow = QRect(x, 32, rightWidth, h - H / 4 - 34);
    l.manualPanel = QRect(x, h - H / 4, rightWidth, H / 4);
    return l;
}

void MainLayout::FitLeftColumn(const LeftColumnNeeds& needs)
{
    const int controllerRoom = deviceTable.top() - 2 - controller.top();
    controller.setHeight(qMax(controller.height(), qMin(needs.controller, controllerRoom)));

    // The three lower panels share the column from the table's top to the
    // information panel's bottom, 2 pixels apart.
    const int top = deviceTable.top();
    const int shared = infoPanel.bottom() + 1 - top - 4;
    int wifi = qMax(wifiPanel.height(), needs.wifiPanel);
    int info = qMax(infoPanel.height(), needs.infoPanel);
    if (shared - wifi - info < needs.deviceTable)
        info = qMax(infoPanel.height(), needs.infoPanelCompact);
    if (shared - wifi - info < needs.deviceTable)
        wifi = qMax(wifiPanel.height(), needs.wifiPanelCompact);
    deviceTable.setHeight(qMax(0, shared - wifi - info));
    wifiPanel = QRect(wifiPanel.x(), deviceTable.bottom() + 3, wifiPanel.width(), wifi);
    infoPanel = QRect(infoPanel.x(), wifiPanel.bottom() + 3, infoPanel.width(), info);
}

void MainLayout::FitManualPanel(int needed)
{
    const int grow = needed - manualPanel.height();
    if (grow <= 0)
        return;
    manualPanel.setTop(manualPanel.top() - grow);
    videoWindow.setHeight(videoWindow.height() - grow);
}

ScreenFactors ScreenFactors::FromDpi(int dpiX, int dpiY)
{
    constexpr int kFallbackDpi = 96;
    if (dpiX <= 0)
        dpiX = kFallbackDpi;
    if (dpiY <= 0)
        dpiY = kFallbackDpi;
    ScreenFactors f;
    f.mmScaleX = 10.16 / dpiX;
    f.pxScaleX = dpiX * 2.5 / 25.4;
    f.mmScaleY = 10.16 / dpiY;
    f.pxScaleY = dpiY * 2.5 / 25.4;
    return f;
}
