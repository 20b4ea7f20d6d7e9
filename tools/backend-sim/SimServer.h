#pragma once

#include "BackendSimulator.h"

#include <QByteArray>
#include <QHash>
#include <QObject>

class QTcpServer;
class QTcpSocket;

// The simulator's server side: created, used and deleted on the simulator's own
// thread, which takes its commands from the shared state.
class SimServer : public QObject {
public:
    explicit SimServer(std::shared_ptr<BackendSimulator::Shared> shared);
    ~SimServer() override;

    bool Listen(uint16_t port);
    void Close();
    uint16_t Port() const { return m_port; }

private:
    void OnNewConnection();
    void OnReadyRead(QTcpSocket* socket);
    void Handle(QTcpSocket* socket, const BackendSimulator::Request& request);
    // Status line, headers and body of a normal answer to the request.
    QByteArray Answer(const BackendSimulator::Request& request, BackendSimulator::Fault fault, int arg);
    QByteArray FixtureBody(const BackendSimulator::Request& request, QByteArray* cookie, int* status);

    std::shared_ptr<BackendSimulator::Shared> m_shared;
    QTcpServer* m_server = nullptr;
    QHash<QTcpSocket*, QByteArray> m_pending;
    uint16_t m_port = 0;
};
