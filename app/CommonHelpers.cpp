#include "CommonHelpers.h"

#include "HostAdapters.h"
#include "Md5.h"

#include <QCoreApplication>

#include <cstring>

int GetLocalIp(char* slotBuffer, int maxCount)
{
    if (!slotBuffer || maxCount <= 0)
        return 0;
    int written = 0;
    for (const HostAdapter& adapter : HostAdapters::List()) {
        if (written >= maxCount)
            break;
        const QByteArray text = adapter.address.toLatin1();
        if (text.isEmpty() || text.size() >= LOCAL_IP_SLOT)
            continue;
        char* slot = slotBuffer + written * LOCAL_IP_SLOT;
        std::memset(slot, 0, LOCAL_IP_SLOT);
        std::memcpy(slot, text.constData(), size_t(text.size()));
        ++written;
    }
    return written;
}

QString GetSocketErrorMessage(int code)
{
    const char* text = nullptr;
    switch (code) {
    case 1: text = QT_TRANSLATE_NOOP("QObject", "Domain name resolution failed"); break;
    case 2: text = QT_TRANSLATE_NOOP("QObject", "socket initialization failed"); break;
    case 3: text = QT_TRANSLATE_NOOP("QObject", "socket creation failed"); break;
    case 4: text = QT_TRANSLATE_NOOP("QObject", "Socket failed to set receive buffer"); break;
    case 5: text = QT_TRANSLATE_NOOP("QObject", "socket connection timeout"); break;
    case 6: text = QT_TRANSLATE_NOOP("QObject", "Socket sending failed"); break;
    case 7: text = QT_TRANSLATE_NOOP("QObject", "socket receiving timeout"); break;
    case 8: text = QT_TRANSLATE_NOOP("QObject", "socket receiving failed"); break;
    case 11: text = QT_TRANSLATE_NOOP("QObject", "Receive cache is invalid"); break;
    case 100: text = QT_TRANSLATE_NOOP("QObject", "Server error, please contact server administrator"); break;
    case -98: text = QT_TRANSLATE_NOOP("QObject", "The length of the received data is 0"); break;
    case -1: text = QT_TRANSLATE_NOOP("QObject", "Unknown reason error"); break;
    default: return QString();
    }
    return QCoreApplication::translate("QObject", text);
}

void GetTextMd5(const char* text, char* out)
{
    if (!out)
        return;
    if (!text)
        text = "";
    Md5UpperHex(reinterpret_cast<const unsigned char*>(text), std::strlen(text), out);
}
