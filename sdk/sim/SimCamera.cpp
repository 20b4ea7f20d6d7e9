#include "SimCamera.h"

#include "Clock.h"
#include "DevCommandCode.h"

#include <cstring>

namespace {

void CopyText(char* to, size_t size, const QString& text)
{
    const QByteArray bytes = text.toLatin1();
    const size_t n = qMin(size_t(bytes.size()), size - 1);
    memcpy(to, bytes.constData(), n);
    to[n] = '\0';
}

QByteArray Attributes(const char* element, const QList<QPair<const char*, QString>>& attributes)
{
    QByteArray out = "<";
    out += element;
    for (const auto& a : attributes) {
        out += "\r\n";
        out += a.first;
        out += "=\"";
        out += a.second.toLatin1();
        out += "\"";
    }
    out += "\r\n/>";
    return out;
}

QString DeviceTime()
{
    const WallTime t = Clock::Now();
    return QString::asprintf("%04d%02d%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour, t.minute, t.second);
}

QByteArray FourGReply(const SimCameraConfig& c)
{
    QList<QPair<const char*, QString>> a = {{"IMEI", "860000000000001"},
                                            {"ModuleSN", "MSN0001"},
                                            {"SoftVersion", "EC200A"},
                                            {"SubVersion", "01"},
                                            {"Err", "0"},
                                            {"ICCID", c.iccid},
                                            {"SignalStrength", "25"},
                                            {"RSRQ", "-10"},
                                            {"RSSI", "-70"},
                                            {"SNR", "12"},
                                            {"Operator", "CHN-CT"},
                                            {"ConnectInternet", "1"}};
    if (c.devType == 6) {
        a += {{"Err2", "0"},          {"ICCID2", c.iccid2}, {"SignalStrength2", "23"}, {"RSRQ2", "-11"},
              {"RSSI2", "-72"},       {"SNR2", "10"},       {"Operator2", "CHN-CM"},   {"ConnectInternet2", "1"}};
    }
    return Attributes("RESPONSE_PARAM", a);
}

}  // namespace

SimCamera::SimCamera(const SimCameraConfig& config)
    : m_config(config),
      m_address(config.address),
      m_netmask(config.netmask),
      m_gateway(config.gateway),
      m_hwCfgMd5(config.hwCfgMd5),
      m_sysCfgMd5(config.sysCfgMd5)
{
}

void SimCamera::SetAddress(const QString& address, const QString& netmask, const QString& gateway)
{
    m_address = address;
    m_netmask = netmask;
    m_gateway = gateway;
}

bool SimCamera::FirstStream()
{
    const bool first = !m_streamed;
    m_streamed = true;
    return first;
}

bool SimCamera::FirstLeaveCommand(int code)
{
    if (code != m_config.leaveOnCommand || m_config.leaveOnCommand <= 0 || m_leaveCommandSeen)
        return false;
    m_leaveCommandSeen = true;
    return true;
}

void SimCamera::FillEntry(IPCEntry* entry) const
{
    memset(entry, 0, sizeof *entry);
    CopyText(entry->ipc_sn, sizeof entry->ipc_sn, m_config.serial);
    CopyText(entry->szDevType, sizeof entry->szDevType, m_config.type);
    entry->nLoginPort = m_config.port;
    entry->nAddressLock = m_config.addressLock;
    CopyText(entry->szIP, sizeof entry->szIP, m_address);
    CopyText(entry->szNetmask, sizeof entry->szNetmask, m_netmask);
    CopyText(entry->szGateway, sizeof entry->szGateway, m_gateway);
    entry->dwCloudIdValid = m_config.cloudIdValid ? IPC_CLOUD_ID_VALID : 0u;
    CopyText(entry->szCloudId, sizeof entry->szCloudId, m_config.cloudId);
}

bool SimCamera::ReplyFor(int code, SimReply* reply, const QByteArray& builtIn)
{
    if (m_config.faults.noReply.contains(code))
        return false;
    SimReply r;
    const auto scripted = m_config.replies.constFind(code);
    if (scripted != m_config.replies.constEnd() && !scripted->isEmpty()) {
        int& used = m_replyUses[code];
        r = scripted->at(qMin(used, scripted->size() - 1));
        if (used < scripted->size())
            ++used;
    }
    if (r.text.isNull())
        r.text = builtIn.isNull() ? BuiltInReply(code) : builtIn;
    if (m_config.faults.wrongValue.contains(code))
        r.text = m_config.faults.wrongValue.value(code);
    if (r.delayMs < 0)
        r.delayMs = m_config.replyDelayMs;
    *reply = r;
    return true;
}

void SimCamera::SetReplies(int code, const QVector<SimReply>& replies)
{
    m_config.replies.insert(code, replies);
    m_replyUses.remove(code);
}

bool SimCamera::CredentialsMatch(const QString& user, const QString& password) const
{
    return user == m_config.user && password == m_config.password;
}

void SimCamera::AddCommand(const SimCommand& command)
{
    AppendBounded(m_commands, command);
}

void SimCamera::AddUpload(const SimUpload& upload)
{
    AppendBounded(m_uploads, upload);
    if (upload.kind == QLatin1String("package")) {
        if (!m_config.uploadedHwCfgMd5.isEmpty())
            m_hwCfgMd5 = m_config.uploadedHwCfgMd5;
        if (!m_config.uploadedSysCfgMd5.isEmpty())
            m_sysCfgMd5 = m_config.uploadedSysCfgMd5;
    }
}

void SimCamera::AddTalkFrame(const SimTalkFrame& frame)
{
    AppendBounded(m_talkLog, frame);
    ++m_talkFrames;
    m_talkBytes += frame.length;
}

void SimCamera::AddPtz(const QByteArray& xml)
{
    AppendBounded(m_ptz, xml);
}

QByteArray SimCamera::BuiltInReply(int code) const
{
    switch (code) {
    case CMD_GET_SYS_VERSION:
        return Attributes("RESPONSE_PARAM", {{"KernelVersion", "3.10.14"},
                                             {"FileSystemVersion", "V5.2.0.20261120"},
                                             {"DeviceIdentify", "VT-IPC-A1"},
                                             {"FileSystemIdentify", "VT-FS-A1"},
                                             {"HardVersion", ""}});
    case CMD_GET_IPC_SERIALNUMBER:
        return Attributes("RESPONSE_PARAM", {{"SerialNumber", m_config.serial}});
    case CMD_GET_CAPABILITY:
        return Attributes("RESPONSE_PARAM", {{"Capability", "1"}});
    case CMD_GET_DEV_TYPE:
        return Attributes("RESPONSE_PARAM", {{"IPC_Type", m_config.type},
                                             {"DevMType", QString::number(m_config.devMType)},
                                             {"DevType", QString::number(m_config.devType)},
                                             {"SDKType", QString::number(m_config.sdkType)},
                                             {"Feature", QString::number(m_config.feature)}});
    case CMD_GET_TF_CARD_INFO:
        return Attributes("RESPONSE_PARAM", {{"SDCardState", "0"}, {"CardInfo", "32"}, {"SDCardRemainSpace", "30"}});
    case CMD_FORMAT_SD_CARD:
        return Attributes("RESPONSE_PARAM", {{"Result", "0"}});
    case CMD_HARDWARE_CONFIG_GET:
        return Attributes("RESPONSE_PARAM", {{"LightMode", "0"}});
    case CMD_GET_RTC:
        return Attributes("REQUEST_PARAM", {{"Time", DeviceTime()}});
    case CMD_IOT_CAMERA_GET_CONFIG_FILE_CHECK_NUM:
        return Attributes("REQUEST_PARAM", {{"HW_CFG_MD5", m_hwCfgMd5}, {"SYS_CFG_MD5", m_sysCfgMd5}});
    case CMD_GET_WIFI_SIGNAL:
        return Attributes("RESPONSE_PARAM", {{"SignalLevel", "-45"}, {"Quality", "80"}});
    case CMD_GET_4G_INFO:
        return FourGReply(m_config);
    case CMD_FUNCTION_CODE_CHECK:
        return Attributes("RESPONSE_PARAM", {{"FuncCode", ""}, {"RetCode", "0"}, {"SupportFuncCode", ""}});
    case CMD_GET_AUTHORIZE_CODE_INFO:
        return Attributes("RESPONSE_PARAM",
                          {{"AutorizationStatus", "1"}, {"UUID", m_config.authUuid}, {"Key", m_config.authKey}});
    default:
        return Attributes("RESPONSE_PARAM", {});
    }
}
