#include "SimServer.h"

#include "SimShared.h"

#include <QFile>
#include <QPointer>
#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QUrl>

namespace {

const char kPrefix[] = "/api/whole/machine/";

std::string QueryValue(const std::string& query, const std::string& key)
{
    size_t from = 0;
    while (from <= query.size()) {
        size_t amp = query.find('&', from);
        if (amp == std::string::npos)
            amp = query.size();
        const std::string pair = query.substr(from, amp - from);
        const size_t eq = pair.find('=');
        if (eq != std::string::npos && pair.compare(0, eq, key) == 0 && eq == key.size()) {
            QByteArray v = QByteArray::fromStdString(pair.substr(eq + 1)).replace('+', ' ');
            return QByteArray::fromPercentEncoding(v).toStdString();
        }
        from = amp + 1;
    }
    return std::string();
}

std::string JsonText(const std::string& s)
{
    std::string out = "\"";
    for (unsigned char c : s) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += char(c);
        } else if (c < 0x20) {
            char buf[8];
            snprintf(buf, sizeof(buf), "\\u%04x", c);
            out += buf;
        } else {
            out += char(c);
        }
    }
    return out + "\"";
}

QByteArray StatusText(int status)
{
    switch (status) {
    case 200: return "200 OK";
    case 404: return "404 Not Found";
    case 500: return "500 Internal Server Error";
    case 503: return "503 Service Unavailable";
    default: return QByteArray::number(status) + " Error";
    }
}

QByteArray Reply(int status, const QByteArray& body, const QByteArray& cookie)
{
    QByteArray r = "HTTP/1.1 " + StatusText(status) + "\r\n";
    r += "Server: backend-sim\r\n";
    r += "Content-Type: application/json;charset=UTF-8\r\n";
    if (!cookie.isEmpty())
        r += "Set-Cookie: " + cookie + "\r\n";
    r += "Content-Length: " + QByteArray::number(body.size()) + "\r\n";
    r += "Connection: close\r\n\r\n";
    return r + body;
}

// The work-order test configuration the fixture order's model gets.
const char kTestConfig[] =
    "{\"name\":\"VC-200 standard\",\"test_dev_type\":0,\"upload_config_file\":1,\"upload_audio_alarm_file\":1,"
    "\"lock_param\":0,\"auto_test_mode\":1,\"ma_item_display\":\"0,1,2,3\",\"wifi_test_time\":10,"
    "\"wifi_average_speed\":20,\"wifi_signal_Level\":60,\"wifi_signal_quality\":\"0.35\",\"test_pattern\":0,"
    "\"signal_4g\":0,\"quality_4g\":\"0\",\"soft_version_4g\":\"\",\"is_version_check\":1,"
    "\"config_version\":\"V2.1.0\",\"is_prompted_mismatch\":1,\"full_osd_show_info\":\"\","
    "\"auto_test_info\":\"1,2,3,4\",\"check_func_code\":\"1,2\",\"is_lamp_plate_type_check\":0,"
    "\"check_lamp_plate_type\":0,\"is_auto_print_qrcode\":1,\"is_auto_check_qrcode\":1,"
    "\"is_manual_auto_test\":1,\"ma_config_name\":\"basic\","
    "\"ma_config_data\":[{\"id\":0,\"name\":\"MANUAL_TRUMPET\",\"time\":\"5\"},"
    "{\"id\":4,\"name\":\"MANUAL_IRCUT_DAY\",\"time\":3}],"
    "\"upload_test_result_display\":\"0,1\","
    "\"customize_test_items\":[{\"id\":1,\"name\":\"Sticker\",\"mark\":\"sticker\"}]}";

