#pragma once

#include <QMap>
#include <QString>

#include <mutex>

struct DeviceEntry;

// The bridge's map from a device's serial number to its entry. Every operation
// takes the registry's mutex. The registry does not own the entries.
class DeviceRegistry {
public:
    // False when the key is empty, the entry null or the key already taken.
    bool Add(const QString& serial, DeviceEntry* entry);
    // The removed entry, or null when there was none.
    DeviceEntry* Remove(const QString& serial);
    DeviceEntry* Find(const QString& serial) const;
    int Count() const;
    void Clear();

private:
    mutable std::mutex m_mutex;
    QMap<QString, DeviceEntry*> m_entries;
};
