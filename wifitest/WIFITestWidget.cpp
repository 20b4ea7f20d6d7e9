#include "WIFITestWidget.h"
#include "ui_WIFITestWidget.h"

#include "CConfigFile.h"
#include "Clock.h"
#include "CommonHelpers.h"
#include "DeviceEntry.h"
#include "FuncLib.h"
#include "Log.h"
#include "TextFit.h"
#include "VantrelEvent.h"
#include "VideoForm.h"
#include "WIFITestOwner.h"

#include <QHeaderView>
#include <QLabel>
#include <QStandardItemModel>
#include <QTableView>
#include <QTimer>
#include <QTimerEvent>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

constexpr int kMaxLocalIps = 32;
// How often the panel asks whether the server took its port (the library
// tries again every 2 s), until it has.
constexpr int kServerCheckMs = 1000;

// The panel that runs the process's throughput server. The reporter thread
// reaches a panel only through it, so no report, not even one from a thread
// that a stop left running, reaches a panel that has gone.
// Lock order: g_serverPanelLock, then the panel's stats mutex.
std::mutex g_serverPanelLock;
WIFITestWidget* g_serverPanel = nullptr;

// An address up to and including its last "."; empty without a "." and for
// a text that does not fit a 32-byte slot (or has no terminator in its field).
std::string SubnetPrefix(const char* address, size_t fieldSize)
{
    const size_t length = strnlen(address, fieldSize);
    if (length == fieldSize || length >= size_t(LOCAL_IP_SLOT))
        return std::string();
    const std::string text(address, length);
    const size_t dot = text.rfind('.');
    return dot == std::string::npos ? std::string() : text.substr(0, dot + 1);
}

}  // namespace

int GetLocalIpInSameSubnet(char* localIp, const DeviceEntry* device)
{
    std::memset(localIp, 0, LOCAL_IP_SLOT);
    if (!device)
        return -1;
    char addresses[kMaxLocalIps * LOCAL_IP_SLOT];
    std::memset(addresses, 0, sizeof addresses);
    const int count = GetLocalIp(addresses, kMaxLocalIps);
    if (count <= 0)
        return -1;
    const std::string devicePrefix = SubnetPrefix(device->szAddress, sizeof device->szAddress);
    int chosen = count - 1;
    for (int i = 0; i < count; ++i) {
        if (SubnetPrefix(addresses + i * LOCAL_IP_SLOT, LOCAL_IP_SLOT) == devicePrefix) {
            chosen = i;
            break;
        }
    }
    // Each address is NUL-terminated within its 32-byte slot.
    std::memcpy(localIp, addresses + chosen * LOCAL_IP_SLOT, LOCAL_IP_SLOT);
    return 0;
}

WIFITestWidget::WIFITestWidget(QWidget* owner)
    : QWidget(owner)
    , ui(new Ui::WIFITestWidget)
    , m_owner(owner)
{
    ui->setupUi(this);
    connect(ui->m_WIFITestBtn, &QPushButton::clicked, this, &WIFITestWidget::onWIFITestBtnClicked);
    ui->m_WIFITestBtn->hide();
    InitTableView();
    CConfigFile::GetInstance()->GetConfigInfo(m_config);

    {
        std::lock_guard<std::mutex> guard(g_serverPanelLock);
        if (!g_serverPanel) {
            g_serverPanel = this;
            m_ownsServer = true;
        }
    }
    if (!m_ownsServer) {
        LogPrint(LOG_MAJOR, "WIFITestWidget::WIFITestWidget() another panel runs the throughput server; "
                            "this one shows no results");
        return;
    }
    tputlib_init();
    // The library binds the port on its own thread and keeps trying while it is taken.
    tputlib_start_server(WIFI_TEST_REPORT_INTERVAL, WIFI_TEST_PORT, &WIFITestWidget::OnTputResult, this);
    // A timer object of its own, so that the panel's own timers stay the test tick alone.
    m_serverCheck = new QTimer(this);
    m_serverCheck->setInterval(kServerCheckMs);
    connect(m_serverCheck, &QTimer::timeout, this, &WIFITestWidget::CheckServer);
    m_serverCheck->start();
}

