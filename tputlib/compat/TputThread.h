#pragma once

#include <cstdint>

struct TputSettings;

// Thread modes of a settings record.
enum TputThreadMode : int32_t {
    kTputModeUnset = 0,
    kTputModeServer = 1,
    kTputModeClient = 2,
    kTputModeReporter = 3,
    kTputModeListener = 4,
};

void tputlib_thread_init();
void tputlib_thread_destroy();

// Starts the record's run-now record first (freed when it cannot start), then
// a thread running the record. Does nothing for a record that already runs
// (thread id not 0). Returns false when no thread could be made or a stop is
// running; the record then still belongs to the caller. After a true return
// the caller must not touch the record again.
bool tputlib_thread_start(TputSettings* settings);

// While blocked, tputlib_thread_start refuses every record: a stop must not
// be outlived by a run that it set off itself.
void tputlib_thread_block_starts(bool blocked);

// Body of every library thread; destroys the record at its end.
void tputlib_thread_run(TputSettings* settings);

// The reporter leaves the count while it waits for work.
void tputlib_thread_set_ignore();
void tputlib_thread_unset_ignore();

// Takes the non-terminating threads (the listener) out of the count and
// returns the number of counted threads left.
int tputlib_release_nonterm(int interrupt);

// Waits until no counted thread is left, at most timeout_ms (negative: no
// limit). Returns true when the count reached 0.
bool tputlib_thread_joinall(int timeout_ms = -1);

// Joins every thread the library started, waiting at most timeout_ms in
// total. Returns the number of threads that did not end in time (they stay
// owned by the layer and are joined by a later call).
int tputlib_thread_reap_all(int timeout_ms);

int tputlib_thread_count();
void tputlib_thread_rest();

// The calling thread's 32-bit id; never 0.
uint32_t tputlib_thread_current_id();
