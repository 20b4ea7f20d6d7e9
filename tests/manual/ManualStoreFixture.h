#pragma once

#include "CConfigFile.h"
#include "TempAppDir.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTextCodec>

#include <gtest/gtest.h>

// The process-wide settings store lives over the first application folder it
// sees, so a test executable keeps one folder and puts new bytes into its
// config.ini for each test.
class ManualStoreTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        if (!s_appDir) {
            s_appDir = new TempAppDir(QByteArray("[CONFIG]\r\n"));
            CConfigFile::GetInstance();
        }
    }

    void SetUp() override { Reseed(QByteArray()); }
    void TearDown() override { Mend(); }

    // config.ini holds exactly these bytes and the store reads them afresh.
    static void Reseed(const QByteArray& bytes)
    {
        Mend();
        // Changes a failed write left pending go out first, then the bytes are
        // put back and re-read.
        for (int pass = 0; pass < 2; ++pass) {
            ASSERT_TRUE(s_appDir->writeFile("config.ini", bytes));
            QSettings reread(s_appDir->configPath(), QSettings::IniFormat);
            reread.setIniCodec(QTextCodec::codecForName("GB2312"));
            reread.sync();
        }
    }

    // No write can reach config.ini: a folder stands in its place.
    static void BreakConfigFile() { ASSERT_TRUE(s_appDir->blockConfigFile()); }

    static void Mend() { s_appDir->unblockConfigFile(); }

    static QByteArray ConfigBytes() { return s_appDir->readFile("config.ini"); }

    // A store of its own over the same file: what a restarted station reads.
    static ManualAutoTestConfig ReadScriptsAfresh()
    {
        CConfigFile fresh(s_appDir->configPath());
        ManualAutoTestConfig config;
        fresh.ReadManualAutoTest(config);
        return config;
    }

    static TempAppDir* s_appDir;
};

inline TempAppDir* ManualStoreTest::s_appDir = nullptr;
