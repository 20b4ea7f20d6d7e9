// station-bench: measures the built station program as an operator runs it,
// on the X display it is given (Xvfb will do), against an in-process back-end
// simulator and a simulated production line whose cameras reply at once.
//
//   station-bench [--program PATH] [--startup-runs N] [--cpu-ms MS] [--cameras N]
//                 [--judge-ms MS] [--hold-ms MS] [--link-loss-ms MS] [--slots N]
//                 [--test-type 0|1] [--keep DIR]
//
// 1. Start-up, N runs, as the operator waits it: from starting the program to
//    its first window (the work-order dialog, the login being automatic), and
//    from the order's "Next Step" click to the main window, the order's
//    downloads included; the aim is on the two together, per run.
// 2. CPU of the station in percent of one core, over MS of wall time: idle
//    (the run begun, search cycles running, no camera) and playing one camera
//    of the line's kind that stays, once its chain has finished.
// 3. A line of cameras of test type 0, one at a time (with more slots, a ready
//    camera also waits for the one being played): each leaves hold-ms after
//    the chain's last command (the Wi-Fi signal query). Per camera:
//    - from its first listing in a search to the next camera's, against the
//      line's waits: three search cycles before it is ready (re-addressing,
//      the package upload, the 5000 ms it sits out after the upload), then its
//      waits until it leaves, rounded up to the first search that starts
//      after it left and lists the next camera;
//    - of that, from the log line that lists it in the search cycle that makes
//      it ready to its form at the back-end, against the waits the station is
//      built with: 100 ms login poll, 100 ms package poll, 100 ms stream-thread
//      pass to pick it up, the 8000 ms Wi-Fi wait from the chain's start (the
//      items' 100 ms ticks and the 300 ms TF pause run inside it), the
//      camera's hold and link-loss delay, the stream judge time, one 100 ms
//      pass and the 50 ms upload poll;
//    - the station's CPU seconds.
//    The search cycle (4000 ms, of which 2000 ms search) is reported apart.
//    Every camera of the line is sound: each must bring one form, passed, and
//    no other form may come; a line that breaks this fails without figures.
// 4. Resident memory of the station at every 100th form (and the last one),
//    and its growth per 100 cameras from camera 100 on.
// Every station is closed with its close button; one that does not end with
// exit code 0 fails the run.
#include "BackendSimulator.h"
#include "LinePlan.h"
#include "sim/SimProfile.h"
#include "StationDriver.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <iterator>
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
// Re-addressing, the package upload, and the 5000 ms hold-back after it.
constexpr int kCyclesBeforeReady = 3;
constexpr int kWifiSignalCommand = 1526;
constexpr int kRtcCommand = 1204;   // the last command of a wired chain
constexpr int kStationMs = 60000;   // for a window, a cycle or a close
constexpr int kStayMs = 3600000;    // a camera that stays (the longest stay a profile takes)

struct Options {
    QString program;
    int startupRuns = 5;
    int cpuMs = 20000;
    int cameras = 100;
    int judgeMs = 2000;   // the least the station takes
    int holdMs = 500;
    int linkLossMs = 100;
    int lineSlots = 1;
    int testType = 0;   // 0 Wi-Fi card (the demo order), 1 wired: no Wi-Fi wait, for long memory runs
    QString keep;
};

// A line of `count` cameras of the kind the test type expects; each leaves
// holdMs after the chain's last command, or stays when holdMs is kStayMs.
QByteArray LineProfile(const Options& o, int count, int holdMs)
{
    const int lastCommand = o.testType == 0 ? kWifiSignalCommand : kRtcCommand;
    const QString leave = holdMs == kStayMs
                              ? QStringLiteral("\"leaveAfterStreamMs\": %1").arg(kStayMs)
                              : QStringLiteral("\"leaveOnCommand\": %1, \"leaveAfterCommandMs\": %2")
                                    .arg(lastCommand)
                                    .arg(holdMs);
    return QStringLiteral(R"({"adapter": {"name": "Simulated LAN", "address": "127.0.0.5", "netmask": "255.255.255.0",
                                       "mac": "02:56:54:00:00:05"},
                 "line": {"count": %1, "slots": %2, "joinAfterMs": 0, "serialPrefix": "VT21BN",
                          "camera": {"devMType": 101, "devType": %3, "searchDelayMs": 0, "loginDelayMs": 0, "replyDelayMs": 0,
                                     "uploadedHwCfgMd5": "a6963c90f21f743eb8538595590ff4df",
                                     "uploadedSysCfgMd5": "5f5fd45c5fb69f6e3945ea0bf187f8fc",
                                     %4, "linkLossDelayMs": %5,
                                     "media": {"width": 320, "height": 176, "fps": 10, "sampleRate": 8000,
                                               "bits": 16, "channels": 1, "toneHz": 1000}}}})")
        .arg(count)
        .arg(o.lineSlots)
        .arg(o.testType == 0 ? 1 : 4)   // the device type that test type expects
        .arg(leave)
        .arg(o.linkLossMs)
        .toUtf8();
}

