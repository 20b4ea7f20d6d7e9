// station-bench: measures the built station program as an operator runs it,
// on the X display it is given (Xvfb will do), against an in-process back-end
// simulator and a simulated production line whose cameras reply at once.
//
//   station-bench [--program PATH] [--startup-runs N] [--cameras N]
//                 [--judge-ms MS] [--hold-ms MS] [--link-loss-ms MS] [--slots N]
//                 [--test-type 0|1] [--keep DIR]
//
// 1. Start-up, N runs: exec to the first window shown (the work-order dialog,
//    the login being automatic), and the order's "Next Step" click to the main
//    window shown.
// 2. A line of cameras of test type 0, one at a time (with more slots, a ready
//    camera also waits for the one being played): each leaves hold-ms after
//    the chain's last command (the Wi-Fi signal query). Per camera, the time
//    from the log line that lists it in the search cycle that makes it ready
//    (earlier cycles re-address it and upload its package) to its form at the
//    back-end, against the waits the station is built with: 100 ms login poll,
//    100 ms package poll, 100 ms stream-thread pass to pick it up, the 8000 ms
//    Wi-Fi wait from the chain's start (the items' 100 ms ticks and the 300 ms
//    TF pause run inside it), the camera's hold and link-loss delay, the stream
//    judge time, one 100 ms pass and the 50 ms upload poll. The search cycle
//    (4000 ms pause, 2000 ms search) comes before the listing and is reported apart.
// 3. Resident memory of the station at every 100th form (and the last one),
//    and its growth per 100 cameras from camera 100 on.
#include "BackendSimulator.h"
#include "StationDriver.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QUrlQuery>

#include <algorithm>
#include <iterator>
#include <cstdio>
#include <map>
#include <vector>

namespace {

constexpr int kLoginPollMs = 100;
constexpr int kPackagePollMs = 100;
constexpr int kStreamPassMs = 100;
constexpr int kWifiWaitMs = 8000;
constexpr int kUploadPollMs = 50;
constexpr int kCycleMs = 4000;
constexpr int kSearchMs = 2000;
constexpr int kWifiSignalCommand = 1526;
constexpr int kRtcCommand = 1204;   // the last command of a wired chain

struct Options {
    QString program;
    int startupRuns = 5;
    int cameras = 100;
    int judgeMs = 2000;   // the least the station takes
    int holdMs = 500;
    int linkLossMs = 100;
    int lineSlots = 1;
    int testType = 0;   // 0 Wi-Fi card (the demo order), 1 wired: no Wi-Fi wait, for long memory runs
    QString keep;
};

QByteArray LineProfile(const Options& o)
{
    return QStringLiteral(R"({"adapter": {"name": "Simulated LAN", "address": "127.0.0.5", "netmask": "255.255.255.0",
                                       "mac": "02:56:54:00:00:05"},
                 "line": {"count": %1, "slots": %5, "joinAfterMs": 0, "serialPrefix": "VT21BN",
                          "camera": {"devMType": 101, "devType": %6, "searchDelayMs": 0, "loginDelayMs": 0, "replyDelayMs": 0,
                                     "uploadedHwCfgMd5": "a6963c90f21f743eb8538595590ff4df",
                                     "uploadedSysCfgMd5": "5f5fd45c5fb69f6e3945ea0bf187f8fc",
                                     "leaveOnCommand": %2, "leaveAfterCommandMs": %3, "linkLossDelayMs": %4,
                                     "media": {"width": 320, "height": 176, "fps": 10, "sampleRate": 8000,
                                               "bits": 16, "channels": 1, "toneHz": 1000}}}})")
        .arg(o.cameras)
        .arg(o.testType == 0 ? kWifiSignalCommand : kRtcCommand)
        .arg(o.holdMs)
        .arg(o.linkLossMs)
        .arg(o.lineSlots)
        .arg(o.testType == 0 ? 1 : 4)   // the device type that test type expects
        .toUtf8();
}

