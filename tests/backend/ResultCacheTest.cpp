// Offline result cache and upload thread against the back-end simulator.
#include "AppGlobals.h"
#include "BackendSimulator.h"
#include "CacheFileStore.h"
#include "CacheRecordFixture.h"
#include "Clock.h"
#include "HttpClient.h"
#include "StalledListener.h"
#include "TempAppDir.h"
#include "TestDataManageDialog.h"
#include "UploadCacheDataThread.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <functional>
#include <memory>
#include <thread>

namespace {

using Fault = BackendSimulator::Fault;
using SteadyClock = std::chrono::steady_clock;

std::atomic<int> g_day{5};
WallTime TestNow()
{
    WallTime w;
    w.year = 2024;
    w.month = 3;
    w.day = g_day.load();
    w.hour = 12;
    return w;
}

// A record whose every byte is set, the reserved word and the bytes behind each
// text's terminator included, so a round trip shows any byte that changed; its
// results are ones the cache posts.
DevTestResult Record(int serial, int32_t total = 1)
{
    DevTestResult r;
    unsigned char* bytes = reinterpret_cast<unsigned char*>(&r);
    for (size_t i = 0; i < sizeof(r); ++i)
        bytes[i] = static_cast<unsigned char>(i * 31 + serial);
    snprintf(r.dev_sn, sizeof(r.dev_sn), "SN%06d", serial);
    SetResultText(r.custom_manual_items, "sticker=1");
    SetSoundResults(r, serial);
    r.total_result = total;
    return r;
}

int Serial(const DevTestResult& r) { return atoi(r.dev_sn + 2); }

bool WaitFor(const std::function<bool()>& done, int ms = 10000)
{
    const auto end = SteadyClock::now() + std::chrono::milliseconds(ms);
    while (SteadyClock::now() < end) {
        if (done())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return done();
}

long long MsSince(SteadyClock::time_point start)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(SteadyClock::now() - start).count();
}

std::vector<DevTestResult> FileRecords(const QString& path)
{
    std::vector<DevTestResult> out;
    CacheFileStore::ReadRecords(path, &out);
    return out;
}

class ResultCacheTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_day = 5;
        Clock::SetWallSource(&TestNow);
        UploadCacheDataThread::SetWaitSliceMs(1);
        ASSERT_TRUE(sim.Start());
        ServerHost = QString::fromStdString(sim.HostText());
        WholeMachineTestMode = true;
        folder = app.path() + "/CacheTestData";
    }
    void TearDown() override
    {
        WholeMachineTestMode = false;
        UploadCacheDataThread::SetWaitSliceMs(100);
        Clock::SetWallSource(nullptr);
    }
    QString Day(int day) const { return folder + QString::asprintf("/2024-03-%02d.dat", day); }
    int SubmitCount() const
    {
        int n = 0;
        for (const auto& r : sim.Requests())
            n += r.operation == "test/data/submit";
        return n;
    }

    TempAppDir app;
    BackendSimulator sim;
    QString folder;
};

}  // namespace

TEST(CacheFileStoreTest, RecordsRoundTripByteForByte)
{
    TempAppDir app;
    const std::vector<DevTestResult> records = {Record(1), Record(2, -1), Record(3)};
    const QString path = app.file("CacheTestData/2024-03-05.dat");
    ASSERT_TRUE(CacheFileStore::WriteRecords(path, records));
    const QByteArray bytes = app.readFile("CacheTestData/2024-03-05.dat");
    ASSERT_EQ(bytes.size(), 3 * 1584);
    EXPECT_EQ(memcmp(bytes.constData() + 1584, &records[1], 1584), 0);
    const auto back = FileRecords(path);
    ASSERT_EQ(back.size(), 3u);
    for (size_t i = 0; i < 3; ++i)
        EXPECT_EQ(memcmp(&back[i], &records[i], sizeof(DevTestResult)), 0) << i;
    EXPECT_FALSE(QFileInfo::exists(path + ".tmp"));

    // A trailing part shorter than a record is left out.
    app.writeFile("CacheTestData/2024-03-06.dat", bytes + QByteArray(100, 'x'));
    EXPECT_EQ(FileRecords(app.file("CacheTestData/2024-03-06.dat")).size(), 3u);

    ASSERT_TRUE(CacheFileStore::WriteRecords(path, {}));
    EXPECT_FALSE(QFileInfo::exists(path));
    EXPECT_TRUE(CacheFileStore::WriteRecords(path, {}));   // nothing to remove: no file made

    for (const char* name : {"2024-03-05.dat", "1999-12-31.dat"})
        EXPECT_TRUE(CacheFileStore::IsDayFileName(name)) << name;
    for (const char* name : {"2024-03-05.dat.tmp", "notes.dat", "2024-3-5.dat", "x2024-03-05.dat", "2024-03-05.DAT"})
        EXPECT_FALSE(CacheFileStore::IsDayFileName(name)) << name;
}

