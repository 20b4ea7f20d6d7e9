#include "CDeviceManagement.h"
#include "EntryField.h"
#include "ui_CDeviceManagement.h"

#include "AppGlobals.h"
#include "CConfigFile.h"
#include "ControllerHost.h"
#include "LeftBottomWidget.h"
#include "LeftTopWidget.h"
#include "LivePlayPath.h"
#include "Log.h"
#include "ModalHook.h"
#include "RightBottomWidget.h"
#include "VantrelEvent.h"
#include "VideoForm.h"

#include <QHeaderView>
#include <QMessageBox>
#include <QStandardItemModel>
#include <QTimer>

#include <cstring>
#include <mutex>

namespace {

constexpr int kKeyRole = Qt::UserRole + 1;   // column 0: the row's login handle
constexpr int kTestTypeIntelligentIpc = 3;
constexpr int kTestTypeExtremeIpc = 4;

}  // namespace

CDeviceManagement::CDeviceManagement(QWidget* owner, ControllerHost* host)
    : QWidget(owner)
    , ui(std::make_unique<Ui::CDeviceManagement>())
    , m_host(host ? host : dynamic_cast<ControllerHost*>(owner))
{
    ui->setupUi(this);
    m_model = new QStandardItemModel(this);
    m_model->setHorizontalHeaderLabels({tr("IP"), tr("Device SN"), tr("Cloud ID")});
    QTableView* view = ui->m_SearchDevTableView;
    view->setModel(m_model);
    view->verticalHeader()->hide();
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setSelectionMode(QAbstractItemView::SingleSelection);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setMouseTracking(true);
    view->horizontalHeader()->setSectionsClickable(true);

    CConfigFile::GetInstance()->GetConfigInfo(m_config);
    if (m_config.m_SystemConfig.iSingleFixedIPTestMode == 1) {
        QPalette palette = ui->lb_SingleFixedIPTestMode->palette();
        palette.setColor(QPalette::All, QPalette::WindowText, Qt::red);
        ui->lb_SingleFixedIPTestMode->setPalette(palette);
        ui->lb_SingleFixedIPTestMode->show();
    } else {
        ui->lb_SingleFixedIPTestMode->hide();
    }

    m_searchTimer = new QTimer(this);
    m_searchTimer->setSingleShot(true);
    m_searchTimer->setInterval(SEARCH_MS);
    connect(m_searchTimer, &QTimer::timeout, this, &CDeviceManagement::onSignalShotSearchDevTimer);
    m_loginTimer = new QTimer(this);
    m_loginTimer->setSingleShot(true);
    m_loginTimer->setInterval(LOGIN_WAIT_MS);
    connect(m_loginTimer, &QTimer::timeout, this, &CDeviceManagement::onSignalShotSearchDevLoginTimer);

    connect(ui->m_SearchDevBtn, &QPushButton::clicked, this, &CDeviceManagement::onSearchDevBtnClicked);
    connect(view, &QTableView::doubleClicked, this, &CDeviceManagement::SearchDevTableViewDoubleClicked);
}

CDeviceManagement::~CDeviceManagement() = default;

void CDeviceManagement::SetHost(ControllerHost* host)
{
    m_host = host;
}

LeftTopWidget* CDeviceManagement::Controller() const
{
    return m_host ? m_host->GetController() : nullptr;
}

// ---------------------------------------------------------------------------
// Rows and their keys

CDeviceManagement::DevKey CDeviceManagement::KeyOf(const DevInfo& dev)
{
    return DevKey{dev.lUserID, Field(dev.ipcEntry.ipc_sn)};
}

CDeviceManagement::DevKey CDeviceManagement::KeyOfRow(int row) const
{
    DevKey key;
    if (const QStandardItem* item = m_model->item(row, 0))
        key.lUserID = item->data(kKeyRole).toLongLong();
    if (const QStandardItem* item = m_model->item(row, 1))
        key.serial = item->data(Qt::UserRole).toString().toLatin1();
    return key;
}

bool CDeviceManagement::WithSearchedDev(LeftTopWidget* controller, const DevKey& key,
                                        const std::function<void(DevInfo&)>& use)
{
    if (!controller)
        return false;
    return controller->Lists().UpdateSearchDev(
        [&key](const DevInfo& dev) { return dev.lUserID == key.lUserID && Field(dev.ipcEntry.ipc_sn) == key.serial; },
        use);
}

