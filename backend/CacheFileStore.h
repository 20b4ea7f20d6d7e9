#pragma once

#include "DevTestResult.h"

#include <QString>
#include <QStringList>

#include <vector>

struct WallTime;

// The offline cache's files: "<cache folder>/yyyy-MM-dd.dat", each the plain
// concatenation of raw 1,584-byte DevTestResult records, nothing else. When a
// day's file can't be written (a folder or someone else's file in its place),
// the day's records go to a spare name of that day, "yyyy-MM-dd-1.dat" to
// "yyyy-MM-dd-9.dat", which is read like the day file itself. Records found
// damaged are set aside, in the same format, in DAMAGED_FILE_NAME.
class CacheFileStore {
public:
    static constexpr int RECORD_SIZE = int(sizeof(DevTestResult));
    static constexpr int SPARE_NAMES = 9;
    static constexpr const char* DAMAGED_FILE_NAME = "damaged-records.bin";

    // "2024-03-05.dat" for that day, or its spare name "2024-03-05-<spare>.dat".
    static QString DayFileName(const WallTime& day, int spare = 0);
    static bool IsDayFileName(const QString& name);
    // The day files of folder (plain files with a day or spare name), oldest day
    // first, a day's own file before its spare names.
    static QStringList DayFiles(const QString& folder);

    // The result words of the form (1 pass, -1 fail, 0 not tested); the 4G code,
    // the card sizes and the software type are no results.
    static const std::vector<int32_t DevTestResult::*>& ResultFields();
    // Why a record read from a file can't be posted as a result: its serial is empty
    // (a zeroed record, what a power cut leaves, has none) or not NUL-terminated
    // printable text, or a result of the form lies outside -1..1. nullptr for a
    // sound record.
    static const char* RecordDamage(const DevTestResult& record);
    // Appends records to path (created when missing) and syncs it.
    static bool AppendRecords(const QString& path, const std::vector<DevTestResult>& records);

    // Every whole record of the file, in order. A shorter trailing part is logged
    // and left out. False when the file can't be opened or read.
    static bool ReadRecords(const QString& path, std::vector<DevTestResult>* records);
    // Replaces path with exactly these records so that a crash leaves either the
    // old or the new file: written to "<path>.tmp", synced, renamed over path, the
    // folder synced. No records: path is removed and no file is created.
    static bool WriteRecords(const QString& path, const std::vector<DevTestResult>& records);
};