// "iccid_info" of a device/info/query reply for the ICCIDs of the query
// ("A" or "A,B"): every card a VRL card, in service, not locked.
std::string IccidInfo(const std::string& iccidQuery, BackendSimulator::IccidInfoForm form)
{
    const size_t comma = iccidQuery.find(',');
    if (comma == std::string::npos)
        return "[{\"iccid\":" + JsonText(iccidQuery) + ",\"is_vrl\":1},{\"iccid\":\"\",\"is_vrl\":0}]";
    const std::string cards[2] = {iccidQuery.substr(0, comma), iccidQuery.substr(comma + 1)};
    const std::string state = "\"is_vrl\":1,\"card_status\":1,\"is_locked\":0";
    if (form == BackendSimulator::IccidInfoForm::Array) {
        return "[{\"iccid\":" + JsonText(cards[0]) + "," + state + "},{\"iccid\":" + JsonText(cards[1]) + "," + state +
               "}]";
    }
    return "{" + JsonText(cards[0]) + ":{" + state + "}," + JsonText(cards[1]) + ":{" + state + "}}";
}

}  // namespace

SimServer::SimServer(std::shared_ptr<BackendSimulator::Shared> shared)
    : m_shared(std::move(shared))
{
}

SimServer::~SimServer()
{
    Close();
}

bool SimServer::Listen(uint16_t port)
{
    if (!m_server) {
        m_server = new QTcpServer(this);
        QObject::connect(m_server, &QTcpServer::newConnection, this, [this] { OnNewConnection(); });
    }
    if (m_server->isListening())
        return true;
    if (!m_server->listen(QHostAddress(QHostAddress::LocalHost), port))
        return false;
    m_port = m_server->serverPort();
    return true;
}

void SimServer::Close()
{
    if (m_server)
        m_server->close();
}

void SimServer::OnNewConnection()
{
    while (QTcpSocket* s = m_server->nextPendingConnection()) {
        s->setParent(this);
        m_pending.insert(s, QByteArray());
        QObject::connect(s, &QTcpSocket::readyRead, this, [this, s] { OnReadyRead(s); });
        QObject::connect(s, &QTcpSocket::disconnected, this, [this, s] {
            m_pending.remove(s);
            s->deleteLater();
        });
    }
}

void SimServer::OnReadyRead(QTcpSocket* socket)
{
    auto it = m_pending.find(socket);
    if (it == m_pending.end()) {
        socket->readAll();   // already answered (or never will be)
        return;
    }
    it.value() += socket->readAll();
    const QByteArray& data = it.value();
    const int headEnd = data.indexOf("\r\n\r\n");
    if (headEnd < 0)
        return;
    BackendSimulator::Request req;
    req.head = data.left(headEnd + 2).toStdString();
    int bodyLength = 0;
    const int cl = data.indexOf("Content-Length:");
    if (cl >= 0 && cl < headEnd)
        bodyLength = data.mid(cl + 15, data.indexOf("\r\n", cl) - cl - 15).trimmed().toInt();
    if (data.size() < headEnd + 4 + bodyLength)
        return;
    req.body = data.mid(headEnd + 4, bodyLength).toStdString();
    req.requestLine = req.head.substr(0, req.head.find("\r\n"));
    const size_t sp1 = req.requestLine.find(' ');
    const size_t sp2 = req.requestLine.rfind(' ');
    req.method = req.requestLine.substr(0, sp1);
    req.target = sp1 < sp2 ? req.requestLine.substr(sp1 + 1, sp2 - sp1 - 1) : std::string();
    // An absolute-form target ("http://host/path") names the same path.
    std::string local = req.target;
    const size_t scheme = local.find("://");
    if (scheme != std::string::npos && scheme < local.find('/')) {
        const size_t slash = local.find('/', scheme + 3);
        local = slash == std::string::npos ? "/" : local.substr(slash);
    }
    const size_t q = local.find('?');
    const std::string path = local.substr(0, q);
    req.query = q == std::string::npos ? std::string() : local.substr(q + 1);
    req.operation = path.compare(0, strlen(kPrefix), kPrefix) == 0 ? path.substr(strlen(kPrefix)) : path;
    m_pending.erase(it);
    Handle(socket, req);
}

