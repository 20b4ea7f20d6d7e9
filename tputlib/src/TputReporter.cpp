#include "TputReporter.h"

#include "TputError.h"
#include "TputInet.h"
#include "TputLib.h"
#include "TputSignal.h"
#include "TputThread.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <chrono>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <new>
#include <thread>

namespace {

// The conditions are never destroyed: a program may return from main while
// library threads still wait on them.
std::mutex g_listLock;
std::condition_variable& g_listCondition = *new std::condition_variable;
TputReportHeader* g_reportList = nullptr;

std::mutex g_doneLock;
std::condition_variable& g_doneCondition = *new std::condition_variable;

std::atomic<bool> g_reporterStop{false};
// False once the reporter thread has ended (or could not start): nobody
// consumes a ring then, so producers stop waiting for it.
std::atomic<bool> g_reporterRunning{false};
std::atomic<bool> g_headerPrinted{false};
std::atomic<int> g_restUs{10000};   // between two passes over the list

std::mutex g_groupIdLock;
int g_groupId = 0;

const char kDashes[] = "------------------------------------------------------------\n";

// Counts from the network may be anything: sums stop at the largest value.
int SaturatingAdd(int a, int b)
{
    return static_cast<int>(std::clamp<int64_t>(static_cast<int64_t>(a) + b, INT32_MIN, INT32_MAX));
}

uint64_t SaturatingAdd(uint64_t a, uint64_t b)
{
    return a > UINT64_MAX - b ? UINT64_MAX : a + b;
}

void SignalReporter()
{
    std::lock_guard<std::mutex> lk(g_listLock);
    g_listCondition.notify_all();
}

void SignalDone()
{
    std::lock_guard<std::mutex> lk(g_doneLock);
    g_doneCondition.notify_all();
}

// A connection thread waits for the reporter to make room; the timed wait
// covers a signal given just before the wait began.
void WaitForReporter()
{
    SignalReporter();
    std::unique_lock<std::mutex> lk(g_doneLock);
    g_doneCondition.wait_for(lk, std::chrono::milliseconds(10));
}

void PushHeader(TputReportHeader* header)
{
    std::lock_guard<std::mutex> lk(g_listLock);
    header->next = g_reportList;
    g_reportList = header;
    g_listCondition.notify_all();
}

void FreeHeader(TputReportHeader* header)
{
    if (header->group)
        tputlib_group_unref(header->group);
    delete[] header->ring;
    delete header;
}

void CopyHost(char* out, const char* text)
{
    snprintf(out, kTputHostText, "%s", text ? text : "");
}

void FillFromSettings(TputReportData& d, const TputSettings* s)
{
    CopyHost(d.host, s->host);
    CopyHost(d.localHost, s->localHost);
    d.bufferLength = s->bufferLength;
    d.mss = s->mss;
    d.tcpWindow = s->tcpWindow;
    d.flags = s->flags;
    d.threadMode = s->threadMode;
    d.reportMode = s->reportMode;
    d.port = s->port;
    d.info.transferId = s->sock;
    d.info.format = s->format;
    d.info.ttl = s->ttl;
    d.peer = s->peer;
    d.peerLength = s->peerLength;
    d.local = s->local;
    d.localLength = s->localLength;
}

// A header without ring, for a report printed once (settings, server relay).
TputReportHeader* NewPrintOnce(const TputSettings* s, int type)
{
    TputReportHeader* h = new (std::nothrow) TputReportHeader;
    if (h) {
        FillFromSettings(h->data, s);
        h->data.type = type;
    }
    return h;
}

double Span(const TputTransferInfo& info)
{
    return info.endTime - info.startTime;
}

// --- printers ---------------------------------------------------------------

void PrintTableHeader(const char* text)
{
    if (!g_headerPrinted.exchange(true))
        printf("%s", text);
}

void ConnectionText(const TputReportData& d, char* out, size_t size)
{
    char local[INET6_ADDRSTRLEN];
    char peer[INET6_ADDRSTRLEN];
    tputlib_addr_text(d.local, local, sizeof local);
    tputlib_addr_text(d.peer, peer, sizeof peer);
    if (d.local.ss_family == 0 && d.peer.ss_family == 0)
        snprintf(out, size, ",,,");
    else
        snprintf(out, size, "%s,%u,%s,%u", local, tputlib_addr_port(d.local), peer, tputlib_addr_port(d.peer));
}

void PrintCsvTransfer(const TputReportData& d, const TputTransferInfo& info)
{
    char stamp[32];
    const time_t now = time(nullptr);
    tm local{};
    localtime_r(&now, &local);
    strftime(stamp, sizeof stamp, "%Y%m%d%H%M%S", &local);
    char connection[160];
    ConnectionText(d, connection, sizeof connection);
    const double span = Span(info);
    const uint64_t rate = span > 0 ? static_cast<uint64_t>(info.totalBytes * 8.0 / span) : 0;
    printf("%s,%s,%d,%.1f-%.1f,%" PRIu64 ",%" PRIu64, stamp, connection, info.transferId, info.startTime,
           info.endTime, info.totalBytes, rate);
    if (info.kind == 1) {
        const double loss = info.datagrams > 0 ? 100.0 * info.errors / info.datagrams : 0.0;
        printf(",%.3f,%d,%d,%.3f,%d", info.jitter * 1000.0, info.errors, info.datagrams, loss, info.outOfOrder);
    }
    printf("\n");
}

void PrintMss(const TputReportData& d)
{
    const int mss = d.mss;
    if (mss <= 0) {
        printf("[%3d] MSS and MTU size unknown (TCP_MAXSEG not supported by OS?)\n", d.info.transferId);
        return;
    }
    int mtu = mss + 40;
    const char* net = "unknown interface";
    if (mss >= 1420 && mss <= 1460) { mtu = 1500; net = "ethernet"; }
    else if (mss >= 4272 && mss <= 4312) { mtu = 4352; net = "FDDI"; }
    else if (mss >= 9100 && mss <= 9140) { mtu = 9180; net = "ATM"; }
    else if (mss >= 65200 && mss <= 65240) { mtu = 65280; net = "HIPPI"; }
    else if (mss >= 496 && mss <= 536) {
        mtu = 576;
        net = "minimum";
        printf("WARNING: Path MTU Discovery may not be enabled.\n");
    }
    printf("[%3d] MSS size %d bytes (MTU %d bytes, %s)\n", d.info.transferId, mss, mtu, net);
}

void DeliverResult(const TputReportData& d, const TputTransferInfo& info, TputResultCallback callback, void* context)
{
    TputResult result{};
    tputlib_addr_ipv4_text(d.peer, result.peerAddress, sizeof result.peerAddress);
    result.intervalEnd = info.endTime;
    result.intervalLength = Span(info);
    result.bits = static_cast<double>(info.totalBytes * 8u);
    result.bitsPerSecond = result.intervalLength > 0 ? result.bits / result.intervalLength : 0.0;
    result.finalReport = info.finalFlag;
    result.context = context;
    callback(&result, result.intervalLength);
}

// The transfer and bandwidth texts of a span, as every transfer line shows them.
struct SpanTexts {
    char transfer[32];
    char bandwidth[32];
};

SpanTexts FormatSpan(const TputTransferInfo& info)
{
    SpanTexts t;
    const double span = Span(info);
    tputlib_format_bytes(t.transfer, sizeof t.transfer, static_cast<double>(info.totalBytes),
                         static_cast<char>(toupper(static_cast<unsigned char>(info.format))));
    tputlib_format_bytes(t.bandwidth, sizeof t.bandwidth, span > 0 ? info.totalBytes / span : 0.0, info.format);
    return t;
}

// A UDP server-side span; prefix is the transfer id ("[  3]") or "[SUM]".
void PrintUdpLines(const char* prefix, const TputTransferInfo& info, const SpanTexts& t)
{
    const double loss = info.datagrams > 0 ? info.errors * 100.0 / info.datagrams : 0.0;
    printf("%s %4.1f-%4.1f sec  %ss  %ss/sec  %6.3f ms %4d/%5d (%.2g%%)\n", prefix, info.startTime, info.endTime,
           t.transfer, t.bandwidth, info.jitter * 1000.0, info.errors, info.datagrams, loss);
    if (info.outOfOrder > 0)
        printf("%s %4.1f-%4.1f sec  %d datagrams received out-of-order\n", prefix, info.startTime, info.endTime,
               info.outOfOrder);
}

// A TCP span, or a UDP client's, which closes with its datagram count.
void PrintPlainLines(const char* prefix, const TputTransferInfo& info, const SpanTexts& t)
{
    printf("%s %4.1f-%4.1f sec  %ss  %ss/sec\n", prefix, info.startTime, info.endTime, t.transfer, t.bandwidth);
    if (info.kind == 2 && info.finalFlag)
        printf("%s Sent %d datagrams\n", prefix, info.datagrams);
}

void ReportInterval(const TputReportData& d, const TputTransferInfo& info)
{
    char prefix[16];
    snprintf(prefix, sizeof prefix, "[%3d]", info.transferId);
    if (info.kind == 1) {
        PrintTableHeader("[ ID] Interval       Transfer     Bandwidth        Jitter   Lost/Total Datagrams\n");
        PrintUdpLines(prefix, info, FormatSpan(info));
        return;
    }
    void* context = nullptr;
    TputResultCallback callback = info.kind == 0 ? tputlib_result_callback(&context) : nullptr;
    if (callback) {
        DeliverResult(d, info, callback, context);
        return;
    }
    PrintTableHeader("[ ID] Interval       Transfer     Bandwidth\n");
    PrintPlainLines(prefix, info, FormatSpan(info));
}

void PrintTransfer(const TputReportData& d, const TputTransferInfo& info)
{
    if (d.reportMode == kTputReportCsv)
        PrintCsvTransfer(d, info);
    else
        ReportInterval(d, info);
    if (info.finalFlag && info.kind == 0 && (d.flags & kTputFlagPrintMss))
        PrintMss(d);
    fflush(stdout);
}

void PrintSum(const TputReportData& d, const TputTransferInfo& info)
{
    if (d.reportMode == kTputReportCsv)
        PrintCsvTransfer(d, info);
    else if (info.kind == 1)
        PrintUdpLines("[SUM]", info, FormatSpan(info));
    else
        PrintPlainLines("[SUM]", info, FormatSpan(info));
    fflush(stdout);
}

void PrintConnection(const TputReportData& d)
{
    if (d.reportMode == kTputReportCsv)
        return; // the CSV connection text is built with each transfer line
    char local[INET6_ADDRSTRLEN];
    char peer[INET6_ADDRSTRLEN];
    tputlib_addr_text(d.local, local, sizeof local);
    tputlib_addr_text(d.peer, peer, sizeof peer);
    printf("[%3d] local %s port %u connected with %s port %u\n", d.info.transferId, local,
           tputlib_addr_port(d.local), peer, tputlib_addr_port(d.peer));
    fflush(stdout);
}

void PrintSettings(const TputReportData& d)
{
    if (d.reportMode == kTputReportCsv)
        return;
    const bool udp = d.flags & kTputFlagUdp;
    const bool listener = d.threadMode == kTputModeListener;
    printf("%s", kDashes);
    if (listener)
        printf("Server listening on %s port %d\n", udp ? "UDP" : "TCP", d.port);
    else
        printf("Client connecting to %s, %s port %d\n", d.host, udp ? "UDP" : "TCP", d.port);
    if (d.localHost[0]) {
        printf("Binding to local address %s\n", d.localHost);
        if (d.flags & kTputFlagMulticast)
            printf("Joining multicast group  %s\n", d.localHost);
    }
    if (udp) {
        printf(listener ? "Receiving %d byte datagrams\n" : "Sending %d byte datagrams\n", d.bufferLength);
        if (d.flags & kTputFlagMulticast)
            printf("Setting multicast TTL to %d\n", d.info.ttl);
    }
    const char upper = static_cast<char>(toupper(static_cast<unsigned char>(d.info.format)));
    char actual[64];
    tputlib_format_bytes(actual, sizeof actual, d.actualBuffer, upper);
    printf("%s: %s", udp ? "UDP buffer size" : "TCP window size", actual);
    if (d.tcpWindow == 0) {
        printf(" (default)");
    } else if (d.tcpWindow != d.actualBuffer) {
        char requested[64];
        tputlib_format_bytes(requested, sizeof requested, d.tcpWindow, upper);
        printf(" (WARNING: requested %s)", requested);
    }
    printf("\n%s", kDashes);
    fflush(stdout);
}

// --- statistics -------------------------------------------------------------

// A connection's span placed on its group's timeline: interval spans fall
// into the group's interval they start in, finals keep their length from the
// group's start. Each connection reports from its own start; only the sums
// use the group's.
TputTransferInfo OnGroupTimeline(const TputReportData& d, const TputTransferInfo& info)
{
    TputTransferInfo moved = info;
    const double offset = static_cast<double>(d.groupOffsetUs) / 1e6;
    const double interval = tputlib_time_span(TputTime{0, 0}, d.intervalTime);
    if (!info.finalFlag && interval > 0) {
        moved.startTime = std::floor((info.startTime + offset) / interval + 0.5) * interval;
        moved.endTime = moved.startTime + interval;
    } else {
        moved.startTime = 0;
        moved.endTime = info.endTime + offset;
    }
    return moved;
}

void HandleMultiple(TputGroupHeader* group, const TputReportData& d, const TputTransferInfo& info)
{
    if (!group || !group->sumReport)
        return;
    int threads;
    {
        std::lock_guard<std::mutex> lk(group->barrierLock);
        threads = group->threads;
    }
    if (threads <= 1)
        return;
    const TputTransferInfo moved = OnGroupTimeline(d, info);
    int slot = -1;
    for (int i = 0; i < kTputSumSlots && slot < 0; ++i) {
        const TputTransferInfo& sum = group->sums[i];
        if (group->sumCounts[i] > 0 && sum.finalFlag == moved.finalFlag && sum.startTime == moved.startTime)
            slot = i;
    }
    for (int i = 0; i < kTputSumSlots && slot < 0; ++i) {
        if (group->sums[i].startTime < 0)
            slot = i;
    }
    if (slot < 0)
        return;
    TputTransferInfo& sum = group->sums[slot];
    if (group->sumCounts[slot] == 0) {
        sum = moved;
        sum.transferId = group->groupId;
        sum.groupId = -2;
    } else {
        sum.totalBytes = SaturatingAdd(sum.totalBytes, moved.totalBytes);
        sum.datagrams = SaturatingAdd(sum.datagrams, moved.datagrams);
        sum.errors = SaturatingAdd(sum.errors, moved.errors);
        sum.outOfOrder = SaturatingAdd(sum.outOfOrder, moved.outOfOrder);
        if (moved.endTime > sum.endTime)
            sum.endTime = moved.endTime;
        if (moved.jitter > sum.jitter)
            sum.jitter = moved.jitter;
    }
    if (++group->sumCounts[slot] >= threads) {
        PrintSum(*group->sumReport, sum);
        sum = TputTransferInfo{};
        sum.startTime = -1;
        group->sumCounts[slot] = 0;
    }
}

void EmitTransfer(TputReportHeader* h, TputTransferInfo& info)
{
    PrintTransfer(h->data, info);
    HandleMultiple(h->group, h->data, info);
}

void EmitIntervals(TputReportHeader* h)
{
    TputReportData& d = h->data;
    const bool intervals = d.intervalTime.sec > 0 || d.intervalTime.usec > 0;
    while (intervals && tputlib_time_before(d.nextTime, d.packetTime)) {
        TputTransferInfo& info = d.info;
        info.outOfOrder = d.outOfOrder - d.lastOutOfOrder;
        const int errors = d.errors - d.lastErrors;
        info.errors = errors > info.outOfOrder ? errors - info.outOfOrder : errors;
        info.datagrams = (d.info.kind != 0 ? d.highestId : d.datagrams) - d.lastDatagrams;
        info.totalBytes = d.totalBytes - d.lastTotal;
        info.startTime = info.endTime;
        info.endTime = tputlib_time_span(d.startTime, d.nextTime);
        info.finalFlag = 0;
        d.lastOutOfOrder = d.outOfOrder;
        d.lastErrors = d.errors;
        d.lastDatagrams = d.info.kind != 0 ? d.highestId : d.datagrams;
        d.lastTotal = d.totalBytes;
        d.nextTime = tputlib_time_add(d.nextTime, d.intervalTime);
        EmitTransfer(h, info);
    }
}

void EmitFinal(TputReportHeader* h)
{
    TputReportData& d = h->data;
    TputTransferInfo& info = d.info;
    info.outOfOrder = d.outOfOrder;
    info.errors = d.errors > d.outOfOrder ? d.errors - d.outOfOrder : d.errors;
    info.datagrams = d.info.kind != 0 ? d.highestId : d.datagrams;
    info.totalBytes = d.totalBytes;
    info.startTime = 0;
    info.endTime = tputlib_time_span(d.startTime, d.packetTime);
    info.finalFlag = 1;
    EmitTransfer(h, info);
}

// Returns true when the record carried the final statistics.
bool HandlePacket(TputReportHeader* h, const TputPacket& packet)
{
    TputReportData& d = h->data;
    d.datagrams++;
    d.packetTime = packet.packetTime;
    if (packet.packetId < 0) {
        if (d.threadMode != kTputModeClient)
            d.totalBytes += packet.length;
        EmitFinal(h);
        return true;
    }
    EmitIntervals(h);
    d.totalBytes += packet.length;
    if (packet.packetId != 0) {
        const double transit = tputlib_time_span(packet.sentTime, packet.packetTime);
        if (d.lastTransit != 0) {
            double delta = transit - d.lastTransit;
            if (delta < 0)
                delta = -delta;
            d.info.jitter += (delta - d.info.jitter) / 16.0;
        }
        d.lastTransit = transit;
        // Ids come from the network: any value, so no arithmetic may overflow.
        const int64_t expected = static_cast<int64_t>(d.highestId) + 1;
        if (packet.packetId != expected) {
            if (packet.packetId < expected)
                d.outOfOrder++;
            else
                d.errors = static_cast<int>(std::min<int64_t>(INT32_MAX, d.errors + (packet.packetId - expected)));
        }
        if (packet.packetId > d.highestId)
            d.highestId = packet.packetId;
    }
    EmitIntervals(h);
    return false;
}

void UnlinkSuccessor(TputReportHeader* h)
{
    TputReportHeader* successor;
    {
        std::lock_guard<std::mutex> lk(g_listLock);
        successor = h->next;
        h->next = successor->next;
    }
    FreeHeader(successor);
}

bool ProcessReport(TputReportHeader* h)
{
    if (h->next && ProcessReport(h->next))
        UnlinkSuccessor(h);
    TputReportData& d = h->data;
    if (d.type & kTputReportSettings) {
        d.type &= ~kTputReportSettings;
        PrintSettings(d);
        return true;
    }
    if (d.type & kTputReportServerRelay) {
        d.type &= ~kTputReportServerRelay;
        if (d.reportMode == kTputReportCsv) {
            PrintCsvTransfer(d, d.info);
        } else {
            printf("[%3d] Server Report:\n", d.info.transferId);
            ReportInterval(d, d.info);
        }
        fflush(stdout);
        return true;
    }
    if (d.type & kTputReportConnection) {
        d.type &= ~kTputReportConnection;
        PrintConnection(d);
        if (h->group && h->group->sumReport && (h->group->sumReport->type & kTputReportConnection)) {
            h->group->sumReport->type &= ~kTputReportConnection;
            PrintConnection(*h->group->sumReport);
        }
    }
    if (!(d.type & kTputReportTransfer))
        return true;
    while (h->reporterIndex.load(std::memory_order_acquire) != -1) {
        const int producer = h->producerIndex.load(std::memory_order_acquire);
        const int reporter = h->reporterIndex.load(std::memory_order_relaxed);
        if (producer == reporter + 1 || producer == -1)
            break;
        int next = reporter + 1;
        if (next == kTputRingSize) {
            if (producer == 0)
                break;
            next = 0;
        }
        const bool final = HandlePacket(h, h->ring[next]);
        h->reporterIndex.store(final ? -1 : next, std::memory_order_release);
    }
    return h->producerIndex.load(std::memory_order_acquire) == -1;
}

// Frees the finished headers from the head of the list; stops at the first
// one still in use.
void ProcessList()
{
    for (;;) {
        TputReportHeader* head;
        {
            std::lock_guard<std::mutex> lk(g_listLock);
            head = g_reportList;
        }
        if (!head || !ProcessReport(head))
            return;
        {
            std::lock_guard<std::mutex> lk(g_listLock);
            TputReportHeader** link = &g_reportList;
            while (*link && *link != head)
                link = &(*link)->next;
            if (*link)
                *link = head->next;
        }
        FreeHeader(head);
        SignalDone();
    }
}

} // namespace

