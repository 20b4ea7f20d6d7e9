#pragma once

#include <QThread>

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>

class GuiWakeup;

// A one-shot timer on a thread of its own, so it fires while the GUI thread is
// busy; any thread may arm or disarm it. Time is Clock::TickMs (replaceable in
// tests). signalTimeout reaches receivers through the thread the timer was made
// on, and only for the arming that fired: a timeout that arrives after a later
// start or stop is dropped.
class JTimer : public QThread {
    Q_OBJECT
public:
    // Starts the timer's thread at once; the timer starts disarmed.
    explicit JTimer(int intervalMs, QObject* parent = nullptr);
    ~JTimer() override;

    // Arms (again): a positive msecs becomes the interval; the count restarts.
    void start(int msecs = -1);
    // Disarms without a signal.
    void stop();

    bool IsArmed() const;
    int Interval() const;

signals:
    void signalTimeout(int msecs);

protected:
    void run() override;

private:
    // On the timer's own thread, woken by the timer thread (the fire waits in
    // m_firedMsecs / m_firedArming under the mutex).
    void onFired();

private:
    mutable std::mutex m_mutex;          // guards everything below
    std::condition_variable m_changed;
    int m_interval;
    bool m_fired = true;                 // true: disarmed
    bool m_quit = false;
    uint64_t m_startTick = 0;
    uint64_t m_arming = 0;               // bumped by every start and stop
    int m_firedMsecs = 0;                // the last fire not yet delivered
    uint64_t m_firedArming = 0;          // its arming; 0 once delivered
    std::unique_ptr<GuiWakeup> m_wakeup; // outlives the timer thread
};
