#include "DuplicateSerials.h"
#include "EntryField.h"

QByteArray DuplicateSerials::HolderOf(const DevInfo& dev, const std::vector<DevInfo>& held,
                                      const std::vector<DevInfo>& searched)
{
    if (dev.ipcEntry.ipc_sn[0] == '\0')
        return QByteArray();
    // A served camera keeps its serial even when the search lists another first.
    for (const DevInfo& other : held) {
        if (SameSerial(other, dev))
            return SameIP(other, dev) ? QByteArray() : Field(other.ipcEntry.szIP);
    }
    for (const DevInfo& other : searched) {
        if (&other == &dev)
            break;
        if (SameSerial(other, dev) && !SameIP(other, dev))
            return Field(other.ipcEntry.szIP);
    }
    return QByteArray();
}

bool DuplicateSerials::Note(const DevInfo& dev)
{
    const QByteArray key = Field(dev.ipcEntry.ipc_sn) + '@' + Field(dev.ipcEntry.szIP);
    m_current.insert(key);
    return !m_last.contains(key);
}

void DuplicateSerials::NextSearch()
{
    m_last = m_current;
    m_current.clear();
}
