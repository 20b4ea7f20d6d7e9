#pragma once

#include <QString>

#include <string>

// What every driver runs in: a throw-away program folder that AppDir points at,
// the file log on at its highest level (so that untrusted text goes through the
// line formatting too, into /dev/null) and one Qt application object.
namespace FuzzEnv {

enum class AppKind { Core, Widgets };

// Once per process, from LLVMFuzzerInitialize; later calls do nothing. Widgets
// run on the offscreen platform unless QT_QPA_PLATFORM says otherwise, and
// every modal box is closed at once as if cancelled.
void Init(int* argc, char*** argv, AppKind kind);

// The program folder (no trailing separator).
QString Dir();
// A file name in the program folder that no earlier call gave: Qt keeps parsed
// settings files by name, so a name is never reused for other bytes.
QString FreshPath(const QString& suffix);
bool WriteFile(const QString& path, const std::string& bytes);

// A property the driver checks did not hold: prints it and aborts, which the
// fuzzer and the replay both report as a crash.
[[noreturn]] void Fail(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace FuzzEnv
