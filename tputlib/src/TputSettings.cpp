#include "TputSettings.h"

#include "TputInet.h"
#include "TputReporter.h"
#include "TputTestBack.h"

#include <cctype>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <getopt.h>
#include <netdb.h>

namespace {

char* CopyText(const char* text)
{
    return text ? strdup(text) : nullptr;
}

void ReplaceText(char** field, const char* text)
{
    free(*field);
    *field = CopyText(text);
}

// Values from the environment or a command line are clamped into the field's
// range instead of wrapping.
int32_t ClampInt32(uint64_t value)
{
    return value > static_cast<uint64_t>(INT32_MAX) ? INT32_MAX : static_cast<int32_t>(value);
}

int32_t ParseInt(const char* text, int base = 10)
{
    const long long v = strtoll(text ? text : "", nullptr, base);
    if (v > INT32_MAX)
        return INT32_MAX;
    if (v < INT32_MIN)
        return INT32_MIN;
    return static_cast<int32_t>(v);
}

bool ParsePort(const char* text, uint16_t* port)
{
    const long long v = strtoll(text ? text : "", nullptr, 10);
    if (v < 0 || v > 65535) {
        fprintf(stderr, "WARNING: port %s is out of range, ignored\n", text ? text : "");
        return false;
    }
    *port = static_cast<uint16_t>(v);
    return true;
}

// The size parser with the value's last letter forced to one case.
uint64_t ParseSizeCased(const char* text, bool upper)
{
    char buf[64];
    snprintf(buf, sizeof buf, "%s", text ? text : "");
    const size_t n = strlen(buf);
    if (n > 0) {
        const unsigned char last = static_cast<unsigned char>(buf[n - 1]);
        buf[n - 1] = static_cast<char>(upper ? toupper(last) : tolower(last));
    }
    return tputlib_parse_size(buf);
}

void ImplyCompat(TputSettings* s, char option)
{
    s->flags |= kTputFlagCompat;
    fprintf(stderr, "WARNING: option -%c has implied compatibility mode\n", option);
}

bool ClientOnly(const TputSettings* s, char option)
{
    if (s->threadMode == 2)
        return true;
    fprintf(stderr, "WARNING: option -%c is not valid for server mode\n", option);
    return false;
}

void SetMulticastFrom(TputSettings* s, const sockaddr_storage& addr)
{
    if (tputlib_addr_is_multicast(addr))
        s->flags |= kTputFlagMulticast;
}

void ApplyLength(TputSettings* s, const char* value)
{
    uint64_t size = tputlib_parse_size(value);
    s->bufferLength = ClampInt32(size == 0 ? 1 : size);
    s->flags |= kTputFlagBufLenSet;
    if (s->flags & kTputFlagUdp) {
        if (s->bufferLength < 12) {
            s->bufferLength = 12;
            fprintf(stderr, "WARNING: the UDP buffer was increased to %d for proper operation\n", s->bufferLength);
        }
        if (s->bufferLength <= 35 && !(s->flags & kTputFlagCompat))
            ImplyCompat(s, 'l');
    } else if (s->bufferLength <= 23 && !(s->flags & kTputFlagCompat)) {
        ImplyCompat(s, 'l');
    }
}

void ApplyExclude(TputSettings* s, const char* value)
{
    for (const char* p = value ? value : ""; *p; ++p) {
        switch (*p) {
        case 'C': case 'c': s->flags |= kTputFlagNoConnReport; break;
        case 'D': case 'd': s->flags |= kTputFlagNoDataReport; break;
        case 'M': case 'm': s->flags |= kTputFlagNoMultiReport; break;
        case 'S': case 's': s->flags |= kTputFlagNoSettingsReport; break;
        case 'V': case 'v': s->flags |= kTputFlagNoServerReport; break;
        default:
            fprintf(stderr, "WARNING: unknown reporting type \"%c\", ignored\n valid options are:\n\t exclude: C(connection) D(data) M(multicast) S(settings) V(server) report\n\n", *p);
            break;
        }
    }
}

void ApplyClientHost(TputSettings* s, const char* value)
{
    ReplaceText(&s->host, value);
    if (s->threadMode != 0)
        return;
    sockaddr_storage addr = s->peer;
    if (tputlib_resolve(s->host, &addr, s->flags & kTputFlagIPv6) != 0) {
        // A name that does not resolve fails this setting only.
        ReplaceText(&s->host, nullptr);
        return;
    }
    s->peer = addr;
    s->peerLength = tputlib_addr_length(addr);
    SetMulticastFrom(s, addr);
    s->threadMode = 2;
    s->threads = 1;
}

void ApplyBind(TputSettings* s, const char* value)
{
    ReplaceText(&s->localHost, value);
    sockaddr_storage addr = s->local;
    if (tputlib_resolve(s->localHost, &addr, s->flags & kTputFlagIPv6) != 0) {
        ReplaceText(&s->localHost, nullptr);
        return;
    }
    s->local = addr;
    s->localLength = tputlib_addr_length(addr);
    SetMulticastFrom(s, addr);
}

void ApplyIPv6(TputSettings* s)
{
    s->flags |= kTputFlagIPv6;
    const char* text = nullptr;
    if (s->threadMode == 1 && s->localHost)
        text = s->localHost;
    else if (s->threadMode == 2)
        text = s->host;
    if (!text)
        return;
    sockaddr_storage addr{};
    if (tputlib_resolve(text, &addr, true) == 0)
        SetMulticastFrom(s, addr);
}

void PrintUsage()
{
    fprintf(stderr,
            "Usage: tput -s [options]          measure what clients send\n"
            "       tput -c <host> [options]   send to a server and measure\n"
            "Sizes take K, M or G for powers of 1024 (bytes) and k, m or g for powers of 1000.\n"
            "\n"
            "Client/Server:\n"
            "  -f, --format <unit>          unit of reported rates: b k m g (bits) or B K M G (bytes), a/A picks one\n"
            "  -i, --interval <seconds>     report every so many seconds (0.5 at least)\n"
            "  -l, --len <size>             bytes per read or write (default 128K)\n"
            "  -m, --print_mss              show the TCP segment size when a connection ends\n"
            "  -o, --output <file>          append the reports to this file\n"
            "  -p, --port <port>            port to serve or to connect to (default 5001)\n"
            "  -u, --udp                    test over UDP instead of TCP\n"
            "  -w, --window <size>          socket buffer size to ask for\n"
            "  -B, --bind <host>            local address, or multicast group, to use\n"
            "  -C, --compatibility          exchange no client header, for peers that send none\n"
            "  -M, --mss <bytes>            TCP segment size to ask for\n"
            "  -N, --nodelay                send every write at once (no Nagle)\n"
            "  -S, --tos <value>            IP type of service; 0x.. hexadecimal, 0.. octal\n"
            "  -V, --ipv6_domain            use IPv6 addresses\n"
            "  -W, --suggest_win_size       suggest a window size (not in this build)\n"
            "\n"
            "Server specific:\n"
            "  -s, --server                 run the server\n"
            "  -1, --singleclient           serve the first client's host only\n"
            "  -U, --single_udp             serve every UDP peer from one thread\n"
            "  -D, --daemon                 run in the background as a service\n"
            "  -R, --remove                 remove the installed service\n"
            "\n"
            "Client specific:\n"
            "  -c, --client <host>          run the client against this server\n"
            "  -b, --bandwidth <rate>       UDP rate in bits per second (implies -u)\n"
            "  -d, --dualtest               have the server test back at the same time\n"
            "  -r, --tradeoff               have the server test back afterwards\n"
            "  -n, --num <size>             send this many bytes instead of timing the run\n"
            "  -t, --time <seconds>         length of the run (default 10)\n"
            "  -F, --file_input <file>      send the contents of this file\n"
            "  -I, --stdin_input            send what comes in on standard input\n"
            "  -L, --listenport <port>      port on which the test back arrives\n"
            "  -P, --parallel <count>       streams to run side by side\n"
            "  -T, --ttl <hops>             time to live of multicast packets (default 1)\n"
            "  -Z, --linux-congestion <name>  TCP congestion control (not in this build)\n"
            "\n"
            "Miscellaneous:\n"
            "  -x, --reportexclude <CDMSV>  leave out connection, data, multicast sum, settings or server reports\n"
            "  -y, --reportstyle C          reports as comma-separated values\n"
            "  -h, --help                   show this text\n"
            "  -v, --version                show the version\n");
}

struct EnvOption {
    const char* name;
    char letter;
};

const EnvOption kEnvironment[] = {
    {"TPUT_SINGLECLIENT", '1'}, {"TPUT_BANDWIDTH", 'b'}, {"TPUT_CLIENT", 'c'},
    {"TPUT_DUALTEST", 'd'}, {"TPUT_FORMAT", 'f'}, {"TPUT_INTERVAL", 'i'},
    {"TPUT_LEN", 'l'}, {"TPUT_PRINT_MSS", 'm'}, {"TPUT_NUM", 'n'},
    {"TPUT_PORT", 'p'}, {"TPUT_TRADEOFF", 'r'}, {"TPUT_SERVER", 's'},
    {"TPUT_TIME", 't'}, {"TPUT_UDP", 'u'}, {"TCP_WINDOW_SIZE", 'w'},
    {"TPUT_REPORTEXCLUDE", 'x'}, {"TPUT_REPORTSTYLE", 'y'}, {"TPUT_BIND", 'B'},
    {"TPUT_COMPAT", 'C'}, {"TPUT_DAEMON", 'D'}, {"TPUT_FILE_INPUT", 'F'},
    {"TPUT_STDIN_INPUT", 'I'}, {"TPUT_MSS", 'M'}, {"TPUT_NODELAY", 'N'},
    {"TPUT_LISTENPORT", 'L'}, {"TPUT_PARALLEL", 'P'}, {"TPUT_TOS", 'S'},
    {"TPUT_TTL", 'T'}, {"TPUT_SINGLE_UDP", 'U'}, {"TPUT_IPV6_DOMAIN", 'V'},
    {"TPUT_SUGGEST_WIN_SIZE", 'W'}, {"TPUT_CONGESTION_CONTROL", 'Z'},
};

const option kLongOptions[] = {
    {"singleclient", no_argument, nullptr, '1'},
    {"bandwidth", required_argument, nullptr, 'b'},
    {"client", required_argument, nullptr, 'c'},
    {"dualtest", no_argument, nullptr, 'd'},
    {"format", required_argument, nullptr, 'f'},
    {"help", no_argument, nullptr, 'h'},
    {"interval", required_argument, nullptr, 'i'},
    {"len", required_argument, nullptr, 'l'},
    {"print_mss", no_argument, nullptr, 'm'},
    {"num", required_argument, nullptr, 'n'},
    {"output", required_argument, nullptr, 'o'},
    {"port", required_argument, nullptr, 'p'},
    {"tradeoff", no_argument, nullptr, 'r'},
    {"server", no_argument, nullptr, 's'},
    {"time", required_argument, nullptr, 't'},
    {"udp", no_argument, nullptr, 'u'},
    {"version", no_argument, nullptr, 'v'},
    {"window", required_argument, nullptr, 'w'},
    {"reportexclude", required_argument, nullptr, 'x'},
    {"reportstyle", required_argument, nullptr, 'y'},
    {"bind", required_argument, nullptr, 'B'},
    {"compatibility", no_argument, nullptr, 'C'},
    {"daemon", no_argument, nullptr, 'D'},
    {"file_input", required_argument, nullptr, 'F'},
    {"stdin_input", no_argument, nullptr, 'I'},
    {"listenport", required_argument, nullptr, 'L'},
    {"mss", required_argument, nullptr, 'M'},
    {"nodelay", no_argument, nullptr, 'N'},
    {"parallel", required_argument, nullptr, 'P'},
    {"remove", no_argument, nullptr, 'R'},
    {"tos", required_argument, nullptr, 'S'},
    {"ttl", required_argument, nullptr, 'T'},
    {"single_udp", no_argument, nullptr, 'U'},
    {"ipv6_domain", no_argument, nullptr, 'V'},
    {"suggest_win_size", no_argument, nullptr, 'W'},
    {"linux-congestion", required_argument, nullptr, 'Z'},
    {nullptr, 0, nullptr, 0},
};

} // namespace


