// The 24-byte header a throughput client sends first: read from the wire,
// judged, and turned into the settings of the run back it asks for.
#include "FuzzEnv.h"

#include "TputClientHeader.h"
#include "TputListener.h"
#include "TputSettings.h"

#include <arpa/inet.h>
#include <cstring>
#include <netinet/in.h>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    FuzzEnv::Init(argc, argv, FuzzEnv::AppKind::Core);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    uint8_t wire[kTputHeaderSize] = {};
    memcpy(wire, data, size < sizeof wire ? size : sizeof wire);
    TputClientHeader header;
    tputlib_header_from_wire(wire, &header);
    uint8_t again[kTputHeaderSize];
    tputlib_header_to_wire(header, again);
    if (memcmp(wire, again, sizeof wire) != 0)
        FuzzEnv::Fail("the header does not go back to the same bytes");
    if (!tputlib_header_sane(header))
        return 0;

    // The server's record of the connection the header came on.
    TputSettings* server = new TputSettings;
    tputlib_settings_init(server);
    tputlib_apply_option('s', "", server);
    sockaddr_in& peer = reinterpret_cast<sockaddr_in&>(server->peer);
    peer.sin_family = AF_INET;
    peer.sin_port = htons(40000);
    peer.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    server->peerLength = sizeof peer;
    TputSettings* back = tputlib_settings_from_header(server, header);
    if (back->port != header.port || back->threads != header.threads || !back->host
        || strcmp(back->host, "127.0.0.1") != 0)
        FuzzEnv::Fail("the run back does not go where the header says");
    tputlib_settings_destroy(back);
    tputlib_settings_destroy(server);
    return 0;
}
