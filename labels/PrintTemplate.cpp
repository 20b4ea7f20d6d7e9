#include "PrintTemplate.h"

bool PrintTemplate::operator==(const PrintTemplate& o) const
{
    return width == o.width && height == o.height && bShowSn == o.bShowSn
        && bShowIndentify == o.bShowIndentify && bShowTimeDate == o.bShowTimeDate
        && bShowMac == o.bShowMac && bShowEnglish == o.bShowEnglish && fontSize == o.fontSize
        && fPrintPaperSpace == o.fPrintPaperSpace && iPrintMode == o.iPrintMode
        && iPrintTimes == o.iPrintTimes && bSupportJumpDownloadApp == o.bSupportJumpDownloadApp
        && labels == o.labels;
}
