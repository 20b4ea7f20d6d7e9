#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QPoint>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <functional>

// Drives the station program from outside, as an operator would: lays out an
// application folder for it, starts it on the caller's X display, clicks its
// windows through xdotool and reads its log. The integration test and
// station-bench use it; both run under Xvfb.
class StationDriver {
public:
    struct Layout {
        QString executable;      // the built station program (copied into the folder)
        QString appDir;          // its application folder, created when missing
        QByteArray profile;      // the simulated LAN (SimProfile.json)
        QString serviceHost;     // the back-end, "127.0.0.1:port"
        QString user = "operator";
        QByteArray password = "demo";
        bool autoLogin = true;   // log in with the stored settings, no login dialog
        int streamJudgeMs = 3000;
        QByteArray moreConfig;   // further config.ini groups
    };
    // The folder: the program with what the build laid out beside it (Skin/, the
    // translation, the speaker test's sound), the LAN profile and config.ini
    // (login settings and the log switch on). False with a reason.
    static bool LayOut(const Layout& layout, QString* error);

    explicit StationDriver(const QString& appDir);
    ~StationDriver();   // kills a station still running
    StationDriver(const StationDriver&) = delete;
    StationDriver& operator=(const StationDriver&) = delete;

    bool Start(const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment());
    QDateTime StartedAt() const { return m_startedAt; }

    // The X id of a shown window whose title matches titleRegex, once one is
    // there; empty on time-out or when the station ended first.
    QString WaitWindow(const QString& titleRegex, int timeoutMs);
    // True once no shown window's title matches titleRegex any more.
    bool WaitWindowGone(const QString& titleRegex, int timeoutMs);
    // Clicks at a point of a window (window coordinates).
    static bool Click(const QString& window, QPoint at);

    // The work-order dialog: waits for it, clicks the row and "Next Step".
    bool PickOrder(int row, int timeoutMs);
    // When PickOrder last clicked "Next Step" (ms since the epoch), -1 before any.
    qint64 NextStepClickedMs() const { return m_nextStepClickedMs; }
    // The main window: its X id once shown.
    QString WaitMainWindow(int timeoutMs) { return WaitWindow(kMainTitle, timeoutMs); }
    // Starts the automatic run with the controller's run button.
    bool BeginRun(const QString& mainWindow);
    // The title bar's close button.
    bool CloseByButton(const QString& mainWindow);
    // The retry box of a failed submission: waits for it and clicks "Yes" (upload
    // again) or "No" until it goes. False when none came or it stayed.
    bool AnswerRetryBox(bool uploadAgain, int timeoutMs);
    // Ends the station at once with SIGKILL, as a power cut would, and waits for it.
    void Kill();
    // Types a key (an xdotool key name) on the display: the window that holds
    // the keyboard, the main video window while the station runs, gets it.
    static bool PressKey(const QString& key);

    bool WaitFinished(int timeoutMs);
    bool Running() const { return m_process.state() != QProcess::NotRunning; }
    bool Crashed() const { return m_process.exitStatus() == QProcess::CrashExit; }
    int ExitCode() const { return m_process.exitCode(); }
    qint64 Pid() const { return m_process.processId(); }
    // What the station wrote to stdout and stderr.
    QByteArray Output();
    // The station's log files, oldest first, joined.
    QByteArray Log() const;
    // Resident set size of the station in KiB (from /proc), -1 when not running.
    long ResidentKiB() const;
    // CPU seconds the station has used so far, user and system (from /proc),
    // -1 when not running.
    double CpuSeconds() const;

    // Polls cond (processing the caller's events) until it holds or timeoutMs passed.
    static bool WaitUntil(const std::function<bool()>& cond, int timeoutMs, int stepMs = 20);

    static constexpr const char* kMainTitle = "^Tolvane$";
    static constexpr const char* kOrderTitle = "^Select Work Order$";
    static constexpr const char* kErrorTitle = "^Error$";
    static constexpr const char* kLoginTitle = "login$";
    static constexpr const char* kHintTitle = "^Hint$";

private:
    QStringList Windows(const QString& titleRegex) const;

    QString m_appDir;
    QProcess m_process;
    QByteArray m_output;
    QDateTime m_startedAt;
    qint64 m_nextStepClickedMs = -1;
};

// Wall-clock time of a station log line (" [Info][dd/MM hh:mm:ss.zzz]..."),
// in the year of `reference`; invalid when the line has no stamp.
QDateTime StationLogTime(const QByteArray& line, const QDateTime& reference);
