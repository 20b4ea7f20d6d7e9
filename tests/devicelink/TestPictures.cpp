#include "TestPictures.h"

#include <cstdlib>

SolidPicture::SolidPicture(int width, int height, uint8_t y, uint8_t u, uint8_t v, int style)
{
    const int yPitch = width + 16;
    const bool semi = style == FRAME_STYLE_SEMI_PLANAR;
    const int chromaPitch = semi ? width + 32 : width / 2 + 8;
    m_y.assign(size_t(yPitch) * height, y);
    if (semi) {
        m_u.resize(size_t(chromaPitch) * (height / 2));
        for (size_t i = 0; i < m_u.size(); ++i)
            m_u[i] = (i % chromaPitch) % 2 == 0 ? u : v;   // U then V in every pair
    } else {
        m_u.assign(size_t(chromaPitch) * (height / 2), u);
        m_v.assign(size_t(chromaPitch) * (height / 2), v);
    }
    m_source.width = width;
    m_source.height = height;
    m_source.pitches[0] = yPitch;
    m_source.pitches[1] = chromaPitch;
    m_source.pitches[2] = semi ? 0 : chromaPitch;
    m_source.planes[0] = m_y.data();
    m_source.planes[1] = m_u.data();
    m_source.planes[2] = semi ? nullptr : m_v.data();

    m_frame.nWidth = width;
    m_frame.nHeight = height;
    m_frame.nType = PC_FRAME_VIDEO;
    m_frame.nYPitch = m_source.pitches[0];
    m_frame.nUPitch = m_source.pitches[1];
    m_frame.nVPitch = m_source.pitches[2];
    m_frame.pY = m_source.planes[0];
    m_frame.pU = m_source.planes[1];
    m_frame.pV = m_source.planes[2];
}

bool Near(const QColor& actual, int r, int g, int b, int tolerance)
{
    return std::abs(actual.red() - r) <= tolerance && std::abs(actual.green() - g) <= tolerance &&
           std::abs(actual.blue() - b) <= tolerance;
}

QColor Centre(const QImage& image)
{
    return image.pixelColor(image.width() / 2, image.height() / 2);
}
