#pragma once

#include <cstddef>
#include <cstdint>
#include <sys/socket.h>

// Address text and comparison helpers over socket address storage.

// Numeric text of the address (IPv4 or IPv6 form); "" for another family.
void tputlib_addr_text(const sockaddr_storage& addr, char* out, size_t size);

// Dotted IPv4 text "%u.%u.%u.%u"; an IPv4-mapped IPv6 address gives its IPv4
// part, any other IPv6 address its numeric IPv6 text.
void tputlib_addr_ipv4_text(const sockaddr_storage& addr, char* out, size_t size);

uint16_t tputlib_addr_port(const sockaddr_storage& addr);
void tputlib_addr_set_port(sockaddr_storage& addr, uint16_t port);
bool tputlib_addr_is_multicast(const sockaddr_storage& addr);
bool tputlib_addr_same_host(const sockaddr_storage& a, const sockaddr_storage& b);
bool tputlib_addr_same_host_port(const sockaddr_storage& a, const sockaddr_storage& b);
socklen_t tputlib_addr_length(const sockaddr_storage& addr);
