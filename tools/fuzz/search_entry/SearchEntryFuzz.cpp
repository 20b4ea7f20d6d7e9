// Search entries as devices on the LAN announce themselves: a search list of
// them goes through the controller's re-addressing and login pass, with the
// station on 127.0.0.5/24.
//
// Input: records ended by 0x1E, each the fields serial, type, IP, netmask,
// gateway and cloud ID ended by 0x1F, then a byte (bit 0: address lock, bit 1:
// cloud ID valid). A field longer than its array fills it without a NUL.
#include "ControllerHarness.h"
#include "FuzzEnv.h"
#include "FuzzInput.h"

#include "FuncLibTypes.h"
#include "LeftTopWidget.h"

#include <cstring>
#include <string>

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
    FuzzInput in(data, size);
    w.WithSearchList([&](DevInfoLists::DevList& search) {
        search.clear();
        for (int i = 0; i < kMostEntries && in.Left() > 0; ++i) {
            DevInfo dev;
            ZeroDevInfo(dev);
            dev.ipcEntry = EntryOf(in.Until(0x1E));
            dev.iSearchIndex = i;
            search.push_back(dev);
        }
    });
    w.LoginSearchDevs();
    w.ForEachSearchDev([&](const DevInfo& dev) {
        w.IsDevInSpecIpSegment(&dev);
        if (strnlen(dev.ipcEntry.szIP, sizeof dev.ipcEntry.szIP) == sizeof dev.ipcEntry.szIP)
            return;
        if (dev.lLoginStatus == -2 && dev.ipcEntry.nAddressLock != 0)
            FuzzEnv::Fail("a device with its address locked was given another");
    });
    w.LogOutAllDevs();
    ControllerHarness::Settle();
    return 0;
}