void tputlib_group_ref(TputGroupHeader* group)
{
    group->refs.fetch_add(1);
}

void tputlib_group_unref(TputGroupHeader* group)
{
    if (group->refs.fetch_sub(1) == 1) {
        delete group->sumReport;
        delete group;
    }
}

void tputlib_settings_set_group(TputSettings* s, TputGroupHeader* group)
{
    if (s->groupHeader)
        tputlib_group_unref(s->groupHeader);
    s->groupHeader = group;
}

int tputlib_next_group_id()
{
    std::lock_guard<std::mutex> lk(g_groupIdLock);
    return --g_groupId;
}

TputGroupHeader* tputlib_init_multi(TputSettings* settings, int groupId)
{
    if (settings->threads <= 1 && settings->threadMode != kTputModeServer)
        return nullptr;
    TputGroupHeader* group = new (std::nothrow) TputGroupHeader;
    if (!group) {
        tputlib_fail("Out of Memory!!\n");
        return nullptr;
    }
    group->groupId = groupId;
    if (settings->threadMode == kTputModeClient)
        group->threads = settings->threads; // the barrier waits for every parallel stream
    for (TputTransferInfo& sum : group->sums) {
        sum = TputTransferInfo{};
        sum.startTime = -1;
    }
    if (!(settings->flags & kTputFlagNoMultiReport)) {
        group->sumReport = new (std::nothrow) TputReportData{};
        if (group->sumReport) {
            TputReportData& d = *group->sumReport;
            FillFromSettings(d, settings);
            d.type = kTputReportTransfer;
            if (!(settings->flags & kTputFlagNoConnReport))
                d.type |= kTputReportConnection;
            d.info.transferId = groupId;
            d.info.groupId = -2;
            tputlib_addr_set_port(d.peer, 0);
            tputlib_addr_set_port(d.local, 0);
        }
    }
    return group;
}

