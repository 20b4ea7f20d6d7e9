#include "DevInfoLists.h"

#include "FuncLib.h"
#include "Log.h"

#include <algorithm>
#include <functional>
#include <mutex>

DevInfoLists::DevInfoLists(std::function<void()> onGenerationChanged)
    : m_onGenerationChanged(std::move(onGenerationChanged))
{
    ZeroDevInfo(m_PlayInfo);
}

DevInfoLists::~DevInfoLists() = default;

int DevInfoLists::LogOutDev(DevInfo* dev)
{
    if (!dev) {
        LogPrint(LOG_INFO, "Enter LeftTopWidget::LogOutDev(), pDevInfo=null, return");
        return -1;
    }
    LogPrint(LOG_INFO, "Enter LeftTopWidget::LogOutDev(), lUserID=%lld", (long long)dev->lUserID);
    if (dev->lUserID > 0) {
        RemoveDevType(dev->lUserID);
        FC_Loc_Logout(dev->lUserID);
        dev->lUserID = 0;
    }
    LogPrint(LOG_INFO, "Leave LeftTopWidget::LogOutDev()");
    return 0;
}

void DevInfoLists::LogOutList(std::vector<DevInfo>& list, DevInfoLists* owner, std::vector<int64_t>& done)
{
    for (DevInfo& dev : list) {
        if (dev.lUserID <= 0)
            continue;
        if (std::find(done.begin(), done.end(), dev.lUserID) == done.end()) {
            done.push_back(dev.lUserID);
            owner->LogOutDev(&dev);
        }
        dev.lUserID = 0;
        dev.lLoginStatus = -1;
    }
    list.clear();
}

int DevInfoLists::LogOutAllDevs()
{
    LogPrint(LOG_INFO, "Enter LeftTopWidget::LogOutAllDevs()");
    std::vector<int64_t> done;
    {
        std::lock_guard<ListLock> guard(m_lockSearch);
        LogOutList(m_vecSearchDevsInfo, this, done);
        LogOutList(m_vecUploadingDevsInfo, this, done);
    }
    {
        std::lock_guard<ListLock> guard(m_lockReady);
        LogOutList(m_vecSearchReadyDevsInfo, this, done);
    }
    LogPrint(LOG_INFO, "Leave LeftTopWidget::LogOutAllDevs()");
    return 0;
}

bool DevInfoLists::ListHasSerial(const std::vector<DevInfo>& list, const DevInfo& dev)
{
    for (const DevInfo& other : list) {
        if (SameSerial(other, dev))
            return true;
    }
    return false;
}

bool DevInfoLists::ListHasOtherWithIP(const std::vector<DevInfo>& list, const DevInfo& dev)
{
    // A record of the list is told from the others by its place, so another
    // camera with its serial (a duplicate) at its address counts; a record
    // from elsewhere is the entry with its serial.
    const bool inList = !list.empty() && std::less_equal<const DevInfo*>()(list.data(), &dev) &&
                        std::less<const DevInfo*>()(&dev, list.data() + list.size());
    for (const DevInfo& other : list) {
        if (&other == &dev || !SameIP(other, dev))
            continue;
        if (inList || !SameSerial(other, dev))
            return true;
    }
    return false;
}

bool DevInfoLists::IsDevInSearchReadyDevsInfo(const DevInfo& dev) const
{
    std::lock_guard<ListLock> guard(m_lockReady);
    return ListHasSerial(m_vecSearchReadyDevsInfo, dev);
}

bool DevInfoLists::IsDevInImageStreamTestDevsInfo(const DevInfo& dev) const
{
    std::lock_guard<ListLock> guard(m_lockStream);
    if (!ListHasSerial(m_vecImageStreamTestDevsInfo, dev))
        return false;
    LogPrint(LOG_INFO, "LeftTopWidget::IsDevInImageStreamTestDevsInfo() dev in m_vecImageStreamTestDevsInfo, IP=%.256s, SN=%.32s",
             dev.ipcEntry.szIP, dev.ipcEntry.ipc_sn);
    return true;
}

bool DevInfoLists::IsExitDevByIP(const DevInfo& dev) const
{
    std::lock_guard<ListLock> guard(m_lockSearch);
    if (!ListHasOtherWithIP(m_vecSearchDevsInfo, dev))
        return false;
    LogPrint(LOG_INFO, "LeftTopWidget::IsExitDevByIP() bExsitIp=true break,  IP=%.256s, SN=%.32s", dev.ipcEntry.szIP,
             dev.ipcEntry.ipc_sn);
    return true;
}

