// The throughput library's TCP server on loopback: a connection sends the
// input (a client header, then data) and ends; the server reads the header,
// runs the test back it asks for and reports. Each input waits until every
// thread it set off has ended, so a hang or a thread left behind shows up.
//
// Input: a control byte, then the bytes the connection sends. Control bit 0:
// end with a reset instead of a close; bit 1: half-close and wait for the
// server's close; bit 2 (with bit 3: a cleanup): stop the server while the
// run back may still be going, then start it again. High half 0xF with a run
// back of at least as many bytes as a report ring holds records: at the
// input's first final report the reporter is kept busy until the sink has
// taken that many bytes (20 ms at most), so that a run of one-byte sends fills
// its ring and waits. The reporter rests 0.1 ms between its passes, so no
// other input waits for it.
//
// A test back connects to the peer's address and the port in the header: the
// driver points every port the server would accept at a sink of its own and
// keeps runs short, so no other program on this machine gets its traffic. A
// hundredth of a second of a time-limited run lasts 0.1 ms here.
#include "FuzzEnv.h"
#include "FuzzInput.h"
#include "TputFuzzServer.h"

#include "TputClientHeader.h"
#include "TputClientThread.h"
#include "TputReporter.h"
#include "TputSend.h"

#include <arpa/inet.h>
#include <cerrno>
#include <atomic>
#include <chrono>
#include <cstring>
#include <netinet/in.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

constexpr int32_t kLongestBackHundredths = 20;   // time-limited runs back: 2 ms
constexpr int32_t kLargestBackBytes = 64 * 1024;
// Three streams back make a group whose sums take several summaries; each
// further one only costs a thread start, which the address checker makes slow.
constexpr int32_t kMostBackThreads = 2;
constexpr int kHundredthUs = 100;
constexpr int kReporterRestUs = 100;
constexpr auto kLongestStall = std::chrono::milliseconds(20);

// Accepts the runs back and reads them to their end.
class BackSink {
public:
    bool Start()
    {
        m_listen = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof addr;
        if (bind(m_listen, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || listen(m_listen, 64) != 0
            || getsockname(m_listen, reinterpret_cast<sockaddr*>(&addr), &length) != 0)
            return false;
        m_port = ntohs(addr.sin_port);
        std::thread([this] { Loop(); }).detach();
        return true;
    }
    uint16_t Port() const { return m_port; }
    uint64_t Received() const { return m_received.load(); }

private:
    void Loop()
    {
        std::vector<pollfd> fds{{m_listen, POLLIN, 0}};
        std::vector<char> buffer(65536);
        for (;;) {
            if (poll(fds.data(), fds.size(), -1) < 0)
                continue;
            for (size_t i = fds.size(); i-- > 1;) {
                if (!fds[i].revents)
                    continue;
                const ssize_t n = recv(fds[i].fd, buffer.data(), buffer.size(), 0);
                if (n > 0) {
                    m_received += uint64_t(n);
                } else {
                    close(fds[i].fd);
                    fds.erase(fds.begin() + long(i));
                }
            }
            if (fds[0].revents & POLLIN) {
                const int fd = accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC);
                if (fd >= 0)
                    fds.push_back({fd, POLLIN, 0});
            }
        }
    }

    int m_listen = -1;
    uint16_t m_port = 0;
    std::atomic<uint64_t> m_received{0};   // bytes of every run back
};

BackSink g_sink;
std::atomic<bool> g_stallArmed{false};
std::atomic<uint64_t> g_receivedBefore{0};   // the sink's count when the input began

// At the armed input's first final report the reporter waits here, while a
// run back that goes on producing fills its report ring.
void StallReporter()
{
    if (!g_stallArmed.exchange(false))
        return;
    const auto until = std::chrono::steady_clock::now() + kLongestStall;
    while (g_sink.Received() - g_receivedBefore.load() < uint64_t(kTputRingSize) &&
           std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::microseconds(50));
}

// Whether the header asks for a run back long enough to fill a report ring.
bool FillsRing(const std::string& bytes)
{
    if (bytes.size() < kTputHeaderSize)
        return false;
    TputClientHeader header;
    tputlib_header_from_wire(reinterpret_cast<const uint8_t*>(bytes.data()), &header);
    return (header.flags & kTputHeaderVersion1) && tputlib_header_sane(header) && header.amount >= kTputRingSize;
}

// Keeps a header's run back on the sink, short and of few streams; values the
// server refuses stay as they are.
void Tame(std::string& bytes)
{
    if (bytes.size() < kTputHeaderSize)
        return;
    uint8_t* h = reinterpret_cast<uint8_t*>(&bytes[0]);
    TputClientHeader header;
    tputlib_header_from_wire(h, &header);
    if (header.port > 0 && header.port <= 65535)
        header.port = g_sink.Port();
    if (header.threads > kMostBackThreads && header.threads <= kTputMaxBackThreads)
        header.threads = kMostBackThreads;
    if (header.amount < 0 && header.amount < -kLongestBackHundredths)
        header.amount = -kLongestBackHundredths;
    else if (header.amount > kLargestBackBytes)
        header.amount = kLargestBackBytes;
    tputlib_header_to_wire(header, h);
}

void WaitForClose(int fd)
{
    char buffer[4096];
    pollfd p{fd, POLLIN, 0};
    for (;;) {
        const int ready = poll(&p, 1, 15000);
        if (ready < 0 && errno == EINTR)
            continue;
        const ssize_t n = ready > 0 ? recv(fd, buffer, sizeof buffer, 0) : 0;
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    FuzzEnv::Init(argc, argv, FuzzEnv::AppKind::Core);
    tputlib_client_set_hundredth_us(kHundredthUs);
    tputlib_reporter_set_rest_us(kReporterRestUs);
    TputFuzzServer::SetFinalHook(&StallReporter);
    if (!g_sink.Start() || !TputFuzzServer::Start(false))
        FuzzEnv::Fail("the throughput server does not listen");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput in(data, size);
    const uint8_t control = in.Byte();
    std::string bytes = in.Rest();
    Tame(bytes);
    g_receivedBefore = g_sink.Received();
    g_stallArmed = (control & 0xF0) == 0xF0 && FillsRing(bytes);

    const uint64_t finals = TputFuzzServer::Finals();
    const int fd = TputFuzzServer::Connect(SOCK_STREAM);
    if (fd < 0)
        FuzzEnv::Fail("can't connect to the throughput server: %s", strerror(errno));
    tputlib_send_all(fd, bytes.data(), bytes.size());
    if (control & 1) {
        const linger reset{1, 0};
        setsockopt(fd, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
    } else if (control & 2) {
        shutdown(fd, SHUT_WR);
        WaitForClose(fd);
    }
    close(fd);
    if (control & 4) {
        if (!TputFuzzServer::Restart(control & 8))
            FuzzEnv::Fail("the throughput server does not listen after a restart");
    } else if (!TputFuzzServer::WaitFinals(finals + 1, 20)) {
        // Until then the connection may not even have been accepted.
        FuzzEnv::Fail("no final report 20 s after the connection ended");
    }
    if (!TputFuzzServer::WaitIdle(20))
        FuzzEnv::Fail("threads of the throughput library still run 20 s after the connection ended");
    return 0;
}
