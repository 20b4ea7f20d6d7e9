#include "TputTestBack.h"

#include "TputClientHeader.h"
#include "TputClientThread.h"
#include "TputInet.h"
#include "TputListener.h"
#include "TputSettings.h"

#include <algorithm>
#include <atomic>
#include <cstdio>

namespace {

std::atomic<int> g_streams{0};

bool Reserve(int streams)
{
    int used = g_streams.load();
    do {
        if (used + streams > kTputMaxBackStreams)
            return false;
    } while (!g_streams.compare_exchange_weak(used, used + streams));
    return true;
}

void Refuse(const TputSettings* server, const char* why, const TputClientHeader& h)
{
    char peer[64];
    tputlib_addr_text(server->peer, peer, sizeof peer);
    fprintf(stderr, "WARNING: %s asked for a test back with threads %d, port %d, length %d, window %d, amount %d: refused (%s)\n",
            peer, h.threads, h.port, h.bufferLength, h.windowOrRate, h.amount, why);
}

} // namespace

TputSettings* tputlib_test_back_prepare(const TputSettings* server, const TputClientHeader& header)
{
    if (!(header.flags & kTputHeaderVersion1))
        return nullptr;
    if (!tputlib_header_sane(header)) {
        Refuse(server, "values out of range", header);
        return nullptr;
    }
    const int streams = std::max(1, static_cast<int>(header.threads));
    if (!Reserve(streams)) {
        char why[96];
        snprintf(why, sizeof why, "%d of %d streams back already running", g_streams.load(), kTputMaxBackStreams);
        Refuse(server, why, header);
        return nullptr;
    }
    TputSettings* client = tputlib_settings_from_header(server, header);
    tputlib_client_init(client);
    // Every record of the chain is one stream; each gives its share back when
    // it is freed, whether it ran or not.
    int marked = 0;
    for (TputSettings* s = client; s; s = s->runNow) {
        s->backStream = true;
        marked++;
    }
    g_streams.fetch_sub(streams - marked);
    return client;
}

void tputlib_test_back_release()
{
    g_streams.fetch_sub(1);
}

int tputlib_test_back_streams()
{
    return g_streams.load();
}