WIFITestWidget::~WIFITestWidget()
{
    if (m_ownsServer) {
        // Joins the library's threads: no report arrives after this.
        tputlib_cleanup();
        std::lock_guard<std::mutex> guard(g_serverPanelLock);
        g_serverPanel = nullptr;
    }
    delete ui;
}

void WIFITestWidget::InitTableView()
{
    m_model = new QStandardItemModel(this);
    QTableView* view = ui->m_WIFITableView;
    view->setModel(m_model);
    view->verticalHeader()->hide();
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setSelectionMode(QAbstractItemView::SingleSelection);
    view->setMouseTracking(true);
    m_header = view->horizontalHeader();
    m_header->setSectionsClickable(true);
    m_model->setHorizontalHeaderLabels({tr("Total bytes"), tr("Real Rate"), tr("Average rate"), tr("Result")});

    m_serverState = new QLabel(this);
    m_serverState->setObjectName(QStringLiteral("m_lb_ServerState"));
    m_serverState->setWordWrap(true);
    m_serverState->setStyleSheet(QStringLiteral("color: red;"));
    m_serverState->hide();
}

void WIFITestWidget::UpdateLayout()
{
    ui->m_lb_WIFITest->setGeometry(0, 0, 120, 22);
    TextFit::Grow(ui->m_lb_WIFITest, width());
    // The server's trouble, when there is any, goes between the title and the
    // table; when the column lacks the room for its wrapped lines, on one line
    // beside the title.
    const bool oneLine = height() < NeededHeight(width(), false);
    const int top = TableTop(width(), oneLine);
    if (!m_serverState->isHidden()) {
        if (oneLine) {
            const int left = ui->m_lb_WIFITest->x() + TextFit::Needed(ui->m_lb_WIFITest).width() + 8;
            ui->m_lb_WIFITest->resize(left - 8, ui->m_lb_WIFITest->height());
            m_serverState->setGeometry(left, 0, qMax(0, width() - 2 - left), 22);
        } else {
            m_serverState->setGeometry(0, 24, width() - 2, top - 26);
        }
        ShowTrouble(oneLine);
    }
    ui->m_WIFITableView->setGeometry(0, top, width() - 2, height() - top - 2);
    Columns(width()).Apply(m_header);
}

void WIFITestWidget::ShowTrouble(bool oneLine)
{
    m_serverState->setWordWrap(!oneLine);
    const QString shown = oneLine ? m_serverState->fontMetrics().elidedText(m_serverTrouble, Qt::ElideRight,
                                                                             m_serverState->width())
                                  : m_serverTrouble;
    m_serverState->setText(shown);
    m_serverState->setToolTip(shown == m_serverTrouble ? QString() : m_serverTrouble);
}

int WIFITestWidget::TableTop(int width, bool oneLineTrouble) const
{
    if (m_serverState->isHidden() || oneLineTrouble)
        return 24;
    const QRect wrapped = m_serverState->fontMetrics().boundingRect(QRect(0, 0, width - 2, 1 << 20), Qt::TextWordWrap,
                                                                   m_serverTrouble);
    return 24 + wrapped.height() + 2;
}

int WIFITestWidget::NeededHeight(int width, bool oneLineTrouble) const
{
    // The caption row, the server's trouble if shown, the header and the one
    // result row inside the table's frame.
    const QTableView* table = ui->m_WIFITableView;
    return TableTop(width, oneLineTrouble) + 2 + 2 * table->frameWidth() + Columns(width).HeaderHeight()
        + table->verticalHeader()->defaultSectionSize();
}

ColumnFit WIFITestWidget::Columns(int width) const
{
    const int viewport = width - 2 - 2 * ui->m_WIFITableView->frameWidth();
    return ColumnFit(m_header, {80, 100, 100}, viewport);
}

