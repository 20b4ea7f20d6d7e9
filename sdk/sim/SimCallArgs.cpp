#include "SimCallArgs.h"

#include <QHostAddress>

#include <cstring>

namespace SimCallArgs {

QString BoundedText(const char* text, size_t size)
{
    return QString::fromLatin1(text, int(strnlen(text, size)));
}

bool IsLoopbackIpv4(const QString& text)
{
    QHostAddress a;
    return text.count('.') == 3 && a.setAddress(text) && a.protocol() == QAbstractSocket::IPv4Protocol &&
           a.isLoopback();
}

}  // namespace SimCallArgs
