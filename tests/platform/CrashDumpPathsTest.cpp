// Dump paths are computed inside the signal handler from seconds alone, without
// the C library's calendar: check the calendar arithmetic on the edges.
#include "CrashDumpWriter.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(CrashDumpPaths, DayFolderAndFileNameFollowTheLocalDate)
{
    struct Case {
        int64_t localSeconds;
        const char* day;
        const char* file;
    };
    const Case cases[] = {
        {0, "1970-01-01", "19700101_000000.dmp"},
        {-1, "1969-12-31", "19691231_235959.dmp"},
        {946684799, "1999-12-31", "19991231_235959.dmp"},
        {951868799, "2000-02-29", "20000229_235959.dmp"},   // leap day of a 400th year
        {951868800, "2000-03-01", "20000301_000000.dmp"},
        {1709251199, "2024-02-29", "20240229_235959.dmp"},
        {1709251200, "2024-03-01", "20240301_000000.dmp"},
        {4107542399, "2100-02-28", "21000228_235959.dmp"},  // 2100 has no leap day
        {4107542400, "2100-03-01", "21000301_000000.dmp"},
        {253402300799, "9999-12-31", "99991231_235959.dmp"},
    };
    for (const Case& c : cases) {
        char day[CrashDumpWriter::kPathCapacity];
        char file[CrashDumpWriter::kPathCapacity];
        ASSERT_TRUE(CrashDumpWriter::FormatDumpPaths("/app/CrashDir", c.localSeconds, day, file, sizeof day));
        EXPECT_EQ(std::string(day), std::string("/app/CrashDir/") + c.day) << c.localSeconds;
        EXPECT_EQ(std::string(file), std::string("/app/CrashDir/") + c.day + "/" + c.file) << c.localSeconds;
    }
}

TEST(CrashDumpPaths, RefusesPathsThatDoNotFit)
{
    const char* dir = "/a/CrashDir";   // 11 characters; the file path needs 11 + 31
    char day[64];
    char file[64];
    EXPECT_TRUE(CrashDumpWriter::FormatDumpPaths(dir, 0, day, file, 43));
    EXPECT_STREQ(file, "/a/CrashDir/1970-01-01/19700101_000000.dmp");
    EXPECT_FALSE(CrashDumpWriter::FormatDumpPaths(dir, 0, day, file, 42));
}

TEST(CrashDumpInstall, RefusesAFolderWithoutRoomForADumpPath)
{
    const std::string tooLong(CrashDumpWriter::kPathCapacity - 20, 'x');
    EXPECT_FALSE(CrashDumpWriter::Install(nullptr));
    EXPECT_FALSE(CrashDumpWriter::Install(""));
    EXPECT_FALSE(CrashDumpWriter::Install(("/" + tooLong).c_str()));
    EXPECT_STREQ(CrashDumpWriter::CrashDir(), "");
}

}  // namespace
