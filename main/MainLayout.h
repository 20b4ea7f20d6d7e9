#pragma once

#include <QPoint>
#include <QRect>

// Where the main window puts its title bar and panels, from the stored screen
// size (W x H, the primary screen's available area at construction) and the
// window's own size (w x h), integer division throughout.
struct MainLayout {
    QRect close, minimize, systemConfig, quit;
    QRect login, upgradeTips, companyName, title;
    QPoint titleLogo;
    QRect controller, deviceTable, wifiPanel, infoPanel;
    QRect videoWindow, manualPanel;

    static MainLayout Compute(int screenWidth, int screenHeight, int width, int height);
};

// The label designer's screen factors from the main window's physical DPI.
struct ScreenFactors {
    double mmScaleX, mmScaleY;   // 10.16 / dpi
    double pxScaleX, pxScaleY;   // dpi * 2.5 / 25.4

    // A DPI that is not positive (a screen that reports no size) counts as 96.
    static ScreenFactors FromDpi(int dpiX, int dpiY);
};