namespace {

// Parallel clients start their clocks together; a client whose sibling never
// arrives starts alone after a few seconds, and at once on a stop.
TputTime WaitAtBarrier(TputGroupHeader* group)
{
    std::unique_lock<std::mutex> lk(group->barrierLock);
    if (++group->waiters >= group->threads) {
        group->startTime = tputlib_now();
        group->startTaken = true;
        group->barrier.notify_all();
        return group->startTime;
    }
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!group->startTaken && !tputlib_interrupted() && std::chrono::steady_clock::now() < until)
        group->barrier.wait_for(lk, std::chrono::milliseconds(100));
    if (!group->startTaken) {
        group->startTime = tputlib_now();
        group->startTaken = true;
    }
    return group->startTime;
}

bool ReporterGone()
{
    return !g_reporterRunning.load();
}

// A producer waiting for the reporter looks again every millisecond, or at
// each of its passes when it rests less.
void PauseForReporter()
{
    std::this_thread::sleep_for(std::chrono::microseconds(std::min(1000, g_restUs.load())));
}

} // namespace

TputReportHeader* tputlib_init_report(TputSettings* s)
{
    const bool data = !(s->flags & kTputFlagNoDataReport);
    const bool connection = !(s->flags & kTputFlagNoConnReport);
    if (!data && !connection)
        return nullptr;
    TputReportHeader* h = new (std::nothrow) TputReportHeader;
    if (h && data) {
        h->ring = new (std::nothrow) TputPacket[kTputRingSize];
        if (!h->ring) {
            delete h;
            h = nullptr;
        }
    }
    if (!h) {
        tputlib_fail("Out of Memory!!\n");
        return nullptr;
    }
    TputReportData& d = h->data;
    FillFromSettings(d, s);
    d.info.groupId = s->groupHeader ? s->groupHeader->groupId : -1;
    if (s->flags & kTputFlagUdp)
        d.info.kind = s->threadMode == kTputModeServer ? 1 : 2;
    d.intervalTime.sec = static_cast<int32_t>(s->interval);
    d.intervalTime.usec = static_cast<int32_t>((s->interval - d.intervalTime.sec) * 1e6);
    if (data)
        d.type |= kTputReportTransfer;
    if (connection)
        d.type |= kTputReportConnection;
    if ((s->flags & kTputFlagPrintMss) && s->sock >= 0) {
        int mss = 0;
        socklen_t len = sizeof mss;
        if (getsockopt(s->sock, IPPROTO_TCP, TCP_MAXSEG, &mss, &len) == 0)
            d.mss = mss;
    }

    TputGroupHeader* group = s->groupHeader;
    if (group) {
        tputlib_group_ref(group);
        h->group = group;
    }
    if (group && s->threadMode == kTputModeClient) {
        d.startTime = WaitAtBarrier(group);
    } else {
        d.startTime = tputlib_now();
        if (group && !(s->flags & kTputFlagNoMultiReport)) {
            std::lock_guard<std::mutex> lk(group->barrierLock);
            group->threads++;
            if (!group->startTaken) {
                group->startTime = d.startTime;
                group->startTaken = true;
            }
            d.groupOffsetUs = tputlib_time_diff_us(group->startTime, d.startTime);
        }
    }
    d.packetTime = d.startTime;
    d.nextTime = tputlib_time_add(d.startTime, d.intervalTime);
    PushHeader(h);
    return data ? h : nullptr;
}

