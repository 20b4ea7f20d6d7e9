#pragma once

#include <QStringList>

// One label template: size, what the fixed items show, column mode, copies and
// the label lines. Sizes are millimetres. A plain value copied whole.
struct PrintTemplate {
    float width = 0;
    float height = 0;
    bool bShowSn = false;
    bool bShowIndentify = false;
    bool bShowTimeDate = false;
    bool bShowMac = false;
    bool bShowEnglish = false;
    float fontSize = 0;
    float fPrintPaperSpace = 0;
    int iPrintMode = 0;                  // 0 single column, 1 double column
    int iPrintTimes = 0;                 // 0 one copy, else two
    bool bSupportJumpDownloadApp = false;
    QStringList labels;                  // one label line per item

    PrintTemplate() = default;
    PrintTemplate(const PrintTemplate&) = default;
    PrintTemplate& operator=(const PrintTemplate&) = default;
    ~PrintTemplate() = default;

    bool operator==(const PrintTemplate& other) const;
    bool operator!=(const PrintTemplate& other) const { return !(*this == other); }
};
