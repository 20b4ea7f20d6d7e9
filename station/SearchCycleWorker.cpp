// The search cycle. Logs keep the controller's method names: they are what
// the station's log readers search for.
#include "SearchCycleWorker.h"
#include "EntryField.h"

#include "Clock.h"
#include "ConfigInfo.h"
#include "DevInfoLists.h"
#include "FuncLib.h"
#include "HandOffQueue.h"
#include "HostAddressTable.h"
#include "Log.h"
#include "ReplyFields.h"
#include "StationWorkers.h"

#include <QCoreApplication>

#include <arpa/inet.h>

#include <algorithm>
#include <cstring>

namespace {

constexpr uint64_t kCycleMs = 4000;
constexpr unsigned kSearchMs = 2000;
constexpr unsigned kLoginWaitMs = 3000;
constexpr unsigned kUploadWaitMs = 3000;
constexpr int64_t kHoldBackMs = 5000;
constexpr char kFactoryIP[] = "192.168.0.123";
constexpr char kUser[] = "admin";
constexpr char kPassword[] = "580347";
constexpr int kFirstFreeNumber = 3;
constexpr int kLastFreeNumber = 254;
constexpr int kFactoryNumber = 123;

bool IsDottedIpv4(const QByteArray& text)
{
    in_addr address;
    return inet_pton(AF_INET, text.constData(), &address) == 1;
}

// The text up to the last "." (the subnet of a /24 address); empty when there is none.
QByteArray SubnetOf(const QByteArray& ip)
{
    const int dot = ip.lastIndexOf('.');
    return dot < 0 ? QByteArray() : ip.left(dot);
}

// The number after the last "."; 0 when it is none.
int LastNumber(const QByteArray& ip)
{
    return ip.mid(ip.lastIndexOf('.') + 1).toInt();
}

bool IsRecorderEntry(const IPCEntry& entry)
{
    const QByteArray type = Field(entry.szDevType);
    return type.contains("NVR") || type.contains("DEC") || type.contains("DVS");
}

bool ListHasIP(const std::vector<DevInfo>& list, const QByteArray& ip)
{
    for (const DevInfo& dev : list) {
        if (Field(dev.ipcEntry.szIP) == ip)
            return true;
    }
    return false;
}

// The free-address search over a search list whose lock the caller holds.
// Hands out neither the station's own number nor .123; tries from the number
// after the one handed out last up to .254, then once from .3.
int FindFreeIP(const std::vector<DevInfo>& list, const QByteArray& local, QByteArray* out)
{
    const QByteArray lastUse = LastUseIP();
    if (lastUse.isEmpty()) {
        LogPrint(LOG_INFO, "LeftTopWidget::GetNotUseIP() param error, g_szLastUseIP=%s", lastUse.constData());
        return -2;
    }
    if (!IsDottedIpv4(local)) {
        LogPrint(LOG_INFO, "LeftTopWidget::GetNotUseIP() szLoclaIP error, szLoclaIP=%.64s", local.constData());
        return -3;
    }
    if (!lastUse.contains('.')) {
        LogPrint(LOG_INFO, "LeftTopWidget::GetNotUseIP() g_szLastUseIP error, g_szLastUseIP=%s", lastUse.constData());
        return -4;
    }
    const int own = LastNumber(local);
    int start = LastNumber(lastUse);
    if (start < 1 || start > kLastFreeNumber)
        start = kFirstFreeNumber;
    LogPrint(LOG_INFO, "GetNotUseIP() LocalIPLastSec=%d, IPlastField=%d", own, start);
    const QByteArray subnet = SubnetOf(local);
    const int ranges[2][2] = {{start, kLastFreeNumber}, {kFirstFreeNumber, start - 1}};
    for (const auto& range : ranges) {
        for (int candidate = range[0]; candidate <= range[1]; ++candidate) {
            if (candidate == kFactoryNumber || candidate == own)
                continue;
            const QByteArray ip = subnet + '.' + QByteArray::number(candidate);
            LogPrint(LOG_DEBUG0, "LeftTopWidget::GetNotUseIP() szIPTmp=%s", ip.constData());
            if (ListHasIP(list, ip))
                continue;
            *out = ip;
            SetLastUseIP(subnet + '.' + QByteArray::number(candidate + 1 > kLastFreeNumber ? kFirstFreeNumber
                                                                                             : candidate + 1));
            LogPrint(LOG_INFO, "LeftTopWidget::GetNotUseIP() get ip success, szOutIP=%s, g_szLastUseIP=%s",
                     ip.constData(), LastUseIP().constData());
            return 0;
        }
    }
    LogPrint(LOG_INFO, "############## Leave GetNotUseIP() ###############");
    return -3;
}

// Logs in one record; the caller holds the search-list lock, so a quick login
// event finds the handle stored.
int LoginRecord(DevInfo* dev)
{
    if (dev->lUserID > 0 || dev->lLoginStatus > 0) {
        LogPrint(LOG_INFO, "LeftTopWidget::LoginDev() dev have login, return -2, lUserID=%lld, lLoginStatus=%lld",
                 (long long)dev->lUserID, (long long)dev->lLoginStatus);
        return -2;
    }
    FC_Loc_SetLoginOption(1, "");
    const QByteArray ip = Field(dev->ipcEntry.szIP);
    dev->lUserID = FC_Loc_Login(ip.constData(), dev->ipcEntry.nLoginPort, kUser, kPassword, 0);
    return 0;
}

bool Contains(const std::vector<int64_t>& handles, int64_t handle)
{
    return std::find(handles.begin(), handles.end(), handle) != handles.end();
}

}  // namespace