void WIFITestWidget::SetConfig(const ConfigInfo& config)
{
    m_config = config;
}

void WIFITestWidget::ClearResult()
{
    m_model->removeRows(0, m_model->rowCount());
}

void WIFITestWidget::BeginTest(const QString& cameraAddress, int durationSeconds)
{
    ClearResult();
    StartTest(cameraAddress, durationSeconds);
}

void WIFITestWidget::onWIFITestBtnClicked()
{
    ClearResult();
    DeviceEntry* device = nullptr;
    const QString camera = GetCurDevice(device) == 0
                               ? QString::fromLatin1(device->szAddress, int(strnlen(device->szAddress, sizeof device->szAddress)))
                               : QString();
    SendWifiTestCmd();
    StartTest(camera, m_config.m_WifiNet.iDurationTime);
}

void WIFITestWidget::StartTest(const QString& cameraAddress, int durationSeconds)
{
    const WifiReportCheck check(cameraAddress, durationSeconds, Clock::TickMs());
    {
        // The reporter copies under the same mutex, so it never writes into
        // a record that is being cleared.
        std::lock_guard<std::mutex> lock(m_statsMutex);
        m_testing = 1;
        m_check = check;
        m_latest = TputResult{};
        m_newData = 0;
    }
    if (!check.HasCamera())
        LogPrint(LOG_GENERAL, "WIFITestWidget::BeginTest() no camera address (\"%s\"): no report will be judged",
                 qPrintable(cameraAddress.left(64)));
    else
        LogPrint(LOG_INFO, "WIFITestWidget::BeginTest() camera %s, %d s", qPrintable(cameraAddress), durationSeconds);
    // One tick per test: a timer of an earlier start would show this test twice.
    if (m_timerId != 0)
        killTimer(m_timerId);
    m_timerId = startTimer(WIFI_TEST_TICK_MS, Qt::CoarseTimer);
}

int WIFITestWidget::GetCurDevice(DeviceEntry*& device) const
{
    device = nullptr;
    auto* host = dynamic_cast<WIFITestOwner*>(m_owner.data());
    if (!host)
        return -1;
    VideoForm* form = host->MainVideoForm();
    if (!form)
        return -2;
    DeviceEntry* entry = nullptr;
    if (!form->IsBind() || form->GetDevice(entry) != 0 || !entry)
        return -3;
    device = entry;
    return 0;
}

void WIFITestWidget::SendWifiTestCmd()
{
    DeviceEntry* device = nullptr;
    const int found = GetCurDevice(device);
    if (found != 0) {
        LogPrint(LOG_GENERAL, "WIFITestWidget::SendWifiTestCmd() no device in the main video pane (%d)", found);
        return;
    }
    char localIp[LOCAL_IP_SLOT];
    GetLocalIpInSameSubnet(localIp, device);
    char body[1024];
    std::memset(body, 0, sizeof body);
    std::snprintf(body, sizeof body,
                  "<REQUEST_PARAM\r\nIP=\"%s\"\r\nPort=\"%d\"\r\nDuration=\"%d\"\r\nMaxThroughput=\"%d\"\r\n/>", localIp,
                  WIFI_TEST_PORT, m_config.m_WifiNet.iDurationTime, WIFI_TEST_MAX_THROUGHPUT);
    const int result = FC_Loc_IoTSystemControl(device->lLoginHandle, WIFI_TEST_CMD, 0, body);
    LogPrint(LOG_INFO, "WIFITestWidget::SendWifiTestCmd() IP=%s, Duration=%d, result=%d", localIp,
             m_config.m_WifiNet.iDurationTime, result);
}

