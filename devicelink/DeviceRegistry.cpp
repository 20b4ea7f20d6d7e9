#include "DeviceRegistry.h"

bool DeviceRegistry::Add(const QString& serial, DeviceEntry* entry)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (serial.isEmpty() || !entry || m_entries.contains(serial))
        return false;
    m_entries.insert(serial, entry);
    return true;
}

DeviceEntry* DeviceRegistry::Remove(const QString& serial)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_entries.take(serial);
}

DeviceEntry* DeviceRegistry::Find(const QString& serial) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_entries.value(serial, nullptr);
}

int DeviceRegistry::Count() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_entries.size();
}

void DeviceRegistry::Clear()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_entries.clear();
}
