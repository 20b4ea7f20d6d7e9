#pragma once

#include <QByteArray>

#include <cstdint>

// Plane layouts of a decoded picture.
enum FrameStyle : int {
    FRAME_STYLE_SEMI_PLANAR = 0,    // Y plane, then interleaved U/V rows
    FRAME_STYLE_PLANAR = 1,         // Y, then V, then U planes
    FRAME_STYLE_PLANAR_FULL = 2,    // planar, no luminance offset in the shader
};

// One decoded picture with its planes packed row after row. A renderer owns
// three of them for its whole life and reuses them.
struct FrameBuffer {
    bool consumed = true;           // free to be filled
    bool filling = false;           // being packed on the decode thread: never drawn
    int style = FRAME_STYLE_PLANAR;
    int width = 0;
    int height = 0;
    int pitches[4] = {0, 0, 0, 0};  // as the decoded frame gave them
    QByteArray planes;
    // Where the packed planes start and how many bytes each holds; the paint
    // uploads from these, never past planes.size().
    int chromaOffset[2] = {0, 0};   // [0] U (or U/V pairs), [1] V
    int chromaBytes[2] = {0, 0};
    uint64_t generation = 0;        // queue generation the fill started in
};
