#include "SynthVideoCodec.h"

#include <cstring>

namespace {

struct Yuv {
    uint8_t y, u, v;
};

// 75% colour bars: white, yellow, cyan, green, magenta, red, blue, black.
const Yuv kBars[8] = {
    {180, 128, 128}, {162, 44, 142}, {131, 156, 44}, {112, 72, 58},
    {84, 184, 198},  {65, 100, 212}, {35, 212, 114}, {16, 128, 128},
};

// The second lens: a grey ramp from white to black.
const Yuv kGreyBars[8] = {
    {235, 128, 128}, {204, 128, 128}, {173, 128, 128}, {141, 128, 128},
    {110, 128, 128}, {79, 128, 128},  {47, 128, 128},  {16, 128, 128},
};

void Put16(QByteArray& b, int at, uint16_t v)
{
    b[at] = char(v & 0xFF);
    b[at + 1] = char(v >> 8);
}

void Put32(QByteArray& b, int at, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b[at + i] = char((v >> (8 * i)) & 0xFF);
}

uint32_t Get(const unsigned char* p, int bytes)
{
    uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i)
        v = (v << 8) | p[i];
    return v;
}

}  // namespace

bool SynthVideoCodec::ValidSize(int width, int height)
{
    return width > 0 && height > 0 && width <= kMaxSide && height <= kMaxSide && width % kBlock == 0 &&
           height % kBlock == 0;
}

QByteArray SynthVideoCodec::EncodeTestPicture(int width, int height, uint32_t frameNumber, int channel)
{
    const Yuv* bars = channel == 1 ? kGreyBars : kBars;
    if (!ValidSize(width, height))
        return QByteArray();
    const int bw = width / kBlock;
    const int bh = height / kBlock;
    QByteArray packet(kHeadSize + bw * bh * 3, '\0');
    memcpy(packet.data(), "VSN1", 4);
    Put16(packet, 4, uint16_t(width));
    Put16(packet, 6, uint16_t(height));
    Put32(packet, 8, frameNumber);
    Put32(packet, 12, frameNumber % 25 == 0 ? 1u : 0u);
    const int boxSide = bh / 4 > 0 ? bh / 4 : 1;
    const int boxX = int(frameNumber % uint32_t(bw));
    const int boxY = bh / 2 - boxSide / 2;
    char* out = packet.data() + kHeadSize;
    for (int by = 0; by < bh; ++by) {
        for (int bx = 0; bx < bw; ++bx) {
            const int bar = int(((bx + frameNumber) % uint32_t(bw)) * 8 / uint32_t(bw));
            Yuv c = bars[bar];
            if (bx >= boxX && bx < boxX + boxSide && by >= boxY && by < boxY + boxSide)
                c = Yuv{235, 128, 128};
            *out++ = char(c.y);
            *out++ = char(c.u);
            *out++ = char(c.v);
        }
    }
    return packet;
}

bool SynthVideoCodec::Decode(const char* data, int length, bool semiPlanar, Picture* out)
{
    if (!data || !out || length < kHeadSize || memcmp(data, "VSN1", 4) != 0)
        return false;
    const auto* p = reinterpret_cast<const unsigned char*>(data);
    const int width = int(Get(p + 4, 2));
    const int height = int(Get(p + 6, 2));
    if (!ValidSize(width, height))
        return false;
    const int bw = width / kBlock;
    const int bh = height / kBlock;
    if (length != kHeadSize + bw * bh * 3)
        return false;
    out->width = width;
    out->height = height;
    out->frameNumber = Get(p + 8, 4);
    out->yPitch = width;
    out->y.assign(size_t(width) * height, 0);
    const int cw = width / 2;
    const int ch = height / 2;
    if (semiPlanar) {
        out->uPitch = width;
        out->vPitch = 0;
        out->u.assign(size_t(width) * ch, 0);
        out->v.clear();
    } else {
        out->uPitch = cw;
        out->vPitch = cw;
        out->u.assign(size_t(cw) * ch, 0);
        out->v.assign(size_t(cw) * ch, 0);
    }
    const unsigned char* blocks = p + kHeadSize;
    for (int by = 0; by < bh; ++by) {
        for (int bx = 0; bx < bw; ++bx) {
            const unsigned char* c = blocks + (by * bw + bx) * 3;
            for (int row = 0; row < kBlock; ++row)
                memset(&out->y[size_t(by * kBlock + row) * width + bx * kBlock], c[0], kBlock);
            for (int row = 0; row < kBlock / 2; ++row) {
                const size_t cy = size_t(by * kBlock / 2 + row);
                for (int col = 0; col < kBlock / 2; ++col) {
                    const size_t cx = size_t(bx * kBlock / 2 + col);
                    if (semiPlanar) {
                        out->u[cy * width + cx * 2] = c[1];
                        out->u[cy * width + cx * 2 + 1] = c[2];
                    } else {
                        out->u[cy * cw + cx] = c[1];
                        out->v[cy * cw + cx] = c[2];
                    }
                }
            }
        }
    }
    return true;
}
