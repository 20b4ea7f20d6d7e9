#pragma once

#include <QPoint>
#include <QRect>

// What the left column's panels need at the least to show their texts whole;
// 0 where a panel makes no claim.
struct LeftColumnNeeds {
    int controller = 0;
    int deviceTable = 0;
    int wifiPanel = 0;
    int infoPanel = 0;          // captions above their fields, as the form has them
    int infoPanelCompact = 0;   // each caption beside its field
    int wifiPanelCompact = 0;   // the throughput server's trouble on one line
};

// Where the main window puts its title bar and panels, from the stored screen
// size (W x H, the primary screen's available area at construction) and the
// window's own size (w x h), integer division throughout.
struct MainLayout {
    QRect close, minimize, systemConfig, quit;
    QRect login, upgradeTips, companyName, title;
    QPoint titleLogo;
    int titleBarBottom = 0;   // below every text of the title bar
    QRect controller, deviceTable, wifiPanel, infoPanel;
    QRect videoWindow, manualPanel;

    static MainLayout Compute(int screenWidth, int screenHeight, int width, int height);

    // The formula's heights suit the narrow Windows font and a tall screen. A
    // panel that needs more gets it: the controller from the free rows above
    // the device table, the Wi-Fi and information panels from the device table,
    // which keeps at least its own need by letting the information panel put
    // its captions beside their fields and, if that is not enough, the Wi-Fi
    // panel show its server's trouble on one line.
    void FitLeftColumn(const LeftColumnNeeds& needs);
    // A manual panel that needs more than the formula's height grows upward,
    // and the video window above it gives up the room.
    void FitManualPanel(int needed);
};

// The label designer's screen factors from the main window's physical DPI.
struct ScreenFactors {
    double mmScaleX, mmScaleY;   // 10.16 / dpi
    double pxScaleX, pxScaleY;   // dpi * 2.5 / 25.4

    // A DPI that is not positive (a screen that reports no size) counts as 96.
    static ScreenFactors FromDpi(int dpiX, int dpiY);
};
