#include "SimProfile.h"

#include "SynthVideoCodec.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

class Reader {
public:
    explicit Reader(QString* error) : m_error(error) {}

    bool Fail(const QString& what)
    {
        if (m_error && m_error->isEmpty())
            *m_error = what;
        return false;
    }

    bool Text(const QJsonObject& o, const char* key, int maxLength, QString* out, const QString& where)
    {
        const QJsonValue v = o.value(QLatin1String(key));
        if (v.isUndefined())
            return true;
        if (!v.isString())
            return Fail(where + "." + key + ": not a text");
        const QString s = v.toString();
        if (s.toLatin1().size() > maxLength)
            return Fail(where + "." + key + ": longer than " + QString::number(maxLength));
        *out = s;
        return true;
    }

    bool Address(const QJsonObject& o, const char* key, QString* out, const QString& where)
    {
        QString s = *out;
        if (!Text(o, key, 15, &s, where))
            return false;
        if (s.isEmpty() && out->isEmpty())
            return true;
        if (!SimProfile::IsPlainIpv4(s))
            return Fail(where + "." + key + ": not a plain dotted IPv4 address");
        *out = s;
        return true;
    }

    bool Int(const QJsonObject& o, const char* key, int low, int high, int* out, const QString& where)
    {
        const QJsonValue v = o.value(QLatin1String(key));
        if (v.isUndefined())
            return true;
        const double d = v.toDouble(-1e300);
        // Range first: converting a huge value such as 1e300 to an integer is undefined.
        if (!v.isDouble() || d < low || d > high || d != double(qint64(d)))
            return Fail(QStringLiteral("%1.%2: not a whole number in %3..%4").arg(where, key).arg(low).arg(high));
        *out = int(d);
        return true;
    }

    bool Int64(const QJsonObject& o, const char* key, qint64 high, qint64* out, const QString& where)
    {
        const QJsonValue v = o.value(QLatin1String(key));
        if (v.isUndefined())
            return true;
        const double d = v.toDouble(-1);
        if (!v.isDouble() || d < 0 || d > double(high) || d != double(qint64(d)))
            return Fail(QStringLiteral("%1.%2: not a whole number in 0..%3").arg(where, key).arg(high));
        *out = qint64(d);
        return true;
    }

    bool Bool(const QJsonObject& o, const char* key, bool* out, const QString& where)
    {
        const QJsonValue v = o.value(QLatin1String(key));
        if (v.isUndefined())
            return true;
        if (!v.isBool())
            return Fail(where + "." + key + ": not true or false");
        *out = v.toBool();
        return true;
    }

    bool Command(const QString& key, int* out, const QString& where)
    {
        bool ok = false;
        const int code = key.toInt(&ok);
        if (!ok || code < 0 || code > 0xFFFFFF)
            return Fail(where + ": \"" + key + "\" is not a command number");
        *out = code;
        return true;
    }

    bool CommandList(const QJsonObject& o, const char* key, QSet<int>* out, const QString& where)
    {
        const QJsonValue v = o.value(QLatin1String(key));
        if (v.isUndefined())
            return true;
        if (!v.isArray())
            return Fail(where + "." + key + ": not a list");
        for (const QJsonValue& c : v.toArray()) {
            if (!c.isDouble() || c.toDouble() < 0 || c.toDouble() > 0xFFFFFF || c.toDouble() != double(c.toInt()))
                return Fail(where + "." + key + ": not a command number");
            out->insert(c.toInt());
        }
        return true;
    }

private:
    QString* m_error;
};

bool ParseMac(const QString& text, QByteArray* out)
{
    const QStringList parts = text.split(':');
    if (parts.size() != 6)
        return false;
    QByteArray mac;
    for (const QString& p : parts) {
        bool ok = false;
        const int v = p.toInt(&ok, 16);
        if (!ok || p.size() != 2 || v < 0 || v > 255)
            return false;
        mac.append(char(v));
    }
    *out = mac;
    return true;
}

bool ParseAdapter(Reader& r, const QJsonObject& o, SimProfile* out)
{
    HostAdapter& a = out->adapter;
    a.name = QStringLiteral("Simulated LAN");
    if (!r.Text(o, "name", 127, &a.name, "adapter") || !r.Address(o, "address", &a.address, "adapter") ||
        !r.Address(o, "netmask", &a.netmask, "adapter"))
        return false;
    if (a.address.isEmpty() || a.netmask.isEmpty())
        return r.Fail("adapter: address and netmask are required");
    // The station opens sockets on this address (the throughput server): loopback only.
    if (!a.address.startsWith(QLatin1String("127.")))
        return r.Fail("adapter.address: must lie in 127.0.0.0/8");
    QString mac = QStringLiteral("02:00:00:00:00:01");
    if (!r.Text(o, "mac", 17, &mac, "adapter") || !ParseMac(mac, &a.mac))
        return r.Fail("adapter.mac: not six hexadecimal pairs");
    out->hasAdapter = true;
    return true;
}

