// Login states of the device lists.
#include "LeftTopWidget.h"

#include "AppGlobals.h"
#include "DevCommand.h"
#include "FuncLib.h"
#include "Log.h"
#include "VantrelEvent.h"

#include <mutex>

namespace {

// The first record of list with that login handle, or null.
DevInfo* FindByLogin(std::vector<DevInfo>& list, int64_t loginHandle)
{
    for (DevInfo& dev : list) {
        if (dev.lUserID == loginHandle)
            return &dev;
    }
    return nullptr;
}

// Sets the status of the first record with that login handle; the caller holds the list's lock.
void SetStatusInList(std::vector<DevInfo>& list, int64_t loginHandle, int64_t status, const char* listName)
{
    for (size_t i = 0; i < list.size(); ++i) {
        DevInfo& dev = list[i];
        if (dev.lUserID != loginHandle)
            continue;
        dev.lLoginStatus = status;
        LogPrint(LOG_INFO, "LeftTopWidget::SetDevLoginStatus() sys %s[%d] Dev Login status, lLoginStatus=%lld, IP=%.256s",
                 listName, int(i), (long long)status, dev.ipcEntry.szIP);
        return;
    }
}

}  // namespace

void LeftTopWidget::SetDevLoginStatus(int64_t loginHandle, int64_t status)
{
    bool alarmFileMissing = false;
    m_lists.WithSearchList([&](std::vector<DevInfo>& search) {
        DevInfo* dev = FindByLogin(search, loginHandle);
        if (dev) {
            dev->lLoginStatus = status;
            bool beginTest = false;
            if (status == 1) {
                const int64_t current = m_lists.CurrentLoginHandle();
                if (current > 0)
                    SendDevCommand(current, CMD_GET_IPC_SERIALNUMBER, CommandBody::None());
                if (ConfigSnapshot().m_SystemConfig.iSingleFixedIPTestMode == 1 && DevLoad(dev->lRealHandle) > 0) {
                    if (IsAlarmFileMissing())
                        alarmFileMissing = true;
                    else
                        beginTest = true;
                }
            }
            if (!alarmFileMissing) {
                if (beginTest) {
                    PostToMainWindow(WM_RESET_UI, 0, 0);
                    PostVantrelEvent(this, WM_BEGIN_AUTO_TEST, 0, 0);
                }
                FC_Loc_SetLoginOption(1, "");
            }
        }
    });
    if (alarmFileMissing) {
        // The box waits for the operator: never while the search list is locked.
        CheckAutoUploadWarnFile();
        LogPrint(int(status + 2), "LeftTopWidget::SetDevLoginStatus() CheckAutoUploadWarnFile return failed");
        return;
    }
    m_lists.WithReadyList([&](std::vector<DevInfo>& ready) {
        SetStatusInList(ready, loginHandle, status, "m_vecSearchReadyDevsInfo");
    });
    m_lists.WithStreamList([&](std::vector<DevInfo>& stream, std::vector<int64_t>&, bool&) {
        SetStatusInList(stream, loginHandle, status, "m_vecImageStreamTestDevsInfo");
    });
}
