#include "TputSend.h"

#include <cerrno>
#include <cstdint>
#include <sys/socket.h>

bool tputlib_send_all(int fd, const void* data, size_t size)
{
    const uint8_t* next = static_cast<const uint8_t*>(data);
    while (size > 0) {
        const ssize_t n = send(fd, next, size, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        next += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}
