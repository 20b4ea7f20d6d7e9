#pragma once

// An in-process table of 24 handler slots. Nothing here installs an
// operating-system signal handler: slots are raised only by the library's own
// calls (stop, cleanup, the timer's alarm).

using TputSignalHandler = int (*)(int slot);

constexpr int kTputSignalSlots = 24;
constexpr int kTputSlotInterrupt = 2;
constexpr int kTputSlotTerminate = 15;
constexpr int kTputSlotAlarm = 23;

// Stores the handler and returns the previous one; a slot outside 0..23
// stores nothing and returns no handler.
TputSignalHandler tputlib_signal(int slot, TputSignalHandler handler);
void tputlib_raise(int slot);
int tputlib_console_event(int event);

// The interrupt handler: the first interrupt sets the interrupted flag and
// releases the listener from the count; a repeated one from the same thread
// forces the remaining connections down.
int tputlib_on_interrupt(int slot);
void tputlib_sig_exit();
void tputlib_on_alarm();

bool tputlib_interrupted();
// Clears the interrupted flag, the interrupting thread id and the exit
// counter, so that the server can run again.
void tputlib_interrupt_reset();
int tputlib_exit_count();
