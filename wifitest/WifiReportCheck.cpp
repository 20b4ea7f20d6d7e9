#include "WifiReportCheck.h"

#include <arpa/inet.h>

#include <algorithm>
#include <cstring>
#include <string>

namespace {

// A report's connection began at (arrival - its interval end). The server
// measures spans on the wall clock and the panel on the monotonic tick, and
// the panel's own start sends the command a moment before it records the
// test: a connection that seems to begin this much before the test is still
// the test's.
constexpr double kStartSlackSeconds = 1.0;

// The camera's client counts its duration from its connect, the server's
// span from when the connection's thread has read the header, so a whole run
// may fall short of the duration by that set-up time. A second covers it on
// a loaded station; a short test allows at most half its duration.
constexpr double kMaxShortfallSeconds = 1.0;

bool ParseIpv4(const char* text, size_t size, uint32_t* out)
{
    const size_t length = strnlen(text, size);
    if (length == size)
        return false;
    in_addr address{};
    if (inet_pton(AF_INET, std::string(text, length).c_str(), &address) != 1)
        return false;
    *out = address.s_addr;
    return true;
}

}  // namespace

WifiReportCheck::WifiReportCheck(const QString& cameraAddress, int durationSeconds, uint64_t beginMs)
    : m_durationSeconds(durationSeconds)
    , m_beginMs(beginMs)
{
    const QByteArray text = cameraAddress.toLatin1();
    m_hasCamera = ParseIpv4(text.constData(), size_t(text.size()) + 1, &m_camera);
}

WifiReportFate WifiReportCheck::Check(const TputResult& report, uint64_t nowMs) const
{
    if (!m_hasCamera)
        return WifiReportFate::NoCamera;
    uint32_t peer = 0;
    if (!ParseIpv4(report.peerAddress, sizeof report.peerAddress, &peer) || peer != m_camera)
        return WifiReportFate::OtherPeer;
    const double sinceBegin = (double(nowMs) - double(m_beginMs)) / 1000.0;
    // Negated so that a span that is not a number counts as earlier.
    if (!(report.intervalEnd <= sinceBegin + kStartSlackSeconds))
        return WifiReportFate::EarlierConnection;
    if (!report.finalReport)
        return WifiReportFate::Take;
    if (!(report.bits > 0))
        return WifiReportFate::NoData;
    const double shortfall = std::min(kMaxShortfallSeconds, m_durationSeconds / 2.0);
    if (!(report.intervalLength >= m_durationSeconds - shortfall))
        return WifiReportFate::ShortSpan;
    return WifiReportFate::Take;
}

const char* WifiReportCheck::Why(WifiReportFate fate)
{
    switch (fate) {
    case WifiReportFate::Take: return "taken";
    case WifiReportFate::NoCamera: return "no camera is under test";
    case WifiReportFate::OtherPeer: return "not from the camera under test";
    case WifiReportFate::EarlierConnection: return "its connection began before this test";
    case WifiReportFate::NoData: return "it carries no data";
    case WifiReportFate::ShortSpan: return "its span does not cover the test's duration";
    }
    return "";
}