void CDeviceManagement::LogOutKeys(LeftTopWidget* controller, const std::vector<DevKey>& keys)
{
    for (const DevKey& key : keys) {
        // A record the controller dropped is no longer ours to log out.
        if (!WithSearchedDev(controller, key, [controller](DevInfo& dev) { controller->Lists().LogOutDev(&dev); }))
            LogPrint(LOG_INFO, "CDeviceManagement: SN=%s left the search list, not logged out here",
                     key.serial.constData());
    }
}

void CDeviceManagement::AddRow(const RowData& data)
{
    auto* ip = new QStandardItem(data.ip);
    ip->setData(qlonglong(data.key.lUserID), kKeyRole);
    auto* serial = new QStandardItem(data.serial);
    serial->setData(data.serial, Qt::UserRole);
    auto* cloud = new QStandardItem(data.cloudId);
    cloud->setData(data.cloudId, Qt::UserRole);
    m_model->appendRow({ip, serial, cloud});
}

// ---------------------------------------------------------------------------
// Operations for the main window

void CDeviceManagement::SetEnabled(bool enabled)
{
    if (!enabled)
        ClearDevList();
    ui->m_SearchDevBtn->setEnabled(enabled);
    ui->lb_SingleFixedIPTestMode->setEnabled(enabled);
    ui->m_SearchDevTableView->setEnabled(enabled);
}

void CDeviceManagement::ClearDevList()
{
    LeftTopWidget* controller = Controller();
    AbandonSearch(controller);
    std::vector<DevKey> keys;
    for (int row = 0; row < m_model->rowCount(); ++row)
        keys.push_back(KeyOfRow(row));
    LogOutKeys(controller, keys);
    m_model->removeRows(0, m_model->rowCount());
}

void CDeviceManagement::AbandonSearch(LeftTopWidget* controller)
{
    if (m_searchTimer->isActive()) {
        m_searchTimer->stop();
        if (controller)
            controller->StopSearchDev();
        LogPrint(LOG_INFO, "CDeviceManagement: the search under way is abandoned");
    }
    if (m_loginTimer->isActive()) {
        m_loginTimer->stop();
        LogPrint(LOG_INFO, "CDeviceManagement: the search's %d logins are abandoned", int(m_pendingLogins.size()));
    }
    LogOutKeys(controller, m_pendingLogins);
    m_pendingLogins.clear();
    m_bBusy = false;
}

void CDeviceManagement::ResizeLayout()
{
    ui->m_SearchDevBtn->setGeometry(0, 0, 120, 30);
    ui->lb_SingleFixedIPTestMode->setGeometry(125, 0, width() - 125, 30);
    ui->m_SearchDevTableView->setGeometry(0, 32, width() - 2, height() - 34);
    Columns(width()).Apply(ui->m_SearchDevTableView->horizontalHeader());
}

int CDeviceManagement::NeededHeight(int width) const
{
    // The button row, the header and one device row inside the table's frame.
    const QTableView* table = ui->m_SearchDevTableView;
    return 34 + 2 * table->frameWidth() + Columns(width).HeaderHeight()
        + table->verticalHeader()->defaultSectionSize();
}

ColumnFit CDeviceManagement::Columns(int width) const
{
    const QTableView* table = ui->m_SearchDevTableView;
    return ColumnFit(table->horizontalHeader(), {120, 150}, width - 2 - 2 * table->frameWidth());
}

// ---------------------------------------------------------------------------
// Search: click, 2000 ms later the logins, 1000 ms later the table

bool CDeviceManagement::IsTestTypeAllowed()
{
    const int type = CurrentTestType.load();
    if (m_config.m_SystemConfig.iSingleFixedIPTestMode != 1 || type == kTestTypeIntelligentIpc
        || type == kTestTypeExtremeIpc)
        return true;
    QMessageBox box(QMessageBox::Information, tr("Error"),
                    tr("single fixed IP test mode only use test interligent_ipc or exterme_ipc, please select dev "
                       "type again"),
                    QMessageBox::Ok, this);
    ModalHook::Exec(&box);
    return false;
}

