#include "TalkCodec.h"

namespace {

int16_t ReadSample(const char* in, int index)
{
    const auto* p = reinterpret_cast<const unsigned char*>(in) + index * 2;
    return int16_t(uint16_t(p[0]) | uint16_t(p[1]) << 8);
}

template <uint8_t (*Encode)(int16_t)>
int EncodeBlock(char* out, const char* in, int length)
{
    if (!out || !in || length < 0)
        return -1;
    const int samples = length / 2;
    for (int i = 0; i < samples; ++i)
        out[i] = char(Encode(ReadSample(in, i)));
    return samples;
}

}  // namespace

uint8_t TalkCodec::MuLaw(int16_t sample)
{
    const int kBias = 0x84;
    const int kClip = 32635;
    int s = sample;
    const int sign = s < 0 ? 0x80 : 0;
    if (s < 0)
        s = -s;
    if (s > kClip)
        s = kClip;
    s += kBias;
    int exponent = 7;
    for (int mask = 0x4000; (s & mask) == 0 && exponent > 0; mask >>= 1)
        --exponent;
    const int mantissa = (s >> (exponent + 3)) & 0x0F;
    return uint8_t(~(sign | (exponent << 4) | mantissa));
}

int16_t TalkCodec::MuLawDecode(uint8_t code)
{
    code = uint8_t(~code);
    const int sign = code & 0x80;
    const int exponent = (code >> 4) & 0x07;
    const int mantissa = code & 0x0F;
    int s = ((mantissa << 3) + 0x84) << exponent;
    s -= 0x84;
    return int16_t(sign ? -s : s);
}

uint8_t TalkCodec::ALaw(int16_t sample)
{
    int s = sample >> 3;   // 13-bit magnitude
    int sign = 0x80;
    if (s < 0) {
        s = -s - 1;
        sign = 0;
    }
    if (s > 0x0FFF)
        s = 0x0FFF;
    uint8_t code;
    if (s < 32) {
        code = uint8_t(s >> 1);
    } else {
        int exponent = 1;
        for (int v = s >> 5; v > 1; v >>= 1)
            ++exponent;
        code = uint8_t((exponent << 4) | ((s >> exponent) & 0x0F));
    }
    return uint8_t((code | sign) ^ 0x55);
}

int16_t TalkCodec::ALawDecode(uint8_t code)
{
    code ^= 0x55;
    const int sign = code & 0x80;
    const int exponent = (code >> 4) & 0x07;
    const int mantissa = code & 0x0F;
    int s = exponent == 0 ? (mantissa << 1) + 1 : ((mantissa << 1) + 33) << (exponent - 1);
    s <<= 3;
    return int16_t(sign ? s : -s);
}

int TalkCodec::EncodeMuLaw(char* out, const char* in, int length)
{
    return EncodeBlock<&TalkCodec::MuLaw>(out, in, length);
}

int TalkCodec::EncodeALaw(char* out, const char* in, int length)
{
    return EncodeBlock<&TalkCodec::ALaw>(out, in, length);
}