TEST(UploadBackoffTest, ReturnValueDecidesHeadAndWait)
{
    struct Case {
        int ret, failures;
        int32_t total;
        bool others;   // records wait behind the head
        bool remove, toTail;
        int failuresAfter, waitMs;
    } cases[] = {
        {0, 3, 1, true, true, false, 0, 0},
        {100, 0, 1, true, false, false, 1, 5000},
        {8, 1, 1, true, false, false, 2, 10000},
        {-1, 2, 1, true, false, false, 3, 30000},
        {-98, 3, 1, false, false, false, 4, 60000},
        {7, 4, 1, false, false, false, 4, 60000},     // a passed record is kept however long it takes
        {100, 3, 1, true, false, true, 4, 60000},     // ... but not ahead of the others from its fourth failure
        {1001, 4, 1, true, false, true, 4, 60000},
        {100, 2, 1, true, false, false, 3, 30000},
        {100, 3, -1, true, true, false, 0, 60000},    // a failed device's record goes at its fourth failure
        {100, 3, -1, false, true, false, 0, 60000},
        {100, 2, -1, false, false, false, 3, 30000},
        {1001, 0, 1, false, false, false, 1, 5000},   // a positive "ret" counts as a transport failure
        {-2, 2, 1, true, true, false, 0, 0},          // other refusals drop the record at once
        {-99, 0, 1, false, true, false, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "ret " << c.ret << " failures " << c.failures << " total " << c.total
                                        << " others " << c.others);
        const auto step = UploadCacheDataThread::NextStep(c.ret, c.failures, c.total, c.others);
        EXPECT_EQ(step.removeHead, c.remove);
        EXPECT_EQ(step.moveHeadToTail, c.toTail);
        EXPECT_EQ(step.failures, c.failuresAfter);
        EXPECT_EQ(step.waitMs, c.waitMs);
    }
}

TEST_F(ResultCacheTest, AddedRecordsAreOnDiskAndPostedInOrder)
{
    sim.SetRefusing(true);
    {
        TestDataManageDialog cache;
        for (int i = 1; i <= 3; ++i) {
            cache.AddCacheTestData(Record(i));
            // On disk when the call returns.
            EXPECT_EQ(FileRecords(Day(5)).size(), size_t(i));
        }
    }
    const auto saved = FileRecords(Day(5));
    ASSERT_EQ(saved.size(), 3u);   // rewritten at exit, not appended to
    const DevTestResult second = Record(2);
    EXPECT_EQ(memcmp(&saved[1], &second, sizeof(second)), 0);

    sim.SetRefusing(false);
    TestDataManageDialog cache;
    cache.StartUploadCacheData();
    ASSERT_TRUE(WaitFor([&] { return sim.Results().size() == 3 && !QFileInfo::exists(Day(5)); }));
    const auto results = sim.Results();
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(results[size_t(i)], HttpClient::BuildTestDataForm(Record(i + 1)));
    EXPECT_TRUE(QDir(folder).entryList(QDir::Files).isEmpty());
}

