#include "FuzzEnv.h"

#include "AppGlobals.h"
#include "Log.h"
#include "ModalHook.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QApplication>
#include <QDialog>
#include <QTemporaryDir>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

namespace {

QTemporaryDir* g_dir = nullptr;
QCoreApplication* g_app = nullptr;
unsigned long long g_fileNumber = 0;

void RemoveDir()
{
    delete g_dir;
    g_dir = nullptr;
}

}  // namespace

void FuzzEnv::Init(int* argc, char*** argv, AppKind kind)
{
    if (g_app)
        return;
    // Qt keeps these for the application's lifetime.
    static int appArgc = 1;
    static char* appArgv[] = {argc && *argc > 0 ? (*argv)[0] : const_cast<char*>("fuzz"), nullptr};
    if (kind == AppKind::Widgets) {
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
        g_app = new QApplication(appArgc, appArgv);
        ModalHook::Set([](QDialog*) { return int(QDialog::Rejected); });
    } else {
        g_app = new QCoreApplication(appArgc, appArgv);
    }
    g_dir = new QTemporaryDir(QDir::tempPath() + "/station-fuzz-XXXXXX");
    if (!g_dir->isValid())
        Fail("no temporary folder");
    atexit(RemoveDir);
    AppDir = g_dir->path();
    LogInit(LOG_ALLLOG, getenv("FUZZ_LOG") ? getenv("FUZZ_LOG") : "/dev/null");
}

QString FuzzEnv::Dir()
{
    return AppDir;
}

QString FuzzEnv::FreshPath(const QString& suffix)
{
    return Dir() + "/in" + QString::number(++g_fileNumber) + suffix;
}

bool FuzzEnv::WriteFile(const QString& path, const std::string& bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return f.write(bytes.data(), qint64(bytes.size())) == qint64(bytes.size());
}

void FuzzEnv::Fail(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    fprintf(stderr, "FUZZ CHECK FAILED: ");
    vfprintf(stderr, format, args);
    fprintf(stderr, "\n");
    va_end(args);
    fflush(stderr);
    abort();
}
