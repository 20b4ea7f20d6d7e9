#pragma once

#include <QString>

// One entry of the manual item table: a plain value that callers copy.
struct ManualItemDesc {
    int iId = -1;              // Manual_Enum value
    QString strKeyName;        // "Q", "1", "Up", "Space" ...
    QString strDesc;           // translated when the table was built
    bool bRelease = false;     // the item also acts on key release (press-and-hold)
};