SearchCycleWorker::SearchCycleWorker(Controller& controller, DevInfoLists& lists, StationWorkers& workers,
                                     HandOffQueue& handOffs, std::atomic<bool>& curDevAlive,
                                     const std::atomic<bool>& autoUpgradeConfig)
    : m_controller(controller),
      m_lists(lists),
      m_workers(workers),
      m_handOffs(handOffs),
      m_curDevAlive(curDevAlive),
      m_autoUpgradeConfig(autoUpgradeConfig)
{
}

std::vector<int64_t> SearchCycleWorker::LoginsHeldElsewhere(const std::vector<DevInfo>& uploading)
{
    std::vector<int64_t> held;
    for (const DevInfo& dev : uploading)
        held.push_back(dev.lUserID);
    m_lists.WithReadyList([&](std::vector<DevInfo>& ready) {
        for (const DevInfo& dev : ready)
            held.push_back(dev.lUserID);
    });
    m_lists.WithStreamList([&](std::vector<DevInfo>& stream, std::vector<int64_t>&, bool&) {
        for (const DevInfo& dev : stream)
            held.push_back(dev.lUserID);
        held.push_back(m_lists.m_PlayInfo.lUserID);
    });
    return held;
}

void SearchCycleWorker::DropSearchDevs()
{
    m_lists.WithSearchLists([&](std::vector<DevInfo>& search, std::vector<DevInfo>&, std::vector<DevInfo>& uploading) {
        const std::vector<int64_t> held = LoginsHeldElsewhere(uploading);
        for (DevInfo& dev : search) {
            if (dev.lUserID > 0 && !Contains(held, dev.lUserID))
                m_lists.LogOutDev(&dev);
        }
        search.clear();
    });
}

void SearchCycleWorker::HoldBackUploadedDevs()
{
    const int64_t now = WallClockMs(Clock::Now());
    m_lists.WithSearchLists([&](std::vector<DevInfo>& searched, std::vector<DevInfo>& uploaded, std::vector<DevInfo>&) {
        for (auto it = uploaded.begin(); it != uploaded.end();) {
            const int64_t age = now - it->lConfigUploadFinishTime;
            if (age >= 0 && age <= kHoldBackMs) {
                ++it;
                continue;
            }
            LogPrint(LOG_INFO, "LeftTopWidget::GetAllSearachDevs() more than 5s, m_vecUploadFileFinishDevsInfo.erase(), SN=%.32s, IP=%.256s",
                     it->ipcEntry.ipc_sn, it->ipcEntry.szIP);
            it = uploaded.erase(it);
        }
        for (auto it = searched.begin(); it != searched.end();) {
            const bool held = std::any_of(uploaded.begin(), uploaded.end(),
                                          [&](const DevInfo& entry) { return SameSerial(entry, *it); });
            if (!held) {
                ++it;
                continue;
            }
            LogPrint(LOG_INFO, "LeftTopWidget::GetAllSearachDevs() less than 5s, m_vecSearchDevsInfo.erase(), SN=%.32s, IP=%.256s",
                     it->ipcEntry.ipc_sn, it->ipcEntry.szIP);
            it = searched.erase(it);
        }
    });
}