void tputlib_report_packet(TputReportHeader* h, const TputPacket* packet)
{
    if (!h)
        return;
    int producer = h->producerIndex.load(std::memory_order_relaxed);
    // Without a reporter the record has nowhere to go: it is dropped rather
    // than waited for.
    if (producer == kTputRingSize) {
        while (h->reporterIndex.load(std::memory_order_acquire) == 0) {
            if (ReporterGone())
                return;
            WaitForReporter();
        }
        producer = 0;
        h->producerIndex.store(0, std::memory_order_release);
    }
    while (h->reporterIndex.load(std::memory_order_acquire) == producer + 1) {
        if (ReporterGone())
            return;
        WaitForReporter();
    }
    h->ring[producer] = *packet;
    h->producerIndex.store(producer + 1, std::memory_order_release);
}

void tputlib_close_report(TputReportHeader* h, TputPacket* packet)
{
    packet->packetId = -1;
    packet->length = 0;
    tputlib_report_packet(h, packet);
}

void tputlib_end_report(TputReportHeader* h)
{
    if (!h)
        return;
    // A header the reporter never finished stays in the list; cleanup frees
    // it once every thread has ended.
    while (h->reporterIndex.load(std::memory_order_acquire) != -1 && !ReporterGone()) {
        SignalReporter();
        PauseForReporter();
    }
    h->producerIndex.store(-1, std::memory_order_release);
    SignalReporter();
}

