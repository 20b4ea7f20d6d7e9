// ID-service thread: one fixed UDP datagram to a device, per request of the chain.
#include "LeftTopWidget.h"

#include "HostAddressTable.h"
#include "Log.h"
#include "SocketErrorCodes.h"

#include <QByteArray>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>

namespace {

constexpr uint16_t kLocalPort = 3031;
constexpr uint16_t kDevicePort = 3030;
constexpr int kSocketBuffer = 131072;
constexpr int kWritableWaitMs = 5000;
constexpr int kRetryMs = 1000;
constexpr int kQueueWaitMs = 50;

// The 40-byte request: magic, 1, 5, 24, 16 (little-endian words), then 20 zero bytes.
QByteArray IdServiceDatagram()
{
    const uint32_t words[] = {0xCDEFFEDCu, 1u, 5u, 24u, 16u};
    QByteArray datagram(40, '\0');
    for (size_t i = 0; i < sizeof(words) / sizeof(words[0]); ++i) {
        for (int b = 0; b < 4; ++b)
            datagram[int(i * 4 + b)] = char((words[i] >> (8 * b)) & 0xFF);
    }
    return datagram;
}

// The thread's UDP socket, closed on every way out.
class IdServiceSocket {
public:
    IdServiceSocket() : m_fd(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0)) {}
    ~IdServiceSocket()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    IdServiceSocket(const IdServiceSocket&) = delete;
    IdServiceSocket& operator=(const IdServiceSocket&) = delete;

    bool IsOpen() const { return m_fd >= 0; }
    int Fd() const { return m_fd; }

    // Buffers, address reuse and the bind to the station's first address; a
    // failed bind is logged and the socket still sends from any address.
    void Prepare(const QByteArray& localIp)
    {
        const int size = kSocketBuffer;
        const int on = 1;
        setsockopt(m_fd, SOL_SOCKET, SO_SNDBUF, &size, sizeof(size));
        setsockopt(m_fd, SOL_SOCKET, SO_RCVBUF, &size, sizeof(size));
        setsockopt(m_fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof(on));
        sockaddr_in local{};
        local.sin_family = AF_INET;
        local.sin_port = htons(kLocalPort);
        if (inet_pton(AF_INET, localIp.constData(), &local.sin_addr) != 1 ||
            ::bind(m_fd, reinterpret_cast<const sockaddr*>(&local), sizeof(local)) != 0) {
            LogPrint(LOG_GENERAL, "LeftTopWidget::ExecuteGetIDServiceThread() bind to %s:%u failed, EroorNum=%d",
                     localIp.constData(), unsigned(kLocalPort), SocketErrorCodes::Last());
        }
    }

private:
    const int m_fd;
};

// The job of WM_ID_SERVICE_REQUEST: the device's IP text.
class IdServiceRequest final : public ThreadJob {
public:
    explicit IdServiceRequest(const QByteArray& address) : ip(address) {}
    const QByteArray ip;
};

enum class SendOutcome { Sent, Dropped, SocketFailed };

SendOutcome SendRequest(const IdServiceSocket& socket, const QByteArray& ip)
{
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(kDevicePort);
    if (inet_pton(AF_INET, ip.constData(), &to.sin_addr) != 1) {
        LogPrint(LOG_GENERAL, "LeftTopWidget::ExecuteGetIDServiceThread() request for '%.64s' dropped, not an address",
                 ip.constData());
        return SendOutcome::Dropped;
    }
    pollfd ready{socket.Fd(), POLLOUT, 0};
    const int n = ::poll(&ready, 1, kWritableWaitMs);
    if (n == 0)
        return SendOutcome::Dropped;
    if (n < 0 || (ready.revents & (POLLERR | POLLNVAL))) {
        LogPrint(LOG_GENERAL, "GetIDServiceProc() error_fds break;");
        return SendOutcome::SocketFailed;
    }
    const QByteArray datagram = IdServiceDatagram();
    const ssize_t sent = ::sendto(socket.Fd(), datagram.constData(), size_t(datagram.size()), MSG_NOSIGNAL,
                                  reinterpret_cast<const sockaddr*>(&to), sizeof(to));
    if (sent <= 0)
        LogPrint(LOG_GENERAL, "LeftTopWidget::ExecuteGetIDServiceThread() sendto failed nRet=%d, EroorNum=%d", int(sent),
                 SocketErrorCodes::Last());
    return SendOutcome::Sent;
}

}  // namespace

void LeftTopWidget::ExecuteGetIDServiceThread()
{
    ThreadMessageQueue* queue = m_workers.Queue(StationWorkers::IdService);
    const char* first = g_DifNetWorkcardIp[0].m_szLocalIpList[0];
    const QByteArray localIp(first, int(strnlen(first, sizeof(g_DifNetWorkcardIp[0].m_szLocalIpList[0]))));
    while (queue && !m_workers.StopRequested(StationWorkers::IdService)) {
        IdServiceSocket socket;
        if (!socket.IsOpen()) {
            LogPrint(LOG_GENERAL, "LeftTopWidget::ExecuteGetIDServiceThread() socket failed, EroorNum=%d",
                     SocketErrorCodes::Last());
            m_workers.SleepUnlessStopped(StationWorkers::IdService, kRetryMs);
            continue;
        }
        socket.Prepare(localIp);
        bool socketFailed = false;
        while (!socketFailed && !m_workers.StopRequested(StationWorkers::IdService)) {
            ThreadMessage msg;
            if (!queue->Wait(&msg, kQueueWaitMs))
                continue;
            if (msg.message == WM_ID_SERVICE_REQUEST) {
                const std::unique_ptr<IdServiceRequest> request = msg.Take<IdServiceRequest>();
                socketFailed = SendRequest(socket, request ? request->ip : QByteArray()) == SendOutcome::SocketFailed;
            }
        }
        if (socketFailed)
            m_workers.SleepUnlessStopped(StationWorkers::IdService, kRetryMs);
    }
    // Requests still queued at the stop are freed, not sent.
    if (queue)
        queue->TakePending();
}

bool LeftTopWidget::PostIdServiceRequest(const QByteArray& ip)
{
    ThreadMessageQueue* queue = m_workers.Queue(StationWorkers::IdService);
    if (!queue || !queue->Post(WM_ID_SERVICE_REQUEST, std::make_unique<IdServiceRequest>(ip))) {
        LogPrint(LOG_GENERAL, "LeftTopWidget::PostIdServiceRequest() no ID-service thread takes the request, IP=%.64s",
                 ip.constData());
        return false;
    }
    return true;
}
