#pragma once

#include <QString>

// The values of a new label item, handed by the add dialog to the editor. Which
// fields count depends on the type: text: text and fontSize; lines: width and
// height; picture: picturePath, width and height; barcode: text (the content),
// width and height. Sizes are millimetres.
struct LabelItemParam {
    int type = 0;
    QString text;
    float fontSize = 0;
    float width = 0;
    float height = 0;
    QString picturePath;
};
