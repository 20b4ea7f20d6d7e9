#pragma once

#include "TputLib.h"

#include <QString>

#include <cstdint>

// What a throughput report is to the test under way.
enum class WifiReportFate {
    Take,               // the camera's report: shown, and judged when final
    NoCamera,           // the test names no camera to judge
    OtherPeer,          // another address: a neighbour, or the camera before
    EarlierConnection,  // began before this test: a late report of an earlier one
    NoData,             // a final report without a byte (a silent connection)
    ShortSpan,          // a final report that does not cover the test's duration
};

// Tells the reports of one test from all others the server hands over: the
// server serves every peer and reports each connection until it ends, so a
// neighbour's run, the previous camera's late end, a stray connection or a
// burst cut short would otherwise be judged for the camera under test.
class WifiReportCheck {
public:
    WifiReportCheck() = default;
    // cameraAddress: the camera's dotted IPv4 address (none judges nothing);
    // durationSeconds: how long it was told to send; beginMs: the test's
    // start on the station's tick.
    WifiReportCheck(const QString& cameraAddress, int durationSeconds, uint64_t beginMs);

    // nowMs: when the report arrived, on the same tick.
    WifiReportFate Check(const TputResult& report, uint64_t nowMs) const;

    bool HasCamera() const { return m_hasCamera; }
    int DurationSeconds() const { return m_durationSeconds; }
    static const char* Why(WifiReportFate fate);

private:
    bool m_hasCamera = false;
    uint32_t m_camera = 0;   // network order
    int m_durationSeconds = 0;
    uint64_t m_beginMs = 0;
};
