#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class QThread;

// A stand-in for the factory back-end: an HTTP server on 127.0.0.1 that answers
// every operation under /api/whole/machine/ from fixture data, serves download
// files, and misbehaves on request. It runs on a thread of its own, so the
// station's blocking client can talk to it from the test's thread.
class BackendSimulator {
public:
    enum class Fault {
        None,
        NoAnswer,      // reads the request and never answers (connection stays open)
        Slow,          // answers after arg milliseconds
        HttpStatus,    // answers with status arg (e.g. 404, 500) and a short body
        NotJson,       // status 200, a body that is not JSON
        WrongShape,    // status 200, JSON whose root is an array
        CloseEarly,    // status 200 with the whole body's Content-Length, half the body, then closes
        Split,         // the normal reply in three pieces, arg milliseconds apart
        Ret,           // status 200, {"ret":arg} (a refusal of the back-end's own)
    };

    // How a two-card device/info/query reply names its cards in "iccid_info":
    // an object with one member per ICCID ({"<iccid>": {"is_vrl", "card_status",
    // "is_locked"}, ...}), or an array of two elements each naming its "iccid".
    enum class IccidInfoForm { Object, Array };

    struct Request {
        std::string requestLine;   // "GET /api/whole/machine/login?u=.. HTTP/1.0"
        std::string method;
        std::string target;        // "/api/whole/machine/login?u=.."
        std::string operation;     // "login" (the path below /api/whole/machine/), or the file path
        std::string query;         // text after "?" (raw)
        std::string head;          // the whole header block including the request line
        std::string body;
        std::string Header(const std::string& name) const;   // value of "Name: value", "" when absent
    };

    BackendSimulator();
    ~BackendSimulator();
    BackendSimulator(const BackendSimulator&) = delete;
    BackendSimulator& operator=(const BackendSimulator&) = delete;

    // Listens on 127.0.0.1:port (0 = an ephemeral port). resultsFile: where each
    // received test-data form is appended as one line ("" = none).
    bool Start(uint16_t port = 0, const QString& resultsFile = QString());
    void Stop();
    uint16_t Port() const { return m_port; }
    // "127.0.0.1:<port>", the host text a client is given.
    std::string HostText() const;

    // The next `times` requests (-1: all) whose operation starts with prefix ("" = any)
    // and whose body holds bodyContains ("" = any) get the fault.
    void SetFault(const std::string& prefix, Fault fault, int arg = 0, int times = -1,
                  const std::string& bodyContains = std::string());
    void ClearFaults();
    // While set, nothing listens on the port: connections are refused.
    void SetRefusing(bool refusing);
    // Replaces the fixture reply body of an operation ("login", "init/test/config", ...).
    void SetReply(const std::string& operation, const std::string& body);
    // A file served for GET <path> (e.g. "/files/pkg.tgz").
    void SetFile(const std::string& path, const QByteArray& bytes);
    // The cookie the login reply sets.
    void SetLoginCookie(const std::string& cookie);
    // The form of the two-card "iccid_info" (Object unless set). A one-card
    // query is answered with the array of its ICCID and an empty second card.
    void SetIccidInfoForm(IccidInfoForm form);

    std::vector<Request> Requests() const;
    size_t RequestCount() const;
    void ClearRequests();
    // The test-data forms received, in order (also in the results file).
    std::vector<std::string> Results() const;

    // Everything the server thread needs, under one lock.
    struct Shared;

private:
    std::shared_ptr<Shared> m_shared;
    QThread* m_thread = nullptr;
    uint16_t m_port = 0;
};