const char kEmptyLan[] = R"({"adapter": {"address": "127.0.0.5", "netmask": "255.255.255.0"}, "cameras": []})";

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
        std::vector<double> first, nextStep, setUp, together;
        for (int run = 0; run < m_o.startupRuns; ++run) {
            const QString dir = QStringLiteral("%1/startup-%2").arg(m_work).arg(run);
            StationDriver station(dir);
            if (!LayOut(dir, kEmptyLan))
                return false;
            // From the operator's start of the program, process creation included.
            QElapsedTimer t;
            t.start();
            if (!station.Start())
                return Fail("the station did not start");
            if (station.WaitWindow(StationDriver::kOrderTitle, kStationMs).isEmpty())
                return Fail("no work-order dialog");
            first.push_back(double(t.nsecsElapsed()) / 1e6);
            if (!station.PickOrder(0, 10000))
                return Fail("the order could not be picked");
            const QString window = station.WaitMainWindow(kStationMs);
            if (window.isEmpty())
                return Fail("no main window");
            const QDateTime shown = QDateTime::currentDateTime();
            nextStep.push_back(double(station.NextStepClickedMs() >= 0
                                          ? shown.toMSecsSinceEpoch() - station.NextStepClickedMs()
                                          : 0));
            together.push_back(first.back() + nextStep.back());
            if (!Close(station, window))
                return false;
            const QDateTime lastRequest = OrderLastRequestAt(station.Log(), station.StartedAt());
            if (lastRequest.isValid())
                setUp.push_back(double(lastRequest.msecsTo(shown)));
            printf("  run %d: start to first window %.0f ms, order's Next Step to main window %.0f ms; together %.0f ms\n",
                   run + 1, first.back(), nextStep.back(), together.back());
        }
        printf("start-up (median of %d runs): start to first window %.0f ms; order's Next Step to main window, its "
               "downloads included, %.0f ms (of which its last request to the main window %.0f ms); the operator "
               "waits, both together per run, %.0f ms (aim < 1000 ms)\n",
               m_o.startupRuns, Median(first), Median(nextStep), Median(setUp), Median(together));
        return true;
    }

    // CPU of an idle station, then of one playing a camera after its chain.
    bool Cpu()
    {
        double idle = 0;
        if (!MeasureCpu("cpu-idle", kEmptyLan, "Leave LeftTopWidget::StartSearchDev()", &idle))
            return false;
        double playing = 0;
        if (!MeasureCpu("cpu-playing", LineProfile(m_o, 1, kStayMs), "AutoTestFinish() SN=", &playing))
            return false;
        printf("CPU over %.1f s, %% of one core: idle (run begun, search cycles, no camera) %.1f %% (aim < 5 %%); "
               "playing one camera after its chain %.1f %%\n",
               m_o.cpuMs / 1000.0, idle, playing);
        return true;
    }

    bool Line()
    {
        const QByteArray profile = LineProfile(m_o, m_o.cameras, m_o.holdMs);
        SimProfile parsed;
        QString error;
        if (!SimProfile::Parse(profile, &parsed, &error))
            return Fail("the line's profile: " + error);
        LinePlan plan(parsed.line);
        // Forms of the stations before this one are not the line's.
        size_t seen = m_sim.Results().size();
        const QString dir = m_work + "/line";
        StationDriver station(dir);
        if (!LayOut(dir, profile) || !station.Start())
            return Fail("the station did not start");
        if (!station.PickOrder(0, kStationMs))
            return Fail("the order could not be picked");
        const QString window = station.WaitMainWindow(kStationMs);
        if (window.isEmpty() || !station.BeginRun(window))
            return Fail("no main window");
        const double cpuAtRun = station.CpuSeconds();

        std::map<QString, QDateTime> arrived;   // the forms that keep the plan
        std::map<int, long> rss;
        double cpuAtLast = cpuAtRun;
        const int perCameraLimitMs = 60000;
        QDateTime lastArrival = QDateTime::currentDateTime();
        while (plan.Arrived() < m_o.cameras && station.Running()
               && lastArrival.msecsTo(QDateTime::currentDateTime()) < perCameraLimitMs) {
            const QDateTime now = QDateTime::currentDateTime();
            const size_t before = seen;
            TakeForms(plan, seen, [&](const QString& serial) {
                arrived.emplace(serial, now);
                cpuAtLast = station.CpuSeconds();
                const int n = int(arrived.size());
                if (n % 100 == 0 || n == m_o.cameras) {
                    rss[n] = station.ResidentKiB();
                    printf("  form %d: resident %ld KiB\n", n, rss[n]);
                    fflush(stdout);
                }
            });
            if (seen > before)
                lastArrival = now;
            StationDriver::WaitUntil([] { return false; }, 10, 5);
        }
        const bool closed = Close(station, window);
        // What came until the station ended counts as well: a second form, say.
        TakeForms(plan, seen, [&](const QString& serial) { arrived.emplace(serial, QDateTime::currentDateTime()); });
        const QStringList missing = plan.Missing();
        if (!missing.isEmpty())
            Fail(QStringLiteral("%1 of %2 cameras brought no form, the first %3")
                     .arg(missing.size())
                     .arg(m_o.cameras)
                     .arg(missing.first()));
        if (!closed || !plan.Kept())
            return Fail("the line did not run as planned: no figures for it");
        Report(station.Log(), station.StartedAt(), arrived, rss);
        printf("CPU: %.2f s per camera from Begin Run to the last form\n",
               (cpuAtLast - cpuAtRun) / double(arrived.size()));
        return true;
    }

