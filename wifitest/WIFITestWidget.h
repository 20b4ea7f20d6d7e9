#pragma once

#include "ColumnFit.h"
#include "ConfigInfo.h"
#include "TputLib.h"
#include "WifiReportCheck.h"

#include <QPointer>
#include <QWidget>

#include <atomic>
#include <mutex>

class QHeaderView;
class QLabel;
class QStandardItemModel;
class QTimer;
class QTimerEvent;
struct DeviceEntry;

namespace Ui {
class WIFITestWidget;
}

constexpr int WIFI_TEST_PORT = 3600;
constexpr int WIFI_TEST_REPORT_INTERVAL = 2;   // seconds between the server's interval reports
constexpr int WIFI_TEST_TICK_MS = 1000;
constexpr int WIFI_TEST_MAX_THROUGHPUT = 18;   // Mbit/s the device is asked to send at most
constexpr int WIFI_TEST_CMD = 1519;

// The chosen local address for a device's throughput client: the first local
// IPv4 address on the device's subnet (same text up to the last "."), else the
// last local address. localIp receives it in 32 zeroed bytes. -1 (and an empty
// text) when the station has no local address or there is no device.
int GetLocalIpInSameSubnet(char* localIp, const DeviceEntry* device);

// The Wi-Fi throughput panel. For its whole life it keeps the throughput
// server listening on port 3600; while a test runs it shows the latest report
// of the server in a one-row table, judges the final average rate against
// WIFINet/iAveSpeed and posts WM_WIFI_TEST_DATA and WM_WIFI_TEST_FINISH to its
// owner. Only the reports of the camera under test count, and only a final
// report over the whole test is judged. While the server cannot take its
// port the panel says so. The library is process-wide, so only the first
// panel of a process runs the server; a later one, while the first lives,
// shows nothing.
class WIFITestWidget : public QWidget {
    Q_OBJECT

public:
    // owner: the main window, receiver of the events; a WIFITestOwner when
    // the panel's own test is to find the device of the main video pane.
    explicit WIFITestWidget(QWidget* owner);
    ~WIFITestWidget() override;

    // Places the caption, the server's trouble and the table; the columns take
    // the form's widths, or narrower ones with their headers broken onto two
    // lines in a narrow panel. A panel lower than the trouble's wrapped lines
    // need shows it on one line beside the caption, cut, whole in its tooltip.
    void UpdateLayout();
    // The panel height at this width that shows the header and the result row
    // whole, with the server's trouble wrapped or on one line.
    int NeededHeight(int width, bool oneLineTrouble = false) const;
    void SetConfig(const ConfigInfo& config);
    // Removes the table's row; a running test goes on.
    void ClearResult();
    // Starts showing the server's reports of the camera at cameraAddress and
    // judges its final report once that covers durationSeconds, the time the
    // camera was told to send for; sends nothing to the camera.
    void BeginTest(const QString& cameraAddress, int durationSeconds);

    // 0 and the device bound to the main video pane's form; -1 no owner (or
    // one that offers no video pane), -2 no video form, -3 no device bound.
    int GetCurDevice(DeviceEntry*& device) const;

    // The library's result callback; runs on the library's reporter thread.
    static int OnTputResult(TputResult* result, double intervalLength);

protected:
    void timerEvent(QTimerEvent* event) override;

signals:
    // The server's trouble line came or went: the panel needs another height.
    void neededHeightChanged();

private slots:
    void onWIFITestBtnClicked();

private:
    void InitTableView();
    ColumnFit Columns(int width) const;
    // Where the table starts: below the caption, and below the server's trouble while it shows.
    int TableTop(int width, bool oneLineTrouble) const;
    void ShowTrouble(bool oneLine);
    void SendWifiTestCmd();
    void StartTest(const QString& cameraAddress, int durationSeconds);
    // Shows why the server does not listen on its port, until it does.
    void CheckServer();
    void ShowLatestResult();
    bool JudgeFinalReport(double megabitsPerSecond);
    void PostToOwner(int code, qint64 word2);

    Ui::WIFITestWidget* ui;
    QPointer<QWidget> m_owner;          // not owned
    QStandardItemModel* m_model = nullptr;
    QHeaderView* m_header = nullptr;
    QLabel* m_serverState = nullptr;    // why the server does not listen; hidden while it does
    QString m_serverTrouble;            // its whole text
    QTimer* m_serverCheck = nullptr;    // runs until the server listens
    int m_timerId = 0;
    ConfigInfo m_config;
    bool m_ownsServer = false;          // this panel started the process's throughput server
    std::atomic<int> m_testing{0};      // read by the reporter thread before it takes the mutex

    // Guards the three below. A std::mutex, not a QMutex, so that the thread
    // sanitizer sees the reporter's copy ordered against the GUI thread.
    std::mutex m_statsMutex;
    WifiReportCheck m_check;            // which reports belong to the test under way
    TputResult m_latest{};
    int m_newData = 0;
};
