// Search entries as devices on the LAN announce themselves: a search list of
// them goes through the controller's re-addressing and login pass, with the
// station on 127.0.0.5/24.
//
// Input: records ended by 0x1E, each the fields serial, type, IP, netmask,
// gateway and cloud ID ended by 0x1F, then a byte (bit 0: address lock, bit 1:
// cloud ID valid). A field longer than its array fills it without a NUL.
//
// The check reads what the station did, the SDK calls it made and the records
// it left, not the login status: that one value also marks cameras passed
// over for other reasons (a duplicate serial, an address out of the section).
#include "ControllerHarness.h"
#include "FuzzEnv.h"
#include "FuzzInput.h"

#include "FuncLibTypes.h"
#include "LeftTopWidget.h"
#include "LeftTopWidgetTestPeer.h"
#include "SdkCallLog.h"

#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int kMostEntries = 16;

template <size_t N>
void Put(char (&field)[N], const std::string& bytes)
{
    memcpy(field, bytes.data(), std::min(N, bytes.size()));
}

IPCEntry EntryOf(const std::string& record)
{
    FuzzInput in(reinterpret_cast<const uint8_t*>(record.data()), record.size());
    IPCEntry entry;
    memset(&entry, 0, sizeof entry);
    Put(entry.ipc_sn, in.Until(0x1F));
    Put(entry.szDevType, in.Until(0x1F));
    Put(entry.szIP, in.Until(0x1F));
    Put(entry.szNetmask, in.Until(0x1F));
    Put(entry.szGateway, in.Until(0x1F));
    Put(entry.szCloudId, in.Until(0x1F));
    const uint8_t flags = in.Byte();
    entry.nAddressLock = flags & 1;
    entry.dwCloudIdValid = (flags & 2) ? 0x01020304u : 0;
    entry.nLoginPort = 3000;
    return entry;
}

bool SameAddress(const IPCEntry& a, const IPCEntry& b)
{
    return memcmp(a.szIP, b.szIP, sizeof a.szIP) == 0 && memcmp(a.szNetmask, b.szNetmask, sizeof a.szNetmask) == 0
           && memcmp(a.szGateway, b.szGateway, sizeof a.szGateway) == 0;
}

// Every address the station sent to a camera went to one whose address is not locked.
void CheckNoLockedReaddressed(const std::vector<IPCEntry>& given)
{
    for (const SdkCall& call : SdkCallLog::Instance().CallsOf(QStringLiteral("FC_Loc_ModifyIPCEx"))) {
        bool ok = false;
        const int index = call.arguments.section(QLatin1Char(','), 0, 0).toInt(&ok);
        if (!ok || index < 0 || size_t(index) >= given.size())
            FuzzEnv::Fail("an address went to device %s, which the search did not list", qPrintable(call.arguments));
        if (given[size_t(index)].nAddressLock != 0)
            FuzzEnv::Fail("device %d, its address locked, was given another: %s", index, qPrintable(call.arguments));
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    FuzzEnv::Init(argc, argv, FuzzEnv::AppKind::Widgets);
    ControllerHarness::Controller();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    LeftTopWidget& w = ControllerHarness::Controller();
    ControllerHarness::ResetCurrentDevice();
    SdkCallLog::Instance().Clear();
    FuzzInput in(data, size);
    std::vector<IPCEntry> given;
    w.Lists().WithSearchList([&](DevInfoLists::DevList& search) {
        search.clear();
        for (int i = 0; i < kMostEntries && in.Left() > 0; ++i) {
            DevInfo dev;
            ZeroDevInfo(dev);
            dev.ipcEntry = EntryOf(in.Until(0x1E));
            dev.iSearchIndex = i;
            search.push_back(dev);
            given.push_back(dev.ipcEntry);
        }
    });
    Peer(w).LoginSearchDevs();
    CheckNoLockedReaddressed(given);
    size_t index = 0;
    w.Lists().ForEachSearchDev([&](const DevInfo& dev) {
        w.IsDevInSpecIpSegment(&dev);
        if (index < given.size() && given[index].nAddressLock != 0 && !SameAddress(dev.ipcEntry, given[index]))
            FuzzEnv::Fail("the record of device %zu, its address locked, was given another", index);
        ++index;
    });
    w.Lists().LogOutAllDevs();
    ControllerHarness::Settle();
    return 0;
}
