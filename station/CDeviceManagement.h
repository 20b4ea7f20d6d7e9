#pragma once

#include "ColumnFit.h"
#include "ConfigInfo.h"

#include <QByteArray>
#include <QModelIndex>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class ControllerHost;
class LeftTopWidget;
class QStandardItemModel;
class QTimer;
struct DevInfo;

namespace Ui {
class CDeviceManagement;
}

// The searched-device table: the operator searches the LAN by hand, sees the
// devices found (address, serial number, cloud ID) and double-clicks one to
// make it the device under test. The panel owns no device data: it drives the
// controller's search and login and shows the controller's search list. A row
// keeps a key (login handle and serial number) and finds its record in that
// list, under the list's lock, whenever it is used: a record the controller
// dropped meanwhile is simply gone. GUI thread only.
class CDeviceManagement : public QWidget {
    Q_OBJECT
public:
    static constexpr int SEARCH_MS = 2000;
    static constexpr int LOGIN_WAIT_MS = 1000;

    // owner: the main window; host: its services (null takes the owner when it offers them).
    explicit CDeviceManagement(QWidget* owner = nullptr, ControllerHost* host = nullptr);
    ~CDeviceManagement() override;

    void SetHost(ControllerHost* host);
    // false first clears the list; then the controls follow the flag.
    void SetEnabled(bool enabled);
    // Abandons a search under way, logs out the device of every row and of the
    // search's pending logins, and removes the rows.
    void ClearDevList();
    // Places the button, the label and the table; the first two columns narrow
    // in a narrow panel so the last one keeps its header.
    void ResizeLayout();
    // The panel height at this width that shows the header and one device row.
    int NeededHeight(int width) const;
    // From a search click until the table is filled or the search is abandoned.
    bool IsBusy() const { return m_bBusy; }

private slots:
    void onSignalShotSearchDevTimer();
    void onSignalShotSearchDevLoginTimer();
    void onSearchDevBtnClicked();
    void SearchDevTableViewDoubleClicked(QModelIndex index);

private:
    ColumnFit Columns(int width) const;

    struct DevKey {
        int64_t lUserID = 0;
        QByteArray serial;
    };
    struct RowData {
        DevKey key;
        QString ip;
        QString serial;
        QString cloudId;
    };

    LeftTopWidget* Controller() const;
    static DevKey KeyOf(const DevInfo& dev);
    DevKey KeyOfRow(int row) const;
    // Runs use on the search-list record of key under the list's lock; false when it is gone.
    static bool WithSearchedDev(LeftTopWidget* controller, const DevKey& key,
                                const std::function<void(DevInfo&)>& use);
    void LogOutKeys(LeftTopWidget* controller, const std::vector<DevKey>& keys);
    void AbandonSearch(LeftTopWidget* controller);
    void AddRow(const RowData& row);
    void ClearOtherPanels();
    bool IsTestTypeAllowed();
    void PlaySearchedDev(LeftTopWidget* controller, const DevInfo& dev);
    void ShareRealHandle(LeftTopWidget* controller);

    std::unique_ptr<Ui::CDeviceManagement> ui;
    QStandardItemModel* m_model = nullptr;
    ControllerHost* m_host = nullptr;
    ConfigInfo m_config;
    bool m_bBusy = false;
    QTimer* m_searchTimer = nullptr;     // the SDK search runs while it is active
    QTimer* m_loginTimer = nullptr;      // the logins of this search are pending while it is active
    std::vector<DevKey> m_pendingLogins; // logged in by the running search, not listed yet
};
