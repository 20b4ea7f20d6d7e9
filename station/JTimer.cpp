#include "JTimer.h"

#include "Clock.h"
#include "GuiWakeup.h"

JTimer::JTimer(int intervalMs, QObject* parent)
    : QThread(parent), m_interval(intervalMs), m_wakeup(new GuiWakeup([this] { onFired(); }))
{
    QThread::start();
}

JTimer::~JTimer()
{
    {
        std::lock_guard<std::mutex> guard(m_mutex);
        m_quit = true;
    }
    m_changed.notify_all();
    wait();
    // QThread's wait is invisible to the thread sanitizer; the mutex the
    // thread released last orders its end before what follows here.
    std::lock_guard<std::mutex> guard(m_mutex);
}

void JTimer::start(int msecs)
{
    {
        std::lock_guard<std::mutex> guard(m_mutex);
        if (msecs > 0)
            m_interval = msecs;
        m_fired = false;
        m_startTick = Clock::TickMs();
        ++m_arming;
    }
    m_changed.notify_all();
}

void JTimer::stop()
{
    {
        std::lock_guard<std::mutex> guard(m_mutex);
        m_fired = true;
        ++m_arming;
    }
    m_changed.notify_all();
}

bool JTimer::IsArmed() const
{
    std::lock_guard<std::mutex> guard(m_mutex);
    return !m_fired;
}

int JTimer::Interval() const
{
    std::lock_guard<std::mutex> guard(m_mutex);
    return m_interval;
}

void JTimer::run()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        // Disarmed: sleep until armed or told to quit, not once per millisecond.
        m_changed.wait(lock, [this] { return m_quit || !m_fired; });
        if (m_quit)
            return;
        const uint64_t arming = m_arming;
        const uint64_t startTick = m_startTick;
        const int interval = m_interval;
        lock.unlock();

        const uint64_t elapsed = Clock::TickMs() - startTick;
        bool fire = false;
        lock.lock();
        // A start or stop since the check above owns the timer now.
        if (elapsed >= uint64_t(interval > 0 ? interval : 0) && m_arming == arming && !m_fired && !m_quit) {
            m_fired = true;
            m_firedMsecs = int(elapsed);
            m_firedArming = arming;
            fire = true;
        }
        if (fire) {
            lock.unlock();
            m_wakeup->Wake();
            lock.lock();
            continue;
        }
        // The tick source may be a test's clock: poll it, 1 ms apart.
        m_changed.wait_for(lock, std::chrono::milliseconds(1), [&] { return m_quit || m_arming != arming; });
    }
}

void JTimer::onFired()
{
    int msecs = 0;
    {
        std::lock_guard<std::mutex> guard(m_mutex);
        // Delivered once, and only while no start or stop came after the fire.
        const bool current = m_firedArming != 0 && m_firedArming == m_arming;
        m_firedArming = 0;
        if (!current)
            return;
        msecs = m_firedMsecs;
    }
    emit signalTimeout(msecs);
}
