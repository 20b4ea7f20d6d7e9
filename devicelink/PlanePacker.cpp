#include "PlanePacker.h"

#include <cstring>

namespace {

bool IsPlanar(int style)
{
    return style == FRAME_STYLE_PLANAR || style == FRAME_STYLE_PLANAR_FULL;
}

}  // namespace

const char* PlanePacker::Reject(const PlaneSource& src, int style)
{
    const int w = src.width;
    const int h = src.height;
    if (w <= 0 || h <= 0 || w > MAX_SIDE || h > MAX_SIDE)
        return "picture size out of range";
    if (!src.planes[0])
        return "no Y plane";
    if (src.pitches[0] < w)
        return "Y pitch smaller than the width";
    const bool chromaRows = h / 2 > 0;
    if (style == FRAME_STYLE_SEMI_PLANAR && chromaRows) {
        if (!src.planes[1])
            return "no U/V plane";
        if (src.pitches[1] < w)
            return "U/V pitch smaller than the width";
    } else if (IsPlanar(style) && chromaRows && w / 2 > 0) {
        if (!src.planes[1] || !src.planes[2])
            return "no U or V plane";
        if (src.pitches[1] < w / 2 || src.pitches[2] < w / 2)
            return "U or V pitch smaller than half the width";
    }
    return nullptr;
}

int PlanePacker::PackedSize(int width, int height, int style)
{
    const int luma = width * height;
    if (style == FRAME_STYLE_SEMI_PLANAR)
        return luma + (height / 2) * width;
    if (IsPlanar(style))
        return luma + 2 * (height / 2) * (width / 2);
    return luma;
}

void PlanePacker::CopyPlane(char* dst, const uint8_t* src, int pitch, int rowBytes, int rows)
{
    if (rowBytes <= 0 || rows <= 0)
        return;
    if (pitch == rowBytes) {
        std::memcpy(dst, src, size_t(rowBytes) * size_t(rows));
        return;
    }
    for (int r = 0; r < rows; ++r)
        std::memcpy(dst + size_t(r) * rowBytes, src + size_t(r) * pitch, size_t(rowBytes));
}

bool PlanePacker::Pack(const PlaneSource& src, int style, FrameBuffer& dst)
{
    if (Reject(src, style))
        return false;
    const int w = src.width;
    const int h = src.height;
    dst.style = style;
    dst.width = w;
    dst.height = h;
    std::memcpy(dst.pitches, src.pitches, sizeof dst.pitches);
    dst.planes.resize(PackedSize(w, h, style));
    char* out = dst.planes.data();

    const int luma = w * h;
    CopyPlane(out, src.planes[0], src.pitches[0], w, h);
    dst.chromaOffset[0] = dst.chromaOffset[1] = luma;
    dst.chromaBytes[0] = dst.chromaBytes[1] = 0;
    if (style == FRAME_STYLE_SEMI_PLANAR) {
        dst.chromaBytes[0] = (h / 2) * w;
        CopyPlane(out + luma, src.planes[1], src.pitches[1], w, h / 2);
    } else if (IsPlanar(style)) {
        const int quarter = (h / 2) * (w / 2);
        dst.chromaOffset[1] = luma;                // V first
        dst.chromaBytes[1] = quarter;
        dst.chromaOffset[0] = luma + quarter;      // then U
        dst.chromaBytes[0] = quarter;
        CopyPlane(out + luma, src.planes[2], src.pitches[2], w / 2, h / 2);
        CopyPlane(out + luma + quarter, src.planes[1], src.pitches[1], w / 2, h / 2);
    }
    return true;
}