void SimServer::Handle(QTcpSocket* socket, const BackendSimulator::Request& request)
{
    BackendSimulator::Fault fault = BackendSimulator::Fault::None;
    int arg = 0;
    {
        std::lock_guard<std::mutex> lock(m_shared->mutex);
        m_shared->requests.push_back(request);
        for (auto& rule : m_shared->faults) {
            if (rule.times != 0 && request.operation.compare(0, rule.prefix.size(), rule.prefix) == 0
                && request.body.find(rule.bodyContains) != std::string::npos) {
                fault = rule.fault;
                arg = rule.arg;
                if (rule.times > 0)
                    --rule.times;
                break;
            }
        }
    }
    using Fault = BackendSimulator::Fault;
    if (fault == Fault::NoAnswer)
        return;
    const QByteArray answer = Answer(request, fault, arg);
    QPointer<QTcpSocket> guard(socket);
    if (fault == Fault::Slow) {
        QTimer::singleShot(arg, this, [guard, answer] {
            if (guard) {
                guard->write(answer);
                guard->disconnectFromHost();
            }
        });
    } else if (fault == Fault::Split) {
        // Head, the first half of the body, the rest: each piece its own segment.
        const int head = answer.indexOf("\r\n\r\n") + 4;
        const int half = head + (answer.size() - head) / 2;
        socket->write(answer.left(head));
        socket->flush();
        QTimer::singleShot(arg, this, [guard, answer, head, half] {
            if (guard) {
                guard->write(answer.mid(head, half - head));
                guard->flush();
            }
        });
        QTimer::singleShot(2 * arg, this, [guard, answer, half] {
            if (guard) {
                guard->write(answer.mid(half));
                guard->disconnectFromHost();
            }
        });
    } else {
        socket->write(answer);
        socket->disconnectFromHost();
    }
}

QByteArray SimServer::Answer(const BackendSimulator::Request& request, BackendSimulator::Fault fault, int arg)
{
    using Fault = BackendSimulator::Fault;
    switch (fault) {
    case Fault::HttpStatus:
        return Reply(arg, "<html><body>error</body></html>", QByteArray());
    case Fault::NotJson:
        return Reply(200, "<html><body>gateway says hello</body></html>", QByteArray());
    case Fault::WrongShape:
        return Reply(200, "[{\"ret\":0,\"msg\":\"array root\"}]", QByteArray());
    case Fault::Ret:
        return Reply(200, "{\"ret\":" + QByteArray::number(arg) + ",\"msg\":\"refused\"}", QByteArray());
    default:
        break;
    }
    QByteArray cookie;
    int status = 200;
    const QByteArray body = FixtureBody(request, &cookie, &status);
    if (fault == Fault::CloseEarly) {
        // The header promises the whole body; half of it comes before the close.
        const QByteArray whole = Reply(status, body, cookie);
        return whole.left(whole.size() - (body.size() + 1) / 2);
    }
    return Reply(status, body, cookie);
}

