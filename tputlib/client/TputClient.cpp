#include "TputClient.h"

#include "TputSend.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

double NowSeconds()
{
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

void PutWord(uint8_t* out, uint32_t v)
{
    out[0] = static_cast<uint8_t>(v >> 24);
    out[1] = static_cast<uint8_t>(v >> 16);
    out[2] = static_cast<uint8_t>(v >> 8);
    out[3] = static_cast<uint8_t>(v);
}

} // namespace

TputClient::TputClient(TputClientOptions options)
    : m_options(std::move(options))
{
}

void TputClient::EncodeHeader(const TputClientOptions& o, uint8_t out[24])
{
    int32_t amount = o.headerAmount;
    if (amount == 0)
        amount = -static_cast<int32_t>(std::lround(o.durationSeconds * 100.0));
    PutWord(out + 0, o.headerFlags);
    PutWord(out + 4, static_cast<uint32_t>(o.headerThreads));
    PutWord(out + 8, static_cast<uint32_t>(o.headerPort));
    PutWord(out + 12, static_cast<uint32_t>(o.headerBufferLength));
    PutWord(out + 16, static_cast<uint32_t>(o.headerWindow));
    PutWord(out + 20, static_cast<uint32_t>(amount));
}

void TputClient::Stop()
{
    m_stop.store(true);
    std::lock_guard<std::mutex> lk(m_fdLock);
    if (m_fd >= 0)
        shutdown(m_fd, SHUT_RDWR);
}

int TputClient::Connect()
{
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(m_options.port);
    if (inet_pton(AF_INET, m_options.address.c_str(), &addr.sin_addr) != 1) {
        errno = EINVAL;
        return -1;
    }
    sockaddr_in local{};
    local.sin_family = AF_INET;
    if (!m_options.localAddress.empty() && inet_pton(AF_INET, m_options.localAddress.c_str(), &local.sin_addr) != 1) {
        errno = EINVAL;
        return -1;
    }
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0)
        return -1;
    if (!m_options.localAddress.empty() && bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) < 0) {
        const int error = errno;
        close(fd);
        errno = error;
        return -1;
    }
    const int flags = fcntl(fd, F_GETFL, 0);
    fcntl(fd, F_SETFL, flags | O_NONBLOCK);
    int rc = connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr);
    if (rc < 0 && errno == EINPROGRESS) {
        pollfd p{fd, POLLOUT, 0};
        rc = poll(&p, 1, m_options.connectTimeoutMs);
        int error = rc == 0 ? ETIMEDOUT : 0;
        if (rc > 0) {
            socklen_t len = sizeof error;
            getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &len);
        }
        rc = error == 0 ? 0 : -1;
        errno = error;
    }
    if (rc < 0) {
        const int error = errno;
        close(fd);
        errno = error;
        return -1;
    }
    fcntl(fd, F_SETFL, flags);
    return fd;
}

// Sends until the duration is over; a rate spreads the bytes evenly over it.
uint64_t TputClient::SendFor(int fd, double start, int* error)
{
    std::vector<uint8_t> buffer(std::max<size_t>(m_options.bufferLength, 1));
    for (size_t i = 0; i < buffer.size(); ++i)
        buffer[i] = static_cast<uint8_t>('0' + i % 10);
    const double end = start + m_options.durationSeconds;
    const double bytesPerSecond = m_options.rateBitsPerSecond / 8.0;
    // Paced sends go in slices of about 5 ms of traffic.
    const size_t slice = bytesPerSecond > 0
                             ? std::clamp<size_t>(static_cast<size_t>(bytesPerSecond / 200.0), 1, buffer.size())
                             : buffer.size();
    uint64_t sent = 0;
    for (;;) {
        const double now = NowSeconds();
        if (m_stop.load() || now >= end)
            break;
        size_t chunk = slice;
        if (bytesPerSecond > 0) {
            const double allowed = (now - start) * bytesPerSecond - static_cast<double>(sent);
            if (allowed < 1.0) {
                const double wait = std::min((1.0 - allowed) / bytesPerSecond + 0.001, end - now);
                std::this_thread::sleep_for(std::chrono::duration<double>(std::max(wait, 0.0)));
                continue;
            }
            chunk = std::min(chunk, static_cast<size_t>(allowed));
        }
        const ssize_t n = send(fd, buffer.data(), chunk, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (!m_stop.load())
                *error = n < 0 ? errno : EPIPE;
            break;
        }
        sent += static_cast<uint64_t>(n);
    }
    return sent;
}

TputClientResult TputClient::Run()
{
    TputClientResult result;
    const int fd = Connect();
    if (fd < 0) {
        result.error = errno;
        return result;
    }
    {
        std::lock_guard<std::mutex> lk(m_fdLock);
        m_fd = fd;
    }
    if (m_stop.load())
        shutdown(fd, SHUT_RDWR);
    const double start = NowSeconds();
    bool ok = true;
    if (m_options.sendHeader) {
        uint8_t header[24];
        EncodeHeader(m_options, header);
        ok = tputlib_send_all(fd, header, sizeof header);
    }
    if (ok)
        result.payloadBytes = SendFor(fd, start, &result.error);
    {
        std::lock_guard<std::mutex> lk(m_fdLock);
        m_fd = -1;
        close(fd);
    }
    result.seconds = NowSeconds() - start;
    result.bitsPerSecond = result.seconds > 0 ? result.payloadBytes * 8.0 / result.seconds : 0;
    if (!ok && !m_stop.load())
        result.error = EPIPE;
    return result;
}