void DevInfoLists::BumpGeneration()
{
    m_generation.fetch_add(1);
    if (m_onGenerationChanged)
        m_onGenerationChanged();
}

void DevInfoLists::SetCurrentDevice(const DevInfo& dev, const std::function<void(DevInfo& previous)>& retire)
{
    {
        std::lock_guard<ListLock> guard(m_lockStream);
        if (retire)
            retire(m_PlayInfo);
        CopyDevInfo(m_PlayInfo, dev);
        m_curDevLeft = false;
    }
    BumpGeneration();
}

void DevInfoLists::ClearCurrentDevice()
{
    {
        std::lock_guard<ListLock> guard(m_lockStream);
        ZeroDevInfo(m_PlayInfo);
        m_curDevLeft = false;
    }
    BumpGeneration();
}

bool DevInfoLists::MarkCurrentDeviceLeft(int64_t loginHandle)
{
    std::lock_guard<ListLock> guard(m_lockStream);
    if (loginHandle <= 0 || m_PlayInfo.lUserID != loginHandle)
        return false;
    if (!m_curDevLeft)
        LogPrint(LOG_INFO, "LeftTopWidget: the current device has left, SN=%.32s, IP=%.256s, lUserID=%lld",
                 m_PlayInfo.ipcEntry.ipc_sn, m_PlayInfo.ipcEntry.szIP, (long long)loginHandle);
    m_curDevLeft = true;
    return true;
}

bool DevInfoLists::CurrentDeviceLeft() const
{
    std::lock_guard<ListLock> guard(m_lockStream);
    return m_curDevLeft;
}

DevInfo DevInfoLists::CurrentDevice() const
{
    std::lock_guard<ListLock> guard(m_lockStream);
    return CopyOfDevInfo(m_PlayInfo);
}

int64_t DevInfoLists::CurrentLoginHandle() const
{
    std::lock_guard<ListLock> guard(m_lockStream);
    return m_PlayInfo.lUserID;
}

bool DevInfoLists::UpdateCurrentDevice(int64_t loginHandle, const std::function<void(DevInfo&)>& change)
{
    std::lock_guard<ListLock> guard(m_lockStream);
    if (loginHandle <= 0 || m_PlayInfo.lUserID != loginHandle)
        return false;
    change(m_PlayInfo);
    return true;
}

namespace {

// Runs visit under the search-list lock; a visit from inside another (a login
// or free-address search during a pass over the list) already holds it.
template <typename Visit>
void UnderSearchLock(ListLock& lock, Visit visit)
{
    if (lock.RankHeldByThisThread()) {
        visit();
        return;
    }
    std::lock_guard<ListLock> guard(lock);
    visit();
}

}  // namespace

void DevInfoLists::WithSearchLists(
    const std::function<void(DevList& search, DevList& uploadFinished, DevList& uploading)>& visit)
{
    UnderSearchLock(m_lockSearch,
                    [&] { visit(m_vecSearchDevsInfo, m_vecUploadFileFinishDevsInfo, m_vecUploadingDevsInfo); });
}

void DevInfoLists::WithSearchList(const std::function<void(DevList& search)>& visit)
{
    UnderSearchLock(m_lockSearch, [&] { visit(m_vecSearchDevsInfo); });
}

void DevInfoLists::ReadSearchList(const std::function<void(const DevList& search)>& visit) const
{
    UnderSearchLock(m_lockSearch, [&] { visit(m_vecSearchDevsInfo); });
}

void DevInfoLists::ForEachSearchDev(const std::function<void(DevInfo&)>& visit)
{
    WithSearchList([&](DevList& search) {
        for (DevInfo& dev : search)
            visit(dev);
    });
}

bool DevInfoLists::UpdateSearchDev(const std::function<bool(const DevInfo&)>& match,
                                   const std::function<void(DevInfo&)>& change)
{
    bool found = false;
    WithSearchList([&](DevList& search) {
        auto it = std::find_if(search.begin(), search.end(), match);
        if (it == search.end())
            return;
        change(*it);
        found = true;
    });
    return found;
}

bool DevInfoLists::SearchListHeldByThisThread() const
{
    return m_lockSearch.RankHeldByThisThread();
}

void DevInfoLists::WithReadyList(const std::function<void(DevList& ready)>& visit)
{
    std::lock_guard<ListLock> guard(m_lockReady);
    visit(m_vecSearchReadyDevsInfo);
}