void SearchCycleWorker::ReaddressDev(DevInfo& dev, const std::vector<DevInfo>& search, const QByteArray& local)
{
    dev.lLoginStatus = -2;
    if (m_lists.IsDevInImageStreamTestDevsInfo(dev)) {
        LogPrint(LOG_INFO, "LeftTopWidget::LoginSearchDevs(), IsDevInImageStreamTestDevsInfo() return true, continue");
        return;
    }
    QByteArray ip;
    if (FindFreeIP(search, local, &ip) != 0) {
        LogPrint(LOG_INFO, "LeftTopWidget::LoginSearchDevs(), GetNotUseIP return failed, contiue");
        return;
    }
    const QByteArray subnet = SubnetOf(local);
    if (subnet.isEmpty()) {
        LogPrint(LOG_INFO, "LeftTopWidget::LoginSearchDevs(), szIPAddress find failed, contiue");
        return;
    }
    const QByteArray gateway = subnet + ".1";
    SetResultText(dev.ipcEntry.szIP, ip.constData());
    SetResultText(dev.ipcEntry.szNetmask, "255.255.255.0");
    SetResultText(dev.ipcEntry.szGateway, gateway.constData());
    LogPrint(LOG_INFO, "LeftTopWidget::LoginSearchDevs(), FC_Loc_ModifyIPCEx(), szIP=%s, szGateway=%s, szNetmask=%s",
             ip.constData(), gateway.constData(), "255.255.255.0");
    FC_Loc_ModifyIPCEx(dev.iSearchIndex, &dev.ipcEntry, 1);
}

std::vector<DevInfo> SearchCycleWorker::ServedDevs()
{
    std::vector<DevInfo> served;
    m_lists.WithReadyList([&](std::vector<DevInfo>& ready) {
        for (const DevInfo& dev : ready) {
            if (dev.lLoginStatus == 1)
                served.push_back(CopyOfDevInfo(dev));
        }
    });
    if (!m_lists.CurrentDeviceLeft())
        served.push_back(m_lists.CurrentDevice());
    return served;
}

bool SearchCycleWorker::SkipDuplicate(DevInfo& dev, const std::vector<DevInfo>& search,
                                      const std::vector<DevInfo>& served)
{
    const QByteArray holder = DuplicateSerials::HolderOf(dev, served, search);
    if (holder.isEmpty())
        return false;
    dev.lLoginStatus = -2;
    const QByteArray sn = Field(dev.ipcEntry.ipc_sn);
    const QByteArray ip = Field(dev.ipcEntry.szIP);
    LogPrint(LOG_GENERAL, "LeftTopWidget::LoginSearchDevs() duplicate SN=%s at IP=%s: the camera at IP=%s has it, not tested",
             sn.constData(), ip.constData(), holder.constData());
    if (m_duplicateSerials.Note(dev)) {
        Controller* controller = &m_controller;
        const QString text = QCoreApplication::translate(
                                 "LeftTopWidget", "Duplicate SN %1 at %2: the camera at %3 has the same SN, not tested")
                                 .arg(QString::fromLatin1(sn), QString::fromLatin1(ip), QString::fromLatin1(holder));
        // Not a result line: a failed one would fail the camera under test.
        const bool posted = m_handOffs.Post([controller, text] { controller->ShowSearchNote(text); });
        if (!posted)
            LogPrint(LOG_GENERAL, "LeftTopWidget::LoginSearchDevs() the controller closes, the duplicate is not shown");
    }
    return true;
}

