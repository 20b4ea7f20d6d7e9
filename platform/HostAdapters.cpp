#include "HostAdapters.h"

#include <QHash>

#include <algorithm>
#include <mutex>

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <netpacket/packet.h>

namespace {

std::mutex g_lock;
bool g_hasOverride = false;
QVector<HostAdapter> g_override;
bool g_hasSimulated = false;
HostAdapter g_simulated;

QString Dotted(const sockaddr* sa)
{
    if (!sa || sa->sa_family != AF_INET)
        return QString();
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(sa)->sin_addr, text, sizeof text);
    return QString::fromLatin1(text);
}

QVector<HostAdapter> ReadHost()
{
    QVector<HostAdapter> out;
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0)
        return out;
    QHash<QString, QByteArray> macs;
    for (ifaddrs* it = list; it; it = it->ifa_next) {
        if (it->ifa_addr && it->ifa_addr->sa_family == AF_PACKET) {
            auto* ll = reinterpret_cast<const sockaddr_ll*>(it->ifa_addr);
            if (ll->sll_halen == 6)
                macs.insert(QString::fromLocal8Bit(it->ifa_name),
                            QByteArray(reinterpret_cast<const char*>(ll->sll_addr), 6));
        }
    }
    for (ifaddrs* it = list; it; it = it->ifa_next) {
        if (!it->ifa_addr || it->ifa_addr->sa_family != AF_INET || (it->ifa_flags & IFF_LOOPBACK))
            continue;
        HostAdapter a;
        a.name = QString::fromLocal8Bit(it->ifa_name);
        a.address = Dotted(it->ifa_addr);
        a.netmask = Dotted(it->ifa_netmask);
        a.mac = macs.value(a.name);
        out.push_back(a);
    }
    freeifaddrs(list);
    std::stable_sort(out.begin(), out.end(), [](const HostAdapter& l, const HostAdapter& r) {
        if (l.name != r.name)
            return l.name < r.name;
        return ntohl(inet_addr(l.address.toLatin1().constData())) <
               ntohl(inet_addr(r.address.toLatin1().constData()));
    });
    return out;
}

}  // namespace

namespace HostAdapters {

QVector<HostAdapter> List()
{
    {
        std::lock_guard<std::mutex> guard(g_lock);
        if (g_hasOverride)
            return g_override;
        if (g_hasSimulated)
            return QVector<HostAdapter>{g_simulated};
    }
    return ReadHost();
}

void SetOverride(const QVector<HostAdapter>& adapters)
{
    std::lock_guard<std::mutex> guard(g_lock);
    g_override = adapters;
    g_hasOverride = true;
}

void ClearOverride()
{
    std::lock_guard<std::mutex> guard(g_lock);
    g_override.clear();
    g_hasOverride = false;
}

bool HasOverride()
{
    std::lock_guard<std::mutex> guard(g_lock);
    return g_hasOverride;
}

}  // namespace HostAdapters

namespace HostAdapters {

void SetSimulated(const HostAdapter& adapter)
{
    std::lock_guard<std::mutex> guard(g_lock);
    g_simulated = adapter;
    g_hasSimulated = true;
}

void ClearSimulated()
{
    std::lock_guard<std::mutex> guard(g_lock);
    g_simulated = HostAdapter();
    g_hasSimulated = false;
}

bool HasSimulated()
{
    std::lock_guard<std::mutex> guard(g_lock);
    return g_hasSimulated;
}

}  // namespace HostAdapters
