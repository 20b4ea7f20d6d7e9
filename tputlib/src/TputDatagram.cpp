#include "TputDatagram.h"

#include "TputWire.h"

void tputlib_datagram_write(uint8_t* out, const TputDatagramHeader& h)
{
    tputlib_put_word(out, static_cast<uint32_t>(h.id));
    tputlib_put_word(out + 4, h.sec);
    tputlib_put_word(out + 8, h.usec);
}

TputDatagramHeader tputlib_datagram_read(const uint8_t* in)
{
    return TputDatagramHeader{static_cast<int32_t>(tputlib_get_word(in)), tputlib_get_word(in + 4), tputlib_get_word(in + 8)};
}

void tputlib_stats_write(uint8_t* out, const TputServerStats& s)
{
    const int32_t words[] = {s.flags, s.totalHigh, s.totalLow, s.stopSec, s.stopUsec,
                             s.errors, s.outOfOrder, s.datagrams, s.jitterSec, s.jitterUsec};
    for (size_t i = 0; i < 10; ++i)
        tputlib_put_word(out + 4 * i, static_cast<uint32_t>(words[i]));
}

TputServerStats tputlib_stats_read(const uint8_t* in)
{
    int32_t w[10];
    for (size_t i = 0; i < 10; ++i)
        w[i] = static_cast<int32_t>(tputlib_get_word(in + 4 * i));
    return TputServerStats{w[0], w[1], w[2], w[3], w[4], w[5], w[6], w[7], w[8], w[9]};
}