bool SearchCycleWorker::LoginSearchDevAt(size_t index, const ConfigInfo& config, const QByteArray& local,
                                         const std::vector<DevInfo>& served)
{
    bool present = false;
    m_lists.WithSearchList([&](std::vector<DevInfo>& search) {
        if (index >= search.size())
            return;
        present = true;
        DevInfo& dev = search[index];
        const QByteArray ip = Field(dev.ipcEntry.szIP);
        if (!config.m_IpSection.bUseIpSection) {
            LogPrint(LOG_INFO, "LeftTopWidget::LoginSearchDevs(), m_bIpSection=false, IP=%s, SN=%.32s", ip.constData(),
                     dev.ipcEntry.ipc_sn);
            const bool taken = DevInfoLists::ListHasOtherWithIP(search, dev);
            const bool sameSubnet = !SubnetOf(ip).isEmpty() && SubnetOf(ip) == SubnetOf(local);
            const bool factory = ip == kFactoryIP;
            if (factory)
                LogPrint(LOG_INFO, "LeftTopWidget::LoginSearchDevs(), m_bIpSection=false, bCustMainNeedModifyIP=true,  IP=%s, SN=%.32s",
                         ip.constData(), dev.ipcEntry.ipc_sn);
            if ((taken || !sameSubnet || factory) && dev.ipcEntry.nAddressLock == 0) {
                LogPrint(LOG_INFO, "LeftTopWidget::LoginSearchDevs(), 111111, bExitDevByIp=%d, bIsSameIPSection=%d",
                         taken, sameSubnet);
                ReaddressDev(dev, search, local);
                return;
            }
        } else {
            LogPrint(LOG_INFO, "LeftTopWidget::LoginSearchDevs(), m_bIpSection=true, IP=%s, SN=%.32s", ip.constData(),
                     dev.ipcEntry.ipc_sn);
            if (!IsDevInSpecIpSegment(&dev)) {
                dev.lLoginStatus = -2;
                LogPrint(LOG_INFO, "LeftTopWidget::LoginSearchDevs(), bInSpecIpSegment=false, dev is not in test ip section, contiue, SN=%.32s, IP=%s",
                         dev.ipcEntry.ipc_sn, ip.constData());
                return;
            }
        }
        if (SkipDuplicate(dev, search, served))
            return;
        if (m_lists.IsDevInSearchReadyDevsInfo(dev)) {
            dev.lLoginStatus = -2;
            LogPrint(LOG_INFO, "LeftTopWidget::LoginSearchDevs(), 222222, Dev In VecReadDevs, IP=%s, SN=%.32s",
                     ip.constData(), dev.ipcEntry.ipc_sn);
            return;
        }
        LogPrint(LOG_INFO, "LeftTopWidget::LoginSearchDevs(), 333333, LoginDev, IP=%s, SN=%.32s", ip.constData(),
                 dev.ipcEntry.ipc_sn);
        LoginRecord(&dev);
    });
    return present;
}

void SearchCycleWorker::MoveLoggedInDevsToReady()
{
    LogPrint(LOG_INFO, "LeftTopWidget::ExecuteAutoSearchDevThread() Enter Not AutoUploadConfig");
    m_lists.WithSearchList([&](std::vector<DevInfo>& search) {
        for (DevInfo& dev : search) {
            if (dev.lUserID <= 0)
                continue;
            if (dev.lLoginStatus == 1) {
                LogPrint(LOG_INFO, "LeftTopWidget::ExecuteAutoSearchDevThread() m_vecSearchReadyDevsInfo.push_back(), IP=%.256s, SN=%.32s",
                         dev.ipcEntry.szIP, dev.ipcEntry.ipc_sn);
                m_lists.WithReadyList([&](std::vector<DevInfo>& ready) { ready.push_back(CopyOfDevInfo(dev)); });
            } else {
                LogPrint(LOG_INFO, "LeftTopWidget::ExecuteAutoSearchDevThread() dev login failed, logout the dev, IP=%.256s, SN=%.32s",
                         dev.ipcEntry.szIP, dev.ipcEntry.ipc_sn);
                m_lists.LogOutDev(&dev);
                dev.lLoginStatus = -1;
            }
        }
    });
}

