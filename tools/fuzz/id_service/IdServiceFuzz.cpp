// The ID-service thread's requests: the device address of each is a text from
// the device's records. A request sends the fixed 40-byte datagram to that
// address, port 3030, or nothing for a text that is no address. The socket
// calls that would leave this process are taken here (port 3031 is never
// bound, nothing is sent); every datagram is checked.
//
// Input: the address text of one request.
#include "ControllerHarness.h"
#include "FuzzEnv.h"
#include "FuzzInput.h"

#include "CConfigFile.h"
#include "LeftTopWidget.h"
#include "LeftTopWidgetTestPeer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>

namespace {

// After every fuzzed request: its arrival at the device's address ends the wait.
constexpr char kSentinel[] = "127.0.0.254";

std::atomic<int> g_sentinels{0};
std::atomic<bool> g_bad{false};
char g_why[160];

bool Expected(const void* data, size_t length)
{
    const uint8_t words[] = {0xDC, 0xFE, 0xEF, 0xCD, 1, 0, 0, 0, 5, 0, 0, 0, 24, 0, 0, 0, 16, 0, 0, 0};
    if (length != 40 || memcmp(data, words, sizeof words) != 0)
        return false;
    const auto* rest = static_cast<const uint8_t*>(data) + sizeof words;
    return std::all_of(rest, rest + 20, [](uint8_t b) { return b == 0; });
}

}  // namespace

extern "C" {

int __real_bind(int fd, const struct sockaddr* address, socklen_t length);
ssize_t __real_sendto(int fd, const void* data, size_t length, int flags, const struct sockaddr* to, socklen_t toLength);

int __wrap_bind(int fd, const struct sockaddr* address, socklen_t length)
{
    const auto* in = reinterpret_cast<const sockaddr_in*>(address);
    if (length >= sizeof(sockaddr_in) && in->sin_family == AF_INET && ntohs(in->sin_port) == 3031)
        return 0;
    return __real_bind(fd, address, length);
}

ssize_t __wrap_sendto(int fd, const void* data, size_t length, int flags, const struct sockaddr* to, socklen_t toLength)
{
    const auto* in = reinterpret_cast<const sockaddr_in*>(to);
    if (!to || toLength < sizeof(sockaddr_in) || in->sin_family != AF_INET)
        return __real_sendto(fd, data, length, flags, to, toLength);
    if (ntohs(in->sin_port) != 3030 || !Expected(data, length)) {
        snprintf(g_why, sizeof g_why, "a datagram of %zu bytes to port %u", length, unsigned(ntohs(in->sin_port)));
        g_bad = true;
    }
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &in->sin_addr, text, sizeof text);
    if (strcmp(text, kSentinel) == 0)
        ++g_sentinels;
    return ssize_t(length);
}

}  // extern "C"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    FuzzEnv::Init(argc, argv, FuzzEnv::AppKind::Widgets);
    // The thread runs in test mode 1 only.
    ConfigInfo info;
    CConfigFile::GetInstance()->GetConfigInfo(info);
    info.m_SystemConfig.iTestMode = 1;
    CConfigFile::GetInstance()->WriteConfig(info.m_SystemConfig);
    if (!Peer(ControllerHarness::Controller()).Workers().IsAlive(StationWorkers::IdService))
        FuzzEnv::Fail("no ID-service thread");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    LeftTopWidget& w = ControllerHarness::Controller();
    const int before = g_sentinels.load();
    Peer(w).PostIdServiceRequest(QByteArray(reinterpret_cast<const char*>(data), int(size)));
    Peer(w).PostIdServiceRequest(kSentinel);
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (g_sentinels.load() == before) {
        if (std::chrono::steady_clock::now() > until)
            FuzzEnv::Fail("the ID-service thread took no request for 20 s");
        std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
    if (g_bad)
        FuzzEnv::Fail("the ID-service thread sent %s", g_why);
    return 0;
}
