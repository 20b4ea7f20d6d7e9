#pragma once

#include "BackendSimulator.h"

#include <QString>

// State shared by the simulator's control side and its server thread.
struct BackendSimulator::Shared {
    struct FaultRule {
        std::string prefix;
        Fault fault = Fault::None;
        int arg = 0;
        int times = -1;
    };

    mutable std::mutex mutex;
    std::vector<FaultRule> faults;
    std::map<std::string, std::string> replies;
    std::map<std::string, QByteArray> files;
    std::vector<Request> requests;
    std::vector<std::string> results;
    QString resultsFile;
    std::string loginCookie = "JSESSIONID=sim-session-1; Path=/";
    std::string hostText;
};
