#pragma once

#include <cstdint>
#include <cstdio>
#include <sys/socket.h>

struct TputReportHeader;
struct TputGroupHeader;

// Bits of TputSettings::flags.
enum TputFlag : int32_t {
    kTputFlagBufLenSet = 0x1,
    kTputFlagCompat = 0x2,
    kTputFlagDaemon = 0x4,
    kTputFlagIPv6 = 0x8,
    kTputFlagFileInput = 0x10,
    kTputFlagNoDelay = 0x20,
    kTputFlagPrintMss = 0x40,
    kTputFlagRemoveService = 0x80,
    kTputFlagStdin = 0x100,
    kTputFlagStdout = 0x200,
    kTputFlagSuggestWin = 0x400,
    kTputFlagUdp = 0x800,
    kTputFlagModeTime = 0x1000,
    kTputFlagReportSettings = 0x2000,
    kTputFlagMulticast = 0x4000,
    kTputFlagNoSettingsReport = 0x8000,
    kTputFlagNoConnReport = 0x10000,
    kTputFlagNoDataReport = 0x20000,
    kTputFlagNoServerReport = 0x40000,
    kTputFlagNoMultiReport = 0x80000,
    kTputFlagSingleClient = 0x100000,
    kTputFlagSingleUdp = 0x200000,
};

enum TputTestMode : int32_t { kTputTestNormal = 0, kTputTestDual = 1, kTputTestTradeoff = 2 };
enum TputReportMode : int32_t { kTputReportDefault = 0, kTputReportCsv = 1 };

// Describes one thread of the library; every thread owns its record and frees
// it when it ends.
struct TputSettings {
    char* fileName;
    char* host;
    char* localHost;
    char* outputFileName;
    FILE* inputStream;
    TputReportHeader* reportHeader;
    TputGroupHeader* groupHeader;
    TputSettings* runNow;
    TputSettings* runNext;
    int32_t threads;
    int32_t tos;
    int32_t sock;
    int32_t inputSize;
    int32_t bufferLength;
    int32_t mss;
    int32_t tcpWindow;
    int32_t flags;
    int32_t threadMode;
    int32_t reportMode;
    int32_t testMode;
    uint64_t udpRate;
    uint64_t amount;
    double interval;
    uint16_t listenPort;
    uint16_t port;
    char format;
    int32_t ttl;
    sockaddr_storage peer;
    socklen_t peerLength;
    sockaddr_storage local;
    socklen_t localLength;
    uint32_t threadId;
    void* threadHandle;
    // A stream of a run back that a peer asked for: counted against the cap
    // of such streams until the record is freed. Never copied.
    bool backStream;
};

constexpr int32_t kTputDefaultBufferLength = 131072;

void tputlib_settings_init(TputSettings* settings);
void tputlib_settings_copy(const TputSettings* source, TputSettings** copy);
void tputlib_settings_destroy(TputSettings* settings);
// Frees a record that never ran, with the records linked to run with it.
void tputlib_settings_destroy_chain(TputSettings* settings);

void tputlib_apply_option(char option, const char* value, TputSettings* settings);
void tputlib_parse_environment(TputSettings* settings);
void tputlib_parse_command_line(int argc, char** argv, TputSettings* settings);

uint64_t tputlib_parse_size(const char* text);

// Resolves text into addr (IPv6 preferred when asked). Returns 0 on success;
// a resolver error prints its message and returns -1, leaving addr as it was.
int tputlib_resolve(const char* text, sockaddr_storage* addr, bool preferIPv6);