bool ParseMedia(Reader& r, const QJsonObject& o, SimMedia* m, const QString& where)
{
    if (!r.Bool(o, "video", &m->video, where) || !r.Int(o, "width", 8, 4096, &m->width, where) ||
        !r.Int(o, "height", 8, 4096, &m->height, where) || !r.Int(o, "fps", 1, 60, &m->fps, where) ||
        !r.Bool(o, "audio", &m->audio, where) || !r.Int(o, "sampleRate", 4000, 48000, &m->sampleRate, where) ||
        !r.Int(o, "bits", 8, 16, &m->bits, where) || !r.Int(o, "channels", 1, 2, &m->channels, where) ||
        !r.Int(o, "toneHz", 1, 20000, &m->toneHz, where))
        return false;
    if (!SynthVideoCodec::ValidSize(m->width, m->height))
        return r.Fail(where + ": width and height must be multiples of 8");
    if (m->bits != 8 && m->bits != 16)
        return r.Fail(where + ".bits: 8 or 16");
    if (m->toneHz * 2 > m->sampleRate)
        return r.Fail(where + ".toneHz: above half the sample rate");
    return true;
}

bool ParseReply(Reader& r, const QJsonValue& value, SimReply* reply, const QString& at)
{
    if (!value.isObject())
        return r.Fail(at + ": not an object");
    const QJsonObject ro = value.toObject();
    QString text;
    if (!r.Text(ro, "text", 65535, &text, at) || !r.Int(ro, "status", -128, 255, &reply->status, at) ||
        !r.Int(ro, "delayMs", 0, 60000, &reply->delayMs, at))
        return false;
    // A reply without a text keeps the built-in one (a null text); "" is an empty reply.
    if (ro.contains(QLatin1String("text")))
        reply->text = text.isEmpty() ? QByteArray("") : text.toLatin1();
    return true;
}

bool ParseReplies(Reader& r, const QJsonObject& o, SimCameraConfig* c, const QString& where)
{
    constexpr int kMaxListed = 1000;
    for (auto it = o.begin(); it != o.end(); ++it) {
        int code = 0;
        if (!r.Command(it.key(), &code, where))
            return false;
        const QString at = where + "." + it.key();
        SimReplyList list;
        if (it.value().isArray()) {
            const QJsonArray items = it.value().toArray();
            if (items.isEmpty() || items.size() > kMaxListed)
                return r.Fail(at + QStringLiteral(": a list of 1..%1 replies").arg(kMaxListed));
            for (int i = 0; i < items.size(); ++i) {
                SimReply reply;
                if (!ParseReply(r, items.at(i), &reply, at + QStringLiteral("[%1]").arg(i)))
                    return false;
                list.push_back(reply);
            }
        } else {
            SimReply reply;
            if (!ParseReply(r, it.value(), &reply, at))
                return false;
            list.push_back(reply);
        }
        c->replies.insert(code, list);
    }
    return true;
}

bool ParseFaults(Reader& r, const QJsonObject& o, SimFaults* f, const QString& where)
{
    if (!r.CommandList(o, "noReply", &f->noReply, where) || !r.CommandList(o, "sendFails", &f->sendFails, where))
        return false;
    const QJsonValue wrong = o.value(QLatin1String("wrongValue"));
    if (!wrong.isUndefined()) {
        if (!wrong.isObject())
            return r.Fail(where + ".wrongValue: not an object");
        const QJsonObject w = wrong.toObject();
        for (auto it = w.begin(); it != w.end(); ++it) {
            int code = 0;
            if (!r.Command(it.key(), &code, where + ".wrongValue"))
                return false;
            if (!it.value().isString())
                return r.Fail(where + ".wrongValue." + it.key() + ": not a text");
            f->wrongValue.insert(code, it.value().toString().toLatin1());
        }
    }
    return r.Bool(o, "refuseLogin", &f->refuseLogin, where) &&
           r.Int(o, "lostConnectionAfterMs", 0, 3600000, &f->lostConnectionAfterMs, where) &&
           r.Int(o, "dropStreamAfterMs", 0, 3600000, &f->dropStreamAfterMs, where) &&
           r.Bool(o, "refuseTalk", &f->refuseTalk, where);
}

// An object member that must be an object when present.
bool Member(Reader& r, const QJsonObject& o, const char* key, QJsonObject* out, const QString& where)
{
    const QJsonValue v = o.value(QLatin1String(key));
    if (v.isUndefined())
        return true;
    if (!v.isObject())
        return r.Fail(where + "." + key + ": not an object");
    *out = v.toObject();
    return true;
}

