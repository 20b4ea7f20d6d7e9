#pragma once

#include <mutex>

// A mutex with a place in the controller's lock order. A thread may take a lock
// only while every lock it already holds comes earlier in the order; taking it
// again, or out of order, is logged and stops a debug build at the spot rather
// than deadlocking later.
class ListLock {
public:
    // Lock order of the controller, earliest first.
    enum Rank : int {
        RANK_SEARCH = 1,         // search list, upload-finished list
        RANK_READY = 2,          // ready list
        RANK_STREAM = 3,         // stream list, deletion queue, current device
        RANK_LEAF = 4,           // device-type table, configuration copy, chosen address
    };

    ListLock(Rank rank, const char* name);
    ListLock(const ListLock&) = delete;
    ListLock& operator=(const ListLock&) = delete;

    void lock();
    void unlock();
    bool try_lock();

    // True while the calling thread holds a lock of this rank.
    bool RankHeldByThisThread() const;
    const char* Name() const { return m_name; }

private:
    void CheckOrder() const;

    std::mutex m_mutex;
    const Rank m_rank;
    const char* const m_name;
};