private:
    // The forms received since `seen`, held against the plan: each fault is
    // reported, each form that keeps the plan goes to kept with its serial.
    void TakeForms(LinePlan& plan, size_t& seen, const std::function<void(const QString&)>& kept)
    {
        const std::vector<std::string> forms = m_sim.Results();
        for (; seen < forms.size(); ++seen) {
            const LinePlan::Form form = plan.Take(forms[seen]);
            if (form.fault.isEmpty())
                kept(form.serial);
            else
                Fail(form.fault);
        }
    }

    bool LayOut(const QString& dir, const QByteArray& profile)
    {
        StationDriver::Layout layout;
        layout.executable = m_o.program;
        layout.appDir = dir;
        layout.profile = profile;
        layout.serviceHost = QString::fromStdString(m_sim.HostText());
        layout.streamJudgeMs = m_o.judgeMs;
        QString error;
        if (!StationDriver::LayOut(layout, &error))
            return Fail(error);
        return true;
    }

    // A station on profile, its run begun; once its log holds ready (and a
    // search cycle has begun since), its CPU over cpuMs of wall time.
    bool MeasureCpu(const QString& name, const QByteArray& profile, const char* ready, double* percent)
    {
        const QString dir = m_work + "/" + name;
        StationDriver station(dir);
        if (!LayOut(dir, profile) || !station.Start())
            return Fail("the station did not start");
        if (!station.PickOrder(0, kStationMs))
            return Fail("the order could not be picked");
        const QString window = station.WaitMainWindow(kStationMs);
        if (window.isEmpty() || !station.BeginRun(window))
            return Fail("no main window");
        const char* cycle = "Enter LeftTopWidget::StartSearchDev()";
        int cycles = 0;
        const bool settled = StationDriver::WaitUntil([&] {
            const QByteArray log = station.Log();
            if (log.count(ready) == 0)
                return false;
            if (cycles == 0)
                cycles = log.count(cycle);
            return log.count(cycle) > cycles || !station.Running();
        }, 3 * kStationMs, 100);
        if (!settled || !station.Running())
            return Fail(name + ": the station did not reach its state to measure");
        const int cyclesBefore = station.Log().count(cycle);
        const double cpuBefore = station.CpuSeconds();
        QElapsedTimer wall;
        wall.start();
        StationDriver::WaitUntil([] { return false; }, m_o.cpuMs, 50);
        const double cpu = station.CpuSeconds() - cpuBefore;
        const double seconds = double(wall.nsecsElapsed()) / 1e9;
        const int cyclesDuring = station.Log().count(cycle) - cyclesBefore;
        if (cpuBefore < 0 || cpu < 0)
            return Fail(name + ": the station ended while measured");
        *percent = 100.0 * cpu / seconds;
        printf("  %s: %.2f CPU s in %.1f s, %d search cycles\n", qPrintable(name), cpu, seconds, cyclesDuring);
        return Close(station, window);
    }

    // Its close button must end the station, with exit code 0.
    bool Close(StationDriver& station, const QString& window)
    {
        if (!station.CloseByButton(window))
            return Fail("the station's close button could not be clicked");
        if (!station.WaitFinished(kStationMs))
            return Fail(QStringLiteral("the station did not end within %1 s of its close button").arg(kStationMs / 1000));
        if (station.Crashed() || station.ExitCode() != 0)
            return Fail(QStringLiteral("the station ended with %1 %2 after its close button")
                            .arg(station.Crashed() ? "a crash, code" : "exit code")
                            .arg(station.ExitCode()));
        return true;
    }

    // The order dialog's last request before it accepts: the order's details.
    static QDateTime OrderLastRequestAt(const QByteArray& log, const QDateTime& started)
    {
        QDateTime at;
        for (const QByteArray& line : log.split('\n')) {
            if (line.contains("slot_NextStepBtnClicked() HttpGetCurrentOrderInfo"))
                at = StationLogTime(line, started);
        }
        return at;
    }

    static bool Fail(const QString& what)
    {
        fprintf(stderr, "station-bench: %s\n", qPrintable(what));
        return false;
    }

    // From the listing that makes a camera ready to its form.
    int WaitsMs() const
    {
        return kLoginPollMs + kPackagePollMs + kStreamPassMs + kWifiWaitMs + m_o.holdMs + m_o.linkLossMs + m_o.judgeMs
               + kStreamPassMs + kUploadPollMs;
    }

    // From the listing that makes a camera ready to its leaving the line.
    int StayMs() const { return kLoginPollMs + kPackagePollMs + kStreamPassMs + kWifiWaitMs + m_o.holdMs; }

    // One camera's first listing to the next one's, on a line of one slot: the
    // next camera joins as this one leaves and is listed by the first search
    // that starts after that (the ready listing ends a search).
    int LineWaitsMs() const
    {
        const int cyclesTested = (StayMs() + kSearchMs + kCycleMs - 1) / kCycleMs;
        return (kCyclesBeforeReady + cyclesTested) * kCycleMs;
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
        std::vector<QDateTime> starts;
        for (const auto& [sn, at] : arrived) {
            const auto r = readyListed.find(sn);
            if (r == readyListed.end())
                continue;
            totals.push_back(double(r->second.msecsTo(at)));
            before.push_back(double(firstListed[sn].msecsTo(r->second)));
            starts.push_back(firstListed[sn]);
        }
        std::sort(starts.begin(), starts.end());
        std::vector<double> perCamera;
        for (size_t i = 1; i < starts.size(); ++i)
            perCamera.push_back(double(starts[i - 1].msecsTo(starts[i])));
        const bool waitsKnown = m_o.testType == 0 && m_o.lineSlots == 1;
        if (perCamera.empty())
            printf("per camera, one camera's first listing to the next one's: needs two cameras\n");
        else if (waitsKnown)
            printf("per camera, one camera's first listing to the next one's (%zu cameras): median %.0f ms, mean %.0f ms; "
                   "the line's waits %d ms (%d search cycles before it is ready, then its %d ms of waits until it "
                   "leaves and the search that lists the next camera, rounded up to whole cycles); overhead %.0f ms = "
                   "%.1f %%\n",
                   perCamera.size(), Median(perCamera), Mean(perCamera), LineWaitsMs(), kCyclesBeforeReady, StayMs(),
                   Median(perCamera) - LineWaitsMs(), 100.0 * (Median(perCamera) - LineWaitsMs()) / LineWaitsMs());
        else
            printf("per camera, one camera's first listing to the next one's (%zu cameras): median %.0f ms (the line's "
                   "waits are counted for test type 0 with one slot only)\n",
                   perCamera.size(), Median(perCamera));
        const double waits = WaitsMs();
        const double median = Median(totals);
        if (m_o.testType == 0)
            printf("  of that, from the listing that made it ready to its form (%zu cameras): median %.0f ms, mean %.0f ms; "
                   "the waits %.0f ms; overhead %.0f ms = %.1f %% (aim <= 5 %%)\n",
                   totals.size(), median, Mean(totals), waits, median - waits, 100.0 * (median - waits) / waits);
        else
            printf("  of that, from the listing that made it ready to its form (%zu cameras): median %.0f ms "
                   "(the waits are counted for test type 0 only)\n", totals.size(), median);
        printf("  and the cycles before that listing (re-addressing, package upload and the camera's restart): median "
               "%.0f ms (their %d ms)\n",
               Median(before), kCyclesBeforeReady * kCycleMs);
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
};

}  // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription("Measures the station program's start-up, CPU when idle and playing, per-camera "
                                     "time and memory (needs an X display; Xvfb will do).");
    parser.addHelpOption();
    parser.addOption({"program", "The station program to measure.", "path", STATION_PROGRAM});
    parser.addOption({"startup-runs", "Start-up runs (0: none).", "n", "5"});
    parser.addOption({"cpu-ms", "Wall time over which idle and playing CPU are measured (0: none).", "ms", "20000"});
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
    o.cpuMs = parser.value("cpu-ms").toInt();
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
    if (o.cpuMs > 0 && !bench.Cpu())
        return 1;
    if (o.cameras > 0 && !bench.Line())
        return 1;
    return 0;
}