TputTransferInfo* tputlib_get_report(TputReportHeader* h)
{
    while (h->reporterIndex.load(std::memory_order_acquire) != -1 && !ReporterGone())
        PauseForReporter();
    return &h->data.info;
}

void tputlib_report_settings_queue(TputSettings* s)
{
    if (s->flags & kTputFlagNoSettingsReport)
        return;
    TputReportHeader* h = NewPrintOnce(s, kTputReportSettings);
    if (!h)
        return;
    if (s->sock >= 0) {
        int size = 0;
        socklen_t len = sizeof size;
        const int option = s->threadMode == kTputModeListener ? SO_RCVBUF : SO_SNDBUF;
        if (getsockopt(s->sock, SOL_SOCKET, option, &size, &len) == 0)
            h->data.actualBuffer = size;
    }
    PushHeader(h);
}

void tputlib_report_server_stats(TputSettings* s, const TputTransferInfo& stats)
{
    if (s->flags & kTputFlagNoServerReport)
        return;
    TputReportHeader* h = NewPrintOnce(s, kTputReportServerRelay);
    if (!h)
        return;
    const int transferId = h->data.info.transferId;
    h->data.info = stats;
    h->data.info.transferId = transferId;
    h->data.info.format = s->format;
    h->data.info.kind = 1; // printed as the server saw it: with jitter and loss
    h->data.info.finalFlag = 1;
    PushHeader(h);
}

