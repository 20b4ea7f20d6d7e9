#pragma once

#include "PrintTemplate.h"

#include <QString>

// One print order: the device's texts and a copy of the template to print.
struct LabelPrintJob {
    QString strQRCode;          // QR payload with the app-download prefix
    QString strIndentityPart;   // the bare bind text
    QString strDevSN;
    QString strIndentifyCode;
    QString strMac;             // with colons
    PrintTemplate printTemplate;
};
