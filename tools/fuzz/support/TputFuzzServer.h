#pragma once

#include <cstdint>

// The throughput library's server on a free port for a whole fuzz run; its
// results are only counted. Cleaned up at exit.
namespace TputFuzzServer {

// Starts the server (UDP when udp) and waits until it listens; false when it does not.
bool Start(bool udp);
uint16_t Port();
// A socket connected to the server on 127.0.0.1 (SOCK_STREAM or SOCK_DGRAM); -1
// with errno on failure. A connect that the fuzzer's timer signal cuts short
// goes on by itself and is waited for.
int Connect(int type);
// Stops the server (cleanup: frees all the library holds too) while runs may
// still be going, then starts it again on the same port.
bool Restart(bool cleanup);
// Final reports so far (of the server's connections and of runs back).
uint64_t Finals();
// Runs on the library's reporter thread at each final report, before it is
// counted: a driver can keep the reporter busy there, as a slow receiver of
// results would. Null: none.
void SetFinalHook(void (*hook)());
// Waits until Finals() reaches count; false after `seconds`.
bool WaitFinals(uint64_t count, int seconds);
// Waits until every connection thread and run back has ended; false after
// `seconds` (the fuzz input hung the library).
bool WaitIdle(int seconds);

}  // namespace TputFuzzServer
