#include "TputServer.h"

#include "TputError.h"
#include "TputPeerList.h"
#include "TputReporter.h"
#include "TputSettings.h"
#include "TputSockets.h"

#include <cerrno>
#include <new>
#include <sys/socket.h>

void tputlib_server_spawn(TputSettings* s)
{
    char* buffer = new (std::nothrow) char[s->bufferLength > 0 ? s->bufferLength : 1];
    if (!buffer) {
        tputlib_warn_errno("No memory for buffer\n");
        tputlib_peer_remove(s->peer);
        tputlib_sockets_close(s->sock);
        return;
    }
    tputlib_server_run(s, buffer);
    if (tputlib_sockets_close(s->sock) < 0)
        tputlib_warn_errno("close");
    s->sock = -1;
    delete[] buffer;
}

void tputlib_server_run(TputSettings* s, char* buffer)
{
    TputReportHeader* report = tputlib_init_report(s);
    TputPacket packet{};
    const bool perReceive = s->interval > 0;
    const size_t length = s->bufferLength > 0 ? static_cast<size_t>(s->bufferLength) : 1;
    uint64_t total = s->initialBytes;
    if (perReceive && s->initialBytes > 0) {
        packet.length = s->initialBytes;
        packet.packetTime = tputlib_now();
        tputlib_report_packet(report, &packet);
    }
    ssize_t received;
    do {
        received = recv(s->sock, buffer, length, 0);
        if (received < 0 && errno == EINTR)
            continue;
        // An error ends the loop like an orderly close and is never counted.
        if (received > 0)
            total += static_cast<uint64_t>(received);
        if (perReceive) {
            packet.length = received > 0 ? static_cast<uint64_t>(received) : 0;
            packet.packetTime = tputlib_now();
            tputlib_report_packet(report, &packet);
        }
    } while (received > 0 || (received < 0 && errno == EINTR));
    packet.packetTime = tputlib_now();
    if (!perReceive)
        packet.length = total;
    tputlib_report_packet(report, &packet);
    tputlib_close_report(report, &packet);
    tputlib_peer_remove(s->peer);
    tputlib_end_report(report);
}