void CDeviceManagement::onSearchDevBtnClicked()
{
    if (m_bBusy || !IsTestTypeAllowed())
        return;
    LeftTopWidget* controller = Controller();
    if (!controller) {
        LogPrint(LOG_GENERAL, "CDeviceManagement::onSearchDevBtnClicked() no controller, no search");
        return;
    }
    ClearDevList();
    m_bBusy = true;
    controller->StartSearchDev(0);
    m_searchTimer->start();
    ClearOtherPanels();
}

void CDeviceManagement::ClearOtherPanels()
{
    if (!m_host)
        return;
    if (LeftBottomWidget* info = m_host->GetInfoPanel())
        info->ClearDevInfo();
    if (RightBottomWidget* manual = m_host->GetManualPanel())
        manual->ClearAutoTestResults();
}

void CDeviceManagement::onSignalShotSearchDevTimer()
{
    LeftTopWidget* controller = Controller();
    if (!controller) {
        AbandonSearch(nullptr);
        return;
    }
    controller->GetAllSearachDevs();
    controller->StopSearchDev();
    controller->Lists().ForEachSearchDev([&](DevInfo& dev) {
        if (!controller->IsDevInSpecIpSegment(&dev))
            return;
        controller->LoginDev(&dev);
        if (dev.lUserID > 0)
            m_pendingLogins.push_back(KeyOf(dev));
    });
    m_loginTimer->start();
}

void CDeviceManagement::onSignalShotSearchDevLoginTimer()
{
    LeftTopWidget* controller = Controller();
    std::vector<RowData> rows;
    if (controller) {
        controller->Lists().ForEachSearchDev([&](DevInfo& dev) {
            if (!controller->IsDevInSpecIpSegment(&dev))
                return;
            IPCEntry& entry = dev.ipcEntry;
            if (entry.dwCloudIdValid != IPC_CLOUD_ID_VALID)
                std::memset(entry.szCloudId, 0, sizeof entry.szCloudId);
            rows.push_back(RowData{KeyOf(dev), QString::fromLatin1(Field(entry.szIP)),
                                   QString::fromLatin1(Field(entry.ipc_sn)), QString::fromLatin1(Field(entry.szCloudId))});
        });
    }
    for (const RowData& row : rows)
        AddRow(row);
    m_pendingLogins.clear();
    m_bBusy = false;
}

// ---------------------------------------------------------------------------
// Double click: the row's device becomes the device under test

void CDeviceManagement::SearchDevTableViewDoubleClicked(QModelIndex index)
{
    LeftTopWidget* controller = Controller();
    if (!index.isValid() || !controller)
        return;
    DevInfo dev;
    ZeroDevInfo(dev);
    const DevKey key = KeyOfRow(index.row());
    if (!WithSearchedDev(controller, key, [&dev](DevInfo& found) { CopyDevInfo(dev, found); })) {
        LogPrint(LOG_INFO, "CDeviceManagement: SN=%s is no longer in the search list", key.serial.constData());
        return;
    }
    if (dev.lLoginStatus != 1) {
        LogPrint(LOG_INFO, "CDeviceManagement: SN=%s is not logged in, lLoginStatus=%lld", key.serial.constData(),
                 (long long)dev.lLoginStatus);
        return;
    }
    if (controller->CheckAutoUploadWarnFile() != 0)
        return;
    PlaySearchedDev(controller, dev);
    if (m_config.m_SystemConfig.iSingleFixedIPTestMode == 1)
        ShareRealHandle(controller);
    PostVantrelEvent(controller, WM_BEGIN_AUTO_TEST, 0, 0);
}

void CDeviceManagement::PlaySearchedDev(LeftTopWidget* controller, const DevInfo& dev)
{
    if (VideoForm* pane = controller->GetCurVideoForm()) {
        LivePlayPath::StopAudioPlay();
        pane->SetStopRender(false);
    }
    controller->stopPlay(&controller->Lists().m_PlayInfo);
    controller->Lists().SetCurrentDevice(dev);
    controller->SetResetUI();
    controller->playVideo(&controller->Lists().m_PlayInfo);
}

void CDeviceManagement::ShareRealHandle(LeftTopWidget* controller)
{
    const DevInfo current = controller->Lists().CurrentDevice();
    const int64_t realHandle = DevLoad(current.lRealHandle);
    if (realHandle <= 0)
        return;
    controller->Lists().ForEachSearchDev([&](DevInfo& dev) {
        if (dev.lUserID == current.lUserID)
            DevStore(dev.lRealHandle, realHandle);
    });
}
