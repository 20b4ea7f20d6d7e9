#pragma once

#include <sys/socket.h>

struct TputGroupHeader;

// The connected peers, newest first, each with the stream group its
// connections share. Changed under the peer-list lock.
struct TputPeerEntry {
    sockaddr_storage addr;
    TputGroupHeader* group;
    TputPeerEntry* next;
};

// Adds a peer. An existing entry of the same host lends its group; otherwise
// a new group is made (server settings' threads set to 0 first). The group
// is stored into *group (with a reference for the caller).
void tputlib_peer_add(const sockaddr_storage& addr, struct TputSettings* server, TputGroupHeader** group);
// Removes the entry with the same host and port.
void tputlib_peer_remove(const sockaddr_storage& addr);
bool tputlib_peer_list_empty();
bool tputlib_peer_find_host_port(const sockaddr_storage& addr);
void tputlib_peer_list_free();