bool SearchCycleWorker::RemoveFinishedReadyDevs(std::vector<int64_t>* loggedOut)
{
    bool running = true;
    m_lists.WithReadyList([&](std::vector<DevInfo>& ready) {
        auto drop = [&](std::vector<DevInfo>::iterator it) {
            loggedOut->push_back(it->lUserID);
            m_lists.LogOutDev(&*it);
            return ready.erase(it);
        };
        for (auto it = ready.begin(); it != ready.end();) {
            if (!m_workers.RunFlag()) {
                running = false;
                return;
            }
            if (it->lLoginStatus == 1) {
                ++it;
                continue;
            }
            LogPrint(LOG_INFO, "LeftTopWidget::ExecuteAutoSearchDevThread() Dev login statuse is not DEV_LOGIN_SUCCEED, delete this Dev!!!, IP=%.256s, SN=%.32s",
                     it->ipcEntry.szIP, it->ipcEntry.ipc_sn);
            it = drop(it);
        }
        if (!running)
            return;
        m_lists.WithStreamList([&](std::vector<DevInfo>&, std::vector<int64_t>& finished, bool&) {
            if (finished.empty())
                return;
            LogPrint(LOG_INFO, "LeftTopWidget::ExecuteAutoSearchDevThread() m_lDelReadyDev.size > 0");
            for (auto it = ready.begin(); it != ready.end();) {
                if (!m_workers.RunFlag()) {
                    running = false;
                    return;
                }
                if (!Contains(finished, it->lUserID)) {
                    ++it;
                    continue;
                }
                LogPrint(LOG_INFO, "LeftTopWidget::ExecuteAutoSearchDevThread() Dev In m_lDelReadyDev, delete this Dev!!!, IP=%.256s, SN=%.32s",
                         it->ipcEntry.szIP, it->ipcEntry.ipc_sn);
                it = drop(it);
            }
            LogPrint(LOG_INFO, "LeftTopWidget::ExecuteAutoSearchDevThread() cleare m_lDelReadyDev");
        });
    });
    return running;
}

void SearchCycleWorker::ForgetLogins(const std::vector<int64_t>& handles)
{
    if (handles.empty())
        return;
    m_lists.WithSearchList([&](std::vector<DevInfo>& search) {
        for (DevInfo& dev : search) {
            if (dev.lUserID > 0 && Contains(handles, dev.lUserID))
                dev.lUserID = 0;
        }
    });
}

void SearchCycleWorker::CopyReadyDevsToStreamList()
{
    m_lists.WithReadyList([&](std::vector<DevInfo>& ready) {
        m_lists.WithStreamList([&](std::vector<DevInfo>& stream, std::vector<int64_t>& finished, bool& replaced) {
            finished.clear();
            stream.clear();
            LogPrint(LOG_INFO, "LeftTopWidget::ExecuteAutoSearchDevThread() Begin Copy ,m_vecImageStreamTestDevsInfo Update, m_vecSearchReadyDevsInfo.size()=%d !!!!!!",
                     int(ready.size()));
            for (const DevInfo& dev : ready)
                stream.push_back(CopyOfDevInfo(dev));
            replaced = true;
        });
    });
}

void SearchCycleWorker::Run()
{
    LogPrint(LOG_INFO, "++++++++++++++ Enter LeftTopWidget::ExecuteAutoSearchDevThread() ++++++++++++++++");
    bool first = true;
    uint64_t cycleStart = 0;
    while (m_workers.RunFlag()) {
        if (first || Clock::TickMs() - cycleStart > kCycleMs) {
            first = false;
            cycleStart = Clock::TickMs();
            if (!RunCycle())
                break;
        } else {
            m_workers.SleepWhileRunning(300);
        }
    }
    // Every way out, a stop inside a wait included, leaves no login behind.
    m_lists.LogOutAllDevs();
    LogPrint(LOG_INFO, "++++++++++++++ Leave LeftTopWidget::ExecuteAutoSearchDevThread() ++++++++++++++++");
}

bool SearchCycleWorker::RunCycle()
{
    LogPrint(LOG_INFO, "LeftTopWidget::ExecuteAutoSearchDevThread() Starting search after 4 seconds");
    FC_Loc_SetLoginOption(1, "");
    StartSearch(kSearchMs);
    if (!m_workers.RunFlag())
        return false;
    CollectSearchedDevs();
    StopSearch();
    LoginSearchDevs();
    WaitLoginReturn(kLoginWaitMs);
    if (!m_workers.RunFlag())
        return false;
    if (m_autoUpgradeConfig.load()) {
        LogPrint(LOG_INFO, "LeftTopWidget::ExecuteAutoSearchDevThread() Enter AutoUploadConfig");
        m_controller.GetSearchDevsConfigFileCheck();
        m_controller.WaitSearchDevsConfigFileCheckReturn(2000);
        if (!m_workers.RunFlag())
            return false;
        m_controller.DealSearchDevsConfigFileCheck();
    } else {
        MoveLoggedInDevsToReady();
    }
    m_controller.WaitSearchDevsUploadConfigFileFinishReturn(kUploadWaitMs);
    if (!m_workers.RunFlag())
        return false;
    std::vector<int64_t> loggedOut;
    const bool running = RemoveFinishedReadyDevs(&loggedOut);
    ForgetLogins(loggedOut);
    if (!running)
        return false;
    CopyReadyDevsToStreamList();
    return m_workers.RunFlag();
}

