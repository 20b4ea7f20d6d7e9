#include "TestIpRange.h"

#include <QStringList>

namespace {

constexpr int kParts = 4;
constexpr int kPartMax = 255;

bool IsAddressPart(const QString& part)
{
    if (part.isEmpty() || part.size() > 3 || (part.size() > 1 && part.startsWith('0')))
        return false;
    for (const QChar c : part) {
        if (c.unicode() < u'0' || c.unicode() > u'9')
            return false;
    }
    return part.toInt() <= kPartMax;
}

// The address up to its last "." (the part both ends must share).
QString Prefix(const QString& address)
{
    return address.left(address.lastIndexOf('.'));
}

int LastPart(const QString& address)
{
    return address.mid(address.lastIndexOf('.') + 1).toInt();
}

}  // namespace

bool TestIpRange::IsDottedIpv4(const QString& text)
{
    const QStringList parts = text.split('.');
    if (parts.size() != kParts)
        return false;
    for (const QString& part : parts) {
        if (!IsAddressPart(part))
            return false;
    }
    return true;
}

QString TestIpRange::Problem(const QString& start, const QString& end)
{
    if (!IsDottedIpv4(start))
        return tr("start ip is not an IPv4 address like 192.168.1.100");
    if (!IsDottedIpv4(end))
        return tr("end ip is not an IPv4 address like 192.168.1.200");
    if (Prefix(start) != Prefix(end))
        return tr("start ip and end ip must differ only in the last number");
    if (LastPart(start) > LastPart(end))
        return tr("start ip must not be above end ip");
    return QString();
}
