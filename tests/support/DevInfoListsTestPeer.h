#pragma once

#include "DevInfoLists.h"

// The device lists' private state, for the tests that build a list by hand or
// check one whole. Take the list's lock as the station does.
class DevInfoListsTestPeer {
public:
    explicit DevInfoListsTestPeer(DevInfoLists& lists)
        : m_lockSearch(lists.m_lockSearch),
          m_vecSearchDevsInfo(lists.m_vecSearchDevsInfo),
          m_vecUploadFileFinishDevsInfo(lists.m_vecUploadFileFinishDevsInfo),
          m_vecUploadingDevsInfo(lists.m_vecUploadingDevsInfo),
          m_lockReady(lists.m_lockReady),
          m_vecSearchReadyDevsInfo(lists.m_vecSearchReadyDevsInfo),
          m_lockStream(lists.m_lockStream),
          m_vecImageStreamTestDevsInfo(lists.m_vecImageStreamTestDevsInfo),
          m_lDelReadyDev(lists.m_lDelReadyDev),
          m_bImageStreamTestDevsInfoUpdate(lists.m_bImageStreamTestDevsInfoUpdate)
    {
    }

    ListLock& m_lockSearch;
    std::vector<DevInfo>& m_vecSearchDevsInfo;
    std::vector<DevInfo>& m_vecUploadFileFinishDevsInfo;
    std::vector<DevInfo>& m_vecUploadingDevsInfo;
    ListLock& m_lockReady;
    std::vector<DevInfo>& m_vecSearchReadyDevsInfo;
    ListLock& m_lockStream;
    std::vector<DevInfo>& m_vecImageStreamTestDevsInfo;
    std::vector<int64_t>& m_lDelReadyDev;
    bool& m_bImageStreamTestDevsInfoUpdate;
};

inline DevInfoListsTestPeer Lists(DevInfoLists& lists)
{
    return DevInfoListsTestPeer(lists);
}
