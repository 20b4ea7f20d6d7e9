// Starts the way the station's main() does: the application object first, then
// the crash writer. Then it runs an event loop that obeys lines on stdin:
// "quit", or a way to crash ("segv", "thread-segv", "abort", "overflow").
// Usage: main_instance_child <application folder> <organization name>
// The organization name is part of the instance key, so each test picks its own.
#include "AppGlobals.h"
#include "CrashDumpWriter.h"
#include "SingleApplication.h"

#include <QFile>
#include <QSocketNotifier>

#include <pthread.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <thread>

// Exported (the executable is linked with its symbols visible) so that the
// tests can find these frames in a dump's backtrace.
extern "C" {
__attribute__((noinline)) void station_child_fault()
{
    // The store to an unmapped low address is the point: it raises the SIGSEGV
    // the tests expect. The optimiser sees through the constant address and
    // reports it as out of bounds.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Warray-bounds"
    *reinterpret_cast<volatile int*>(uintptr_t(0x10)) = 1;
#pragma GCC diagnostic pop
}

__attribute__((noinline)) void station_child_abort()
{
    // Called through a pointer the compiler cannot see through, and followed by
    // a barrier, so that no optimisation level turns the call into a tail jump:
    // the frame must stay on the stack for the backtrace to name it.
    void (*volatile doAbort)() = abort;
    doAbort();
    asm volatile("" ::: "memory");
}

__attribute__((noinline)) int station_child_recurse(int depth)
{
    volatile char pad[512];
    pad[0] = char(depth);
    if (depth < 0)
        return 0;
    return station_child_recurse(depth + 1) + pad[0];
}
}

namespace {

void Say(const std::string& line)
{
    printf("%s\n", line.c_str());
    fflush(stdout);
}

long ThreadId() { return long(syscall(SYS_gettid)); }

long MonotonicMs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return long(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

void CrashOnNamedThread()
{
    std::thread worker([] {
        pthread_setname_np(pthread_self(), "crasher");
        Say("thread " + std::to_string(ThreadId()));
        station_child_fault();
    });
    worker.join();
}

void Obey(const std::string& command)
{
    if (command == "quit")
        QCoreApplication::quit();
    else if (command == "segv")
        station_child_fault();
    else if (command == "thread-segv")
        CrashOnNamedThread();
    else if (command == "abort")
        station_child_abort();
    else if (command == "overflow")
        station_child_recurse(0);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        fprintf(stderr, "usage: %s <application folder> <organization name>\n", argv[0]);
        return 2;
    }
    const rlimit noCore{0, 0};
    setrlimit(RLIMIT_CORE, &noCore);
    AppDir = QString::fromLocal8Bit(argv[1]);
    QCoreApplication::setOrganizationName(QString::fromLocal8Bit(argv[2]));
    fprintf(stderr, "start %ld\n", MonotonicMs());

    SingleApplication app(argc, argv);
    if (!CrashDumpWriter::Install(QFile::encodeName(AppDirPath()).constData()))
        Say("no crash writer");
    QObject::connect(&app, &SingleApplication::showUp, [] { Say("showUp"); });

    std::string pending;
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
        char buffer[256];
        const ssize_t n = read(STDIN_FILENO, buffer, sizeof buffer);
        if (n <= 0) {
            input.setEnabled(false);
            QCoreApplication::quit();
            return;
        }
        pending.append(buffer, size_t(n));
        for (size_t end; (end = pending.find('\n')) != std::string::npos;) {
            const std::string line = pending.substr(0, end);
            pending.erase(0, end + 1);
            Obey(line);
        }
    });
    Say("ready " + std::to_string(getpid()));
    return app.exec();
}
