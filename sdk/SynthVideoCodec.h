#pragma once

#include <QByteArray>

#include <cstdint>
#include <vector>

// Our video codec for the simulated cameras: a picture is sent as one Y, U, V
// triple per 8x8 block. The packet: "VSN1", uint16 width, uint16 height,
// uint32 frame number, uint32 flags (bit 0 key picture), then the blocks row
// by row (little-endian, 16-byte head).
class SynthVideoCodec {
public:
    static constexpr int kBlock = 8;
    static constexpr int kHeadSize = 16;
    static constexpr int kMaxSide = 4096;

    struct Picture {
        int width = 0;
        int height = 0;
        uint32_t frameNumber = 0;
        int yPitch = 0;
        int uPitch = 0;
        int vPitch = 0;          // 0 for semi-planar
        std::vector<uint8_t> y;
        std::vector<uint8_t> u;  // the interleaved U/V plane when semi-planar
        std::vector<uint8_t> v;
    };

    // True when the size can be coded: positive multiples of 8 up to kMaxSide.
    static bool ValidSize(int width, int height);
    // The moving test picture (colour bars drifting left, a white square
    // travelling across) as a packet; empty for an invalid size. Channel 1 (the
    // second lens of a two-lens camera) draws grey bars instead: its picture
    // has no colour, so U and V are 128 everywhere.
    static QByteArray EncodeTestPicture(int width, int height, uint32_t frameNumber, int channel = 0);
    // Decodes a packet; false for a packet that is short, oversized or not ours.
    static bool Decode(const char* data, int length, bool semiPlanar, Picture* out);
};
