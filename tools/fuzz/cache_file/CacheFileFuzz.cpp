// The offline cache's day files: two files of raw result records loaded as
// the upload thread loads them at start-up (the later one without the records
// the earlier one held, damaged records set aside), mirrored to today's file,
// and each record turned into the test-data form it is posted as.
//
// Input: a flags byte (1: the second file is today's), the first file's length
// (two bytes, big-endian, taken modulo what is left), the first file, the second.
#include "FuzzEnv.h"
#include "FuzzInput.h"

#include "CacheFileStore.h"
#include "Clock.h"
#include "DevTestResult.h"
#include "HttpClient.h"
#include "UploadCacheDataThread.h"

#include <QDir>
#include <QFile>

#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace {

WallTime Today()
{
    WallTime t;
    t.year = 2024;
    t.month = 3;
    t.day = 6;
    t.hour = 10;
    return t;
}

bool Damaged(const std::string& bytes)
{
    DevTestResult r;
    memcpy(&r, bytes.data(), sizeof r);
    return CacheFileStore::RecordDamage(r) != nullptr;
}

// The whole records of a file, sound ones only, or damaged ones only.
std::vector<std::string> Records(const std::string& file, bool damaged = false)
{
    std::vector<std::string> out;
    for (size_t at = 0; at + sizeof(DevTestResult) <= file.size(); at += sizeof(DevTestResult)) {
        const std::string record = file.substr(at, sizeof(DevTestResult));
        if (Damaged(record) == damaged)
            out.push_back(record);
    }
    return out;
}

std::string Bytes(const DevTestResult& r)
{
    return std::string(reinterpret_cast<const char*>(&r), sizeof r);
}

// The sound records of earlier, then those of later that earlier did not hold (as many times as it held them).
std::vector<std::string> Expected(const std::string& earlier, const std::string& later)
{
    std::vector<std::string> out = Records(earlier);
    std::map<std::string, int> held;
    for (const std::string& r : out)
        ++held[r];
    for (const std::string& r : Records(later)) {
        auto it = held.find(r);
        if (it != held.end() && it->second > 0)
            --it->second;
        else
            out.push_back(r);
    }
    return out;
}

void CheckForm(const DevTestResult& record)
{
    // The form goes into the request as it stands: every byte must be one a URL form carries unescaped.
    const std::string form = HttpClient::BuildTestDataForm(record);
    if (form.compare(0, 9, "order_sn=") != 0)
        FuzzEnv::Fail("the form does not start with order_sn=");
    for (unsigned char c : form) {
        if (c <= 0x20 || c >= 0x7F)
            FuzzEnv::Fail("the form holds byte 0x%02x unescaped", c);
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    FuzzEnv::Init(argc, argv, FuzzEnv::AppKind::Core);
    Clock::SetWallSource(Today);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput in(data, size);
    const uint8_t flags = in.Byte();
    const size_t firstLength = ((size_t(in.Byte()) << 8) | in.Byte()) % (in.Left() + 1);
    const std::string earlier = in.Bytes(firstLength);
    const std::string later = in.Rest();

    const QString folder = FuzzEnv::Dir() + "/CacheTestData";
    QDir(folder).removeRecursively();
    QDir().mkpath(folder);
    const QString earlierPath = folder + "/2024-03-04.dat";
    const QString laterPath = folder + ((flags & 1) ? "/2024-03-06.dat" : "/2024-03-05.dat");
    FuzzEnv::WriteFile(earlierPath, earlier);
    FuzzEnv::WriteFile(laterPath, later);

    std::vector<DevTestResult> pending;
    {
        UploadCacheDataThread thread(nullptr, folder);
        thread.LoadCacheFiles({earlierPath, laterPath});
        pending = thread.Pending();
    }
    const std::vector<std::string> expected = Expected(earlier, later);
    if (pending.size() != expected.size())
        FuzzEnv::Fail("%zu records pending, %zu expected", pending.size(), expected.size());
    std::string mirror;
    for (size_t i = 0; i < pending.size(); ++i) {
        if (Bytes(pending[i]) != expected[i])
            FuzzEnv::Fail("pending record %zu differs from the file's", i);
        mirror += expected[i];
        CheckForm(pending[i]);
    }

    // Today's file holds exactly the pending records; the loaded older files are gone.
    std::vector<DevTestResult> saved;
    const QString todayPath = folder + "/" + CacheFileStore::DayFileName(Today());
    if (!mirror.empty() && !CacheFileStore::ReadRecords(todayPath, &saved))
        FuzzEnv::Fail("today's file is missing");
    std::string savedBytes;
    for (const DevTestResult& r : saved)
        savedBytes += Bytes(r);
    if (savedBytes != mirror)
        FuzzEnv::Fail("today's file holds %zu records, %zu pending", saved.size(), pending.size());
    if (QFile::exists(earlierPath) || ((flags & 1) == 0 && QFile::exists(laterPath)))
        FuzzEnv::Fail("a loaded day file was left behind");

    // Every damaged record, in file order, is kept aside and nowhere else.
    std::vector<DevTestResult> aside;
    std::string asideBytes;
    const QString asidePath = folder + "/" + CacheFileStore::DAMAGED_FILE_NAME;
    if (QFile::exists(asidePath) && !CacheFileStore::ReadRecords(asidePath, &aside))
        FuzzEnv::Fail("the damaged records' file can't be read");
    for (const DevTestResult& r : aside)
        asideBytes += Bytes(r);
    std::string damaged;
    for (const std::string& r : Records(earlier, true))
        damaged += r;
    for (const std::string& r : Records(later, true))
        damaged += r;
    if (asideBytes != damaged)
        FuzzEnv::Fail("%zu records set aside, %zu damaged", aside.size(), damaged.size() / sizeof(DevTestResult));
    return 0;
}
