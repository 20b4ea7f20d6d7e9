#pragma once

#include "AppGlobals.h"
#include "BackendSimulator.h"
#include "Dravonix.h"
#include "ModalHook.h"
#include "TempAppDir.h"

#include <QCoreApplication>
#include <QDate>
#include <QDialog>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <thread>

// One application folder and one back-end simulator for the suite (the
// configuration store is made once per process); a fresh main window per test.
class MainWindowTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_dir = new TempAppDir(QByteArray("[CONFIG]\niLogSwitch=1\n"));
        s_sim = new BackendSimulator;
        ASSERT_TRUE(s_sim->Start());
    }
    static void TearDownTestSuite()
    {
        delete s_sim;
        s_sim = nullptr;
        delete s_dir;
        s_dir = nullptr;
    }

    void SetUp() override
    {
        LoggedIn = false;
        WholeMachineTestMode = false;
        AfterSalesRight = false;
        CurrentTestType = 0;
        NoticeText.clear();
        ServerHost = QString::fromStdString(s_sim->HostText());
        s_sim->ClearFaults();
        s_sim->ClearRequests();
        m_closesBefore = CloseSequences();
    }

    void TearDown() override
    {
        ModalHook::Clear();
        ModalHook::ClearMenu();
        window.reset();
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
    }

    void Make() { window = std::make_unique<Dravonix>(); }

    // Close sequences begun since the test started, counted in the station's log.
    int ClosesSinceStart() const { return CloseSequences() - m_closesBefore; }

    static int CloseSequences()
    {
        const QByteArray log = s_dir->readFile("Log_Dir/" + QDate::currentDate().toString("yyyy-MM-dd") + ".log");
        return log.count("Enter Dravonix::closeEvent()");
    }

    static bool WaitFor(const std::function<bool()>& condition, int timeoutMs = 10000)
    {
        return QTest::qWaitFor(condition, timeoutMs);
    }

    // Lets queued calls and retry timers of the window run.
    static void Settle(int ms = 300)
    {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (std::chrono::steady_clock::now() < end) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }

    static int OperationCount(const std::string& operation)
    {
        int n = 0;
        for (const BackendSimulator::Request& r : s_sim->Requests())
            n += r.operation == operation ? 1 : 0;
        return n;
    }

    static void Press(QWidget* parent, const char* button)
    {
        auto* b = parent->findChild<QPushButton*>(button);
        ASSERT_NE(b, nullptr) << button;
        b->click();
    }

    static TempAppDir* s_dir;
    static BackendSimulator* s_sim;
    std::unique_ptr<Dravonix> window;
    int m_closesBefore = 0;
};
