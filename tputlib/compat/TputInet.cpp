#include "TputInet.h"

#include <arpa/inet.h>
#include <cstdio>
#include <cstring>
#include <netinet/in.h>

namespace {

const sockaddr_in& V4(const sockaddr_storage& a) { return reinterpret_cast<const sockaddr_in&>(a); }
const sockaddr_in6& V6(const sockaddr_storage& a) { return reinterpret_cast<const sockaddr_in6&>(a); }

} // namespace

void tputlib_addr_text(const sockaddr_storage& addr, char* out, size_t size)
{
    if (size == 0)
        return;
    out[0] = '\0';
    if (addr.ss_family == AF_INET)
        inet_ntop(AF_INET, &V4(addr).sin_addr, out, static_cast<socklen_t>(size));
    else if (addr.ss_family == AF_INET6)
        inet_ntop(AF_INET6, &V6(addr).sin6_addr, out, static_cast<socklen_t>(size));
}

void tputlib_addr_ipv4_text(const sockaddr_storage& addr, char* out, size_t size)
{
    const uint8_t* b = nullptr;
    if (addr.ss_family == AF_INET)
        b = reinterpret_cast<const uint8_t*>(&V4(addr).sin_addr);
    else if (addr.ss_family == AF_INET6 && IN6_IS_ADDR_V4MAPPED(&V6(addr).sin6_addr))
        b = reinterpret_cast<const uint8_t*>(&V6(addr).sin6_addr) + 12;
    if (b)
        snprintf(out, size, "%u.%u.%u.%u", b[0], b[1], b[2], b[3]);
    else
        tputlib_addr_text(addr, out, size);
}

uint16_t tputlib_addr_port(const sockaddr_storage& addr)
{
    if (addr.ss_family == AF_INET)
        return ntohs(V4(addr).sin_port);
    if (addr.ss_family == AF_INET6)
        return ntohs(V6(addr).sin6_port);
    return 0;
}

void tputlib_addr_set_port(sockaddr_storage& addr, uint16_t port)
{
    if (addr.ss_family == AF_INET)
        reinterpret_cast<sockaddr_in&>(addr).sin_port = htons(port);
    else if (addr.ss_family == AF_INET6)
        reinterpret_cast<sockaddr_in6&>(addr).sin6_port = htons(port);
}

bool tputlib_addr_is_multicast(const sockaddr_storage& addr)
{
    if (addr.ss_family == AF_INET)
        return IN_MULTICAST(ntohl(V4(addr).sin_addr.s_addr));
    if (addr.ss_family == AF_INET6)
        return IN6_IS_ADDR_MULTICAST(&V6(addr).sin6_addr);
    return false;
}

bool tputlib_addr_same_host(const sockaddr_storage& a, const sockaddr_storage& b)
{
    if (a.ss_family != b.ss_family)
        return false;
    if (a.ss_family == AF_INET)
        return V4(a).sin_addr.s_addr == V4(b).sin_addr.s_addr;
    if (a.ss_family == AF_INET6)
        return memcmp(&V6(a).sin6_addr, &V6(b).sin6_addr, 16) == 0;
    return false;
}

bool tputlib_addr_same_host_port(const sockaddr_storage& a, const sockaddr_storage& b)
{
    return tputlib_addr_same_host(a, b) && tputlib_addr_port(a) == tputlib_addr_port(b);
}

socklen_t tputlib_addr_length(const sockaddr_storage& addr)
{
    return addr.ss_family == AF_INET6 ? sizeof(sockaddr_in6) : sizeof(sockaddr_in);
}
