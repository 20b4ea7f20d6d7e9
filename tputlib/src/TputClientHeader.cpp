#include "TputClientHeader.h"

#include "TputSettings.h"
#include "TputWire.h"

namespace {

void PutWord(uint8_t* out, int32_t value)
{
    tputlib_put_word(out, static_cast<uint32_t>(value));
}

int32_t GetWord(const uint8_t* in)
{
    return static_cast<int32_t>(tputlib_get_word(in));
}

} // namespace

void tputlib_make_client_header(const TputSettings* s, TputClientHeader* h)
{
    *h = TputClientHeader{};
    if (s->testMode != kTputTestNormal)
        h->flags = kTputHeaderVersion1;
    if (s->testMode == kTputTestDual)
        h->flags |= kTputHeaderRunNow;
    h->threads = s->threads;
    h->port = s->listenPort != 0 ? s->listenPort : s->port;
    h->bufferLength = (s->flags & kTputFlagBufLenSet) ? s->bufferLength : 0;
    h->windowOrRate = (s->flags & kTputFlagUdp) ? static_cast<int32_t>(s->udpRate) : s->tcpWindow;
    const int32_t amount = static_cast<int32_t>(s->amount & 0x7fffffffu);
    h->amount = (s->flags & kTputFlagModeTime) ? -amount : amount;
}

void tputlib_header_to_wire(const TputClientHeader& h, uint8_t out[kTputHeaderSize])
{
    PutWord(out + 0, h.flags);
    PutWord(out + 4, h.threads);
    PutWord(out + 8, h.port);
    PutWord(out + 12, h.bufferLength);
    PutWord(out + 16, h.windowOrRate);
    PutWord(out + 20, h.amount);
}

void tputlib_header_from_wire(const uint8_t in[kTputHeaderSize], TputClientHeader* h)
{
    h->flags = GetWord(in + 0);
    h->threads = GetWord(in + 4);
    h->port = GetWord(in + 8);
    h->bufferLength = GetWord(in + 12);
    h->windowOrRate = GetWord(in + 16);
    h->amount = GetWord(in + 20);
}

bool tputlib_header_sane(const TputClientHeader& h)
{
    return h.threads >= 0 && h.threads <= kTputMaxBackThreads && h.port > 0 && h.port <= 65535 &&
           h.bufferLength >= 0 && h.bufferLength <= kTputMaxBackBuffer && h.windowOrRate >= 0 &&
           h.windowOrRate <= kTputMaxBackWindow && h.amount >= -kTputMaxBackHundredths;
}
