#pragma once

#include "PlanePacker.h"
#include "PlayCtrlTypes.h"

#include <QColor>
#include <QImage>

#include <cstdint>
#include <vector>

// A decoded picture of one colour (Y, U, V bytes) in either plane layout, with
// padded pitches, as the play library would hand it over.
class SolidPicture {
public:
    SolidPicture(int width, int height, uint8_t y, uint8_t u, uint8_t v, int style);

    const PlaneSource& Source() const { return m_source; }
    const PC_FrameInfo* Frame() const { return &m_frame; }
    PC_FrameInfo& MutableFrame() { return m_frame; }

private:
    std::vector<uint8_t> m_y, m_u, m_v;
    PlaneSource m_source;
    PC_FrameInfo m_frame{};
};

// True when every channel of the colour lies within tolerance of the expected one.
bool Near(const QColor& actual, int r, int g, int b, int tolerance = 5);
// The colour of the pixel in the middle of an image, for messages too.
QColor Centre(const QImage& image);
