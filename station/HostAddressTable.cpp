#include "HostAddressTable.h"

#include "HostAdapters.h"
#include "Log.h"

#include <QVector>

#include <cstring>
#include <mutex>

NetWorkcardIp g_DifNetWorkcardIp[MAX_NETWORK_CARDS];

namespace {

std::mutex g_lastUseIPLock;
char g_szLastUseIP[64];

template <size_t N>
void CopyText(char (&field)[N], const QByteArray& text)
{
    const size_t n = qMin(size_t(text.size()), N - 1);
    std::memcpy(field, text.constData(), n);
    field[n] = '\0';
}

bool Usable(const QString& address)
{
    return !address.isEmpty() && address != QLatin1String("0.0.0.0");
}

}  // namespace

int GetNetworkInfo()
{
    std::memset(g_DifNetWorkcardIp, 0, sizeof(g_DifNetWorkcardIp));
    const QVector<HostAdapter> adapters = HostAdapters::List();
    int card = 0;
    for (int i = 0; i < adapters.size() && card < MAX_NETWORK_CARDS;) {
        // One adapter reports one entry per address: take its run of entries.
        const QString name = adapters[i].name;
        int end = i;
        while (end < adapters.size() && adapters[end].name == name)
            ++end;
        NetWorkcardIp& entry = g_DifNetWorkcardIp[card];
        std::memset(&entry, 0, sizeof(entry));
        CopyText(entry.szDescription, name.toUtf8());
        LogPrint(LOG_INFO, "GetNetworkInfo() IP = %s, Gateway = %s", adapters[i].address.toLatin1().constData(), "");
        for (int k = i; k < end && entry.iIpCount < MAX_CARD_IPS; ++k) {
            if (Usable(adapters[k].address))
                CopyText(entry.m_szLocalIpList[entry.iIpCount++], adapters[k].address.toLatin1());
        }
        if (entry.iIpCount > 0)
            ++card;
        else
            std::memset(&entry, 0, sizeof(entry));
        i = end;
    }
    return card;
}

QVector<HostAddress> HostAddressList()
{
    QVector<HostAddress> list;
    for (const NetWorkcardIp& card : g_DifNetWorkcardIp) {
        const QString description = QString::fromUtf8(card.szDescription, int(strnlen(card.szDescription, sizeof(card.szDescription))));
        for (int k = 0; k < card.iIpCount && k < MAX_CARD_IPS; ++k) {
            const char* ip = card.m_szLocalIpList[k];
            list.push_back({QString::fromLatin1(ip, int(strnlen(ip, sizeof(card.m_szLocalIpList[k])))), description});
        }
    }
    return list;
}

QByteArray LastUseIP()
{
    std::lock_guard<std::mutex> guard(g_lastUseIPLock);
    return QByteArray(g_szLastUseIP, int(strnlen(g_szLastUseIP, sizeof(g_szLastUseIP))));
}

void SetLastUseIP(const QByteArray& ip)
{
    std::lock_guard<std::mutex> guard(g_lastUseIPLock);
    CopyText(g_szLastUseIP, ip);
}
