#include "TputThread.h"

#include "TputError.h"
#include "TputListener.h"
#include "TputClientThread.h"
#include "TputReporter.h"
#include "TputServer.h"
#include "TputSettings.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <list>
#include <memory>
#include <mutex>
#include <thread>

namespace {

// The conditions and the registry are never destroyed: a program may return
// from main while library threads still run, and a joinable thread destroyed
// at exit would end the process.
std::mutex g_countLock;
std::condition_variable& g_countCondition = *new std::condition_variable;
int g_threadCount = 0;
int g_nonTerminating = 0;
// Set while a stop runs: a thread started then would outlive the reporter.
bool g_startsBlocked = false;

// Every thread the layer started, so that cleanup can join each one.
struct ThreadEntry {
    std::thread thread;
    bool done = false;
};

std::mutex g_registryLock;
std::condition_variable& g_registryChanged = *new std::condition_variable;
std::list<std::unique_ptr<ThreadEntry>>& g_threads = *new std::list<std::unique_ptr<ThreadEntry>>;

std::atomic<uint32_t> g_nextThreadId{1};
thread_local uint32_t t_threadId = 0;

void ChangeCount(int delta)
{
    std::lock_guard<std::mutex> lk(g_countLock);
    g_threadCount += delta;
    g_countCondition.notify_all();
}

// Counts a thread about to start; refused while a stop runs. One lock for
// the check and the count, so a stop's join sees either the thread or none.
bool CountNewThread()
{
    std::lock_guard<std::mutex> lk(g_countLock);
    if (g_startsBlocked)
        return false;
    g_threadCount++;
    g_countCondition.notify_all();
    return true;
}

// Starts a record that this layer owns; one that cannot start is freed.
void StartOrDestroy(TputSettings* settings)
{
    if (!tputlib_thread_start(settings))
        tputlib_settings_destroy_chain(settings);
}

// Joins the threads that have finished their body; called with the registry
// lock held. A finished thread only has its return left to run.
void ReapFinishedLocked()
{
    for (auto it = g_threads.begin(); it != g_threads.end();) {
        if ((*it)->done && (*it)->thread.get_id() != std::this_thread::get_id()) {
            (*it)->thread.join();
            it = g_threads.erase(it);
        } else {
            ++it;
        }
    }
}

void MarkDone(ThreadEntry* entry)
{
    std::lock_guard<std::mutex> lk(g_registryLock);
    entry->done = true;
    g_registryChanged.notify_all();
}

void RunListener(TputSettings* settings)
{
    {
        std::lock_guard<std::mutex> lk(g_countLock);
        g_nonTerminating++;
    }
    tputlib_listener_spawn(settings);
    std::lock_guard<std::mutex> lk(g_countLock);
    if (g_nonTerminating > 0)
        g_nonTerminating--;
    else
        g_threadCount++; // released by an interrupt: the decrement below balances it
}

} // namespace

void tputlib_thread_init()
{
    std::lock_guard<std::mutex> lk(g_countLock);
    g_threadCount = 0;
    g_nonTerminating = 0;
    g_startsBlocked = false;
}

void tputlib_thread_block_starts(bool blocked)
{
    std::lock_guard<std::mutex> lk(g_countLock);
    g_startsBlocked = blocked;
}

void tputlib_thread_destroy()
{
    std::lock_guard<std::mutex> lk(g_countLock);
    g_threadCount = 0;
    g_nonTerminating = 0;
}

uint32_t tputlib_thread_current_id()
{
    if (t_threadId == 0)
        t_threadId = g_nextThreadId.fetch_add(1);
    return t_threadId;
}

bool tputlib_thread_start(TputSettings* settings)
{
    if (settings->threadId != 0)
        return true;
    if (TputSettings* first = settings->runNow) {
        settings->runNow = nullptr;
        StartOrDestroy(first);
    }
    if (!CountNewThread())
        return false;

    // Id and handle are in the record before the body can run and free it.
    auto entry = std::make_unique<ThreadEntry>();
    ThreadEntry* raw = entry.get();
    const uint32_t id = g_nextThreadId.fetch_add(1);
    settings->threadId = id;
    settings->threadHandle = raw;

    std::lock_guard<std::mutex> lk(g_registryLock);
    ReapFinishedLocked();
    try {
        raw->thread = std::thread([settings, raw, id] {
            t_threadId = id;
            tputlib_thread_run(settings);
            MarkDone(raw);
        });
    } catch (const std::system_error&) {
        tputlib_fail("CreateThread");
        settings->threadId = 0;
        settings->threadHandle = nullptr;
        ChangeCount(-1);
        return false;
    }
    g_threads.push_back(std::move(entry));
    return true;
}

void tputlib_thread_run(TputSettings* settings)
{
    switch (settings->threadMode) {
    case kTputModeServer:
        tputlib_server_spawn(settings);
        break;
    case kTputModeClient:
        tputlib_client_spawn(settings);
        break;
    case kTputModeReporter:
        tputlib_reporter_thread(settings);
        break;
    case kTputModeListener:
        RunListener(settings);
        break;
    default:
        tputlib_fail("Unknown Thread Type!\n");
        break;
    }
    // The next run is counted before this one leaves the count, so a stop's
    // join never sees a gap between them.
    if (TputSettings* next = settings->runNext) {
        settings->runNext = nullptr;
        StartOrDestroy(next);
    }
    tputlib_settings_destroy(settings);
    ChangeCount(-1);
}

void tputlib_thread_set_ignore()
{
    ChangeCount(-1);
}

void tputlib_thread_unset_ignore()
{
    ChangeCount(+1);
}

int tputlib_release_nonterm(int interrupt)
{
    std::lock_guard<std::mutex> lk(g_countLock);
    g_threadCount -= g_nonTerminating;
    if (g_threadCount > 1 && g_nonTerminating > 0 && interrupt != 0) {
        fflush(nullptr);
        fprintf(stderr, "Waiting for server threads to complete. Interrupt again to force quit.\n");
    }
    g_nonTerminating = 0;
    g_countCondition.notify_all();
    return g_threadCount;
}

bool tputlib_thread_joinall(int timeout_ms)
{
    std::unique_lock<std::mutex> lk(g_countLock);
    auto ended = [] { return g_threadCount <= 0; };
    if (timeout_ms < 0) {
        g_countCondition.wait(lk, ended);
        return true;
    }
    return g_countCondition.wait_for(lk, std::chrono::milliseconds(timeout_ms), ended);
}

int tputlib_thread_reap_all(int timeout_ms)
{
    std::unique_lock<std::mutex> lk(g_registryLock);
    const auto me = std::this_thread::get_id();
    auto allDone = [me] {
        for (const auto& entry : g_threads) {
            if (!entry->done && entry->thread.get_id() != me)
                return false;
        }
        return true;
    };
    g_registryChanged.wait_for(lk, std::chrono::milliseconds(timeout_ms), allDone);
    ReapFinishedLocked();
    return static_cast<int>(g_threads.size());
}

int tputlib_thread_count()
{
    std::lock_guard<std::mutex> lk(g_countLock);
    return g_threadCount;
}

void tputlib_thread_rest()
{
    std::this_thread::yield();
}
