#include "CrashDumpWriter.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <ctime>

#include <execinfo.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

// Everything the handler touches is prepared by Install or lives in static
// storage: no allocation, no locale or time-zone lookup, no stdio inside it.

namespace {

constexpr int kFatalSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT, SIGTRAP, SIGSYS};
constexpr int kMaxFrames = 128;
constexpr size_t kAltStackSize = 256 * 1024;   // room for the unwinder under sanitizers
constexpr int kOtherWriterWaitMs = 10000;

char g_crashDir[CrashDumpWriter::kPathCapacity];
char g_dayDir[CrashDumpWriter::kPathCapacity];
char g_file[CrashDumpWriter::kPathCapacity];
char g_header[1024];
void* g_frames[kMaxFrames];
long g_utcOffsetSeconds = 0;
void* g_altStack = nullptr;
// Thread id of the thread writing the dump; 0 while none is.
std::atomic<int> g_writer{0};

// Bounded text building into a caller's buffer; remembers an overflow.
class Appender {
public:
    Appender(char* out, size_t capacity) : m_out(out), m_capacity(capacity)
    {
        if (m_capacity > 0)
            m_out[0] = '\0';
    }

    Appender& Text(const char* text)
    {
        for (; text && *text; ++text)
            Put(*text);
        return *this;
    }

    Appender& Number(int64_t value, int minDigits = 1)
    {
        char digits[24];
        int n = 0;
        uint64_t magnitude = value < 0 ? uint64_t(0) - uint64_t(value) : uint64_t(value);
        do {
            digits[n++] = char('0' + magnitude % 10);
            magnitude /= 10;
        } while (magnitude != 0);
        while (n < minDigits && n < int(sizeof digits))
            digits[n++] = '0';
        if (value < 0)
            Put('-');
        while (n > 0)
            Put(digits[--n]);
        return *this;
    }

    Appender& Hex(uint64_t value)
    {
        static const char kDigits[] = "0123456789abcdef";
        char digits[16];
        int n = 0;
        do {
            digits[n++] = kDigits[value & 0xf];
            value >>= 4;
        } while (value != 0);
        Text("0x");
        while (n > 0)
            Put(digits[--n]);
        return *this;
    }

    bool Ok() const { return !m_overflow; }
    size_t Length() const { return m_used; }

private:
    void Put(char c)
    {
        if (m_used + 1 >= m_capacity) {
            m_overflow = true;
            return;
        }
        m_out[m_used++] = c;
        m_out[m_used] = '\0';
    }

    char* m_out;
    size_t m_capacity;
    size_t m_used = 0;
    bool m_overflow = false;
};

struct CivilTime {
    int64_t year;
    int month, day, hour, minute, second;
};

// Proleptic Gregorian date of a day count since 1970-01-01 (H. Hinnant's algorithm).
CivilTime CivilFromSeconds(int64_t seconds)
{
    int64_t days = seconds / 86400;
    int64_t rest = seconds % 86400;
    if (rest < 0) {
        rest += 86400;
        --days;
    }
    days += 719468;
    const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const int64_t dayOfEra = days - era * 146097;
    const int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const int64_t shiftedMonth = (5 * dayOfYear + 2) / 153;
    CivilTime t;
    t.day = int(dayOfYear - (153 * shiftedMonth + 2) / 5 + 1);
    t.month = int(shiftedMonth < 10 ? shiftedMonth + 3 : shiftedMonth - 9);
    t.year = yearOfEra + era * 400 + (t.month <= 2 ? 1 : 0);
    t.hour = int(rest / 3600);
    t.minute = int(rest % 3600 / 60);
    t.second = int(rest % 60);
    return t;
}

Appender& AppendDate(Appender& out, const CivilTime& t, const char* separator)
{
    return out.Number(t.year, 4).Text(separator).Number(t.month, 2).Text(separator).Number(t.day, 2);
}

const char* SignalName(int signo)
{
    switch (signo) {
    case SIGSEGV: return "SIGSEGV";
    case SIGBUS: return "SIGBUS";
    case SIGFPE: return "SIGFPE";
    case SIGILL: return "SIGILL";
    case SIGABRT: return "SIGABRT";
    case SIGTRAP: return "SIGTRAP";
    case SIGSYS: return "SIGSYS";
    default: return "?";
    }
}

void WriteAll(int fd, const char* data, size_t length)
{
    while (length > 0) {
        const ssize_t n = write(fd, data, length);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        data += n;
        length -= size_t(n);
    }
}

void BuildHeader(int signo, const siginfo_t* info, int tid, const CivilTime& now)
{
    char threadName[17] = {};
    prctl(PR_GET_NAME, threadName, 0, 0, 0);
    Appender out(g_header, sizeof g_header);
    out.Text("Crash dump\nSignal: ").Number(signo).Text(" ").Text(SignalName(signo));
    out.Text("\nCode: ").Number(info ? info->si_code : 0).Text("\n");
    // Positive codes come from the kernel and carry the faulting address; the
    // others (kill, tgkill, abort) name the sending process instead.
    if (info && info->si_code > 0)
        out.Text("Fault address: ").Hex(uint64_t(uintptr_t(info->si_addr))).Text("\n");
    else if (info)
        out.Text("Sent by process: ").Number(info->si_pid).Text("\n");
    out.Text("Process: ").Number(getpid()).Text("\nThread: ").Number(tid).Text(" ").Text(threadName);
    out.Text("\nTime: ");
    AppendDate(out, now, "-").Text(" ").Number(now.hour, 2).Text(":").Number(now.minute, 2).Text(":");
    out.Number(now.second, 2).Text("\nBacktrace:\n");
}

