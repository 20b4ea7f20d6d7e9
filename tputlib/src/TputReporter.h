#pragma once

#include "TputSettings.h"
#include "TputTimer.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>

// One receive or send event handed from a connection thread to the reporter.
struct TputPacket {
    int32_t packetId; // 0 for TCP, datagram number for UDP, -1 for the end record
    uint64_t length;
    TputTime packetTime;
    TputTime sentTime;
};

// What the printers receive for one span.
struct TputTransferInfo {
    int transferId;
    int groupId;
    int errors;
    int outOfOrder;
    int datagrams;
    uint64_t totalBytes;
    double jitter;
    double startTime;
    double endTime;
    char format;
    int ttl;
    int kind; // 0 TCP, 1 UDP server side, 2 UDP client side
    int finalFlag;
};

enum TputReportType : int {
    kTputReportTransfer = 1,
    kTputReportServerRelay = 2,
    kTputReportSettings = 4,
    kTputReportConnection = 8,
};

constexpr int kTputRingSize = 700;
constexpr int kTputSumSlots = 5;
constexpr int kTputHostText = 256;

struct TputReportData {
    char host[kTputHostText];
    char localHost[kTputHostText];
    int type;
    int errors, lastErrors;
    int outOfOrder, lastOutOfOrder;
    int datagrams, lastDatagrams;
    int highestId;
    int bufferLength;
    int mss;
    int tcpWindow;
    int flags;
    int threadMode;
    int reportMode;
    uint64_t totalBytes;
    uint64_t lastTotal;
    double lastTransit;
    uint16_t port;
    TputTransferInfo info;
    sockaddr_storage peer;
    socklen_t peerLength;
    sockaddr_storage local;
    socklen_t localLength;
    TputTime startTime;
    TputTime packetTime;
    TputTime nextTime;
    TputTime intervalTime;
    int64_t groupOffsetUs; // own start minus the group's, for the sums
    int actualBuffer; // socket buffer size read when a settings report is queued
};

struct TputGroupHeader;

// One per connection (or one-shot settings report). The ring is written by
// the connection thread and read by the reporter without a lock.
struct TputReportHeader {
    std::atomic<int> reporterIndex{kTputRingSize - 1};
    std::atomic<int> producerIndex{0};
    TputReportData data{};
    TputGroupHeader* group = nullptr;
    TputReportHeader* next = nullptr;
    TputPacket* ring = nullptr;
};

// Shared by the connections of one peer host, or by one parallel client run.
struct TputGroupHeader {
    std::atomic<int> refs{1};
    int groupId = 0;
    int threads = 0;
    std::mutex barrierLock;
    std::condition_variable barrier;
    int waiters = 0;
    bool startTaken = false;
    TputTime startTime{};
    TputReportData* sumReport = nullptr;
    TputTransferInfo sums[kTputSumSlots];
    int sumCounts[kTputSumSlots] = {};
};

void tputlib_group_ref(TputGroupHeader* group);
void tputlib_group_unref(TputGroupHeader* group);
// Makes group the one the record belongs to: takes over the caller's
// reference and releases the record's previous group.
void tputlib_settings_set_group(TputSettings* settings, TputGroupHeader* group);

TputReportHeader* tputlib_init_report(TputSettings* settings);
void tputlib_report_packet(TputReportHeader* header, const TputPacket* packet);
void tputlib_close_report(TputReportHeader* header, TputPacket* packet);
void tputlib_end_report(TputReportHeader* header);
TputTransferInfo* tputlib_get_report(TputReportHeader* header);
TputGroupHeader* tputlib_init_multi(TputSettings* settings, int groupId);
void tputlib_report_settings_queue(TputSettings* settings);
// Queues the statistics a UDP server sent back to this client.
void tputlib_report_server_stats(TputSettings* settings, const TputTransferInfo& stats);

// Body of the reporter thread; returns only after tputlib_reporter_request_stop
// once the report list is empty.
void tputlib_reporter_thread(TputSettings* settings);
// Readies the reporter's state before its thread is started.
void tputlib_reporter_reset();
// The reporter's rest between two passes over the list: 10,000 us; tests
// shorten it so that a connection's final report comes without waiting.
void tputlib_reporter_set_rest_us(int us);
// The reporter thread could not be started: producers must not wait for it.
void tputlib_reporter_not_started();
void tputlib_reporter_request_stop();
// Frees every report header left in the list (after the reporter ended).
void tputlib_reporter_free_all();

// Formats a byte count in the unit the format letter picks.
void tputlib_format_bytes(char* out, int size, double bytes, char format);

// Next stream-group id, counting down from -1.
int tputlib_next_group_id();
