#pragma once

#include "DevInfo.h"
#include "DevTypeInfo.h"
#include "ListLock.h"

#include <QMap>

#include <atomic>
#include <cstdint>
#include <functional>
#include <vector>

// The controller's device lists, its current device and its device-type table,
// shared by the search thread, the stream-test thread and the GUI thread.
//
// Lock order: search list, ready list, stream list, then one leaf lock at a
// time (device types here; the controller's configuration and address locks).
// A lock is held for one pass over its list; none is taken twice.
class DevInfoLists {
public:
    // onGenerationChanged runs after every generation change, on the thread that made it.
    explicit DevInfoLists(std::function<void()> onGenerationChanged = nullptr);
    ~DevInfoLists();
    DevInfoLists(const DevInfoLists&) = delete;
    DevInfoLists& operator=(const DevInfoLists&) = delete;

    using DevList = std::vector<DevInfo>;

    // The lists behind their locks: each runs visit under the list's lock, for
    // one pass over it. Nested visits follow the lock order above; a search-list
    // visit from inside another does not lock again.
    // The search list, with the package lists that share its lock.
    void WithSearchLists(
        const std::function<void(DevList& search, DevList& uploadFinished, DevList& uploading)>& visit);
    void WithSearchList(const std::function<void(DevList& search)>& visit);
    void ReadSearchList(const std::function<void(const DevList& search)>& visit) const;
    // True while this thread is inside a visit of the search list.
    bool SearchListHeldByThisThread() const;
    // Runs visit on every record of the search list, in order.
    void ForEachSearchDev(const std::function<void(DevInfo&)>& visit);
    // Runs change on the first search record that match accepts; false, and
    // nothing run, when there is none.
    bool UpdateSearchDev(const std::function<bool(const DevInfo&)>& match, const std::function<void(DevInfo&)>& change);
    void WithReadyList(const std::function<void(DevList& ready)>& visit);
    // The stream-test thread's copy of the ready list, the login handles of the
    // devices it finished, and whether the search thread replaced the copy.
    void WithStreamList(
        const std::function<void(DevList& stream, std::vector<int64_t>& finished, bool& replaced)>& visit);

    // Logs the device out when it is logged in (SDK logout, type entry removed,
    // lUserID 0); lLoginStatus is left alone. -1 for a null record, else 0.
    int LogOutDev(DevInfo* dev);
    // Logs out every device of the search, uploading and ready lists (status
    // -1) and empties them; a login that two lists share is logged out once.
    // The stream list and the current device are left alone.
    int LogOutAllDevs();

    // Membership by serial number, each under its list's own lock.
    bool IsDevInSearchReadyDevsInfo(const DevInfo& dev) const;
    bool IsDevInImageStreamTestDevsInfo(const DevInfo& dev) const;
    // Another device of the search list (another serial number) has dev's IP.
    bool IsExitDevByIP(const DevInfo& dev) const;
    // The same tests over a list whose lock the caller already holds.
    static bool ListHasSerial(const std::vector<DevInfo>& list, const DevInfo& dev);
    static bool ListHasOtherWithIP(const std::vector<DevInfo>& list, const DevInfo& dev);

    // The stream-test thread's scan: the next device to play after index
    // lastItem, copied into next (records no longer logged in leave the list;
    // a list the search thread replaced is scanned from its start). False when
    // there is none yet.
    bool TakeNextStreamTestDevice(int64_t& lastItem, DevInfo* next);
    // A device the stream-test thread is done with leaves the ready list at the next search cycle.
    void QueueFinishedDevice(int64_t loginHandle);