TEST_F(ResultCacheTest, StartupLoadsEveryDayFileOldestFirstAndLeavesOtherNames)
{
    WholeMachineTestMode = false;   // hold the posts back to look at the list
    CacheFileStore::WriteRecords(Day(1), {Record(1)});
    CacheFileStore::WriteRecords(Day(2), {Record(2), Record(3)});
    CacheFileStore::WriteRecords(Day(3), {Record(4)});
    app.writeFile("CacheTestData/notes.txt", "operator notes");
    app.writeFile("CacheTestData/2024-03-04.dat.tmp", "half a write");
    TestDataManageDialog cache;
    cache.StartUploadCacheData();
    const auto pending = cache.UploadThread()->Pending();
    ASSERT_EQ(pending.size(), 4u);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(Serial(pending[size_t(i)]), i + 1);
    // All of them now in today's file; the loaded day files are gone.
    EXPECT_EQ(FileRecords(Day(5)).size(), 4u);
    for (int d : {1, 2, 3})
        EXPECT_FALSE(QFileInfo::exists(Day(d))) << d;
    EXPECT_EQ(app.readFile("CacheTestData/notes.txt"), QByteArray("operator notes"));
    EXPECT_TRUE(QFileInfo::exists(folder + "/2024-03-04.dat.tmp"));

    // A second scan (after a new login) does not load today's file again.
    cache.StartUploadCacheData();
    EXPECT_EQ(cache.UploadThread()->Pending().size(), 4u);
}

TEST_F(ResultCacheTest, CrashBetweenMirrorAndCleanupLeavesNoDuplicates)
{
    WholeMachineTestMode = false;
    // The old day file and today's mirror that already holds its records.
    CacheFileStore::WriteRecords(Day(3), {Record(1), Record(2)});
    CacheFileStore::WriteRecords(Day(5), {Record(1), Record(2), Record(3)});
    TestDataManageDialog cache;
    cache.StartUploadCacheData();
    const auto pending = cache.UploadThread()->Pending();
    ASSERT_EQ(pending.size(), 3u);
    EXPECT_EQ(Serial(pending[2]), 3);
    EXPECT_FALSE(QFileInfo::exists(Day(3)));
    EXPECT_EQ(FileRecords(Day(5)).size(), 3u);
}

TEST_F(ResultCacheTest, OldDayFilesStayUntilTodaysFileIsWritten)
{
    WholeMachineTestMode = false;
    CacheFileStore::WriteRecords(Day(3), {Record(1)});
    // None of today's names can be written: folders where their temporary files go.
    QStringList blocked;
    for (int spare = 0; spare <= CacheFileStore::SPARE_NAMES; ++spare)
        blocked << folder + "/" + CacheFileStore::DayFileName(TestNow(), spare) + ".tmp";
    for (const QString& path : blocked)
        ASSERT_TRUE(QDir().mkpath(path));
    TestDataManageDialog cache;
    cache.StartUploadCacheData();
    EXPECT_EQ(cache.UploadThread()->Pending().size(), 1u);
    EXPECT_FALSE(QFileInfo::exists(Day(5)));
    EXPECT_EQ(FileRecords(Day(3)).size(), 1u);

    // Once today's file can be written the move completes.
    for (const QString& path : blocked)
        ASSERT_TRUE(QDir(path).removeRecursively());
    cache.AddCacheTestData(Record(2));
    EXPECT_FALSE(QFileInfo::exists(Day(3)));
    EXPECT_EQ(FileRecords(Day(5)).size(), 2u);
}