void tputlib_reporter_thread(TputSettings* /*settings*/)
{
    for (;;) {
        {
            std::unique_lock<std::mutex> lk(g_listLock);
            if (!g_reportList) {
                tputlib_thread_set_ignore();
                g_listCondition.wait(lk, [] { return g_reportList || g_reporterStop.load(); });
                tputlib_thread_unset_ignore();
                if (!g_reportList) {
                    g_reporterRunning.store(false);
                    return;
                }
            }
        }
        ProcessList();
        SignalDone();
        std::this_thread::sleep_for(std::chrono::microseconds(g_restUs.load()));
    }
}

void tputlib_reporter_set_rest_us(int us)
{
    g_restUs = us < 1 ? 1 : us;
}

void tputlib_reporter_reset()
{
    g_reporterStop.store(false);
    g_reporterRunning.store(true);
}

void tputlib_reporter_not_started()
{
    g_reporterRunning.store(false);
}

void tputlib_reporter_request_stop()
{
    std::lock_guard<std::mutex> lk(g_listLock);
    g_reporterStop.store(true);
    g_listCondition.notify_all();
}

void tputlib_reporter_free_all()
{
    TputReportHeader* list;
    {
        std::lock_guard<std::mutex> lk(g_listLock);
        list = g_reportList;
        g_reportList = nullptr;
    }
    while (list) {
        TputReportHeader* next = list->next;
        FreeHeader(list);
        list = next;
    }
}

