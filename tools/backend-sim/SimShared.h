#pragma once

#include "BackendSimulator.h"

#include <QString>

#include <condition_variable>

// State shared by the simulator's control side and its server thread.
struct BackendSimulator::Shared {
    struct FaultRule {
        std::string prefix;
        Fault fault = Fault::None;
        int arg = 0;
        int times = -1;
        std::string bodyContains;
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
    IccidInfoForm iccidInfoForm = IccidInfoForm::Object;

    // Control of the server thread, which polls these (plain locks rather than
    // cross-thread Qt events, so that every hand-over is visible to race checkers).
    std::condition_variable changed;
    bool started = false;        // the server thread has tried to listen
    bool listening = false;
    uint16_t port = 0;
    bool wantRefusing = false;
    bool refusing = false;       // the state the server thread has applied
    bool stop = false;
};
