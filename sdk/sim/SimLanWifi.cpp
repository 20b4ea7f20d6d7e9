// A camera's Wi-Fi commands: the network it is told to join, and the
// throughput test it runs against the station's server.
#include "SimLan.h"

#include "Log.h"
#include "SimCallArgs.h"

#include <QHostAddress>
#include <QXmlStreamReader>

namespace {

// The attributes of a request body as a camera's XML parser reads them: UTF-8,
// entities decoded. A body that is not one well-formed element yields none.
QMap<QString, QString> BodyAttributes(const QByteArray& body)
{
    QMap<QString, QString> out;
    QXmlStreamReader reader(body);
    while (!reader.atEnd() && reader.readNext() != QXmlStreamReader::StartElement) {
    }
    if (reader.tokenType() != QXmlStreamReader::StartElement)
        return out;
    for (const QXmlStreamAttribute& a : reader.attributes())
        out.insert(a.name().toString(), a.value().toString());
    while (!reader.atEnd())
        reader.readNext();
    if (reader.hasError()) {
        LogPrint(LOG_GENERAL, "SimLan: a request body that is no well-formed element, ignored: %s",
                 reader.errorString().toUtf8().constData());
        out.clear();
    }
    return out;
}

}  // namespace

void SimLan::JoinWifi(const QString& name, const QByteArray& body)
{
    const QMap<QString, QString> a = BodyAttributes(body);
    std::lock_guard<std::mutex> guard(m_lock);
    if (SimCamera* cam = CameraByName(name))
        cam->SetWifiNetwork(SimWifiNetwork{a.value(QStringLiteral("ESSID")), a.value(QStringLiteral("PSK"))});
}

void SimLan::StartThroughput(const QString& name, const QString& serial, const QString& cameraAddress,
                             const QByteArray& body)
{
    const QMap<QString, QString> a = BodyAttributes(body);
    SimThroughputRequest request;
    request.serial = serial;
    // A camera off loopback sends from wherever the host routes it.
    request.cameraAddress = SimCallArgs::IsLoopbackIpv4(cameraAddress) ? cameraAddress : QString();
    request.address = a.value(QStringLiteral("IP"));
    request.port = a.value(QStringLiteral("Port")).toInt();
    request.durationSec = a.value(QStringLiteral("Duration")).toInt();
    request.maxThroughput = a.value(QStringLiteral("MaxThroughput")).toInt();
    request.ssid = a.value(QStringLiteral("SSID"));
    request.password = a.value(QStringLiteral("Password"));
    const QHostAddress target(request.address);
    if (!SimCallArgs::IsLoopbackIpv4(request.address) || request.port < 1 || request.port > 65535 ||
        request.durationSec < 0 || request.durationSec > 3600) {
        // Simulated cameras only ever reach the station on loopback.
        LogPrint(LOG_GENERAL, "SimLan::StartThroughput() refused, SN=%s, IP=%s, Port=%d, Duration=%d",
                 qPrintable(serial), qPrintable(request.address), request.port, request.durationSec);
        return;
    }
    request.address = target.toString();   // the form that was checked, whatever parses it next
    m_throughput.Start(name, request);
}