bool ParseIdentity(Reader& r, const QJsonObject& o, SimCameraConfig* c, const QString& where)
{
    return r.Text(o, "type", 63, &c->type, where) && r.Address(o, "address", &c->address, where) &&
           r.Address(o, "netmask", &c->netmask, where) && r.Address(o, "gateway", &c->gateway, where) &&
           r.Int(o, "port", 1, 65535, &c->port, where) && r.Int(o, "addressLock", 0, 1, &c->addressLock, where) &&
           r.Text(o, "cloudId", 63, &c->cloudId, where) && r.Bool(o, "cloudIdValid", &c->cloudIdValid, where) &&
           r.Text(o, "user", 63, &c->user, where) && r.Text(o, "password", 63, &c->password, where) &&
           r.Int(o, "devMType", 0, 1000000, &c->devMType, where) && r.Int(o, "devType", 0, 1000000, &c->devType, where) &&
           r.Int(o, "sdkType", 0, 1000000, &c->sdkType, where) &&
           r.Int64(o, "feature", qint64(1) << 53, &c->feature, where) &&
           r.Text(o, "authUuid", 63, &c->authUuid, where) && r.Text(o, "authKey", 63, &c->authKey, where) &&
           r.Text(o, "iccid", 31, &c->iccid, where) && r.Text(o, "iccid2", 31, &c->iccid2, where);
}

bool ParseBehaviour(Reader& r, const QJsonObject& o, SimCameraConfig* c, const QString& where)
{
    return r.Text(o, "hwCfgMd5", 63, &c->hwCfgMd5, where) && r.Text(o, "sysCfgMd5", 63, &c->sysCfgMd5, where) &&
           r.Text(o, "uploadedHwCfgMd5", 63, &c->uploadedHwCfgMd5, where) &&
           r.Text(o, "uploadedSysCfgMd5", 63, &c->uploadedSysCfgMd5, where) &&
           r.Int(o, "restartAfterUploadMs", 0, 600000, &c->restartAfterUploadMs, where) &&
           r.Int(o, "searchDelayMs", 0, 60000, &c->searchDelayMs, where) &&
           r.Int(o, "loginDelayMs", 0, 60000, &c->loginDelayMs, where) &&
           r.Int(o, "replyDelayMs", 0, 60000, &c->replyDelayMs, where) &&
           r.Int(o, "linkLossDelayMs", 0, 600000, &c->linkLossDelayMs, where) &&
           r.Bool(o, "headerBeforeReturn", &c->headerBeforeReturn, where) &&
           r.Int(o, "leaveAfterStreamMs", 0, 3600000, &c->leaveAfterStreamMs, where) &&
           r.Int(o, "leaveOnCommand", 0, 0xFFFFFF, &c->leaveOnCommand, where) &&
           r.Int(o, "leaveAfterCommandMs", 0, 3600000, &c->leaveAfterCommandMs, where);
}

// A camera, or with lineTemplate a line's template (no serial, no join delay).
bool ParseCamera(Reader& r, const QJsonObject& o, const QString& where, bool lineTemplate, SimCameraConfig* c)
{
    if (lineTemplate) {
        if (o.contains(QLatin1String("serial")) || o.contains(QLatin1String("joinAfterMs")))
            return r.Fail(where + ": a line sets serial and joinAfterMs itself");
        c->address = QLatin1String(SimProfile::kFactoryAddress);
    } else if (!r.Text(o, "serial", 31, &c->serial, where) ||
               !r.Int(o, "joinAfterMs", 0, 3600000, &c->joinAfterMs, where)) {
        return false;
    }
    if (!ParseIdentity(r, o, c, where) || !ParseBehaviour(r, o, c, where))
        return false;
    if ((!lineTemplate && c->serial.isEmpty()) || c->address.isEmpty())
        return r.Fail(where + ": serial and address are required");
    if (c->gateway.isEmpty())
        c->gateway = c->address.section('.', 0, 2) + ".1";
    QJsonObject media, talk, replies, faults;
    return Member(r, o, "media", &media, where) && Member(r, o, "talk", &talk, where) &&
           Member(r, o, "replies", &replies, where) && Member(r, o, "faults", &faults, where) &&
           ParseMedia(r, media, &c->media, where + ".media") &&
           r.Int(talk, "audioType", 0, 255, &c->talk.audioType, where + ".talk") &&
           r.Int(talk, "sampleRate", 4000, 48000, &c->talk.sampleRate, where + ".talk") &&
           r.Int(talk, "bits", 8, 16, &c->talk.bits, where + ".talk") &&
           r.Int(talk, "channels", 1, 2, &c->talk.channels, where + ".talk") &&
           ParseReplies(r, replies, c, where + ".replies") && ParseFaults(r, faults, &c->faults, where + ".faults");
}

