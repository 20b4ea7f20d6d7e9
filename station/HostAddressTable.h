#pragma once

#include <QByteArray>
#include <QString>
#include <QVector>

#include <cstdint>

// The station's own IPv4 addresses, grouped by adapter, filled once by the
// controller's construction (GUI thread) before its workers start; workers read it.
constexpr int MAX_NETWORK_CARDS = 20;
constexpr int MAX_CARD_IPS = 32;

struct NetWorkcardIp {
    char szDescription[132];             // the adapter's description
    char m_szLocalIpList[MAX_CARD_IPS][64];  // its addresses as dotted text, in order
    int32_t iIpCount;                    // addresses stored
};

extern NetWorkcardIp g_DifNetWorkcardIp[MAX_NETWORK_CARDS];

// Clears the table and fills it from the host adapters (platform/HostAdapters.h):
// at most 20 adapters with at least one address other than empty and "0.0.0.0",
// at most 32 addresses each. Returns the number of adapters stored.
int GetNetworkInfo();
// Every stored address with its adapter's description, in table order.
struct HostAddress {
    QString address;
    QString description;
};
QVector<HostAddress> HostAddressList();

// g_szLastUseIP: the address handed out last, or the chosen local address (at
// most 63 characters). The network-card box may change it during a run, so it
// is read and written only through these.
QByteArray LastUseIP();
void SetLastUseIP(const QByteArray& ip);
