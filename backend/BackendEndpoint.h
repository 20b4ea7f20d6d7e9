#pragma once

#include <QString>

#include <cstdint>
#include <string>

// Where the factory back-end answers: the host text as the operator set it
// (it may carry its own ":port", which the client then prefers) and the port
// every request goes to otherwise.
struct BackendEndpoint {
    static constexpr uint16_t kDefaultPort = 80;

    std::string host;
    uint16_t port = kDefaultPort;

    // The back-end at hostText.
    static BackendEndpoint At(const QString& hostText);
    // The back-end the station logged in to (ServerHost).
    static BackendEndpoint Station();
};