QByteArray SimServer::FixtureBody(const BackendSimulator::Request& request, QByteArray* cookie, int* status)
{
    const std::string& op = request.operation;
    const std::string& q = request.query;
    std::string hostText;
    BackendSimulator::IccidInfoForm iccidForm;
    {
        std::lock_guard<std::mutex> lock(m_shared->mutex);
        hostText = m_shared->hostText;
        iccidForm = m_shared->iccidInfoForm;
        auto file = m_shared->files.find(request.operation);
        if (request.method == "GET" && file != m_shared->files.end()) {
            *cookie = QByteArray();
            return file->second;
        }
        if (op == "login")
            *cookie = QByteArray::fromStdString(m_shared->loginCookie);
        if (op == "test/data/submit" && request.method == "POST") {
            m_shared->results.push_back(request.body);
            if (!m_shared->resultsFile.isEmpty()) {
                QFile f(m_shared->resultsFile);
                if (f.open(QIODevice::WriteOnly | QIODevice::Append)) {
                    f.write(QByteArray::fromStdString(request.body) + "\n");
                    f.flush();
                }
            }
        }
        auto custom = m_shared->replies.find(op);
        if (custom != m_shared->replies.end())
            return QByteArray::fromStdString(custom->second);
    }
    std::string body;
    if (op == "login") {
        if (QueryValue(q, "p") == "bad") {
            *cookie = QByteArray();
            body = "{\"ret\":-3,\"msg\":\"user name or password error\"}";
        } else {
            body = "{\"ret\":0,\"msg\":\"login success\",\"tool_permissions\":[{\"flag\":\"WholeMachineTest\"},"
                   "{\"flag\":\"AfterSalesMaintenanceTest\"}],\"customer_name\":\"Vantrel Test Factory\","
                   "\"customer_id\":\"1001\",\"notice\":\"\",\"alarm\":\"\"}";
        }
    } else if (op == "logout") {
        body = "{\"ret\":0,\"msg\":\"logout success\"}";
    } else if (op == "heartbeat") {
        body = "{\"ret\":0,\"msg\":\"ok\"}";
    } else if (op == "init/order/info") {
        body = "{\"ret\":0,\"data\":[{\"model\":\"VC-200\",\"order_sn\":\"WO20240301-01\",\"complete_percent\":\"35%\"},"
               "{\"model\":\"VC-310\",\"order_sn\":\"WO20240302-07\",\"complete_percent\":\"0%\"}]}";
    } else if (op == "test/data/order/detail") {
        body = "{\"ret\":0,\"data\":{\"order_sn\":" + JsonText(QueryValue(q, "order_sn"))
            + ",\"num\":500,\"complete_num\":120,\"opt_username\":\"operator\",\"opt_complete_num\":18,"
              "\"regions\":\"\",\"logo\":" + JsonText("http://" + hostText + "/files/logo/factory_logo.png")
            + ",\"mac\":0,\"module_model\":\"\",\"cloud_module_alias\":\"\"}}";
    } else if (op == "download/config/package") {
        body = "{\"ret\":0,\"url\":" + JsonText("http://" + hostText + "/files/config/" + QueryValue(q, "model") + ".tgz")
            + "}";
    } else if (op == "download/audio/alarm/file") {
        body = "{\"ret\":0,\"url\":" + JsonText("http://" + hostText + "/files/audio/alarm_" + QueryValue(q, "model"))
            + ",\"type\":\"mp3\"}";
    } else if (op == "init/test/config") {
        body = std::string("{\"ret\":0,\"data\":") + kTestConfig + "}";
    } else if (op == "download/mac") {
        body = "{\"ret\":0,\"data\":{\"mac\":\"00:1A:2B:3C:4D:5E\"}}";
    } else if (op == "random/code") {
        body = "{\"ret\":0,\"code\":\"7Q2K9X\"}";
    } else if (op == "sn/bind/iccid") {
        body = "{\"ret\":0,\"msg\":\"bind success\"}";
    } else if (op == "device/info/query") {
        body = "{\"ret\":0,\"msg\":\"ok\",\"bind\":1,\"is_vrl\":1,\"card_status\":1,\"is_locked\":0,"
               "\"combo_name\":\"basic\",\"preferentialCheck\":0,\"iccid_info\":"
            + IccidInfo(QueryValue(q, "iccid"), iccidForm) + "}";
    } else if (op == "device/bind/info") {
        body = "{\"ret\":0,\"bind\":0,\"customer_name\":\"\",\"customer_id\":\"\"}";
    } else if (op == "device/bind/or/unbind" || op == "device/unbind/sub/dealer") {
        body = "{\"ret\":0,\"msg\":\"unbind success\"}";
    } else if (op == "cloud/storage/bind/relation/check") {
        body = "{\"ret\":0,\"msg\":\"match\",\"uuid\":" + JsonText(QueryValue(q, "uuid")) + "}";
    } else if (op == "test/data/submit" && request.method == "POST") {
        body = "{\"ret\":0,\"msg\":\"submit success\"}";
    } else {
        *status = 404;
        *cookie = QByteArray();
        body = "{\"ret\":404,\"msg\":\"no such operation\"}";
    }
    return QByteArray::fromStdString(body);
}
