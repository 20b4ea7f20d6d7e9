#pragma once

#include "AppGlobals.h"
#include "CConfigFile.h"
#include "ControllerHost.h"
#include "DeviceRecords.h"
#include "HostAdapters.h"
#include "LeftTopWidget.h"
#include "TempAppDir.h"
#include "VantrelEvent.h"

#include <QCoreApplication>
#include <QWidget>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <thread>
#include <vector>

// Stands in for the main window: records what the controller asks of it.
class FakeHost : public QWidget, public ControllerHost {
public:
    VideoForm* GetCurVideoForm() const override { return nullptr; }
    RightBottomWidget* GetManualPanel() const override { return manualPanel; }
    LeftBottomWidget* GetInfoPanel() const override { return infoPanel; }
    LeftTopWidget* GetController() const override { return controller; }
    void GrabVideoKeyboard() override { ++grabs; }
    void ReleaseVideoKeyboard() override { ++releases; }
    void BeginWifiTest(const QString& cameraAddress, int durationSeconds) override
    {
        ++wifiTestsBegun;
        wifiTestCamera = cameraAddress;
        wifiTestSeconds = durationSeconds;
    }
    void ClearWifiTestResult() override {}
    void SetHardwareDecode(int) override {}
    void SaveManualTestResult() override { ++manualSaves; }
    void AddCacheTestData(const DevTestResult& record) override { cached.push_back(record); }
    uint64_t HoldCacheTestData(const DevTestResult& record) override
    {
        held[++lastHeld] = record;
        return lastHeld;
    }
    void ReleaseCacheTestData(uint64_t id, bool upload) override
    {
        auto it = held.find(id);
        if (it == held.end())
            return;
        if (upload)
            cached.push_back(it->second);
        held.erase(it);
    }
    void LogOut() override
    {
        ++logOuts;
        if (onLogOut)
            onLogOut();
    }

    LeftBottomWidget* infoPanel = nullptr;
    RightBottomWidget* manualPanel = nullptr;
    LeftTopWidget* controller = nullptr;
    int grabs = 0;
    int releases = 0;
    int manualSaves = 0;
    int logOuts = 0;
    int wifiTestsBegun = 0;
    QString wifiTestCamera;
    int wifiTestSeconds = 0;
    std::function<void()> onLogOut;
    std::vector<DevTestResult> cached;       // records handed to the offline cache for upload
    std::map<uint64_t, DevTestResult> held;  // records in the cache, held back by the submission
    uint64_t lastHeld = 0;

    // Events posted to the main window, as (code, word1), and their second words.
    std::vector<std::pair<int, qint64>> events;
    std::vector<qint64> secondWords;

protected:
    void customEvent(QEvent* event) override
    {
        if (auto* e = dynamic_cast<VantrelEvent*>(event)) {
            events.emplace_back(int(e->code), e->word1);
            secondWords.push_back(e->word2);
        }
    }
};

// An application folder per test suite (Self::s_dir; the configuration store
// is made once, over the first one), a host adapter list of our own and a host
// that stands in for the main window.
template <class Host, class Self>
class ControllerTestBase : public ::testing::Test {
protected:
    static void SetUpTestSuite() { Self::s_dir = new TempAppDir(QByteArray("[CONFIG]\niLogSwitch=1\n")); }
    static void TearDownTestSuite()
    {
        delete Self::s_dir;
        Self::s_dir = nullptr;
    }

    void SetUp() override
    {
        HostAdapters::SetOverride(Adapters());
        MainWindowInstance = &host;
        CurrentTestType = 0;
        WholeMachineTestMode = false;
    }

    void TearDown() override
    {
        widget.reset();
        MainWindowInstance = nullptr;
        HostAdapters::ClearOverride();
        QCoreApplication::sendPostedEvents();
    }

    static QVector<HostAdapter> Adapters()
    {
        return {
            {"eth0", "127.0.0.5", "255.255.255.0", QByteArray("\x02\x11\x22\x33\x44\x55", 6)},
            {"eth0", "127.0.0.6", "255.255.255.0", QByteArray("\x02\x11\x22\x33\x44\x55", 6)},
            {"wlan0", "0.0.0.0", "255.0.0.0", QByteArray("\x02\xaa\xbb\xcc\xdd\xee", 6)},
            {"wlan0", "127.0.1.7", "255.255.255.0", QByteArray("\x02\xaa\xbb\xcc\xdd\xee", 6)},
            {"wlan0", "127.0.1.8", "255.255.255.0", QByteArray("\x02\xaa\xbb\xcc\xdd\xee", 6)},
        };
    }

    // Writes CONFIG through the store, for what the constructor reads.
    static void WriteSystemConfig(const std::function<void(SystemConfig&)>& change)
    {
        ConfigInfo info;
        CConfigFile::GetInstance()->GetConfigInfo(info);
        change(info.m_SystemConfig);
        ASSERT_EQ(CConfigFile::GetInstance()->WriteConfig(info.m_SystemConfig), 0);
    }

    void Make()
    {
        widget = std::make_unique<LeftTopWidget>(nullptr, &host);
        host.controller = widget.get();
    }

    // Forgets what was posted to the main window so far (delivered first).
    void ClearEvents()
    {
        QCoreApplication::sendPostedEvents(&host);
        host.events.clear();
        host.secondWords.clear();
    }

    std::vector<int> EventCodes() const
    {
        std::vector<int> codes;
        for (const auto& e : host.events)
            codes.push_back(e.first);
        return codes;
    }

    static bool WaitFor(const std::function<bool()>& condition, int timeoutMs = 10000)
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (!condition()) {
            if (std::chrono::steady_clock::now() > deadline)
                return false;
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return true;
    }

    Host host;
    std::unique_ptr<LeftTopWidget> widget;
};

class ControllerTest : public ControllerTestBase<FakeHost, ControllerTest> {
public:
    static TempAppDir* s_dir;
};
