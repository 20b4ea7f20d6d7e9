#pragma once

#include "DevInfo.h"
#include "DuplicateSerials.h"

#include <QByteArray>
#include <QString>

#include <atomic>
#include <cstdint>
#include <functional>
#include <vector>

class DevInfoLists;
class HandOffQueue;
class StationWorkers;
class VideoForm;
struct ConfigInfo;

// The search thread's body: every cycle searches the LAN, re-addresses or logs
// in what it found, has the package checked (and uploaded) and hands the
// ready devices to the stream-test thread.
//
// It reaches the device lists only through their locking functions, the GUI
// thread only through hand-offs, and the controller only through Controller.
// One instance lives as long as the controller: the duplicate serials it told
// the operator of outlive a run.
class SearchCycleWorker {
public:
    // What the search thread uses of the controller.
    class Controller {
    public:
        // Any thread: copies of the settings and of the chosen local address.
        virtual ConfigInfo ConfigSnapshot() const = 0;
        virtual QString CurrentIP() const = 0;
        // GUI thread: the video pane a found camera is shown in, and a line in
        // the result list that fails no camera.
        virtual VideoForm* GetCurVideoForm() const = 0;
        virtual void ShowSearchNote(const QString& text) = 0;
        // Search thread: the configuration package steps of a cycle.
        virtual void GetSearchDevsConfigFileCheck() = 0;
        virtual void WaitSearchDevsConfigFileCheckReturn(unsigned timeoutMs) = 0;
        virtual void DealSearchDevsConfigFileCheck() = 0;
        virtual void WaitSearchDevsUploadConfigFileFinishReturn(unsigned timeoutMs) = 0;

    protected:
        ~Controller() = default;
    };

    SearchCycleWorker(Controller& controller, DevInfoLists& lists, StationWorkers& workers, HandOffQueue& handOffs,
                      std::atomic<bool>& curDevAlive, const std::atomic<bool>& autoUpgradeConfig);
    SearchCycleWorker(const SearchCycleWorker&) = delete;
    SearchCycleWorker& operator=(const SearchCycleWorker&) = delete;

    // The thread body: a cycle every 4000 ms while the run flag is set; every
    // way out leaves no login behind.
    void Run();
    // One cycle; false once the run flag cleared during it.
    bool RunCycle();
    void StartSearch(unsigned timeoutMs);
    void StopSearch();
    // Takes the SDK's search results into the search list.
    void CollectSearchedDevs();
    void LoginSearchDevs();
    int LoginDev(DevInfo* dev);
    bool IsDevInSpecIpSegment(const DevInfo* dev) const;
    int GetNotUseIP(char* outIP, const char* localIP);
    void WaitLoginReturn(unsigned timeoutMs);
    // Polls the search list every 100 ms, under its lock, until no record is
    // pending, timeoutMs passed (false) or the run ended (false).
    bool WaitForSearchDevs(unsigned timeoutMs, const std::function<bool(const DevInfo&)>& pending);

private:
    // Logins that a list other than the search list holds; the caller visits the search lists.
    std::vector<int64_t> LoginsHeldElsewhere(const std::vector<DevInfo>& uploading);
    // Empties the search list; the logins it alone held are logged out.
    void DropSearchDevs();
    // Devices whose package upload was reported less than 5000 ms ago sit this search out.
    void HoldBackUploadedDevs();
    // Gives a device that must move a free address on the station's subnet;
    // search is the list dev belongs to, visited by the caller.
    void ReaddressDev(DevInfo& dev, const std::vector<DevInfo>& search, const QByteArray& local);
    // What this search tells of the current device: found at its address,
    // it shows a sign of life; not found, it has left.
    void NoteCurrentDevice(const DevInfo& current, bool left, bool found);
    // The cameras that hold their serial numbers: those of the ready list
    // whose link is up, and the current device until it left.
    std::vector<DevInfo> ServedDevs();
    // A camera whose serial another camera holds is left alone: logged, and
    // told on screen once per appearance.
    bool SkipDuplicate(DevInfo& dev, const std::vector<DevInfo>& search, const std::vector<DevInfo>& served);
    // Re-addresses or logs in the record at index; false when it is gone.
    bool LoginSearchDevAt(size_t index, const ConfigInfo& config, const QByteArray& local,
                          const std::vector<DevInfo>& served);
    // Without the package check every logged-in device is ready; the others are logged out.
    void MoveLoggedInDevsToReady();
    // Removes from the ready list what lost its login and what the stream-test
    // thread finished, logging each out. False when the run ended meanwhile.
    bool RemoveFinishedReadyDevs(std::vector<int64_t>* loggedOut);
    // Search records that shared a login with a removed ready record no longer hold it.
    void ForgetLogins(const std::vector<int64_t>& handles);
    // The stream-test thread's working copy becomes the ready list.
    void CopyReadyDevsToStreamList();

    Controller& m_controller;
    DevInfoLists& m_lists;
    StationWorkers& m_workers;
    HandOffQueue& m_handOffs;
    std::atomic<bool>& m_curDevAlive;             // set when the search sees the current device
    const std::atomic<bool>& m_autoUpgradeConfig; // the panel's "Auto Upgrade config"
    DuplicateSerials m_duplicateSerials;
};
