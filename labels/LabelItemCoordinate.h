#pragma once

// Top-left corner of a label item on the label, millimetres.
struct LabelItemCoordinate {
    float x = 0;
    float y = 0;
};