int WIFITestWidget::OnTputResult(TputResult* result, double /*intervalLength*/)
{
    if (!result || !result->context)
        return 0;
    std::lock_guard<std::mutex> guard(g_serverPanelLock);
    auto* panel = static_cast<WIFITestWidget*>(result->context);
    if (panel != g_serverPanel || panel->m_testing.load() == 0)
        return 0;
    WifiReportFate fate;
    {
        // Checked before the copy: a stray report must not replace one of the
        // camera's that the tick has not shown yet.
        std::lock_guard<std::mutex> lock(panel->m_statsMutex);
        fate = panel->m_check.Check(*result, Clock::TickMs());
        if (fate == WifiReportFate::Take) {
            panel->m_latest = *result;
            panel->m_newData = 1;
        }
    }
    if (fate != WifiReportFate::Take)
        LogPrint(LOG_GENERAL, "WIFITestWidget::OnTputResult() %s report of %.64s, %.3f s, %.0f bits, ignored: %s",
                 result->finalReport ? "final" : "interval", result->peerAddress, result->intervalLength, result->bits,
                 WifiReportCheck::Why(fate));
    return 0;
}

void WIFITestWidget::CheckServer()
{
    if (tputlib_running()) {
        if (!m_serverState->isHidden()) {
            LogPrint(LOG_GENERAL, "WIFITestWidget::CheckServer() the throughput server listens on port %d", WIFI_TEST_PORT);
            m_serverState->hide();
            UpdateLayout();
            emit neededHeightChanged();
        }
        m_serverCheck->stop();
        return;
    }
    char why[128];
    if (!tputlib_listen_failure(why, sizeof why))
        return;   // not tried yet
    const QString text = tr("The throughput server is not listening on port %1 (%2): no Wi-Fi test can get a result")
                             .arg(WIFI_TEST_PORT)
                             .arg(QString::fromLatin1(why));
    if (text == m_serverTrouble && !m_serverState->isHidden())
        return;
    LogPrint(LOG_MAJOR, "WIFITestWidget::CheckServer() the throughput server is not listening on port %d: %s",
             WIFI_TEST_PORT, why);
    m_serverTrouble = text;
    m_serverState->setText(text);
    m_serverState->show();
    UpdateLayout();
    emit neededHeightChanged();
}

void WIFITestWidget::timerEvent(QTimerEvent* event)
{
    if (event->timerId() != m_timerId || m_testing.load() == 0)
        return;
    ShowLatestResult();
}

void WIFITestWidget::ShowLatestResult()
{
    std::lock_guard<std::mutex> lock(m_statsMutex);
    if (!m_newData)
        return;
    PostToOwner(WM_WIFI_TEST_DATA, 0);

    const QString transfer = QString::asprintf("%.2f MB", m_latest.bits / 8388608.0);
    const double megabitsPerSecond = m_latest.bitsPerSecond / 1000000.0;
    const QString rate = QString::asprintf("%.2f Mb/sec", megabitsPerSecond);
    const bool finalReport = m_latest.finalReport != 0;
    const bool newRow = m_model->rowCount() == 0;
    auto setCell = [this](int column, const QString& text) { m_model->setItem(0, column, new QStandardItem(text)); };

    setCell(0, transfer);
    setCell(finalReport ? 2 : 1, rate);
    if (newRow && !finalReport) {
        setCell(2, QString());
        setCell(3, QString());
    }
    if (finalReport) {
        const bool ok = JudgeFinalReport(megabitsPerSecond);
        setCell(3, ok ? QStringLiteral("OK") : QStringLiteral("NG"));
        PostToOwner(WM_WIFI_TEST_FINISH, ok ? 1 : -1);
        killTimer(m_timerId);
        m_timerId = 0;
    }
    m_newData = 0;
}

bool WIFITestWidget::JudgeFinalReport(double megabitsPerSecond)
{
    // Strictly above the threshold; a rate that is not a number fails.
    return megabitsPerSecond > double(m_config.m_WifiNet.iAveSpeed);
}

void WIFITestWidget::PostToOwner(int code, qint64 word2)
{
    PostVantrelEvent(m_owner.data(), code, 0, word2);
}
