#include "ListLock.h"

#include "Log.h"

#include <QtGlobal>

namespace {
// Bit r set: the thread holds a lock of rank r. Several leaf locks are never
// nested, so one bit per rank is enough.
thread_local unsigned t_heldRanks = 0;
}  // namespace

ListLock::ListLock(Rank rank, const char* name) : m_rank(rank), m_name(name) {}

void ListLock::CheckOrder() const
{
    const unsigned sameOrLater = ~((1u << m_rank) - 1u);
    if ((t_heldRanks & sameOrLater) == 0)
        return;
    LogPrint(LOG_MAJOR, "ListLock::lock() %s taken out of order, held ranks=0x%x", m_name, t_heldRanks);
    Q_ASSERT_X(false, "ListLock::lock", "lock taken out of order or re-entered");
}

void ListLock::lock()
{
    CheckOrder();
    m_mutex.lock();
    t_heldRanks |= 1u << m_rank;
}

bool ListLock::try_lock()
{
    CheckOrder();
    if (!m_mutex.try_lock())
        return false;
    t_heldRanks |= 1u << m_rank;
    return true;
}

void ListLock::unlock()
{
    t_heldRanks &= ~(1u << m_rank);
    m_mutex.unlock();
}

bool ListLock::RankHeldByThisThread() const
{
    return (t_heldRanks & (1u << m_rank)) != 0;
}