TEST_F(ResultCacheTest, ADayFileThatCannotBeWrittenLeavesTheRecordsInASpareName)
{
    const QString spare = folder + "/" + CacheFileStore::DayFileName(TestNow(), 1);
    const struct {
        const char* name;
        QString blocked;   // a folder made here
    } cases[] = {{"a folder where today's file goes", Day(5)},
                 {"a folder where its temporary file goes", Day(5) + ".tmp"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        sim.ClearRequests();
        ASSERT_TRUE(QDir().mkpath(c.blocked));
        WholeMachineTestMode = false;
        {
            TestDataManageDialog cache;
            cache.AddCacheTestData(Record(1));
            cache.AddCacheTestData(Record(2));
            EXPECT_EQ(FileRecords(spare).size(), 2u);
        }
        const auto saved = FileRecords(spare);
        ASSERT_EQ(saved.size(), 2u) << "the day's records survive the exit";
        EXPECT_EQ(Serial(saved[1]), 2);

        // The next start reads the spare name like a day file and posts its records.
        WholeMachineTestMode = true;
        TestDataManageDialog cache;
        cache.StartUploadCacheData();
        ASSERT_TRUE(WaitFor([&] { return SubmitCount() == 2 && !QFileInfo::exists(spare); }));
        ASSERT_TRUE(QDir(c.blocked).removeRecursively());
    }
    EXPECT_EQ(CacheFileStore::DayFiles(folder), QStringList());
    EXPECT_EQ(CacheFileStore::DayFiles(app.path() + "/none"), QStringList());
    // Spare names sort after their day's own file and before the next day.
    app.writeFile("CacheTestData/2024-03-04-1.dat", "");
    app.writeFile("CacheTestData/2024-03-04.dat", "");
    app.writeFile("CacheTestData/2024-03-03-2.dat", "");
    EXPECT_EQ(CacheFileStore::DayFiles(folder),
              (QStringList{"2024-03-03-2.dat", "2024-03-04.dat", "2024-03-04-1.dat"}));
}

TEST_F(ResultCacheTest, DamagedRecordsInAFileAreSetAsideNotPosted)
{
    DevTestResult unterminated = Record(3);
    memset(unterminated.dev_sn, 'S', sizeof(unterminated.dev_sn));
    DevTestResult control = Record(4);
    control.dev_sn[3] = '\x01';
    DevTestResult highBit = Record(5);
    highBit.dev_sn[0] = char(0xC8);
    DevTestResult rtcOutOfRange = Record(6);
    rtcOutOfRange.rtc_result = 7;
    DevTestResult totalOutOfRange = Record(7);
    totalOutOfRange.total_result = 2;
    DevTestResult lastResultOutOfRange = Record(8);
    lastResultOutOfRange.ircut_night_result2 = -2;
    DevTestResult noise;
    for (size_t i = 0; i < sizeof(noise); ++i)
        reinterpret_cast<unsigned char*>(&noise)[i] = static_cast<unsigned char>((i * 2654435761u) >> 13);
    const DevTestResult zeroed{};   // what a power cut leaves
    DevTestResult noSerial = Record(9);
    SetResultText(noSerial.dev_sn, "");
    // Words that are no results take any value.
    DevTestResult codes = Record(2);
    codes.result_4g = 13;
    codes.card_info = 64;
    codes.card_remain_space = -5;
    codes.software_type = 1;
    const std::vector<DevTestResult> damaged = {unterminated, control, highBit, rtcOutOfRange, totalOutOfRange,
                                                lastResultOutOfRange, noise, zeroed, noSerial};
    std::vector<DevTestResult> file = {Record(1)};
    file.insert(file.end(), damaged.begin(), damaged.end());
    file.push_back(codes);
    ASSERT_TRUE(CacheFileStore::WriteRecords(Day(3), file));

    TestDataManageDialog cache;
    cache.StartUploadCacheData();
    ASSERT_TRUE(WaitFor([&] { return cache.UploadThread()->Pending().empty() && !cache.UploadThread()->isRunning(); }));
    const auto results = sim.Results();
    ASSERT_EQ(results.size(), 2u);
    EXPECT_TRUE(results[0] == HttpClient::BuildTestDataForm(Record(1)));
    EXPECT_TRUE(results[1] == HttpClient::BuildTestDataForm(codes));
    const auto aside = FileRecords(folder + "/" + CacheFileStore::DAMAGED_FILE_NAME);
    ASSERT_EQ(aside.size(), damaged.size());
    for (size_t i = 0; i < damaged.size(); ++i)
        EXPECT_EQ(memcmp(&aside[i], &damaged[i], sizeof(DevTestResult)), 0) << i;
    EXPECT_TRUE(CacheFileStore::DayFiles(folder).isEmpty());
}

TEST_F(ResultCacheTest, DamagedRecordsThatCannotBeSetAsideStayInTheirFile)
{
    const QString aside = folder + "/" + CacheFileStore::DAMAGED_FILE_NAME;
    ASSERT_TRUE(QDir().mkpath(aside));   // a folder where the set-aside file goes
    DevTestResult noSerial = Record(9);
    SetResultText(noSerial.dev_sn, "");
    const DevTestResult zeroed{};
    // An older day and today: the list then goes to a spare name of today.
    ASSERT_TRUE(CacheFileStore::WriteRecords(Day(3), {Record(1), zeroed}));
    ASSERT_TRUE(CacheFileStore::WriteRecords(Day(5), {noSerial, Record(2)}));
    // Each file keeps its damaged record, and only that: its sound one is not read twice.
    auto keptAlone = [&](const QString& path, const DevTestResult& record) {
        const auto kept = FileRecords(path);
        return kept.size() == 1 && memcmp(&kept[0], &record, sizeof(record)) == 0;
    };
    {
        TestDataManageDialog cache;
        cache.StartUploadCacheData();
        ASSERT_TRUE(WaitFor([&] { return !cache.UploadThread()->isRunning(); }));
        EXPECT_EQ(SubmitCount(), 2);
        EXPECT_TRUE(keptAlone(Day(3), zeroed));
        EXPECT_TRUE(keptAlone(Day(5), noSerial));
        cache.AddCacheTestData(Record(3));
        ASSERT_TRUE(WaitFor([&] { return !cache.UploadThread()->isRunning(); }));
        EXPECT_EQ(SubmitCount(), 3);
        EXPECT_TRUE(keptAlone(Day(3), zeroed)) << "not removed by a later save";
        EXPECT_TRUE(keptAlone(Day(5), noSerial));
    }
    {
        TestDataManageDialog cache;
        cache.StartUploadCacheData();
        ASSERT_TRUE(WaitFor([&] { return !cache.UploadThread()->isRunning(); }));
        EXPECT_TRUE(cache.UploadThread()->Pending().empty());
    }
    EXPECT_EQ(SubmitCount(), 3);
    EXPECT_TRUE(keptAlone(Day(3), zeroed));
    EXPECT_TRUE(keptAlone(Day(5), noSerial));

    // Once the set-aside file can be written they go there, and their files go.
    ASSERT_TRUE(QDir(aside).removeRecursively());
    TestDataManageDialog cache;
    cache.StartUploadCacheData();
    EXPECT_EQ(FileRecords(aside).size(), 2u);
    EXPECT_TRUE(CacheFileStore::DayFiles(folder).isEmpty());
    EXPECT_EQ(SubmitCount(), 3);
}

TEST_F(ResultCacheTest, AHeldRecordIsOnDiskButPostedOnlyOnceReleasedForUpload)
{
    uint64_t held = 0;
    {
        TestDataManageDialog cache;
        cache.AddCacheTestData(Record(1));
        held = cache.HoldCacheTestData(Record(2));
        EXPECT_EQ(FileRecords(Day(5)).size(), 2u) << "on disk when the call returns";
        cache.AddCacheTestData(Record(3));
        // The others go; the held one stays, on disk.
        ASSERT_TRUE(WaitFor([&] { return sim.Results().size() == 2 && !cache.UploadThread()->isRunning(); }));
        EXPECT_EQ(SubmitCount(), 2);
        EXPECT_EQ(sim.Results().back(), HttpClient::BuildTestDataForm(Record(3)));
        ASSERT_EQ(FileRecords(Day(5)).size(), 1u);
        EXPECT_EQ(Serial(FileRecords(Day(5))[0]), 2);

        cache.ReleaseCacheTestData(held, true);
        ASSERT_TRUE(WaitFor([&] { return sim.Results().size() == 3 && !QFileInfo::exists(Day(5)); }));
        EXPECT_EQ(sim.Results().back(), HttpClient::BuildTestDataForm(Record(2)));

        // Released as settled elsewhere: it leaves the file and is never posted.
        held = cache.HoldCacheTestData(Record(4));
        EXPECT_EQ(FileRecords(Day(5)).size(), 1u);
        cache.ReleaseCacheTestData(held, false);
        EXPECT_FALSE(QFileInfo::exists(Day(5)));
        EXPECT_TRUE(cache.UploadThread()->Pending().empty());
        cache.ReleaseCacheTestData(held, true);   // no such record any more: nothing happens

        // Never released (the program ended while its box waited): saved at exit.
        held = cache.HoldCacheTestData(Record(5));
    }
    EXPECT_EQ(SubmitCount(), 3);
    ASSERT_EQ(FileRecords(Day(5)).size(), 1u);
    // The next start owns nothing of the last one: the record is posted, once.
    TestDataManageDialog cache;
    cache.StartUploadCacheData();
    ASSERT_TRUE(WaitFor([&] { return !QFileInfo::exists(Day(5)) && !cache.UploadThread()->isRunning(); }));
    EXPECT_EQ(SubmitCount(), 4);
    EXPECT_EQ(sim.Results().back(), HttpClient::BuildTestDataForm(Record(5)));
}

TEST_F(ResultCacheTest, NothingPendingMakesNoFile)
{
    {
        TestDataManageDialog cache;
        cache.StartUploadCacheData();
        cache.StopUploadCacheData();
    }
    EXPECT_TRUE(QDir(folder).entryList(QDir::Files).isEmpty());
}

TEST_F(ResultCacheTest, EarlierRecordsOfTodayAreNeverOverwritten)
{
    // No start-up scan (after-sales mode): a save or an add must not replace today's file.
    WholeMachineTestMode = false;
    CacheFileStore::WriteRecords(Day(5), {Record(1), Record(2)});
    {
        TestDataManageDialog cache;
        cache.StopUploadCacheData();
    }
    EXPECT_EQ(FileRecords(Day(5)).size(), 2u);
    {
        TestDataManageDialog cache;
        cache.AddCacheTestData(Record(3));
    }
    const auto records = FileRecords(Day(5));
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(Serial(records[0]), 1);
    EXPECT_EQ(Serial(records[2]), 3);
}

TEST_F(ResultCacheTest, MirrorMovesToTheNewDay)
{
    WholeMachineTestMode = false;
    TestDataManageDialog cache;
    cache.AddCacheTestData(Record(1));
    g_day = 6;
    cache.AddCacheTestData(Record(2));
    EXPECT_FALSE(QFileInfo::exists(Day(5)));
    const auto records = FileRecords(Day(6));
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(Serial(records[0]), 1);
}

TEST_F(ResultCacheTest, BackoffKeepsPassedAndDropsFailedOrRefused)
{
    // Two transport failures, then the back-end takes it.
    sim.SetFault("test/data/submit", Fault::HttpStatus, 500, 2);
    TestDataManageDialog cache;
    cache.AddCacheTestData(Record(1));
    ASSERT_TRUE(WaitFor([&] { return sim.Results().size() == 1; }));
    EXPECT_EQ(SubmitCount(), 3);
    ASSERT_TRUE(WaitFor([&] { return cache.UploadThread()->Pending().empty(); }));

    // A failed device's record at the head goes at its fourth failure; the passed one behind it waits.
    sim.ClearRequests();
    sim.SetFault("test/data/submit", Fault::HttpStatus, 503, 4);
    cache.AddCacheTestData(Record(2, -1));
    cache.AddCacheTestData(Record(3, 1));
    ASSERT_TRUE(WaitFor([&] { return sim.Results().size() == 2; }));
    EXPECT_EQ(SubmitCount(), 5);
    EXPECT_EQ(sim.Results().back(), HttpClient::BuildTestDataForm(Record(3, 1)));

    // A refusal other than a transport failure drops the record at once.
    sim.ClearFaults();
    sim.ClearRequests();
    sim.SetReply("test/data/submit", "{\"ret\":-2,\"msg\":\"duplicate\"}");
    cache.AddCacheTestData(Record(4));
    ASSERT_TRUE(WaitFor([&] { return cache.UploadThread()->Pending().empty(); }));
    EXPECT_EQ(SubmitCount(), 1);
    ASSERT_TRUE(WaitFor([&] { return !QFileInfo::exists(Day(5)); }));
}

TEST_F(ResultCacheTest, ARecordRefusedForGoodMovesBehindTheOthers)
{
    const struct {
        const char* name;
        Fault fault;
        int arg;
    } cases[] = {{"a 500 for that record", Fault::HttpStatus, 500}, {"a positive ret", Fault::Ret, 1001}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        sim.ClearFaults();
        sim.ClearRequests();
        sim.SetFault("test/data/submit", c.fault, c.arg, -1, "dev_sn=SN000001&");
        const size_t takenBefore = sim.Results().size();
        {
            TestDataManageDialog cache;
            for (int i = 1; i <= 3; ++i)
                cache.AddCacheTestData(Record(i));
            ASSERT_TRUE(WaitFor([&] { return sim.Results().size() == takenBefore + 2; }));
            const auto results = sim.Results();
            EXPECT_EQ(results[takenBefore], HttpClient::BuildTestDataForm(Record(2)));
            EXPECT_EQ(results[takenBefore + 1], HttpClient::BuildTestDataForm(Record(3)));
            // Four tries of the refused one came first; it is still pending, on disk too.
            const auto requests = sim.Requests();
            ASSERT_GE(requests.size(), 5u);
            for (size_t i = 0; i < 4; ++i)
                EXPECT_NE(requests[i].body.find("dev_sn=SN000001&"), std::string::npos) << i;
            EXPECT_NE(requests[4].body.find("dev_sn=SN000002&"), std::string::npos);
            ASSERT_TRUE(WaitFor([&] {
                const auto onDisk = FileRecords(Day(5));
                return onDisk.size() == 1 && Serial(onDisk[0]) == 1;
            }));
            ASSERT_EQ(cache.UploadThread()->Pending().size(), 1u);
            EXPECT_EQ(Serial(cache.UploadThread()->Pending()[0]), 1);
        }
        const auto saved = FileRecords(Day(5));
        ASSERT_EQ(saved.size(), 1u);
        const DevTestResult first = Record(1);
        EXPECT_EQ(memcmp(&saved[0], &first, sizeof(first)), 0);
        ASSERT_TRUE(QFile::remove(Day(5)));
    }
}

TEST_F(ResultCacheTest, EachRecordAtTheHeadCountsItsOwnFailures)
{
    // A passed record fails four times and moves behind a failed device's record,
    // which then gets its own four tries before it is given up.
    sim.SetFault("test/data/submit", Fault::HttpStatus, 503, 8);
    TestDataManageDialog cache;
    cache.AddCacheTestData(Record(1, 1));
    cache.AddCacheTestData(Record(2, -1));
    ASSERT_TRUE(WaitFor([&] { return cache.UploadThread()->Pending().empty(); }, 20000));
    const auto requests = sim.Requests();
    std::vector<int> serials;
    for (const auto& r : requests)
        serials.push_back(r.body.find("dev_sn=SN000001&") != std::string::npos ? 1 : 2);
    EXPECT_EQ(serials, (std::vector<int>{1, 1, 1, 1, 2, 2, 2, 2, 1}));
    ASSERT_EQ(sim.Results().size(), 1u);
    EXPECT_TRUE(sim.Results()[0] == HttpClient::BuildTestDataForm(Record(1, 1)));
}

TEST_F(ResultCacheTest, PassedRecordIsRetriedUntilTaken)
{
    sim.SetFault("test/data/submit", Fault::NotJson, 0, 6);   // -1 each time
    TestDataManageDialog cache;
    cache.AddCacheTestData(Record(1));
    ASSERT_TRUE(WaitFor([&] { return cache.UploadThread()->Pending().empty(); }, 20000));
    EXPECT_EQ(SubmitCount(), 7);
    EXPECT_EQ(sim.Results().size(), 1u);
}

TEST_F(ResultCacheTest, StopEndsWaitsAndPostsPromptly)
{
    UploadCacheDataThread::SetWaitSliceMs(100);   // real 5 s back-off
    // A name server that never answers while the test runs.
    auto release = std::make_shared<std::atomic<bool>>(false);
    HttpClient::SetNameLookup([release](const std::string&, in_addr*) {
        for (int i = 0; i < 600 && !release->load(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        return false;
    });
    StalledListener stalled;
    ASSERT_TRUE(stalled.Stalled());
    struct Case {
        const char* name;
        Fault fault;
        std::string host;   // empty: the simulator
    } cases[] = {{"during the back-off wait", Fault::HttpStatus, ""},
                 {"during a post nobody answers", Fault::NoAnswer, ""},
                 {"during the name lookup", Fault::None, "backend.unanswered.test"},
                 {"during the connect wait", Fault::None, "127.0.0.1:" + std::to_string(stalled.Port())}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sim.ClearFaults();
        sim.ClearRequests();
        sim.SetFault("test/data/submit", c.fault, 500);
        ServerHost = QString::fromStdString(c.host.empty() ? sim.HostText() : c.host);
        {
            TestDataManageDialog cache;
            cache.AddCacheTestData(Record(1));
            if (c.host.empty()) {
                ASSERT_TRUE(WaitFor([&] { return sim.RequestCount() >= 1; }));
            }
            // Into the wait (a stop that comes earlier is taken at once anyway).
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            // The worker's end is timed, not the stop call, whose save syncs to disk.
            std::atomic<long long> endedAfterMs{-1};
            const auto start = SteadyClock::now();
            QObject::connect(cache.UploadThread(), &QThread::finished, cache.UploadThread(),
                             [&endedAfterMs, start] { endedAfterMs = MsSince(start); }, Qt::DirectConnection);
            cache.StopUploadCacheData();
            EXPECT_FALSE(cache.UploadThread()->isRunning());
            EXPECT_GE(endedAfterMs.load(), 0);
            // A wait slice, not the rest of a 5 s back-off or of a 2 s receive wait.
            EXPECT_LT(endedAfterMs.load(), 1000);
        }
        EXPECT_EQ(FileRecords(Day(5)).size(), 1u);
        ASSERT_TRUE(QFile::remove(Day(5)));
    }
    HttpClient::SetNameLookup(nullptr);
    release->store(true);
}

TEST_F(ResultCacheTest, StartAfterStopPostsAgain)
{
    sim.SetRefusing(true);
    TestDataManageDialog cache;
    cache.AddCacheTestData(Record(1));
    ASSERT_TRUE(WaitFor([&] { return cache.UploadThread()->isRunning(); }));
    cache.StopUploadCacheData();
    sim.SetRefusing(false);
    // The stop aborted the client; a new start must let it post again.
    cache.StartUploadCacheData();
    ASSERT_TRUE(WaitFor([&] { return sim.Results().size() == 1; }));
    ASSERT_TRUE(WaitFor([&] { return cache.UploadThread()->Pending().empty(); }));
}

TEST_F(ResultCacheTest, NoPostsOutsideWorkOrderMode)
{
    WholeMachineTestMode = false;
    TestDataManageDialog cache;
    cache.AddCacheTestData(Record(1));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(sim.RequestCount(), 0u);
    EXPECT_EQ(FileRecords(Day(5)).size(), 1u);

    // Back in work-order mode the next start posts it.
    WholeMachineTestMode = true;
    cache.StartUploadCacheData();
    ASSERT_TRUE(WaitFor([&] { return sim.Results().size() == 1; }));
}