void SearchCycleWorker::StartSearch(unsigned timeoutMs)
{
    LogPrint(LOG_INFO, "Enter LeftTopWidget::StartSearchDev() dwTimeout=%u", timeoutMs);
    DropSearchDevs();
    const QByteArray local = m_controller.CurrentIP().toLatin1();
    LogPrint(LOG_INFO, "LeftTopWidget::StartSearchDev() Start Search IPC, m_qstrCurrentIP=%s", local.constData());
    FC_Loc_StartSearchIPC(local.constData());
    if (timeoutMs > 0) {
        const uint64_t deadline = Clock::TickMs() + timeoutMs;
        while (Clock::TickMs() < deadline && m_workers.SleepWhileRunning(100)) {
        }
    }
    LogPrint(LOG_INFO, "Leave LeftTopWidget::StartSearchDev() dwTimeout=%u", timeoutMs);
}

void SearchCycleWorker::StopSearch()
{
    FC_Loc_StopSearchIPC();
    LogPrint(LOG_INFO, "LeftTopWidget::StopSearchDev() stop search");
}

void SearchCycleWorker::CollectSearchedDevs()
{
    const int count = FC_Loc_GetSearchIPCCount();
    LogPrint(LOG_INFO, "LeftTopWidget::GetAllSearachDevs() FC_Loc_GetSearchIPCCount, Search Devs Num=%d", count);
    // The pane belongs to the GUI thread: the search thread asks it there.
    VideoForm* pane = nullptr;
    if (m_handOffs.IsGuiThread())
        pane = m_controller.GetCurVideoForm();
    else
        m_handOffs.Call([&] { pane = m_controller.GetCurVideoForm(); });
    const DevInfo current = m_lists.CurrentDevice();
    const bool currentLeft = m_lists.CurrentDeviceLeft();
    bool currentFound = false;
    for (int i = 0; i < count; ++i) {
        DevInfo dev;
        ZeroDevInfo(dev);
        if (FC_Loc_GetSearchIPCInfo(i, &dev.ipcEntry) != 0 || IsRecorderEntry(dev.ipcEntry))
            continue;
        dev.iSearchIndex = i;
        dev.widget = pane;
        // By address too: a camera that shares the serial says nothing of this one.
        if (current.ipcEntry.ipc_sn[0] != '\0' && SameSerial(current, dev) && SameIP(current, dev))
            currentFound = true;
        m_lists.WithSearchList([&](std::vector<DevInfo>& search) {
            search.push_back(dev);
            LogPrint(LOG_INFO, "LeftTopWidget::GetAllSearachDevs() m_vecSearchDevsInfo.push_back(), SN=%.32s, IP=%.256s",
                     dev.ipcEntry.ipc_sn, dev.ipcEntry.szIP);
        });
    }
    NoteCurrentDevice(current, currentLeft, currentFound);
    HoldBackUploadedDevs();
}

void SearchCycleWorker::NoteCurrentDevice(const DevInfo& current, bool left, bool found)
{
    if (current.ipcEntry.ipc_sn[0] == '\0')
        return;
    // A camera found where the current one was, after it left, is another
    // appearance: it must not keep the one that left alive.
    if (found && !left)
        m_curDevAlive = true;
    else if (!found)
        m_lists.MarkCurrentDeviceLeft(current.lUserID);
}

