#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// A one-connection-at-a-time TCP server on 127.0.0.1 that answers every
// connection with the same scripted pieces of bytes, for replies the back-end
// simulator would never produce (split headers, bodies that look like headers).
class RawHttpServer {
public:
    struct Piece {
        std::string bytes;
        int delayMs = 0;   // before this piece is written
    };
    enum class End { Close, Hold, Reset };

    RawHttpServer(std::vector<Piece> pieces, End end);
    ~RawHttpServer();
    RawHttpServer(const RawHttpServer&) = delete;
    RawHttpServer& operator=(const RawHttpServer&) = delete;

    uint16_t Port() const { return m_port; }
    int Connections() const { return m_connections.load(); }
    std::string LastRequest() const;

private:
    void Serve();

    std::vector<Piece> m_pieces;
    End m_end;
    int m_listen = -1;
    uint16_t m_port = 0;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_connections{0};
    mutable std::mutex m_mutex;
    std::string m_lastRequest;
    std::thread m_thread;
};
