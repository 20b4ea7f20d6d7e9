#pragma once

#include <QByteArray>
#include <QList>

// Simulated LAN profiles of the station tests: the station's adapter
// 127.0.0.5/24 and the cameras given.

// A camera; extra: more JSON members, with a leading comma. Cameras answer a
// search in the order of their search delays.
inline QByteArray Camera(const char* serial, const char* address, const QByteArray& extra = QByteArray(),
                         int searchDelayMs = 5)
{
    return QByteArray("{\"serial\": \"") + serial + "\", \"address\": \"" + address +
           "\", \"searchDelayMs\": " + QByteArray::number(searchDelayMs) +
           ", \"loginDelayMs\": 20, \"replyDelayMs\": 10" + extra + "}";
}

inline QByteArray Profile(const QList<QByteArray>& cameras)
{
    QByteArray json = "{\"adapter\": {\"address\": \"127.0.0.5\", \"netmask\": \"255.255.255.0\", "
                      "\"mac\": \"02:00:00:00:00:05\"}, \"cameras\": [";
    for (int i = 0; i < cameras.size(); ++i)
        json += (i ? ", " : "") + cameras[i];
    return json + "]}";
}