void WriteDump(int signo, const siginfo_t* info, int tid)
{
    timespec wall{};
    clock_gettime(CLOCK_REALTIME, &wall);
    const int64_t localSeconds = int64_t(wall.tv_sec) + g_utcOffsetSeconds;
    if (!CrashDumpWriter::FormatDumpPaths(g_crashDir, localSeconds, g_dayDir, g_file, sizeof g_file))
        return;
    mkdir(g_crashDir, 0755);   // an existing folder is fine
    mkdir(g_dayDir, 0755);
    const int fd = open(g_file, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return;
    BuildHeader(signo, info, tid, CivilFromSeconds(localSeconds));
    WriteAll(fd, g_header, strlen(g_header));
    const int frames = backtrace(g_frames, kMaxFrames);
    backtrace_symbols_fd(g_frames, frames, fd);
    close(fd);
}

// Another thread is writing the dump and will end the process when it is done.
void WaitForOtherWriter()
{
    const timespec slice{0, 10 * 1000 * 1000};
    for (int waited = 0; waited < kOtherWriterWaitMs; waited += 10)
        nanosleep(&slice, nullptr);
}

void DieBy(int signo)
{
    struct sigaction defaultAction;
    memset(&defaultAction, 0, sizeof defaultAction);
    defaultAction.sa_handler = SIG_DFL;
    sigemptyset(&defaultAction.sa_mask);
    sigaction(signo, &defaultAction, nullptr);
    // The signal is blocked while its handler runs: it is delivered, with the
    // default action, as soon as the handler returns.
    raise(signo);
}

long LocalUtcOffset()
{
    const time_t now = time(nullptr);
    tm local{};
    localtime_r(&now, &local);
    return local.tm_gmtoff;
}

// The first backtrace() loads the unwinder, which allocates; do it now.
void LoadUnwinder()
{
    void* frames[2];
    backtrace(frames, 2);
}

void GiveAlternateStack()
{
    if (!g_altStack) {
        void* stack = mmap(nullptr, kAltStackSize, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (stack == MAP_FAILED)
            return;   // the handler still runs, only not after a stack overflow
        g_altStack = stack;
    }
    stack_t altStack{};
    altStack.ss_sp = g_altStack;
    altStack.ss_size = kAltStackSize;
    altStack.ss_flags = 0;
    sigaltstack(&altStack, nullptr);
}

void InstallHandlers()
{
    struct sigaction action;
    memset(&action, 0, sizeof action);
    action.sa_sigaction = TopLevelExceptionFilter;
    // SA_RESETHAND: a fault inside the handler ends the process at once.
    action.sa_flags = SA_SIGINFO | SA_ONSTACK | SA_RESETHAND;
    sigemptyset(&action.sa_mask);
    for (int signo : kFatalSignals)
        sigaddset(&action.sa_mask, signo);
    for (int signo : kFatalSignals)
        sigaction(signo, &action, nullptr);
}

}  // namespace

namespace CrashDumpWriter {

bool FormatDumpPaths(const char* crashDir, int64_t localSeconds, char* dayDir, char* file, size_t capacity)
{
    const CivilTime t = CivilFromSeconds(localSeconds);
    Appender day(dayDir, capacity);
    AppendDate(day.Text(crashDir).Text("/"), t, "-");
    Appender name(file, capacity);
    AppendDate(name.Text(dayDir).Text("/"), t, "").Text("_");
    name.Number(t.hour, 2).Number(t.minute, 2).Number(t.second, 2).Text(".dmp");
    return day.Ok() && name.Ok();
}

bool Install(const char* appDir)
{
    char crashDir[kPathCapacity];
    Appender dir(crashDir, sizeof crashDir);
    dir.Text(appDir).Text("/CrashDir");
    // A trial with the widest date makes sure every later dump path fits.
    static char dayTrial[kPathCapacity];
    static char fileTrial[kPathCapacity];
    const int64_t lastSecondOf9999 = 253402300799;
    if (!appDir || !*appDir || !dir.Ok() ||
        !FormatDumpPaths(crashDir, lastSecondOf9999, dayTrial, fileTrial, kPathCapacity))
        return false;
    memcpy(g_crashDir, crashDir, dir.Length() + 1);
    g_utcOffsetSeconds = LocalUtcOffset();
    LoadUnwinder();
    GiveAlternateStack();
    InstallHandlers();
    return true;
}

const char* CrashDir() { return g_crashDir; }

}  // namespace CrashDumpWriter

void TopLevelExceptionFilter(int signo, siginfo_t* info, void*)
{
    const int savedErrno = errno;
    const int tid = int(syscall(SYS_gettid));
    int idle = 0;
    if (g_writer.compare_exchange_strong(idle, tid))
        WriteDump(signo, info, tid);
    else
        WaitForOtherWriter();
    DieBy(signo);
    errno = savedErrno;
}
