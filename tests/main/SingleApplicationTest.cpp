// One running instance per key: later starts end with code 0 while an instance
// runs, and only then. Each test uses its own key (the organization name), so
// tests running side by side and a station on the same machine never meet.
#include "ChildStation.h"
#include "SingleApplication.h"
#include "TempAppDir.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

namespace {

TEST(SingleApplicationKey, KeepsWordCharactersDashDotAndSpace)
{
    struct Case {
        const char* organization;
        const char* application;
        QString key;
    };
    const Case cases[] = {
        {"", "dravonix", "dravonix"},
        {"Acme/Co:", "st*a?tion<>|\"\\", "AcmeCostation"},
        {"a b", "x-y.z_1", "a bx-y.z_1"},
        {"{1f}", "tab\there\nnewline", "1ftabherenewline"},
        {"", "测试站", QString::fromUtf8("测试站")},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(SingleApplication::InstanceKey(QString::fromUtf8(c.organization), QString::fromUtf8(c.application)),
                  c.key)
            << c.organization << c.application;
    }
}

// What the previous instance left behind when the new one starts.
enum class Before { Running, RunningWithoutSocket, Killed, KilledWithoutKeyFile, Closed };

struct StartCase {
    const char* name;
    Before before;
    bool newStartRuns;
};

class SingleApplicationStart : public ::testing::TestWithParam<StartCase> {
protected:
    void TearDown() override { ReleaseInstanceKey(m_organization); }

    TempAppDir m_app;
    QString m_organization = UniqueOrganization();
};

void Leave(ChildStation& first, Before before, const QString& organization)
{
    switch (before) {
    case Before::Running:
        break;
    case Before::RunningWithoutSocket:
        ASSERT_TRUE(QFile::remove(ChildSocketPath(organization)));
        break;
    case Before::Killed:
        first.Kill();   // segment and socket file stay behind
        ASSERT_TRUE(QFile::exists(ChildSocketPath(organization)));
        break;
    case Before::KilledWithoutKeyFile: {
        // As when the temporary folder is cleaned: the segment stays, and the
        // next key file may get the old inode and with it the old key.
        first.Kill();
        const QStringList keyFiles = QDir(QDir::tempPath()).entryList({"qipc_sharedmemory_*"}, QDir::Files);
        const QByteArray digest = QCryptographicHash::hash(
            QFileInfo(ChildSocketPath(organization)).fileName().toUtf8(), QCryptographicHash::Sha1).toHex();
        int removed = 0;
        for (const QString& name : keyFiles) {
            if (name.endsWith(QString::fromLatin1(digest)))
                removed += QFile::remove(QDir(QDir::tempPath()).filePath(name)) ? 1 : 0;
        }
        ASSERT_EQ(removed, 1);
        break;
    }
    case Before::Closed:
        first.Send("quit");
        ASSERT_TRUE(first.WaitFinished());
        EXPECT_FALSE(first.Crashed());
        EXPECT_EQ(first.ExitCode(), 0) << first.Errors().constData();
        EXPECT_FALSE(QFile::exists(ChildSocketPath(organization)));
        break;
    }
}

void ExpectEndsAtOnce(ChildStation& later)
{
    ASSERT_TRUE(later.WaitFinished());
    EXPECT_FALSE(later.Crashed());
    EXPECT_EQ(later.ExitCode(), 0) << later.Errors().constData();
    EXPECT_FALSE(later.Output().contains("ready")) << later.Output().constData();
    // The knock waits at most 100 ms; the rest is process start and exit under
    // the sanitizers on a busy machine.
    EXPECT_GE(later.LifetimeMs(), 0);
    EXPECT_LT(later.LifetimeMs(), 5000);
    printf("later start ended after %ld ms (from main() to exit)\n", later.LifetimeMs());
}

TEST_P(SingleApplicationStart, OnlyALiveInstanceTurnsANewStartAway)
{
    const StartCase& c = GetParam();
    ChildStation first(m_app.path(), m_organization);
    ASSERT_TRUE(first.Start());
    ASSERT_TRUE(first.WaitReady()) << first.Errors().constData();
    Leave(first, c.before, m_organization);
    if (HasFatalFailure())
        return;

    ChildStation later(m_app.path(), m_organization);
    ASSERT_TRUE(later.Start());
    if (c.newStartRuns) {
        ASSERT_TRUE(later.WaitReady()) << later.Errors().constData();
        // It holds the guard now: one more start is turned away and knocks on it.
        ChildStation third(m_app.path(), m_organization);
        ASSERT_TRUE(third.Start());
        ExpectEndsAtOnce(third);
        EXPECT_FALSE(later.WaitForLine("showUp").isNull());
        later.Send("quit");
        ASSERT_TRUE(later.WaitFinished());
        EXPECT_EQ(later.ExitCode(), 0) << later.Errors().constData();
        return;
    }
    ExpectEndsAtOnce(later);
    EXPECT_TRUE(first.Running());
    if (c.before == Before::Running) {
        EXPECT_FALSE(first.WaitForLine("showUp").isNull());
    } else {
        EXPECT_FALSE(first.Output().contains("showUp"));
    }
    first.Send("quit");
    ASSERT_TRUE(first.WaitFinished());
    EXPECT_FALSE(first.Crashed());
    EXPECT_EQ(first.ExitCode(), 0) << first.Errors().constData();
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SingleApplicationStart,
    ::testing::Values(StartCase{"Running", Before::Running, false},
                      StartCase{"RunningWithoutSocket", Before::RunningWithoutSocket, false},
                      StartCase{"KilledLeavingSegmentAndSocket", Before::Killed, true},
                      StartCase{"KilledAndKeyFileRemoved", Before::KilledWithoutKeyFile, true},
                      StartCase{"Closed", Before::Closed, true}),
    [](const ::testing::TestParamInfo<StartCase>& info) { return std::string(info.param.name); });

}  // namespace
