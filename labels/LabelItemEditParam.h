#pragma once

#include <QString>

// The editable values of a label item, handed between the item and its edit
// dialog. Fields the item's type does not use are 0 or empty. Millimetres.
struct LabelItemEditParam {
    float width = 0;
    float height = 0;
    float fontSize = 0;
    QString text;
    QString picturePath;
};
