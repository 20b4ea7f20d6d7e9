#pragma once

#include <cstdint>

// The talk-back encoders: 16-bit little-endian PCM in, one byte per sample
// out (mu-law for audio type 0, A-law for the other types).
class TalkCodec {
public:
    static uint8_t MuLaw(int16_t sample);
    static uint8_t ALaw(int16_t sample);
    static int16_t MuLawDecode(uint8_t code);
    static int16_t ALawDecode(uint8_t code);
    // Encodes length bytes of PCM (an odd last byte is ignored); the output
    // length (length / 2), or -1 for a null buffer or a negative length.
    static int EncodeMuLaw(char* out, const char* in, int length);
    static int EncodeALaw(char* out, const char* in, int length);
};
