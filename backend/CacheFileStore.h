#pragma once

#include "DevTestResult.h"

#include <QString>
#include <QStringList>

#include <vector>

struct WallTime;

// The offline cache's files: "<cache folder>/yyyy-MM-dd.dat", each the plain
// concatenation of raw 1,584-byte DevTestResult records, nothing else.
class CacheFileStore {
public:
    static constexpr int RECORD_SIZE = int(sizeof(DevTestResult));

    // "2024-03-05.dat" for that day.
    static QString DayFileName(const WallTime& day);
    static bool IsDayFileName(const QString& name);
    // The day files of folder (plain files with a day name), oldest first.
    static QStringList DayFiles(const QString& folder);

    // Every whole record of the file, in order. A shorter trailing part is logged
    // and left out. False when the file can't be opened or read.
    static bool ReadRecords(const QString& path, std::vector<DevTestResult>* records);
    // Replaces path with exactly these records so that a crash leaves either the
    // old or the new file: written to "<path>.tmp", synced, renamed over path, the
    // folder synced. No records: path is removed and no file is created.
    static bool WriteRecords(const QString& path, const std::vector<DevTestResult>& records);
};
