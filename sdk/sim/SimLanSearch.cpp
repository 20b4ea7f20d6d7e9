// Discovery: the search table the cameras answer into, and re-addressing.
#include "SimLan.h"

#include "SimCallArgs.h"

namespace {

// A new address a camera takes: plain dotted decimal, nothing another parser reads otherwise.
bool IsDottedIpv4(const QString& text)
{
    return SimProfile::IsPlainIpv4(text);
}

}  // namespace

int SimLan::StartSearch(const char* localIp)
{
    if (!localIp || !*localIp)
        return FC_ERR_PARAM;
    std::lock_guard<std::mutex> guard(m_lock);
    m_searchTable.clear();
    m_searchNames.clear();
    m_searching = true;
    const uint64_t generation = ++m_searchGeneration;
    for (const auto& c : m_cameras) {
        if (!c.second->Plugged())
            continue;
        const QString name = c.first;
        m_dispatcher.Schedule(c.second->Config().searchDelayMs, [this, name, generation] {
            std::lock_guard<std::mutex> inner(m_lock);
            SimCamera* cam = CameraByName(name);
            if (!cam || !cam->Plugged() || !m_searching || generation != m_searchGeneration)
                return;
            IPCEntry entry;
            cam->FillEntry(&entry);
            m_searchTable.push_back(entry);
            m_searchNames.push_back(name);
        });
    }
    return 0;
}

int SimLan::StopSearch()
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_searching = false;
    return 0;
}

int SimLan::SearchCount() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_searchTable.size();
}

int SimLan::SearchEntry(int index, IPCEntry* entry) const
{
    if (!entry)
        return FC_ERR_PARAM;
    std::lock_guard<std::mutex> guard(m_lock);
    if (index < 0 || index >= m_searchTable.size())
        return FC_ERR_NOT_FOUND;
    *entry = m_searchTable.at(index);
    return 0;
}

int SimLan::ModifyAddress(int index, const IPCEntry* entry)
{
    if (!entry)
        return FC_ERR_PARAM;
    const QString ip = SimCallArgs::BoundedText(entry->szIP, sizeof entry->szIP);
    const QString mask = SimCallArgs::BoundedText(entry->szNetmask, sizeof entry->szNetmask);
    const QString gateway = SimCallArgs::BoundedText(entry->szGateway, sizeof entry->szGateway);
    if (!IsDottedIpv4(ip) || !IsDottedIpv4(mask) || (!gateway.isEmpty() && !IsDottedIpv4(gateway)))
        return FC_ERR_PARAM;
    QString name;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        if (index < 0 || index >= m_searchNames.size())
            return FC_ERR_NOT_FOUND;
        name = m_searchNames.at(index);
        SimCamera* cam = CameraByName(name);
        if (!cam || !cam->Plugged())
            return FC_ERR_NOT_FOUND;
        cam->SetAddress(ip, mask, gateway);
    }
    DropSessionsOf(name, 0);   // a camera that moves loses its links
    return 0;
}
