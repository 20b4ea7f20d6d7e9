#pragma once

#include <csignal>
#include <cstddef>
#include <cstdint>

// Crash dumps: on a fatal signal (SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT,
// SIGTRAP, SIGSYS) the handler writes a text dump to
// <appDir>/CrashDir/yyyy-mm-dd/yyyymmdd_hhmmss.dmp (local time; a second crash
// within the same second replaces the file) and the process then dies by the
// same signal, so its parent still sees the real cause.
//
// The dump, LF-terminated lines:
//   Crash dump
//   Signal: 11 SIGSEGV
//   Code: 1
//   Fault address: 0x10          (kernel-raised signals; "Sent by process: <pid>" for kill/abort)
//   Process: <pid>
//   Thread: <tid> <thread name>
//   Time: yyyy-mm-dd hh:mm:ss
//   Backtrace:
//   <one line per frame>
namespace CrashDumpWriter {

constexpr size_t kPathCapacity = 4096;

// Prepares every path and buffer the handler needs, gives the calling thread an
// alternate signal stack (so a stack overflow on it still gets its dump) and
// installs the handler. Call once from the main thread, early. Returns false and
// installs nothing when the folder's path is too long for a dump path.
// The UTC offset is taken here: the handler cannot read the time zone.
bool Install(const char* appDir);

// The crash folder that Install prepared ("" before Install).
const char* CrashDir();

// "<crashDir>/yyyy-mm-dd" and "<dayDir>/yyyymmdd_hhmmss.dmp" for a local time
// given as seconds since 1970-01-01 00:00:00 local. Async-signal-safe; false when
// a path does not fit into capacity bytes.
bool FormatDumpPaths(const char* crashDir, int64_t localSeconds, char* dayDir, char* file, size_t capacity);

}  // namespace CrashDumpWriter

// The handler itself (SA_SIGINFO form). Async-signal-safe.
void TopLevelExceptionFilter(int signo, siginfo_t* info, void* context);
