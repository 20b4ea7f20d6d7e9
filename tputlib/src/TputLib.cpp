#include "TputLib.h"

#include "TputError.h"
#include "TputListener.h"
#include "TputPeerList.h"
#include "TputReporter.h"
#include "TputSettings.h"
#include "TputSignal.h"
#include "TputSockets.h"
#include "TputThread.h"
#include "TputTimer.h"

#include <atomic>
#include <cstdio>
#include <cstring>
#include <mutex>

namespace {

// Set by a start, cleared by a stop; whether the server listens is the
// listener's own state.
std::atomic<bool> g_started{false};
std::atomic<TputResultCallback> g_callback{nullptr};
std::atomic<void*> g_context{nullptr};
// Entry points come from one caller thread; this keeps two callers from
// interleaving a start with a stop all the same.
std::mutex g_entryLock;

// How long a stop waits for the library's threads, in total.
constexpr int kStopWaitMs = 5000;

void ApplyNumber(char option, int value, TputSettings* s)
{
    char text[32];
    memset(text, 0, sizeof text);
    snprintf(text, sizeof text, "%d", value);
    tputlib_apply_option(option, text, s);
}

// Joins every thread the library started, within the wait. Returns false
// when some thread did not end in time (its resources must then stay alive).
bool ReapThreads()
{
    const int left = tputlib_thread_reap_all(kStopWaitMs);
    if (left > 0) {
        fflush(nullptr);
        fprintf(stderr, "tputlib: %d threads did not end in time\n", left);
        return false;
    }
    return true;
}

// Refuses new threads (a run back that the stop itself sets off would
// outlive the reporter), interrupts, cuts every connection, ends the
// reporter and the timer and joins every thread.
bool StopThreads()
{
    tputlib_thread_block_starts(true);
    tputlib_on_interrupt(1);
    tputlib_sockets_shutdown_all();
    tputlib_thread_joinall(kStopWaitMs);
    tputlib_reporter_request_stop();
    tputlib_timer_shutdown();
    return ReapThreads();
}

} // namespace

int tputlib_init()
{
    std::lock_guard<std::mutex> lk(g_entryLock);
    if (g_started.load())
        return 0; // the counts belong to the running threads
    tputlib_set_alarm_callback(tputlib_on_alarm);
    tputlib_signal(kTputSlotTerminate, tputlib_on_interrupt);
    tputlib_signal(kTputSlotInterrupt, tputlib_on_interrupt);
    tputlib_signal(kTputSlotAlarm, tputlib_on_interrupt);
    tputlib_thread_init();
    tputlib_interrupt_reset();
    return 0;
}

int tputlib_set_result_callback(TputResultCallback callback, void* context)
{
    g_context.store(context);
    g_callback.store(callback);
    return 0;
}

TputResultCallback tputlib_result_callback(void** context)
{
    TputResultCallback callback = g_callback.load();
    *context = g_context.load();
    return callback;
}

int tputlib_start_server(int interval, int port, TputResultCallback callback, void* context)
{
    std::lock_guard<std::mutex> lk(g_entryLock);
    if (g_started.load())
        return 0;
    // A server stopped before may start again without another init.
    tputlib_interrupt_reset();
    tputlib_reporter_reset();
    tputlib_thread_block_starts(false);
    tputlib_listener_clear_failure();

    TputSettings* listener = new TputSettings;
    tputlib_settings_init(listener);
    tputlib_parse_environment(listener);
    tputlib_apply_option('s', "", listener);
    ApplyNumber('i', interval, listener);
    ApplyNumber('p', port, listener);
    tputlib_set_result_callback(callback, context);

    TputSettings* reporter = nullptr;
    tputlib_settings_copy(listener, &reporter);
    reporter->threadMode = kTputModeReporter;
    reporter->runNow = listener;
    if (!tputlib_thread_start(reporter)) {
        tputlib_reporter_not_started();
        tputlib_settings_destroy(reporter);
    }
    g_started.store(true);
    return 0;
}

int tputlib_stop_server()
{
    std::lock_guard<std::mutex> lk(g_entryLock);
    if (g_started.load()) {
        StopThreads();
        g_started.store(false);
    }
    return 0;
}

int tputlib_cleanup()
{
    std::lock_guard<std::mutex> lk(g_entryLock);
    if (g_started.load()) {
        StopThreads();
        g_started.store(false);
    }
    // Also after a stop that left a thread behind: nothing is freed while any
    // library thread may still use it.
    if (ReapThreads()) {
        tputlib_reporter_free_all();
        tputlib_peer_list_free();
        tputlib_thread_destroy();
    }
    return 0;
}

bool tputlib_running()
{
    return g_started.load() && tputlib_listener_active();
}

bool tputlib_listen_failure(char* text, size_t size)
{
    if (!g_started.load() || tputlib_listener_active()) {
        if (text && size > 0)
            text[0] = '\0';
        return false;
    }
    return tputlib_listener_failure(text, size);
}
