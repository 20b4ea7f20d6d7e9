#include "StalledListener.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

StalledListener::StalledListener()
{
    m_listen = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (m_listen < 0 || ::bind(m_listen, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0
        || ::listen(m_listen, 0) != 0)
        return;
    socklen_t len = sizeof(addr);
    ::getsockname(m_listen, reinterpret_cast<sockaddr*>(&addr), &len);
    m_port = ntohs(addr.sin_port);
    // Connect until one stays pending: from then on the queue is full and nothing accepts.
    for (int i = 0; i < 16 && !m_stalled; ++i) {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        if (fd < 0)
            return;
        m_fillers.push_back(fd);
        ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr));
        pollfd p{fd, POLLOUT, 0};
        // A loopback connect with room in the queue completes at once; 500 ms spares a loaded machine.
        m_stalled = ::poll(&p, 1, 500) == 0;
    }
}

StalledListener::~StalledListener()
{
    for (int fd : m_fillers)
        ::close(fd);
    if (m_listen >= 0)
        ::close(m_listen);
}