void SearchCycleWorker::LoginSearchDevs()
{
    m_lists.ReadSearchList([](const std::vector<DevInfo>& search) {
        LogPrint(LOG_INFO, "#########Enter LeftTopWidget::LoginSearchDevs(), m_vecSearchDevsInfo.size()=%d  #########",
                 int(search.size()));
    });
    if (Field(g_DifNetWorkcardIp[0].m_szLocalIpList[0]).isEmpty()) {
        LogPrint(LOG_INFO, "LeftTopWidget::LoginSearchDevs(), g_DifNetWorkcardIp[0].m_szLocalIpList[0] is NULL, return;");
        return;
    }
    const ConfigInfo config = m_controller.ConfigSnapshot();
    const QByteArray local = m_controller.CurrentIP().toLatin1();
    const std::vector<DevInfo> served = ServedDevs();
    m_duplicateSerials.NextSearch();
    for (size_t i = 0; LoginSearchDevAt(i, config, local, served); ++i) {
    }
    LogPrint(LOG_INFO, "#########Leave LeftTopWidget::LoginSearchDevs() #########");
}

int SearchCycleWorker::LoginDev(DevInfo* dev)
{
    if (!dev)
        return -1;
    int result = 0;
    m_lists.WithSearchList([&](std::vector<DevInfo>&) { result = LoginRecord(dev); });
    return result;
}

bool SearchCycleWorker::IsDevInSpecIpSegment(const DevInfo* dev) const
{
    if (!dev)
        return false;
    const IpSectionConfig section = m_controller.ConfigSnapshot().m_IpSection;
    if (!section.bUseIpSection)
        return true;
    const int number = LastNumber(Field(dev->ipcEntry.szIP));
    return number >= LastNumber(section.StartIp.toLatin1()) && number <= LastNumber(section.EndIP.toLatin1());
}

int SearchCycleWorker::GetNotUseIP(char* outIP, const char* localIP)
{
    LogPrint(LOG_INFO, "############## Enter GetNotUseIP() ###############");
    if (!outIP || !localIP) {
        LogPrint(LOG_INFO, "LeftTopWidget::GetNotUseIP() param error, szOutIP=%p, in_szLoclaIP=%p",
                 static_cast<void*>(outIP), static_cast<const void*>(localIP));
        return -1;
    }
    const QByteArray local(localIP, int(strnlen(localIP, 64)));
    QByteArray ip;
    int result = 0;
    m_lists.ReadSearchList([&](const std::vector<DevInfo>& search) { result = FindFreeIP(search, local, &ip); });
    if (result == 0)
        memcpy(outIP, ip.constData(), size_t(ip.size()) + 1);
    return result;
}

bool SearchCycleWorker::WaitForSearchDevs(unsigned timeoutMs, const std::function<bool(const DevInfo&)>& pending)
{
    const uint64_t deadline = Clock::TickMs() + timeoutMs;
    for (;;) {
        bool none = false;
        m_lists.ReadSearchList([&](const std::vector<DevInfo>& search) {
            none = std::none_of(search.begin(), search.end(), pending);
        });
        if (none)
            return true;
        if (Clock::TickMs() >= deadline || !m_workers.SleepWhileRunning(100))
            return false;
    }
}

void SearchCycleWorker::WaitLoginReturn(unsigned timeoutMs)
{
    m_lists.ReadSearchList([&](const std::vector<DevInfo>& search) {
        LogPrint(LOG_INFO, "#########Enter LeftTopWidget::WaitSearchDevsLoginReturn(), dwTimeout=%u, m_vecSearchDevsInfo.size()=%d #########",
                 timeoutMs, int(search.size()));
    });
    const bool all = WaitForSearchDevs(timeoutMs, [](const DevInfo& dev) {
        const bool waiting = dev.lUserID > 0 && dev.lLoginStatus == 0;
        if (!waiting)
            LogPrint(LOG_DEBUG0, "LeftTopWidget::WaitSearchDevsLoginReturn() IP=%.256s, lUserID=%lld, lLoginStatus=%lld",
                     dev.ipcEntry.szIP, (long long)dev.lUserID, (long long)dev.lLoginStatus);
        return waiting;
    });
    if (all)
        LogPrint(LOG_INFO, "LeftTopWidget::WaitSearchDevsLoginReturn(), all dev login ok, break");
    LogPrint(LOG_INFO, "#########Leave LeftTopWidget::WaitSearchDevsLoginReturn() #########");
}