void DevInfoLists::WithStreamList(
    const std::function<void(DevList& stream, std::vector<int64_t>& finished, bool& replaced)>& visit)
{
    std::lock_guard<ListLock> guard(m_lockStream);
    visit(m_vecImageStreamTestDevsInfo, m_lDelReadyDev, m_bImageStreamTestDevsInfoUpdate);
}

bool DevInfoLists::TakeNextStreamTestDevice(int64_t& lastItem, DevInfo* next)
{
    std::lock_guard<ListLock> guard(m_lockStream);
    std::vector<DevInfo>& list = m_vecImageStreamTestDevsInfo;
    if (m_bImageStreamTestDevsInfoUpdate) {
        LogPrint(LOG_INFO, "LeftTopWidget::ExecuteImageStreamTestThread() m_bImageStreamTestDevsInfoUpdate=true, set m_lLastItem=-1, pVecImageStreamTestDevs->size()=%d",
                 int(list.size()));
        m_bImageStreamTestDevsInfoUpdate = false;
        lastItem = -1;
    } else if (lastItem >= int64_t(list.size()) - 1) {
        return false;
    }
    for (int64_t i = lastItem + 1; i < int64_t(list.size());) {
        const DevInfo& dev = list[size_t(i)];
        if (dev.lUserID <= 0 || dev.lLoginStatus != 1) {
            list.erase(list.begin() + i);
            continue;
        }
        if (!LookupDevType(dev.lUserID, nullptr))
            return false;   // its type reply has not come: a later pass takes it
        lastItem = i;
        // The current device's own record, or its serial while it is still on
        // the line; once it has left, its serial found again is a retest.
        if (dev.lUserID == m_PlayInfo.lUserID || (SameSerial(dev, m_PlayInfo) && !m_curDevLeft)) {
            LogPrint(LOG_INFO, "LeftTopWidget::ExecuteImageStreamTestThread() i=%d, get myself Dev, continue", int(i));
            ++i;
            continue;
        }
        LogPrint(LOG_INFO, "LeftTopWidget::ExecuteImageStreamTestThread(), i=%d, lUserID=%lld, Ip=%.256s, SN=%.32s, Begin Play Dev",
                 int(i), (long long)dev.lUserID, dev.ipcEntry.szIP, dev.ipcEntry.ipc_sn);
        CopyDevInfo(*next, dev);
        return true;
    }
    return false;
}

void DevInfoLists::QueueFinishedDevice(int64_t loginHandle)
{
    std::lock_guard<ListLock> guard(m_lockStream);
    m_lDelReadyDev.push_back(loginHandle);
}

void DevInfoLists::ReadCurrentDevice(const std::function<void(const DevInfo&)>& read) const
{
    std::lock_guard<ListLock> guard(m_lockStream);
    read(m_PlayInfo);
}

void DevInfoLists::ChangeCurrentDevice(const std::function<void(DevInfo&)>& change)
{
    std::lock_guard<ListLock> guard(m_lockStream);
    change(m_PlayInfo);
}

bool DevInfoLists::LookupDevType(int64_t loginHandle, DevTypeInfo* out) const
{
    std::lock_guard<ListLock> guard(m_lockDevType);
    auto it = m_mapLoginDevType.constFind(loginHandle);
    if (it == m_mapLoginDevType.constEnd())
        return false;
    if (out)
        *out = it.value();
    return true;
}

bool DevInfoLists::InsertDevType(int64_t loginHandle, const DevTypeInfo& info)
{
    std::lock_guard<ListLock> guard(m_lockDevType);
    if (m_mapLoginDevType.contains(loginHandle))
        return false;
    m_mapLoginDevType.insert(loginHandle, info);
    return true;
}

void DevInfoLists::RemoveDevType(int64_t loginHandle)
{
    std::lock_guard<ListLock> guard(m_lockDevType);
    m_mapLoginDevType.remove(loginHandle);
}

void DevInfoLists::ClearDevTypes()
{
    std::lock_guard<ListLock> guard(m_lockDevType);
    m_mapLoginDevType.clear();
}

int DevInfoLists::DevTypeCount() const
{
    std::lock_guard<ListLock> guard(m_lockDevType);
    return m_mapLoginDevType.size();
}

DevTypeInfo DevInfoLists::CurrentDevType() const
{
    std::lock_guard<ListLock> guard(m_lockDevType);
    return m_SvrRetDevTypeInfo;
}

void DevInfoLists::SetCurrentDevType(const DevTypeInfo& info)
{
    std::lock_guard<ListLock> guard(m_lockDevType);
    m_SvrRetDevTypeInfo = info;
}

void DevInfoLists::ResetCurrentDevType()
{
    SetCurrentDevType(DevTypeInfo());
}