    // The current device.
    // A new current device (a new generation). Stream-test thread. retire,
    // when given, runs on the device that goes, under the same lock before the
    // copy (its play is torn down there, so no library callback outlives it).
    void SetCurrentDevice(const DevInfo& dev, const std::function<void(DevInfo& previous)>& retire = nullptr);
    // Zeroes the current device (a new generation).
    void ClearCurrentDevice();
    // A consistent copy.
    DevInfo CurrentDevice() const;
    int64_t CurrentLoginHandle() const;
    // Runs change on the current device, under the stream-list lock, when its
    // login handle is loginHandle (> 0); false, and nothing run, otherwise.
    bool UpdateCurrentDevice(int64_t loginHandle, const std::function<void(DevInfo&)>& change);
    // Runs read on the current device under the stream-list lock.
    void ReadCurrentDevice(const std::function<void(const DevInfo&)>& read) const;
    // Runs change on the current device under the stream-list lock, whatever
    // its login: the play path also tears down a slot whose login is gone.
    void ChangeCurrentDevice(const std::function<void(DevInfo&)>& change);

    // The current device has left the line: the search no longer found it at
    // its address, or its link was lost. It stays current until the next one,
    // but holds its serial number no more: a camera of that serial found
    // later (the same one put back for a retest, say) is tested as any other.
    // Only when loginHandle is the current device's; false otherwise.
    bool MarkCurrentDeviceLeft(int64_t loginHandle);
    bool CurrentDeviceLeft() const;

    // Bumped by every new current device, and by the controller at every run
    // start and stop: a wait can tell whether it still serves what it began for.
    uint64_t Generation() const { return m_generation.load(); }
    void BumpGeneration();

    // The device-type table.
    bool LookupDevType(int64_t loginHandle, DevTypeInfo* out) const;
    // false, and nothing changed, when the handle has an entry already.
    bool InsertDevType(int64_t loginHandle, const DevTypeInfo& info);
    void RemoveDevType(int64_t loginHandle);
    void ClearDevTypes();
    int DevTypeCount() const;

    DevTypeInfo CurrentDevType() const;
    void SetCurrentDevType(const DevTypeInfo& info);
    // Main type 100, the other numbers 0, texts empty.
    void ResetCurrentDevType();

    // The current device. Every write, and every "is this the current device"
    // check with the write it guards, goes through the functions above; its
    // callback fields are accessed atomically (DevInfo.h). Its address is what
    // the controller's play path is given.
    DevInfo m_PlayInfo;
    // The current device's type. Written under the device-type lock by the GUI
    // thread only; the GUI thread may read it directly, other threads use CurrentDevType().
    DevTypeInfo m_SvrRetDevTypeInfo;

private:
    friend class DevInfoListsTestPeer;

    // --- under m_lockSearch ---
    mutable ListLock m_lockSearch{ListLock::RANK_SEARCH, "search list"};
    std::vector<DevInfo> m_vecSearchDevsInfo;            // found by the current search cycle
    std::vector<DevInfo> m_vecUploadFileFinishDevsInfo;  // devices that took the package, with the time
    // Devices sent the package whose upload has not reported back: they stay
    // logged in after the search list moved on, until that report or the run's end.
    std::vector<DevInfo> m_vecUploadingDevsInfo;

    // --- under m_lockReady ---
    mutable ListLock m_lockReady{ListLock::RANK_READY, "ready list"};
    std::vector<DevInfo> m_vecSearchReadyDevsInfo;       // logged in, package matching: to be tested

    // --- under m_lockStream (with m_PlayInfo) ---
    mutable ListLock m_lockStream{ListLock::RANK_STREAM, "stream list"};
    std::vector<DevInfo> m_vecImageStreamTestDevsInfo;   // the stream-test thread's copy of the ready list
    std::vector<int64_t> m_lDelReadyDev;                 // login handles of finished devices
    bool m_bImageStreamTestDevsInfoUpdate = false;       // the search thread replaced the copy
    bool m_curDevLeft = false;                           // m_PlayInfo has left the line

    // --- under m_lockDevType (leaf, with m_SvrRetDevTypeInfo's writes) ---
    mutable ListLock m_lockDevType{ListLock::RANK_LEAF, "device types"};
    QMap<int64_t, DevTypeInfo> m_mapLoginDevType;        // login handle -> its type reply

    // Logs out the list's devices whose login is not in done, adds theirs to it, empties the list.
    static void LogOutList(std::vector<DevInfo>& list, DevInfoLists* owner, std::vector<int64_t>& done);

    std::atomic<uint64_t> m_generation{0};
    const std::function<void()> m_onGenerationChanged;
};
