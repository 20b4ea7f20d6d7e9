#pragma once

#include <cstdint>

// Big-endian 32-bit words, as every header and answer of the protocol carries
// them.
inline void tputlib_put_word(uint8_t* out, uint32_t v)
{
    out[0] = static_cast<uint8_t>(v >> 24);
    out[1] = static_cast<uint8_t>(v >> 16);
    out[2] = static_cast<uint8_t>(v >> 8);
    out[3] = static_cast<uint8_t>(v);
}

inline uint32_t tputlib_get_word(const uint8_t* in)
{
    return (uint32_t{in[0]} << 24) | (uint32_t{in[1]} << 16) | (uint32_t{in[2]} << 8) | in[3];
}
