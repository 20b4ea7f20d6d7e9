#pragma once

#include "FrameBuffer.h"

#include <cstdint>

// A decoded picture as the play library hands it over: sizes, the four pitch
// words and the plane pointers (Y; U or interleaved U/V; V).
struct PlaneSource {
    int width = 0;
    int height = 0;
    int pitches[4] = {0, 0, 0, 0};
    const uint8_t* planes[3] = {nullptr, nullptr, nullptr};
};

// Packs the planes of a decoded picture into a FrameBuffer, rows back to back:
// Y (width x height), then for semi-planar height/2 rows of width U/V bytes,
// for planar height/2 rows of width/2 V bytes, then as many U bytes. Each
// plane is read by its own pitch. Free of OpenGL so that it can be tested and
// measured on its own.
class PlanePacker {
public:
    // Larger sides are refused: no decoder of ours produces them and they
    // would make the buffer allocation unbounded.
    static constexpr int MAX_SIDE = 8192;

    // Null when the picture can be packed in the style, else why not.
    static const char* Reject(const PlaneSource& src, int style);

    // Packs src into dst (style, sizes, pitches, planes and plane offsets).
    // Returns false and leaves dst untouched when Reject() names a reason.
    static bool Pack(const PlaneSource& src, int style, FrameBuffer& dst);

    // Bytes of the packed planes for a picture of this size and style.
    static int PackedSize(int width, int height, int style);

private:
    static void CopyPlane(char* dst, const uint8_t* src, int pitch, int rowBytes, int rows);
};
