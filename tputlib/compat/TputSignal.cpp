#include "TputSignal.h"

#include "TputSockets.h"
#include "TputThread.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <cstdio>

namespace {

std::array<std::atomic<TputSignalHandler>, kTputSignalSlots> g_slots{};
std::atomic<bool> g_interrupted{false};
std::atomic<uint32_t> g_interruptingThread{0};
std::atomic<int> g_exitCount{0};

} // namespace

TputSignalHandler tputlib_signal(int slot, TputSignalHandler handler)
{
    if (slot < 0 || slot >= kTputSignalSlots)
        return nullptr;
    return g_slots[slot].exchange(handler);
}

void tputlib_raise(int slot)
{
    if (slot < 0 || slot >= kTputSignalSlots)
        return;
    if (TputSignalHandler handler = g_slots[slot].load())
        handler(slot);
}

int tputlib_console_event(int event)
{
    int slot = -1;
    if (event == 0)
        slot = kTputSlotInterrupt;
    else if (event == 2 || event == 5 || event == 6)
        slot = kTputSlotTerminate;
    if (slot < 0 || !g_slots[slot].load())
        return 0;
    tputlib_raise(slot);
    return 1;
}

int tputlib_on_interrupt(int /*slot*/)
{
    const uint32_t me = tputlib_thread_current_id();
    uint32_t expected = 0;
    if (!g_interruptingThread.compare_exchange_strong(expected, me) && expected == me)
        tputlib_sig_exit();
    g_interrupted.store(true);
    return tputlib_release_nonterm(1);
}

// A library inside the station never ends the process: the forced stop cuts
// the remaining connections instead, so that their threads end.
void tputlib_sig_exit()
{
    if (g_exitCount.fetch_add(1) == 0) {
        fflush(nullptr);
        tputlib_sockets_shutdown_all();
    }
}

void tputlib_on_alarm()
{
    tputlib_raise(kTputSlotAlarm);
}

bool tputlib_interrupted()
{
    return g_interrupted.load();
}

void tputlib_interrupt_reset()
{
    g_interrupted.store(false);
    g_interruptingThread.store(0);
    g_exitCount.store(0);
}

int tputlib_exit_count()
{
    return g_exitCount.load();
}
