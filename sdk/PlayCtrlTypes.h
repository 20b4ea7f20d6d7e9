#pragma once

#include <cstddef>
#include <cstdint>

// Records of the play library.

// A decoded picture or block of audio, as the display callback receives it.
struct PC_FrameInfo {
    int32_t nWidth;              // 0
    int32_t nHeight;             // 4
    int64_t lTimeStamp;          // 8: milliseconds, from the packet
    int32_t nFrameNumber;        // 16
    int32_t nType;               // 20: PC_FRAME_AUDIO or a video type
    int32_t nYPitch;             // 24
    int32_t nUPitch;             // 28: the U/V plane of a semi-planar picture
    int32_t nVPitch;             // 32: 0 for a semi-planar picture
    int32_t nAPitch;             // 36
    int32_t nAudioLength;        // 40: bytes at pY for an audio frame
    int32_t nReserved;
    const uint8_t* pY;           // 48: Y plane or the audio data
    const uint8_t* pU;           // 56
    const uint8_t* pV;           // 64
};
static_assert(sizeof(PC_FrameInfo) == 72, "decoded-frame record size");
static_assert(offsetof(PC_FrameInfo, nHeight) == 4, "frame height");
static_assert(offsetof(PC_FrameInfo, nType) == 20, "frame type");
static_assert(offsetof(PC_FrameInfo, nYPitch) == 24, "Y pitch");
static_assert(offsetof(PC_FrameInfo, nUPitch) == 28, "U pitch");
static_assert(offsetof(PC_FrameInfo, nVPitch) == 32, "V pitch");
static_assert(offsetof(PC_FrameInfo, nAPitch) == 36, "fourth pitch");
static_assert(offsetof(PC_FrameInfo, nAudioLength) == 40, "audio length");
static_assert(offsetof(PC_FrameInfo, pY) == 48, "Y plane");
static_assert(offsetof(PC_FrameInfo, pU) == 56, "U plane");
static_assert(offsetof(PC_FrameInfo, pV) == 64, "V plane");

enum PcFrameType : int {
    PC_FRAME_AUDIO = 0,
    PC_FRAME_VIDEO = 1,
};

// Picture layouts chosen with PC_SetPixelLayout (ordinal 32).
enum PcPixelLayout : int {
    PC_LAYOUT_PLANAR = 1,        // Y, U, V planes (I420); the default
    PC_LAYOUT_SEMI_PLANAR = 2,   // Y plane and one interleaved U/V plane (NV12)
};

// Player status events of the status callback.
enum PcPlayerEvent : int {
    EVENT_PLAYER_VIDEO_DECODE_THREAD_ABNORMAL = 9,
    EVENT_HW_DECODE_PIX_FMT_NEGOTIATE_FAILED = 10,
    EVENT_PLAYER_STREAM_ERROR = 11,      // a packet could not be decoded; value = its size
};

// Stream-header kinds of PC_OpenStream.
enum PcStreamKind : int {
    PC_STREAM_VIDEO = 0,
    PC_STREAM_AUDIO = 1,
};

enum PcError : int {
    PC_ERR_PARAM = -1,           // a null or malformed argument
    PC_ERR_PORT = -2,            // a port that is not open
    PC_ERR_STATE = -3,           // the port is not in a state for this call
    PC_ERR_FULL = -4,            // the port's input queue is full; the packet was dropped
    PC_ERR_FILE = -5,            // a file could not be read or written
    PC_ERR_DECODE = -6,          // the input could not be decoded
};

constexpr int PC_MAX_PORTS = 64;
constexpr int PC_MAX_PICTURE_SIDE = 4096;