void tputlib_format_bytes(char* out, int size, double bytes, char format)
{
    static const char* const kBitLabels[] = {"bit", "Kbit", "Mbit", "Gbit"};
    static const char* const kByteLabels[] = {"Byte", "KByte", "MByte", "GByte"};
    static const double kBitFactors[] = {1.0, 1e-3, 1e-6, 1e-9};
    static const double kByteFactors[] = {1.0, 1.0 / 1024, 1.0 / 1048576, 1.0 / 1073741824};
    const bool bits = islower(static_cast<unsigned char>(format));
    double value = bits ? bytes * 8.0 : bytes;
    int unit;
    switch (tolower(static_cast<unsigned char>(format))) {
    case 'b': unit = 0; break;
    case 'k': unit = 1; break;
    case 'm': unit = 2; break;
    case 'g': unit = 3; break;
    default: unit = -1; break;
    }
    if (unit >= 0) {
        value *= bits ? kBitFactors[unit] : kByteFactors[unit];
    } else {
        const double base = bits ? 1000.0 : 1024.0;
        unit = 0;
        while (value >= base && unit < 3) {
            value /= base;
            unit++;
        }
    }
    const char* label = bits ? kBitLabels[unit] : kByteLabels[unit];
    if (value < 9.995)
        snprintf(out, size, "%4.2f %s", value, label);
    else if (value < 99.95)
        snprintf(out, size, "%4.1f %s", value, label);
    else
        snprintf(out, size, "%4.0f %s", value, label);
}
