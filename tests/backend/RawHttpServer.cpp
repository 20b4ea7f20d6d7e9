#include "RawHttpServer.h"

#include <arpa/inet.h>
#include <chrono>
#include <cstring>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

RawHttpServer::RawHttpServer(std::vector<Piece> pieces, End end)
    : m_pieces(std::move(pieces))
    , m_end(end)
{
    m_listen = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    ::bind(m_listen, reinterpret_cast<sockaddr*>(&addr), sizeof(addr));
    ::listen(m_listen, 8);
    socklen_t len = sizeof(addr);
    ::getsockname(m_listen, reinterpret_cast<sockaddr*>(&addr), &len);
    m_port = ntohs(addr.sin_port);
    m_thread = std::thread([this] { Serve(); });
}

RawHttpServer::~RawHttpServer()
{
    m_stop = true;
    m_thread.join();
    ::close(m_listen);
}

std::string RawHttpServer::LastRequest() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_lastRequest;
}

void RawHttpServer::Serve()
{
    while (!m_stop) {
        pollfd p{m_listen, POLLIN, 0};
        if (::poll(&p, 1, 50) <= 0)
            continue;
        const int fd = ::accept(m_listen, nullptr, nullptr);
        if (fd < 0)
            continue;
        ++m_connections;
        // Read the request head (and whatever came with it) before answering.
        std::string request;
        char buf[4096];
        while (request.find("\r\n\r\n") == std::string::npos && !m_stop) {
            pollfd r{fd, POLLIN, 0};
            if (::poll(&r, 1, 50) <= 0)
                continue;
            const ssize_t n = ::recv(fd, buf, sizeof(buf), 0);
            if (n <= 0)
                break;
            request.append(buf, size_t(n));
        }
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_lastRequest = request;
        }
        for (const Piece& piece : m_pieces) {
            if (piece.delayMs > 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(piece.delayMs));
            ::send(fd, piece.bytes.data(), piece.bytes.size(), MSG_NOSIGNAL);
        }
        if (m_end == End::Hold) {
            while (!m_stop) {
                pollfd r{fd, POLLIN, 0};
                if (::poll(&r, 1, 50) > 0 && ::recv(fd, buf, sizeof(buf), 0) <= 0)
                    break;
            }
        } else if (m_end == End::Reset) {
            linger l{1, 0};
            ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &l, sizeof(l));
        }
        ::close(fd);
    }
}
