#pragma once

#include <QString>
#include <QVector>

#include <cstdint>

// One IPv4 address of a local network interface.
struct HostAdapter {
    QString name;        // interface name, or the simulated adapter's description
    QString address;     // dotted IPv4
    QString netmask;     // dotted IPv4
    QByteArray mac;      // 6 bytes, empty when unknown
};

namespace HostAdapters {

// The host's IPv4 interface addresses, loopback left out, in a stable order
// (interface name, then address). An injected list, else the simulated adapter,
// is returned instead.
QVector<HostAdapter> List();

// Replaces what List() reports (tests); ClearOverride restores the host.
void SetOverride(const QVector<HostAdapter>& adapters);
void ClearOverride();
bool HasOverride();

// The simulated LAN's station-side adapter. While it is set, and no test
// override is in force, List() reports this one adapter in place of the host's.
void SetSimulated(const HostAdapter& adapter);
void ClearSimulated();
bool HasSimulated();

}  // namespace HostAdapters
