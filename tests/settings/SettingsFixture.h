#pragma once

#include "AppGlobals.h"
#include "CConfigFile.h"
#include "HostAdapters.h"
#include "LeftTopWidget.h"
#include "TempAppDir.h"
#include "VantrelEvent.h"

#include <QCoreApplication>
#include <QVector>
#include <QWidget>

#include <gtest/gtest.h>

#include <memory>
#include <ostream>

// The main window as the settings windows see it: the receiver of their events.
class EventReceiver : public QWidget {
public:
    struct Posted {
        int code;
        qint64 word1;
        qint64 word2;
        bool operator==(const Posted& o) const { return code == o.code && word1 == o.word1 && word2 == o.word2; }
        friend void PrintTo(const Posted& e, std::ostream* os) { *os << e.code << "(" << e.word1 << "," << e.word2 << ")"; }
    };

    // What was posted so far, delivered first.
    QVector<Posted> Events()
    {
        QCoreApplication::sendPostedEvents(this);
        return m_events;
    }
    QVector<int> Codes()
    {
        QVector<int> codes;
        for (const Posted& e : Events())
            codes << e.code;
        return codes;
    }
    void Forget()
    {
        QCoreApplication::sendPostedEvents(this);
        m_events.clear();
    }

protected:
    void customEvent(QEvent* event) override
    {
        if (auto* e = dynamic_cast<VantrelEvent*>(event))
            m_events.append({int(e->code), e->word1, e->word2});
    }

private:
    QVector<Posted> m_events;
};

// One application folder for the process (the settings store is made once).
// Each test seeds the store with a complete, valid record that the settings
// form shows unchanged, and may build the controller the windows talk to.
class SettingsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        if (!s_dir) {
            s_dir = new TempAppDir(QByteArray("[CONFIG]\n"));
            CConfigFile::GetInstance();
        }
    }

    void SetUp() override
    {
        HostAdapters::SetOverride({{"eth0", "127.0.0.5", "255.255.255.0", QByteArray("\x02\x11\x22\x33\x44\x55", 6)}});
        WholeMachineTestMode = false;
        CurrentTestType = 0;
        Mend();
        Seed(ValidConfig());
    }

    void TearDown() override
    {
        receiver.reset();
        controller.reset();
        Mend();
        HostAdapters::ClearOverride();
        WholeMachineTestMode = false;
        QCoreApplication::sendPostedEvents();
    }

    // Every setting the form edits holds a value its checks accept; decoding
    // follows the form's rule, so the form shows the record unchanged.
    static ConfigInfo ValidConfig()
    {
        ConfigInfo c;
        c.m_LoginInfo.ServiceIp = "127.0.0.1";
        c.m_UIVerion = {true, "V2.1.0"};
        c.m_WifiNet = {10, 8};
        SystemConfig& s = c.m_SystemConfig;
        s.iLogSwitch = 3;
        s.iTestMode = 1;
        s.SSID = "line-ap";
        s.Password = "12345678";
        s.StreamJudgeTime = 5;
        s.WifiSignal = "-70";
        s.WifiQuality = "0.5";
        s.HardwareAccelMode = 0;
        s.MultiThreadDecode = 1;
        c.m_Config4G = {"20", "0.3", "EC200"};
        c.m_FullOsd = {true, false, true};
        c.m_AutoTest = {true, false, true, false, false};
        c.m_Tips.bVesionInfo = true;
        c.m_PrintQrCode = {true, false, {}};
        c.m_IpSection = {false, "127.0.0.10", "127.0.0.20"};
        c.m_FunCode[2] = 1;
        c.m_LightMode = {true, 2};
        c.m_PrintConfigFilePath = s_dir->file("PrintConfig/label.ini");
        c.m_ManualItemDisplay.bTrumpet = true;
        return c;
    }

    static void Seed(const ConfigInfo& info) { ASSERT_EQ(CConfigFile::GetInstance()->SaveAll(info), 0); }

    static ConfigInfo Stored()
    {
        ConfigInfo info;
        CConfigFile::GetInstance()->GetConfigInfo(info);
        return info;
    }

    // What a restarted station reads from config.ini.
    static ConfigInfo ReadAfresh()
    {
        CConfigFile fresh(s_dir->configPath());
        ConfigInfo info;
        fresh.LoadAll(info);
        return info;
    }

    static QByteArray ConfigBytes() { return s_dir->readFile("config.ini"); }

    static void BreakConfigFile() { ASSERT_TRUE(s_dir->blockConfigFile()); }
    static void Mend() { s_dir->unblockConfigFile(); }

    LeftTopWidget* MakeController()
    {
        controller = std::make_unique<LeftTopWidget>();
        return controller.get();
    }

    static TempAppDir* s_dir;
    // The controller outlives the windows, which the receiver owns.
    std::unique_ptr<LeftTopWidget> controller;
    std::unique_ptr<EventReceiver> receiver = std::make_unique<EventReceiver>();
};

inline TempAppDir* SettingsTest::s_dir = nullptr;