void tputlib_settings_init(TputSettings* s)
{
    *s = TputSettings{};
    s->sock = -1;
    s->port = 5001;
    s->flags = kTputFlagStdout | kTputFlagModeTime;
    s->threadMode = 0;
    s->format = 'a';
    s->bufferLength = kTputDefaultBufferLength;
    s->amount = 1000;
    s->ttl = 1;
}

void tputlib_settings_copy(const TputSettings* source, TputSettings** copy)
{
    TputSettings* c = new TputSettings(*source);
    c->fileName = CopyText(source->fileName);
    c->host = CopyText(source->host);
    c->localHost = CopyText(source->localHost);
    c->outputFileName = CopyText(source->outputFileName);
    c->threadId = 0;
    c->threadHandle = nullptr;
    c->runNow = nullptr;
    c->runNext = nullptr;
    c->backStream = false;
    if (c->groupHeader)
        tputlib_group_ref(c->groupHeader);
    *copy = c;
}

void tputlib_settings_destroy(TputSettings* s)
{
    if (!s)
        return;
    free(s->fileName);
    free(s->host);
    free(s->localHost);
    free(s->outputFileName);
    if (s->groupHeader)
        tputlib_group_unref(s->groupHeader);
    if (s->backStream)
        tputlib_test_back_release();
    delete s;
}