bool ParseLine(Reader& r, const QJsonObject& o, SimLine* line)
{
    const QString where = QStringLiteral("line");
    QJsonObject camera;
    if (!r.Int(o, "count", 1, 1000000, &line->count, where) || !r.Int(o, "slots", 1, 64, &line->slotCount, where) ||
        !r.Int(o, "joinAfterMs", 0, 3600000, &line->joinAfterMs, where) ||
        !r.Text(o, "serialPrefix", 15, &line->serialPrefix, where) ||
        !r.Int(o, "firstNumber", 0, 999999999, &line->firstNumber, where) ||
        !Member(r, o, "camera", &camera, where))
        return false;
    if (!o.contains(QLatin1String("count")))
        return r.Fail("line.count: required");
    if (line->serialPrefix.isEmpty())
        return r.Fail("line.serialPrefix: empty");
    const int digits = 16 - line->serialPrefix.size();
    const QString last = QString::number(qint64(line->firstNumber) + line->count - 1);
    if (last.size() > digits)
        return r.Fail(QStringLiteral("line.count: numbers up to %1 do not fit %2 digits").arg(last).arg(digits));
    if (!ParseCamera(r, camera, "line.camera", true, &line->camera))
        return false;
    if (line->camera.leaveAfterStreamMs == 0 && line->camera.leaveOnCommand == 0)
        return r.Fail("line.camera: leaveAfterStreamMs or leaveOnCommand is required");
    return true;
}

}  // namespace

bool SimProfile::Parse(const QByteArray& json, SimProfile* out, QString* error)
{
    if (error)
        error->clear();
    Reader r(error);
    QJsonParseError pe;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &pe);
    if (doc.isNull() || !doc.isObject())
        return r.Fail("not a JSON object: " + pe.errorString());
    SimProfile p;
    const QJsonObject root = doc.object();
    QJsonObject adapter, line;
    if (!Member(r, root, "adapter", &adapter, "profile") || !Member(r, root, "line", &line, "profile"))
        return false;
    if (root.contains(QLatin1String("adapter")) && !ParseAdapter(r, adapter, &p))
        return false;
    const QJsonValue camsValue = root.value(QLatin1String("cameras"));
    if (!camsValue.isUndefined() && !camsValue.isArray())
        return r.Fail("cameras: not a list");
    const QJsonArray cams = camsValue.toArray();
    QMap<QString, int> serials;   // cameras per serial so far
    for (int i = 0; i < cams.size(); ++i) {
        const QString where = QStringLiteral("cameras[%1]").arg(i);
        if (!cams.at(i).isObject())
            return r.Fail(where + ": not an object");
        SimCameraConfig c;
        if (!ParseCamera(r, cams.at(i).toObject(), where, false, &c))
            return false;
        const int count = ++serials[c.serial];
        if (count > 1)
            c.name = c.serial + QStringLiteral("#%1").arg(count);
        p.cameras.push_back(c);
    }
    if (root.contains(QLatin1String("line"))) {
        if (!ParseLine(r, line, &p.line))
            return false;
        for (const QString& serial : serials.keys()) {
            if (p.line.Holds(serial))
                return r.Fail("line: serial " + serial + " of a camera is also one of the line's");
        }
    }
    *out = p;
    return true;
}

bool SimProfile::Load(const QString& path, SimProfile* out, QString* error)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        if (error)
            *error = "cannot open " + path;
        return false;
    }
    const QByteArray bytes = f.read(4 * 1024 * 1024 + 1);
    if (bytes.size() > 4 * 1024 * 1024) {
        if (error)
            *error = path + " is larger than 4 MiB";
        return false;
    }
    return Parse(bytes, out, error);
}

bool SimProfile::IsPlainIpv4(const QString& text)
{
    const QStringList parts = text.split('.');
    if (parts.size() != 4)
        return false;
    for (const QString& p : parts) {
        if (p.isEmpty() || p.size() > 3 || (p.size() > 1 && p.at(0) == '0'))
            return false;
        for (const QChar ch : p) {
            if (ch < '0' || ch > '9')
                return false;
        }
        if (p.toInt() > 255)
            return false;
    }
    return true;
}

bool SimLine::Holds(const QString& serial) const
{
    if (count <= 0 || serial.size() != 16 || !serial.startsWith(serialPrefix))
        return false;
    bool ok = false;
    const qint64 number = serial.mid(serialPrefix.size()).toLongLong(&ok);
    return ok && number >= firstNumber && number < qint64(firstNumber) + count;
}

QString SimLine::SerialAt(int index) const
{
    const QString number = QString::number(qint64(firstNumber) + index);
    return serialPrefix + number.rightJustified(16 - serialPrefix.size(), '0');
}
