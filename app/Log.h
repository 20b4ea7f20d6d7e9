#pragma once

#include <QString>

// File log: one line per call, appended to the day's file under Log_Dir.
// Trace: one UDP datagram per call to 127.0.0.1:3000.

enum LogLevel : int {
    LOG_MAJOR = 0,
    LOG_GENERAL = 1,
    LOG_SUGGESTIVE = 2,
    LOG_INFO = 3,
    LOG_DEBUG0 = 4,
    LOG_DEBUG1 = 5,
    LOG_DEBUG2 = 6,
    LOG_MORELOG = 7,
    LOG_ALLLOG = 8,
};

constexpr int LOG_LINE_MAX = 51199;     // bytes of a file line before CR LF
constexpr int TRACE_MESSAGE_MAX = 10599;
constexpr unsigned short TRACE_PORT = 3000;

// Writes a line when a path is set and 0 <= level <= the level in force.
void LogPrint(int level, const char* format, ...) __attribute__((format(printf, 2, 3)));
// Sets the level in force when level < 9, and the file path when path is not null.
void LogInit(int level, const QString& path);
// Sets the level in force when level < 9; returns the level in force.
int LogSetLevel(int level);
// The level in force and the file path (for tests and the start banner).
int LogLevel();
QString LogPath();
const char* LogLevelName(int level);

// Formats and sends one trace datagram; the byte count sent, or -1.
int WriteLog(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Start of logging: empties sub-folders and non-log files of <appDir>/Log_Dir,
// keeps the two newest ".log" files by name, then opens today's file at level
// 3 with the start banner when logSwitch is 1, else at level 1.
void LogPruneFolder(const QString& logDir);
void LogStart(const QString& appDir, int logSwitch);

// The line header " [Info][05/03 14:07:09.042]" and trace prefix for a given time (tests).
QByteArray LogLineHeader(int level);