QByteArray DemoTestConfig()
{
    QFile f(QString::fromUtf8(STATION_SOURCE_DIR) + "/scripts/demo/TestConfig.json");
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

double Median(std::vector<double> v)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

double Mean(const std::vector<double>& v)
{
    double s = 0;
    for (double x : v)
        s += x;
    return v.empty() ? 0 : s / double(v.size());
}

class Bench {
public:
    Bench(const Options& o, const QString& work) : m_o(o), m_work(work) {}

    bool Prepare()
    {
        QByteArray config = DemoTestConfig();
        if (m_o.testType != 0)
            config.replace("\"test_dev_type\":0", "\"test_dev_type\":" + QByteArray::number(m_o.testType));
        if (config.isEmpty()) {
            fprintf(stderr, "station-bench: scripts/demo/TestConfig.json not found\n");
            return false;
        }
        m_sim.SetReply("init/test/config", config.toStdString());
        if (!m_sim.Start()) {
            fprintf(stderr, "station-bench: the back-end simulator did not start\n");
            return false;
        }
        return true;
    }

    bool Startup()
    {
        std::vector<double> first, main;
        for (int run = 0; run < m_o.startupRuns; ++run) {
            const QString dir = QStringLiteral("%1/startup-%2").arg(m_work).arg(run);
            StationDriver station(dir);
            if (!LayOut(dir, "{\"adapter\": {\"address\": \"127.0.0.5\", \"netmask\": \"255.255.255.0\"}, \"cameras\": []}")
                || !station.Start())
                return Fail("the station did not start");
            QElapsedTimer t;
            t.start();
            if (station.WaitWindow(StationDriver::kOrderTitle, 60000).isEmpty())
                return Fail("no work-order dialog");
            first.push_back(double(t.nsecsElapsed()) / 1e6);
            t.restart();
            if (!station.PickOrder(0, 10000))
                return Fail("the order could not be picked");
            const QString window = station.WaitMainWindow(60000);
            if (window.isEmpty())
                return Fail("no main window");
            main.push_back(double(t.nsecsElapsed()) / 1e6);
            const QDateTime shown = QDateTime::currentDateTime();
            const QDateTime accepted = OrderAcceptedAt(station.Log(), station.StartedAt());
            if (accepted.isValid())
                m_accepted.push_back(double(accepted.msecsTo(shown)));
            if (!station.CloseByButton(window) || !station.WaitFinished(60000) || station.ExitCode() != 0)
                return Fail("the station did not close cleanly");
            printf("  run %d: first window %.0f ms, order's Next Step to main window %.0f ms\n", run + 1, first.back(),
                   main.back());
        }
        printf("start-up (median of %d): exec to first window %.0f ms; order's Next Step (its downloads included) to "
               "main window %.0f ms, order accepted to main window %.0f ms; exec + accepted: %.0f ms (aim < 1000 ms)\n",
               m_o.startupRuns, Median(first), Median(main), Median(m_accepted), Median(first) + Median(m_accepted));
        return true;
    }

    bool Line()
    {
        const QString dir = m_work + "/line";
        StationDriver station(dir);
        if (!LayOut(dir, LineProfile(m_o)) || !station.Start())
            return Fail("the station did not start");
        if (!station.PickOrder(0, 60000))
            return Fail("the order could not be picked");
        const QString window = station.WaitMainWindow(60000);
        if (window.isEmpty() || !station.BeginRun(window))
            return Fail("no main window");

        std::map<QString, QDateTime> arrived;
        std::map<int, long> rss;
        size_t seen = 0;
        const int perCameraLimitMs = 60000;
        QDateTime lastArrival = QDateTime::currentDateTime();
        while (int(arrived.size()) < m_o.cameras && station.Running()
               && lastArrival.msecsTo(QDateTime::currentDateTime()) < perCameraLimitMs) {
            const std::vector<std::string> forms = m_sim.Results();
            const QDateTime now = QDateTime::currentDateTime();
            for (; seen < forms.size(); ++seen) {
                const QString sn = QUrlQuery(QString::fromStdString(forms[seen])).queryItemValue("dev_sn");
                arrived.emplace(sn, now);
                lastArrival = now;
                const int n = int(arrived.size());
                if (n % 100 == 0 || n == m_o.cameras) {
                    rss[n] = station.ResidentKiB();
                    printf("  form %d: resident %ld KiB\n", n, rss[n]);
                    fflush(stdout);
                }
            }
            StationDriver::WaitUntil([] { return false; }, 10, 5);
        }
        station.CloseByButton(window);
        station.WaitFinished(60000);
        if (int(arrived.size()) < m_o.cameras)
            printf("line: only %zu of %d forms arrived\n", arrived.size(), m_o.cameras);
        Report(station.Log(), station.StartedAt(), arrived, rss);
        return true;
    }

private:
    bool LayOut(const QString& dir, const QByteArray& profile)
    {
        StationDriver::Layout layout;
        layout.executable = m_o.program;
        layout.appDir = dir;
        layout.profile = profile;
        layout.serviceHost = QString::fromStdString(m_sim.HostText());
        layout.streamJudgeMs = m_o.judgeMs;
        QString error;
        if (!StationDriver::LayOut(layout, &error)) {
            fprintf(stderr, "station-bench: %s\n", qPrintable(error));
            return false;
        }
        return true;
    }

    // The order dialog's last step before it accepts: the order's details.
    static QDateTime OrderAcceptedAt(const QByteArray& log, const QDateTime& started)
    {
        QDateTime at;
        for (const QByteArray& line : log.split('\n')) {
            if (line.contains("slot_NextStepBtnClicked() HttpGetCurrentOrderInfo"))
                at = StationLogTime(line, started);
        }
        return at;
    }

    static bool Fail(const char* what)
    {
        fprintf(stderr, "station-bench: %s\n", what);
        return false;
    }

    int WaitsMs() const
    {
        return kLoginPollMs + kPackagePollMs + kStreamPassMs + kWifiWaitMs + m_o.holdMs + m_o.linkLossMs + m_o.judgeMs
               + kStreamPassMs + kUploadPollMs;
    }

    void Report(const QByteArray& log, const QDateTime& started, const std::map<QString, QDateTime>& arrived,
                const std::map<int, long>& rss) const
    {
        static const QRegularExpression listed("GetAllSearachDevs\\(\\) m_vecSearchDevsInfo\\.push_back\\(\\), SN=(\\w+)");
        static const QRegularExpression played("SN=(\\w+), Begin Play Dev");
        // Per camera: its first listing, and its listing in the cycle that made
        // it ready (the last one before its play began).
        std::map<QString, QDateTime> firstListed, readyListed;
        std::map<QString, bool> playing;
        std::vector<double> cycles, searches;
        QDateTime searchStart, lastSearchStart;
        for (const QByteArray& line : log.split('\n')) {
            const QDateTime at = StationLogTime(line, started);
            if (!at.isValid())
                continue;
            const QString text = QString::fromLatin1(line);
            const QRegularExpressionMatch l = listed.match(text);
            if (l.hasMatch()) {
                firstListed.emplace(l.captured(1), at);
                if (!playing[l.captured(1)])
                    readyListed[l.captured(1)] = at;
            }
            const QRegularExpressionMatch p = played.match(text);
            if (p.hasMatch())
                playing[p.captured(1)] = true;
            if (line.contains("Enter LeftTopWidget::StartSearchDev()")) {
                if (lastSearchStart.isValid())
                    cycles.push_back(double(lastSearchStart.msecsTo(at)));
                lastSearchStart = searchStart = at;
            } else if (line.contains("Leave LeftTopWidget::StartSearchDev()") && searchStart.isValid()) {
                searches.push_back(double(searchStart.msecsTo(at)));
            }
        }
        std::vector<double> totals, before;
        for (const auto& [sn, at] : arrived) {
            const auto r = readyListed.find(sn);
            if (r == readyListed.end())
                continue;
            totals.push_back(double(r->second.msecsTo(at)));
            before.push_back(double(firstListed[sn].msecsTo(r->second)));
        }
        const double waits = WaitsMs();
        const double median = Median(totals);
        if (m_o.testType == 0)
            printf("per camera (%zu cameras, from the listing that made it ready to its form): median %.0f ms, mean %.0f ms; "
               "the waits %.0f ms; overhead %.0f ms = %.1f %% (aim <= 5 %%)\n",
               totals.size(), median, Mean(totals), waits, median - waits, 100.0 * (median - waits) / waits);
        else
            printf("per camera (%zu cameras, from the listing that made it ready to its form): median %.0f ms "
                   "(the waits are counted for test type 0 only)\n", totals.size(), median);
        printf("cycles before that listing (re-addressing, package upload and the camera's restart): median %.0f ms\n",
               Median(before));
        printf("search cycle apart: start to start median %.0f ms (its %d ms); the search itself median %.0f ms "
               "(its %d ms)\n",
               Median(cycles), kCycleMs, Median(searches), kSearchMs);
        // Camera 100 (or the first sample) against the last sample.
        if (!rss.empty()) {
            const auto first = rss.begin();
            const auto last = std::prev(rss.end());
            printf("resident memory at camera %d: %ld KiB\n", first->first, first->second);
            if (last->first > first->first) {
                printf("resident memory at camera %d: %ld KiB\n", last->first, last->second);
                printf("growth: %.0f KiB per 100 cameras (aim < 1024 KiB)\n",
                       double(last->second - first->second) * 100.0 / double(last->first - first->first));
            }
        }
    }

    Options m_o;
    QString m_work;
    BackendSimulator m_sim;
    std::vector<double> m_accepted;
};

}  // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription("Measures the station program's start-up, per-camera overhead and memory "
                                     "(needs an X display; Xvfb will do).");
    parser.addHelpOption();
    parser.addOption({"program", "The station program to measure.", "path", STATION_PROGRAM});
    parser.addOption({"startup-runs", "Start-up runs (0: none).", "n", "5"});
    parser.addOption({"cameras", "Cameras on the line (0: no line).", "n", "100"});
    parser.addOption({"judge-ms", "StreamJudgeTime of the station (2000 at least).", "ms", "2000"});
    parser.addOption({"hold-ms", "How long a camera stays after the chain's last command.", "ms", "500"});
    parser.addOption({"link-loss-ms", "How long the SDK takes to report a camera gone.", "ms", "100"});
    parser.addOption({"slots", "Cameras on the line at once.", "n", "1"});
    parser.addOption({"test-type", "0: Wi-Fi card, the demo order (overhead figures); 1: wired, no Wi-Fi wait "
                                   "(quicker memory runs).", "type", "0"});
    parser.addOption({"keep", "Leave the application folders in this folder.", "dir"});
    parser.process(app);

    Options o;
    o.program = parser.value("program");
    o.startupRuns = parser.value("startup-runs").toInt();
    o.cameras = parser.value("cameras").toInt();
    o.judgeMs = parser.value("judge-ms").toInt();
    o.holdMs = parser.value("hold-ms").toInt();
    o.linkLossMs = parser.value("link-loss-ms").toInt();
    o.lineSlots = std::max(1, parser.value("slots").toInt());
    o.testType = parser.value("test-type").toInt() == 1 ? 1 : 0;
    o.keep = parser.value("keep");
    if (QStringLiteral(STATION_BUILD_TYPE) != "Release")
        fprintf(stderr, "station-bench: this is a %s build; figures count only from a Release tree\n",
                STATION_BUILD_TYPE);
    if (qEnvironmentVariableIsEmpty("DISPLAY")) {
        fprintf(stderr, "station-bench: needs an X display (try xvfb-run -a -s \"-screen 0 1920x1080x24\")\n");
        return 2;
    }

    QTemporaryDir temp;
    const QString work = o.keep.isEmpty() ? temp.path() : o.keep;
    QDir().mkpath(work);
    Bench bench(o, work);
    if (!bench.Prepare())
        return 1;
    if (o.startupRuns > 0 && !bench.Startup())
        return 1;
    if (o.cameras > 0 && !bench.Line())
        return 1;
    return 0;
}