void tputlib_settings_destroy_chain(TputSettings* s)
{
    while (s) {
        tputlib_settings_destroy_chain(s->runNext);
        TputSettings* next = s->runNow;
        tputlib_settings_destroy(s);
        s = next;
    }
}

uint64_t tputlib_parse_size(const char* text)
{
    double number = 0;
    char suffix = '\0';
    if (!text || sscanf(text, "%lf%c", &number, &suffix) < 1)
        return 0;
    switch (suffix) {
    case 'G': number *= 1073741824.0; break;
    case 'M': number *= 1048576.0; break;
    case 'K': number *= 1024.0; break;
    case 'g': number *= 1e9; break;
    case 'm': number *= 1e6; break;
    case 'k': number *= 1e3; break;
    default: break;
    }
    // Negative, not-a-number and too large values would be undefined in the
    // conversion: they become 0 or the largest value.
    if (!(number > 0))
        return 0;
    if (number >= 18446744073709551615.0)
        return UINT64_MAX;
    return static_cast<uint64_t>(number);
}

int tputlib_resolve(const char* text, sockaddr_storage* addr, bool preferIPv6)
{
    addrinfo* result = nullptr;
    const int rc = getaddrinfo(text ? text : "", nullptr, nullptr, &result);
    if (rc != 0) {
        fprintf(stderr, "error: %s\n", gai_strerror(rc));
        return -1;
    }
    if (!result) {
        fprintf(stderr, "getaddrinfo failed to get an address... target was '%s'\n", text ? text : "");
        return -1;
    }
    const addrinfo* chosen = nullptr;
    if (preferIPv6) {
        for (const addrinfo* p = result; p && !chosen; p = p->ai_next) {
            if (p->ai_family == AF_INET6)
                chosen = p;
        }
    }
    for (const addrinfo* p = result; p && !chosen; p = p->ai_next) {
        if (p->ai_family == AF_INET)
            chosen = p;
    }
    if (chosen && chosen->ai_addrlen <= sizeof(sockaddr_storage)) {
        const uint16_t port = tputlib_addr_port(*addr);
        memset(addr, 0, sizeof *addr);
        memcpy(addr, chosen->ai_addr, chosen->ai_addrlen);
        tputlib_addr_set_port(*addr, port);
    }
    freeaddrinfo(result);
    return 0;
}

