#include "TputDatagram.h"

namespace {

void PutWord(uint8_t* out, uint32_t v)
{
    out[0] = static_cast<uint8_t>(v >> 24);
    out[1] = static_cast<uint8_t>(v >> 16);
    out[2] = static_cast<uint8_t>(v >> 8);
    out[3] = static_cast<uint8_t>(v);
}

uint32_t GetWord(const uint8_t* in)
{
    return (uint32_t{in[0]} << 24) | (uint32_t{in[1]} << 16) | (uint32_t{in[2]} << 8) | in[3];
}

} // namespace

void tputlib_datagram_write(uint8_t* out, const TputDatagramHeader& h)
{
    PutWord(out, static_cast<uint32_t>(h.id));
    PutWord(out + 4, h.sec);
    PutWord(out + 8, h.usec);
}

TputDatagramHeader tputlib_datagram_read(const uint8_t* in)
{
    return TputDatagramHeader{static_cast<int32_t>(GetWord(in)), GetWord(in + 4), GetWord(in + 8)};
}

void tputlib_stats_write(uint8_t* out, const TputServerStats& s)
{
    const int32_t words[] = {s.flags, s.totalHigh, s.totalLow, s.stopSec, s.stopUsec,
                             s.errors, s.outOfOrder, s.datagrams, s.jitterSec, s.jitterUsec};
    for (size_t i = 0; i < 10; ++i)
        PutWord(out + 4 * i, static_cast<uint32_t>(words[i]));
}

TputServerStats tputlib_stats_read(const uint8_t* in)
{
    int32_t w[10];
    for (size_t i = 0; i < 10; ++i)
        w[i] = static_cast<int32_t>(GetWord(in + 4 * i));
    return TputServerStats{w[0], w[1], w[2], w[3], w[4], w[5], w[6], w[7], w[8], w[9]};
}
