#include "TputUdpServer.h"

#include "TputDatagram.h"
#include "TputError.h"
#include "TputInet.h"
#include "TputPeerList.h"
#include "TputReporter.h"
#include "TputSettings.h"
#include "TputSignal.h"
#include "TputSockets.h"
#include "TputThread.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstring>
#include <list>
#include <new>
#include <sys/socket.h>
#include <vector>

namespace {

constexpr int kPollMs = 100;
// A finished peer's answer is kept this long for re-sent final datagrams.
constexpr auto kAnswerKeep = std::chrono::seconds(10);
// A peer silent this long is ended as if its final datagram had come.
constexpr auto kPeerSilence = std::chrono::seconds(10);

struct PeerSlot {
    sockaddr_storage addr{};
    TputSettings* settings = nullptr;
    TputReportHeader* report = nullptr;
    bool finished = false;
    uint8_t answer[kTputAckSize] = {};
    std::chrono::steady_clock::time_point lastSeen;
};

// Seconds as the answer's two 32-bit fields. A peer's send times are any
// values, so its jitter may be beyond what the fields hold: it is clamped.
void SplitSeconds(double seconds, int32_t* sec, int32_t* usec)
{
    const double clamped = std::clamp(seconds, 0.0, static_cast<double>(INT32_MAX));
    *sec = static_cast<int32_t>(clamped);
    *usec = std::min(static_cast<int32_t>((clamped - *sec) * 1e6), 999999);
}

PeerSlot* FindSlot(std::list<PeerSlot>& slots, const sockaddr_storage& addr)
{
    for (PeerSlot& slot : slots) {
        if (tputlib_addr_same_host_port(slot.addr, addr))
            return &slot;
    }
    return nullptr;
}

void Answer(int fd, const PeerSlot& slot)
{
    sendto(fd, slot.answer, sizeof slot.answer, 0, reinterpret_cast<const sockaddr*>(&slot.addr),
           tputlib_addr_length(slot.addr));
}

void OpenSlot(std::list<PeerSlot>& slots, const TputSettings* listener, const sockaddr_storage& from)
{
    PeerSlot slot;
    slot.addr = from;
    slot.lastSeen = std::chrono::steady_clock::now();
    tputlib_settings_copy(listener, &slot.settings);
    slot.settings->threadMode = kTputModeServer;
    slot.settings->peer = from;
    slot.settings->peerLength = tputlib_addr_length(from);
    slot.settings->local = listener->local;
    slot.settings->localLength = listener->localLength;
    TputGroupHeader* group = nullptr;
    tputlib_peer_add(from, slot.settings, &group);
    tputlib_settings_set_group(slot.settings, group);
    slot.report = tputlib_init_report(slot.settings);
    slots.push_back(slot);
}

// Ends a peer's report and builds the answer to its final datagram.
void FinishSlot(PeerSlot& slot, TputPacket& packet)
{
    packet.packetTime = tputlib_now();
    tputlib_report_packet(slot.report, &packet);
    tputlib_close_report(slot.report, &packet);
    TputServerStats stats{};
    stats.flags = static_cast<int32_t>(0x80000000u);
    if (slot.report) {
        const TputTransferInfo info = *tputlib_get_report(slot.report);
        stats.totalHigh = static_cast<int32_t>(info.totalBytes >> 32);
        stats.totalLow = static_cast<int32_t>(info.totalBytes & 0xffffffffu);
        SplitSeconds(info.endTime, &stats.stopSec, &stats.stopUsec);
        stats.errors = info.errors;
        stats.outOfOrder = info.outOfOrder;
        stats.datagrams = info.datagrams;
        SplitSeconds(info.jitter, &stats.jitterSec, &stats.jitterUsec);
    }
    tputlib_datagram_write(slot.answer, TputDatagramHeader{-packet.packetId, 0, 0});
    tputlib_stats_write(slot.answer + kTputDatagramHeaderSize, stats);
    tputlib_peer_remove(slot.addr);
    tputlib_end_report(slot.report);
    slot.report = nullptr;
    tputlib_settings_destroy(slot.settings);
    slot.settings = nullptr;
    slot.finished = true;
    slot.lastSeen = std::chrono::steady_clock::now();
}

void Expire(std::list<PeerSlot>& slots)
{
    const auto now = std::chrono::steady_clock::now();
    for (auto it = slots.begin(); it != slots.end();) {
        if (!it->finished && now - it->lastSeen > kPeerSilence) {
            TputPacket packet{};
            FinishSlot(*it, packet);
        }
        if (it->finished && now - it->lastSeen > kAnswerKeep)
            it = slots.erase(it);
        else
            ++it;
    }
}

} // namespace

void tputlib_udp_single_server(TputSettings* listener)
{
    const size_t length = static_cast<size_t>(listener->bufferLength > 0 ? listener->bufferLength : 1);
    std::vector<uint8_t> buffer(std::max(length, kTputAckSize));
    std::list<PeerSlot> slots;
    while (!tputlib_interrupted()) {
        Expire(slots);
        const int ready = tputlib_wait_readable(listener->sock, kPollMs);
        if (ready == 0)
            continue;
        sockaddr_storage from{};
        socklen_t fromLength = sizeof from;
        const ssize_t n = ready > 0 ? recvfrom(listener->sock, buffer.data(), length, 0,
                                              reinterpret_cast<sockaddr*>(&from), &fromLength)
                                    : -1;
        if (n < 0) {
            if (!tputlib_interrupted())
                tputlib_warn_errno("recvfrom");
            break;
        }
        if (static_cast<size_t>(n) < kTputDatagramHeaderSize)
            continue; // too short to be a test datagram
        const TputDatagramHeader header = tputlib_datagram_read(buffer.data());
        PeerSlot* slot = FindSlot(slots, from);
        if (slot && slot->finished) {
            if (header.id < 0) {
                Answer(listener->sock, *slot); // our answer was lost: send it again
                continue;
            }
            // Data from a finished peer's port is a new run (a peer testing
            // again): it gets its own record and answer, not the old one's.
            slots.remove_if([slot](const PeerSlot& s) { return &s == slot; });
            slot = nullptr;
        }
        if (!slot) {
            if (header.id < 0)
                continue;
            OpenSlot(slots, listener, from);
            slot = &slots.back();
        }
        slot->lastSeen = std::chrono::steady_clock::now();
        TputPacket packet{};
        // The lowest id has no positive counterpart: it stands for the highest.
        packet.packetId = header.id >= 0 ? header.id : header.id == INT32_MIN ? INT32_MAX : -header.id;
        packet.length = static_cast<uint64_t>(n);
        packet.packetTime = tputlib_now();
        packet.sentTime = TputTime{static_cast<int32_t>(header.sec), static_cast<int32_t>(header.usec)};
        if (header.id < 0) {
            FinishSlot(*slot, packet);
            Answer(listener->sock, *slot);
        } else {
            tputlib_report_packet(slot->report, &packet);
        }
    }
    for (PeerSlot& slot : slots) {
        if (!slot.finished) {
            TputPacket packet{};
            FinishSlot(slot, packet);
        }
    }
}