void tputlib_apply_option(char option, const char* value, TputSettings* s)
{
    const char* v = value ? value : "";
    switch (option) {
    case '1': s->flags |= kTputFlagSingleClient; break;
    case 'b':
        // The UDP hint comes first, also where the rate is then refused.
        if (!(s->flags & kTputFlagUdp))
            fprintf(stderr, "WARNING: option -%c implies udp testing\n", option);
        if (!ClientOnly(s, option))
            break;
        s->udpRate = ParseSizeCased(v, false);
        s->flags |= kTputFlagUdp;
        if (!(s->flags & kTputFlagBufLenSet))
            s->bufferLength = 1470;
        break;
    case 'c': ApplyClientHost(s, v); break;
    case 'd':
    case 'r':
        if (!ClientOnly(s, option))
            break;
        if (s->flags & kTputFlagCompat)
            fprintf(stderr, "WARNING: option -%c is not valid in compatibility mode\n", option);
        s->testMode = option == 'd' ? kTputTestDual : kTputTestTradeoff;
        break;
    case 'f': if (*v) s->format = v[0]; break;
    case 'h': PrintUsage(); break;
    case 'i':
        s->interval = atof(v);
        // Not-a-number counts as too small; the longest span must still fit
        // the reporter's whole seconds.
        if (s->interval > INT32_MAX)
            s->interval = INT32_MAX;
        if (!(s->interval >= 0.5)) {
            fprintf(stderr, "WARNING: interval too small, increasing from %3.2f to 0.5 seconds.\n", s->interval);
            s->interval = 0.5;
        }
        break;
    case 'l': ApplyLength(s, v); break;
    case 'm': s->flags |= kTputFlagPrintMss; break;
    case 'n':
        s->flags &= ~kTputFlagModeTime;
        s->amount = ParseSizeCased(v, true);
        break;
    case 'o':
        s->flags &= ~kTputFlagStdout;
        ReplaceText(&s->outputFileName, v);
        break;
    case 'p': ParsePort(v, &s->port); break;
    case 's':
        if (s->threadMode != 0)
            fprintf(stderr, "WARNING: option -%c is not valid for client mode\n", option);
        else
            s->threadMode = 4;
        break;
    case 't': {
        s->flags |= kTputFlagModeTime;
        const double hundredths = atof(v) * 100.0;
        s->amount = hundredths > 0 && hundredths < 1.8e19 ? static_cast<uint64_t>(hundredths) : 0;
        break;
    }
    case 'u':
        if (!(s->flags & kTputFlagUdp)) {
            s->udpRate = 1048576;
            s->flags |= kTputFlagUdp;
        }
        if (s->flags & kTputFlagBufLenSet) {
            if (s->bufferLength < 36 && !(s->flags & kTputFlagCompat))
                ImplyCompat(s, option);
        } else {
            s->bufferLength = 1470;
        }
        break;
    case 'v': fprintf(stderr, "tput version 1.0 win32 threads\n"); break;
    case 'w':
        s->tcpWindow = ClampInt32(tputlib_parse_size(v));
        if (s->tcpWindow < 2048)
            fprintf(stderr, "WARNING: TCP window size set to %d bytes. A small window size\nwill give poor performance. See the tput documentation.\n", s->tcpWindow);
        break;
    case 'x': ApplyExclude(s, v); break;
    case 'y':
        if (v[0] == 'C' || v[0] == 'c')
            s->reportMode = kTputReportCsv;
        else
            fprintf(stderr, "WARNING: unknown reporting style \"%s\", switching to default\n", v);
        break;
    case 'B': ApplyBind(s, v); break;
    case 'C':
        s->flags |= kTputFlagCompat;
        if (s->testMode != kTputTestNormal) {
            fprintf(stderr, "WARNING: option -%c is not valid in compatibility mode\n", s->testMode == kTputTestDual ? 'd' : 'r');
            s->testMode = kTputTestNormal;
        }
        break;
    case 'D': s->flags |= kTputFlagDaemon; break;
    case 'F':
        if (!ClientOnly(s, option))
            break;
        s->flags |= kTputFlagFileInput;
        ReplaceText(&s->fileName, v);
        break;
    case 'I':
        if (!ClientOnly(s, option))
            break;
        s->flags |= kTputFlagFileInput | kTputFlagStdin;
        ReplaceText(&s->fileName, "<stdin>");
        break;
    case 'L':
        if (ClientOnly(s, option))
            ParsePort(v, &s->listenPort);
        break;
    case 'M': s->mss = ClampInt32(tputlib_parse_size(v)); break;
    case 'N': s->flags |= kTputFlagNoDelay; break;
    case 'P': s->threads = ParseInt(v); break;
    case 'R': s->flags |= kTputFlagRemoveService; break;
    case 'S': s->tos = ParseInt(v, 0); break;
    case 'T': s->ttl = ParseInt(v); break;
    case 'U': s->flags |= kTputFlagSingleUdp; break;
    case 'V': ApplyIPv6(s); break;
    case 'W':
        s->flags |= kTputFlagSuggestWin;
        fprintf(stderr, "The -W option is not available in this release\n");
        break;
    case 'Z': fprintf(stderr, "The -Z option is not available on this operating system\n"); break;
    default: break;
    }
}

void tputlib_parse_environment(TputSettings* settings)
{
    for (const EnvOption& env : kEnvironment) {
        if (const char* value = getenv(env.name))
            tputlib_apply_option(env.letter, value, settings);
    }
}

void tputlib_parse_command_line(int argc, char** argv, TputSettings* settings)
{
    optind = 0; // a fresh scan, also when called more than once
    int letter;
    while ((letter = getopt_long(argc, argv, "1b:c:df:hi:l:mn:o:p:rst:uvw:x:y:B:CDF:IL:M:NP:RS:T:UVWZ:",
                                 kLongOptions, nullptr)) != -1) {
        tputlib_apply_option(static_cast<char>(letter), optarg, settings);
    }
    for (int i = optind; i < argc; ++i)
        fprintf(stderr, "%s: ignoring extra argument -- %s\n", argv[0], argv[i]);
}
