#include "TputPeerList.h"

#include "TputInet.h"
#include "TputReporter.h"

#include <mutex>

namespace {

std::mutex g_peerLock;
TputPeerEntry* g_peers = nullptr;

void FreeEntry(TputPeerEntry* entry)
{
    if (entry->group)
        tputlib_group_unref(entry->group);
    delete entry;
}

} // namespace

void tputlib_peer_add(const sockaddr_storage& addr, TputSettings* server, TputGroupHeader** group)
{
    TputPeerEntry* entry = new TputPeerEntry{addr, nullptr, nullptr};
    std::lock_guard<std::mutex> lk(g_peerLock);
    for (TputPeerEntry* p = g_peers; p; p = p->next) {
        if (p->group && tputlib_addr_same_host(p->addr, addr)) {
            entry->group = p->group;
            break;
        }
    }
    if (entry->group) {
        tputlib_group_ref(entry->group);
    } else {
        server->threads = 0;
        entry->group = tputlib_init_multi(server, tputlib_next_group_id());
    }
    entry->next = g_peers;
    g_peers = entry;
    *group = entry->group;
    if (entry->group)
        tputlib_group_ref(entry->group);
}

void tputlib_peer_remove(const sockaddr_storage& addr)
{
    TputPeerEntry* removed = nullptr;
    {
        std::lock_guard<std::mutex> lk(g_peerLock);
        for (TputPeerEntry** link = &g_peers; *link; link = &(*link)->next) {
            if (tputlib_addr_same_host_port((*link)->addr, addr)) {
                removed = *link;
                *link = removed->next;
                break;
            }
        }
    }
    if (removed)
        FreeEntry(removed);
}

bool tputlib_peer_list_empty()
{
    std::lock_guard<std::mutex> lk(g_peerLock);
    return g_peers == nullptr;
}

bool tputlib_peer_find_host_port(const sockaddr_storage& addr)
{
    std::lock_guard<std::mutex> lk(g_peerLock);
    for (TputPeerEntry* p = g_peers; p; p = p->next) {
        if (tputlib_addr_same_host_port(p->addr, addr))
            return true;
    }
    return false;
}

void tputlib_peer_list_free()
{
    TputPeerEntry* list;
    {
        std::lock_guard<std::mutex> lk(g_peerLock);
        list = g_peers;
        g_peers = nullptr;
    }
    while (list) {
        TputPeerEntry* next = list->next;
        FreeEntry(list);
        list = next;
    }
}
